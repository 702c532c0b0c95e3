// A column of values that grows at its end in fixed chunks. Growing never moves what is
// stored: a std::vector that doubles copies every value into a new block twice its size,
// which at millions of points holds the user-interface thread for tens of milliseconds
// and briefly needs the memory of both blocks.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace kt::measurement {

template <typename T>
class ChunkedColumn {
public:
    static constexpr size_t kShift = 14;
    static constexpr size_t kChunk = size_t{1} << kShift;  // values per chunk
    static constexpr size_t kMask = kChunk - 1;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T operator[](size_t i) const { return chunks_[i >> kShift][i & kMask]; }
    T back() const { return (*this)[size_ - 1]; }

    void push_back(T value) {
        if ((size_ >> kShift) == chunks_.size()) {
            chunks_.push_back(std::make_unique_for_overwrite<T[]>(kChunk));
        }
        chunks_[size_ >> kShift][size_ & kMask] = value;
        ++size_;
    }

    // Empties the column and gives its memory back.
    void clear() {
        std::vector<std::unique_ptr<T[]>>().swap(chunks_);
        size_ = 0;
    }

    size_t MemoryBytes() const {
        return chunks_.size() * kChunk * sizeof(T) +
               chunks_.capacity() * sizeof(std::unique_ptr<T[]>);
    }

private:
    std::vector<std::unique_ptr<T[]>> chunks_;
    size_t size_ = 0;
};

}  // namespace kt::measurement
