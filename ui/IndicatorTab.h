// The indicator tab "Wskaźniki         " (`TabSheet1`): per channel the "Aktywny" box,
// the large display, the bar gauge, the dial, the cycle display and the correction
// controls; the output panels; "Odczyt" (START, STOP, PAUSE) and "Próbkowanie" (period,
// real-time box, readouts). It paints what the indicator model and the sampling clock
// hold; the buttons change `Set` or send the channel commands.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "DeviceState.h"
#include "Frames.h"
#include "IndicatorModel.h"
#include "Numbers.h"
#include "Sample.h"
#include "SamplingClock.h"
#include "SamplingView.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kt::ui {

class Dial;
class Gauge;
class TMnoznikForm;
class TWartoscForm;

class IndicatorTab : public QWidget,
                     public measurement::SamplingView,
                     public measurement::SampleSubscriber {
    Q_OBJECT

public:
    static constexpr int kPeriodStep = 10;

    explicit IndicatorTab(QWidget* parent = nullptr);

    // What the tab shows and drives; set once before use. `showWizard` opens the
    // connection wizard (START without a device).
    void Attach(device::DeviceState& state, device::FrameSender& sender,
                measurement::IndicatorModel& model, measurement::SamplingClock& sampling,
                std::function<void()> showWizard);
    void AttachDialogs(TWartoscForm* wartosc, TMnoznikForm* mnoznik);

    // From the device core: presence captions, the "Aktywny" boxes (set like a click),
    // the confirmed correction values.
    void SetSensorCaption(int sensor, const std::string& caption);
    void SetSensorActive(int sensor, bool active);
    void SetZeroLabel(int sensor, const std::string& text);
    void SetOffsetLabel(int sensor, const std::string& text);
    void SetMultiplierLabel(int sensor, const std::string& text);

    // The 50 ms tick, when the sampling clock did not skip it: the dials of the active
    // channels are redrawn.
    void DrawDials();

    // measurement::SampleSubscriber: the displays, gauges, cycle displays and output
    // panels follow the sample (through the indicator model).
    void OnSample(const measurement::Sample& sample) override;

    // measurement::SamplingView
    void SetElapsedText(const std::string& text) override;
    void SetSamplesPerSecondText(const std::string& text) override;
    void SetRealTimePeriodText(const std::string& text) override;
    void ShowConnectionWizard() override;
    void SetSettingsLocked(bool locked) override;

    // Settings: the period field and the real-time box, set like the operator would.
    void SetPeriodMs(int64_t periodMs);
    void SetRealTimeChecked(bool checked);

signals:
    // The samples-per-second text, which the chart tab's `Label52` repeats.
    void samplesPerSecondShown(const QString& text);

public slots:
    void CheckBoxActiveClick(int channel, bool checked);  // CheckBox1..CheckBox3
    void ZeroDialogClick(int channel);                    // SpeedButton1, 4, 7
    void OffsetDialogClick(int channel);                  // SpeedButton2, 5, 8
    void MultiplierDialogClick(int channel);              // SpeedButton3, 6, 9
    void ResetClick(int channel);                         // SpeedButton18, 24, 25
    void ZeroClick(int channel);                          // SpeedButton21, 22, 23
    void ResetCyclesClick(int channel);                   // SpeedButton26, 27, 28
    void SpeedButton10Click();                            // START
    void SpeedButton11Click();                            // STOP
    void SpeedButton12Click();                            // PAUSE
    void CheckBox18Click(bool checked);

private:
    struct Channel {
        QGroupBox* group = nullptr;
        QCheckBox* active = nullptr;
        QLineEdit* display = nullptr;
        Gauge* gauge = nullptr;
        Dial* dial = nullptr;
        QLineEdit* cycles = nullptr;
        QLabel* zero = nullptr;
        QLabel* offset = nullptr;
        QLabel* multiplier = nullptr;
    };

    void BuildChannel(int channel);
    void BuildOutputs();
    void BuildReading();
    void BuildSampling();
    void ShowChannel(int channel);
    void ShowOutputs();
    // The channel commands sent directly reach only an open port: a block offered with
    // no port open would wait for the next connection and act on it unasked.
    bool PortOpen() const { return state_ != nullptr && state_->portOpen; }

    std::array<Channel, 3> channels_;
    QLabel* outputPanels_[2] = {nullptr, nullptr};
    QGroupBox* samplingGroup_ = nullptr;
    QSpinBox* period_ = nullptr;
    QCheckBox* realTime_ = nullptr;
    QLabel* elapsed_ = nullptr;
    QLabel* samplesPerSecond_ = nullptr;
    QLabel* realTimePeriod_ = nullptr;
    QLabel* realTimeUnit_ = nullptr;

    device::DeviceState* state_ = nullptr;
    device::FrameSender* sender_ = nullptr;
    measurement::IndicatorModel* model_ = nullptr;
    measurement::SamplingClock* sampling_ = nullptr;
    std::function<void()> showWizard_;
    TWartoscForm* wartosc_ = nullptr;
    TMnoznikForm* mnoznik_ = nullptr;
};

}  // namespace kt::ui
