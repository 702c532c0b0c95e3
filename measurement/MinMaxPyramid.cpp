#include "MinMaxPyramid.h"

#include <algorithm>
#include <limits>

namespace kt::measurement {

namespace {

constexpr MinMax kEmpty{std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity()};

void Widen(MinMax& acc, float value) {
    acc.min = std::min(acc.min, value);
    acc.max = std::max(acc.max, value);
}

void Widen(MinMax& acc, const MinMax& other) {
    acc.min = std::min(acc.min, other.min);
    acc.max = std::max(acc.max, other.max);
}

template <typename Column>
void WidenOver(MinMax& acc, const Column& items, size_t begin, size_t end) {
    for (size_t i = begin; i < end; ++i) Widen(acc, items[i]);
}

// Summarises items[from * group ...] into entries[from ...], replacing what was there.
template <typename T>
void Summarise(const std::vector<T>& items, size_t group, size_t from,
               std::vector<MinMax>& entries) {
    const size_t count = (items.size() + group - 1) / group;
    entries.resize(count);
    for (size_t e = from; e < count; ++e) {
        MinMax acc = kEmpty;
        WidenOver(acc, items, e * group, std::min(items.size(), (e + 1) * group));
        entries[e] = acc;
    }
}

}  // namespace

void MinMaxPyramid::Append(float value, size_t index) {
    if (levels_.empty()) levels_.emplace_back();
    size_t entry = index / kBlock;
    for (size_t level = 0;; ++level) {
        std::vector<MinMax>& entries = levels_[level];
        if (entry == entries.size()) {
            entries.push_back({value, value});
        } else {
            Widen(entries[entry], value);
        }
        if (entries.size() <= kFanOut) return;
        if (level + 1 == levels_.size()) {
            // This level just outgrew one group: start the level above from all of it.
            std::vector<MinMax> above;
            Summarise(entries, kFanOut, 0, above);
            levels_.push_back(std::move(above));
            return;
        }
        entry /= kFanOut;
    }
}

MinMax MinMaxPyramid::Query(const ChunkedColumn<float>& values, size_t begin, size_t end) const {
    MinMax acc = kEmpty;
    if (levels_.empty() || end - begin < 2 * kBlock) {
        WidenOver(acc, values, begin, end);
        return acc;
    }
    // Loose values at both ends, then whole blocks; on each level the loose entries at
    // both ends are read and the rest is left to the level above.
    size_t lo = (begin + kBlock - 1) / kBlock;
    size_t hi = end / kBlock;
    WidenOver(acc, values, begin, lo * kBlock);
    WidenOver(acc, values, hi * kBlock, end);
    for (size_t level = 0;; ++level) {
        const std::vector<MinMax>& entries = levels_[level];
        if (level + 1 == levels_.size() || hi - lo < 2 * kFanOut) {
            WidenOver(acc, entries, lo, hi);
            return acc;
        }
        const size_t upLo = (lo + kFanOut - 1) / kFanOut;
        const size_t upHi = hi / kFanOut;
        WidenOver(acc, entries, lo, upLo * kFanOut);
        WidenOver(acc, entries, upHi * kFanOut, hi);
        lo = upLo;
        hi = upHi;
    }
}

size_t MinMaxPyramid::MemoryBytes() const {
    size_t bytes = levels_.capacity() * sizeof(std::vector<MinMax>);
    for (const auto& level : levels_) bytes += level.capacity() * sizeof(MinMax);
    return bytes;
}

}  // namespace kt::measurement
