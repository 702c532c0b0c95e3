// Feeds a million seeded random blocks through the decoder. Each block lives in a heap
// buffer of exactly its length, so the address sanitizer reports any read past the count.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "Decoder.h"
#include "Fakes.h"
#include "Frames.h"
#include "SilentViews.h"

using namespace kt::device;

namespace {

// Silent controls, except that the value dialog edits a zero position, so that path of
// the decoder runs as well.
class NullView : public SilentDeviceView {
public:
    std::string ValueDialogCaption() const override { return "Poz. zero ="; }
};

bool IsGoodAnswer(const uint8_t* b, int n) {
    return n == 8 && b[0] == kHeaderAnswer && b[1] == kHeaderAnswer && FrameChecksum(b) == b[7];
}

TEST(DecoderRandomBlocks, NeverReadsPastTheCountAndOnlyGoodAnswersChangeStan) {
    DeviceState state;
    NullView view;
    kt::test::FakeDialogs dialogs;
    kt::test::FakeLog log;
    Decoder decoder(state, view, dialogs, &log, NumberFormat{','}, "/x");
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<int> length(0, 64), byte(0, 255), kind(0, 9);
    int goodAnswers = 0, measurements = 0;
    for (int i = 0; i < 1000000; ++i) {
        const int n = length(rng) % 4 == 0 ? 8 : length(rng);
        auto block = std::make_unique<uint8_t[]>(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k) block[k] = static_cast<uint8_t>(byte(rng));
        const int k = kind(rng);
        if (n >= 2 && k < 4) block[0] = block[1] = kHeaderAnswer;
        if (n >= 2 && k >= 4 && k < 7) block[0] = block[1] = kHeaderMeasurement;
        if (n == 8 && k < 2) {  // make the checksum right and the code mostly valid
            block[2] = static_cast<uint8_t>(byte(rng) % 40);
            block[7] = FrameChecksum(block.get());
        }
        log.frameLines.clear();
        DeviceParams before = state.Stan;
        decoder.ProcessBlock(block.get(), n);
        const bool changed = std::memcmp(&before, &state.Stan, sizeof before) != 0;
        if (changed) {
            ASSERT_TRUE(IsGoodAnswer(block.get(), n)) << "block " << i;
        }
        goodAnswers += IsGoodAnswer(block.get(), n);
        measurements += n >= 3 && block[0] == kHeaderMeasurement && block[1] == kHeaderMeasurement;
    }
    // The generator really exercises both paths.
    EXPECT_GT(goodAnswers, 10000);
    EXPECT_GT(measurements, 10000);
}

}  // namespace
