#pragma once
#include "ui/UILayout.h"
#include "ui/UIWeightTable.h"

// Grid layout: children with a cell are measured height-for-width, columns and rows are sized
// with integer arithmetic, spare or missing space goes by weight, each child moves into its cell.
// A window none of whose children has a cell is left alone (preferred size 0 x 0).
class UIGridLayout : public UILayout {
public:
    // Margins and paddings in pixels at 96 DPI, scaled to the system's DPI.
    UIGridLayout(int marginX, int marginY, int padX, int padY);
    ~UIGridLayout() override;

    void Apply(KZ_UIWindow* window) override;
    void GetPreferredSize(KZ_UIWindow* window, int* width, int* height) override;

    // Gives child a new cell; nothing for a null child.
    static void SetCell(KZ_UIWindow* child, int column, int row, int columnSpan, int rowSpan,
                        int flags);
    void SetColumnWeight(int column, int weight);
    void SetRowWeight(int row, int weight);

private:
    // Sizes of one measurement pass; measured pairs per child with a cell, in child order.
    struct Grid;
    // Steps common to Apply and GetPreferredSize, with the width to fill. False when there is
    // no cell at all or memory runs out.
    bool Measure(KZ_UIWindow* window, int width, Grid* grid);
    // Asks every child with a cell for its size: unconstrained, or for the width of its columns.
    void MeasureChildren(KZ_UIWindow* window, bool inColumns, Grid* grid);

    int marginX_;
    int marginY_;
    int padX_;
    int padY_;
    UIWeightTable columnWeights_;
    UIWeightTable rowWeights_;
};
