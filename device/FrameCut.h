// Where the first frame of a run of received bytes ends, as the decoder takes frames: an
// answer frame is 8 bytes beginning with two equal header bytes (F1, F2 or F3); a
// measurement frame is F4 F4, a status byte and 4 bytes per value: one angle per present
// sensor (status bits 0..2), followed by its cycle count when status bit 3 is set.
// The serial channel asks this to end each read on a whole frame.
//
// A measurement answer carries no checksum, so bytes lost on the line must never make a
// sample of the wrong bytes. The channel tells how the bytes came (`LineTiming`):
// - A frame begun before a pause, still short when a header pair starts right after the
//   pause, is torn there: the next answer has begun. A pause without a header pair after
//   it (a USB adapter delivering an answer in pieces) keeps the frame whole.
// - A measurement frame is whole when a header pair follows it at once, or when nothing
//   follows it yet and the line falls silent or its length bits (status bits 0..3) are
//   those of the last whole measurement (so a steady run is not held up). Other bytes
//   straight after it mean its status byte was lost and its length read from a value
//   byte, or that it lost a byte and took one of the next answer: its first byte is torn
//   off, so that no frame can be read from it.
#pragma once

#include <cstdint>

namespace kt::device {

struct FrameCut {
    enum class Kind {
        Incomplete,  // the bytes so far begin a frame, or nothing can be told yet
        Frame,       // the first `length` bytes are one whole frame
        Junk,        // the first `length` bytes begin no frame; a header pair follows them
        Torn,        // the first `length` bytes are what is left of a frame spoiled on the line
    };
    Kind kind = Kind::Incomplete;
    int length = 0;
};

// How the bytes came in: where they went on after a pause (0: no pause among them), and
// whether the line has been silent since the last of them; and the length bits of the
// last whole measurement frame (-1: none yet).
struct LineTiming {
    int resumedAt = 0;
    bool quiet = true;
    int steadyStatus = -1;
};

inline constexpr uint8_t kStatusLengthBits = 0x0F;

// Status byte of a measurement frame: present sensors and whether cycles follow.
inline constexpr uint8_t kStatusSensorBits = 0x07;
inline constexpr uint8_t kStatusCyclesBit = 0x08;
inline constexpr int kMeasurementHeaderSize = 3;

// Length of a measurement frame with the given status byte: 3 + 4 x sensors x (1 or 2).
int MeasurementFrameLength(uint8_t status);

bool IsHeaderByte(uint8_t b);

FrameCut CutFrame(const uint8_t* bytes, int count, LineTiming line = {});

}  // namespace kt::device
