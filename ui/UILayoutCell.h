#pragma once

// Where a child sits in its parent's grid. Alignment flags: left, right (both: fill the
// width), top, bottom (both: fill the height); neither flag of a pair centres.
class UILayoutCell {
public:
    enum {
        AlignLeft = 1,
        AlignRight = 2,
        AlignTop = 4,
        AlignBottom = 8,
        FillWidth = AlignLeft | AlignRight,
        FillHeight = AlignTop | AlignBottom,
        Fill = FillWidth | FillHeight
    };

    UILayoutCell(int column, int row, int columnSpan, int rowSpan, int flags)
        : column(column), row(row), columnSpan(columnSpan < 1 ? 1 : columnSpan),
          rowSpan(rowSpan < 1 ? 1 : rowSpan), flags(flags)
    {
    }

    int column;
    int row;
    int columnSpan;
    int rowSpan;
    int flags;
};
