// Reading typed values from a fuzzer's input bytes, and stopping a run when a checked
// property does not hold. Reads past the end yield zeros, so every input is usable.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace kt::fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t left() const { return size_ - pos_; }

    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool Bool() { return (Byte() & 1) != 0; }

    // sizeof(T) bytes as the bit pattern of a T (zero-filled at the end of the input).
    template <class T>
    T Raw() {
        unsigned char bytes[sizeof(T)] = {};
        const size_t n = std::min(sizeof(T), left());
        if (n > 0) std::memcpy(bytes, data_ + pos_, n);
        pos_ += n;
        T value;
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }

    // A text of at most `maxLength` bytes: a length byte, then that many bytes.
    std::string Text(size_t maxLength) {
        const size_t n = std::min({static_cast<size_t>(Byte()), maxLength, left()});
        std::string text(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return text;
    }

    // Everything not read yet.
    std::string_view Rest() {
        std::string_view rest(reinterpret_cast<const char*>(data_ + pos_), left());
        pos_ = size_;
        return rest;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Ends the run with a report when a property does not hold; the fuzzer keeps the input.
inline void Require(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property does not hold: %s\n", property);
    std::abort();
}

}  // namespace kt::fuzz
