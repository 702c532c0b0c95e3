// The main window `TForm1`: owner of the device core (device state, serial channel,
// decoder, synchronisation tick, connection wizard), host of the tabs, the main menu and
// the timers; and the start-up and shutdown of the program's seven windows.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "ChartStore.h"
#include "DeviceCore.h"
#include "Dialogs.h"
#include "HundredthsClock.h"
#include "IndicatorModel.h"
#include "Log.h"
#include "MqttForm.h"
#include "Numbers.h"
#include "OutputLineSource.h"
#include "RegistrationTable.h"
#include "SamplingClock.h"
#include "SettingsFile.h"

class QAction;
class QActionGroup;
class QSocketNotifier;

namespace kt::measurement {
class RunJournal;
struct JournalScan;
}  // namespace kt::measurement

namespace Ui {
class TForm1;
}

namespace kt::regional {
class LocaleDateTimeTexts;
}

namespace kt::ui {

class ChartExporter;
class ChartTab;
class DeviceTab;
class HelpActions;
class QtDesktopOpener;
class QtProcessStarter;
class RegistrationTab;
class IndicatorTab;
class QtDialogs;
class QtUiQueue;
class TAsystentForm;
class TCOM_DBG_Form;
class TKonigLiniiForm;
class TMnoznikForm;
class TO_programieForm;
class TWartoscForm;

// The windows created after the main window, which it talks to.
struct SecondaryForms {
    TMnoznikForm* mnoznik = nullptr;
    TWartoscForm* wartosc = nullptr;
    TO_programieForm* oProgramie = nullptr;
    TKonigLiniiForm* konigLinii = nullptr;
    TCOM_DBG_Form* comDbg = nullptr;
    TAsystentForm* asystent = nullptr;
};

// What a test (or the program) may choose when the main window is constructed.
struct MainWindowOptions {
    // Message boxes; null: the program's own Qt boxes.
    device::Dialogs* dialogs = nullptr;
    // Decimal separator; unset: the one of the system's locale.
    std::optional<device::NumberFormat> numberFormat;
    // Warnings and errors; null: standard error.
    device::Log* log = nullptr;
    // The sampling clock's time source; null: the steady clock. A driver that feeds
    // answers faster than real time steps its own.
    measurement::HundredthsClock* clock = nullptr;
};

class TForm1 : public QMainWindow, private MqttLink {
    Q_OBJECT

public:
    using Options = MainWindowOptions;

    static constexpr int kClientWidth = 947;
    static constexpr int kClientHeight = 638;

    explicit TForm1(const Options& options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Connects the main window with the windows created after it; DetachForms undoes it
    // before they are destroyed.
    void AttachForms(const SecondaryForms& forms);
    void DetachForms();
    const SecondaryForms& Forms() const { return forms_; }

    device::DeviceCore& Core() { return *core_; }
    device::DeviceState& State() { return core_->State(); }
    device::ConnectionWizard& Wizard() { return core_->Wizard(); }
    measurement::SamplingClock& Sampling() { return *sampling_; }
    measurement::IndicatorModel& Indicators() { return *indicators_; }
    IndicatorTab& IndicatorPage();
    ChartTab& ChartPage();
    measurement::ChartStore& Chart() { return chart_; }
    RegistrationTab& RegistrationPage();
    measurement::RegistrationTable& Registration() { return *registration_; }
    // "config.ini" in the start-up directory.
    std::string SettingsPath() const;
    // Closes the window as "zakończ" does, for SIGTERM and SIGINT: a settings file that
    // cannot be written is then reported on standard error, not in a box.
    void CloseBySignal();
    DeviceTab& DevicePage();
    const std::string& StartupDirectory() const { return startupDirectory_; }
    // "kt210v-pc.journal" in the start-up directory, and the journal kept there (none when
    // the file is another program's or could not be opened).
    std::string JournalPath() const;
    measurement::RunJournal* Journal() { return journal_.get(); }
    device::NumberFormat Format() const { return format_; }

    // "Program" > "Wznów pomiar po ponownym podłączeniu": a run paused by a lost port is
    // resumed when the port comes back (remembered in "reconnect.ini").
    QAction* ReconnectAction = nullptr;
    std::string ReconnectSettingPath() const;

    // "Program" > "Publikuj do MQTT...": every sample published to an MQTT broker while
    // it is switched on (remembered in "mqtt.ini"); the publisher in force, or null.
    QAction* MqttAction = nullptr;
    std::string MqttSettingsPath() const;
    const measurement::MqttPublisher* Publisher() const { return mqtt_.get(); }

    QTimer* Timer1 = nullptr;  // 50 ms: readouts, dials and chart page tracking
    QTimer* Timer2 = nullptr;  // 250 ms: synchronisation tick
    QTimer* Timer3 = nullptr;  // once, 1000 ms after start: automatic connection

public slots:
    // Menu "Program".
    void zakocz1Click();
    // Menu "komunikacja" and the device tab's connection button.
    void pocz1Click();
    void rozcz1Click();
    void auto1Click();
    void debugger1Click();
    void wizard1Click();
    void BitBtn13Click();
    void orpogramie1Click();
    // Timers and the idle hook.
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void OnIdle();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWindow();
    void BuildMenu();
    void BuildShortcuts();
    void BuildTimers();
    void FormShow();
    void FormClose();
    void ComPortClick(QAction* item);
    void ShowWizard();
    void BuildSampling();
    void ReadSettings();
    void BuildChartActions();
    void ApplySettings();
    measurement::AppSettings CollectSettings() const;
    void WriteSettings();
    void ArmDueTimer();
    // The run journal: a run found there put back or set aside, then the journal of this
    // run; given up by a close of the operator's, kept by any other end.
    void BuildJournal();
    bool RecoverRun(int fd, const measurement::JournalScan& scan);
    int SetJournalAside(int fd, const measurement::JournalScan& scan);
    void StartJournal(int fd, const measurement::JournalScan* continued);
    void FinishJournal();
    void BuildReconnection();
    void ReconnectActionClick(bool checked);
    void FollowPortWatch();
    QSocketNotifier* portWatchNotifier_ = nullptr;

    void BuildMqtt();
    void MqttActionClick();
    // Replaces the publisher by one for the settings in force (none while they are off);
    // the one replaced leaves "offline" as the status.
    void RestartMqtt();
    void StopMqtt();
    measurement::MqttSettings MqttSettingsInForce() const override { return mqttSettings_; }
    void ApplyMqttSettings(const measurement::MqttSettings& settings) override;
    std::optional<Progress> MqttProgress() const override;
    // The sampling clock's subscribers are fixed once sampling is built: this one stands
    // among them for whichever publisher is in force.
    class MqttRelay : public measurement::SampleSubscriber {
    public:
        void OnSample(const measurement::Sample& sample) override;
        measurement::MqttPublisher* publisher = nullptr;
    };
    MqttRelay mqttRelay_;
    measurement::MqttSettings mqttSettings_;
    MqttForm* mqttForm_ = nullptr;

    std::unique_ptr<Ui::TForm1> ui_;
    std::unique_ptr<QtDialogs> ownDialogs_;
    device::Dialogs* dialogs_;
    device::NumberFormat format_;
    std::string startupDirectory_;

    device::StderrLog stderrLog_;
    std::unique_ptr<QtUiQueue> queue_;
    std::unique_ptr<device::DeviceCore> core_;

    // The sampling clock, paced by the idle hook and by a single-shot timer armed for the
    // moment its next request falls due.
    measurement::SteadyHundredthsClock steadyClock_;
    measurement::HundredthsClock& hundredths_;
    std::unique_ptr<measurement::IndicatorModel> indicators_;
    measurement::ChartStore chart_;
    // The stored settings as read; the fields without a control of their own (the
    // chart's output lines) live here between the reading and the writing.
    measurement::AppSettings settings_;
    bool closingBySignal_ = false;
    // The chart reads the output lines from the output-line dialog's fields once that
    // dialog exists, and from the fields' start values before.
    class DialogOutputLines : public measurement::OutputLineSource {
    public:
        measurement::OutputLine Line(int output) const override {
            if (dialog != nullptr) return dialog->Line(output);
            return measurement::kOutputLinesAtStart[output == 1 ? 1 : 0];
        }
        const measurement::OutputLineSource* dialog = nullptr;
    };
    DialogOutputLines outputLines_;
    std::unique_ptr<ChartExporter> exporter_;
    std::unique_ptr<regional::LocaleDateTimeTexts> dateTime_;
    std::unique_ptr<measurement::RegistrationTable> registration_;

    // "pomoc programu", "instrukcja KT210V" and the firmware update.
    void BuildHelp();
    std::unique_ptr<QtDesktopOpener> desktop_;
    std::unique_ptr<QtProcessStarter> processes_;
    std::unique_ptr<HelpActions> help_;
    std::unique_ptr<measurement::SamplingClock> sampling_;
    QTimer* dueTimer_ = nullptr;
    // After the sampling clock, so it goes first (the destructor and FormClose end it
    // earlier still).
    std::unique_ptr<measurement::MqttPublisher> mqtt_;

    SecondaryForms forms_;
    QActionGroup* portGroup_ = nullptr;
    // Last, so it goes first: it listens to the table, the chart and the sampling clock.
    std::unique_ptr<measurement::RunJournal> journal_;
};

// The program's windows, created at start-up in this order and kept until it ends.
extern TForm1* Form1;
extern TMnoznikForm* MnoznikForm;
extern TWartoscForm* WartoscForm;
extern TO_programieForm* O_programieForm;
extern TKonigLiniiForm* KonigLiniiForm;
extern TCOM_DBG_Form* COM_DBG_Form;
extern TAsystentForm* AsystentForm;

// Creates the seven windows in start-up order, all hidden, and connects them.
void CreateForms(const TForm1::Options& options = {});
// Destroys them in reverse order of creation, the main window last.
void DestroyForms();

}  // namespace kt::ui
