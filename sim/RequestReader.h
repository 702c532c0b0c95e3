// Cuts the byte stream that arrives from the program into 8-byte request frames.
// Bytes before a read or write header pair (F1 F1, F2 F2) are skipped; a candidate whose
// checksum does not match is given up one byte at a time, so the reader falls back into
// step after garbage or a torn frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kt::sim {

class RequestReader {
public:
    using Frame = std::array<uint8_t, 8>;

    // Adds received bytes and returns every complete request frame found so far.
    std::vector<Frame> Feed(const uint8_t* data, size_t length);

    // Bytes waiting for the rest of a frame.
    size_t Pending() const { return buffer_.size(); }
    // Bytes thrown away since construction (garbage, torn or corrupted frames).
    size_t Skipped() const { return skipped_; }

private:
    std::vector<uint8_t> buffer_;
    size_t skipped_ = 0;
};

}  // namespace kt::sim
