// Entry point of setup.exe. The command line is ignored: every start shows the same wizard.
#include "archive/ArchiveCatalogs.h"
#include "foundation/KZ_EventListener.h"
#include "foundation/MessageCatalog.h"
#include "foundation/ProductConstants.h"
#include "foundation/ProductDefinition.h"
#include "foundation/ScopedHandle.h"
#include "setup/KZOrlixPlayerSetupWindow.h"
#include "setup/SetupLock.h"
#include "ui/KZ_UIPopup.h"

#include <new>

namespace {

// The setup window's object ends with its native window: Release destroys that window (or
// drops the last reference when it has none).
struct SetupWindowTraits {
    using Handle = KZOrlixPlayerSetupWindow*;
    static Handle Invalid() { return nullptr; }
    static bool Close(Handle window)
    {
        window->Release();
        return true;
    }
};
using ScopedSetupWindow = ScopedHandle<SetupWindowTraits>;

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // Held until the process ends; a second setup touches nothing.
    const SetupLock lock;
    ProductDefinition::SetInstance(instance);
    // Every text the user reads comes from the catalogs of the archive the setup carries.
    MessageCatalog::SetSource(&ArchiveCatalogs());
    if (lock.AnotherSetupRuns()) {
        KZOrlixPlayerSetupWindow::ShowAnotherSetupRuns();
        return 1;
    }
    // COM and the rich edit library are loaded by the setup window once its first page is
    // painted: nothing before needs them, and their start-up would hold the page back.
    KZ_EventListener::SetMainThread();
    // Ended by the wizard once its first page is built.
    MessageCatalog::BeginStartupCache();

    const ScopedSetupWindow window(
        new (std::nothrow) KZOrlixPlayerSetupWindow(L"##SetupWindow##", Product::kLicenseEntry));
    // Without its native window nothing could ever end the loop.
    if (!window || window->GetWindow() == nullptr)
        return 1;
    KZ_UIPopup::InstallKeyHandling();
    KZ_EventListener::RunMainLoop();
    return 0;
}
