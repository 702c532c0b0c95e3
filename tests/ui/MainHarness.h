// The program's seven windows constructed in a temporary start-up directory, with the
// simulated indicator served on a pty that is linked there as "COM1", fake message
// boxes and a comma as the decimal separator.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Asystenlaczenia.h"
#include "Com_debugger.h"
#include "DeviceTab.h"
#include "EntryFields.h"
#include "Fakes.h"
#include "Main.h"
#include "PtyServer.h"
#include "SettingsFile.h"

namespace kt::test {

// What reached the simulated indicator, one hex line per request frame.
class RequestLog {
public:
    void Add(const std::string& line) {
        if (line.rfind("<< ", 0) != 0) return;
        std::lock_guard lock(mutex_);
        lines_.push_back(line.substr(3));
    }
    size_t Size() const {
        std::lock_guard lock(mutex_);
        return lines_.size();
    }
    std::vector<std::string> Since(size_t mark) const {
        std::lock_guard lock(mutex_);
        return {lines_.begin() + static_cast<std::ptrdiff_t>(std::min(mark, lines_.size())),
                lines_.end()};
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

class MainHarness {
public:
    static constexpr int kConnectTimeoutMs = 30000;

    // `seed` drives the simulator's random faults.
    explicit MainHarness(const sim::ModelConfig& model = {}, const sim::Faults& faults = {},
                         uint64_t seed = 1)
        : sim_(model, faults, seed) {
        previousDir_ = QDir::currentPath();
        const QString grafika = dir_.filePath(QStringLiteral("Grafika"));
        QDir().mkpath(grafika);
        for (int i = 0; i < 5; ++i) {
            const QString name = QStringLiteral("MODE_%1.jpg").arg(i);
            QFile::copy(QStringLiteral(KT_ASSETS_DIR "/Grafika/") + name,
                        grafika + QLatin1Char('/') + name);
        }
        // A settings file with the initial values, so no missing-file box comes up.
        QFile settings(dir_.filePath(QStringLiteral("config.ini")));
        if (settings.open(QIODevice::WriteOnly)) {
            const std::string bytes = measurement::FormatSettings(measurement::AppSettings{});
            settings.write(bytes.data(), static_cast<qint64>(bytes.size()));
        }
        sim_.SetTrafficLog([this](const std::string& line) { requests.Add(line); });
        started_ = sim_.Start(Path("COM1"));
    }

    ~MainHarness() {
        ui::DestroyForms();
        sim_.Stop();
        QDir::setCurrent(previousDir_);
    }

    bool Started() const { return started_; }
    std::string Path(const char* name) const { return dir_.filePath(name).toStdString(); }
    QString Dir() const { return dir_.path(); }

    // Constructs the windows with the start-up directory current, as the program does.
    // Without `autoConnect` the one-second connection timer is stopped before it can fire.
    // Warnings go to `log`, or to standard error.
    void CreateWindows(bool autoConnect = true, device::Log* log = nullptr) {
        QDir::setCurrent(dir_.path());
        ui::CreateForms({&dialogs, device::NumberFormat{','}, log});
        if (!autoConnect) ui::Form1->Timer3->stop();
        QDir::setCurrent(previousDir_);
        ui::Form1->show();
    }

    ui::TForm1& Form() { return *ui::Form1; }
    device::DeviceState& State() { return ui::Form1->State(); }
    device::ConnectionWizard& Wizard() { return ui::Form1->Wizard(); }
    ui::TAsystentForm& WizardWindow() { return *ui::AsystentForm; }
    sim::PtyServer& Sim() { return sim_; }

    template <typename T>
    T* Find(const char* name) {
        return ui::Form1->findChild<T*>(QString::fromLatin1(name));
    }
    template <typename T>
    T* FindInWizard(const char* name) {
        return ui::AsystentForm->findChild<T*>(QString::fromLatin1(name));
    }

    bool WaitReady(int timeoutMs = kConnectTimeoutMs) {
        return QTest::qWaitFor([this] { return State().deviceReady; }, timeoutMs);
    }

    // Every frame sent so far has been answered and its answer decoded (the simulator
    // answers every request with one block; the opened event is counted as well).
    bool WaitAnswered(uint64_t framesSent, int timeoutMs = 10000) {
        return QTest::qWaitFor(
            [&] { return ui::Form1->Core().EventsHandled() >= framesSent + openedEvents_; },
            timeoutMs);
    }

    // One tick of the wizard's step machine with the wizard's own timer held back, after
    // which the answer of whatever the tick sent has been decoded: a device that answers
    // every command within one tick.
    bool PromptTick() {
        Wizard().Tick();
        return WaitAnswered(ui::Form1->Core().FramesHanded());
    }

    void ExpectOpenedEvent() { ++openedEvents_; }

    FakeDialogs dialogs;
    RequestLog requests;

private:
    QTemporaryDir dir_;
    QString previousDir_;
    sim::PtyServer sim_;
    bool started_ = false;
    uint64_t openedEvents_ = 0;
};

// Runs the real event loop (which waits for events, so the idle hook and with it the
// sampling clock run) until `done` holds or the time is up. QTest::qWait only polls and
// never lets the loop wait.
inline bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs = 15000) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start(100);  // slower than the sampling period, so it does not pace the passes
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done()) loop.exec();
    return done();
}

inline void RunLoop(int ms) {
    RunLoopUntil([] { return false; }, ms);
}

// Request lines sent to the device after `mark` that are writes (header F2).
inline std::vector<std::string> Writes(const std::vector<std::string>& lines) {
    std::vector<std::string> writes;
    for (const std::string& line : lines) {
        if (line.rfind("F2 F2", 0) == 0) writes.push_back(line);
    }
    return writes;
}

}  // namespace kt::test
