// KZ_UIWizard on its own: pages in child order, the buttons' states and captions, the events
// it publishes, the placement on "Size" and the separator it paints.
#include "WizardTestSupport.h"

#include "ui/KZ_UIButton.h"
#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIWizard.h"

#include <gtest/gtest.h>

using namespace wizard;

namespace {

class Counter : public KZ_EventListener {
public:
    void On(const char*, KZ_EventListener*, void*) { ++count; }
    void Watch(KZ_EventListener* source, const char* name) { source->Subscribe(name, this, &Counter::On); }
    int count = 0;
};

class WizardFramework : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard_ = new KZ_UIWizard(nullptr, L"Wizard", 0);
        ASSERT_NE(wizard_->GetWindow(), nullptr);
        // Buttons of size 0 ignore clicks: give them their place.
        SetClientSize(wizard_->GetWindow(), 500, 400);
        pageChanged.Watch(wizard_, "PageChanged");
        finish.Watch(wizard_, "Finish");
        closing.Watch(wizard_, "OnClose");
    }
    void TearDown() override
    {
        wizard_->Release();
        Pump(200);
    }
    KZ_UIPanel* AddPage(const wchar_t* name) { return new KZ_UIPanel(wizard_, name, 0); }
    KZ_UIButton* NextButton() { return wizard_->GetNextButton(); }
    KZ_UIButton* BackButton() { return wizard_->GetBackButton(); }
    KZ_UIButton* CancelButton() { return wizard_->GetCancelButton(); }

    KZ_UIWizard* wizard_ = nullptr;
    Counter pageChanged;
    Counter finish;
    Counter closing;
};

TEST_F(WizardFramework, ButtonsLeadTheChildrenWithTheirCatalogTexts)
{
    EXPECT_TRUE(wizard_->IsKindOf("KZ_UIWizard"));
    EXPECT_TRUE(wizard_->IsKindOf("KZ_UIPopup"));
    EXPECT_FALSE(wizard_->IsKindOf("KZ_UIWizardTask"));
    std::vector<std::wstring> names = ChildNames(wizard_);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], L"WizardNext");
    EXPECT_EQ(names[1], L"WizardPrevious");
    EXPECT_EQ(names[2], L"WizardCancel");
    EXPECT_EQ(NextButton()->GetStyleFlags(), 1u);
    EXPECT_EQ(BackButton()->GetStyleFlags(), 1u);
    EXPECT_EQ(CancelButton()->GetStyleFlags(), 1u);
    EXPECT_EQ(WindowText(NextButton()->GetControl()), L"&Next >");
    EXPECT_EQ(WindowText(BackButton()->GetControl()), L"< &Back");
    EXPECT_EQ(WindowText(CancelButton()->GetControl()), L"Cancel");
    EXPECT_NE(NextButton()->IsDefault(), 0);
    EXPECT_EQ(BackButton()->IsDefault(), 0);
    EXPECT_EQ(wizard_->GetCurrentPage(), nullptr);
    EXPECT_EQ(wizard_->GetFirstPage(), nullptr);
}

TEST_F(WizardFramework, SinglePageIsFirstAndLast)
{
    KZ_UIPanel* only = AddPage(L"Only");
    wizard_->ShowPage(only);
    EXPECT_EQ(pageChanged.count, 1);
    EXPECT_EQ(wizard_->GetCurrentPage(), only);
    EXPECT_FALSE(BackButton()->IsEnabled());
    EXPECT_FALSE(CancelButton()->IsEnabled());
    EXPECT_TRUE(NextButton()->IsEnabled());
    EXPECT_EQ(NextButton()->GetText(), L"&Finish");
    EXPECT_EQ(WindowText(NextButton()->GetControl()), L"&Finish");

    Click(NextButton()->GetControl());
    EXPECT_EQ(finish.count, 1);
    EXPECT_EQ(pageChanged.count, 1);
    EXPECT_EQ(wizard_->GetCurrentPage(), only);
}

TEST_F(WizardFramework, NavigationFollowsChildOrder)
{
    KZ_UIPanel* first = AddPage(L"First");
    KZ_UIPanel* second = AddPage(L"Second");
    KZ_UIPanel* third = AddPage(L"Third");
    wizard_->ShowPage(first);
    EXPECT_EQ(pageChanged.count, 1);
    EXPECT_FALSE(BackButton()->IsEnabled());
    EXPECT_TRUE(CancelButton()->IsEnabled());
    EXPECT_EQ(NextButton()->GetText(), L"&Next >");
    EXPECT_TRUE(IsVisible(first));
    EXPECT_FALSE(IsVisible(second));
    EXPECT_FALSE(IsVisible(third));

    // The current page again: no event.
    wizard_->ShowPage(first);
    EXPECT_EQ(pageChanged.count, 1);

    // Back on the first page does nothing.
    Click(BackButton()->GetControl());
    EnableWindow(BackButton()->GetControl(), TRUE);
    Click(BackButton()->GetControl());
    EXPECT_EQ(wizard_->GetCurrentPage(), first);
    EXPECT_EQ(pageChanged.count, 1);
    BackButton()->Enable(false);

    Click(NextButton()->GetControl());
    EXPECT_EQ(wizard_->GetCurrentPage(), second);
    EXPECT_EQ(pageChanged.count, 2);
    EXPECT_TRUE(BackButton()->IsEnabled());
    EXPECT_TRUE(CancelButton()->IsEnabled());
    EXPECT_FALSE(IsVisible(first));
    EXPECT_TRUE(IsVisible(second));

    Click(NextButton()->GetControl());
    EXPECT_EQ(wizard_->GetCurrentPage(), third);
    EXPECT_FALSE(BackButton()->IsEnabled());
    EXPECT_FALSE(CancelButton()->IsEnabled());
    EXPECT_EQ(NextButton()->GetText(), L"&Finish");

    // Next on the last page: "Finish", no page change.
    Click(NextButton()->GetControl());
    EXPECT_EQ(finish.count, 1);
    EXPECT_EQ(wizard_->GetCurrentPage(), third);
    EXPECT_EQ(pageChanged.count, 3);

    wizard_->ShowPage(second);
    EXPECT_EQ(NextButton()->GetText(), L"&Next >");
    Click(BackButton()->GetControl());
    EXPECT_EQ(wizard_->GetCurrentPage(), first);
    EXPECT_EQ(pageChanged.count, 5);
}

TEST_F(WizardFramework, ShowPageLeavesNextEnabledStateAlone)
{
    KZ_UIPanel* first = AddPage(L"First");
    KZ_UIPanel* second = AddPage(L"Second");
    NextButton()->Enable(false);
    wizard_->ShowPage(first);
    EXPECT_FALSE(NextButton()->IsEnabled());
    wizard_->ShowPage(second);
    EXPECT_FALSE(NextButton()->IsEnabled());
    NextButton()->Enable(true);
    wizard_->ShowPage(first);
    EXPECT_TRUE(NextButton()->IsEnabled());
}

TEST_F(WizardFramework, ShowPageRefusesWindowsThatAreNoPages)
{
    KZ_UIPanel* first = AddPage(L"First");
    wizard_->ShowPage(first);
    KZ_UIPanel* stranger = new KZ_UIPanel(first, L"Stranger", 0);
    wizard_->ShowPage(stranger);
    wizard_->ShowPage(NextButton());
    wizard_->ShowPage(nullptr);
    EXPECT_EQ(wizard_->GetCurrentPage(), first);
    EXPECT_EQ(pageChanged.count, 1);
    EXPECT_TRUE(IsVisible(first));
}

TEST_F(WizardFramework, CancelAndCloseRequestsPublishOnClose)
{
    KZ_UIPanel* first = AddPage(L"First");
    AddPage(L"Second");
    wizard_->ShowPage(first);
    Click(CancelButton()->GetControl());
    EXPECT_EQ(closing.count, 1);
    SendMessageW(wizard_->GetWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(closing.count, 2);
    // Neither destroys the window.
    EXPECT_TRUE(IsWindow(wizard_->GetWindow()));
}

TEST_F(WizardFramework, SizePlacesButtonsAndEveryPage)
{
    KZ_UIPanel* first = AddPage(L"First");
    KZ_UIPanel* second = AddPage(L"Second");
    wizard_->ShowPage(first);
    // Pages made after the last "Size" wait for the next one.
    EXPECT_EQ(Placement(second).right, 0);
    SetClientSize(wizard_->GetWindow(), 480, 380);
    SetClientSize(wizard_->GetWindow(), 500, 400);
    Pump(200);
    int width, height;
    wizard_->GetClientSize(&width, &height);
    ASSERT_EQ(width, 500);
    ASSERT_EQ(height, 400);

    RECT back = Placement(BackButton());
    RECT next = Placement(NextButton());
    RECT cancel = Placement(CancelButton());
    EXPECT_EQ(back.left, 225);
    EXPECT_EQ(next.left, 310);
    EXPECT_EQ(cancel.left, 405);
    for (const RECT& r : {back, next, cancel}) {
        EXPECT_EQ(r.top, 366);
        EXPECT_EQ(r.right - r.left, 85);
        EXPECT_EQ(r.bottom - r.top, 22);
    }
    // Hidden pages are placed too.
    for (KZ_UIPanel* page : {first, second}) {
        RECT r = Placement(page);
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.top, 0);
        EXPECT_EQ(r.right, 500);
        EXPECT_EQ(r.bottom, 355);
    }

    SetClientSize(wizard_->GetWindow(), 431, 301);
    Pump(200);
    EXPECT_EQ(Placement(NextButton()).top, 267);   // 301 - 33.5 = 267.5
    EXPECT_EQ(Placement(BackButton()).left, 156);
    EXPECT_EQ(Placement(CancelButton()).left, 336);
    EXPECT_EQ(Placement(second).bottom, 256);
}

TEST(WizardPlacement, TruncatesTowardZero)
{
    KZ_UIWizard::ButtonPlacement p = KZ_UIWizard::ComputePlacement(500, 400);
    EXPECT_EQ(p.buttonY, 366);
    EXPECT_EQ(p.pageHeight, 355);
    EXPECT_EQ(p.pageWidth, 500);
    EXPECT_EQ(KZ_UIWizard::ComputePlacement(500, 34).buttonY, 0);
    // Below 34 the difference is negative: truncation gives -13 where flooring gives -14.
    EXPECT_EQ(KZ_UIWizard::ComputePlacement(500, 20).buttonY, -13);
    EXPECT_EQ(KZ_UIWizard::ComputePlacement(100, 20).backX, -175);
    EXPECT_EQ(KZ_UIWizard::ComputePlacement(100, 20).cancelX, 5);
    EXPECT_EQ(KZ_UIWizard::ComputePlacement(100, 20).pageHeight, -25);
}

TEST_F(WizardFramework, PaintDrawsTheSeparatorAboveTheButtons)
{
    SetClientSize(wizard_->GetWindow(), 300, 200);
    Pump(200);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 300, 200);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 300, 200};
    wizard_->Paint(dc, all);
    COLORREF face = GetNearestColor(dc, GetSysColor(COLOR_BTNFACE));
    COLORREF shadow = GetNearestColor(dc, GetSysColor(COLOR_BTNSHADOW));
    COLORREF light = GetNearestColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(GetPixel(dc, 150, 154), face);
    EXPECT_EQ(GetPixel(dc, 0, 155), shadow);
    EXPECT_EQ(GetPixel(dc, 150, 155), shadow);
    EXPECT_EQ(GetPixel(dc, 298, 155), shadow);
    EXPECT_EQ(GetPixel(dc, 150, 156), light);
    EXPECT_EQ(GetPixel(dc, 150, 180), face);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

} // namespace
