// Dialog keys through a real message queue: characters are posted to the focused native control
// and the queue is run as the main loop runs it, pre-translation first.
#include "UiTestSupport.h"

#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIPopup.h"
#include "ui/KZ_UIRadioButton.h"
#include "ui/UILabel.h"

#include <gtest/gtest.h>

namespace {

// Counts the Enter characters that reach a native control's own procedure.
WNDPROC g_buttonProc = nullptr;
int g_enterReachedControl = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR && wParam == 13)
        ++g_enterReachedControl;
    return CallWindowProcW(g_buttonProc, window, message, wParam, lParam);
}

void SetShift(bool down)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    keys[VK_LSHIFT] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// A wizard-like tree: the three buttons first, then a visible and a hidden page.
class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = new KZ_UIPopup(nullptr, L"Wizard", 0);
        root_->CenterOnDesktop(500, 400);
        next_ = new KZ_UIButton(root_, L"Next", 1);
        back_ = new KZ_UIButton(root_, L"Back", 1);
        cancel_ = new KZ_UIButton(root_, L"Cancel", 1);
        next_->SetDefault(1);
        page_ = new KZ_UIPanel(root_, L"Page", 0);
        agree_ = new KZ_UIRadioButton(page_, L"Agree");
        decline_ = new KZ_UIRadioButton(page_, L"Decline");
        change_ = new KZ_UIButton(page_, L"Change", 0);
        hidden_ = new KZ_UIPanel(root_, L"Hidden", 0);
        hiddenButton_ = new KZ_UIButton(hidden_, L"HiddenButton", 0);
        hidden_->Show(false);
        next_->Move(10, 300, 85, 22);
        back_->Move(100, 300, 85, 22);
        cancel_->Move(200, 300, 85, 22);
        page_->Move(0, 0, 490, 280);
        agree_->Move(10, 10, 200, 20);
        decline_->Move(10, 40, 200, 20);
        change_->Move(10, 70, 85, 22);
        pushes_.Watch(next_, "OnPushed");
        changePushes_.Watch(change_, "OnPushed");
        closes_.Watch(root_, "OnClose");
        PumpMessages();
    }
    void TearDown() override
    {
        SetShift(false);
        ReleaseTopLevel(root_);
        PumpMessages();
    }

    // Focuses the control, posts the character to it and runs the queue.
    void Type(KZ_UIControl* focused, wchar_t character)
    {
        SetFocus(focused->GetControl());
        ASSERT_EQ(focused->GetControl(), GetFocus());
        PostMessageW(focused->GetControl(), WM_CHAR, character, 1);
        PumpMessages();
    }

    KZ_UIPopup* root_;
    KZ_UIButton *next_, *back_, *cancel_, *change_, *hiddenButton_;
    KZ_UIPanel *page_, *hidden_;
    KZ_UIRadioButton *agree_, *decline_;
    EventCounter pushes_, changePushes_, closes_;
};

TEST_F(KeyboardTest, TabMovesForwardInTreeOrder)
{
    EventCounter agreePushes;
    agreePushes.Watch(agree_, "OnPushed");
    Type(next_, 9);
    EXPECT_EQ(back_->GetControl(), GetFocus());
    Type(cancel_, 9);    // into the page: the panel itself cannot take the focus
    EXPECT_EQ(agree_->GetControl(), GetFocus());
    // Windows clicks an unchecked radio button that gets the focus: tabbing chooses nothing.
    EXPECT_EQ(0, agreePushes.count);
    Type(agree_, 9);
    EXPECT_EQ(decline_->GetControl(), GetFocus());
}

TEST_F(KeyboardTest, TabSkipsDisabledControlsAndHiddenPagesAndWrapsAtTheRoot)
{
    back_->Enable(false);
    Type(next_, 9);
    EXPECT_EQ(cancel_->GetControl(), GetFocus());
    Type(change_, 9);    // the hidden page's button is not reached; wraps to the first control
    EXPECT_EQ(next_->GetControl(), GetFocus());
    hidden_->Show(true);
    Type(change_, 9);
    EXPECT_EQ(hiddenButton_->GetControl(), GetFocus());
}

TEST_F(KeyboardTest, ShiftTabWalksBackAmongSiblingsOnly)
{
    SetShift(true);
    Type(decline_, 9);
    EXPECT_EQ(agree_->GetControl(), GetFocus());
    Type(agree_, 9);     // wraps to the last sibling, never leaves the page
    EXPECT_EQ(change_->GetControl(), GetFocus());
    Type(next_, 9);      // among the root's children: wraps past the pages to Cancel
    EXPECT_EQ(cancel_->GetControl(), GetFocus());
}

TEST_F(KeyboardTest, ShiftTabOnTheOnlyFocusableSiblingKeepsTheFocusAndIsConsumed)
{
    KZ_UIPanel* lonely = new KZ_UIPanel(page_, L"Lonely", 0);
    new UILabel(lonely, L"Caption", 0);
    KZ_UIButton* only = new KZ_UIButton(lonely, L"Only", 0);
    SetShift(true);
    SetFocus(only->GetControl());
    MSG message = {only->GetControl(), WM_CHAR, 9, 1, 0, {0, 0}};
    EXPECT_EQ(1, KZ_UIPopup::PreTranslateKey(&message));
    EXPECT_EQ(only->GetControl(), GetFocus());
}

TEST_F(KeyboardTest, EnterPushesTheNearestEnabledDefaultButton)
{
    Type(agree_, 13);
    EXPECT_EQ(1, pushes_.count);
    EXPECT_EQ(next_, pushes_.publisher);

    change_->SetDefault(1);    // a default button inside the page is nearer
    Type(agree_, 13);
    EXPECT_EQ(1, changePushes_.count);
    EXPECT_EQ(1, pushes_.count);

    change_->Enable(false);    // disabled: the search goes on at the next ancestor
    Type(agree_, 13);
    EXPECT_EQ(1, changePushes_.count);
    EXPECT_EQ(2, pushes_.count);
}

TEST_F(KeyboardTest, EnterWithoutEnabledDefaultButtonReachesTheFocusedControl)
{
    next_->Enable(false);
    g_enterReachedControl = 0;
    g_buttonProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        back_->GetControl(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    Type(back_, 13);
    SetWindowLongPtrW(back_->GetControl(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_buttonProc));
    EXPECT_EQ(0, pushes_.count);
    EXPECT_EQ(1, g_enterReachedControl);
    MSG message = {back_->GetControl(), WM_CHAR, 13, 1, 0, {0, 0}};
    EXPECT_EQ(0, KZ_UIPopup::PreTranslateKey(&message));
}

TEST_F(KeyboardTest, EnterSentToAToolkitWindowIsHandledByItsProcedure)
{
    EXPECT_EQ(1, SendMessageW(page_->GetWindow(), WM_CHAR, 13, 1));
    EXPECT_EQ(1, pushes_.count);
    next_->Enable(false);
    SendMessageW(page_->GetWindow(), WM_CHAR, 13, 1);
    EXPECT_EQ(1, pushes_.count);
}

TEST_F(KeyboardTest, EscapeClosesTheEnclosingPopupWithoutDestroyingIt)
{
    Type(decline_, 27);
    EXPECT_EQ(1, closes_.count);
    EXPECT_EQ(root_, closes_.publisher);
    EXPECT_TRUE(IsWindow(root_->GetWindow()));
    EXPECT_TRUE(IsWindow(decline_->GetControl()));
}

TEST_F(KeyboardTest, EscapeGoesToTheNearestPopup)
{
    KZ_UIPopup* inner = new KZ_UIPopup(root_, L"Inner", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(inner, L"Panel", 0);
    KZ_UIButton* button = new KZ_UIButton(panel, L"Button", 0);
    EventCounter innerCloses;
    innerCloses.Watch(inner, "OnClose");
    MSG message = {button->GetControl(), WM_CHAR, 27, 1, 0, {0, 0}};
    EXPECT_EQ(1, KZ_UIPopup::PreTranslateKey(&message));
    EXPECT_EQ(1, innerCloses.count);
    EXPECT_EQ(0, closes_.count);
}

TEST_F(KeyboardTest, OtherMessagesAndForeignWindowsPassThrough)
{
    MSG letter = {agree_->GetControl(), WM_CHAR, 'a', 1, 0, {0, 0}};
    EXPECT_EQ(0, KZ_UIPopup::PreTranslateKey(&letter));
    MSG keyDown = {agree_->GetControl(), WM_KEYDOWN, VK_TAB, 1, 0, {0, 0}};
    EXPECT_EQ(0, KZ_UIPopup::PreTranslateKey(&keyDown));
    HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   nullptr, nullptr);
    for (WPARAM key : {WPARAM(9), WPARAM(13), WPARAM(27)}) {
        MSG message = {foreign, WM_CHAR, key, 1, 0, {0, 0}};
        EXPECT_EQ(0, KZ_UIPopup::PreTranslateKey(&message)) << key;
    }
    DestroyWindow(foreign);
    EXPECT_EQ(0, pushes_.count);
    EXPECT_EQ(0, closes_.count);
}

// Alt + the letter marked by "&" presses that control as a click would; a disabled or hidden
// one, or a letter nobody marks, is left to the system.
TEST_F(KeyboardTest, AccessKeysPressTheMarkedVisibleEnabledControl)
{
    next_->SetText(L"&Next >");
    back_->SetText(L"< &Back");
    change_->SetText(L"&Change...");
    hiddenButton_->SetText(L"&Hidden");
    agree_->SetText(L"I &accept");
    cancel_->SetText(L"R&&D");
    back_->Enable(false);
    EventCounter agreePushes;
    agreePushes.Watch(agree_, "OnPushed");
    SetFocus(next_->GetControl());
    auto altKey = [&](wchar_t letter) {
        MSG message = {GetFocus(), WM_SYSCHAR, letter, 1 << 29, 0, {0, 0}};
        return KZ_UIPopup::PreTranslateKey(&message);
    };
    EXPECT_EQ(1, altKey(L'c'));
    EXPECT_EQ(1, changePushes_.count);
    EXPECT_EQ(change_->GetControl(), GetFocus());
    EXPECT_EQ(1, altKey(L'N'));
    EXPECT_EQ(1, pushes_.count);
    EXPECT_EQ(next_->GetControl(), GetFocus());
    EXPECT_EQ(1, altKey(L'a'));
    EXPECT_EQ(1, agreePushes.count);
    EXPECT_EQ(agree_->GetControl(), GetFocus());
    EXPECT_EQ(0, altKey(L'b'));     // disabled
    EXPECT_EQ(0, altKey(L'h'));     // on a hidden page
    EXPECT_EQ(0, altKey(L'd'));     // "&&" is a literal "&", not a mark
    EXPECT_EQ(0, altKey(L'x'));
    EXPECT_EQ(1, changePushes_.count);
    EXPECT_EQ(1, pushes_.count);
    EXPECT_EQ(agree_->GetControl(), GetFocus());
    // Through the queue, as the main loop meets it.
    PostMessageW(agree_->GetControl(), WM_SYSCHAR, L'c', 1 << 29);
    PumpMessages();
    EXPECT_EQ(2, changePushes_.count);
}

// Another window in between (a dialog, a message box, another program) takes the focus with
// the activation; coming back, the control that had it gets it again.
TEST_F(KeyboardTest, FocusComesBackWhenThePopupIsActivatedAgain)
{
    SetForegroundWindow(root_->GetWindow());
    SetActiveWindow(root_->GetWindow());
    PumpMessages();
    ASSERT_EQ(root_->GetWindow(), GetActiveWindow());
    SetFocus(change_->GetControl());
    ASSERT_EQ(change_->GetControl(), GetFocus());
    KZ_UIPopup* other = new KZ_UIPopup(nullptr, L"Other", 0);
    other->CenterOnDesktop(200, 100);
    SetActiveWindow(other->GetWindow());
    PumpMessages();
    EXPECT_EQ(other->GetWindow(), GetActiveWindow());
    EXPECT_NE(change_->GetControl(), GetFocus());
    SetActiveWindow(root_->GetWindow());
    PumpMessages();
    EXPECT_EQ(change_->GetControl(), GetFocus());
    // A control that cannot take the focus any more is not given it.
    SetActiveWindow(other->GetWindow());
    PumpMessages();
    change_->Enable(false);
    SetActiveWindow(root_->GetWindow());
    PumpMessages();
    EXPECT_NE(change_->GetControl(), GetFocus());
    ReleaseTopLevel(other);
    PumpMessages();
}

// Ends the main loop after the queued keys, and at the latest after a bound.
void CALLBACK QuitTimer(HWND, UINT, UINT_PTR, DWORD)
{
    PostQuitMessage(0);
}

class Quitter : public KZ_EventListener {
public:
    void OnQuit(const char*, KZ_EventListener*, void*) { PostQuitMessage(0); }
};

TEST_F(KeyboardTest, MainLoopAppliesThePreTranslation)
{
    SetFocus(next_->GetControl());
    PostMessageW(next_->GetControl(), WM_CHAR, 9, 1);
    PostMessageW(next_->GetControl(), WM_CHAR, 13, 1);
    PostMessageW(next_->GetControl(), WM_CHAR, 27, 1);
    // A posted event queued behind the keys ends the loop once they are handled.
    Quitter quitter;
    root_->Subscribe("Quit", &quitter, &Quitter::OnQuit);
    ASSERT_TRUE(root_->Post("Quit"));
    UINT_PTR timer = SetTimer(nullptr, 0, 5000, &QuitTimer);
    EXPECT_EQ(0, KZ_EventListener::RunMainLoop());
    KillTimer(nullptr, timer);
    KZ_EventListener::SetMainThread();
    EXPECT_EQ(back_->GetControl(), GetFocus());
    EXPECT_EQ(1, pushes_.count);
    EXPECT_EQ(1, closes_.count);
}

} // namespace
