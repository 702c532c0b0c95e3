// The X column of a chart run: times in seconds, growing at the end in fixed chunks like
// ChunkedColumn. A chart's X is the run's elapsed time, a whole number of hundredths
// (stored as the double nearest to it): a chunk keeps such values as 32-bit counts of
// hundredths from a base of its own, half the memory of doubles, and gives back the very
// same doubles. A chunk that meets any other value turns into a chunk of doubles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kt::measurement {

class TimeColumn {
public:
    static constexpr size_t kShift = 14;
    static constexpr size_t kChunk = size_t{1} << kShift;
    static constexpr size_t kMask = kChunk - 1;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    double operator[](size_t i) const {
        const Chunk& chunk = chunks_[i >> kShift];
        if (chunk.values) return chunk.values[i & kMask];
        return static_cast<double>(chunk.base + chunk.counts[i & kMask]) / 100.0;
    }
    double back() const { return (*this)[size_ - 1]; }

    void push_back(double x);
    void clear();
    size_t MemoryBytes() const;

private:
    struct Chunk {
        int64_t base = 0;                   // hundredths that count 0 stands for
        std::unique_ptr<int32_t[]> counts;  // while every value is whole hundredths
        std::unique_ptr<double[]> values;   // otherwise
    };
    void ToDoubles(Chunk& chunk, size_t filled);

    std::vector<Chunk> chunks_;
    size_t size_ = 0;
};

}  // namespace kt::measurement
