// The publisher against a real mosquitto broker on a loopback port of its own and a real
// subscriber: a broker that goes away and comes back. (The window's trial runs every
// sample and the status end to end; kt210v-cli's tests a broker that is not there.)
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "Fakes.h"
#include "MqttBroker.h"
#include "MqttPublisher.h"
#include "TestSupport.h"

using namespace kt::measurement;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

// Sample n of a run: sensors and cycle counts come and go, so nulls go through too.
Sample MakeSample(uint64_t n) {
    Sample s;
    s.elapsed = static_cast<double>(n) / 100.0;
    for (int i = 0; i < 3; ++i) {
        s.sensorPresent[i] = (n + static_cast<uint64_t>(i)) % 5 != 0;
        s.angle[i] = static_cast<float>(n) * 0.37f - static_cast<float>(i) * 11.1f;
        s.cycles[i] = static_cast<float>(n * 3 + static_cast<uint64_t>(i));
    }
    s.cyclesInFrame = n % 3 == 0;
    s.outputOn[0] = n % 2 == 0;
    return s;
}

std::vector<std::string> Payloads(const std::vector<kt::test::MqttMessage>& messages) {
    std::vector<std::string> payloads;
    for (const auto& m : messages) payloads.push_back(m.payload);
    return payloads;
}

class MqttPublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(broker.Start(error)) << error;
        settings.enabled = true;
        settings.host = "127.0.0.1";
        settings.port = broker.Port();
        settings.prefix = "plant/kt";
    }
    void WaitWhileConnected(const MqttPublisher& publisher) {
        const double since = kt::test::NowMs();
        while (publisher.Counters().connected && kt::test::NowMs() - since < 10000) {
            std::this_thread::sleep_for(milliseconds(5));
        }
    }
    kt::test::MqttBroker broker;
    MqttSettings settings;
    kt::test::FakeWarnings log;
};

// The broker goes away: sampling is not held up, at most kMaxUnsent samples wait (the
// oldest are dropped and counted), and those that waited arrive in order once it is back.
TEST_F(MqttPublisherTest, KeepsTheNewestSamplesWhileTheBrokerIsAway) {
    kt::test::MqttCollector collector(broker.Port(), "plant/kt/sample");
    ASSERT_TRUE(collector.Subscribed(seconds(10)));
    MqttPublisher publisher(settings, log);
    publisher.SetStatus("praca");
    std::vector<std::string> expected;
    for (uint64_t n = 0; n < 100; ++n) {
        publisher.OnSample(MakeSample(n));
        expected.push_back(MqttSampleJson(MakeSample(n)));
    }
    // Sent is not yet delivered: the broker is stopped once the subscriber has them.
    ASSERT_TRUE(collector.WaitFor([](const auto& m) { return m.size() == 100; }, seconds(20)));
    broker.Stop();
    WaitWhileConnected(publisher);
    ASSERT_FALSE(publisher.Counters().connected);

    constexpr uint64_t kGap = MqttPublisher::kMaxUnsent + 2000;
    const double before = kt::test::NowMs();
    for (uint64_t n = 100; n < 100 + kGap; ++n) publisher.OnSample(MakeSample(n));
    // A copy into the ring each: far below a millisecond for all of them on any machine
    // that runs this suite; a call that waited for the network would take seconds.
    EXPECT_LT(kt::test::NowMs() - before, 1000);
    for (uint64_t n = 2100; n < 100 + kGap; ++n) expected.push_back(MqttSampleJson(MakeSample(n)));
    while (publisher.Counters().waiting > MqttPublisher::kMaxUnsent) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    EXPECT_EQ(publisher.Counters().dropped, 2000u);
    EXPECT_FALSE(publisher.Problem().empty());

    std::string error;
    ASSERT_TRUE(broker.Start(error)) << error;
    ASSERT_TRUE(publisher.Drain(seconds(30)));
    collector.WaitFor([&](const auto& m) { return m.size() >= expected.size(); }, seconds(30));
    EXPECT_TRUE(Payloads(collector.Messages()) == expected) << collector.Messages().size();
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("connection lost"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("connected again"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("2000 samples dropped"), std::string::npos) << lines[2];
}

}  // namespace
