// The window base: type names, catalog keys along the tree, the window procedure's events and
// the lifetime of objects held by their native windows.
#include "UiTestSupport.h"

#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIPopup.h"
#include "ui/KZ_UIProgressBar.h"
#include "ui/KZ_UIRadioButton.h"
#include "ui/UIBitmap.h"
#include "ui/UILabel.h"
#include "ui/UILook.h"
#include "ui/UIRichText.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <set>

namespace {

// --- type names -------------------------------------------------------------------------------

TEST(WindowTypes, EachClassAnswersForItselfAndItsAncestorsOnly)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(root, L"Panel", 0);
    KZ_UIButton* button = new KZ_UIButton(panel, L"Button", 0);
    KZ_UIRadioButton* radio = new KZ_UIRadioButton(panel, L"Radio");
    KZ_UIProgressBar* progress = new KZ_UIProgressBar(panel, L"Progress");
    UILabel* label = new UILabel(panel, L"Label", 0);
    UIRichText* rich = new UIRichText(panel, L"Rich");
    UIBitmap* bitmap = new UIBitmap(panel, L"Good");

    EXPECT_TRUE(root->IsKindOf("KZ_UIPopup"));
    EXPECT_TRUE(root->IsKindOf("KZ_UIWindow"));
    EXPECT_TRUE(root->IsKindOf("KZ_EventListener"));
    EXPECT_FALSE(root->IsKindOf("KZ_UIPanel"));
    EXPECT_TRUE(panel->IsKindOf("KZ_UIPanel"));
    EXPECT_FALSE(panel->IsKindOf("KZ_UIPopup"));
    EXPECT_TRUE(button->IsKindOf("KZ_UIButton"));
    EXPECT_TRUE(button->IsKindOf("KZ_UIControl"));
    EXPECT_FALSE(button->IsKindOf("KZ_UIRadioButton"));
    EXPECT_TRUE(radio->IsKindOf("KZ_UIRadioButton"));
    EXPECT_FALSE(radio->IsKindOf("KZ_UIButton"));
    EXPECT_TRUE(progress->IsKindOf("KZ_UIProgressBar"));
    EXPECT_TRUE(progress->IsKindOf("KZ_UIControl"));
    EXPECT_TRUE(rich->IsKindOf("KZ_UIControl"));
    EXPECT_FALSE(rich->IsKindOf("UIRichText"));
    EXPECT_TRUE(label->IsKindOf("KZ_UIWindow"));
    EXPECT_FALSE(label->IsKindOf("UILabel"));
    EXPECT_FALSE(label->IsKindOf("KZ_UIControl"));
    EXPECT_FALSE(bitmap->IsKindOf("KZ_UIControl"));
    EXPECT_FALSE(button->IsKindOf("kz_uibutton"));
    EXPECT_FALSE(button->IsKindOf("KZ_UIButton "));
    ReleaseTopLevel(root);
}

// --- catalog keys -----------------------------------------------------------------------------

class CatalogKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = new KZ_UIPopup(nullptr, L"##Window##", 0);
        root_->SetCatalog("KZOrlixPlayerSetup");
        root_->SetFallbackCatalog("KZOrlixSetup");
    }
    void TearDown() override { ReleaseTopLevel(root_); }
    KZ_UIPopup* root_;
};

TEST_F(CatalogKeyTest, ButtonInAPanelOfAPageGetsTheDottedKeyText)
{
    KZ_UIPanel* page = new KZ_UIPanel(root_, L"Target", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(page, L"TargetPanel", 0);
    KZ_UIButton* browse = new KZ_UIButton(panel, L"Browse", 1);
    EXPECT_EQ(WString(L"&Change..."), browse->GetText());
    wchar_t caption[64] = {0};
    GetWindowTextW(browse->GetControl(), caption, 64);
    EXPECT_STREQ(L"&Change...", caption);
    EXPECT_EQ(WString(L"&Change..."), browse->GetMessage(L"Title"));
}

TEST_F(CatalogKeyTest, OwnCatalogWinsOverTheFallback)
{
    root_->SetCatalog("KZOrlixPlayerSetup");
    root_->SetFallbackCatalog("KZOrlixSetup");
    KZ_UIPanel* page = new KZ_UIPanel(root_, L"Welcome", 0);
    UILabel* info = new UILabel(page, L"Info", 0);
    EXPECT_EQ(WString(L"Kaze Mar Orlix Player is a powerful 3D Viewing tool."), info->GetText());
    // A key only the fallback holds.
    EXPECT_EQ(WString(L"Prepare to install..."), root_->GetMessage(L"Progress.Prepare"));
}

TEST_F(CatalogKeyTest, KeyMissingFromBothCatalogsIsShownWhole)
{
    KZ_UIPanel* page = new KZ_UIPanel(root_, L"Summary", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(page, L"SummaryPanel", 0);
    UILabel* missing = new UILabel(panel, L"Nothing", 0);
    EXPECT_EQ(WString(L"Summary.SummaryPanel.Nothing.Label"), missing->GetText());
    KZ_UIButton* button = new KZ_UIButton(panel, L"Nothing", 0);
    EXPECT_EQ(WString(L"Summary.SummaryPanel.Nothing.Title"), button->GetText());
}

TEST_F(CatalogKeyTest, AnIntermediatePanelsNameIsPartOfTheKeysBelow)
{
    KZ_UIPanel* page = new KZ_UIPanel(root_, L"Target", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(page, L"TargetPanel", 0);
    KZ_UIButton* browse = new KZ_UIButton(panel, L"Browse", 0);
    EXPECT_EQ(WString(L"&Change..."), browse->GetMessage(L"Title"));
    KZ_UIPanel* other = new KZ_UIPanel(page, L"OtherPanel", 0);
    KZ_UIButton* otherBrowse = new KZ_UIButton(other, L"Browse", 0);
    EXPECT_EQ(WString(L"Target.OtherPanel.Browse.Title"), otherBrowse->GetMessage(L"Title"));
    wchar_t text[32] = {0};
    GetWindowTextW(other->GetWindow(), text, 32);
    EXPECT_STREQ(L"OtherPanel", text);
}

TEST_F(CatalogKeyTest, NearestObjectWithACatalogEndsTheChain)
{
    KZ_UIPanel* page = new KZ_UIPanel(root_, L"Target", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(page, L"TargetPanel", 0);
    page->SetCatalog("KZUITest");    // answers "TargetPanel.Browse.Title" only if it has it
    KZ_UIButton* browse = new KZ_UIButton(panel, L"Browse", 0);
    // The page's own catalog lacks the key, its fallback (the error catalog) too.
    EXPECT_EQ(WString(L"TargetPanel.Browse.Title"), browse->GetText());
    page->SetCatalog(nullptr);
    root_->SetCatalog("KZUITest");
    EXPECT_EQ(WString(L"Own catalog browse"), browse->GetMessage(L"Title"));
}

TEST_F(CatalogKeyTest, LabelTextCarriesThePackagedVersion)
{
    root_->SetCatalog("KZUITest");
    UILabel* label = new UILabel(root_, L"Versioned", 0);
    EXPECT_EQ(WString(L"Version 9.8.7 packaged"), label->GetText());
}

TEST(CatalogKeyWithoutCatalog, WindowWithoutCatalogAndParentAnswersTheKey)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    EXPECT_EQ(WString(L"Anything.Label"), root->GetMessage(L"Anything.Label"));
    wchar_t caption[16] = {0};
    GetWindowTextW(root->GetWindow(), caption, 16);
    EXPECT_STREQ(L"Title", caption);
    ReleaseTopLevel(root);
}

// --- lifetime ---------------------------------------------------------------------------------

// Counts constructions and deletions, and checks at each deletion that the object's parent is
// still alive and that its own children are already gone.
class CountedPanel : public KZ_UIPanel {
public:
    CountedPanel(KZ_UIWindow* parent, const wchar_t* name) : KZ_UIPanel(parent, name, 0)
    {
        ++constructed;
        live.insert(this);
    }
    ~CountedPanel() override
    {
        ++deleted;
        if (live.count(this) == 0)
            ++doubleDeletes;
        live.erase(this);
        if (GetParent() != nullptr && live.count(GetParent()) == 0 && GetParent() != survivor)
            ++deadParents;
        if (GetFirstChild() != nullptr || GetLastChild() != nullptr)
            ++childrenLeft;
        for (KZ_UIWindow* w = GetParent(); w != nullptr; w = w->GetParent())
            (void)w->GetName().Length();    // the chain of parents must be readable
    }
    void OnDestroy() override { ++destroyCalls; }

    static void Reset()
    {
        constructed = deleted = doubleDeletes = deadParents = childrenLeft = destroyCalls = 0;
        live.clear();
        survivor = nullptr;
    }
    static int constructed, deleted, doubleDeletes, deadParents, childrenLeft, destroyCalls;
    static std::set<const KZ_UIWindow*> live;
    static const KZ_UIWindow* survivor;    // a parent that is not counted but alive
};
int CountedPanel::constructed, CountedPanel::deleted, CountedPanel::doubleDeletes,
    CountedPanel::deadParents, CountedPanel::childrenLeft, CountedPanel::destroyCalls;
std::set<const KZ_UIWindow*> CountedPanel::live;
const KZ_UIWindow* CountedPanel::survivor;

// A counted top-level window.
class CountedPopup : public KZ_UIPopup {
public:
    CountedPopup() : KZ_UIPopup(nullptr, L"Top", 0)
    {
        ++CountedPanel::constructed;
        CountedPanel::live.insert(this);
    }
    ~CountedPopup() override
    {
        ++CountedPanel::deleted;
        CountedPanel::live.erase(this);
        if (GetFirstChild() != nullptr)
            ++CountedPanel::childrenLeft;
    }
};

void BuildTree(KZ_UIWindow* root)
{
    CountedPanel* a = new CountedPanel(root, L"A");
    CountedPanel* b = new CountedPanel(root, L"B");
    CountedPanel* a1 = new CountedPanel(a, L"A1");
    new CountedPanel(a1, L"A1x");
    new CountedPanel(a1, L"A1y");
    new CountedPanel(a, L"A2");
    new CountedPanel(b, L"B1");
    new KZ_UIButton(b, L"Button", 0);
    new UILabel(a1, L"Label", 0);
}

TEST(WindowLifetime, DestroyingTheNativeTreeDeletesEveryObjectOnceChildrenFirst)
{
    CountedPanel::Reset();
    CountedPopup* root = new CountedPopup();
    BuildTree(root);
    ASSERT_EQ(8, CountedPanel::constructed);
    HWND window = root->GetWindow();
    ASSERT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(8, CountedPanel::deleted);
    EXPECT_EQ(0, CountedPanel::doubleDeletes);
    EXPECT_EQ(0, CountedPanel::deadParents);
    EXPECT_EQ(0, CountedPanel::childrenLeft);
    EXPECT_EQ(7, CountedPanel::destroyCalls);
    EXPECT_TRUE(CountedPanel::live.empty());
}

TEST(WindowLifetime, ReleaseOfTheTopLevelWindowEndsTheWholeTree)
{
    CountedPanel::Reset();
    CountedPopup* root = new CountedPopup();
    BuildTree(root);
    HWND window = root->GetWindow();
    root->Release();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(8, CountedPanel::deleted);
    EXPECT_EQ(0, CountedPanel::deadParents);
    EXPECT_EQ(0, CountedPanel::childrenLeft);
    EXPECT_EQ(7, CountedPanel::destroyCalls);    // once each, not twice
}

TEST(WindowLifetime, DestroyingASubtreeUnlinksItFromTheLivingParent)
{
    CountedPanel::Reset();
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Top", 0);
    CountedPanel::survivor = root;
    CountedPanel* a = new CountedPanel(root, L"A");
    CountedPanel* b = new CountedPanel(root, L"B");
    CountedPanel* c = new CountedPanel(root, L"C");
    new CountedPanel(b, L"B1");
    b->Release();
    EXPECT_EQ(2, CountedPanel::deleted);
    EXPECT_EQ(a, root->GetFirstChild());
    EXPECT_EQ(c, a->GetNextSibling());
    EXPECT_EQ(a, c->GetPreviousSibling());
    EXPECT_EQ(c, root->GetLastChild());
    // Deleting an object directly destroys its native window as well.
    HWND cWindow = c->GetWindow();
    delete c;
    EXPECT_FALSE(IsWindow(cWindow));
    EXPECT_EQ(a, root->GetLastChild());
    EXPECT_EQ(nullptr, a->GetNextSibling());
    root->Release();
    EXPECT_EQ(4, CountedPanel::deleted);
    EXPECT_EQ(0, CountedPanel::deadParents);
}

TEST(WindowLifetime, ObjectsWithoutNativeWindowAreReleasedDirectly)
{
    CountedPanel::Reset();
    // A child window style without a native parent: creation fails, the object lives on.
    CountedPanel* orphan = new CountedPanel(nullptr, L"Orphan");
    EXPECT_EQ(nullptr, orphan->GetWindow());
    CountedPanel* child = new CountedPanel(orphan, L"Child");
    EXPECT_EQ(nullptr, child->GetWindow());
    int width = 5, height = 5;
    orphan->GetClientSize(&width, &height);
    EXPECT_EQ(0, width);
    EXPECT_EQ(0, height);
    orphan->Invalidate();
    orphan->Release();
    EXPECT_EQ(1, CountedPanel::deleted);
    // The child has no native window that would end it: it is detached, not left dangling.
    EXPECT_EQ(nullptr, child->GetParent());
    EXPECT_EQ(WString(L"Label"), child->GetMessage(L"Label"));
    child->Release();
    EXPECT_EQ(2, CountedPanel::deleted);
    EXPECT_EQ(0, CountedPanel::deadParents);
}

// Releases the whole tree from an event of one of its buttons.
class Closer : public KZ_EventListener {
public:
    explicit Closer(KZ_UIWindow* root) : root_(root) {}
    void OnPushed(const char*, KZ_EventListener*, void*) { root_->Release(); }
    KZ_UIWindow* root_;
};

TEST(WindowLifetime, CallbackThatReleasesTheTreeDuringItsOwnMessage)
{
    CountedPanel::Reset();
    CountedPopup* root = new CountedPopup();
    CountedPanel* panel = new CountedPanel(root, L"Panel");
    KZ_UIButton* button = new KZ_UIButton(panel, L"Quit", 0);
    Closer closer(root);
    button->Subscribe("OnPushed", &closer, &Closer::OnPushed);
    HWND window = root->GetWindow();
    SendMessageW(button->GetWindow(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button->GetControl()));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(2, CountedPanel::deleted);
    EXPECT_TRUE(CountedPanel::live.empty());
}

// --- window procedure -------------------------------------------------------------------------

TEST(WindowProcedure, CloseRequestIsPublishedAndNeverDestroys)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(root, L"Panel", 0);
    EventCounter closes;
    closes.Watch(root, "OnClose");
    SendMessageW(root->GetWindow(), WM_CLOSE, 0, 0);
    SendMessageW(panel->GetWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(1, closes.count);
    EXPECT_EQ(root, closes.publisher);
    EXPECT_TRUE(IsWindow(root->GetWindow()));
    EXPECT_TRUE(IsWindow(panel->GetWindow()));
    ReleaseTopLevel(root);
}

TEST(WindowProcedure, SizeEventFollowsOnSizeAndSizesTheNativeControl)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIButton* button = new KZ_UIButton(root, L"Button", 0);
    EventCounter sizes;
    sizes.Watch(button, "Size");
    button->Move(10, 20, 85, 22);
    EXPECT_EQ(1, sizes.count);
    RECT control;
    GetWindowRect(button->GetControl(), &control);
    EXPECT_EQ(85, control.right - control.left);
    EXPECT_EQ(22, control.bottom - control.top);
    RECT placed = Placement(button);
    EXPECT_EQ(10, placed.left);
    EXPECT_EQ(20, placed.top);
    int width, height;
    button->GetClientSize(&width, &height);
    EXPECT_EQ(85, width);
    EXPECT_EQ(22, height);
    ReleaseTopLevel(root);
}

TEST(WindowProcedure, FocusAndActivationEvents)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(root, L"Panel", 0);
    KZ_UIRadioButton* radio = new KZ_UIRadioButton(root, L"Radio");
    EventCounter panelFocus, activations, radioFocus;
    panelFocus.Watch(panel, "Focus");
    activations.Watch(root, "Inactivated");
    radioFocus.Watch(radio, "Focus");
    SetFocus(panel->GetWindow());
    EXPECT_EQ(1, panelFocus.count);
    SetFocus(radio->GetControl());
    EXPECT_EQ(2, panelFocus.count);    // gained, then lost
    SendMessageW(root->GetWindow(), WM_ACTIVATE, WA_INACTIVE, 0);
    SendMessageW(root->GetWindow(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(2, activations.count);
    // Focus notifications of edit and combo controls count as focus events of their container.
    SendMessageW(radio->GetWindow(), WM_COMMAND, MAKEWPARAM(0, EN_SETFOCUS),
                 reinterpret_cast<LPARAM>(radio->GetControl()));
    SendMessageW(radio->GetWindow(), WM_COMMAND, MAKEWPARAM(0, CBN_SETFOCUS),
                 reinterpret_cast<LPARAM>(radio->GetControl()));
    EXPECT_EQ(2, radioFocus.count);
    ReleaseTopLevel(root);
}

TEST(WindowProcedure, ButtonsPublishOnPushedForNotificationsButNotForMenus)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIButton* button = new KZ_UIButton(root, L"Button", 0);
    KZ_UIRadioButton* radio = new KZ_UIRadioButton(root, L"Radio");
    button->Move(0, 0, 80, 24);
    radio->Move(0, 30, 150, 20);
    EventCounter pushes, radioPushes;
    pushes.Watch(button, "OnPushed");
    radioPushes.Watch(radio, "OnPushed");
    SendMessageW(button->GetControl(), BM_CLICK, 0, 0);
    EXPECT_EQ(1, pushes.count);
    SendMessageW(button->GetWindow(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), 0);
    EXPECT_EQ(1, pushes.count);
    SendMessageW(radio->GetControl(), BM_CLICK, 0, 0);
    EXPECT_EQ(1, radioPushes.count);
    // Not automatic: the page decides what is checked.
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(radio->GetControl(), BM_GETCHECK, 0, 0));
    ReleaseTopLevel(root);
}

TEST(WindowProcedure, FindWindowObjectWalksToTheContainer)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIButton* button = new KZ_UIButton(root, L"Button", 0);
    EXPECT_EQ(button, KZ_UIWindow::FindWindowObject(button->GetControl()));
    EXPECT_EQ(button, KZ_UIWindow::FindWindowObject(button->GetWindow()));
    EXPECT_EQ(root, KZ_UIWindow::FindWindowObject(root->GetWindow()));
    EXPECT_EQ(nullptr, KZ_UIWindow::FindWindowObject(nullptr));
    HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   nullptr, nullptr);
    EXPECT_EQ(nullptr, KZ_UIWindow::FindWindowObject(foreign));
    DestroyWindow(foreign);
    ReleaseTopLevel(root);
}

TEST(WindowProcedure, FindDefaultButtonSearchesPreOrderIgnoringEnabledState)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIPanel* first = new KZ_UIPanel(root, L"First", 0);
    KZ_UIPanel* deep = new KZ_UIPanel(first, L"Deep", 0);
    KZ_UIButton* deepButton = new KZ_UIButton(deep, L"DeepButton", 0);
    KZ_UIButton* later = new KZ_UIButton(root, L"Later", 0);
    EXPECT_EQ(nullptr, root->FindDefaultButton());
    later->SetDefault(1);
    deepButton->SetDefault(1);
    deepButton->Enable(false);
    EXPECT_EQ(deepButton, root->FindDefaultButton());
    EXPECT_EQ(later, later->FindDefaultButton());
    EXPECT_EQ(nullptr, deep->GetFirstChild()->GetNextSibling());
    ReleaseTopLevel(root);
}

TEST(WindowProcedure, MessagesWithoutObjectGoToTheDefaultProcedure)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    HWND window = root->GetWindow();
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);    // detached by hand
    EventCounter closes;
    closes.Watch(root, "OnClose");
    // The default procedure closes by destroying; the toolkit's never would.
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, closes.count);
    EXPECT_FALSE(IsWindow(window));
    delete root;
}

// --- background and painting ------------------------------------------------------------------

COLORREF PaintedPixel(KZ_UIWindow* window)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP target = CreateCompatibleBitmap(screen, 4, 4);
    HGDIOBJ old = SelectObject(memory, target);
    RECT area = {0, 0, 4, 4};
    window->Paint(memory, area);
    COLORREF pixel = GetPixel(memory, 1, 1);
    SelectObject(memory, old);
    DeleteObject(target);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixel;
}

TEST(WindowBackground, InheritedUpTheTreeWithButtonFaceAtTheTop)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIPanel* page = new KZ_UIPanel(root, L"Page", 0);
    KZ_UIPanel* inner = new KZ_UIPanel(page, L"Inner", 0);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(16), inner->GetBackground());
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), PaintedPixel(inner));
    page->SetBackground(UILook::GetWhiteBrush());
    EXPECT_EQ(UILook::GetWhiteBrush(), inner->GetBackground());
    EXPECT_EQ(RGB(255, 255, 255), PaintedPixel(inner));
    inner->SetBackground(reinterpret_cast<HBRUSH>(5));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(5), inner->GetBackground());
    EXPECT_EQ(GetSysColor(4), PaintedPixel(inner));
    EXPECT_EQ(nullptr, root->GetOwnBackground());
    ReleaseTopLevel(root);
}

TEST(WindowBackground, HostedButtonsAreGivenTheContainersBackground)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIPanel* page = new KZ_UIPanel(root, L"Page", 0);
    KZ_UIRadioButton* radio = new KZ_UIRadioButton(page, L"Radio");
    HDC dc = GetDC(radio->GetControl());
    auto answer = [&](UINT message) {
        return reinterpret_cast<HBRUSH>(SendMessageW(radio->GetWindow(), message,
                                                     reinterpret_cast<WPARAM>(dc),
                                                     reinterpret_cast<LPARAM>(radio->GetControl())));
    };
    EXPECT_EQ(GetSysColorBrush(COLOR_BTNFACE), answer(WM_CTLCOLORSTATIC));
    page->SetBackground(UILook::GetWhiteBrush());
    EXPECT_EQ(UILook::GetWhiteBrush(), answer(WM_CTLCOLORSTATIC));
    EXPECT_EQ(UILook::GetWhiteBrush(), answer(WM_CTLCOLORBTN));
    page->SetBackground(reinterpret_cast<HBRUSH>(5));
    EXPECT_EQ(GetSysColorBrush(4), answer(WM_CTLCOLORSTATIC));
    ReleaseDC(radio->GetControl(), dc);
    ReleaseTopLevel(root);
}

TEST(WindowLook, ChildrenUseThePopupsLookOrTheDefault)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(root, L"Panel", 0);
    EXPECT_EQ(UILook::GetDefault(), panel->GetLook());
    UILook own;
    root->SetLook(&own);
    EXPECT_EQ(&own, panel->GetLook());
    panel->SetLook(nullptr);    // plain windows keep no look of their own
    EXPECT_EQ(&own, panel->GetLook());
    root->SetLook(nullptr);
    EXPECT_EQ(UILook::GetDefault(), panel->GetLook());
    ReleaseTopLevel(root);
}

// --- focus among siblings ---------------------------------------------------------------------

TEST(WindowFocus, PlainWindowPassesFocusToTheNextSiblingThatCanTakeIt)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIButton* first = new KZ_UIButton(root, L"First", 0);
    KZ_UIPanel* panel = new KZ_UIPanel(root, L"Panel", 0);
    KZ_UIButton* disabled = new KZ_UIButton(root, L"Disabled", 0);
    disabled->Enable(false);
    KZ_UIButton* last = new KZ_UIButton(root, L"Last", 0);
    EXPECT_FALSE(panel->CanFocus());
    EXPECT_FALSE(disabled->CanFocus());
    panel->Focus();
    EXPECT_EQ(last->GetControl(), GetFocus());
    last->Enable(false);
    panel->Focus();    // wraps round to the first child
    EXPECT_EQ(first->GetControl(), GetFocus());
    root->Focus();     // no parent, no sibling: nothing happens
    EXPECT_EQ(first->GetControl(), GetFocus());
    ReleaseTopLevel(root);
}

// --- activation context -----------------------------------------------------------------------

// The module whose code runs a native control's class.
HMODULE ClassModule(HWND control)
{
    HMODULE module = nullptr;
    void* procedure = reinterpret_cast<void*>(GetClassLongPtrW(control, GCLP_WNDPROC));
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(procedure), &module);
    return module;
}

// Under common controls 6 the button class is the library's own, not the system's (Wine's
// library answers DllGetVersion with 5 in either case, so the class is what tells).
TEST(ControlsContext, NativeControlsComeFromCommonControlsSix)
{
    ULONG_PTR cookie = KZ_UIWindow::ActivateControlsContext();
    EXPECT_NE(0u, cookie);
    KZ_UIWindow::DeactivateControlsContext(cookie);
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 0);
    KZ_UIProgressBar* bar = new KZ_UIProgressBar(root, L"Bar");
    KZ_UIButton* button = new KZ_UIButton(root, L"Button", 0);
    HMODULE controls = ClassModule(bar->GetControl());
    ASSERT_NE(nullptr, controls);
    EXPECT_EQ(controls, ClassModule(button->GetControl()));
    EXPECT_NE(GetModuleHandleW(L"user32.dll"), ClassModule(button->GetControl()));
    ReleaseTopLevel(root);
}

} // namespace
