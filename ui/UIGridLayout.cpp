#include "ui/UIGridLayout.h"

#include "ui/KZ_UIWindow.h"
#include "ui/UILayoutCell.h"
#include "ui/UILook.h"

#include <memory>
#include <new>

struct UIGridLayout::Grid {
    Grid() : minColumn(0), minRow(0), columns(0), rows(0), cells(0) {}

    int minColumn;
    int minRow;
    int columns;
    int rows;
    int cells;
    std::unique_ptr<int[]> widths;
    std::unique_ptr<int[]> heights;
    std::unique_ptr<int[]> measuredWidths;
    std::unique_ptr<int[]> measuredHeights;
};

namespace {

int Sum(const int* sizes, int first, int count)
{
    int sum = 0;
    for (int i = 0; i < count; ++i)
        sum += sizes[first + i];
    return sum;
}

// weight * amount / sum, truncated toward zero; the product is taken in 64 bits.
int Share(int weight, int amount, int sum)
{
    return static_cast<int>(static_cast<long long>(weight) * amount / sum);
}

// Spreads amount over count sizes starting at first (sizes[0] belongs to index base) by the
// weights of their indices, evenly when those weigh nothing.
void Spread(int* sizes, int first, int count, int base, const UIWeightTable& weights, int amount)
{
    int weightSum = 0;
    for (int i = 0; i < count; ++i)
        weightSum += weights.Get(base + first + i);
    for (int i = 0; i < count; ++i) {
        if (weightSum != 0)
            sizes[first + i] += Share(weights.Get(base + first + i), amount, weightSum);
        else
            sizes[first + i] += amount / count;
    }
}

// One axis of the grid: where a cell starts on it and how many tracks it spans.
struct Axis {
    int UILayoutCell::*start;
    int UILayoutCell::*span;
};
const Axis kColumns = {&UILayoutCell::column, &UILayoutCell::columnSpan};
const Axis kRows = {&UILayoutCell::row, &UILayoutCell::rowSpan};

// Grows the tracks of one axis (sizes[0] belongs to index base) until every child with a cell
// fits its measured size: first the tracks of single-track children, then spans, whose
// missing size goes by weight.
void FitTracks(KZ_UIWindow* window, const Axis& axis, int base, const UIWeightTable& weights,
               const int* measured, int* sizes)
{
    int n = 0;
    for (KZ_UIWindow* child = window->GetFirstChild(); child; child = child->GetNextSibling()) {
        const UILayoutCell* cell = child->GetLayoutCell();
        if (cell == nullptr)
            continue;
        int track = cell->*axis.start - base;
        if (cell->*axis.span == 1 && sizes[track] < measured[n])
            sizes[track] = measured[n];
        ++n;
    }
    n = 0;
    for (KZ_UIWindow* child = window->GetFirstChild(); child; child = child->GetNextSibling()) {
        const UILayoutCell* cell = child->GetLayoutCell();
        if (cell == nullptr)
            continue;
        const int span = cell->*axis.span;
        if (span > 1) {
            int track = cell->*axis.start - base;
            int covered = Sum(sizes, track, span);
            if (covered < measured[n])
                Spread(sizes, track, span, base, weights, measured[n] - covered);
        }
        ++n;
    }
}

// Position and size of a child along one axis of its cell.
void Align(int cellStart, int cellSize, int measured, int flags, int startBit, int endBit,
           int* position, int* size)
{
    int both = startBit | endBit;
    *size = measured < cellSize ? measured : cellSize;
    if ((flags & both) == both) {
        *position = cellStart;
        *size = cellSize;
    } else if (flags & startBit) {
        *position = cellStart;
    } else if (flags & endBit) {
        *position = cellStart + cellSize - measured;
    } else {
        *position = cellStart + (cellSize - measured) / 2;
    }
    if (*position < cellStart)
        *position = cellStart;
}

} // namespace

UIGridLayout::UIGridLayout(int marginX, int marginY, int padX, int padY)
    : marginX_(UILook::Scale(marginX)), marginY_(UILook::Scale(marginY)),
      padX_(UILook::Scale(padX)), padY_(UILook::Scale(padY))
{
}

UIGridLayout::~UIGridLayout()
{
}

void UIGridLayout::SetCell(KZ_UIWindow* child, int column, int row, int columnSpan, int rowSpan,
                           int flags)
{
    if (child == nullptr)
        return;
    UILayoutCell* cell = new (std::nothrow) UILayoutCell(column, row, columnSpan, rowSpan, flags);
    if (cell != nullptr)
        child->SetLayoutCell(cell);
}

void UIGridLayout::SetColumnWeight(int column, int weight)
{
    columnWeights_.Set(column, weight);
}

void UIGridLayout::SetRowWeight(int row, int weight)
{
    rowWeights_.Set(row, weight);
}

bool UIGridLayout::Measure(KZ_UIWindow* window, int width, Grid* grid)
{
    int minColumn = 2000000000;
    int minRow = 2000000000;
    int maxColumn = 0;
    int maxRow = 0;
    int cells = 0;
    for (KZ_UIWindow* child = window->GetFirstChild(); child; child = child->GetNextSibling()) {
        const UILayoutCell* cell = child->GetLayoutCell();
        if (cell == nullptr)
            continue;
        ++cells;
        if (cell->column < minColumn)
            minColumn = cell->column;
        if (cell->row < minRow)
            minRow = cell->row;
        if (cell->column + cell->columnSpan - 1 > maxColumn)
            maxColumn = cell->column + cell->columnSpan - 1;
        if (cell->row + cell->rowSpan - 1 > maxRow)
            maxRow = cell->row + cell->rowSpan - 1;
    }
    if (cells == 0 || maxColumn < minColumn || maxRow < minRow)
        return false;

    grid->minColumn = minColumn;
    grid->minRow = minRow;
    grid->columns = maxColumn - minColumn + 1;
    grid->rows = maxRow - minRow + 1;
    grid->cells = cells;
    grid->widths.reset(new (std::nothrow) int[grid->columns]());
    grid->heights.reset(new (std::nothrow) int[grid->rows]());
    grid->measuredWidths.reset(new (std::nothrow) int[cells]());
    grid->measuredHeights.reset(new (std::nothrow) int[cells]());
    if (!grid->widths || !grid->heights || !grid->measuredWidths || !grid->measuredHeights)
        return false;

    // First measurement, unconstrained: the natural widths of the children.
    MeasureChildren(window, false, grid);
    FitTracks(window, kColumns, minColumn, columnWeights_, grid->measuredWidths.get(),
              grid->widths.get());
    Spread(grid->widths.get(), 0, grid->columns, minColumn, columnWeights_,
           width - Sum(grid->widths.get(), 0, grid->columns));

    // Second measurement: heights for the widths the columns now have.
    MeasureChildren(window, true, grid);
    FitTracks(window, kRows, minRow, rowWeights_, grid->measuredHeights.get(), grid->heights.get());
    return true;
}

void UIGridLayout::MeasureChildren(KZ_UIWindow* window, bool inColumns, Grid* grid)
{
    int n = 0;
    for (KZ_UIWindow* child = window->GetFirstChild(); child; child = child->GetNextSibling()) {
        const UILayoutCell* cell = child->GetLayoutCell();
        if (cell == nullptr)
            continue;
        int w = inColumns ? Sum(grid->widths.get(), cell->column - grid->minColumn,
                                      cell->columnSpan)
                          : 0;
        int h = 0;
        child->GetPreferredSize(&w, &h);
        grid->measuredWidths[n] = padX_ + w;
        grid->measuredHeights[n] = padY_ + h;
        ++n;
    }
}

void UIGridLayout::GetPreferredSize(KZ_UIWindow* window, int* width, int* height)
{
    Grid grid;
    if (!Measure(window, *width, &grid)) {
        *width = 0;
        *height = 0;
        return;
    }
    *width = Sum(grid.widths.get(), 0, grid.columns);
    *height = Sum(grid.heights.get(), 0, grid.rows);
}

void UIGridLayout::Apply(KZ_UIWindow* window)
{
    int clientWidth = 0;
    int clientHeight = 0;
    window->GetClientSize(&clientWidth, &clientHeight);
    Grid grid;
    if (!Measure(window, clientWidth - 2 * marginX_, &grid))
        return;
    Spread(grid.heights.get(), 0, grid.rows, grid.minRow, rowWeights_,
           clientHeight - 2 * marginY_ - Sum(grid.heights.get(), 0, grid.rows));

    int n = 0;
    KZ_UIWindow* next = nullptr;
    for (KZ_UIWindow* child = window->GetFirstChild(); child; child = next) {
        next = child->GetNextSibling();
        const UILayoutCell* cell = child->GetLayoutCell();
        if (cell == nullptr)
            continue;
        int c = cell->column - grid.minColumn;
        int r = cell->row - grid.minRow;
        int cellX = marginX_ + (padX_ >> 1) + Sum(grid.widths.get(), 0, c);
        int cellY = marginY_ + (padY_ >> 1) + Sum(grid.heights.get(), 0, r);
        int cellWidth = Sum(grid.widths.get(), c, cell->columnSpan) - padX_;
        int cellHeight = Sum(grid.heights.get(), r, cell->rowSpan) - padY_;
        int x, y, w, h;
        Align(cellX, cellWidth, grid.measuredWidths[n], cell->flags, UILayoutCell::AlignLeft,
              UILayoutCell::AlignRight, &x, &w);
        Align(cellY, cellHeight, grid.measuredHeights[n], cell->flags, UILayoutCell::AlignTop,
              UILayoutCell::AlignBottom, &y, &h);
        child->Move(x, y, w, h);
        ++n;
    }
}
