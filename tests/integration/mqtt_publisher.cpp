// The publisher against a real mosquitto broker on a loopback port of its own and a real
// subscriber: order and content of the messages, the retained status and the last will,
// and a broker that goes away and comes back.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "Fakes.h"
#include "MqttBroker.h"
#include "MqttPublisher.h"
#include "TestSupport.h"

using namespace kt::measurement;
using kt::test::MqttBroker;
using kt::test::MqttCollector;
using kt::test::MqttMessage;
using std::chrono::milliseconds;
using std::chrono::seconds;

namespace {

constexpr const char* kPrefix = "plant/kt";

// Sample n of a run: sensors and cycle counts come and go, so nulls are exercised.
Sample MakeSample(uint64_t n) {
    Sample s;
    s.number = n;
    s.elapsed = static_cast<double>(n) / 100.0;
    for (int i = 0; i < 3; ++i) {
        s.sensorPresent[i] = (n + static_cast<uint64_t>(i)) % 5 != 0;
        s.angle[i] = static_cast<float>(n) * 0.37f - static_cast<float>(i) * 11.1f;
        s.cycles[i] = static_cast<float>(n * 3 + static_cast<uint64_t>(i));
    }
    s.cyclesInFrame = n % 3 == 0;
    s.outputOn[0] = n % 2 == 0;
    s.outputOn[1] = n % 7 == 0;
    return s;
}

MqttSettings Settings(int port) {
    MqttSettings s;
    s.enabled = true;
    s.host = "127.0.0.1";
    s.port = port;
    s.prefix = kPrefix;
    return s;
}

// The sample messages' numbers (t * 100), after checking each one's content.
std::vector<uint64_t> SampleNumbers(const std::vector<MqttMessage>& messages) {
    std::vector<uint64_t> numbers;
    for (const MqttMessage& m : messages) {
        if (m.topic != std::string(kPrefix) + "/sample") continue;
        const auto parsed = kt::test::ParsePublishedSample(m.payload);
        if (!parsed) {
            ADD_FAILURE() << "not a sample: " << m.payload;
            continue;
        }
        const auto n = static_cast<uint64_t>(std::llround(parsed->t * 100));
        const Sample sent = MakeSample(n);
        EXPECT_EQ(parsed->t, sent.elapsed) << m.payload;
        for (int i = 0; i < 3; ++i) {
            const auto present = [](bool p, float v) {
                return p ? std::optional(v) : std::nullopt;
            };
            EXPECT_EQ(parsed->angle[i], present(sent.sensorPresent[i], sent.angle[i])) << m.payload;
            EXPECT_EQ(parsed->cycles[i], present(sent.cyclesInFrame, sent.cycles[i])) << m.payload;
        }
        EXPECT_EQ(parsed->pk1, sent.outputOn[0] ? 1 : 0);
        EXPECT_EQ(parsed->pk2, sent.outputOn[1] ? 1 : 0);
        numbers.push_back(n);
    }
    return numbers;
}

std::vector<std::string> Statuses(const std::vector<MqttMessage>& messages) {
    std::vector<std::string> texts;
    for (const MqttMessage& m : messages) {
        if (m.topic == std::string(kPrefix) + "/status") texts.push_back(m.payload);
    }
    return texts;
}

size_t CountSamples(const std::vector<MqttMessage>& messages) {
    size_t n = 0;
    for (const MqttMessage& m : messages) n += m.topic.ends_with("/sample") ? 1 : 0;
    return n;
}

class MqttPublisherTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(broker.Start(error)) << error;
    }
    MqttBroker broker;
    kt::test::FakeWarnings log;
};

// Every sample arrives once, in order, as it was given; the status follows the run and is
// "offline" when the publisher ends.
TEST_F(MqttPublisherTest, DeliversEverySampleInOrderAndTheStatus) {
    MqttCollector collector(broker.Port(), std::string(kPrefix) + "/#");
    ASSERT_TRUE(collector.Subscribed(seconds(10)));
    constexpr uint64_t kSamples = 3000;
    {
        MqttPublisher publisher(Settings(broker.Port()), log);
        for (uint64_t n = 0; n < kSamples; ++n) {
            // A status is published as it is when the thread comes round: the test gives
            // each one time to go out.
            if (n == 0 || n == 2000) {
                publisher.SetStatus(n == 0 ? "praca" : "pauza");
                std::this_thread::sleep_for(milliseconds(100));
            }
            publisher.OnSample(MakeSample(n));
            if (n % 100 == 0) std::this_thread::sleep_for(milliseconds(5));
        }
        ASSERT_TRUE(publisher.Drain(seconds(20)));
        const MqttCounters counters = publisher.Counters();
        EXPECT_EQ(counters.sent, kSamples);
        EXPECT_EQ(counters.dropped, 0u);
        EXPECT_TRUE(counters.connected);
    }
    ASSERT_TRUE(collector.WaitFor(
        [](const auto& m) {
            return CountSamples(m) == kSamples && Statuses(m).back() == "offline";
        },
        seconds(20)));
    const std::vector<uint64_t> numbers = SampleNumbers(collector.Messages());
    ASSERT_EQ(numbers.size(), kSamples);
    for (uint64_t n = 0; n < kSamples; ++n) ASSERT_EQ(numbers[n], n);
    // Statuses go with QoS 1 and may overtake samples, but never each other.
    const std::vector<std::string> statuses = Statuses(collector.Messages());
    const std::vector<std::string> expected{"praca", "pauza", "offline"};
    EXPECT_EQ(statuses, expected);
    EXPECT_EQ(
        kt::test::RetainedMqttMessage(broker.Port(), std::string(kPrefix) + "/status", seconds(10)),
        "offline");
    EXPECT_TRUE(log.Lines().empty());
}

// The broker goes away: sampling is not held up, at most kMaxUnsent samples wait (the
// oldest are dropped and counted), and those that waited arrive once it is back.
TEST_F(MqttPublisherTest, KeepsTheNewestSamplesWhileTheBrokerIsAway) {
    MqttCollector collector(broker.Port(), std::string(kPrefix) + "/sample");
    ASSERT_TRUE(collector.Subscribed(seconds(10)));
    MqttPublisher publisher(Settings(broker.Port()), log);
    publisher.SetStatus("praca");
    for (uint64_t n = 0; n < 100; ++n) publisher.OnSample(MakeSample(n));
    // Sent is not yet delivered: the broker is stopped once the subscriber has them.
    ASSERT_TRUE(
        collector.WaitFor([](const auto& m) { return CountSamples(m) == 100; }, seconds(20)));

    broker.Stop();
    const double stopped = kt::test::NowMs();
    while (publisher.Counters().connected && kt::test::NowMs() - stopped < 10000) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    ASSERT_FALSE(publisher.Counters().connected);
    constexpr uint64_t kGap = MqttPublisher::kMaxUnsent + 2000;
    const double before = kt::test::NowMs();
    for (uint64_t n = 100; n < 100 + kGap; ++n) publisher.OnSample(MakeSample(n));
    // A copy into the ring each: far below a millisecond for all of them on any machine
    // that runs this suite; a call that waited for the network would take seconds.
    EXPECT_LT(kt::test::NowMs() - before, 1000);
    while (publisher.Counters().waiting > MqttPublisher::kMaxUnsent) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    EXPECT_EQ(publisher.Counters().dropped, 2000u);
    EXPECT_FALSE(publisher.Problem().empty());

    std::string error;
    ASSERT_TRUE(broker.Start(error)) << error;
    ASSERT_TRUE(publisher.Drain(seconds(30)));
    ASSERT_TRUE(collector.WaitFor(
        [](const auto& m) { return CountSamples(m) == 100 + MqttPublisher::kMaxUnsent; },
        seconds(30)))
        << CountSamples(collector.Messages());
    const std::vector<uint64_t> numbers = SampleNumbers(collector.Messages());
    for (uint64_t i = 0; i < numbers.size(); ++i) {
        ASSERT_EQ(numbers[i], i < 100 ? i : i + 2000) << i;
    }
    const std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("connection lost"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("connected again"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("2000 samples dropped"), std::string::npos) << lines[2];
}

// Nobody listens: the samples wait, the reason is told once, and the end does not wait
// for a broker that is not there.
TEST_F(MqttPublisherTest, ABrokerThatIsNotThereCostsALogLine) {
    const int port = broker.Port();
    broker.Stop();
    const double before = kt::test::NowMs();
    {
        MqttPublisher publisher(Settings(port), log);
        publisher.SetStatus("praca");
        for (uint64_t n = 0; n < 50; ++n) publisher.OnSample(MakeSample(n));
        std::this_thread::sleep_for(milliseconds(2500));
        EXPECT_FALSE(publisher.Counters().connected);
        EXPECT_EQ(publisher.Counters().waiting, 50u);
        EXPECT_NE(publisher.Problem().find("refused"), std::string::npos) << publisher.Problem();
    }
    EXPECT_LT(kt::test::NowMs() - before, 2500 + 2000);
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_NE(log.Lines()[0].find("cannot connect (Connection refused)"), std::string::npos)
        << log.Lines()[0];
}

}  // namespace
