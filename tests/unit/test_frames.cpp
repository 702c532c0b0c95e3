#include <gtest/gtest.h>

#include "Fakes.h"
#include "Frames.h"

using namespace kt::device;
using kt::test::FakeLog;
using kt::test::RecordingSink;
using kt::test::ToHex;

namespace {

std::string Hex(const CommandFrame& f) {
    return ToHex(f.bytes.data(), kFrameSize);
}

TEST(CommandFrames, BuildTheDocumentedExamplesByteForByte) {
    EXPECT_EQ(Hex(BuildFrame(kHeaderWrite, cmd::LED, BytePayload(5))), "F2 F2 0C 05 00 00 00 11");
    EXPECT_EQ(Hex(BuildFrame(kHeaderWrite, cmd::OnTime, Int32Payload(100))),
              "F2 F2 04 64 00 00 00 68");
    EXPECT_EQ(Hex(BuildFrame(kHeaderWrite, cmd::PK1, Float32Payload(10.0f))),
              "F2 F2 08 00 00 20 41 69");
    EXPECT_EQ(Hex(BuildFrame(kHeaderRead, cmd::Status, QnrPayload(2))), "F1 F1 1A 00 00 00 02 1C");
    EXPECT_EQ(Hex(BuildFrame(kHeaderRead, cmd::Measurement, ZeroPayload())),
              "F1 F1 07 00 00 00 00 07");
    EXPECT_EQ(Hex(BuildFrame(kHeaderWrite, cmd::RestoreDefaults, ZeroPayload())),
              "F2 F2 24 00 00 00 00 24");
    EXPECT_EQ(Hex(BuildFrame(kHeaderAnswer, cmd::COEF0, Float32Payload(1.0f))),
              "F3 F3 13 00 00 80 3F D2");
}

TEST(CommandFrames, ChecksumWrapsAroundAndSkipsHeaders) {
    EXPECT_EQ(Checksum(0xFF, Payload{0xFF, 0xFF, 0xFF, 0xFF}), 0xFB);
    const uint8_t frame[8] = {0x00, 0x77, 0x0C, 0x05, 0, 0, 0, 0};
    EXPECT_EQ(FrameChecksum(frame), 0x11);
}

TEST(CommandFrames, PayloadEncodingsKeepLowBytesLittleEndian) {
    EXPECT_EQ(BytePayload(0x1234), (Payload{0x34, 0, 0, 0}));
    EXPECT_EQ(QnrPayload(0x102), (Payload{0, 0, 0, 0x02}));
    EXPECT_EQ(Int32Payload(0xA1B2C3D4), (Payload{0xD4, 0xC3, 0xB2, 0xA1}));
    Payload p{};
    PackValue32(0x01020304, p);
    EXPECT_EQ(p, (Payload{4, 3, 2, 1}));
}

TEST(CommandFrames, PayloadReadersInvertTheEncodings) {
    auto frame = BuildFrame(kHeaderAnswer, cmd::OnTime, Int32Payload(static_cast<uint32_t>(-5)));
    EXPECT_EQ(PayloadInt32(frame.bytes.data()), -5);
    frame = BuildFrame(kHeaderAnswer, cmd::PK2, Float32Payload(-123.456f));
    EXPECT_EQ(PayloadFloat32(frame.bytes.data()), -123.456f);
}

TEST(FrameSender, LogsEveryCommandButMeasurementReadsWhileTheMonitorIsVisible) {
    RecordingSink sink;
    FakeLog log;
    FrameSender sender(sink, &log);
    sender.SendWriteCommand(cmd::LED, BytePayload(5));
    sender.SendReadCommand(cmd::Status, QnrPayload(2));
    sender.RequestMeasurement();
    ASSERT_EQ(sink.frames.size(), 3u);
    EXPECT_EQ(sink.frames[2], "F1 F1 07 00 00 00 00 07");
    ASSERT_EQ(log.frameLines.size(), 2u);
    EXPECT_EQ(log.frameLines[0], ">sending write cmd: 12: 5 0 0 0 ,CRC=17");
    EXPECT_EQ(log.frameLines[1], ">sending read cmd: 26: 0 0 0 2 ,CRC=28");
}

TEST(FrameSender, HiddenMonitorRecordsNothing) {
    RecordingSink sink;
    FakeLog log;
    log.visible = false;
    FrameSender sender(sink, &log);
    sender.SendWriteCommand(cmd::LED, BytePayload(5));
    log.visible = true;  // showing it later reveals no earlier traffic
    EXPECT_TRUE(log.frameLines.empty());
    EXPECT_EQ(sink.frames.size(), 1u);
}

TEST(FrameSender, ReceivedLineShowsBothChecksums) {
    const auto good = BuildFrame(kHeaderAnswer, cmd::LED, BytePayload(5));
    EXPECT_EQ(ReceivedFrameLine(good.bytes.data()), "   <<Received Data: 12: 5 0 0 0 ,CRC=17<->17");
    auto bad = good;
    bad.bytes[7] = 0x12;
    EXPECT_EQ(ReceivedFrameLine(bad.bytes.data()), "   <<Received Data: 12: 5 0 0 0 ,CRC=18<->17");
}

}  // namespace
