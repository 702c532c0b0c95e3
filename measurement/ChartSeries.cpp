#include "ChartSeries.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace kt::measurement {

bool ChartSeries::Add(double x, float y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    if (xs_.empty() || xs_.back() <= x) {
        xs_.push_back(x);
        ys_.push_back(y);
        summary_.Append(y, ys_.size() - 1);
        return true;
    }
    const auto at = std::upper_bound(xs_.begin(), xs_.end(), x);
    const auto index = static_cast<size_t>(std::distance(xs_.begin(), at));
    xs_.insert(at, x);
    ys_.insert(ys_.begin() + static_cast<std::ptrdiff_t>(index), y);
    summary_.RebuildFrom(ys_, index);
    return true;
}

void ChartSeries::Clear() {
    // Give the memory back: a long recording must not stay allocated after a clear.
    std::vector<double>().swap(xs_);
    std::vector<float>().swap(ys_);
    summary_.Clear();
}

void ChartSeries::Reserve(size_t count) {
    xs_.reserve(count);
    ys_.reserve(count);
}

size_t ChartSeries::MemoryBytes() const {
    return xs_.capacity() * sizeof(double) + ys_.capacity() * sizeof(float) +
           summary_.MemoryBytes();
}

}  // namespace kt::measurement
