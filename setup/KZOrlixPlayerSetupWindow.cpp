#include "setup/KZOrlixPlayerSetupWindow.h"

#include "foundation/ProductDefinition.h"
#include "setup/KZOrlixPlayerSetupTask.h"
#include "setup/UserShell.h"
#include "ui/UILabel.h"
#include "ui/UIRichText.h"

#include <cstring>
#include <new>

const wchar_t* const KZOrlixPlayerSetupWindow::kQuickStartGuide =
    L"\\intel_a\\resources\\Zephyrix\\HTML\\quickstart.html";
const char* const KZOrlixPlayerSetupWindow::kOwnCatalog = "KZOrlixPlayerSetup";

KZOrlixPlayerSetupWindow::KZOrlixPlayerSetupWindow(const WString& name, const WString& licenseEntry)
    : KZOrlixSetupWindow(name, licenseEntry)
{
    ProductDefinition::SetDisplayName(L"Kaze Mar Orlix Player");
    ProductDefinition::SetRegistryKeyName(L"Kaze-Mar Orlix Player");
    ProductDefinition::SetVersionFile(L"resources\\Zephyrix\\versions\\PlayerVersion.txt");
    SetUninstallerBaseName(L"OrlixPlayerUninstall");
    SetBitmapNames(L"KZOrlixSetup", L"KZOrlixSetupH");
    SetCatalog(kOwnCatalog);
    SetTitle(GetMessage(L"Title"));
}

KZOrlixPlayerSetupWindow::~KZOrlixPlayerSetupWindow()
{
}

bool KZOrlixPlayerSetupWindow::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZOrlixPlayerSetupWindow") == 0 ||
           KZOrlixSetupWindow::IsKindOf(className);
}

AsyncTask* KZOrlixPlayerSetupWindow::CreateTask()
{
    const char* license = nullptr;
    int licenseSize = 0;
    LoadLicenseText();
    if (GetLicenseView() != nullptr)
        GetLicenseView()->GetDocument(&license, &licenseSize);
    if (license == nullptr)
        licenseSize = 0;
    if (GetPathLabel() == nullptr)
        return nullptr;
    KZOrlixPlayerSetupTask* task = new (std::nothrow)
        KZOrlixPlayerSetupTask(GetPathLabel()->GetText(), license, licenseSize);
    if (task == nullptr)
        return nullptr;
    task->SetUninstallerPath(GetUninstallerPath());
    return task;
}

void KZOrlixPlayerSetupWindow::OnFinish()
{
    if (GetPathLabel() != nullptr) {
        const WString& folder = GetPathLabel()->GetText();
        WString guide = folder + kQuickStartGuide;
        // Opened by the user's own shell, not with the setup's administrator rights. Whether
        // the guide opens does not change the end of the setup.
        UserShell::OpenDocument(GetWindow(), guide, folder, SW_SHOWMAXIMIZED);
    }
    KZOrlixSetupWindow::OnFinish();
}

void KZOrlixPlayerSetupWindow::ShowAnotherSetupRuns()
{
    KZ_EventListener texts;
    texts.SetCatalog(kOwnCatalog);
    texts.SetFallbackCatalog(kFallbackCatalog);
    MessageBoxW(nullptr, texts.GetMessage(L"AnotherSetupRuns").c_str(), texts.GetMessage(L"Title").c_str(),
                MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}
