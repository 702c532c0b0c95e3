// Fault switches applied to the model's answers, the line's timing, and the request
// reader's resync, without a terminal: bursts, their bytes and their due times, with
// the clock given by the test (nanoseconds).
#include <gtest/gtest.h>

#include "AnswerShaper.h"
#include "Frames.h"
#include "RequestReader.h"
#include "TestSupport.h"

namespace {

using kt::sim::AnswerShaper;
using kt::sim::Burst;
using kt::sim::Faults;
using kt::sim::kNsPerMs;
using kt::sim::ReleaseTime;
using kt::sim::RequestReader;
using kt::test::Hex;
using kt::test::ToHex;

const std::string kLed = "F3 F3 0C 05 00 00 00 11";
const std::string kType = "F3 F3 20 4B 54 56 00 15";
const std::string kMeasurement = "F4 F4 03 00 00 70 41 00 00 16 42";

AnswerShaper WithFaults(const Faults& faults, uint64_t seed = 1) {
    AnswerShaper shaper(seed);
    shaper.SetFaults(faults);
    return shaper;
}

int CountAnswered(AnswerShaper& shaper, int requests) {
    int answered = 0;
    for (int i = 0; i < requests; ++i) answered += !shaper.Shape(12, Hex(kLed), i).empty();
    return answered;
}

TEST(SimFaults, WithoutFaultsAnAnswerLeavesAtOnceInOneBurst) {
    AnswerShaper shaper;
    const auto bursts = shaper.Shape(12, Hex(kLed), 500);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_EQ(bursts[0].dueNs, 500);
    EXPECT_EQ(bursts[0].crossingNs, 0);  // memory speed: written the moment it is due
    EXPECT_EQ(ReleaseTime(bursts[0], 0), 500);
    EXPECT_EQ(ToHex(bursts[0].bytes), kLed);
    EXPECT_TRUE(shaper.Shape(0, {}, 500).empty());  // nothing to answer, nothing sent
}

TEST(SimFaults, SilenceAllOrChosenCodes) {
    Faults faults;
    faults.silentCodes = {7, 26};
    AnswerShaper shaper = WithFaults(faults);
    EXPECT_TRUE(shaper.Shape(7, Hex(kMeasurement), 0).empty());
    EXPECT_TRUE(shaper.Shape(26, Hex("F3 F3 1A 01 01 01 00 1D"), 0).empty());
    EXPECT_EQ(shaper.Shape(12, Hex(kLed), 0).size(), 1u);
    faults.silent = true;
    shaper.SetFaults(faults);
    EXPECT_TRUE(shaper.Shape(12, Hex(kLed), 0).empty());
}

TEST(SimFaults, DelayPostponesTheAnswer) {
    Faults faults;
    faults.delayMs = 250;
    AnswerShaper shaper = WithFaults(faults);
    const auto bursts = shaper.Shape(12, Hex(kLed), 1000 * kNsPerMs);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_EQ(bursts[0].dueNs, 1250 * kNsPerMs);
}

TEST(SimFaults, DropRateLosesThatShareReproduciblyBySeed) {
    Faults faults;
    faults.dropRate = 1.0;
    AnswerShaper all = WithFaults(faults);
    EXPECT_EQ(CountAnswered(all, 100), 0);
    faults.dropRate = 0.3;
    AnswerShaper some = WithFaults(faults, 42);
    const int answered = CountAnswered(some, 1000);
    EXPECT_GT(answered, 600);
    EXPECT_LT(answered, 800);

    // The same seed loses the same answers; another seed other ones.
    auto pattern = [&](uint64_t seed) {
        AnswerShaper s = WithFaults(faults, seed);
        std::string bits;
        for (int i = 0; i < 64; ++i) bits += s.Shape(12, Hex(kLed), i).empty() ? '0' : '1';
        return bits;
    };
    EXPECT_EQ(pattern(7), pattern(7));
    EXPECT_NE(pattern(7), pattern(8));
}

TEST(SimFaults, BadChecksumSpoilsOnlyTheChecksumOfAnswerFrames) {
    Faults faults;
    faults.badCrcRate = 1.0;
    AnswerShaper shaper = WithFaults(faults);
    const auto bytes = shaper.Shape(12, Hex(kLed), 0).at(0).bytes;
    ASSERT_EQ(bytes.size(), 8u);
    EXPECT_EQ(ToHex(bytes.data(), 7), "F3 F3 0C 05 00 00 00");
    EXPECT_NE(bytes[7], kt::device::FrameChecksum(bytes.data()));
    // A measurement frame has no checksum and passes unchanged.
    EXPECT_EQ(ToHex(shaper.Shape(7, Hex(kMeasurement), 0).at(0).bytes), kMeasurement);

    faults.badCrcRate = 0.5;
    shaper.SetFaults(faults);
    int spoiled = 0;
    for (int i = 0; i < 400; ++i) {
        const auto b = shaper.Shape(12, Hex(kLed), i).at(0).bytes;
        spoiled += b[7] != 0x11;
    }
    EXPECT_GT(spoiled, 140);
    EXPECT_LT(spoiled, 260);
}

// Spoiled in a value byte instead: the checksum still disagrees, and an answer taken
// anyway would show a value the indicator never held.
TEST(SimFaults, BadChecksumInValueChangesTheFirstValueByte) {
    Faults faults;
    faults.badCrcRate = 1.0;
    faults.badCrcInValue = true;
    AnswerShaper shaper = WithFaults(faults);
    const auto bytes = shaper.Shape(12, Hex(kLed), 0).at(0).bytes;
    EXPECT_EQ(ToHex(bytes), "F3 F3 0C 5F 00 00 00 11");
    EXPECT_NE(bytes[7], kt::device::FrameChecksum(bytes.data()));
    // A four-byte value changes in its top byte: a multiplier of 1.0 becomes huge.
    EXPECT_EQ(ToHex(shaper.Shape(19, Hex("F3 F3 13 00 00 80 3F D2"), 0).at(0).bytes),
              "F3 F3 13 00 00 80 65 D2");
    EXPECT_EQ(ToHex(shaper.Shape(7, Hex(kMeasurement), 0).at(0).bytes), kMeasurement);
}

TEST(SimFaults, SplitSendsTwoHalvesTheGapApart) {
    Faults faults;
    faults.split = true;
    faults.delayMs = 10;
    AnswerShaper shaper = WithFaults(faults);
    EXPECT_EQ(faults.splitGapMs, 80);  // more than the 50 ms that ends a read
    auto bursts = shaper.Shape(12, Hex(kLed), 100 * kNsPerMs);
    ASSERT_EQ(bursts.size(), 2u);
    EXPECT_EQ(ToHex(bursts[0].bytes), "F3 F3 0C 05");
    EXPECT_EQ(ToHex(bursts[1].bytes), "00 00 00 11");
    EXPECT_EQ(bursts[0].dueNs, 110 * kNsPerMs);
    EXPECT_EQ(bursts[1].dueNs, 190 * kNsPerMs);
    // The second half waits for the gap after the first was really written.
    EXPECT_EQ(ReleaseTime(bursts[1], 150 * kNsPerMs), 230 * kNsPerMs);

    bursts = shaper.Shape(7, Hex(kMeasurement), 0);
    ASSERT_EQ(bursts.size(), 2u);
    EXPECT_EQ(ToHex(bursts[0].bytes) + " " + ToHex(bursts[1].bytes), kMeasurement);
}

TEST(SimFaults, MergeGluesEachAnswerToTheNextOne) {
    Faults faults;
    faults.merge = true;
    faults.mergeHoldMs = 500;
    AnswerShaper shaper = WithFaults(faults);
    EXPECT_TRUE(shaper.Shape(12, Hex(kLed), 0).empty());
    EXPECT_EQ(shaper.HoldDeadline(), 500 * kNsPerMs);
    auto bursts = shaper.Shape(32, Hex(kType), 20 * kNsPerMs);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_EQ(ToHex(bursts[0].bytes), kLed + " " + kType);
    EXPECT_FALSE(shaper.HoldDeadline().has_value());

    // A held answer with no follower leaves alone once its hold time is over.
    EXPECT_TRUE(shaper.Shape(12, Hex(kLed), 1000 * kNsPerMs).empty());
    EXPECT_TRUE(shaper.ReleaseExpired(1500 * kNsPerMs - 1).empty());
    bursts = shaper.ReleaseExpired(1500 * kNsPerMs);
    ASSERT_EQ(bursts.size(), 1u);
    EXPECT_EQ(ToHex(bursts[0].bytes), kLed);

    // Switching merging off lets a held answer go first, on its own.
    EXPECT_TRUE(shaper.Shape(12, Hex(kLed), 2000).empty());
    faults.merge = false;
    shaper.SetFaults(faults);
    bursts = shaper.Shape(32, Hex(kType), 2010);
    ASSERT_EQ(bursts.size(), 2u);
    EXPECT_EQ(ToHex(bursts[0].bytes), kLed);
    EXPECT_EQ(ToHex(bursts[1].bytes), kType);
}

TEST(SimFaults, GarbageGoesInFrontOfTheAnswer) {
    Faults faults;
    faults.garbageBytes = 5;
    AnswerShaper shaper = WithFaults(faults);
    const auto bytes = shaper.Shape(12, Hex(kLed), 0).at(0).bytes;
    ASSERT_EQ(bytes.size(), 13u);
    EXPECT_EQ(ToHex(bytes.data() + 5, 8), kLed);
}

// Plain garbage takes every byte value, header bytes included; header-free garbage
// never holds F1..F4 but every other value still shows up, and the same seed gives the
// same bytes.
TEST(SimFaults, HeaderFreeGarbageHoldsEveryValueButTheHeaderBytes) {
    const auto histogram = [](bool headerFree) {
        Faults faults;
        faults.garbageBytes = 64;
        faults.headerFreeGarbage = headerFree;
        AnswerShaper shaper = WithFaults(faults);
        std::vector<int> seen(256);
        for (int i = 0; i < 200; ++i) {
            const auto bytes = shaper.Shape(12, Hex(kLed), i).at(0).bytes;
            EXPECT_EQ(ToHex(bytes.data() + 64, 8), kLed);
            for (size_t k = 0; k < 64; ++k) ++seen[bytes[k]];
        }
        return seen;
    };
    const auto plain = histogram(false);
    const auto clean = histogram(true);
    for (int v = 0; v < 256; ++v) {
        const bool header = v >= 0xF1 && v <= 0xF4;
        EXPECT_GT(plain[v], 0) << v;
        if (header) {
            EXPECT_EQ(clean[v], 0) << v;
        } else {
            EXPECT_GT(clean[v], 0) << v;
        }
    }
    EXPECT_EQ(histogram(true), clean);
}

// The record keeps each measurement frame given to the line, before its garbage, and
// leaves out dropped ones and answer frames; turning it on again starts afresh.
TEST(SimFaults, RecordKeepsTheMeasurementFramesGivenToTheLine) {
    Faults faults;
    faults.garbageBytes = 2;
    faults.dropRate = 0.5;
    AnswerShaper shaper = WithFaults(faults);
    shaper.Shape(7, Hex(kMeasurement), 0);
    EXPECT_TRUE(shaper.MeasurementsSent().empty());  // off by default
    shaper.RecordMeasurements(true);
    int given = 0;
    for (int i = 0; i < 100; ++i) {
        std::string hex = kMeasurement;
        hex[hex.size() - 1] = "0123456789ABCDEF"[i % 16];
        given += !shaper.Shape(7, Hex(hex), i).empty();
        shaper.Shape(12, Hex(kLed), i);
    }
    const auto& sent = shaper.MeasurementsSent();
    ASSERT_EQ(static_cast<int>(sent.size()), given);
    EXPECT_GT(given, 20);
    EXPECT_LT(given, 80);
    for (const auto& frame : sent) EXPECT_EQ(ToHex(frame.data(), 10), kMeasurement.substr(0, 29));
    shaper.RecordMeasurements(true);
    EXPECT_TRUE(shaper.MeasurementsSent().empty());
}

TEST(SimFaults, ForeignTypeCodeKeepsAValidChecksum) {
    Faults faults;
    faults.typeCode = "XYZ";
    AnswerShaper shaper = WithFaults(faults);
    EXPECT_EQ(ToHex(shaper.Shape(32, Hex(kType), 0).at(0).bytes), "F3 F3 20 58 59 5A 00 2B");
    EXPECT_EQ(ToHex(shaper.Shape(12, Hex(kLed), 0).at(0).bytes), kLed);
    faults.typeCode = "AB";
    shaper.SetFaults(faults);
    EXPECT_EQ(ToHex(shaper.Shape(32, Hex(kType), 0).at(0).bytes), "F3 F3 20 41 42 00 00 A3");
}

// A measurement with three sensors and cycle counts: 27 bytes.
std::string FullMeasurement() {
    std::string hex = "F4 F4 0F";
    for (int i = 0; i < 24; ++i) hex += " 00";
    return hex;
}
const std::string kFullMeasurement = FullMeasurement();

// Line times at 57600 bit/s and 10 bits a byte, rounded up to the nanosecond so that
// nothing arrives early.
constexpr int64_t kRequestNs = 1388889;      // 8 bytes: 1.3889 ms
constexpr int64_t kMeasurementNs = 4687500;  // 27 bytes: 4.6875 ms
constexpr int64_t kT = 7000 * kNsPerMs;      // when the request's last byte came in

TEST(SimWire, AnAnswerIsWrittenOnceRequestAndAnswerHaveCrossed) {
    struct Case {
        const char* what;
        std::string answer;
        int delayMs;
        int garbage;
        bool wire;
        int64_t afterArrivalNs;
    };
    const std::vector<Case> cases = {
        {"LED answer", kLed, 0, 0, true, 2 * kRequestNs},
        {"full measurement", kFullMeasurement, 0, 0, true, kRequestNs + kMeasurementNs},
        {"wire and delay add up", kFullMeasurement, 20, 0, true,
         kRequestNs + 20 * kNsPerMs + kMeasurementNs},
        {"garbage crosses too", kLed, 0, 5, true, kRequestNs + 2256945},
        {"memory speed without the wire", kFullMeasurement, 20, 0, false, 20 * kNsPerMs},
    };
    for (const auto& c : cases) {
        Faults faults;
        faults.wire = c.wire;
        faults.delayMs = c.delayMs;
        faults.garbageBytes = c.garbage;
        AnswerShaper shaper = WithFaults(faults);
        const auto bursts = shaper.Shape(7, Hex(c.answer), kT);
        ASSERT_EQ(bursts.size(), 1u) << c.what;
        EXPECT_EQ(ReleaseTime(bursts[0], 0) - kT, c.afterArrivalNs) << c.what;
    }
}

TEST(SimWire, BackToBackAnswersFollowOneAnotherOnTheLine) {
    Faults faults;
    faults.wire = true;
    AnswerShaper shaper = WithFaults(faults);
    // Four requests in one write: measurement, type, measurement, LED.
    const std::vector<std::pair<uint8_t, std::string>> requests = {
        {7, kFullMeasurement}, {32, kType}, {7, kFullMeasurement}, {12, kLed}};
    std::vector<Burst> queue;
    for (const auto& [code, answer] : requests) {
        for (auto& b : shaper.Shape(code, Hex(answer), kT)) queue.push_back(std::move(b));
    }
    ASSERT_EQ(queue.size(), 4u);
    EXPECT_EQ(ToHex(queue[1].bytes), kType);  // in the order asked
    const std::vector<int64_t> written = {6076389, 7465278, 12152778, 13541667};
    int64_t previous = 0;
    for (size_t i = 0; i < queue.size(); ++i) {
        const int64_t at = ReleaseTime(queue[i], previous);
        EXPECT_EQ(at - kT, written[i]) << i;
        EXPECT_GE(at, previous + queue[i].crossingNs) << i;  // no overlap on the line
        previous = at;
    }
    // A write that went out late holds the next answer back by as much, so answers
    // never come faster than the line carries them.
    EXPECT_EQ(ReleaseTime(queue[3], kT + written[2] + 3 * kNsPerMs),
              kT + written[3] + 3 * kNsPerMs);

    // Unanswered requests still took their time on the way in.
    faults.silentCodes = {32};
    AnswerShaper silenced = WithFaults(faults);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(silenced.Shape(32, Hex(kType), kT).empty());
    const auto led = silenced.Shape(12, Hex(kLed), kT);
    ASSERT_EQ(led.size(), 1u);
    EXPECT_EQ(ReleaseTime(led[0], 0) - kT, 5 * kRequestNs);
}

TEST(SimWire, SplitAndMergedAnswersCrossAsTheBytesTheyCarry) {
    Faults faults;
    faults.wire = true;
    faults.split = true;
    AnswerShaper split = WithFaults(faults);
    const auto halves = split.Shape(12, Hex(kLed), kT);
    ASSERT_EQ(halves.size(), 2u);
    const int64_t halfNs = 694445;  // 4 bytes
    const int64_t first = ReleaseTime(halves[0], 0);
    EXPECT_EQ(first - kT, kRequestNs + halfNs);
    EXPECT_EQ(ReleaseTime(halves[1], first) - first, 80 * kNsPerMs + halfNs);

    faults.split = false;
    faults.merge = true;
    AnswerShaper merge = WithFaults(faults);
    EXPECT_TRUE(merge.Shape(12, Hex(kLed), kT).empty());
    // Held since its request crossed the line.
    EXPECT_EQ(merge.HoldDeadline(), kT + kRequestNs + 1000 * kNsPerMs);
    const int64_t later = kT + 100 * kNsPerMs;
    const auto glued = merge.Shape(32, Hex(kType), later);
    ASSERT_EQ(glued.size(), 1u);
    EXPECT_EQ(ReleaseTime(glued[0], 0) - later, kRequestNs + 2777778);  // 16 bytes
}

std::string Frames(const std::vector<RequestReader::Frame>& frames) {
    std::string out;
    for (const auto& f : frames) out += (out.empty() ? "" : " | ") + ToHex(f.data(), 8);
    return out;
}

TEST(SimRequestReader, AssemblesFramesFromAnyPieces) {
    RequestReader reader;
    const auto bytes = Hex("F1 F1 07 00 00 00 00 07 F2 F2 0C 05 00 00 00 11");
    std::string found;
    for (uint8_t b : bytes) {
        const auto frames = reader.Feed(&b, 1);
        if (!frames.empty()) found += Frames(frames) + ";";
    }
    EXPECT_EQ(found, "F1 F1 07 00 00 00 00 07;F2 F2 0C 05 00 00 00 11;");
    EXPECT_EQ(reader.Pending(), 0u);
    EXPECT_EQ(reader.Skipped(), 0u);
}

TEST(SimRequestReader, FallsBackIntoStepAfterGarbage) {
    RequestReader reader;
    // Noise, a lone header byte, an answer-like pair and a torn write before a read.
    auto bytes = Hex("00 13 F1 F3 F3 F2 F2 0C F1 F1 07 00 00 00 00 07");
    EXPECT_EQ(Frames(reader.Feed(bytes.data(), bytes.size())), "F1 F1 07 00 00 00 00 07");
    EXPECT_EQ(reader.Skipped(), 8u);
    // A tripled header byte: the first candidate fails its checksum, the next one fits.
    bytes = Hex("F1 F1 F1 1A 00 00 00 00 1A");
    EXPECT_EQ(Frames(reader.Feed(bytes.data(), bytes.size())), "F1 F1 1A 00 00 00 00 1A");
    // A corrupted request is not passed on.
    bytes = Hex("F2 F2 0C 05 00 00 00 12");
    EXPECT_EQ(Frames(reader.Feed(bytes.data(), bytes.size())), "");
    bytes = Hex("F2 F2 0C 05 00 00 00 11");
    EXPECT_EQ(Frames(reader.Feed(bytes.data(), bytes.size())), "F2 F2 0C 05 00 00 00 11");
}

}  // namespace
