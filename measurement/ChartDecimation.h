// What to draw of a series over an X range at a given number of pixel columns.
//
// Every point's X is snapped to the pixel column it falls in. Within one column the
// drawn line is then a vertical run from the lowest to the highest point there, entered
// from the previous column at the column's first point and left at its last point. So
// the first, lowest, highest and last point of each column (M4) draw exactly the same
// pixels as all of them, and the polyline has at most four points per column however
// many points the range holds.
//
// A step line goes across at the level of the last point of a column and, in the next
// column, vertically from that level through all levels of that column. The column's
// lowest, highest and last point keep both; its first point lies on that vertical run
// and is left out (M3).
#pragma once

#include <cstddef>
#include <vector>

#include "ChartSeries.h"

namespace kt::measurement {

// Maps X onto pixel columns 0 .. columns-1 across [x0, x1], x1 itself in the last column.
// X before x0 gives negative columns and X after x1 columns from `columns` on, so lines
// to the points just outside the range leave the plot in the right direction.
class ColumnMap {
public:
    ColumnMap(double x0, double x1, int columns);

    // A usable map: finite x0 < x1 and at least one column.
    bool Valid() const { return valid_; }
    double X0() const { return x0_; }
    double X1() const { return x1_; }
    int Columns() const { return columns_; }

    // Whole column number (as double) of x, non-decreasing in x, kept within
    // [-kFar, columns + kFar] so it stays finite.
    double ColumnOf(double x) const;

    static constexpr double kFar = 1e9;

private:
    double x0_;
    double x1_;
    int columns_;
    double scale_ = 0;
    bool valid_ = false;
};

enum class LineShape { Line, Stairs };

// One vertex of the polyline to draw: a pixel column and a Y value.
struct PlotPoint {
    double column;
    float y;
};

// The polyline to draw for the points `range` (indices in time order) of `series` over
// the map's range: per non-empty column (from one column before the first to one after
// the last) its first (lines only), lowest, highest and last point, plus the nearest
// point of the range on each side of that. The runs of a series are read merged by time.
// `out` is cleared first and reused, so drawing allocates nothing once it has grown.
// Costs O(columns x runs x log n), not O(n).
void BuildPolyline(const ChartSeries& series, const ColumnMap& map, LineShape shape,
                   IndexRange range, std::vector<PlotPoint>& out);
// The same over all points of the series.
void BuildPolyline(const ChartSeries& series, const ColumnMap& map, LineShape shape,
                   std::vector<PlotPoint>& out);

}  // namespace kt::measurement
