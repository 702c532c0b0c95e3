#include "ChartSeries.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace kt::measurement {

void ChartRun::Append(double x, float y) {
    xs_.push_back(x);
    ys_.push_back(y);
    summary_.Append(y, ys_.size() - 1);
}

size_t ChartRun::CountBefore(double x, bool orEqual) const {
    size_t lo = 0;
    size_t hi = xs_.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (xs_[mid] < x || (orEqual && xs_[mid] == x)) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

size_t ChartRun::MemoryBytes() const {
    return xs_.MemoryBytes() + ys_.MemoryBytes() + summary_.MemoryBytes();
}

bool ChartSeries::Add(double x, float y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    if (runs_.empty() || x < runs_.back().LastX()) {
        if (runs_.size() == kMaxChartRuns) MergeSmallestNeighbours();
        runs_.emplace_back();
    }
    runs_.back().Append(x, y);
    ++size_;
    return true;
}

void ChartSeries::Clear() {
    // Give the memory back: a long recording must not stay allocated after a clear.
    std::vector<ChartRun>().swap(runs_);
    size_ = 0;
}

// Two neighbouring runs merged keep their order among the others, and within the merged
// run the older one's point comes first at equal X, so the time order is unchanged.
void ChartSeries::MergeSmallestNeighbours() {
    size_t best = 0;
    for (size_t r = 1; r + 1 < runs_.size(); ++r) {
        if (runs_[r].Size() + runs_[r + 1].Size() < runs_[best].Size() + runs_[best + 1].Size()) {
            best = r;
        }
    }
    const ChartRun& a = runs_[best];
    const ChartRun& b = runs_[best + 1];
    ChartRun merged;
    size_t i = 0;
    size_t j = 0;
    while (i < a.Size() || j < b.Size()) {
        if (j == b.Size() || (i < a.Size() && a.X(i) <= b.X(j))) {
            merged.Append(a.X(i), a.Y(i));
            ++i;
        } else {
            merged.Append(b.X(j), b.Y(j));
            ++j;
        }
    }
    runs_[best] = std::move(merged);
    runs_.erase(runs_.begin() + static_cast<std::ptrdiff_t>(best) + 1);
}

// Narrows, for every run, the range in which the cut after `count` points can lie: a
// point of the widest range is taken, its place in time order counted, and every run's
// range cut on the side the point falls. Each step halves one range.
RunSplit ChartSeries::Split(size_t count) const {
    RunSplit lo{};
    const size_t runs = runs_.size();
    if (runs == 1) {
        lo[0] = std::min(count, size_);
        return lo;
    }
    RunSplit hi{};
    for (size_t r = 0; r < runs; ++r) hi[r] = runs_[r].Size();
    if (count >= size_) return hi;
    if (count == 0) return lo;
    RunSplit before{};
    for (;;) {
        size_t widest = 0;
        for (size_t r = 1; r < runs; ++r) {
            if (hi[r] - lo[r] > hi[widest] - lo[widest]) widest = r;
        }
        if (hi[widest] == lo[widest]) return lo;
        const size_t mid = lo[widest] + (hi[widest] - lo[widest]) / 2;
        const double x = runs_[widest].X(mid);
        size_t rank = 0;
        for (size_t r = 0; r < runs; ++r) {
            before[r] = r == widest ? mid : runs_[r].CountBefore(x, r < widest);
            rank += before[r];
        }
        const bool inside = rank < count;  // the point is among the first `count`
        for (size_t r = 0; r < runs; ++r) {
            const size_t cut = r == widest ? mid + (inside ? 1 : 0) : before[r];
            if (inside) {
                lo[r] = std::max(lo[r], cut);
            } else {
                hi[r] = std::min(hi[r], cut);
            }
        }
    }
}

void ChartSeries::Locate(size_t i, size_t& run, size_t& index) const {
    if (runs_.size() == 1) {
        run = 0;
        index = i;
        return;
    }
    // The point after the first i is the earliest of the runs' next points.
    const RunSplit at = Split(i);
    run = runs_.size();
    for (size_t r = 0; r < runs_.size(); ++r) {
        if (at[r] == runs_[r].Size()) continue;
        if (run == runs_.size() || EarlierPoint(runs_[r].X(at[r]), r, runs_[run].X(at[run]), run)) {
            run = r;
        }
    }
    index = at[run];
}

double ChartSeries::X(size_t i) const {
    size_t run = 0, index = 0;
    Locate(i, run, index);
    return runs_[run].X(index);
}

float ChartSeries::Y(size_t i) const {
    size_t run = 0, index = 0;
    Locate(i, run, index);
    return runs_[run].Y(index);
}

MinMax ChartSeries::YRange(size_t begin, size_t end) const {
    const RunSplit from = Split(begin);
    const RunSplit to = Split(end);
    MinMax all{std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    for (size_t r = 0; r < runs_.size(); ++r) {
        if (from[r] == to[r]) continue;
        const MinMax part = runs_[r].YRange(from[r], to[r]);
        all.min = std::min(all.min, part.min);
        all.max = std::max(all.max, part.max);
    }
    return all;
}

size_t ChartSeries::MemoryBytes() const {
    size_t bytes = runs_.capacity() * sizeof(ChartRun);
    for (const ChartRun& run : runs_) bytes += run.MemoryBytes();
    return bytes;
}

}  // namespace kt::measurement
