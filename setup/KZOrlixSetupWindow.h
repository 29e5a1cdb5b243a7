#pragma once
#include "ui/KZ_UIWizardTask.h"

class KZ_UIPanel;
class KZ_UIRadioButton;
class UILabel;
class UIRichText;

// The setup wizard of a product: License, Target and Summary pages between the frame's
// Welcome and Install pages, the check for an earlier installation when the License page is
// reached, and the rules that enable Next. Texts come from the product's own catalog first,
// then from "KZOrlixSetup".
//
// All pointers below are references to child windows, which the window tree owns; they stay
// null until the main loop delivers "Create".
class KZOrlixSetupWindow : public KZ_UIWizardTask {
public:
    // licenseEntry: archive path of the RTF license document.
    KZOrlixSetupWindow(const WString& name, const WString& licenseEntry);
    ~KZOrlixSetupWindow() override;

    bool IsKindOf(const char* className) const override;

    // The generic texts, asked after the product's own.
    static const char* const kFallbackCatalog;

    void AddPages() override;
    void OnPageChanged(KZ_UIWindow* page) override;
    // Initialises COM on this thread (the folder dialog and the shell need it) and loads the
    // license text.
    void OnFirstPageShown() override;

    virtual void BuildLicensePage();
    virtual void BuildTargetPage();
    virtual void BuildSummaryPage();
    // Answer to a push of one of the two license radio buttons.
    virtual void OnLicenseChoice(KZ_UIRadioButton* pushed);
    virtual void OnBrowse();
    // Removes the window's own Finish subscription, then publishes "Finish" again.
    virtual void OnFinish();
    // The earlier-installation check (License page only), then Next's state and caption.
    virtual void CheckPage(KZ_UIWindow* page, const WString& registryKeyName);
    // The question about an installed copy: both versions, and its caption.
    virtual void GetAlreadyInstalledTexts(WString& text, WString& caption);

    KZ_UIPanel* GetLicensePage() const { return licensePage_; }
    KZ_UIPanel* GetTargetPage() const { return targetPage_; }
    KZ_UIPanel* GetSummaryPage() const { return summaryPage_; }
    UILabel* GetPathLabel() const { return pathLabel_; }
    KZ_UIRadioButton* GetAgreeButton() const { return agree_; }
    KZ_UIRadioButton* GetNoAgreeButton() const { return noAgree_; }
    UIRichText* GetLicenseView() const { return licenseView_; }
    // Loads the license text into the license view, once; the License page loads it when
    // shown before that.
    void LoadLicenseText();
    const WString& GetLicenseEntry() const { return licenseEntry_; }
    // The uninstaller's path relative to the install directory, in the program folder.
    WString GetUninstallerPath() const;
    // The install target: the Target page's path label is its one home. False, folder
    // unchanged, before the page exists.
    bool GetTargetFolder(WString* folder) const;
    // Proposes the product's own folder below parent (the display name follows it).
    void SetTargetFolderBelow(const WString& parent);

protected:
    void SetUninstallerBaseName(const WString& name) { uninstallerBaseName_ = name; }

private:
    KZ_UIPanel* BuildBannerPage(const wchar_t* name, const wchar_t* panelName, KZ_UIPanel** panel);
    void OnLicenseChoiceEvent(const char* eventName, KZ_EventListener* publisher, void* userData);
    void OnBrowseEvent(const char* eventName, KZ_EventListener* publisher, void* userData);
    void OnFinishEvent(const char* eventName, KZ_EventListener* publisher, void* userData);
    // Returns false when the check ended the program (the caller stops at once).
    bool CheckPreviousInstallation(const WString& registryKeyName);
    // A new path text may wrap differently: lay the Target page out again.
    void RelayoutTargetPage();

    KZ_UIPanel* licensePage_;
    KZ_UIPanel* targetPage_;
    KZ_UIPanel* summaryPage_;
    UILabel* pathLabel_;
    KZ_UIRadioButton* agree_;
    KZ_UIRadioButton* noAgree_;
    UIRichText* licenseView_;
    EventSubscription* finishSubscription_;
    int busy_;
    bool licenseLoaded_;
    bool comInitialized_;   // by OnFirstPageShown, undone by the destructor
    WString licenseEntry_;
    WString uninstallerBaseName_;
};
