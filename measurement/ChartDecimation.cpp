#include "ChartDecimation.h"

#include <algorithm>
#include <array>
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

// Where x should sit in the run's points [lo, hi) if X grew evenly across them.
size_t InterpolatedIndex(const ChartRun& run, size_t lo, size_t hi, double x) {
    if (hi - lo < 2) return lo;
    const double first = run.X(lo);
    const double last = run.X(hi - 1);
    const double share = (x - first) / (last - first);
    if (!(share > 0)) return lo;  // also catches NaN from last == first
    if (share >= 1) return hi;
    return lo + static_cast<size_t>(share * static_cast<double>(hi - 1 - lo));
}

// A run's points taking part: [at, end) still to be reduced, within the allowed [lo, hi).
struct RunCursor {
    size_t lo = 0, hi = 0;
    size_t at = 0, end = 0;
    size_t next = 0;  // end of the current column's points
};

class PolylineBuilder {
public:
    PolylineBuilder(const ChartSeries& series, const ColumnMap& map, LineShape shape,
                    IndexRange range, std::vector<PlotPoint>& out);

    void Build();

private:
    const ChartRun& Run(size_t r) const { return series_.Runs()[r]; }
    double ColumnAt(size_t r, size_t i) const { return map_.ColumnOf(Run(r).X(i)); }
    // First index at or after `from` (below `end`) of run r whose column is not below
    // `column`.
    size_t FirstInColumn(size_t r, size_t from, size_t end, double column) const;
    // The earliest (or latest) in time of the runs' points at[r], for runs where `has`.
    template <typename Has, typename At>
    size_t Pick(bool latest, Has has, At at) const;
    void EmitPoint(size_t r, size_t i) { Emit(ColumnAt(r, i), Run(r).Y(i)); }
    void EmitColumn(double column);
    void EmitInTimeOrder(double column);
    void Emit(double column, float y);

    const ChartSeries& series_;
    const ColumnMap& map_;
    LineShape shape_;
    std::vector<PlotPoint>& out_;
    size_t runs_;
    std::array<RunCursor, kMaxChartRuns> cursor_;
};

PolylineBuilder::PolylineBuilder(const ChartSeries& series, const ColumnMap& map, LineShape shape,
                                 IndexRange range, std::vector<PlotPoint>& out)
    : series_(series), map_(map), shape_(shape), out_(out), runs_(series.Runs().size()) {
    const RunSplit from = series.Split(range.begin);
    const RunSplit to = series.Split(range.end);
    for (size_t r = 0; r < runs_; ++r) cursor_[r] = {from[r], to[r], from[r], to[r], from[r]};
}

size_t PolylineBuilder::FirstInColumn(size_t r, size_t from, size_t end, double column) const {
    const double x = map_.X0() + column * (map_.X1() - map_.X0()) / map_.Columns();
    const size_t hint = InterpolatedIndex(Run(r), from, end, x);
    return PartitionNear(from, end, hint, [&](size_t i) { return ColumnAt(r, i) < column; });
}

template <typename Has, typename At>
size_t PolylineBuilder::Pick(bool latest, Has has, At at) const {
    size_t best = runs_;
    for (size_t r = 0; r < runs_; ++r) {
        if (!has(r)) continue;
        if (best == runs_) {
            best = r;
            continue;
        }
        const double x = Run(r).X(at(r)), bestX = Run(best).X(at(best));
        // Later runs come after earlier ones at equal X.
        if (latest ? !EarlierPoint(x, r, bestX, best) : EarlierPoint(x, r, bestX, best)) best = r;
    }
    return best;
}

void PolylineBuilder::Build() {
    const double columns = map_.Columns();
    // One column beyond each side is reduced as well: a pen wider than one pixel reaches
    // from there into the first and the last column.
    for (size_t r = 0; r < runs_; ++r) {
        RunCursor& c = cursor_[r];
        c.at = FirstInColumn(r, c.lo, c.hi, -1);
        c.end = FirstInColumn(r, c.at, c.hi, columns + 1);
    }
    const size_t before = Pick(
        true, [&](size_t r) { return cursor_[r].at > cursor_[r].lo; },
        [&](size_t r) { return cursor_[r].at - 1; });
    if (before < runs_) EmitPoint(before, cursor_[before].at - 1);
    for (;;) {
        const size_t first = Pick(
            false, [&](size_t r) { return cursor_[r].at < cursor_[r].end; },
            [&](size_t r) { return cursor_[r].at; });
        if (first == runs_) break;
        const double column = ColumnAt(first, cursor_[first].at);
        for (size_t r = 0; r < runs_; ++r) {
            RunCursor& c = cursor_[r];
            c.next = c.at < c.end && ColumnAt(r, c.at) == column
                         ? FirstInColumn(r, c.at + 1, c.end, column + 1)
                         : c.at;
        }
        EmitColumn(column);
        for (size_t r = 0; r < runs_; ++r) cursor_[r].at = cursor_[r].next;
    }
    const size_t after = Pick(
        false, [&](size_t r) { return cursor_[r].end < cursor_[r].hi; },
        [&](size_t r) { return cursor_[r].end; });
    if (after < runs_) EmitPoint(after, cursor_[after].end);
}

// A column with few points: all of them, in time order.
void PolylineBuilder::EmitInTimeOrder(double column) {
    for (;;) {
        const size_t r = Pick(
            false, [&](size_t k) { return cursor_[k].at < cursor_[k].next; },
            [&](size_t k) { return cursor_[k].at; });
        if (r == runs_) return;
        Emit(column, Run(r).Y(cursor_[r].at++));
    }
}

void PolylineBuilder::EmitColumn(double column) {
    size_t count = 0;
    for (size_t r = 0; r < runs_; ++r) count += cursor_[r].next - cursor_[r].at;
    if (count <= 2) return EmitInTimeOrder(column);
    const size_t firstRun = Pick(
        false, [&](size_t r) { return cursor_[r].next > cursor_[r].at; },
        [&](size_t r) { return cursor_[r].at; });
    const size_t lastRun = Pick(
        true, [&](size_t r) { return cursor_[r].next > cursor_[r].at; },
        [&](size_t r) { return cursor_[r].next - 1; });
    const float first = Run(firstRun).Y(cursor_[firstRun].at);
    const float last = Run(lastRun).Y(cursor_[lastRun].next - 1);
    MinMax range{first, first};
    for (size_t r = 0; r < runs_; ++r) {
        if (cursor_[r].next == cursor_[r].at) continue;
        const MinMax part = Run(r).YRange(cursor_[r].at, cursor_[r].next);
        range.min = std::min(range.min, part.min);
        range.max = std::max(range.max, part.max);
    }
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
                   IndexRange range, std::vector<PlotPoint>& out) {
    out.clear();
    range.end = std::min(range.end, series.Size());
    if (!map.Valid() || range.begin >= range.end) return;
    PolylineBuilder(series, map, shape, range, out).Build();
}

void BuildPolyline(const ChartSeries& series, const ColumnMap& map, LineShape shape,
                   std::vector<PlotPoint>& out) {
    BuildPolyline(series, map, shape, {0, series.Size()}, out);
}

}  // namespace kt::measurement
