// The indicator model on its own, with a virtual clock: answers, parameters, moving
// sensors, cycle counts and outputs.
#include <gtest/gtest.h>

#include <cstring>

#include "Frames.h"
#include "IndicatorModel.h"
#include "TestSupport.h"

namespace {

using kt::sim::IndicatorModel;
using kt::sim::ModelConfig;
using kt::test::Hex;
using kt::test::ToHex;
namespace dev = kt::device;
namespace cmd = kt::device::cmd;

std::string Ask(IndicatorModel& model, const std::string& request, int64_t nowMs = 0) {
    const auto frame = Hex(request);
    return ToHex(model.HandleRequest(frame.data(), nowMs));
}

std::vector<uint8_t> Send(IndicatorModel& model, uint8_t header, uint8_t code,
                          const dev::Payload& payload, int64_t nowMs = 0) {
    const auto frame = dev::BuildFrame(header, code, payload);
    return model.HandleRequest(frame.bytes.data(), nowMs);
}

std::vector<uint8_t> Write(IndicatorModel& model, uint8_t code, const dev::Payload& payload,
                           int64_t nowMs = 0) {
    return Send(model, dev::kHeaderWrite, code, payload, nowMs);
}

std::vector<uint8_t> Read(IndicatorModel& model, uint8_t code, int64_t nowMs = 0) {
    return Send(model, dev::kHeaderRead, code, dev::ZeroPayload(), nowMs);
}

float AnswerFloat(const std::vector<uint8_t>& answer) {
    return dev::PayloadFloat32(answer.data());
}

float FloatAt(const std::vector<uint8_t>& frame, size_t offset) {
    float f;
    std::memcpy(&f, frame.data() + offset, sizeof f);
    return f;
}

uint8_t OutputBits(IndicatorModel& model, int64_t nowMs) {
    return Send(model, dev::kHeaderRead, cmd::Measurement, dev::ZeroPayload(), nowMs)[2] & 0x30;
}

TEST(SimModel, AnswersTheProtocolExamples) {
    IndicatorModel model;
    EXPECT_EQ(Ask(model, "F2 F2 0C 05 00 00 00 11"), "F3 F3 0C 05 00 00 00 11");
    EXPECT_EQ(Ask(model, "F2 F2 04 64 00 00 00 68"), "F3 F3 04 64 00 00 00 68");
    EXPECT_EQ(Ask(model, "F2 F2 08 00 00 20 41 69"), "F3 F3 08 00 00 20 41 69");
    EXPECT_EQ(Ask(model, "F1 F1 13 00 00 00 00 13"), "F3 F3 13 00 00 80 3F D2");
    // A read reports the active sensor and ignores its payload; a write sets it.
    EXPECT_EQ(Ask(model, "F1 F1 1A 00 00 00 02 1C"), "F3 F3 1A 01 01 01 00 1D");
    EXPECT_EQ(Ask(model, "F2 F2 1A 00 00 00 02 1C"), "F3 F3 1A 01 01 01 02 1F");
    EXPECT_EQ(Ask(model, "F1 F1 1A 00 00 00 02 1C"), "F3 F3 1A 01 01 01 02 1F");
    EXPECT_EQ(Ask(model, "F2 F2 24 00 00 00 00 24"), "F3 F3 24 00 00 00 00 24");
}

TEST(SimModel, EveryValidCodeIsAnsweredOnceWithItsOwnCode) {
    for (const uint8_t header : {dev::kHeaderRead, dev::kHeaderWrite}) {
        IndicatorModel model;
        for (int code = 1; code <= 36; ++code) {
            if (code == 25 || code == 33) continue;
            SCOPED_TRACE("header " + std::to_string(header) + " code " + std::to_string(code));
            const auto a = Send(model, header, static_cast<uint8_t>(code), dev::ZeroPayload());
            if (code == cmd::Measurement) {
                ASSERT_GE(a.size(), 3u);
                EXPECT_EQ(a[0], dev::kHeaderMeasurement);
                EXPECT_EQ(a[1], dev::kHeaderMeasurement);
                continue;
            }
            ASSERT_EQ(a.size(), 8u);
            EXPECT_EQ(a[0], dev::kHeaderAnswer);
            EXPECT_EQ(a[1], dev::kHeaderAnswer);
            EXPECT_EQ(a[2], code);
            EXPECT_EQ(a[7], dev::FrameChecksum(a.data()));
        }
    }
}

TEST(SimModel, InvalidCodesAndBrokenRequestsGetNoAnswer) {
    IndicatorModel model;
    for (const uint8_t code : {0, 25, 33, 37, 200, 255}) {
        EXPECT_TRUE(Read(model, code).empty()) << int(code);
        EXPECT_TRUE(Write(model, code, dev::ZeroPayload()).empty()) << int(code);
    }
    EXPECT_EQ(Ask(model, "F1 F1 0C 00 00 00 00 0D"), "");  // wrong checksum
    EXPECT_EQ(Ask(model, "F3 F3 0C 00 00 00 00 0C"), "");  // an answer is no request
    EXPECT_EQ(Ask(model, "F1 F2 0C 00 00 00 00 0C"), "");  // headers differ
    EXPECT_EQ(Ask(model, "F4 F4 07 00 00 00 00 07"), "");
}

TEST(SimModel, WritesStoreValuesThatReadsReturn) {
    IndicatorModel model;
    // Byte values take p0 only; the rest of the payload is not part of the value.
    EXPECT_EQ(ToHex(Write(model, cmd::Mode, {3, 7, 8, 9})), "F3 F3 01 03 00 00 00 04");
    EXPECT_EQ(ToHex(Read(model, cmd::Mode)), "F3 F3 01 03 00 00 00 04");
    Write(model, cmd::LED, {0xFF, 1, 0, 0});
    EXPECT_EQ(model.Params().LED, 255);
    Write(model, cmd::Decp, dev::BytePayload(4));
    Write(model, cmd::Beep, dev::BytePayload(0));
    EXPECT_EQ(model.Params().decp, 4);
    EXPECT_EQ(model.Params().Beep, 0);

    EXPECT_EQ(ToHex(Write(model, cmd::OnTime, dev::Int32Payload(0x12345678))),
              "F3 F3 04 78 56 34 12 18");
    EXPECT_EQ(model.Params().OnTime, 0x12345678u);

    // Every float parameter keeps the exact bit pattern written.
    for (int code : {8, 9, 13, 14, 15, 16, 17, 18, 19, 20, 21}) {
        const float value = -12.345f + static_cast<float>(code);
        Write(model, static_cast<uint8_t>(code), dev::Float32Payload(value));
        EXPECT_EQ(AnswerFloat(Read(model, static_cast<uint8_t>(code))), value) << code;
    }
    EXPECT_EQ(model.Params().UZP[2], -12.345f + 15);
    EXPECT_EQ(model.Params().Offset[0], -12.345f + 16);
    EXPECT_EQ(model.Params().COEF[1], -12.345f + 20);
}

TEST(SimModel, IdentityAndConfiguredVersions) {
    IndicatorModel model;
    EXPECT_EQ(ToHex(Read(model, cmd::DeviceType)), "F3 F3 20 4B 54 56 00 15");
    EXPECT_EQ(Read(model, cmd::HardwareVersion)[3], 12);
    EXPECT_EQ(Read(model, cmd::SoftwareVersion)[3], 34);

    ModelConfig config;
    config.hardwareVersion = 7;
    config.softwareVersion = 99;
    IndicatorModel other(config);
    EXPECT_EQ(ToHex(Read(other, cmd::HardwareVersion)), "F3 F3 23 07 00 00 00 2A");
    EXPECT_EQ(ToHex(Read(other, cmd::SoftwareVersion)), "F3 F3 22 63 00 00 00 85");
}

TEST(SimModel, RestoreDefaultsBringsBackEveryParameter) {
    IndicatorModel model;
    Write(model, cmd::Mode, dev::BytePayload(2));
    Write(model, cmd::LED, dev::BytePayload(9));
    Write(model, cmd::OnTime, dev::Int32Payload(5000));
    Write(model, cmd::PK2, dev::Float32Payload(12.0f));
    Write(model, cmd::Status, dev::QnrPayload(2));
    Write(model, cmd::COEF0 + 1, dev::Float32Payload(3.0f));
    Write(model, cmd::SetZero0, dev::ZeroPayload(), 2000);

    EXPECT_EQ(ToHex(Write(model, cmd::RestoreDefaults, dev::ZeroPayload(), 2500)),
              "F3 F3 24 00 00 00 00 24");
    const auto p = model.Params();
    EXPECT_EQ(p.mode, 0);
    EXPECT_EQ(p.decp, 1);
    EXPECT_EQ(p.Beep, 1);
    EXPECT_EQ(p.OnTime, 100u);
    EXPECT_EQ(p.PK1, 90.0f);
    EXPECT_EQ(p.PK2, 180.0f);
    EXPECT_EQ(p.LED, 5);
    EXPECT_EQ(p.Q_NR, 0u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p.UZP[i], 0.0f);
        EXPECT_EQ(p.Offset[i], 0.0f);
        EXPECT_EQ(p.COEF[i], 1.0f);
    }
    EXPECT_EQ(ToHex(Read(model, cmd::LED)), "F3 F3 0C 05 00 00 00 11");
}

TEST(SimModel, StatusAndMeasurementFollowTheSensorMask) {
    for (int mask = 0; mask < 8; ++mask) {
        for (const bool cycles : {false, true}) {
            SCOPED_TRACE("mask " + std::to_string(mask) + (cycles ? " with cycles" : ""));
            ModelConfig config;
            config.sensorMask = static_cast<uint8_t>(mask);
            config.includeCycles = cycles;
            IndicatorModel model(config);
            const auto status = Read(model, cmd::Status);
            for (int i = 0; i < 3; ++i) EXPECT_EQ(status[3 + i], (mask >> i) & 1);

            const auto m = Read(model, cmd::Measurement, 1500);
            const int n = __builtin_popcount(mask);
            const int k = cycles ? 2 : 1;
            ASSERT_EQ(m.size(), 3u + 4u * n * k);
            EXPECT_EQ(m[2] & 0x0F, mask | (cycles ? 0x08 : 0));
            // Values in sensor order; each sensor turns at its own speed.
            const float expected[3] = {15.0f, 37.5f, 60.0f};
            size_t offset = 3;
            for (int i = 0; i < 3; ++i) {
                if (!((mask >> i) & 1)) continue;
                EXPECT_FLOAT_EQ(FloatAt(m, offset), expected[i]) << "sensor " << i;
                offset += 4;
                if (cycles) {
                    EXPECT_EQ(FloatAt(m, offset), 0.0f);
                    offset += 4;
                }
            }
        }
    }
}

TEST(SimModel, AnglesWrapAndCyclesCountRevolutionsSinceReset) {
    ModelConfig config;
    config.includeCycles = true;
    IndicatorModel model(config);
    model.AdvanceTo(37000);  // 370, 925 and 1480 degrees turned
    EXPECT_NEAR(model.Angle(0), 10.0, 1e-9);
    EXPECT_NEAR(model.Angle(1), 205.0, 1e-9);
    EXPECT_NEAR(model.Angle(2), 40.0, 1e-9);
    EXPECT_EQ(model.Cycles(0), 1.0);
    EXPECT_EQ(model.Cycles(1), 2.0);
    EXPECT_EQ(model.Cycles(2), 4.0);
    const auto m = Read(model, cmd::Measurement, 37000);
    ASSERT_EQ(m.size(), 27u);
    EXPECT_EQ(FloatAt(m, 7), 1.0f);
    EXPECT_EQ(FloatAt(m, 15), 2.0f);
    EXPECT_EQ(FloatAt(m, 23), 4.0f);

    EXPECT_EQ(ToHex(Write(model, cmd::ResetCycles0 + 1, dev::ZeroPayload(), 37000)),
              "F3 F3 1C 00 00 00 00 1C");
    EXPECT_EQ(model.Cycles(1), 0.0);
    EXPECT_EQ(model.Cycles(0), 1.0);  // the others keep counting
    model.AdvanceTo(37000 + 14000);   // 350 degrees since the reset
    EXPECT_EQ(model.Cycles(1), 0.0);
    model.AdvanceTo(37000 + 14400);
    EXPECT_EQ(model.Cycles(1), 1.0);
    // A read of a reset code only reports.
    Read(model, cmd::ResetCycles0, 80000);
    EXPECT_EQ(model.Cycles(0), 2.0);
}

TEST(SimModel, SetZeroTakesThePresentPosition) {
    IndicatorModel model;
    const auto a = Write(model, cmd::SetZero0, dev::ZeroPayload(), 4500);
    ASSERT_EQ(a.size(), 8u);
    EXPECT_EQ(a[2], cmd::SetZero0);
    EXPECT_FLOAT_EQ(AnswerFloat(a), 45.0f);
    EXPECT_FLOAT_EQ(AnswerFloat(Read(model, cmd::UZP0, 4500)), 45.0f);
    EXPECT_NEAR(model.Angle(0), 0.0, 1e-4);
    model.AdvanceTo(5000);
    EXPECT_NEAR(model.Angle(0), 5.0, 1e-4);

    EXPECT_FLOAT_EQ(AnswerFloat(Write(model, cmd::SetZero0 + 2, dev::ZeroPayload(), 5000)), 200.0f);
    EXPECT_NEAR(model.Angle(2), 0.0, 1e-4);
    EXPECT_EQ(model.Params().UZP[1], 0.0f);
    // Reading 23 reports sensor 1's zero without moving it.
    EXPECT_FLOAT_EQ(AnswerFloat(Read(model, cmd::SetZero0 + 1, 6000)), 0.0f);
    EXPECT_EQ(model.Params().UZP[1], 0.0f);
}

TEST(SimModel, ShownAngleAppliesZeroOffsetAndMultiplier) {
    IndicatorModel model;
    Write(model, cmd::UZP0, dev::Float32Payload(10.0f));
    Write(model, cmd::Offset0, dev::Float32Payload(5.0f));
    Write(model, cmd::COEF0, dev::Float32Payload(2.0f));
    model.AdvanceTo(3000);                    // raw 30
    EXPECT_NEAR(model.Angle(0), 50.0, 1e-9);  // (30 - 10 + 5) * 2
    Write(model, cmd::UZP0, dev::Float32Payload(50.0f));
    EXPECT_NEAR(model.Angle(0), 330.0, 1e-9);  // (30 - 50 + 5) * 2 = -30
    Write(model, cmd::COEF0, dev::Float32Payload(0.0f));
    EXPECT_EQ(model.Angle(0), 0.0);
}

class SimModelOutputs : public ::testing::Test {
protected:
    void SetMode(int mode, int64_t at = 0) { Write(model, cmd::Mode, dev::BytePayload(mode), at); }
    void SetFloat(uint8_t code, float v, int64_t at = 0) {
        Write(model, code, dev::Float32Payload(v), at);
    }
    IndicatorModel model;
};

TEST_F(SimModelOutputs, ModeOneSwitchesAtBothThresholds) {
    SetMode(1);  // sensor 0 turns 10 deg/s; PK1 90, PK2 180
    EXPECT_EQ(OutputBits(model, 8000), 0x00);
    EXPECT_EQ(OutputBits(model, 9500), 0x10);
    EXPECT_EQ(OutputBits(model, 18500), 0x30);
    EXPECT_EQ(OutputBits(model, 36500), 0x00);  // wrapped to 5 degrees
    EXPECT_EQ(OutputBits(model, 45500), 0x10);  // 95 degrees
    // The outputs follow the active sensor: sensor 2 stands at 20 degrees then.
    Write(model, cmd::Status, dev::QnrPayload(2), 45500);
    EXPECT_EQ(OutputBits(model, 45500), 0x00);
    EXPECT_EQ(OutputBits(model, 47500), 0x10);  // sensor 2 at 100 degrees
}

TEST_F(SimModelOutputs, ModeTwoUsesTheSecondThresholdAsAMarginAroundTheFirst) {
    SetMode(2);
    SetFloat(cmd::PK1, 100.0f);
    SetFloat(cmd::PK2, 10.0f);
    EXPECT_EQ(OutputBits(model, 8500), 0x00);   // 85
    EXPECT_EQ(OutputBits(model, 9500), 0x20);   // 95: inside the margin only
    EXPECT_EQ(OutputBits(model, 10500), 0x30);  // 105
    EXPECT_EQ(OutputBits(model, 11500), 0x10);  // 115: above PK1, outside the margin
}

TEST_F(SimModelOutputs, ModeZeroPulsesForOnTimeWhenAThresholdIsPassed) {
    SetMode(0);  // PK1 90 passed at 9 s, PK2 180 at 18 s; OnTime 100 ms
    EXPECT_EQ(OutputBits(model, 8990), 0x00);
    EXPECT_EQ(OutputBits(model, 9050), 0x10);
    EXPECT_EQ(OutputBits(model, 9150), 0x00);
    EXPECT_EQ(OutputBits(model, 18020), 0x20);
    EXPECT_EQ(OutputBits(model, 18101), 0x00);
    // Every revolution passes the threshold again.
    EXPECT_EQ(OutputBits(model, 45060), 0x10);
    Write(model, cmd::OnTime, dev::Int32Payload(2000), 45060);
    EXPECT_EQ(OutputBits(model, 46500), 0x10);
    EXPECT_EQ(OutputBits(model, 47100), 0x00);
}

TEST_F(SimModelOutputs, PulsesAreFoundAcrossOneLongStepOfTheClock) {
    SetMode(0);
    EXPECT_EQ(OutputBits(model, 9050), 0x10);  // no request in between
    IndicatorModel other;
    Write(other, cmd::Mode, dev::BytePayload(0));
    Write(other, cmd::COEF0, dev::Float32Payload(0.5f));
    // Half speed on the dial: 90 is shown at raw 180 (18 s), again at raw 180 + 360.
    EXPECT_EQ(OutputBits(other, 18050), 0x10);
    EXPECT_EQ(OutputBits(other, 30000), 0x00);
    EXPECT_EQ(OutputBits(other, 54050), 0x10);
}

TEST_F(SimModelOutputs, ADecreasingAngleAlsoPasses) {
    SetMode(0);
    SetFloat(cmd::COEF0, -1.0f);  // shown angle runs 360 -> 0; it shows 90 at raw 270
    EXPECT_EQ(OutputBits(model, 26950), 0x00);
    EXPECT_EQ(OutputBits(model, 27050), 0x10);
    EXPECT_EQ(OutputBits(model, 27150), 0x00);
}

TEST_F(SimModelOutputs, ModeThreePulsesTheSecondOutputEveryRevolution) {
    SetMode(3);
    EXPECT_EQ(OutputBits(model, 9050), 0x10);
    EXPECT_EQ(OutputBits(model, 18050), 0x00);  // PK2 is not a threshold here
    EXPECT_EQ(OutputBits(model, 36050), 0x20);
    EXPECT_EQ(OutputBits(model, 36200), 0x00);
    // Counted from the last reset of the counter.
    Write(model, cmd::ResetCycles0, dev::ZeroPayload(), 40000);
    EXPECT_EQ(OutputBits(model, 72050), 0x00);
    EXPECT_EQ(OutputBits(model, 76050), 0x20);
    // Mode 3 reports cycle counts without being asked to.
    EXPECT_EQ(Read(model, cmd::Measurement, 76050).size(), 3u + 4u * 3 * 2);
}

TEST_F(SimModelOutputs, NoOutputWithoutAValidActiveSensorOrInModeFour) {
    SetMode(1);
    EXPECT_EQ(OutputBits(model, 20000), 0x30);
    SetMode(4, 20000);
    EXPECT_EQ(OutputBits(model, 20000), 0x00);
    SetMode(1, 20000);
    Write(model, cmd::Status, dev::QnrPayload(5), 20000);
    EXPECT_EQ(OutputBits(model, 20000), 0x00);
    Write(model, cmd::Status, dev::QnrPayload(0), 20000);
    model.SetSensorMask(0x06);
    EXPECT_EQ(OutputBits(model, 20000), 0x00);

    IndicatorModel pulsing;
    Write(pulsing, cmd::PK1, dev::Float32Payload(400.0f));  // never shown
    EXPECT_EQ(OutputBits(pulsing, 40000), 0x00);
    for (int64_t t = 40000; t < 80000; t += 50) ASSERT_EQ(OutputBits(pulsing, t) & 0x10, 0);
}

}  // namespace
