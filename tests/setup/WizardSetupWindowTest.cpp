// The product's setup window: what its constructors set, the License, Target and Summary
// pages, the rules for Next, the earlier-installation check and the task it creates.
#include "WizardTestSupport.h"

#include "archive/Archive.h"
#include "foundation/ProductDefinition.h"
#include "setup/KZOrlixPlayerSetupTask.h"
#include "setup/KZOrlixPlayerSetupWindow.h"
#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIRadioButton.h"
#include "ui/UIBitmap.h"
#include "ui/UILabel.h"
#include "ui/UILayoutCell.h"
#include "ui/UIRichText.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>

using namespace wizard;

namespace {

HBRUSH Colour5()
{
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(5));
}

class Counter : public KZ_EventListener {
public:
    void On(const char*, KZ_EventListener*, void*) { ++count; }
    int count = 0;
};

std::wstring Text(KZ_UIWindow* label)
{
    const WString& text = static_cast<UILabel*>(label)->GetText();
    return text.IsEmpty() ? std::wstring() : std::wstring(text.c_str());
}

int NativeCheck(KZ_UIRadioButton* radio)
{
    return static_cast<int>(SendMessageW(radio->GetControl(), BM_GETCHECK, 0, 0));
}

class SetupWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteProductEntry();
        SetEnvironmentVariableW(L"WIZARD_STUB_REMOVE", nullptr);
        SetEnvironmentVariableW(L"WIZARD_STUB_LOG", nullptr);
        window_ = new KZOrlixPlayerSetupWindow(L"##SetupWindow##", L"resources\\KZOrlixLicense.rtf");
        ASSERT_NE(window_->GetWindow(), nullptr);
    }
    void TearDown() override
    {
        window_->Release();
        Pump(200);
        TakeQuit();
        DeleteProductEntry();
    }
    void Build()
    {
        Pump();
        ASSERT_NE(window_->GetSummaryPage(), nullptr);
    }
    void PushNext() { Click(window_->GetNextButton()->GetControl()); }
    void PushBack() { Click(window_->GetBackButton()->GetControl()); }
    std::wstring NextText() { return WindowText(window_->GetNextButton()->GetControl()); }
    std::wstring StubPath() { return ProgramFolder() + L"\\wizard_uninstall_stub.exe"; }
    std::wstring StubLog()
    {
        std::wstring log = kztest::TempPath() + L"\\wizard_stub.log";
        DeleteFileW(log.c_str());
        SetEnvironmentVariableW(L"WIZARD_STUB_LOG", log.c_str());
        return log;
    }

    KZOrlixPlayerSetupWindow* window_ = nullptr;
};

TEST_F(SetupWindow, ConstructorsSetNamesCatalogsAndCaption)
{
    EXPECT_EQ(WindowText(window_->GetWindow()), L"Kaze Mar Orlix Player Install wizard");
    for (const char* name : {"KZOrlixPlayerSetupWindow", "KZOrlixSetupWindow", "KZ_UIWizardTask",
                             "KZ_UIWizard", "KZ_UIPopup", "KZ_UIWindow", "KZ_EventListener"})
        EXPECT_TRUE(window_->IsKindOf(name)) << name;
    EXPECT_FALSE(window_->IsKindOf("kzorlixsetupwindow"));
    EXPECT_FALSE(window_->IsKindOf("KZ_UIPanel"));
    EXPECT_STREQ(window_->GetCatalog(), "KZOrlixPlayerSetup");
    EXPECT_STREQ(window_->GetFallbackCatalog(), "KZOrlixSetup");
    EXPECT_EQ(ProductDefinition::GetDisplayName(), L"Kaze Mar Orlix Player");
    EXPECT_EQ(ProductDefinition::GetRegistryKeyName(), L"Kaze-Mar Orlix Player");
    EXPECT_EQ(ProductDefinition::GetVersionFile(), L"resources\\Zephyrix\\versions\\PlayerVersion.txt");
    EXPECT_EQ(window_->GetSideBitmapName(), L"KZOrlixSetup");
    EXPECT_EQ(window_->GetHeaderBitmapName(), L"KZOrlixSetupH");
    EXPECT_EQ(window_->GetUninstallerPath(), L"\\code\\bin\\OrlixPlayerUninstall.exe");
    EXPECT_EQ(window_->GetLicenseEntry(), L"resources\\KZOrlixLicense.rtf");
    // Nothing of the pages exists before the main loop delivers "Create".
    EXPECT_EQ(window_->GetWelcomePage(), nullptr);
    EXPECT_EQ(window_->GetLicensePage(), nullptr);
    EXPECT_EQ(window_->GetPathLabel(), nullptr);
    EXPECT_EQ(ChildNames(window_).size(), 3u);
    Build();
}

TEST_F(SetupWindow, PagesAndControlsInCreationOrder)
{
    Build();
    std::vector<std::wstring> pages = {L"WizardNext", L"WizardPrevious", L"WizardCancel", L"Welcome",
                                       L"License", L"Target", L"Summary", L"Install", L"End"};
    EXPECT_EQ(ChildNames(window_), pages);
    EXPECT_EQ(ChildNames(window_->GetLicensePage()),
              (std::vector<std::wstring>{L"RTF", L"Agree", L"NoAgree"}));
    EXPECT_EQ(ChildNames(window_->GetTargetPage()),
              (std::vector<std::wstring>{L"KZOrlixSetupH", L"TargetPanel"}));
    KZ_UIWindow* targetPanel = Child(window_->GetTargetPage(), L"TargetPanel");
    EXPECT_EQ(ChildNames(targetPanel),
              (std::vector<std::wstring>{L"Pad", L"Title", L"Label", L"Path", L"Browse"}));
    EXPECT_EQ(ChildNames(window_->GetSummaryPage()),
              (std::vector<std::wstring>{L"KZOrlixSetupH", L"SummaryPanel"}));
    KZ_UIWindow* summaryPanel = Child(window_->GetSummaryPage(), L"SummaryPanel");
    EXPECT_EQ(ChildNames(summaryPanel), (std::vector<std::wstring>{L"Title", L"Label", L"Pad"}));

    for (KZ_UIWindow* page : {static_cast<KZ_UIWindow*>(window_->GetLicensePage()),
                              static_cast<KZ_UIWindow*>(window_->GetTargetPage()), targetPanel,
                              static_cast<KZ_UIWindow*>(window_->GetSummaryPage()), summaryPanel})
        EXPECT_EQ(page->GetOwnBackground(), Colour5()) << page->GetName().c_str();
    EXPECT_NE(static_cast<UIBitmap*>(Child(window_->GetTargetPage(), L"KZOrlixSetupH"))->GetBitmap(),
              nullptr);

    ExpectCell(window_->GetLicenseView(), 0, 0, 1, 1, 15);
    ExpectCell(window_->GetAgreeButton(), 0, 1, 1, 1, 3);
    ExpectCell(window_->GetNoAgreeButton(), 0, 2, 1, 1, 3);
    ExpectCell(Child(window_->GetTargetPage(), L"KZOrlixSetupH"), 0, 0, 1, 1, 15);
    ExpectCell(targetPanel, 0, 1, 1, 1, 15);
    ExpectCell(Child(targetPanel, L"Title"), 0, 0, 1, 1, 3);
    ExpectCell(Child(targetPanel, L"Label"), 0, 1, 1, 1, 3);
    ExpectCell(Child(targetPanel, L"Browse"), 0, 2, 1, 1, 1);
    ExpectCell(Child(targetPanel, L"Path"), 0, 3, 1, 1, 3);
    ExpectCell(Child(targetPanel, L"Pad"), 0, 4, 1, 1, 1);
    ExpectCell(summaryPanel, 0, 1, 1, 1, 15);
    ExpectCell(Child(summaryPanel, L"Title"), 0, 0, 1, 1, 3);
    ExpectCell(Child(summaryPanel, L"Label"), 0, 1, 1, 1, 3);
    ExpectCell(Child(summaryPanel, L"Pad"), 0, 2, 1, 1, 1);
    EXPECT_EQ(Child(targetPanel, L"Title")->GetStyleFlags(), 1u);
    EXPECT_EQ(Child(targetPanel, L"Browse")->GetStyleFlags(), 1u);
    EXPECT_EQ(Child(summaryPanel, L"Title")->GetStyleFlags(), 1u);
    EXPECT_EQ(Child(summaryPanel, L"Label")->GetStyleFlags(), 0u);
    EXPECT_EQ(window_->GetPathLabel(), Child(targetPanel, L"Path"));
}

TEST_F(SetupWindow, TextsOfTheProductCatalogs)
{
    Build();
    EXPECT_EQ(window_->GetAgreeButton()->GetText(), L"I &accept the terms in the license agreement");
    EXPECT_EQ(window_->GetNoAgreeButton()->GetText(),
              L"I &do not accept the terms in the license agreement");
    KZ_UIWindow* targetPanel = Child(window_->GetTargetPage(), L"TargetPanel");
    EXPECT_EQ(static_cast<KZ_UIButton*>(Child(targetPanel, L"Browse"))->GetText(), L"&Change...");
    EXPECT_EQ(Text(Child(targetPanel, L"Title")), L"Choose installation folder");
    // The product's text wins over the generic one under the same key.
    EXPECT_EQ(Text(Child(targetPanel, L"Label")), L"Install Kaze Mar Orlix Player to:");
    EXPECT_EQ(Text(Child(targetPanel, L"Pad")), L" ");
    KZ_UIWindow* summaryPanel = Child(window_->GetSummaryPage(), L"SummaryPanel");
    EXPECT_EQ(Text(Child(summaryPanel, L"Title")), L"Ready to process installation.");
    EXPECT_EQ(Text(Child(summaryPanel, L"Label")),
              L"Click Back if you want to review or change any of your installation settings.\n"
              L"Click Install to run installation.\nClick Cancel to exit the wizard.");
    EXPECT_EQ(Text(window_->GetStatusLabel()), L"Install.InstallPanel.Status.Label");

    wchar_t programFiles[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE));
    EXPECT_EQ(Text(window_->GetPathLabel()), std::wstring(programFiles) + L"\\Kaze Mar Orlix Player");

    const char* bytes = nullptr;
    int count = 0;
    window_->GetLicenseView()->GetDocument(&bytes, &count);
    ASSERT_NE(bytes, nullptr);
    EXPECT_GT(count, 100);
    EXPECT_EQ(std::strncmp(bytes, "{\\rtf", 5), 0);
}

TEST_F(SetupWindow, TargetPageControlsDoNotOverlap)
{
    Build();
    window_->ShowPage(window_->GetTargetPage());
    KZ_UIWindow* targetPanel = Child(window_->GetTargetPage(), L"TargetPanel");
    std::vector<KZ_UIWindow*> controls = {Child(targetPanel, L"Title"), Child(targetPanel, L"Label"),
                                          Child(targetPanel, L"Browse"), Child(targetPanel, L"Path")};
    int panelWidth, panelHeight;
    targetPanel->GetClientSize(&panelWidth, &panelHeight);
    RECT previous = {0, 0, 0, 0};
    for (KZ_UIWindow* control : controls) {
        RECT at = Placement(control);
        EXPECT_GT(at.bottom, at.top) << control->GetName().c_str();
        EXPECT_GE(at.top, previous.bottom) << control->GetName().c_str();
        EXPECT_GE(at.left, 25) << control->GetName().c_str();
        EXPECT_LE(at.right, panelWidth - 25) << control->GetName().c_str();
        previous = at;
    }
    // The panel starts below the banner.
    RECT banner = Placement(Child(window_->GetTargetPage(), L"KZOrlixSetupH"));
    EXPECT_GE(Placement(targetPanel).top, banner.bottom);
    EXPECT_GT(banner.bottom, 0);
}

TEST_F(SetupWindow, LicenseChoiceRulesNext)
{
    Build();
    KZ_UIRadioButton* agree = window_->GetAgreeButton();
    KZ_UIRadioButton* noAgree = window_->GetNoAgreeButton();
    PushNext();
    ASSERT_EQ(window_->GetCurrentPage(), window_->GetLicensePage());
    EXPECT_FALSE(window_->GetNextButton()->IsEnabled());
    EXPECT_EQ(agree->GetCheck(), 0);
    EXPECT_NE(noAgree->GetCheck(), 0);
    EXPECT_EQ(NativeCheck(noAgree), BST_CHECKED);

    Click(agree->GetControl());
    EXPECT_TRUE(window_->GetNextButton()->IsEnabled());
    EXPECT_EQ(NativeCheck(agree), BST_CHECKED);
    EXPECT_EQ(NativeCheck(noAgree), BST_UNCHECKED);
    Click(agree->GetControl());
    EXPECT_EQ(NativeCheck(agree), BST_CHECKED);
    EXPECT_EQ(NativeCheck(noAgree), BST_UNCHECKED);
    EXPECT_TRUE(window_->GetNextButton()->IsEnabled());

    Click(noAgree->GetControl());
    EXPECT_FALSE(window_->GetNextButton()->IsEnabled());
    EXPECT_EQ(NativeCheck(agree), BST_UNCHECKED);
    EXPECT_EQ(NativeCheck(noAgree), BST_CHECKED);
    Click(noAgree->GetControl());
    EXPECT_EQ(NativeCheck(agree), BST_UNCHECKED);
    EXPECT_FALSE(window_->GetNextButton()->IsEnabled());

    Click(agree->GetControl());
    PushNext();
    ASSERT_EQ(window_->GetCurrentPage(), window_->GetTargetPage());
    EXPECT_TRUE(window_->GetNextButton()->IsEnabled());
    // Away from the License page the choice does not touch Next.
    window_->OnLicenseChoice(noAgree);
    EXPECT_TRUE(window_->GetNextButton()->IsEnabled());
    PushBack();
    ASSERT_EQ(window_->GetCurrentPage(), window_->GetLicensePage());
    EXPECT_FALSE(window_->GetNextButton()->IsEnabled());
}

TEST_F(SetupWindow, KeyboardFocusSurvivesADisabledNext)
{
    Build();
    SetActiveWindow(window_->GetWindow());
    ASSERT_EQ(GetActiveWindow(), window_->GetWindow());
    window_->GetNextButton()->Focus();
    ASSERT_EQ(GetFocus(), window_->GetNextButton()->GetControl());
    // Next is disabled on the License page: the focus moves to the page instead of vanishing.
    PushNext();
    ASSERT_FALSE(window_->GetNextButton()->IsEnabled());
    HWND focus = GetFocus();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(IsWindowEnabled(focus));
    EXPECT_EQ(focus, window_->GetLicenseView()->GetControl());
    // So Escape still reaches the wizard.
    PostMessageW(focus, WM_CHAR, 27, 0);
    Pump();
    EXPECT_TRUE(TakeQuit());
    // Choosing Agree by keyboard enables Next, which keeps the focus where the user is.
    window_->GetAgreeButton()->Focus();
    Click(window_->GetAgreeButton()->GetControl());
    EXPECT_EQ(GetFocus(), window_->GetAgreeButton()->GetControl());
}

TEST_F(SetupWindow, SummaryOffersInstall)
{
    Build();
    PushNext();
    Click(window_->GetAgreeButton()->GetControl());
    PushNext();
    EXPECT_EQ(NextText(), L"&Next >");
    PushNext();
    ASSERT_EQ(window_->GetCurrentPage(), window_->GetSummaryPage());
    EXPECT_EQ(NextText(), L"&Install >");
    EXPECT_TRUE(window_->GetNextButton()->IsEnabled());
    PushBack();
    ASSERT_EQ(window_->GetCurrentPage(), window_->GetTargetPage());
    EXPECT_EQ(NextText(), L"&Next >");
    PushNext();
    EXPECT_EQ(NextText(), L"&Install >");
    // Cancel before the install ends the program.
    Click(window_->GetCancelButton()->GetControl());
    EXPECT_TRUE(TakeQuit());
}

TEST_F(SetupWindow, CreateTaskUsesTheChosenFolderAndTheUninstallerPath)
{
    Build();
    window_->GetPathLabel()->SetText(L"D:\\Apps\\Kaze Mar Orlix Player");
    AsyncTask* created = window_->CreateTask();
    ASSERT_NE(created, nullptr);
    KZOrlixPlayerSetupTask* task = static_cast<KZOrlixPlayerSetupTask*>(created);
    EXPECT_EQ(task->GetInstallDirectory(), L"D:\\Apps\\Kaze Mar Orlix Player\\intel_a");
    EXPECT_EQ(task->GetUninstallerPath(), L"\\code\\bin\\OrlixPlayerUninstall.exe");
    EXPECT_FALSE(task->IsRunning());
    delete created;
}

TEST_F(SetupWindow, FinishRepublishesAndEnds)
{
    Build();
    Counter finish;
    window_->Subscribe("Finish", &finish, &Counter::On);
    // A folder without the guide: opening it fails, the setup ends all the same.
    window_->GetPathLabel()->SetText((ProgramFolder() + L"\\no-such-install").c_str());
    window_->ShowPage(window_->GetEndPage());
    EXPECT_TRUE(window_->GetNextButton()->IsEnabled());
    EXPECT_EQ(NextText(), L"&Finish");
    PushNext();
    EXPECT_EQ(finish.count, 2);
    EXPECT_TRUE(TakeQuit());
    // The window's own subscription is gone: a later Finish is published once.
    window_->Publish("Finish");
    EXPECT_EQ(finish.count, 3);
}

TEST_F(SetupWindow, NoAnswerContinuesOnTheLicensePage)
{
    ASSERT_TRUE(WriteProductEntry(L"C:\\Old Orlix", StubPath(), L""));
    Build();
    WString packaged;
    ASSERT_EQ(GetPackagedVersion(&packaged), S_OK);
    DialogAnswerer answerer(L"Program already installed", {IDNO, IDNO});
    PushNext();
    EXPECT_EQ(window_->GetCurrentPage(), window_->GetLicensePage());
    EXPECT_FALSE(window_->GetNextButton()->IsEnabled());
    EXPECT_FALSE(TakeQuit());
    // Back to Welcome and on again: asked again.
    PushBack();
    PushNext();
    answerer.Stop();
    ASSERT_EQ(answerer.Answered(), 2);
    EXPECT_EQ(answerer.Buttons()[0], (std::vector<int>{IDCANCEL, IDYES, IDNO}));
    std::wstring expected = L"A previous installation  of the program has been detected by the "
                            L"Installation Wizard " +
                            std::wstring(packaged.c_str()) + L".\nDo you want to uninstall";
    EXPECT_EQ(answerer.Texts()[0].substr(0, expected.size()), expected);
    EXPECT_EQ(window_->GetCurrentPage(), window_->GetLicensePage());
    Click(window_->GetAgreeButton()->GetControl());
    EXPECT_TRUE(window_->GetNextButton()->IsEnabled());
}

TEST_F(SetupWindow, VersionsShownInTheQuestion)
{
    ASSERT_TRUE(WriteProductEntry(L"C:\\Old Orlix", StubPath(), L"3.9.7"));
    Build();
    DialogAnswerer answerer(L"Program already installed", {IDNO});
    PushNext();
    answerer.Stop();
    ASSERT_EQ(answerer.Answered(), 1);
    EXPECT_EQ(answerer.Texts()[0].substr(0, 34), L"A previous installation 3.9.7 of t");
}

TEST_F(SetupWindow, CancelAnswerEndsTheProgram)
{
    ASSERT_TRUE(WriteProductEntry(L"C:\\Old Orlix", StubPath(), L"1.0.0"));
    Build();
    DialogAnswerer answerer(L"Program already installed", {IDCANCEL});
    PushNext();
    answerer.Stop();
    EXPECT_EQ(answerer.Answered(), 1);
    EXPECT_TRUE(TakeQuit());
    EXPECT_TRUE(ProductEntryExists());
}

TEST_F(SetupWindow, YesRunsTheUninstallerAndReturnsToWelcome)
{
    ASSERT_TRUE(WriteProductEntry(L"C:\\Old Orlix", StubPath(), L"1.0.0"));
    std::wstring log = StubLog();
    SetEnvironmentVariableW(L"WIZARD_STUB_REMOVE", L"1");
    Build();
    DialogAnswerer answerer(L"Program already installed", {IDYES});
    PushNext();
    answerer.Stop();
    EXPECT_EQ(answerer.Answered(), 1);
    EXPECT_FALSE(ProductEntryExists());
    EXPECT_EQ(ReadTextFile(log), L" /Uninstall\n");
    EXPECT_EQ(window_->GetCurrentPage(), window_->GetWelcomePage());
    EXPECT_TRUE(window_->GetNextButton()->IsEnabled());
    EXPECT_TRUE(IsWindowVisible(window_->GetWindow()));
    EXPECT_FALSE(TakeQuit());
    // Nothing installed any more: the License page comes without a question.
    PushNext();
    EXPECT_EQ(window_->GetCurrentPage(), window_->GetLicensePage());
    DeleteFileW(log.c_str());
}

TEST_F(SetupWindow, QuestionRepeatedWhileTheInstallationRemains)
{
    ASSERT_TRUE(WriteProductEntry(L"C:\\Old Orlix", StubPath(), L"1.0.0"));
    std::wstring log = StubLog();
    Build();
    DialogAnswerer answerer(L"Program already installed", {IDYES, IDNO});
    PushNext();
    answerer.Stop();
    EXPECT_EQ(answerer.Answered(), 2);
    EXPECT_EQ(ReadTextFile(log), L" /Uninstall\n");
    EXPECT_TRUE(ProductEntryExists());
    EXPECT_EQ(window_->GetCurrentPage(), window_->GetLicensePage());
    EXPECT_TRUE(IsWindowVisible(window_->GetWindow()));
    DeleteFileW(log.c_str());
}

TEST_F(SetupWindow, UninstallerThatCannotStartEndsTheProgram)
{
    ASSERT_TRUE(WriteProductEntry(L"C:\\Old Orlix", L"C:\\nowhere\\missing-uninstaller.exe", L"1.0.0"));
    Build();
    DialogAnswerer question(L"Program already installed", {IDYES});
    DialogAnswerer error(L"Error", {IDOK});
    PushNext();
    question.Stop();
    error.Stop();
    ASSERT_EQ(error.Answered(), 1);
    EXPECT_EQ(error.Buttons()[0], (std::vector<int>{IDOK}));
    EXPECT_NE(error.Texts()[0].find(L"Unable to start program [Kaze-Mar Orlix Player]"),
              std::wstring::npos);
    EXPECT_TRUE(TakeQuit());
    EXPECT_FALSE(IsWindowVisible(window_->GetWindow()));
}

} // namespace
