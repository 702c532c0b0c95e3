// The main window `TForm1`: owner of the device state, the serial channel and the device
// core (decoder, synchronisation tick, connection wizard), host of the tabs, the main
// menu and the timers; and the start-up and shutdown of the program's seven windows.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ChannelNotifications.h"
#include "ConnectionWizard.h"
#include "Decoder.h"
#include "DeviceState.h"
#include "DeviceView.h"
#include "Dialogs.h"
#include "Frames.h"
#include "Numbers.h"
#include "SerialPort.h"
#include "SyncCycle.h"
#include "Tserial_event.h"

class QAction;
class QActionGroup;
class QKeyEvent;
class QLineEdit;

namespace Ui {
class TForm1;
}

namespace kt::ui {

class QtDialogs;
class QtUiQueue;
class TAsystentForm;
class TCOM_DBG_Form;
class TKonigLiniiForm;
class TMnoznikForm;
class TO_programieForm;
class TWartoscForm;

// The channel as the wizard, the port menu and the frame sender use it, with an optional
// observer of every block handed to it (tests pace the wizard by what has left).
class ChannelPort : public device::SerialPort {
public:
    using SendObserver = std::function<void(const uint8_t* data, int length)>;

    explicit ChannelPort(device::Tserial_event& channel) : channel_(channel) {}

    void Send(const uint8_t* data, int length) override;
    void SetReadSize(int size) override { channel_.SetReadSize(size); }
    int OpenPort(const char* name, int baudRate, int parity, int dataBits,
                 bool watchModemLines) override {
        return channel_.OpenPort(name, baudRate, parity, dataBits, watchModemLines);
    }
    void ClosePort() override { channel_.ClosePort(); }

    void SetSendObserver(SendObserver observer) { observer_ = std::move(observer); }

private:
    device::Tserial_event& channel_;
    SendObserver observer_;
};

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
};

class TForm1 : public QMainWindow, public device::DeviceView {
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

    device::DeviceState& State() { return state_; }
    device::Tserial_event& Channel() { return *channel_; }
    ChannelPort& Port() { return *port_; }
    device::ConnectionWizard& Wizard() { return *wizard_; }
    device::SyncCycle& Sync() { return *sync_; }
    const std::string& StartupDirectory() const { return startupDirectory_; }
    device::NumberFormat Format() const { return format_; }
    // Channel events decoded so far (opened, closed and data).
    uint64_t EventsProcessed() const { return eventsProcessed_; }
    int FormCloseCount() const { return formCloseCount_; }

    QTimer* Timer1 = nullptr;  // 50 ms: readouts, dials and chart page tracking
    QTimer* Timer2 = nullptr;  // 250 ms: synchronisation tick
    QTimer* Timer3 = nullptr;  // once, 1000 ms after start: automatic connection

    // device::DeviceView
    void SetModeSelection(int index) override;
    void LoadModePicture(const std::string& path) override;
    void SetModePictureVisible(bool visible) override;
    void SetSensorCaption(int sensor, const std::string& caption) override;
    void SetSensorActive(int sensor, bool active) override;
    void SetSensorCountText(const std::string& text) override;
    void SetZeroLabel(int sensor, const std::string& text) override;
    void SetOffsetLabel(int sensor, const std::string& text) override;
    void SetMultiplierLabel(int sensor, const std::string& text) override;
    std::string ValueDialogCaption() const override;
    void SetValueDialogText(const std::string& text) override;
    void SetMultiplierDialogText(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    void SetTypeText(const std::string& text) override;
    void SetVersionText(const std::string& text) override;
    void SetActiveSensorSelection(int index) override;
    void SetOnTimeText(const std::string& text) override;
    void SetPK1Text(const std::string& text) override;
    void SetPK2Text(const std::string& text) override;
    void SetLedText(const std::string& text) override;
    void SetDecpText(const std::string& text) override;
    void SetBeepChecked(bool checked) override;
    void PaintDevicePanelConfirmed() override;

    // Texts of the indicator tab's sensor controls, kept until that tab shows them.
    const std::string& SensorCaption(int sensor) const { return sensorCaption_[sensor]; }
    bool SensorActive(int sensor) const { return sensorActive_[sensor]; }
    const std::string& ZeroLabel(int sensor) const { return zeroLabel_[sensor]; }
    const std::string& OffsetLabel(int sensor) const { return offsetLabel_[sensor]; }
    const std::string& MultiplierLabel(int sensor) const { return multiplierLabel_[sensor]; }
    // The mode picture as loaded (null until the first one).
    const QImage& ModeImage() const { return modeImage_; }

    // Entry colours of the settings panel.
    static QColor TypingColour();
    static QColor TakenColour() { return QColor(166, 202, 240); }
    static QColor ConfirmedColour() { return QColor(Qt::white); }

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
    // Settings panel.
    void ComboBox1Click(int index);
    void ComboBox2Click(int index);
    void UpDown1Click();
    void UpDown3Click();
    void UpDown4Click();
    void CheckBox15Click(bool checked);
    void BitBtn3Click();
    // Timers and the idle hook.
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void OnIdle();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildWindow();
    void BuildMenu();
    void BuildDevicePanel();
    void BuildTimers();
    void FormShow();
    void FormClose();
    void ComPortClick(QAction* item);
    void ShowWizard();

    // Settings panel key handling; true when the key is swallowed.
    bool Edit4KeyPress(const QKeyEvent& key);
    bool Edit5KeyPress(const QKeyEvent& key);
    bool Edit9KeyPress(const QKeyEvent& key);
    bool Edit6KeyPress(const QKeyEvent& key);
    bool Edit7KeyPress(const QKeyEvent& key);
    bool IntegerKeyPress(QLineEdit* edit, const QKeyEvent& key,
                         const std::function<void(int32_t)>& store);
    bool ThresholdKeyPress(QLineEdit* edit, const QKeyEvent& key, float& field, bool round);
    void TakeInteger(QLineEdit* edit, const std::function<void(int32_t)>& store);
    void ShowModePicture();
    void ShowDevicePicture();

    std::unique_ptr<Ui::TForm1> ui_;
    std::unique_ptr<QtDialogs> ownDialogs_;
    device::Dialogs* dialogs_;
    device::NumberFormat format_;
    std::string startupDirectory_;

    device::DeviceState state_;
    std::unique_ptr<QtUiQueue> queue_;
    std::unique_ptr<device::ChannelNotifications> notifications_;
    std::unique_ptr<device::Tserial_event> channel_;
    std::unique_ptr<ChannelPort> port_;
    std::unique_ptr<device::FrameSender> sender_;
    std::unique_ptr<device::SyncCycle> sync_;
    std::unique_ptr<device::ConnectionWizard> wizard_;
    std::unique_ptr<device::Decoder> decoder_;
    uint64_t eventsProcessed_ = 0;

    SecondaryForms forms_;
    QActionGroup* portGroup_ = nullptr;
    QImage modeImage_;
    int formCloseCount_ = 0;

    std::array<std::string, 3> sensorCaption_;
    std::array<bool, 3> sensorActive_{};
    std::array<std::string, 3> zeroLabel_;
    std::array<std::string, 3> offsetLabel_;
    std::array<std::string, 3> multiplierLabel_;
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
