#include "FrameCut.h"

#include "Frames.h"

namespace kt::device {

namespace {

bool IsHeader(uint8_t b) {
    return b == kHeaderRead || b == kHeaderWrite || b == kHeaderAnswer || b == kHeaderMeasurement;
}

bool HeaderPairAt(const uint8_t* bytes, int count, int at) {
    return at + 1 < count && IsHeader(bytes[at]) && bytes[at + 1] == bytes[at];
}

}  // namespace

int MeasurementFrameLength(uint8_t status) {
    int sensors = 0;
    for (int i = 0; i < 3; ++i) sensors += (status >> i) & 1;
    const int valuesPerSensor = (status & kStatusCyclesBit) ? 2 : 1;
    return kMeasurementHeaderSize + 4 * sensors * valuesPerSensor;
}

FrameCut CutFrame(const uint8_t* bytes, int count) {
    if (count < 2) return {};
    if (HeaderPairAt(bytes, count, 0)) {
        int length = kFrameSize;
        if (bytes[0] == kHeaderMeasurement) {
            if (count < kMeasurementHeaderSize) return {};
            length = MeasurementFrameLength(bytes[2]);
        }
        if (count < length) return {};
        return {FrameCut::Kind::Frame, length};
    }
    // Leading bytes that begin no frame: cut them off where the next header pair starts,
    // so the frame behind them is not lost; until one shows, nothing can be told.
    for (int at = 1; at + 1 < count; ++at) {
        if (HeaderPairAt(bytes, count, at)) return {FrameCut::Kind::Junk, at};
    }
    return {};
}

}  // namespace kt::device
