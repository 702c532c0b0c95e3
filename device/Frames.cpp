#include "Frames.h"

#include <cstring>

namespace kt::device {

uint8_t Checksum(uint8_t code, const Payload& payload) {
    unsigned sum = code;
    for (uint8_t b : payload) sum += b;
    return static_cast<uint8_t>(sum & 0xFF);
}

uint8_t FrameChecksum(const uint8_t* frame) {
    return Checksum(frame[2], Payload{frame[3], frame[4], frame[5], frame[6]});
}

CommandFrame BuildFrame(uint8_t header, uint8_t code, const Payload& payload) {
    CommandFrame f;
    f.bytes = {header,     header,     code,       payload[0],
               payload[1], payload[2], payload[3], Checksum(code, payload)};
    return f;
}

void PackValue32(uint32_t value, Payload& payload) {
    for (int i = 0; i < 4; ++i) payload[i] = static_cast<uint8_t>((value >> (8 * i)) & 0xFF);
}

Payload ZeroPayload() {
    return Payload{0, 0, 0, 0};
}

Payload BytePayload(uint32_t value) {
    return Payload{static_cast<uint8_t>(value & 0xFF), 0, 0, 0};
}

Payload QnrPayload(uint32_t value) {
    return Payload{0, 0, 0, static_cast<uint8_t>(value & 0xFF)};
}

Payload Int32Payload(uint32_t value) {
    Payload p;
    PackValue32(value, p);
    return p;
}

Payload Float32Payload(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return Int32Payload(bits);
}

static uint32_t PayloadBits(const uint8_t* frame) {
    return static_cast<uint32_t>(frame[3]) | static_cast<uint32_t>(frame[4]) << 8 |
           static_cast<uint32_t>(frame[5]) << 16 | static_cast<uint32_t>(frame[6]) << 24;
}

int32_t PayloadInt32(const uint8_t* frame) {
    return static_cast<int32_t>(PayloadBits(frame));
}

float PayloadFloat32(const uint8_t* frame) {
    uint32_t bits = PayloadBits(frame);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// "code: p0 p1 p2 p3 ,CRC=checksum", every number in unsigned decimal.
static std::string FrameFields(const uint8_t* b) {
    return std::to_string(b[2]) + ": " + std::to_string(b[3]) + " " + std::to_string(b[4]) + " " +
           std::to_string(b[5]) + " " + std::to_string(b[6]) + " ,CRC=" + std::to_string(b[7]);
}

std::string SentFrameLine(const CommandFrame& frame) {
    const auto& b = frame.bytes;
    return (b[0] == kHeaderWrite ? ">sending write cmd: " : ">sending read cmd: ") +
           FrameFields(b.data());
}

std::string ReceivedFrameLine(const uint8_t* frame) {
    return "   <<Received Data: " + FrameFields(frame) + "<->" +
           std::to_string(FrameChecksum(frame));
}

void FrameSender::SendCommand(uint8_t header, uint8_t code, const Payload& payload) {
    const CommandFrame frame = BuildFrame(header, code, payload);
    if (log_ && code != cmd::Measurement && log_->IsVisible()) {
        log_->AppendFrameLine(SentFrameLine(frame));
    }
    sink_.Send(frame.bytes.data(), kFrameSize);
}

void FrameSender::SendReadCommand(uint8_t code, const Payload& payload) {
    SendCommand(kHeaderRead, code, payload);
}

void FrameSender::SendWriteCommand(uint8_t code, const Payload& payload) {
    SendCommand(kHeaderWrite, code, payload);
}

void FrameSender::RequestMeasurement() {
    SendReadCommand(cmd::Measurement, ZeroPayload());
}

}  // namespace kt::device
