// Grid arithmetic on real child windows: every expected number below is worked out by hand.
#include "UiTestSupport.h"

#include "ui/KZ_UIPanel.h"
#include "ui/KZ_UIPopup.h"
#include "ui/UIBitmap.h"
#include "ui/UIGridLayout.h"
#include "ui/UILayoutCell.h"
#include "ui/UILabel.h"
#include "ui/UILook.h"

#include <gtest/gtest.h>

namespace {

void ExpectPlaced(const KZ_UIWindow* window, int x, int y, int width, int height)
{
    RECT r = Placement(window);
    EXPECT_EQ(x, r.left) << "x";
    EXPECT_EQ(y, r.top) << "y";
    EXPECT_EQ(width, r.right - r.left) << "width";
    EXPECT_EQ(height, r.bottom - r.top) << "height";
}

class GridLayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = new KZ_UIPopup(nullptr, L"Root", 2);
        root_->Move(0, 0, 600, 500);
        panel_ = new KZ_UIPanel(root_, L"Grid", 0);
    }
    void TearDown() override { ReleaseTopLevel(root_); }

    UIGridLayout* Grid(int marginX, int marginY, int padX, int padY)
    {
        UIGridLayout* grid = new UIGridLayout(marginX, marginY, padX, padY);
        panel_->SetLayout(grid);
        return grid;
    }
    SizedWindow* Child(int width, int height, int column, int row, int columnSpan, int rowSpan,
                       int flags)
    {
        SizedWindow* child = new SizedWindow(panel_, width, height);
        UIGridLayout::SetCell(child, column, row, columnSpan, rowSpan, flags);
        return child;
    }

    KZ_UIPopup* root_;
    KZ_UIPanel* panel_;
};

TEST_F(GridLayoutTest, WeightsOneAndThreeShareTheSpareWidth)
{
    UIGridLayout* grid = Grid(0, 0, 0, 0);
    SizedWindow* a = Child(50, 10, 0, 0, 1, 1, UILayoutCell::Fill);
    SizedWindow* b = Child(30, 10, 1, 0, 1, 1, UILayoutCell::Fill);
    grid->SetColumnWeight(0, 1);
    grid->SetColumnWeight(1, 3);
    panel_->Move(0, 0, 180, 40);    // 100 pixels to spare: 25 and 75
    ExpectPlaced(a, 0, 0, 75, 40);
    ExpectPlaced(b, 75, 0, 105, 40);
}

TEST_F(GridLayoutTest, MarginsAndPaddingOffsetTheCells)
{
    UIGridLayout* grid = Grid(5, 7, 4, 6);
    SizedWindow* a = Child(50, 10, 0, 0, 1, 1, UILayoutCell::Fill);
    SizedWindow* b = Child(30, 10, 1, 0, 1, 1, UILayoutCell::Fill);
    grid->SetColumnWeight(0, 1);
    grid->SetColumnWeight(1, 3);
    // Measured 54 and 34; W = 190, spare 102: +25 and +76 (one pixel lost). H = 36.
    panel_->Move(0, 0, 200, 50);
    ExpectPlaced(a, 5 + 2, 7 + 3, 79 - 4, 36 - 6);
    ExpectPlaced(b, 5 + 2 + 79, 7 + 3, 110 - 4, 36 - 6);
}

TEST_F(GridLayoutTest, ZeroWeightsSpreadEvenlyAndLoseTheRemainder)
{
    Grid(0, 0, 0, 0);
    SizedWindow* a = Child(10, 5, 0, 0, 1, 1, UILayoutCell::Fill);
    SizedWindow* b = Child(20, 5, 1, 0, 1, 1, UILayoutCell::Fill);
    SizedWindow* c = Child(30, 5, 2, 0, 1, 1, UILayoutCell::Fill);
    panel_->Move(0, 0, 100, 20);    // spare 40: 13 each, 1 lost
    ExpectPlaced(a, 0, 0, 23, 20);
    ExpectPlaced(b, 23, 0, 33, 20);
    ExpectPlaced(c, 56, 0, 43, 20);
}

TEST_F(GridLayoutTest, SpanningChildWidensItsColumnsByWeight)
{
    UIGridLayout* grid = Grid(0, 0, 0, 0);
    SizedWindow* a = Child(20, 5, 0, 0, 1, 1, UILayoutCell::Fill);
    SizedWindow* b = Child(20, 5, 1, 0, 1, 1, UILayoutCell::Fill);
    SizedWindow* wide = Child(100, 5, 0, 1, 2, 1, UILayoutCell::Fill);
    grid->SetColumnWeight(0, 1);
    panel_->Move(0, 0, 100, 10);    // shortfall 60 all to column 0; nothing left to spare
    ExpectPlaced(a, 0, 0, 80, 5);
    ExpectPlaced(b, 80, 0, 20, 5);
    ExpectPlaced(wide, 0, 5, 100, 5);

    panel_->Move(0, 0, 140, 10);    // 40 more, again all to column 0
    ExpectPlaced(a, 0, 0, 120, 5);
    ExpectPlaced(b, 120, 0, 20, 5);
    ExpectPlaced(wide, 0, 5, 140, 5);
}

TEST_F(GridLayoutTest, SpanningChildWithoutWeightsSplitsItsShortfallEvenly)
{
    Grid(0, 0, 0, 0);
    SizedWindow* a = Child(20, 5, 0, 0, 1, 1, UILayoutCell::Fill);
    SizedWindow* b = Child(20, 5, 1, 0, 1, 1, UILayoutCell::Fill);
    SizedWindow* tall = Child(10, 31, 2, 0, 1, 2, UILayoutCell::Fill);
    Child(101, 5, 0, 1, 2, 1, UILayoutCell::Fill);
    // Columns 20, 20, 10; the spanning child's shortfall 61 gives 30 each (1 lost): 50, 50, 10.
    // Rows 5, 5; the tall child's shortfall 21 gives 10 each: 15, 15.
    panel_->Move(0, 0, 110, 30);
    ExpectPlaced(a, 0, 0, 50, 15);
    ExpectPlaced(b, 50, 0, 50, 15);
    ExpectPlaced(tall, 100, 0, 10, 30);
}

TEST_F(GridLayoutTest, AlignmentInsideACell)
{
    UIGridLayout* grid = Grid(0, 0, 0, 0);
    SizedWindow* oversized = Child(150, 10, 0, 0, 1, 1, UILayoutCell::AlignRight);
    SizedWindow* right =
        Child(30, 10, 0, 1, 1, 1, UILayoutCell::AlignRight | UILayoutCell::AlignBottom);
    SizedWindow* centred = Child(30, 10, 0, 2, 1, 1, 0);
    SizedWindow* left = Child(30, 10, 0, 3, 1, 1, UILayoutCell::AlignLeft | UILayoutCell::AlignTop);
    SizedWindow* oversizedCentre = Child(150, 10, 0, 4, 1, 1, 0);
    for (int row = 0; row < 5; ++row)
        grid->SetRowWeight(row, 1);
    // Column 150 shrinks to 100; rows 10 grow to 20.
    panel_->Move(0, 0, 100, 100);
    ExpectPlaced(oversized, 0, 5, 100, 10);    // right-aligned but never left of the cell
    ExpectPlaced(right, 70, 30, 30, 10);
    ExpectPlaced(centred, 35, 45, 30, 10);
    ExpectPlaced(left, 0, 60, 30, 10);
    ExpectPlaced(oversizedCentre, 0, 85, 100, 10);
}

TEST_F(GridLayoutTest, IndicesNeedNotStartAtZeroAndOutsideWeightsDoNothing)
{
    UIGridLayout* grid = Grid(0, 0, 0, 0);
    SizedWindow* a = Child(10, 5, 3, 2, 1, 1, UILayoutCell::Fill);
    SizedWindow* b = Child(20, 5, 4, 3, 1, 1, UILayoutCell::Fill);
    grid->SetColumnWeight(3, 1);
    grid->SetColumnWeight(9, 5);
    grid->SetRowWeight(3, 2);
    grid->SetRowWeight(0, 7);
    panel_->Move(0, 0, 100, 50);
    ExpectPlaced(a, 0, 0, 80, 5);
    ExpectPlaced(b, 80, 5, 20, 45);
}

TEST_F(GridLayoutTest, ReplacedWeightCounts)
{
    UIGridLayout* grid = Grid(0, 0, 0, 0);
    SizedWindow* a = Child(10, 5, 0, 0, 1, 1, UILayoutCell::Fill);
    SizedWindow* b = Child(10, 5, 1, 0, 1, 1, UILayoutCell::Fill);
    grid->SetColumnWeight(0, 1);
    grid->SetColumnWeight(1, 1);
    grid->SetColumnWeight(0, 0);
    panel_->Move(0, 0, 100, 5);
    ExpectPlaced(a, 0, 0, 10, 5);
    ExpectPlaced(b, 10, 0, 90, 5);
}

TEST_F(GridLayoutTest, SecondMeasurementAsksHeightForTheColumnWidth)
{
    UIGridLayout* grid = Grid(0, 0, 0, 0);
    SizedWindow* wrapped = Child(40, 0, 0, 0, 1, 1, UILayoutCell::Fill);
    wrapped->area = 900;
    SizedWindow* below = Child(40, 5, 0, 1, 1, 1, UILayoutCell::Fill);
    grid->SetRowWeight(1, 1);
    panel_->Move(0, 0, 300, 100);
    ASSERT_EQ(2u, wrapped->askedWidths.size());
    EXPECT_EQ(0, wrapped->askedWidths[0]);
    EXPECT_EQ(300, wrapped->askedWidths[1]);
    ExpectPlaced(wrapped, 0, 0, 300, 3);    // 900 / 300
    ExpectPlaced(below, 0, 3, 300, 97);
}

TEST_F(GridLayoutTest, PreferredSizeFitsTheGivenWidthUpToTheLostRemainder)
{
    Grid(10, 10, 0, 0);    // margins play no part here
    Child(10, 5, 0, 0, 1, 1, UILayoutCell::Fill);
    Child(20, 7, 1, 0, 1, 1, UILayoutCell::Fill);
    Child(31, 4, 2, 1, 1, 1, UILayoutCell::Fill);
    int width = 0, height = 0;
    panel_->GetPreferredSize(&width, &height);
    EXPECT_EQ(1, width);    // 61 wide: -61 / 3 = -20 each
    EXPECT_EQ(11, height);
    width = 400;
    panel_->GetPreferredSize(&width, &height);
    EXPECT_EQ(400, width);  // 339 / 3 = 113 each, nothing lost
    EXPECT_EQ(11, height);
}

TEST_F(GridLayoutTest, NestedPanelIsLaidOutInItsTurn)
{
    UIGridLayout* grid = Grid(0, 0, 0, 0);
    Child(100, 20, 0, 0, 1, 1, UILayoutCell::Fill);
    KZ_UIPanel* inner = new KZ_UIPanel(panel_, L"Inner", 0);
    UIGridLayout::SetCell(inner, 0, 1, 1, 1, UILayoutCell::Fill);
    grid->SetRowWeight(1, 1);
    UIGridLayout* innerGrid = new UIGridLayout(10, 5, 0, 0);
    inner->SetLayout(innerGrid);
    SizedWindow* leaf = new SizedWindow(inner, 30, 10);
    UIGridLayout::SetCell(leaf, 0, 0, 1, 1, UILayoutCell::AlignRight);
    panel_->Move(0, 0, 200, 120);
    ExpectPlaced(inner, 0, 20, 200, 100);
    ExpectPlaced(leaf, 10 + 180 - 30, 5 + 40, 30, 10);
}

TEST_F(GridLayoutTest, ChildrenWithoutCellKeepTheirPlace)
{
    Grid(0, 0, 0, 0);
    SizedWindow* free = new SizedWindow(panel_, 10, 10);
    free->Move(3, 4, 5, 6);
    SizedWindow* placed = Child(10, 10, 0, 0, 1, 1, UILayoutCell::Fill);
    panel_->Move(0, 0, 50, 50);
    ExpectPlaced(free, 3, 4, 5, 6);
    ExpectPlaced(placed, 0, 0, 50, 50);
}

TEST_F(GridLayoutTest, WindowWithoutCellsIsLeftAlone)
{
    Grid(0, 0, 0, 0);
    SizedWindow* free = new SizedWindow(panel_, 10, 10);
    free->Move(1, 2, 3, 4);
    panel_->Move(0, 0, 50, 50);
    ExpectPlaced(free, 1, 2, 3, 4);
    int width = 300, height = -1;
    panel_->GetPreferredSize(&width, &height);
    EXPECT_EQ(0, width);
    EXPECT_EQ(0, height);
}

TEST_F(GridLayoutTest, WindowWithoutLayoutPrefersTenByTen)
{
    int width = 300, height = 0;
    panel_->GetPreferredSize(&width, &height);
    EXPECT_EQ(10, width);
    EXPECT_EQ(10, height);
}

// The Summary page: banner over a content panel of three labels, with the real catalogs.
TEST(GridLayoutComposition, SummaryPageWithLabels)
{
    KZ_UIPopup* root = new KZ_UIPopup(nullptr, L"Root", 2);
    root->SetCatalog("KZOrlixPlayerSetup");
    root->SetFallbackCatalog("KZOrlixSetup");
    root->Move(0, 0, 500, 355);
    KZ_UIPanel* page = new KZ_UIPanel(root, L"Summary", 0);
    UIBitmap* banner = new UIBitmap(page, L"KZOrlixSetupH");
    KZ_UIPanel* content = new KZ_UIPanel(page, L"SummaryPanel", 0);
    UILabel* title = new UILabel(content, L"Title", UILabel::TitleFont);
    UILabel* label = new UILabel(content, L"Label", 0);
    UILabel* pad = new UILabel(content, L"Pad", 0);
    UIGridLayout* pageGrid = new UIGridLayout(0, 0, 0, 0);
    UIGridLayout::SetCell(banner, 0, 0, 1, 1, UILayoutCell::Fill);
    UIGridLayout::SetCell(content, 0, 1, 1, 1, UILayoutCell::Fill);
    pageGrid->SetColumnWeight(1, 1);
    pageGrid->SetRowWeight(1, 1);
    page->SetLayout(pageGrid);
    UIGridLayout* contentGrid = new UIGridLayout(25, 0, 0, 0);
    UIGridLayout::SetCell(title, 0, 0, 1, 1, UILayoutCell::FillWidth);
    UIGridLayout::SetCell(label, 0, 1, 1, 1, UILayoutCell::FillWidth);
    UIGridLayout::SetCell(pad, 0, 2, 1, 1, UILayoutCell::AlignLeft);
    contentGrid->SetColumnWeight(1, 1);
    contentGrid->SetRowWeight(1, 1);
    contentGrid->SetRowWeight(2, 1);
    contentGrid->SetRowWeight(3, 40);
    content->SetLayout(contentGrid);

    EXPECT_EQ(WString(L"Ready to process installation."), title->GetText());
    EXPECT_EQ(WString(L" "), pad->GetText());
    page->Move(0, 0, 500, 355);

    int bannerWidth = 0, bannerHeight = 0;
    banner->GetPreferredSize(&bannerWidth, &bannerHeight);
    ASSERT_EQ(58, bannerHeight);
    ExpectPlaced(banner, 0, 0, 500, 58);
    ExpectPlaced(content, 0, 58, 500, 355 - 58);

    // Inside the panel the column is 500 - 2 x 25 wide; the labels are measured at that width.
    UILook* look = UILook::GetDefault();
    int titleHeight = LineHeight(look->GetTitleFont()) + 16;
    int padHeight = LineHeight(look->GetTextFont()) + 16;
    int w = 450, labelHeight = 0;
    label->GetPreferredSize(&w, &labelHeight);
    EXPECT_GE(labelHeight, 3 * LineHeight(look->GetTextFont()) + 16);
    w = 450;
    int padWidth = 0, measuredPad = 0;
    pad->GetPreferredSize(&w, &measuredPad);
    padWidth = w;
    EXPECT_EQ(padHeight, measuredPad);

    int spare = 297 - (titleHeight + labelHeight + padHeight);
    int row1 = labelHeight + spare / 2;
    int row2 = padHeight + spare / 2;
    ExpectPlaced(title, 25, 0, 450, titleHeight);
    ExpectPlaced(label, 25, titleHeight + (row1 - labelHeight) / 2, 450, labelHeight);
    ExpectPlaced(pad, 25, titleHeight + row1 + (row2 - padHeight) / 2, padWidth, padHeight);
    ReleaseTopLevel(root);
}

} // namespace
