// KZ_UIWizardTask: the pages it builds on "Create", the task it runs from the Install page,
// the progress it shows and the end of the task, in pumped and in real main loops.
#include "WizardTestSupport.h"

#include "archive/Archive.h"
#include "foundation/PlatformError.h"
#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIProgressBar.h"
#include "ui/KZ_UIWizardTask.h"
#include "ui/UIBitmap.h"
#include "ui/UIGridLayout.h"
#include "ui/UILabel.h"
#include "ui/UILayoutCell.h"
#include "ui/UILook.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace wizard;

namespace {

HBRUSH Colour5()
{
    return reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(5));
}

// A job with a scripted result per run; optionally held at a gate after its first step.
class ScriptTask : public AsyncTask {
public:
    ~ScriptTask() override { ++destroyed; }
    int Run() override
    {
        LONG run = InterlockedIncrement(&runs) - 1;
        SetProgress(0, 3, L"Prepare");
        if (gate != nullptr)
            WaitForSingleObject(gate, 10000);
        SetProgress(1, 3, L"Extract");
        int result = run < static_cast<LONG>(results.size()) ? results[run] : 0;
        if (result != 0)
            PlatformError::SetError("KZOrlixSetup", L"ExtractResourceArchive");
        return result;
    }
    std::vector<int> results;
    volatile LONG runs = 0;
    HANDLE gate = nullptr;
    static int destroyed;
};
int ScriptTask::destroyed = 0;

struct ButtonStates {
    bool next, back, cancel;
    std::wstring nextText;
};

class TestWizard : public KZ_UIWizardTask {
public:
    TestWizard() : KZ_UIWizardTask(nullptr, L"Wizard")
    {
        SetCatalog("KZOrlixPlayerSetup");
        SetFallbackCatalog("KZOrlixSetup");
        SetBitmapNames(L"KZOrlixSetup", L"KZOrlixSetupH");
    }
    void AddPages() override
    {
        ++addPagesCalls;
        welcomeBeforeAddPages = GetWelcomePage() != nullptr;
        installBeforeAddPages = GetInstallPage() != nullptr;
        middle = new KZ_UIPanel(this, L"Middle", 0);
    }
    AsyncTask* CreateTask() override
    {
        ++createCalls;
        statesAtCreate = States();
        AsyncTask* task = nextTask;
        nextTask = nullptr;
        if (task != nullptr && followProgress)
            task->Subscribe("Progress", this, &TestWizard::AfterProgress);
        return task;
    }
    void OnPageChanged(KZ_UIWindow* page) override { changedPages.push_back(page); }

    // Subscribed before the wizard: runs after the wizard's own handler.
    void AfterProgress(const char*, KZ_EventListener*, void*)
    {
        if (!progressSeen) {
            progressSeen = true;
            statesAtProgress = States();
        }
    }
    ButtonStates States()
    {
        return {GetNextButton()->IsEnabled(), GetBackButton()->IsEnabled(),
                GetCancelButton()->IsEnabled(), GetNextButton()->GetText().c_str()};
    }

    KZ_UIPanel* middle = nullptr;
    int addPagesCalls = 0;
    int createCalls = 0;
    bool welcomeBeforeAddPages = false;
    bool installBeforeAddPages = true;
    AsyncTask* nextTask = nullptr;
    // Off when the test destroys the wizard under a task, whose subscription would outlive it.
    bool followProgress = true;
    std::vector<KZ_UIWindow*> changedPages;
    bool progressSeen = false;
    ButtonStates statesAtCreate{};
    ButtonStates statesAtProgress{};
};

// Drives a wizard from inside a real main loop: shows the Install page, and when the End page
// has been shown and its handlers are done, records the buttons and pushes Finish.
class Driver : public KZ_EventListener {
public:
    explicit Driver(TestWizard* wizard) : wizard_(wizard)
    {
        Subscribe("Go", this, &Driver::OnGo);
        Subscribe("Check", this, &Driver::OnCheck);
    }
    void OnGo(const char*, KZ_EventListener*, void*)
    {
        wizard_->Subscribe("PageChanged", this, &Driver::OnPage);
        wizard_->ShowPage(wizard_->GetInstallPage());
    }
    void OnPage(const char*, KZ_EventListener*, void*)
    {
        if (wizard_->GetCurrentPage() == wizard_->GetEndPage())
            Post("Check");
    }
    void OnCheck(const char*, KZ_EventListener*, void*)
    {
        endReached = true;
        statesAtEnd = wizard_->States();
        taskAtEnd = wizard_->GetTask();
        SendMessageW(wizard_->GetNextButton()->GetControl(), BM_CLICK, 0, 0);
    }
    bool endReached = false;
    ButtonStates statesAtEnd{};
    AsyncTask* taskAtEnd = reinterpret_cast<AsyncTask*>(1);

private:
    TestWizard* wizard_;
};

class WizardTask : public ::testing::Test {
protected:
    void SetUp() override
    {
        ScriptTask::destroyed = 0;
        wizard_ = new TestWizard;
        ASSERT_NE(wizard_->GetWindow(), nullptr);
    }
    void TearDown() override
    {
        if (wizard_ != nullptr)
            wizard_->Release();
        Pump(200);
        TakeQuit();
    }
    void Build()
    {
        Pump();
        ASSERT_NE(wizard_->GetInstallPage(), nullptr);
    }

    TestWizard* wizard_ = nullptr;
};

TEST_F(WizardTask, PagesWaitForTheCreateEvent)
{
    EXPECT_TRUE(wizard_->IsKindOf("KZ_UIWizardTask"));
    EXPECT_TRUE(wizard_->IsKindOf("KZ_UIWizard"));
    EXPECT_EQ(wizard_->GetWelcomePage(), nullptr);
    EXPECT_EQ(wizard_->GetInstallPage(), nullptr);
    EXPECT_EQ(ChildNames(wizard_).size(), 3u);
    EXPECT_EQ(wizard_->addPagesCalls, 0);

    // "Create" builds the Welcome page alone, yet it is not the last page: the window is
    // first painted with Next and Cancel as they stay once the other pages follow.
    wizard_->Publish("Create");
    EXPECT_NE(wizard_->GetWelcomePage(), nullptr);
    EXPECT_EQ(wizard_->GetInstallPage(), nullptr);
    EXPECT_EQ(wizard_->addPagesCalls, 0);
    EXPECT_TRUE(wizard_->GetCancelButton()->IsEnabled());
    EXPECT_EQ(wizard_->GetNextButton()->GetText(), L"&Next >");

    Build();
    std::vector<std::wstring> expected = {L"WizardNext", L"WizardPrevious", L"WizardCancel",
                                          L"Welcome", L"Middle", L"Install", L"End"};
    EXPECT_EQ(ChildNames(wizard_), expected);
    EXPECT_EQ(wizard_->addPagesCalls, 1);
    EXPECT_TRUE(wizard_->welcomeBeforeAddPages);
    EXPECT_FALSE(wizard_->installBeforeAddPages);
    EXPECT_EQ(wizard_->GetCurrentPage(), wizard_->GetWelcomePage());
    EXPECT_TRUE(IsVisible(wizard_->GetWelcomePage()));
    EXPECT_FALSE(IsVisible(wizard_->middle));
    // The pages added after the first paint are placed like the first one.
    RECT welcomeArea, middleArea;
    GetWindowRect(wizard_->GetWelcomePage()->GetWindow(), &welcomeArea);
    GetWindowRect(wizard_->middle->GetWindow(), &middleArea);
    EXPECT_TRUE(EqualRect(&welcomeArea, &middleArea));
    EXPECT_GT(middleArea.bottom - middleArea.top, 0);
    EXPECT_FALSE(wizard_->GetBackButton()->IsEnabled());
    EXPECT_TRUE(wizard_->GetCancelButton()->IsEnabled());
    EXPECT_EQ(wizard_->GetNextButton()->GetText(), L"&Next >");
    // The Welcome page is shown before the page-change handler exists.
    EXPECT_TRUE(wizard_->changedPages.empty());

    // Centred at 500 x 400 on the 1024 x 768 screen.
    RECT frame;
    GetWindowRect(wizard_->GetWindow(), &frame);
    EXPECT_EQ(frame.left, 262);
    EXPECT_EQ(frame.top, 184);
    EXPECT_EQ(frame.right - frame.left, 500);
    EXPECT_EQ(frame.bottom - frame.top, 400);

    // A second "Create" builds nothing more.
    wizard_->Publish("Create");
    EXPECT_EQ(ChildNames(wizard_).size(), 7u);
    EXPECT_EQ(wizard_->addPagesCalls, 1);
}

TEST_F(WizardTask, WelcomeAndEndPages)
{
    Build();
    KZ_UIPanel* welcome = wizard_->GetWelcomePage();
    KZ_UIPanel* end = wizard_->GetEndPage();
    std::vector<std::wstring> welcomeNames = {L"KZOrlixSetup", L"Title", L"Info", L"Warn", L"Pad"};
    std::vector<std::wstring> endNames = {L"KZOrlixSetup", L"Title", L"Info", L"Pad"};
    EXPECT_EQ(ChildNames(welcome), welcomeNames);
    EXPECT_EQ(ChildNames(end), endNames);
    EXPECT_EQ(welcome->GetOwnBackground(), UILook::GetWhiteBrush());
    EXPECT_EQ(end->GetOwnBackground(), UILook::GetWhiteBrush());

    ExpectCell(Child(welcome, L"KZOrlixSetup"), 0, 0, 1, 4, 15);
    ExpectCell(Child(welcome, L"Title"), 1, 0, 1, 1, 3);
    ExpectCell(Child(welcome, L"Info"), 1, 1, 1, 1, 11);
    ExpectCell(Child(welcome, L"Warn"), 1, 2, 1, 1, 7);
    ExpectCell(Child(welcome, L"Pad"), 1, 3, 1, 1, 15);
    ExpectCell(Child(end, L"KZOrlixSetup"), 0, 0, 1, 4, 15);
    ExpectCell(Child(end, L"Title"), 1, 0, 1, 1, 11);
    ExpectCell(Child(end, L"Info"), 1, 1, 1, 1, 7);
    ExpectCell(Child(end, L"Pad"), 1, 2, 1, 1, 15);
    EXPECT_EQ(Child(welcome, L"Title")->GetStyleFlags(), 1u);
    EXPECT_EQ(Child(welcome, L"Info")->GetStyleFlags(), 0u);
    EXPECT_EQ(Child(end, L"Title")->GetStyleFlags(), 1u);

    WString version;
    ASSERT_EQ(GetPackagedVersion(&version), S_OK);
    UILabel* title = static_cast<UILabel*>(Child(welcome, L"Title"));
    EXPECT_EQ(title->GetText(),
              L"Welcome to the Installation Wizard for Kaze Mar Orlix Player " + version);
    EXPECT_EQ(static_cast<UILabel*>(Child(end, L"Title"))->GetText(),
              L"Kaze Mar Orlix Player Installation Complete");
    EXPECT_EQ(static_cast<UILabel*>(Child(welcome, L"Pad"))->GetText(), L" ");

    // The banner fills the left column from the top; the texts start to its right, and the
    // filler row takes the height the texts leave.
    UIBitmap* banner = static_cast<UIBitmap*>(Child(welcome, L"KZOrlixSetup"));
    ASSERT_NE(banner->GetBitmap(), nullptr);
    int bannerWidth = 0, bannerHeight = 0;
    banner->GetPreferredSize(&bannerWidth, &bannerHeight);
    RECT bannerAt = Placement(banner);
    RECT titleAt = Placement(title);
    RECT padAt = Placement(Child(welcome, L"Pad"));
    EXPECT_EQ(bannerAt.left, 0);
    EXPECT_EQ(bannerAt.top, 0);
    EXPECT_EQ(titleAt.left, bannerWidth);
    EXPECT_LT(titleAt.top, 10);
    EXPECT_GT(padAt.bottom - padAt.top, titleAt.bottom - titleAt.top);
    // Down to the page's bottom, give or take what the integer division of the banner's
    // height over four rows and the weighted fit lose.
    int pageWidth, pageHeight;
    welcome->GetClientSize(&pageWidth, &pageHeight);
    EXPECT_NEAR(padAt.bottom, pageHeight, 3);
}

TEST_F(WizardTask, InstallPageAndItsKeys)
{
    Build();
    KZ_UIPanel* install = wizard_->GetInstallPage();
    std::vector<std::wstring> names = {L"KZOrlixSetupH", L"InstallPanel"};
    EXPECT_EQ(ChildNames(install), names);
    KZ_UIWindow* panel = Child(install, L"InstallPanel");
    std::vector<std::wstring> inner = {L"Status", L"Progress", L"Pad"};
    EXPECT_EQ(ChildNames(panel), inner);
    EXPECT_EQ(install->GetOwnBackground(), Colour5());
    EXPECT_EQ(panel->GetOwnBackground(), Colour5());
    ExpectCell(Child(install, L"KZOrlixSetupH"), 0, 0, 1, 1, 15);
    ExpectCell(panel, 0, 1, 1, 1, 15);
    ExpectCell(Child(panel, L"Status"), 0, 0, 1, 1, 11);
    ExpectCell(Child(panel, L"Progress"), 0, 1, 1, 1, 7);
    ExpectCell(Child(panel, L"Pad"), 0, 2, 1, 1, 15);
    EXPECT_EQ(wizard_->GetStatusLabel(), Child(panel, L"Status"));
    EXPECT_EQ(static_cast<KZ_UIWindow*>(wizard_->GetProgressBar()), Child(panel, L"Progress"));
    // No catalog knows the status key: it is its own text until the first "Progress".
    EXPECT_EQ(wizard_->GetStatusLabel()->GetText(), L"Install.InstallPanel.Status.Label");
    EXPECT_EQ(static_cast<UILabel*>(Child(panel, L"Pad"))->GetText(), L" ");

    // The bar sits below the status text, inside the panel's 25-pixel margins.
    wizard_->ShowPage(install);
    RECT status = Placement(wizard_->GetStatusLabel());
    RECT bar = Placement(wizard_->GetProgressBar());
    int panelWidth, panelHeight;
    panel->GetClientSize(&panelWidth, &panelHeight);
    EXPECT_GE(bar.top, status.bottom);
    EXPECT_EQ(bar.left, 25);
    EXPECT_EQ(bar.right, panelWidth - 25);
}

// Counts what reaches the native progress bar.
WNDPROC g_barProc = nullptr;
int g_setRange = 0;
int g_setPos = 0;
LPARAM g_lastRange = 0;
WPARAM g_lastPos = 0;

LRESULT CALLBACK CountingBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == PBM_SETRANGE) {
        ++g_setRange;
        g_lastRange = lParam;
    } else if (message == PBM_SETPOS) {
        ++g_setPos;
        g_lastPos = wParam;
    }
    return CallWindowProcW(g_barProc, window, message, wParam, lParam);
}

TEST_F(WizardTask, ProgressAndEndOfASuccessfulTask)
{
    Build();
    ScriptTask* task = new ScriptTask;
    task->gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wizard_->nextTask = task;
    HWND bar = wizard_->GetProgressBar()->GetControl();
    g_barProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingBarProc)));
    g_setRange = g_setPos = 0;

    wizard_->ShowPage(wizard_->middle);
    wizard_->ShowPage(wizard_->GetInstallPage());
    EXPECT_EQ(wizard_->createCalls, 1);
    ASSERT_EQ(wizard_->GetTask(), task);
    ASSERT_EQ(wizard_->changedPages.size(), 2u);
    EXPECT_EQ(wizard_->changedPages[1], wizard_->GetInstallPage());
    // CreateTask is asked with the buttons already disabled.
    EXPECT_FALSE(wizard_->statesAtCreate.next);
    EXPECT_FALSE(wizard_->statesAtCreate.back);
    EXPECT_FALSE(wizard_->statesAtCreate.cancel);
    EXPECT_EQ(task->GetCatalog(), wizard_->GetCatalog());

    ASSERT_TRUE(PumpUntil([&] { return wizard_->progressSeen; }));
    EXPECT_EQ(wizard_->GetStatusLabel()->GetText(), L"Prepare to install...");
    // (0, 3): a new range, an unchanged position.
    EXPECT_EQ(g_setRange, 1);
    EXPECT_EQ(HIWORD(g_lastRange), 3);
    EXPECT_EQ(g_setPos, 0);

    // The same state again: nothing for the bar, the text all the same.
    wizard_->GetStatusLabel()->SetText(L"x");
    task->SetProgress(0, 3, L"Prepare");
    Pump();
    EXPECT_EQ(g_setRange, 1);
    EXPECT_EQ(g_setPos, 0);
    EXPECT_EQ(wizard_->GetStatusLabel()->GetText(), L"Prepare to install...");

    task->SetProgress(2, 3, L"Register");
    Pump();
    EXPECT_EQ(g_setRange, 1);
    EXPECT_EQ(g_setPos, 1);
    EXPECT_EQ(g_lastPos, 2u);
    EXPECT_EQ(wizard_->GetStatusLabel()->GetText(), L"Register application...");

    // Log-off and restart wait for the running task; closing or finishing does nothing.
    EXPECT_EQ(FALSE, SendMessageW(wizard_->GetWindow(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    SendMessageW(wizard_->GetWindow(), WM_CLOSE, 0, 0);
    wizard_->Publish("Finish");
    Pump();
    EXPECT_FALSE(TakeQuit());
    EXPECT_EQ(wizard_->GetCurrentPage(), wizard_->GetInstallPage());

    SetEvent(task->gate);
    ASSERT_TRUE(PumpUntil([&] { return wizard_->GetTask() == nullptr; }));
    HANDLE gate = task->gate;
    EXPECT_EQ(ScriptTask::destroyed, 1);
    CloseHandle(gate);
    EXPECT_EQ(wizard_->GetCurrentPage(), wizard_->GetEndPage());
    EXPECT_TRUE(wizard_->GetNextButton()->IsEnabled());
    EXPECT_FALSE(wizard_->GetBackButton()->IsEnabled());
    EXPECT_FALSE(wizard_->GetCancelButton()->IsEnabled());
    EXPECT_EQ(WindowText(wizard_->GetNextButton()->GetControl()), L"&Finish");

    // Without a task the session may end, and the close request ends the program.
    EXPECT_EQ(TRUE, SendMessageW(wizard_->GetWindow(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    SendMessageW(wizard_->GetWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(TakeQuit());
    SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_barProc));
}

TEST_F(WizardTask, NoTaskLeavesTheButtonsDisabled)
{
    Build();
    wizard_->ShowPage(wizard_->GetInstallPage());
    EXPECT_EQ(wizard_->createCalls, 1);
    EXPECT_EQ(wizard_->GetTask(), nullptr);
    EXPECT_FALSE(wizard_->GetNextButton()->IsEnabled());
    EXPECT_FALSE(wizard_->GetBackButton()->IsEnabled());
    EXPECT_FALSE(wizard_->GetCancelButton()->IsEnabled());
    SendMessageW(wizard_->GetWindow(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(TakeQuit());
}

TEST_F(WizardTask, SuccessInARealMainLoop)
{
    Build();
    ScriptTask* task = new ScriptTask;
    wizard_->nextTask = task;
    Driver driver(wizard_);
    ASSERT_TRUE(driver.Post("Go"));
    ASSERT_TRUE(RunMainLoopFor(15000));
    EXPECT_EQ(task->runs, 1);
    EXPECT_EQ(ScriptTask::destroyed, 1);
    ASSERT_TRUE(wizard_->progressSeen);
    EXPECT_FALSE(wizard_->statesAtProgress.next);
    EXPECT_FALSE(wizard_->statesAtProgress.back);
    EXPECT_FALSE(wizard_->statesAtProgress.cancel);
    ASSERT_TRUE(driver.endReached);
    EXPECT_EQ(driver.taskAtEnd, nullptr);
    EXPECT_TRUE(driver.statesAtEnd.next);
    EXPECT_FALSE(driver.statesAtEnd.back);
    EXPECT_FALSE(driver.statesAtEnd.cancel);
    EXPECT_EQ(driver.statesAtEnd.nextText, L"&Finish");
}

TEST_F(WizardTask, FailureRetriedInARealMainLoop)
{
    Build();
    ScriptTask* task = new ScriptTask;
    task->results = {static_cast<int>(E_FAIL), 0};
    wizard_->nextTask = task;
    Driver driver(wizard_);
    DialogAnswerer answerer(L"Error", {IDRETRY});
    ASSERT_TRUE(driver.Post("Go"));
    ASSERT_TRUE(RunMainLoopFor(20000));
    answerer.Stop();
    ASSERT_EQ(answerer.Answered(), 1);
    EXPECT_EQ(answerer.Texts()[0], L"Unable to extract files");
    EXPECT_EQ(answerer.Buttons()[0], (std::vector<int>{IDCANCEL, IDRETRY}));
    EXPECT_EQ(task->runs, 2);
    EXPECT_EQ(ScriptTask::destroyed, 1);
    EXPECT_TRUE(driver.endReached);
    EXPECT_TRUE(driver.statesAtEnd.next);
}

TEST_F(WizardTask, FailureCancelledEndsTheLoopAndKeepsTheTask)
{
    Build();
    ScriptTask* task = new ScriptTask;
    task->results = {static_cast<int>(E_FAIL)};
    wizard_->nextTask = task;
    Driver driver(wizard_);
    DialogAnswerer answerer(L"Error", {IDCANCEL});
    ASSERT_TRUE(driver.Post("Go"));
    ASSERT_TRUE(RunMainLoopFor(20000));
    answerer.Stop();
    EXPECT_EQ(answerer.Answered(), 1);
    EXPECT_EQ(task->runs, 1);
    EXPECT_FALSE(driver.endReached);
    EXPECT_EQ(wizard_->GetTask(), task);
    EXPECT_EQ(wizard_->GetCurrentPage(), wizard_->GetInstallPage());
    EXPECT_FALSE(wizard_->GetNextButton()->IsEnabled());
    EXPECT_EQ(ScriptTask::destroyed, 0);
    // The kept task goes with the window.
    wizard_->Release();
    wizard_ = nullptr;
    EXPECT_EQ(ScriptTask::destroyed, 1);
}

TEST_F(WizardTask, StartFailureShowsTheErrorAndQuits)
{
    Build();
    // A task that already runs refuses a second start.
    ScriptTask* task = new ScriptTask;
    task->gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(task->Start(), S_OK);
    wizard_->nextTask = task;
    Driver driver(wizard_);
    DialogAnswerer answerer(L"Error", {IDOK});
    ASSERT_TRUE(driver.Post("Go"));
    ASSERT_TRUE(RunMainLoopFor(15000));
    answerer.Stop();
    ASSERT_EQ(answerer.Answered(), 1);
    EXPECT_EQ(answerer.Texts()[0], L"AsyncTask.AlreadyStarted");
    EXPECT_EQ(answerer.Buttons()[0], (std::vector<int>{IDOK}));
    EXPECT_EQ(wizard_->GetTask(), nullptr);
    // Still running: not deleted under its worker, and no longer followed by the wizard.
    EXPECT_EQ(ScriptTask::destroyed, 0);
    SetEvent(task->gate);
    ASSERT_TRUE(PumpUntil([&] { return !task->IsRunning(); }));
    Pump(300);
    EXPECT_EQ(wizard_->GetCurrentPage(), wizard_->GetInstallPage());
    CloseHandle(task->gate);
    delete task;
}

// Opens a popup menu (a modal loop of its own) on the wizard while the task runs, releases
// the task's gate once the menu is up, and dismisses the menu when the End page is shown.
class MenuDriver : public Driver {
public:
    MenuDriver(TestWizard* wizard, ScriptTask* task) : Driver(wizard), wizard_(wizard), task_(task)
    {
        Subscribe("Menu", this, &MenuDriver::OnMenu);
        wizard->Subscribe("PageChanged", this, &MenuDriver::OnPageInMenu);
        task->Subscribe("Progress", this, &MenuDriver::OnProgress);
    }
    static DWORD WINAPI OpenGateWhenMenuIsUp(LPVOID parameter)
    {
        MenuDriver* self = static_cast<MenuDriver*>(parameter);
        for (int i = 0; i < 1000; ++i) {
            HWND menu = FindWindowW(L"#32768", nullptr);
            if (menu != nullptr && IsWindowVisible(menu)) {
                SetEvent(self->task_->gate);
                // An "End" that never arrives must not hold the menu for good.
                for (int j = 0; j < 1000 && self->inMenu; ++j)
                    Sleep(10);
                if (self->inMenu)
                    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                return 0;
            }
            Sleep(10);
        }
        return 1;
    }
    void OnMenu(const char*, KZ_EventListener*, void*)
    {
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 1, L"Item");
        HANDLE watcher = CreateThread(nullptr, 0, OpenGateWhenMenuIsUp, this, 0, nullptr);
        inMenu = true;
        TrackPopupMenu(menu, TPM_RETURNCMD, 300, 300, 0, wizard_->GetWindow(), nullptr);
        inMenu = false;
        DestroyMenu(menu);
        if (watcher != nullptr) {
            WaitForSingleObject(watcher, 15000);
            CloseHandle(watcher);
        }
        // Whatever the menu saw, the wizard goes on to Finish once the End page is there.
        if (wizard_->GetCurrentPage() == wizard_->GetEndPage())
            Post("Check");
    }
    void OnPageInMenu(const char*, KZ_EventListener*, void*)
    {
        if (wizard_->GetCurrentPage() == wizard_->GetEndPage() && inMenu) {
            endInMenu = true;
            EndMenu();
        }
    }
    void OnProgress(const char*, KZ_EventListener*, void*)
    {
        if (inMenu)
            progressInMenu = true;
    }
    volatile bool inMenu = false;
    bool endInMenu = false;
    bool progressInMenu = false;

private:
    TestWizard* wizard_;
    ScriptTask* task_;
};

TEST_F(WizardTask, EndAndProgressReachTheWizardInsideAMenuLoop)
{
    Build();
    ScriptTask* task = new ScriptTask;
    task->gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wizard_->nextTask = task;
    MenuDriver driver(wizard_, task);
    ASSERT_TRUE(driver.Post("Go"));
    ASSERT_TRUE(driver.Post("Menu"));
    bool ended = RunMainLoopFor(20000);
    CloseHandle(task->gate);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(driver.progressInMenu);
    EXPECT_TRUE(driver.endInMenu);
    EXPECT_TRUE(driver.endReached);
    EXPECT_EQ(ScriptTask::destroyed, 1);
}

// A task in pages of its own: once deleted, any touch of it faults.
class PoisonedScriptTask : public ScriptTask {
public:
    static void* operator new(size_t size)
    {
        return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    }
    static void operator delete(void* block, size_t size) { VirtualFree(block, size, MEM_DECOMMIT); }
};

TEST_F(WizardTask, WindowDestroyedUnderItsTask)
{
    // While the worker runs: the task is cut loose, not freed, and the loop is asked to end.
    Build();
    wizard_->followProgress = false;
    PoisonedScriptTask* running = new PoisonedScriptTask;
    running->gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    wizard_->nextTask = running;
    wizard_->ShowPage(wizard_->GetInstallPage());
    ASSERT_TRUE(running->IsRunning());
    wizard_->Release();
    wizard_ = nullptr;
    EXPECT_TRUE(TakeQuit());
    EXPECT_EQ(ScriptTask::destroyed, 0);
    SetEvent(running->gate);
    ASSERT_TRUE(PumpUntil([&] { return !running->IsRunning(); }));
    Pump(300);
    CloseHandle(running->gate);
    delete running;

    // After the worker ended, with its "End" still queued: that event must not find a freed
    // task.
    wizard_ = new TestWizard;
    wizard_->followProgress = false;
    Build();
    PoisonedScriptTask* ended = new PoisonedScriptTask;
    wizard_->nextTask = ended;
    wizard_->ShowPage(wizard_->GetInstallPage());
    for (int i = 0; i < 1000 && ended->IsRunning(); ++i)
        Sleep(10);
    ASSERT_FALSE(ended->IsRunning());
    wizard_->Release();
    wizard_ = nullptr;
    Pump(300);
    EXPECT_TRUE(TakeQuit());
    EXPECT_EQ(ScriptTask::destroyed, 1);
    delete ended;
}

} // namespace
