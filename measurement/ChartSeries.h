// One line of the chart: points kept sorted by X in two columns (X as double, Y as float)
// with min/max summaries of Y, so any stretch of points can be drawn without reading it.
#pragma once

#include <cstddef>
#include <vector>

#include "MinMaxPyramid.h"

namespace kt::measurement {

class ChartSeries {
public:
    // Stores the point after the last point whose X is not greater than x, so points with
    // equal X keep their order of arrival and a new run merges into an old one by time.
    // Appending at the end is the common case and O(1) amortised; a point going into the
    // middle moves the tail. Points with a non-finite X or Y are refused (false).
    bool Add(double x, float y);
    void Clear();
    void Reserve(size_t count);

    size_t Size() const { return xs_.size(); }
    bool Empty() const { return xs_.empty(); }
    double X(size_t i) const { return xs_[i]; }
    float Y(size_t i) const { return ys_[i]; }
    const std::vector<double>& Xs() const { return xs_; }
    const std::vector<float>& Ys() const { return ys_; }

    // Lowest and highest Y of the points [begin, end), begin < end <= Size().
    MinMax YRange(size_t begin, size_t end) const { return summary_.Query(ys_, begin, end); }

    // Bytes held by the columns and their summaries (reserved capacity included).
    size_t MemoryBytes() const;

private:
    std::vector<double> xs_;
    std::vector<float> ys_;
    MinMaxPyramid summary_;
};

}  // namespace kt::measurement
