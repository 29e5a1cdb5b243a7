#include "setup/KZOrlixPlayerSetupWindow.h"

#include "foundation/ProductConstants.h"
#include "foundation/ProductDefinition.h"
#include "setup/KZOrlixPlayerSetupTask.h"
#include "setup/UserShell.h"
#include "ui/UILabel.h"
#include "ui/UIRichText.h"

#include <cstring>
#include <new>

const char* const KZOrlixPlayerSetupWindow::kOwnCatalog = "KZOrlixPlayerSetup";

KZOrlixPlayerSetupWindow::KZOrlixPlayerSetupWindow(const WString& name, const WString& licenseEntry)
    : KZOrlixSetupWindow(name, licenseEntry)
{
    ProductDefinition::SetDisplayName(Product::kDisplayName);
    ProductDefinition::SetRegistryKeyName(Product::kRegistryKeyName);
    ProductDefinition::SetVersionFile(Product::kVersionEntry);
    SetUninstallerBaseName(Product::kUninstallerBaseName);
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
    WString folder;
    if (!GetTargetFolder(&folder))
        return nullptr;
    KZOrlixPlayerSetupTask* task = new (std::nothrow) KZOrlixPlayerSetupTask(folder, license, licenseSize);
    if (task == nullptr)
        return nullptr;
    task->SetUninstallerPath(GetUninstallerPath());
    return task;
}

void KZOrlixPlayerSetupWindow::OnFinish()
{
    WString folder;
    if (GetTargetFolder(&folder)) {
        WString guide = KZOrlixSetupTask::InstallDirectoryFor(folder) + Product::kResourcesFolder +
                        Product::kQuickStartGuide;
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
