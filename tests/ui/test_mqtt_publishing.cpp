// Publishing from the window to a real broker: every sample reaches a subscriber in order
// with the values its table row was made from, also across a 3 s broker gap, and the
// retained status follows the run, the dialog and a SIGKILL.
#include <sys/stat.h>

#include <QDialogButtonBox>
#include <QtTest>

#include "JournalTrials.h"
#include "MqttBroker.h"
#include "ReadRegularFile.h"

namespace {

using namespace kt;
using Messages = std::vector<test::MqttMessage>;
const std::string kPrefix = "kt-test/line 3";

measurement::MqttSettings Enabled(int port) {
    return {true, "127.0.0.1", port, kPrefix, "operator", "tajne hasło", false, ""};
}

std::vector<std::string> Payloads(const Messages& messages, const char* leaf) {
    std::vector<std::string> payloads;
    for (const test::MqttMessage& m : messages) {
        if (m.topic == measurement::MqttTopic(kPrefix, leaf)) payloads.push_back(m.payload);
    }
    return payloads;
}

// Empty when the sample messages from `first` on are the samples from `from` on, in order,
// with their time, angles and outputs, but for samples of an elapsed time in
// [lostFrom, lostTo], which may be missing; waits up to 20 s for them.
std::string Arrived(const test::MqttCollector& collector, size_t first,
                    const std::vector<measurement::Sample>& samples, size_t from,
                    double lostFrom = 1, double lostTo = 0) {
    const auto compare = [&](const Messages& messages) -> std::string {
        const std::vector<std::string> got = Payloads(messages, "sample");
        size_t j = first;
        for (size_t i = from; i < samples.size(); ++i) {
            const measurement::Sample& s = samples[i];
            const auto p = j < got.size() ? test::ParsePublishedSample(got[j]) : std::nullopt;
            bool same =
                p && p->t == s.elapsed && p->pk1 == s.outputOn[0] && p->pk2 == s.outputOn[1];
            for (int k = 0; k < 3 && same; ++k) {
                same =
                    p->angle[k] == (s.sensorPresent[k] ? std::optional(s.angle[k]) : std::nullopt);
            }
            j += same;
            if (!same && (s.elapsed < lostFrom || s.elapsed > lostTo)) {
                return "sample " + std::to_string(i) + " missing";
            }
        }
        return j == got.size() ? "" : "messages of no sample from " + got[j];
    };
    collector.WaitFor([&](const Messages& m) { return compare(m).empty(); },
                      std::chrono::seconds(20));
    return compare(collector.Messages());
}

// The retained status once it is other than `unlike` (up to 15 s).
std::string Retained(int port, const std::string& unlike) {
    std::optional<std::string> status;
    for (int i = 0; i < 30 && status.value_or(unlike) == unlike; ++i) {
        status = test::RetainedMqttMessage(port, measurement::MqttTopic(kPrefix, "status"),
                                           std::chrono::milliseconds(500));
    }
    return status.value_or("(none)");
}

}  // namespace

class MqttPublishingTest : public QObject {
    Q_OBJECT

private slots:
    void everySampleArrivesInOrderAcrossABrokerGap();
    void dialogAndSigkillLeaveOffline();
};

void MqttPublishingTest::everySampleArrivesInOrderAcrossABrokerGap() {
    test::MqttBroker broker;
    std::string error;
    QVERIFY2(broker.Start(error), error.c_str());
    test::MqttCollector collector(broker.Port(), kPrefix + "/#");
    QVERIFY(collector.Subscribed(std::chrono::seconds(10)));
    test::MainHarness h;
    QVERIFY(measurement::WriteMqttSettings(h.Path("mqtt.ini"), Enabled(broker.Port())).ok());
    test::FakeWarnings log;
    h.CreateWindows(false, &log);
    test::FaultTrials trials(h, 1);
    QCOMPARE(trials.Connect(), std::string());
    h.Find<QSpinBox>("CSpinEdit2")->setValue(10);
    const std::vector<measurement::Sample>& samples = trials.Recorder().samples;
    trials.StartRecordedRun(false);
    test::RunLoop(5000);
    for (const char* button : {"SpeedButton12", "SpeedButton10"}) {  // PAUSE, START
        h.Find<QAbstractButton>(button)->click();
        test::RunLoop(300);
    }
    trials.Stop();
    QVERIFY(samples.size() > 200);
    QCOMPARE(h.Form().Registration().rowsRegistered(), static_cast<int>(samples.size()));
    QCOMPARE(Arrived(collector, 0, samples, 0), std::string());
    QVERIFY(collector.WaitFor(
        [](const Messages& m) {
            const std::vector<std::string> seen = Payloads(m, "status"),
                                           run = {"praca", "pauza", "praca", "stop"};
            return std::search(seen.begin(), seen.end(), run.begin(), run.end()) != seen.end();
        },
        std::chrono::seconds(10)));

    const size_t first = Payloads(collector.Messages(), "sample").size(), from = samples.size();
    trials.StartRecordedRun(false);
    test::RunLoop(1000);
    const double stoppedAt = h.Form().Sampling().RunElapsed();
    const int rows = h.Form().Registration().rowsRegistered();
    QElapsedTimer stopping;  // no sample is made while this thread waits for the broker
    stopping.start();
    broker.Stop();
    const double lostTo = stoppedAt + static_cast<double>(stopping.elapsed()) / 1000 + 0.5;
    test::RunLoop(3000);
    QVERIFY(h.Form().Registration().rowsRegistered() > rows + 100);
    QVERIFY2(broker.Start(error), error.c_str());
    test::RunLoop(1000);
    trials.Stop();
    QCOMPARE(Arrived(collector, first, samples, from, stoppedAt - 0.25, lostTo), std::string());
    for (const std::string& line : log.Lines()) QVERIFY(line.find("tajne") == std::string::npos);
}

// The dialog refuses what cannot be used; the rest switches publishing off ("offline")
// and is stored for its owner alone. A program killed with SIGKILL leaves "offline" too.
void MqttPublishingTest::dialogAndSigkillLeaveOffline() {
    test::MqttBroker broker;
    std::string error;
    QVERIFY2(broker.Start(error), error.c_str());
    test::MainHarness h;
    QVERIFY(measurement::WriteMqttSettings(h.Path("mqtt.ini"), Enabled(broker.Port())).ok());
    h.CreateWindows(false);
    QCOMPARE(Retained(broker.Port(), "offline"), std::string("nie wykryto"));
    h.Form().MqttAction->trigger();
    auto* form = h.Find<ui::MqttForm>("MqttForm");
    QVERIFY(form->StatusText().startsWith("Połączono z 127.0.0.1:"));
    QPushButton* ok = form->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    for (const char* prefix : {"plant/#", "plant/+/3", "#"}) {
        form->LoadFields({true, "127.0.0.1", 1, prefix, "", "", false, ""});
        ok->click();
        QVERIFY(form->isVisible() && h.dialogs.messages.size() == 1);
        h.dialogs.messages.clear();
    }
    measurement::MqttSettings wanted = Enabled(broker.Port());
    wanted.enabled = false;
    form->LoadFields(wanted);
    ok->click();
    QVERIFY(!form->isVisible() && h.dialogs.messages.empty() && !h.Form().Publisher());
    QCOMPARE(Retained(broker.Port(), "nie wykryto"), std::string("offline"));
    struct stat st {};
    QCOMPARE(::stat(h.Path("mqtt.ini").c_str(), &st), 0);
    QCOMPARE(st.st_mode & 0777u, 0600u);
    QVERIFY(measurement::ParseMqttSettings(
                measurement::ReadRegularFile(h.Path("mqtt.ini"), measurement::kMaxMqttFileBytes)
                    .bytes) == wanted);

    QTemporaryDir dir;  // the program's start-up directory
    const std::string start = dir.path().toStdString();
    QVERIFY(measurement::WriteMqttSettings(start + "/mqtt.ini", Enabled(broker.Port())).ok());
    QVERIFY(measurement::WriteFileAtomically(start + "/config.ini", measurement::FormatSettings({}))
                .ok());
    const QString was = QDir::currentPath();
    QDir::setCurrent(dir.path());
    test::ChildProcess program({KT_PROGRAM});  // offscreen, as this test
    QDir::setCurrent(was);
    QCOMPARE(Retained(broker.Port(), "offline"), std::string("nie wykryto"));
    program.Kill();
    QCOMPARE(Retained(broker.Port(), "nie wykryto"), std::string("offline"));
}

QTEST_MAIN(MqttPublishingTest)
#include "test_mqtt_publishing.moc"
