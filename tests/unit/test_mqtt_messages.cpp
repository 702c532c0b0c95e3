#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <cmath>
#include <limits>

#include "MqttMessages.h"
#include "MqttSettings.h"
#include "TempFolder.h"

using namespace kt::measurement;

namespace {

Sample ThreeSensors() {
    Sample s;
    s.elapsed = 4.05;
    for (int i = 0; i < 3; ++i) s.sensorPresent[i] = true;
    s.angle[0] = 12.5f;
    s.angle[1] = 0.1f;
    s.angle[2] = -359.99902f;
    s.cycles[0] = 7;
    s.cycles[1] = 16777216;
    s.outputOn[0] = true;
    return s;
}

// The object's text in every case that changes it; the shortest round-trip texts of
// floats (0.1f is "0.1", not "0.10000000149011612"), a comma locale that must not leak in.
TEST(MqttSampleJson, WritesEachFieldAsTheSampleHasIt) {
    const char* previous = std::setlocale(LC_NUMERIC, "pl_PL.UTF-8");
    struct Case {
        const char* name;
        void (*change)(Sample&);
        const char* json;
    } cases[] = {
        {"three sensors, no cycle counts", [](Sample&) {},
         R"({"t":4.05,"angle":[12.5,0.1,-359.99902],"cycles":[null,null,null],"pk1":1,"pk2":0})"},
        {"an absent sensor keeps its last value but is null",
         [](Sample& s) { s.sensorPresent[1] = false; },
         R"({"t":4.05,"angle":[12.5,null,-359.99902],"cycles":[null,null,null],"pk1":1,"pk2":0})"},
        {"cycle counts carried by the answer",
         [](Sample& s) { s.cyclesInFrame = s.cyclesCounted = true, s.outputOn[1] = true; },
         R"({"t":4.05,"angle":[12.5,0.1,-359.99902],"cycles":[7,16777216,0],"pk1":1,"pk2":1})"},
        {"values JSON cannot hold",
         [](Sample& s) {
             s.angle[0] = std::numeric_limits<float>::quiet_NaN();
             s.angle[2] = -std::numeric_limits<float>::infinity();
         },
         R"({"t":4.05,"angle":[null,0.1,null],"cycles":[null,null,null],"pk1":1,"pk2":0})"},
        {"a day's time", [](Sample& s) { s.elapsed = 8640000.0 / 100; },
         R"({"t":86400,"angle":[12.5,0.1,-359.99902],"cycles":[null,null,null],"pk1":1,"pk2":0})"},
    };
    for (const Case& c : cases) {
        Sample s = ThreeSensors();
        c.change(s);
        EXPECT_EQ(MqttSampleJson(s), c.json) << c.name;
    }
    if (previous != nullptr) std::setlocale(LC_NUMERIC, "C");
}

TEST(MqttTopics, PrefixAndAddress) {
    EXPECT_EQ(MqttTopic("kt210v/line-3", "sample"), "kt210v/line-3/sample");
    EXPECT_EQ(MqttTopic("kt210v/line-3/", "status"), "kt210v/line-3/status");
    EXPECT_EQ(DefaultMqttTopicPrefix().rfind("kt210v/", 0), 0u);
    EXPECT_EQ(MqttPrefixProblem(DefaultMqttTopicPrefix()), "");
    for (const char* bad : {"", "a/+/b", "plant/#", "a\xC3", "\xC0\xAF", "\xED\xA0\x80"}) {
        EXPECT_NE(MqttPrefixProblem(bad), "") << bad;
    }
    EXPECT_EQ(MqttPrefixProblem("zakład/łódź"), "");

    struct Case {
        const char* text;
        const char* host;  // null: refused
        int port;
    } cases[] = {
        {"broker", "broker", 1883},
        {"broker:8883", "broker", 8883},
        {"10.0.0.5:1", "10.0.0.5", 1},
        {"[::1]", "::1", 1883},
        {"[fe80::1]:1884", "fe80::1", 1884},
        {"broker:", nullptr, 0},
        {"broker:0", nullptr, 0},
        {"broker:65536", nullptr, 0},
        {"broker:x", nullptr, 0},
        {":1883", nullptr, 0},
        {"::1", nullptr, 0},
        {"[::1", nullptr, 0},
        {"[::1]x", nullptr, 0},
        {"[]:1883", nullptr, 0},
    };
    for (const Case& c : cases) {
        BrokerAddress address;
        std::string error;
        const bool ok = ParseBrokerAddress(c.text, address, error);
        EXPECT_EQ(ok, c.host != nullptr) << c.text << ": " << error;
        const std::string got = ok ? address.host + ":" + std::to_string(address.port) : error;
        const std::string want = c.host ? std::string(c.host) + ":" + std::to_string(c.port) : got;
        EXPECT_EQ(got, want) << c.text;
        EXPECT_TRUE(ok || error.find(c.text) != std::string::npos) << error;
    }
}

// The file round-trips every field, is readable by its owner alone whatever the umask or
// the mode an older file had, and a damaged line costs only its own field.
TEST(MqttSettingsFile, KeepsThePasswordToItsOwner) {
    kt::test::TempFolder folder;
    const std::string path = folder / kMqttFileName;
    MqttSettings s;
    s.enabled = true;
    s.host = "broker.example.org";
    s.port = 8883;
    s.prefix = "zakład/linia 3";
    s.user = "operator";
    s.password = "p=ss wörd";
    s.tls = true;
    s.caFile = "/etc/ssl/plant ca.pem";
    EXPECT_EQ(MqttSettingsProblem(s), "");
    kt::test::WriteBytes(path, "old\n");
    chmod(path.c_str(), 0644);
    const mode_t previous = umask(0);
    ASSERT_TRUE(WriteMqttSettings(path, s).ok());
    umask(previous);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ParseMqttSettings(kt::test::ReadBytes(path)), s);

    const auto damaged =
        ParseMqttSettings("Enabled=1\r\nPort=99999\r\nHost=h\r\nTls=yes\r\nX=1\r\n");
    ASSERT_TRUE(damaged);
    EXPECT_TRUE(damaged->enabled);
    EXPECT_EQ(damaged->host, "h");
    EXPECT_EQ(damaged->port, kMqttDefaultPort);
    EXPECT_FALSE(damaged->tls);
    EXPECT_FALSE(ParseMqttSettings("[MQTT]\nsomething else\n"));

    for (auto spoil :
         {+[](MqttSettings& m) { m.host.clear(); }, +[](MqttSettings& m) { m.port = 0; },
          +[](MqttSettings& m) { m.prefix = "a/#"; },
          +[](MqttSettings& m) { m.password = "x\nEnabled=0"; }}) {
        MqttSettings bad = s;
        spoil(bad);
        EXPECT_NE(MqttSettingsProblem(bad), "");
    }
}

}  // namespace
