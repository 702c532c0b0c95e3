// Where the first frame of a run of received bytes ends, as the decoder takes frames: an
// answer frame is 8 bytes beginning with two equal header bytes (F1, F2 or F3); a
// measurement frame is F4 F4, a status byte and 4 bytes per value: one angle per present
// sensor (status bits 0..2), followed by its cycle count when status bit 3 is set.
// The serial channel asks this to end each read on a whole frame.
#pragma once

#include <cstdint>

namespace kt::device {

struct FrameCut {
    enum class Kind {
        Incomplete,  // the bytes so far begin a frame, or nothing can be told yet
        Frame,       // the first `length` bytes are one whole frame
        Junk,        // the first `length` bytes begin no frame; a header pair follows them
    };
    Kind kind = Kind::Incomplete;
    int length = 0;
};

// Status byte of a measurement frame: present sensors and whether cycles follow.
inline constexpr uint8_t kStatusSensorBits = 0x07;
inline constexpr uint8_t kStatusCyclesBit = 0x08;
inline constexpr int kMeasurementHeaderSize = 3;

// Length of a measurement frame with the given status byte: 3 + 4 x sensors x (1 or 2).
int MeasurementFrameLength(uint8_t status);

FrameCut CutFrame(const uint8_t* bytes, int count);

}  // namespace kt::device
