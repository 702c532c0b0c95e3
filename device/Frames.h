// The indicator's 8-byte command/answer frames, payload encodings, command codes and
// the send operations every other part of the program uses to talk to the indicator.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "FrameLog.h"
#include "FrameSink.h"

namespace kt::device {

inline constexpr uint8_t kHeaderRead = 0xF1;
inline constexpr uint8_t kHeaderWrite = 0xF2;
inline constexpr uint8_t kHeaderAnswer = 0xF3;
inline constexpr uint8_t kHeaderMeasurement = 0xF4;
inline constexpr int kFrameSize = 8;

// Command codes.
namespace cmd {
inline constexpr uint8_t Mode = 1;
inline constexpr uint8_t Decp = 2;
inline constexpr uint8_t Beep = 3;
inline constexpr uint8_t OnTime = 4;
inline constexpr uint8_t Measurement = 7;
inline constexpr uint8_t PK1 = 8;
inline constexpr uint8_t PK2 = 9;
inline constexpr uint8_t LED = 12;
inline constexpr uint8_t UZP0 = 13;      // 13..15: zero position of sensor 0..2
inline constexpr uint8_t Offset0 = 16;   // 16..18: offset of sensor 0..2
inline constexpr uint8_t COEF0 = 19;     // 19..21: multiplier of sensor 0..2
inline constexpr uint8_t SetZero0 = 22;  // 22..24: take the present position as zero
inline constexpr uint8_t Status = 26;
inline constexpr uint8_t ResetCycles0 = 27;  // 27..29: zero the cycle counter of sensor 0..2
inline constexpr uint8_t AnswerOnly30 = 30;
inline constexpr uint8_t DeviceType = 32;
inline constexpr uint8_t SoftwareVersion = 34;
inline constexpr uint8_t HardwareVersion = 35;
inline constexpr uint8_t RestoreDefaults = 36;
}  // namespace cmd

// True for the codes the indicator's protocol defines (1..36 less 25 and 33).
constexpr bool IsValidCommandCode(uint8_t code) {
    return code >= 1 && code <= 36 && code != 25 && code != 33;
}

using Payload = std::array<uint8_t, 4>;

struct CommandFrame {
    std::array<uint8_t, kFrameSize> bytes{};
    uint8_t header() const { return bytes[0]; }
    uint8_t code() const { return bytes[2]; }
};

// (code + p0 + p1 + p2 + p3) modulo 256; the header bytes are not summed.
uint8_t Checksum(uint8_t code, const Payload& payload);
// The same over bytes 2..6 of a received 8-byte frame.
uint8_t FrameChecksum(const uint8_t* frame);

CommandFrame BuildFrame(uint8_t header, uint8_t code, const Payload& payload);

// Payload encodings (little-endian, least significant byte in p0).
void PackValue32(uint32_t value, Payload& payload);
Payload ZeroPayload();
Payload BytePayload(uint32_t value);  // p0 = low 8 bits
Payload QnrPayload(uint32_t value);   // p3 = low 8 bits
Payload Int32Payload(uint32_t value);
Payload Float32Payload(float value);  // the IEEE 754 bit pattern

// Bytes 3..6 of a received frame read as little-endian int32 / float32.
int32_t PayloadInt32(const uint8_t* frame);
float PayloadFloat32(const uint8_t* frame);

// Traffic monitor line of a sent command frame (read or write).
std::string SentFrameLine(const CommandFrame& frame);
// Traffic monitor line of a received 8-byte answer frame, with the computed checksum.
std::string ReceivedFrameLine(const uint8_t* frame);

// Builds frames and hands them to the channel; logs every frame but measurement reads
// while the monitor is visible. No result: the caller learns of success from the answer.
class FrameSender {
public:
    FrameSender(FrameSink& sink, FrameLog* log) : sink_(sink), log_(log) {}
    void SetFrameLog(FrameLog* log) { log_ = log; }

    void SendReadCommand(uint8_t code, const Payload& payload);
    void SendWriteCommand(uint8_t code, const Payload& payload);
    void RequestMeasurement();

private:
    void SendCommand(uint8_t header, uint8_t code, const Payload& payload);
    FrameSink& sink_;
    FrameLog* log_;
};

}  // namespace kt::device
