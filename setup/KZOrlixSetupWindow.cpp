#include "setup/KZOrlixSetupWindow.h"

#include "archive/Archive.h"
#include "foundation/MessageCatalog.h"
#include "foundation/PlatformError.h"
#include "foundation/ProductConstants.h"
#include "foundation/ProductDefinition.h"
#include "install/InstallServices.h"
#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIRadioButton.h"
#include "ui/UIBitmap.h"
#include "ui/UIGridLayout.h"
#include "ui/UILabel.h"
#include "ui/UILayoutCell.h"
#include "ui/UILook.h"
#include "ui/UIRichText.h"

#include <objbase.h>
#include <shlobj.h>
#include <cstring>
#include <new>

const char* const KZOrlixSetupWindow::kFallbackCatalog = "KZOrlixSetup";

KZOrlixSetupWindow::KZOrlixSetupWindow(const WString& name, const WString& licenseEntry)
    : KZ_UIWizardTask(nullptr, name), licensePage_(nullptr), targetPage_(nullptr),
      summaryPage_(nullptr), pathLabel_(nullptr), agree_(nullptr), noAgree_(nullptr),
      licenseView_(nullptr), finishSubscription_(nullptr), busy_(0), licenseLoaded_(false), comInitialized_(false),
      licenseEntry_(licenseEntry)
{
    SetFallbackCatalog(kFallbackCatalog);
    finishSubscription_ = Subscribe("Finish", this, &KZOrlixSetupWindow::OnFinishEvent);
}

KZOrlixSetupWindow::~KZOrlixSetupWindow()
{
    // Our own subscriptions go with the listener base.
    finishSubscription_ = nullptr;
    if (comInitialized_)
        CoUninitialize();
}

bool KZOrlixSetupWindow::IsKindOf(const char* className) const
{
    return std::strcmp(className, "KZOrlixSetupWindow") == 0 ||
           KZ_UIWizardTask::IsKindOf(className);
}

WString KZOrlixSetupWindow::GetUninstallerPath() const
{
    return Product::kProgramFolder + uninstallerBaseName_ + Product::kProgramExtension;
}

bool KZOrlixSetupWindow::GetTargetFolder(WString* folder) const
{
    if (pathLabel_ == nullptr)
        return false;
    *folder = pathLabel_->GetText();
    return true;
}

void KZOrlixSetupWindow::SetTargetFolderBelow(const WString& parent)
{
    if (pathLabel_ == nullptr)
        return;
    // The product's own folder below the chosen one, even below a drive root ("C:\\...").
    pathLabel_->SetText(parent + L"\\" + ProductDefinition::GetDisplayName());
}

void KZOrlixSetupWindow::AddPages()
{
    BuildLicensePage();
    BuildTargetPage();
    BuildSummaryPage();
}

void KZOrlixSetupWindow::OnPageChanged(KZ_UIWindow* page)
{
    if (page != nullptr && page == licensePage_)
        LoadLicenseText();
    CheckPage(page, ProductDefinition::GetRegistryKeyName());
}

void KZOrlixSetupWindow::BuildLicensePage()
{
    licensePage_ = new (std::nothrow) KZ_UIPanel(this, L"License", 0);
    if (licensePage_ == nullptr)
        return;
    licensePage_->SetBackground(UILook::GetPageBrush());
    // Without the rich edit library the license view stays empty; that does not stop the
    // setup. Loaded inside the common-controls context, so its class is created like our
    // controls.
    KZ_UIWindow::LoadWindowLibrary(L"Riched32.dll");
    licenseView_ = new (std::nothrow) UIRichText(licensePage_, L"RTF");
    agree_ = new (std::nothrow) KZ_UIRadioButton(licensePage_, L"Agree");
    noAgree_ = new (std::nothrow) KZ_UIRadioButton(licensePage_, L"NoAgree");

    // The text is loaded once the Welcome page is painted: the rich-edit control takes about
    // 100 ms to read it.
    if (agree_ != nullptr) {
        agree_->SetCheck(0);
        agree_->Subscribe("OnPushed", this, &KZOrlixSetupWindow::OnLicenseChoiceEvent);
    }
    if (noAgree_ != nullptr) {
        noAgree_->SetCheck(1);
        noAgree_->Subscribe("OnPushed", this, &KZOrlixSetupWindow::OnLicenseChoiceEvent);
    }

    UIGridLayout* grid = new (std::nothrow) UIGridLayout(4, 4, 4, 4);
    if (grid == nullptr)
        return;
    UIGridLayout::SetCell(licenseView_, 0, 0, 1, 1, UILayoutCell::Fill);
    UIGridLayout::SetCell(agree_, 0, 1, 1, 1, UILayoutCell::FillWidth);
    UIGridLayout::SetCell(noAgree_, 0, 2, 1, 1, UILayoutCell::FillWidth);
    grid->SetColumnWeight(0, 1);
    grid->SetRowWeight(0, 1);
    licensePage_->SetLayout(grid);
}

void KZOrlixSetupWindow::OnFirstPageShown()
{
    // Its result is ignored: without COM the shell dialogs fail later, which does not stop the
    // setup.
    if (!comInitialized_)
        comInitialized_ = SUCCEEDED(CoInitialize(nullptr));
    LoadLicenseText();
}

void KZOrlixSetupWindow::LoadLicenseText()
{
    if (licenseLoaded_ || licenseView_ == nullptr)
        return;
    licenseLoaded_ = true;
    // Without the document (or the rich edit library) the view stays empty; the user can
    // still accept.
    licenseView_->LoadRtf(licenseEntry_);
}

// Target and Summary: the header banner on top, the content panel taking the rest, both on
// the page colour. *panel stays null when the page or its panel could not be made.
KZ_UIPanel* KZOrlixSetupWindow::BuildBannerPage(const wchar_t* name, const wchar_t* panelName, KZ_UIPanel** panel)
{
    *panel = nullptr;
    KZ_UIPanel* page = new (std::nothrow) KZ_UIPanel(this, name, 0);
    if (page == nullptr)
        return nullptr;
    page->SetBackground(UILook::GetPageBrush());
    UIBitmap* banner = new (std::nothrow) UIBitmap(page, GetHeaderBitmapName());
    *panel = new (std::nothrow) KZ_UIPanel(page, panelName, 0);
    if (*panel != nullptr)
        (*panel)->SetBackground(UILook::GetPageBrush());

    UIGridLayout* grid = new (std::nothrow) UIGridLayout(0, 0, 0, 0);
    if (grid != nullptr) {
        UIGridLayout::SetCell(banner, 0, 0, 1, 1, UILayoutCell::Fill);
        UIGridLayout::SetCell(*panel, 0, 1, 1, 1, UILayoutCell::Fill);
        grid->SetColumnWeight(1, 1);
        grid->SetRowWeight(1, 1);
        page->SetLayout(grid);
    }
    return page;
}

void KZOrlixSetupWindow::BuildTargetPage()
{
    KZ_UIPanel* panel = nullptr;
    targetPage_ = BuildBannerPage(L"Target", L"TargetPanel", &panel);
    if (panel == nullptr)
        return;
    UILabel* pad = new (std::nothrow) UILabel(panel, L"Pad", 0);
    UILabel* title = new (std::nothrow) UILabel(panel, L"Title", UILabel::TitleFont);
    UILabel* label = new (std::nothrow) UILabel(panel, L"Label", 0);
    pathLabel_ = new (std::nothrow) UILabel(panel, L"Path", 0);
    KZ_UIButton* browse = new (std::nothrow) KZ_UIButton(panel, L"Browse", 1);
    if (browse != nullptr)
        browse->Subscribe("OnPushed", this, &KZOrlixSetupWindow::OnBrowseEvent);

    // Below Program Files; without it the label keeps its (key) text.
    wchar_t programFiles[MAX_PATH];
    programFiles[0] = 0;
    if (SHGetSpecialFolderPathW(GetWindow(), programFiles, CSIDL_PROGRAM_FILES, TRUE))
        SetTargetFolderBelow(programFiles);

    UIGridLayout* inner = new (std::nothrow) UIGridLayout(25, 0, 0, 0);
    if (inner == nullptr)
        return;
    UIGridLayout::SetCell(title, 0, 0, 1, 1, UILayoutCell::FillWidth);
    UIGridLayout::SetCell(label, 0, 1, 1, 1, UILayoutCell::FillWidth);
    UIGridLayout::SetCell(browse, 0, 2, 1, 1, UILayoutCell::AlignLeft);
    UIGridLayout::SetCell(pathLabel_, 0, 3, 1, 1, UILayoutCell::FillWidth);
    UIGridLayout::SetCell(pad, 0, 4, 1, 1, UILayoutCell::AlignLeft);
    inner->SetColumnWeight(1, 1);
    inner->SetRowWeight(0, 1);
    inner->SetRowWeight(1, 1);
    inner->SetRowWeight(2, 1);
    inner->SetRowWeight(3, 1);
    inner->SetRowWeight(4, 20);
    panel->SetLayout(inner);
}

void KZOrlixSetupWindow::BuildSummaryPage()
{
    KZ_UIPanel* panel = nullptr;
    summaryPage_ = BuildBannerPage(L"Summary", L"SummaryPanel", &panel);
    if (panel == nullptr)
        return;
    UILabel* title = new (std::nothrow) UILabel(panel, L"Title", UILabel::TitleFont);
    UILabel* label = new (std::nothrow) UILabel(panel, L"Label", 0);
    UILabel* pad = new (std::nothrow) UILabel(panel, L"Pad", 0);

    UIGridLayout* inner = new (std::nothrow) UIGridLayout(25, 0, 0, 0);
    if (inner == nullptr)
        return;
    UIGridLayout::SetCell(title, 0, 0, 1, 1, UILayoutCell::FillWidth);
    UIGridLayout::SetCell(label, 0, 1, 1, 1, UILayoutCell::FillWidth);
    UIGridLayout::SetCell(pad, 0, 2, 1, 1, UILayoutCell::AlignLeft);
    inner->SetColumnWeight(1, 1);
    inner->SetRowWeight(1, 1);
    inner->SetRowWeight(2, 1);
    inner->SetRowWeight(3, 40);
    panel->SetLayout(inner);
}

void KZOrlixSetupWindow::OnLicenseChoiceEvent(const char*, KZ_EventListener* publisher, void*)
{
    // Only the two radio buttons of the License page are subscribed here.
    if (publisher == agree_)
        OnLicenseChoice(agree_);
    else if (publisher == noAgree_)
        OnLicenseChoice(noAgree_);
}

void KZOrlixSetupWindow::OnLicenseChoice(KZ_UIRadioButton* pushed)
{
    if (agree_ != nullptr)
        agree_->SetCheck(pushed == agree_ ? 1 : 0);
    if (noAgree_ != nullptr)
        noAgree_->SetCheck(pushed != agree_ ? 1 : 0);
    if (licensePage_ != nullptr && GetCurrentPage() == licensePage_ && GetNextButton() != nullptr)
        GetNextButton()->Enable(agree_ != nullptr && agree_->GetCheck() != 0);
    KeepFocus();
}

void KZOrlixSetupWindow::OnBrowseEvent(const char*, KZ_EventListener*, void*)
{
    OnBrowse();
}

void KZOrlixSetupWindow::OnBrowse()
{
    if (pathLabel_ == nullptr)
        return;
    WString folder;
    if (BrowseForFolder(&folder) != S_OK)
        return;
    SetTargetFolderBelow(folder);
    RelayoutTargetPage();
}

void KZOrlixSetupWindow::RelayoutTargetPage()
{
    if (targetPage_ == nullptr || targetPage_->GetLayout() == nullptr)
        return;
    int width, height;
    targetPage_->GetClientSize(&width, &height);
    if (width > 0 && height > 0)
        targetPage_->GetLayout()->Apply(targetPage_);
}

void KZOrlixSetupWindow::OnFinishEvent(const char*, KZ_EventListener*, void*)
{
    OnFinish();
}

void KZOrlixSetupWindow::OnFinish()
{
    // Removing the subscription ends the dispatch in progress; the new "Finish" reaches the
    // remaining subscribers, among them the wizard's own, which ends the program.
    Unsubscribe(finishSubscription_);
    finishSubscription_ = nullptr;
    Publish("Finish");
}

void KZOrlixSetupWindow::GetAlreadyInstalledTexts(WString& text, WString& caption)
{
    WString installed;
    if (FAILED(InstallServices::GetInstalledVersion(installed)))
        installed.Clear();
    WString packaged;
    if (FAILED(GetPackagedVersion(&packaged)))
        packaged.Clear();
    WStringArray parameters;
    parameters.Append(installed);
    parameters.Append(packaged);
    text = GetMessage(L"AlreadyInstalled.Details", parameters);
    caption = GetMessage(L"AlreadyInstalled.Title");
}

bool KZOrlixSetupWindow::CheckPreviousInstallation(const WString& registryKeyName)
{
    InstallServices services(registryKeyName, ProductDefinition::GetInstance(), this);
    KZ_UIWindow* returnPage = GetCurrentPage();
    while (!busy_) {
        WString location;
        // No entry, or none with an install location: nothing is installed.
        if (FAILED(services.GetInstallPath(location)))
            break;
        ShowPage(GetWelcomePage());
        if (GetNextButton() != nullptr)
            GetNextButton()->Enable(true);
        WString text;
        WString caption;
        GetAlreadyInstalledTexts(text, caption);
        int answer = MessageBoxW(GetWindow(), text.c_str(), caption.c_str(),
                                 MB_YESNOCANCEL | MB_ICONWARNING);
        if (answer == IDYES) {
            if (GetWindow() != nullptr)
                ShowWindow(GetWindow(), SW_HIDE);
            if (FAILED(InstallServices::RunUninstaller(L" /Uninstall"))) {
                PlatformError::ShowMessageBox(GetWindow(), false);
                PostQuitMessage(0);
                return false;
            }
            if (GetWindow() != nullptr)
                ShowWindow(GetWindow(), SW_SHOWNORMAL);
            // Asked again while the uninstaller left the installation in place.
            continue;
        }
        if (answer == IDNO) {
            busy_ = 1;
            ShowPage(returnPage);
            busy_ = 0;
            break;
        }
        PostQuitMessage(0);
        return false;
    }
    return true;
}

void KZOrlixSetupWindow::CheckPage(KZ_UIWindow* page, const WString& registryKeyName)
{
    if (page != nullptr && page == licensePage_ && !busy_) {
        if (!CheckPreviousInstallation(registryKeyName))
            return;
    }
    KZ_UIButton* next = GetNextButton();
    if (next == nullptr)
        return;
    if (licensePage_ != nullptr && GetCurrentPage() == licensePage_ && agree_ != nullptr)
        next->Enable(agree_->GetCheck() != 0);
    else
        next->Enable(true);
    if (page != nullptr && page == summaryPage_)
        next->SetText(MessageCatalog::Lookup("KZ_UIWizard", L"Next.Install"));
}
