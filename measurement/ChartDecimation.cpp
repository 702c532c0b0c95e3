#include "ChartDecimation.h"

#include <algorithm>
#include <cmath>

namespace kt::measurement {

namespace {

// First index in [lo, hi) where `before` turns false (it holds on a prefix), looked for
// around `hint` by galloping outwards: a few steps when the hint is good, O(log n) always.
template <typename Pred>
size_t PartitionNear(size_t lo, size_t hi, size_t hint, Pred before) {
    hint = std::clamp(hint, lo, hi);
    size_t left = lo;
    size_t right = hi;
    if (hint < hi && before(hint)) {
        left = hint + 1;
        for (size_t step = 1;; step *= 2) {
            if (step >= hi - hint) break;
            if (!before(hint + step)) {
                right = hint + step;
                break;
            }
            left = hint + step + 1;
        }
    } else {
        right = hint;
        for (size_t step = 1;; step *= 2) {
            if (step > hint - lo) break;
            if (before(hint - step)) {
                left = hint - step + 1;
                break;
            }
            right = hint - step;
        }
    }
    while (left < right) {
        const size_t mid = left + (right - left) / 2;
        if (before(mid)) {
            left = mid + 1;
        } else {
            right = mid;
        }
    }
    return left;
}

// Where x should sit in xs[lo, hi) if X grew evenly from xs[lo] to xs[hi - 1].
size_t InterpolatedIndex(const std::vector<double>& xs, size_t lo, size_t hi, double x) {
    if (hi - lo < 2) return lo;
    const double first = xs[lo];
    const double last = xs[hi - 1];
    const double share = (x - first) / (last - first);
    if (!(share > 0)) return lo;  // also catches NaN from last == first
    if (share >= 1) return hi;
    return lo + static_cast<size_t>(share * static_cast<double>(hi - 1 - lo));
}

class PolylineBuilder {
public:
    PolylineBuilder(const ChartSeries& series, const ColumnMap& map, LineShape shape,
                    std::vector<PlotPoint>& out)
        : series_(series), map_(map), shape_(shape), out_(out) {}

    void Build();

private:
    double ColumnAt(size_t i) const { return map_.ColumnOf(series_.X(i)); }
    // First index at or after `from` (below `end`) whose column is not below `column`.
    size_t FirstInColumn(size_t from, size_t end, double column) const;
    void EmitColumn(size_t begin, size_t end, double column);
    void Emit(double column, float y);

    const ChartSeries& series_;
    const ColumnMap& map_;
    LineShape shape_;
    std::vector<PlotPoint>& out_;
};

size_t PolylineBuilder::FirstInColumn(size_t from, size_t end, double column) const {
    const double x = map_.X0() + column * (map_.X1() - map_.X0()) / map_.Columns();
    const size_t hint = InterpolatedIndex(series_.Xs(), from, end, x);
    return PartitionNear(from, end, hint, [&](size_t i) { return ColumnAt(i) < column; });
}

void PolylineBuilder::Build() {
    const size_t n = series_.Size();
    const double columns = map_.Columns();
    // One column beyond each side is reduced as well: a pen wider than one pixel reaches
    // from there into the first and the last column.
    const size_t begin = FirstInColumn(0, n, -1);
    const size_t end = FirstInColumn(begin, n, columns + 1);
    if (begin > 0) Emit(ColumnAt(begin - 1), series_.Y(begin - 1));
    for (size_t a = begin; a < end;) {
        const double column = ColumnAt(a);
        const size_t b = FirstInColumn(a + 1, end, column + 1);
        EmitColumn(a, b, column);
        a = b;
    }
    if (end < n) Emit(ColumnAt(end), series_.Y(end));
}

void PolylineBuilder::EmitColumn(size_t begin, size_t end, double column) {
    if (end - begin <= 2) {
        for (size_t i = begin; i < end; ++i) Emit(column, series_.Y(i));
        return;
    }
    const float first = series_.Y(begin);
    const float last = series_.Y(end - 1);
    const MinMax range = series_.YRange(begin, end);
    // A line enters the column at its first point. A step line enters at the previous
    // level and its vertical run from the lowest to the highest point covers the first.
    const bool stairs = shape_ == LineShape::Stairs;
    const float from = stairs && !out_.empty() ? out_.back().y : first;
    if (!stairs) Emit(column, first);
    // The extremes in the order that travels least; the pixels are the same either way.
    if (std::abs(from - range.min) + std::abs(range.max - last) <=
        std::abs(from - range.max) + std::abs(range.min - last)) {
        Emit(column, range.min);
        Emit(column, range.max);
    } else {
        Emit(column, range.max);
        Emit(column, range.min);
    }
    Emit(column, last);
}

void PolylineBuilder::Emit(double column, float y) {
    if (!out_.empty() && out_.back().column == column && out_.back().y == y) return;
    out_.push_back({column, y});
}

}  // namespace

ColumnMap::ColumnMap(double x0, double x1, int columns) : x0_(x0), x1_(x1), columns_(columns) {
    if (std::isfinite(x0) && std::isfinite(x1) && x0 < x1 && columns > 0) {
        scale_ = columns / (x1 - x0);
        valid_ = std::isfinite(scale_) && scale_ > 0;
    }
}

double ColumnMap::ColumnOf(double x) const {
    double column = std::floor((x - x0_) * scale_);
    if (x <= x1_) column = std::min(column, columns_ - 1.0);
    return std::clamp(column, -kFar, columns_ + kFar);
}

void BuildPolyline(const ChartSeries& series, const ColumnMap& map, LineShape shape,
                   std::vector<PlotPoint>& out) {
    out.clear();
    if (!map.Valid() || series.Empty()) return;
    PolylineBuilder(series, map, shape, out).Build();
}

}  // namespace kt::measurement
