// Block summaries of a column of values: level 0 holds the minimum and maximum of each
// block of kBlock values, every higher level those of kFanOut entries of the level below.
// They answer "lowest and highest value in [begin, end)" by reading at most a few blocks
// at each end of the range on every level, so the cost grows with log n, not with n.
#pragma once

#include <cstddef>
#include <vector>

#include "ChunkedColumn.h"

namespace kt::measurement {

struct MinMax {
    float min;
    float max;
};

class MinMaxPyramid {
public:
    static constexpr size_t kBlock = 32;
    static constexpr size_t kFanOut = 16;

    // Takes in values[index], just appended at the end of the column (index = old size).
    void Append(float value, size_t index);
    void Clear() { std::vector<std::vector<MinMax>>().swap(levels_); }

    // Lowest and highest of values[begin, end); begin < end <= values.size() and the
    // summaries up to date with values.
    MinMax Query(const ChunkedColumn<float>& values, size_t begin, size_t end) const;

    size_t LevelCount() const { return levels_.size(); }
    size_t MemoryBytes() const;

private:
    // levels_[0] has ceil(n / kBlock) entries; levels_[k + 1] has ceil(size of levels_[k] /
    // kFanOut) entries and exists exactly while levels_[k] has more than kFanOut.
    std::vector<std::vector<MinMax>> levels_;
};

}  // namespace kt::measurement
