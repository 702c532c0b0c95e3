#include <gtest/gtest.h>

#include <random>

#include "FrameCut.h"
#include "TestSupport.h"

using kt::device::CutFrame;
using kt::device::FrameCut;
using kt::test::Hex;

namespace {

TEST(FrameCut, EndsReadsWhereTheDecoderTakesFrames) {
    using K = FrameCut::Kind;
    struct Case {
        const char* bytes;
        K kind;
        int length;
        int resumedAt = 0;  // where the bytes went on after a pause
        bool quiet = true;  // the line fell silent after the last byte
        int steady = -1;    // length bits of the last whole measurement
    };
    const Case cases[] = {
        {"", K::Incomplete, 0},
        {"F3", K::Incomplete, 0},
        {"F3 F3 0C 05 00 00", K::Incomplete, 0},
        {"F3 F3 0C 05 00 00 00 11", K::Frame, 8},
        {"F3 F3 0C 05 00 00 00 11 F3 F3", K::Frame, 8},
        {"F1 F1 1A 00 00 00 00 1A", K::Frame, 8},
        {"F2 F2 0C 07 00 00 00 13", K::Frame, 8},
        // Measurement frames: 3 + 4 x present sensors x (2 with cycles, else 1).
        {"F4 F4", K::Incomplete, 0},
        {"F4 F4 00", K::Frame, 3},
        {"F4 F4 30", K::Frame, 3},  // outputs only
        {"F4 F4 01 00 00 B4", K::Incomplete, 0},
        {"F4 F4 01 00 00 B4 42", K::Frame, 7},
        {"F4 F4 05 00 00 B4 42 00 00 20 41 F3 F3", K::Frame, 11},
        {"F4 F4 09 00 00 B4 42 00 00 80 3F", K::Frame, 11},
        {"F4 F4 0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00",
         K::Frame, 27},
        // Bytes that begin no frame: cut off before the next header pair.
        {"11 22 33 F3 F3 0C 05 00 00 00 11", K::Junk, 3},
        {"F3 F1 F1 0C", K::Junk, 1},
        {"11 F4 F4 00", K::Junk, 1},
        {"11 22 F3", K::Incomplete, 0},  // a lone header byte may still become a pair
        {"11 22 33", K::Incomplete, 0},
        {"F5 F5 00 00 00 00 00 00", K::Incomplete, 0},
        // After a pause: a header pair there tears the frame begun before it; without
        // one (an answer delivered in pieces) the frame stays whole.
        {"F4 F4 01 00 00 B4 F4 F4 01 00 00 20 42", K::Torn, 6, 6},
        {"F3 F3 0C 05 F3 F3 0C 05 00 00 00 11", K::Torn, 4, 4},
        {"F4 F4 F4 F4 01 00 00 20", K::Torn, 2, 2},
        {"F4 F4 01 00 F4", K::Incomplete, 0, 4},
        {"F4 F4 01 00 00 B4 42", K::Frame, 7, 4},
        {"F4 F4 01 00 00 B4 42 F4 F4", K::Frame, 7, 7},
        {"11 22 F3 F3 0C 05 00 00 00 11", K::Junk, 2, 2},
        // A measurement is whole once the line falls silent after it or a header pair
        // follows; other bytes at once mean its status byte was lost (here: 01).
        {"F4 F4 01 00 00 B4 42", K::Incomplete, 0, 0, false},
        {"F4 F4 01 00 00 B4 42 F4", K::Incomplete, 0, 0, false},
        {"F4 F4 01 00 00 B4 42 F4", K::Torn, 1},
        {"F4 F4 00 00 B4 42", K::Torn, 1, 0, false},
        {"F4 F4 01 00 00 B4 42 11", K::Frame, 7, 7},
        {"F3 F3 0C 05 00 00 00 11 22", K::Frame, 8, 0, false},  // a checksum guards it
        // Length bits as in the last whole measurement: taken at once when nothing
        // follows yet, but what follows at once still decides.
        {"F4 F4 31 00 00 B4 42", K::Frame, 7, 0, false, 1},
        {"F4 F4 01 00 00 B4 42 11 22", K::Torn, 1, 0, false, 1},
        {"F4 F4 00 00 B4 42", K::Torn, 1, 0, false, 1},
    };
    for (const Case& c : cases) {
        const auto bytes = Hex(c.bytes);
        const FrameCut cut = CutFrame(bytes.data(), static_cast<int>(bytes.size()),
                                      {c.resumedAt, c.quiet, c.steady});
        EXPECT_EQ(cut.kind, c.kind) << c.bytes;
        EXPECT_EQ(cut.length, c.length) << c.bytes;
    }
}

// Whatever the bytes, a cut never claims more than it was given, and never nothing.
TEST(FrameCut, CutsStayInsideTheBytesForRandomInput) {
    std::mt19937 rng(7);
    std::vector<uint8_t> bytes(64);
    for (int trial = 0; trial < 200000; ++trial) {
        const int count = static_cast<int>(rng() % bytes.size());
        for (int i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(0xF0 + rng() % 6);
        const FrameCut cut = CutFrame(bytes.data(), count);
        if (cut.kind == FrameCut::Kind::Incomplete) continue;
        ASSERT_GT(cut.length, 0);
        ASSERT_LE(cut.length, count);
    }
}

}  // namespace
