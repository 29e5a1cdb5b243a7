// Process set-up of the test programs that build windows, as the setup's entry point does it.
// A source of those programs (not of the library): nothing refers to it but gtest.
#include "foundation/KZ_EventListener.h"
#include "foundation/ProductDefinition.h"
#include "ui/KZ_UIWindow.h"

#include <gtest/gtest.h>
#include <objbase.h>

namespace {

class ToolkitEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        CoInitialize(nullptr);
        KZ_UIWindow::LoadWindowLibrary(L"Riched32.dll");
        KZ_EventListener::SetMainThread();
        ProductDefinition::SetVersionFile(L"resources\\Zephyrix\\versions\\PlayerVersion.txt");
    }
    void TearDown() override { CoUninitialize(); }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

} // namespace
