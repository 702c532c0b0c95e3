// The simulator served in-process on a pseudo-terminal, talked to like a serial port.
// Timing bounds are wide: the machine may be busy compiling.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <thread>

#include "PtyServer.h"
#include "TestSupport.h"
#include "sim_client.h"

namespace {

using kt::sim::Faults;
using kt::sim::IndicatorModel;
using kt::sim::PtyServer;
using kt::test::NowMs;
using kt::test::SimClient;
using kt::test::TempDir;
using kt::test::ToHex;

const std::string kReadType = "F1 F1 20 00 00 00 00 20";
const std::string kTypeAnswer = "F3 F3 20 4B 54 56 00 15";
const std::string kWriteLed = "F2 F2 0C 05 00 00 00 11";
const std::string kLedAnswer = "F3 F3 0C 05 00 00 00 11";
const std::string kMeasure = "F1 F1 07 00 00 00 00 07";

std::string LinkTarget(const std::string& link) {
    char buf[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class SimPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        link = dir.File("COM1");
        ASSERT_TRUE(server.Start(link)) << server.LastError();
    }
    void SetFaults(const Faults& f) { server.SetFaults(f); }

    TempDir dir;
    std::string link;
    PtyServer server;
};

TEST_F(SimPty, LinkLeadsToTheServedSlave) {
    EXPECT_EQ(server.LinkPath(), link);
    EXPECT_EQ(LinkTarget(link), server.SlavePath());
    EXPECT_TRUE(server.Plugged());
    SimClient client(link);
    ASSERT_TRUE(client.IsOpen());
    EXPECT_EQ(ToHex(client.Ask(kWriteLed)), kLedAnswer);
    EXPECT_EQ(ToHex(client.Ask("F2 F2 04 64 00 00 00 68")), "F3 F3 04 64 00 00 00 68");
    EXPECT_EQ(ToHex(client.Ask("F2 F2 08 00 00 20 41 69")), "F3 F3 08 00 00 20 41 69");
    EXPECT_EQ(ToHex(client.Ask("F1 F1 13 00 00 00 00 13")), "F3 F3 13 00 00 80 3F D2");
    EXPECT_EQ(ToHex(client.Ask("F2 F2 1A 00 00 00 02 1C")), "F3 F3 1A 01 01 01 02 1F");
    EXPECT_EQ(ToHex(client.Ask(kReadType)), kTypeAnswer);
    EXPECT_EQ(ToHex(client.Ask("F2 F2 24 00 00 00 00 24")), "F3 F3 24 00 00 00 00 24");
    EXPECT_EQ(ToHex(client.Ask("F1 F1 1A 00 00 00 00 1A")), "F3 F3 1A 01 01 01 00 1D");
    EXPECT_GE(server.RequestsServed(), 8u);
}

TEST_F(SimPty, MeasurementFramesFollowTheSensorsPresent) {
    SimClient client(link);
    for (int mask : {7, 5, 2, 0}) {
        for (bool cycles : {false, true}) {
            server.WithModel([&](IndicatorModel& m) {
                m.SetSensorMask(static_cast<uint8_t>(mask));
                m.SetIncludeCycles(cycles);
            });
            const auto frame = client.Ask(kMeasure);
            const size_t n = static_cast<size_t>(__builtin_popcount(mask));
            ASSERT_EQ(frame.size(), 3 + 4 * n * (cycles ? 2 : 1)) << mask << " " << cycles;
            EXPECT_EQ(frame[0], 0xF4);
            EXPECT_EQ(frame[2] & 0x0F, mask | (cycles ? 8 : 0));
        }
    }
}

TEST_F(SimPty, KeepsServingWhenTheClientClosesAndOpensAgain) {
    for (int round = 0; round < 4; ++round) {
        SimClient client(link);
        ASSERT_TRUE(client.IsOpen()) << round;
        EXPECT_EQ(ToHex(client.Ask(kReadType)), kTypeAnswer) << round;
    }
    // An answer that finds nobody listening does not break the next client.
    const uint64_t served = server.RequestsServed();
    {
        SimClient client(link);
        client.Write(kt::test::Hex(kReadType));
    }
    for (int i = 0; i < 500 && server.RequestsServed() == served; ++i) SleepMs(10);
    SleepMs(100);
    SimClient client(link);
    client.ReadBlock(200);  // whatever was left over from before
    EXPECT_EQ(ToHex(client.Ask(kWriteLed)), kLedAnswer);
}

TEST_F(SimPty, FindsRequestsAfterGarbageAndAcrossWrites) {
    SimClient client(link);
    EXPECT_EQ(ToHex(client.Ask("00 F2 55 F1 " + kReadType)), kTypeAnswer);
    ASSERT_TRUE(client.Write(kt::test::Hex("F2 F2 0C")));
    SleepMs(30);
    EXPECT_EQ(ToHex(client.Ask("05 00 00 00 11")), kLedAnswer);
}

TEST_F(SimPty, SilenceAnswersNothingUntilSwitchedOff) {
    SimClient client(link);
    Faults f;
    f.silentCodes = {32};
    SetFaults(f);
    EXPECT_TRUE(client.Ask(kReadType, 400).empty());
    EXPECT_EQ(ToHex(client.Ask(kWriteLed)), kLedAnswer);
    f.silent = true;
    SetFaults(f);
    EXPECT_TRUE(client.Ask(kWriteLed, 400).empty());
    SetFaults(Faults{});
    EXPECT_EQ(ToHex(client.Ask(kReadType)), kTypeAnswer);
}

TEST_F(SimPty, DelayHoldsTheAnswerBack) {
    SimClient client(link);
    Faults f;
    f.delayMs = 300;
    SetFaults(f);
    const double start = NowMs();
    EXPECT_EQ(ToHex(client.Ask(kReadType, 8000)), kTypeAnswer);
    const double took = NowMs() - start;
    EXPECT_GE(took, 280);
    EXPECT_LT(took, 8000);
}

TEST_F(SimPty, DropAndBadChecksum) {
    SimClient client(link);
    Faults f;
    f.dropRate = 1.0;
    SetFaults(f);
    EXPECT_TRUE(client.Ask(kReadType, 400).empty());
    f.dropRate = 0.0;
    f.badCrcRate = 1.0;
    SetFaults(f);
    const auto answer = client.Ask(kReadType);
    ASSERT_EQ(answer.size(), 8u);
    EXPECT_EQ(ToHex(answer.data(), 7), "F3 F3 20 4B 54 56 00");
    EXPECT_NE(answer[7], 0x15);
}

TEST_F(SimPty, SplitAnswerArrivesAsTwoBlocksWithAPauseBetween) {
    SimClient client(link);
    Faults f;
    f.split = true;
    f.splitGapMs = 400;
    SetFaults(f);
    ASSERT_TRUE(client.Write(kt::test::Hex(kReadType)));
    const auto first = client.ReadBlock(3000, 50);
    const double firstAt = NowMs();
    const auto second = client.ReadBlock(5000, 50);
    const double gap = NowMs() - firstAt;
    EXPECT_EQ(ToHex(first), "F3 F3 20 4B");
    EXPECT_EQ(ToHex(second), "54 56 00 15");
    EXPECT_GT(gap, 200);
}

TEST_F(SimPty, MergedAnswersArriveInOneBlock) {
    SimClient client(link);
    Faults f;
    f.merge = true;
    f.mergeHoldMs = 20000;
    SetFaults(f);
    EXPECT_TRUE(client.Ask(kReadType, 300).empty());  // held back
    EXPECT_EQ(ToHex(client.Ask(kWriteLed)), kTypeAnswer + " " + kLedAnswer);
}

TEST_F(SimPty, GarbageAndForeignType) {
    SimClient client(link);
    Faults f;
    f.garbageBytes = 5;
    SetFaults(f);
    const auto answer = client.Ask(kWriteLed);
    ASSERT_EQ(answer.size(), 13u);
    EXPECT_EQ(ToHex(answer.data() + 5, 8), kLedAnswer);
    f.garbageBytes = 0;
    f.typeCode = "XYZ";
    SetFaults(f);
    EXPECT_EQ(ToHex(client.Ask(kReadType)), "F3 F3 20 58 59 5A 00 2B");
}

// Milliseconds `bytes` take on a 57600 bit/s line, 10 bits a byte.
double WireMs(size_t bytes) {
    return static_cast<double>(bytes) * 10.0 / 57.6;
}

struct TimedAnswer {
    std::vector<uint8_t> bytes;
    double atMs;  // since the request was written, when its last byte had been read
};

// Reads answers of the given lengths in order, timing each by its last byte.
std::vector<TimedAnswer> ReadAnswers(SimClient& client, const std::vector<size_t>& lengths,
                                     double startMs) {
    std::vector<uint8_t> stream;
    std::vector<TimedAnswer> answers;
    size_t offset = 0;
    while (answers.size() < lengths.size()) {
        const auto block = client.ReadBlock(3000, 0);
        const double at = NowMs() - startMs;
        if (block.empty()) break;
        stream.insert(stream.end(), block.begin(), block.end());
        while (answers.size() < lengths.size() &&
               stream.size() >= offset + lengths[answers.size()]) {
            const auto begin = stream.begin() + static_cast<std::ptrdiff_t>(offset);
            const size_t length = lengths[answers.size()];
            answers.push_back({{begin, begin + static_cast<std::ptrdiff_t>(length)}, at});
            offset += length;
        }
    }
    return answers;
}

// The server never writes early and the clock starts before the request is written,
// so the bounds hold exactly; 90 % leaves room for rounding, not for a slack server.
TEST_F(SimPty, WireAnswersNoEarlierThanRequestAndAnswerTakeOnTheLine) {
    server.WithModel([](IndicatorModel& m) { m.SetIncludeCycles(true); });
    struct Case {
        std::string request;
        size_t answerBytes;
        int delayMs;
    };
    // 8 + 8 bytes: 2.78 ms; 8 + 27: 6.08 ms; with 20 ms delay 26.08 ms, beyond what the
    // delay or the line gives alone.
    const std::vector<Case> cases = {{kReadType, 8, 0}, {kMeasure, 27, 0}, {kMeasure, 27, 20}};
    SimClient client(link);
    for (const auto& c : cases) {
        Faults f;
        f.wire = true;
        f.delayMs = c.delayMs;
        SetFaults(f);
        const double start = NowMs();
        ASSERT_TRUE(client.Write(kt::test::Hex(c.request)));
        const auto answers = ReadAnswers(client, {c.answerBytes}, start);
        ASSERT_EQ(answers.size(), 1u) << c.request;
        EXPECT_EQ(answers[0].bytes[2], kt::test::Hex(c.request)[2] == 7 ? 0x0F : 0x20);
        const double bound = WireMs(8) + c.delayMs + WireMs(c.answerBytes);
        EXPECT_GE(answers[0].atMs, 0.9 * bound) << c.request << " delay " << c.delayMs;
    }
}

TEST_F(SimPty, WireAnswersBackToBackRequestsInOrderOneAfterAnother) {
    server.WithModel([](IndicatorModel& m) { m.SetIncludeCycles(true); });
    Faults f;
    f.wire = true;
    SetFaults(f);
    SimClient client(link);
    const std::vector<std::string> requests = {kMeasure,  kReadType, kMeasure,
                                               kWriteLed, kMeasure,  kMeasure};
    const std::vector<size_t> lengths = {27, 8, 27, 8, 27, 27};
    std::string all;
    for (const auto& r : requests) all += r + " ";
    const double start = NowMs();
    ASSERT_TRUE(client.Write(kt::test::Hex(all)));
    const auto answers = ReadAnswers(client, lengths, start);
    ASSERT_EQ(answers.size(), lengths.size());
    EXPECT_EQ(ToHex(answers[1].bytes), kTypeAnswer);
    EXPECT_EQ(ToHex(answers[3].bytes), kLedAnswer);
    // Each answer starts crossing only after the one before it has arrived: the last of
    // six needs 22.9 ms; answers crossing side by side would be through in 13 ms.
    double bound = WireMs(8);
    for (size_t i = 0; i < answers.size(); ++i) {
        EXPECT_EQ(answers[i].bytes[0], lengths[i] == 27 ? 0xF4 : 0xF3) << i;
        bound += WireMs(lengths[i]);
        EXPECT_GE(answers[i].atMs, 0.9 * bound) << i;
    }
}

TEST_F(SimPty, UnplugClosesThePortAndReplugServesAgain) {
    {
        SimClient client(link);
        EXPECT_EQ(ToHex(client.Ask(kReadType)), kTypeAnswer);
        server.Unplug();
        EXPECT_FALSE(server.Plugged());
        EXPECT_TRUE(client.WaitHangup(3000));
    }
    EXPECT_FALSE(SimClient(link).IsOpen());
    ASSERT_TRUE(server.Replug()) << server.LastError();
    EXPECT_TRUE(server.Plugged());
    EXPECT_EQ(LinkTarget(link), server.SlavePath());
    SimClient client(link);
    ASSERT_TRUE(client.IsOpen());
    EXPECT_EQ(ToHex(client.Ask(kReadType)), kTypeAnswer);
}

TEST_F(SimPty, UnplugAfterATime) {
    SimClient client(link);
    EXPECT_EQ(ToHex(client.Ask(kReadType)), kTypeAnswer);
    const double start = NowMs();
    server.UnplugAfter(300);
    EXPECT_TRUE(client.WaitHangup(10000));
    EXPECT_GE(NowMs() - start, 250);
    EXPECT_FALSE(server.Plugged());
}

TEST_F(SimPty, StopRemovesTheLink) {
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    server.Stop();
    EXPECT_NE(lstat(link.c_str(), &st), 0);
    EXPECT_FALSE(server.Plugged());
}

TEST(SimPtyStart, RefusesToReplaceSomethingThatIsNotALink) {
    TempDir dir;
    const std::string path = dir.File("COM1");
    std::ofstream(path) << "keep me";
    PtyServer server;
    EXPECT_FALSE(server.Start(path));
    EXPECT_NE(server.LastError().find("not a symbolic link"), std::string::npos);
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "keep me");
    // Without a link it serves on the slave path alone; an old link is replaced.
    EXPECT_TRUE(server.Start());
    SimClient client(server.SlavePath());
    EXPECT_EQ(ToHex(client.Ask(kReadType)), kTypeAnswer);
    server.Stop();
    const std::string stale = dir.File("COM2");
    ASSERT_EQ(symlink("/nonexistent", stale.c_str()), 0);
    ASSERT_TRUE(server.Start(stale));
    EXPECT_EQ(LinkTarget(stale), server.SlavePath());
}

}  // namespace
