#include "RequestReader.h"

#include "Frames.h"

namespace kt::sim {

namespace dev = kt::device;

namespace {

bool IsRequestHeader(uint8_t b) {
    return b == dev::kHeaderRead || b == dev::kHeaderWrite;
}

}  // namespace

std::vector<RequestReader::Frame> RequestReader::Feed(const uint8_t* data, size_t length) {
    buffer_.insert(buffer_.end(), data, data + length);
    std::vector<Frame> frames;
    size_t pos = 0;
    while (true) {
        while (pos + 1 < buffer_.size() &&
               !(IsRequestHeader(buffer_[pos]) && buffer_[pos + 1] == buffer_[pos])) {
            ++pos;
        }
        if (pos + 1 >= buffer_.size()) {
            // No header pair; the last byte may still be the first half of one.
            if (pos < buffer_.size() && !IsRequestHeader(buffer_[pos])) ++pos;
            break;
        }
        if (buffer_.size() - pos < static_cast<size_t>(dev::kFrameSize)) break;
        const uint8_t* candidate = buffer_.data() + pos;
        if (dev::FrameChecksum(candidate) == candidate[7]) {
            Frame f;
            for (size_t i = 0; i < f.size(); ++i) f[i] = candidate[i];
            frames.push_back(f);
            pos += dev::kFrameSize;
        } else {
            ++pos;
        }
    }
    // Whatever lies before `pos` was either taken as a frame or skipped.
    size_t taken = frames.size() * dev::kFrameSize;
    skipped_ += pos - taken;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(pos));
    return frames;
}

}  // namespace kt::sim
