#pragma once

// Where a child sits in its parent's grid. Alignment flags: 1 left, 2 right (both: fill the
// width), 4 top, 8 bottom (both: fill the height); neither bit of a pair centres.
class UILayoutCell {
public:
    enum { AlignLeft = 1, AlignRight = 2, AlignTop = 4, AlignBottom = 8, Fill = 15 };

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
