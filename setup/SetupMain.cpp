// Entry point of setup.exe. The command line is ignored: every start shows the same wizard.
#include "foundation/KZ_EventListener.h"
#include "foundation/MessageCatalog.h"
#include "foundation/ProductDefinition.h"
#include "setup/KZOrlixPlayerSetupWindow.h"
#include "ui/KZ_UIPopup.h"

#include <new>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    ProductDefinition::SetInstance(instance);
    // COM and the rich edit library are loaded by the setup window once its first page is
    // painted: nothing before needs them, and their start-up would hold the page back.
    KZ_EventListener::SetMainThread();
    // Ended by the wizard once its first page is built.
    MessageCatalog::BeginStartupCache();

    KZOrlixPlayerSetupWindow* window = new (std::nothrow)
        KZOrlixPlayerSetupWindow(L"##SetupWindow##", L"resources\\KZOrlixLicense.rtf");
    if (window == nullptr)
        return 1;
    // Without its native window nothing could ever end the loop.
    if (window->GetWindow() == nullptr) {
        window->Release();
        return 1;
    }
    KZ_UIPopup::InstallKeyHandling();
    KZ_EventListener::RunMainLoop();
    window->Release();
    return 0;
}
