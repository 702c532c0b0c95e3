#include "FrameCut.h"

#include "Frames.h"

namespace kt::device {

namespace {

bool HeaderPairAt(const uint8_t* bytes, int count, int at) {
    return at + 1 < count && IsHeaderByte(bytes[at]) && bytes[at + 1] == bytes[at];
}

// A measurement frame with all its bytes: whole when the bytes after it came after a
// pause or begin a header pair, or, with nothing after it yet, when the line fell silent
// or its length bits are the steady ones.
FrameCut EndOfMeasurement(const uint8_t* bytes, int count, int length, LineTiming line) {
    if (count == length) {
        const bool steady = (bytes[2] & kStatusLengthBits) == line.steadyStatus;
        return line.quiet || steady ? FrameCut{FrameCut::Kind::Frame, length} : FrameCut{};
    }
    if (line.resumedAt == length || HeaderPairAt(bytes, count, length)) {
        return {FrameCut::Kind::Frame, length};
    }
    if (count == length + 1 && IsHeaderByte(bytes[length]) && !line.quiet) return {};
    return {FrameCut::Kind::Torn, 1};
}

}  // namespace

bool IsHeaderByte(uint8_t b) {
    return b == kHeaderRead || b == kHeaderWrite || b == kHeaderAnswer || b == kHeaderMeasurement;
}

int MeasurementFrameLength(uint8_t status) {
    int sensors = 0;
    for (int i = 0; i < 3; ++i) sensors += (status >> i) & 1;
    const int valuesPerSensor = (status & kStatusCyclesBit) ? 2 : 1;
    return kMeasurementHeaderSize + 4 * sensors * valuesPerSensor;
}

FrameCut CutFrame(const uint8_t* bytes, int count, LineTiming line) {
    if (count < 2) return {};
    if (HeaderPairAt(bytes, count, 0)) {
        const bool measurement = bytes[0] == kHeaderMeasurement;
        if (measurement && count < kMeasurementHeaderSize) return {};
        const int length = measurement ? MeasurementFrameLength(bytes[2]) : kFrameSize;
        if (line.resumedAt > 0 && line.resumedAt < length &&
            HeaderPairAt(bytes, count, line.resumedAt)) {
            return {FrameCut::Kind::Torn, line.resumedAt};
        }
        if (count < length) return {};
        if (!measurement) return {FrameCut::Kind::Frame, length};
        return EndOfMeasurement(bytes, count, length, line);
    }
    // Leading bytes that begin no frame: cut them off where the next header pair starts,
    // so the frame behind them is not lost; until one shows, nothing can be told.
    for (int at = 1; at + 1 < count; ++at) {
        if (HeaderPairAt(bytes, count, at)) return {FrameCut::Kind::Junk, at};
    }
    return {};
}

}  // namespace kt::device
