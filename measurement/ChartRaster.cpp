#include "ChartRaster.h"

#include <algorithm>
#include <cmath>

namespace kt::measurement {

void ColumnSpans::Reset(int columns, int firstRow, int lastRow) {
    columns_ = std::max(columns, 0);
    firstRow_ = firstRow;
    lastRow_ = lastRow;
    spans_.assign(static_cast<size_t>(columns_) + 2, ColumnSpan{1, 0});
}

int ColumnSpans::Row(double row) const {
    const double kept = std::clamp(row, firstRow_ - 2.0, lastRow_ + 2.0);
    return static_cast<int>(std::lround(kept));
}

void ColumnSpans::Cover(int column, double rowA, double rowB) {
    if (column < -1 || column > columns_) return;
    const int a = Row(std::min(rowA, rowB));
    const int b = Row(std::max(rowA, rowB));
    ColumnSpan& span = spans_[static_cast<size_t>(column + 1)];
    if (span.Empty()) {
        span = {a, b};
    } else {
        span.top = std::min(span.top, a);
        span.bottom = std::max(span.bottom, b);
    }
}

void ColumnSpans::AddSegment(const PixelVertex& a, const PixelVertex& b, LineShape shape) {
    const double span = b.column - a.column;
    // Only columns -1 .. columns are kept, and only those are walked.
    const double from = std::max(a.column, -1.0);
    const double to = std::min(b.column, static_cast<double>(columns_));
    if (span <= 0) {  // a vertical run within one column, for either shape
        Cover(static_cast<int>(a.column), a.row, b.row);
        return;
    }
    if (shape == LineShape::Stairs) {
        for (double c = from; c <= to; ++c) Cover(static_cast<int>(c), a.row, a.row);
        Cover(static_cast<int>(b.column), a.row, b.row);
        return;
    }
    auto rowAt = [&](double column) {
        return a.row + (b.row - a.row) * ((column - a.column) / span);
    };
    for (double c = from; c <= to; ++c) {
        const double left = std::max(c - 0.5, a.column);
        const double right = std::min(c + 0.5, b.column);
        Cover(static_cast<int>(c), rowAt(left), rowAt(right));
    }
}

void ColumnSpans::AddPolyline(const std::vector<PixelVertex>& vertices, LineShape shape) {
    if (vertices.size() == 1) {
        Cover(static_cast<int>(vertices.front().column), vertices.front().row,
              vertices.front().row);
        return;
    }
    for (size_t i = 1; i < vertices.size(); ++i) AddSegment(vertices[i - 1], vertices[i], shape);
}

}  // namespace kt::measurement
