#include "TimeColumn.h"

#include <cmath>
#include <limits>

namespace kt::measurement {

namespace {

// The whole number of hundredths whose nearest double x is, if it is one. Negative zero
// is not: its sign would be lost.
bool AsHundredths(double x, int64_t& hundredths) {
    if (!(std::fabs(x) < 1e13) || (x == 0 && std::signbit(x))) return false;
    const double scaled = x * 100.0;
    hundredths = static_cast<int64_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    return static_cast<double>(hundredths) / 100.0 == x;
}

bool FitsCount(int64_t offset) {
    return offset >= std::numeric_limits<int32_t>::min() &&
           offset <= std::numeric_limits<int32_t>::max();
}

}  // namespace

void TimeColumn::push_back(double x) {
    const size_t at = size_ & kMask;
    int64_t hundredths = 0;
    const bool whole = AsHundredths(x, hundredths);
    if ((size_ >> kShift) == chunks_.size()) {
        Chunk chunk;
        if (whole) {
            chunk.base = hundredths;
            chunk.counts = std::make_unique_for_overwrite<int32_t[]>(kChunk);
        } else {
            chunk.values = std::make_unique_for_overwrite<double[]>(kChunk);
        }
        chunks_.push_back(std::move(chunk));
    }
    Chunk& chunk = chunks_.back();
    if (chunk.counts && whole && FitsCount(hundredths - chunk.base)) {
        chunk.counts[at] = static_cast<int32_t>(hundredths - chunk.base);
    } else {
        if (chunk.counts) ToDoubles(chunk, at);
        chunk.values[at] = x;
    }
    ++size_;
}

void TimeColumn::ToDoubles(Chunk& chunk, size_t filled) {
    chunk.values = std::make_unique_for_overwrite<double[]>(kChunk);
    for (size_t i = 0; i < filled; ++i) {
        chunk.values[i] = static_cast<double>(chunk.base + chunk.counts[i]) / 100.0;
    }
    chunk.counts.reset();
}

void TimeColumn::clear() {
    std::vector<Chunk>().swap(chunks_);
    size_ = 0;
}

size_t TimeColumn::MemoryBytes() const {
    size_t bytes = chunks_.capacity() * sizeof(Chunk);
    for (const Chunk& chunk : chunks_) {
        bytes += kChunk * (chunk.values ? sizeof(double) : sizeof(int32_t));
    }
    return bytes;
}

}  // namespace kt::measurement
