// The sampling clock in the main window: one pass each time the event loop has emptied
// its queue and is about to wait (the idle hook), a single-shot timer for the moment the
// next request falls due (so a 10 ms period is kept even when nothing else wakes the
// loop), and the 50 ms readout tick. A port lost under the program pauses the run.
#include <algorithm>

#include "ChartTab.h"
#include "DeviceTab.h"
#include "IndicatorTab.h"
#include "LocaleDateTimeTexts.h"
#include "Main.h"
#include "MqttPublisher.h"
#include "RegistrationTab.h"

namespace kt::ui {

void TForm1::BuildSampling() {
    IndicatorTab& indicator = IndicatorPage();
    sampling_ = std::make_unique<measurement::SamplingClock>(
        State(), core_->Sender(), *dialogs_, indicator, hundredths_, format_.decimalSeparator);
    indicators_ = std::make_unique<measurement::IndicatorModel>(State(), format_.decimalSeparator);
    indicator.Attach(State(), core_->Sender(), *indicators_, *sampling_, [this] { ShowWizard(); });
    DevicePage().AttachIndicator(&indicator);
    ChartTab& chart = ChartPage();
    chart.Attach(chart_, *sampling_, *indicators_, outputLines_);
    connect(&indicator, &IndicatorTab::samplesPerSecondShown, &chart,
            [&chart](const QString& text) { chart.SetSampleRateText(text.toStdString()); });
    // Each sample goes to the displays, the chart's channel points, the registration
    // table, the chart's output points and the MQTT publisher, in this order.
    dateTime_ = std::make_unique<regional::LocaleDateTimeTexts>();
    registration_ = std::make_unique<measurement::RegistrationTable>(*dateTime_);
    RegistrationTab& registration = RegistrationPage();
    registration.Attach(*registration_, *indicators_, *sampling_, *dialogs_, State(), *dateTime_);
    sampling_->Subscribe(indicator);
    sampling_->Subscribe(chart.ChannelPoints());
    sampling_->Subscribe(registration);
    sampling_->Subscribe(chart.OutputPoints());
    sampling_->Subscribe(mqttRelay_);
    core_->Decode().SetMeasurementListener(sampling_.get());
    core_->SetPortLostHandler([this] { sampling_->HaltByLostPort(); });
    core_->Reconnector().SetPausedRun(sampling_.get());

    dueTimer_ = new QTimer(this);
    dueTimer_->setObjectName(QStringLiteral("SamplingDueTimer"));
    dueTimer_->setSingleShot(true);
    dueTimer_->setTimerType(Qt::PreciseTimer);
    // The timer only wakes the loop; the pass itself runs in the idle hook that follows.
    connect(dueTimer_, &QTimer::timeout, this, [] {});
}

void TForm1::OnIdle() {
    if (!sampling_) return;
    sampling_->OnIdle();
    ArmDueTimer();
}

void TForm1::ArmDueTimer() {
    const std::optional<int64_t> due = sampling_->MillisecondsUntilDue();
    if (!due) {
        dueTimer_->stop();
        return;
    }
    // A pass in the same hundredth measures no time: wake at least a millisecond later.
    dueTimer_->start(static_cast<int>(std::clamp<int64_t>(*due, 1, 1 << 30)));
}

void TForm1::Timer1Timer() {
    const bool refreshed = sampling_->RefreshReadouts();
    // The chart repaints what came since the last tick even when the readouts skip it.
    ChartPage().OnReadoutTick(refreshed);
    if (refreshed) IndicatorPage().DrawDials();
    // Published only when it changes.
    if (mqtt_) {
        mqtt_->SetStatus(measurement::MqttStatusText(State().deviceReady, sampling_->Phase()));
    }
}

}  // namespace kt::ui
