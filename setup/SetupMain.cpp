// Entry point of setup.exe. The command line is ignored: every start shows the same wizard.
#include "archive/ArchiveCatalogs.h"
#include "foundation/KZ_EventListener.h"
#include "foundation/MessageCatalog.h"
#include "foundation/ProductDefinition.h"
#include "setup/KZOrlixPlayerSetupWindow.h"
#include "ui/KZ_UIPopup.h"

#include <new>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    ProductDefinition::SetInstance(instance);
    // Every text the user reads comes from the catalogs of the archive the setup carries.
    MessageCatalog::SetSource(&ArchiveCatalogs());
    // Without the rich edit library the license view stays empty; that does not stop the
    // setup. COM is initialised by the setup window once its first page is painted: nothing
    // before needs it, and its start-up would hold the page back.
    // Loaded inside the common-controls context, so its class is created like our controls.
    KZ_UIWindow::LoadWindowLibrary(L"Riched32.dll");
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
