// The pixels of a decimated polyline, one vertical span of rows per pixel column.
//
// Angles that turn and wrap from 360 to 0 make almost every column of a long recording a
// full-height vertical stroke. Drawn as a polyline, each stroke is rasterised as a line
// of its own (and a wide pen strokes it again); as spans, a column costs one pass down
// its rows, and the frame costs O(columns x height) whatever the data.
//
// Within one column a line covers the rows between the lowest and the highest point it
// visits there. A segment between vertices in columns c0 < c1 covers, in each column c
// between, the rows the ideal line passes over from c - 0.5 to c + 0.5 (within the
// segment), rounded to the nearest row; neighbouring columns share the row at their
// border, so the line stays connected. A step line goes across at the old level and up or
// down at the new vertex's column.
#pragma once

#include <vector>

#include "ChartDecimation.h"

namespace kt::measurement {

// A polyline vertex in pixels: a whole column and a row (fractions allowed).
struct PixelVertex {
    double column;
    double row;
};

// Rows top..bottom (inclusive) of one column; empty while top > bottom.
struct ColumnSpan {
    int top;
    int bottom;
    bool Empty() const { return top > bottom; }
};

class ColumnSpans {
public:
    // Columns -1 .. columns (one beyond each side of the plot, where a wider pen reaches
    // in from), all empty; rows are kept within [firstRow - 2, lastRow + 2].
    void Reset(int columns, int firstRow, int lastRow);
    // Adds the pixels of a polyline whose columns do not decrease. Vertices outside
    // columns -1 .. columns are taken where the segments to them cross those columns.
    void AddPolyline(const std::vector<PixelVertex>& vertices, LineShape shape);

    int Columns() const { return columns_; }
    // Span of column c, -1 <= c <= Columns().
    ColumnSpan At(int c) const { return spans_[static_cast<size_t>(c + 1)]; }

private:
    void Cover(int column, double rowA, double rowB);
    void AddSegment(const PixelVertex& a, const PixelVertex& b, LineShape shape);
    int Row(double row) const;

    int columns_ = 0;
    int firstRow_ = 0;
    int lastRow_ = 0;
    std::vector<ColumnSpan> spans_;
};

}  // namespace kt::measurement
