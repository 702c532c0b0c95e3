// One line of the chart: its points in time order (by X; points with equal X in the
// order they came), with min/max summaries of Y, so any stretch of points can be drawn
// without reading it.
//
// The points are kept in runs. A run holds points that came with X not decreasing, in
// two columns (X as double, kept as hundredths where it is whole hundredths; Y as float)
// and its own summaries. A point that comes with a
// smaller X than the last one starts a new run: that is a new acquisition recorded
// without clearing, whose points are merged by time into the old ones. Keeping it apart
// costs nothing per point, where inserting it into one sorted column moved everything
// after it (milliseconds a point at a million points). The series is read as the runs
// merged by (X, run, place in run), which is exactly the order of inserting every point
// after the last point whose X is not greater than its own.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "ChunkedColumn.h"
#include "MinMaxPyramid.h"
#include "TimeColumn.h"

namespace kt::measurement {

class ChartRun {
public:
    void Append(double x, float y);

    size_t Size() const { return xs_.size(); }
    double X(size_t i) const { return xs_[i]; }
    float Y(size_t i) const { return ys_[i]; }
    double LastX() const { return xs_.back(); }
    // Lowest and highest Y of the run's points [begin, end), begin < end <= Size().
    MinMax YRange(size_t begin, size_t end) const { return summary_.Query(ys_, begin, end); }
    // The number of the run's points with X below x (or with `orEqual`, not above x).
    size_t CountBefore(double x, bool orEqual) const;

    size_t MemoryBytes() const;

private:
    TimeColumn xs_;
    ChunkedColumn<float> ys_;
    MinMaxPyramid summary_;
};

// Runs beyond this many are merged, the two neighbours with the fewest points first, so
// reading the series stays cheap however often acquisitions are restarted.
inline constexpr size_t kMaxChartRuns = 8;

// For each run, how many of its points lie in a leading part of the series.
using RunSplit = std::array<size_t, kMaxChartRuns>;

// Index ranges [begin, end) of the series' points in time order.
struct IndexRange {
    size_t begin;
    size_t end;
};

class ChartSeries {
public:
    // Stores the point after the last point whose X is not greater than x. Appending at
    // the end of the newest run is the common case and O(1); a point with a smaller X
    // than the newest run's last starts a run. Points with a non-finite X or Y are
    // refused (false).
    bool Add(double x, float y);
    void Clear();

    size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    const std::vector<ChartRun>& Runs() const { return runs_; }

    // Point i in time order: O(1) with one run, O(runs² log² n) with more.
    double X(size_t i) const;
    float Y(size_t i) const;
    // Lowest and highest Y of the points [begin, end) in time order, begin < end <= Size().
    MinMax YRange(size_t begin, size_t end) const;

    // How many points of each run are among the first `count` points in time order.
    RunSplit Split(size_t count) const;

    // Calls f(x, y) for every point in time order.
    template <typename F>
    void ForEach(F&& f) const;

    // Bytes held by the columns and their summaries.
    size_t MemoryBytes() const;

private:
    // The run holding point i in time order, and the point's place in it.
    void Locate(size_t i, size_t& run, size_t& index) const;
    void MergeSmallestNeighbours();

    std::vector<ChartRun> runs_;  // oldest first
    size_t size_ = 0;
};

// True when point a of run ra comes before point b of run rb in time order (both runs'
// points given by X).
inline bool EarlierPoint(double xa, size_t ra, double xb, size_t rb) {
    return xa < xb || (xa == xb && ra < rb);
}

template <typename F>
void ChartSeries::ForEach(F&& f) const {
    if (runs_.size() == 1) {
        const ChartRun& run = runs_[0];
        for (size_t i = 0; i < run.Size(); ++i) f(run.X(i), run.Y(i));
        return;
    }
    RunSplit at{};
    for (size_t done = 0; done < size_; ++done) {
        size_t next = runs_.size();
        for (size_t r = 0; r < runs_.size(); ++r) {
            if (at[r] == runs_[r].Size()) continue;
            if (next == runs_.size() ||
                EarlierPoint(runs_[r].X(at[r]), r, runs_[next].X(at[next]), next)) {
                next = r;
            }
        }
        f(runs_[next].X(at[next]), runs_[next].Y(at[next]));
        ++at[next];
    }
}

}  // namespace kt::measurement
