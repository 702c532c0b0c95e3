// Publishing to an MQTT broker from the main window: the command "Publikuj do MQTT..." in
// the "Program" menu and its dialog, the settings kept in "mqtt.ini" beside "config.ini"
// (read as a regular file of a sane size, written through the program's one writer,
// readable by the owner alone since it may hold a password), and the publisher in force,
// which gets every sample through one relay and the run's status on every readout tick.
// The password never reaches the log.
#include <QAction>
#include <QMenu>

#include "Main.h"
#include "MqttForm.h"
#include "MqttPublisher.h"
#include "ReadRegularFile.h"
#include "ui_Main.h"

namespace kt::ui {

std::string TForm1::MqttSettingsPath() const {
    return startupDirectory_ + "/" + measurement::kMqttFileName;
}

void TForm1::MqttRelay::OnSample(const measurement::Sample& sample) {
    if (publisher != nullptr) publisher->OnSample(sample);
}

// Placed after the reconnection command, before the separator above "zakończ".
void TForm1::BuildMqtt() {
    MqttAction = new QAction(QString::fromUtf8("Publikuj do MQTT..."), this);
    MqttAction->setObjectName(QStringLiteral("MqttAction"));
    const QList<QAction*> items = ui_->Program1->actions();
    ui_->Program1->insertAction(items.value(items.indexOf(ReconnectAction) + 1, ui_->zakocz1),
                                MqttAction);
    connect(MqttAction, &QAction::triggered, this, &TForm1::MqttActionClick);

    const std::string path = MqttSettingsPath();
    const measurement::RegularFileRead file =
        measurement::ReadRegularFile(path, measurement::kMaxMqttFileBytes);
    if (file.status == measurement::RegularFileRead::Status::Missing) return;
    if (!file.ok()) {
        core_->Warnings().Warning(path + ": cannot be read (" + file.reason + "); publishing off");
        return;
    }
    const std::optional<measurement::MqttSettings> stored =
        measurement::ParseMqttSettings(file.bytes);
    if (!stored) {
        core_->Warnings().Warning(path + ": not understood; publishing off");
        return;
    }
    mqttSettings_ = *stored;
    // Settings that cannot be used are shown in the dialog for mending, switched off.
    if (const std::string problem = measurement::MqttSettingsProblem(mqttSettings_);
        !problem.empty()) {
        core_->Warnings().Warning(path + ": " + problem + "; publishing off");
        mqttSettings_.enabled = false;
    }
    RestartMqtt();
}

void TForm1::MqttActionClick() {
    if (mqttForm_ == nullptr) mqttForm_ = new MqttForm(*this, *dialogs_, this);
    mqttForm_->show();
    mqttForm_->raise();
    mqttForm_->activateWindow();
}

void TForm1::ApplyMqttSettings(const measurement::MqttSettings& settings) {
    const std::string path = MqttSettingsPath();
    const measurement::FileWriteResult result = measurement::WriteMqttSettings(path, settings);
    if (!result.ok()) {
        core_->Warnings().Error(path + ": not written: " + result.reason);
        dialogs_->ShowPlainMessage(measurement::SaveFailureText(path, result.reason));
    }
    if (settings == mqttSettings_ && (mqtt_ != nullptr) == settings.enabled) return;
    mqttSettings_ = settings;
    RestartMqtt();
}

std::optional<MqttLink::Progress> TForm1::MqttProgress() const {
    if (!mqtt_) return std::nullopt;
    return Progress{mqtt_->Counters(), mqtt_->Problem()};
}

void TForm1::RestartMqtt() {
    // The old connection says "offline" and closes in the background: sampling goes on.
    if (mqtt_) mqtt_->Retire();
    StopMqtt();
    if (!mqttSettings_.enabled) return;
    mqtt_ = std::make_unique<measurement::MqttPublisher>(mqttSettings_, core_->Warnings());
    mqtt_->SetStatus(measurement::MqttStatusText(State().deviceReady, sampling_->Phase()));
    mqttRelay_.publisher = mqtt_.get();
}

void TForm1::StopMqtt() {
    mqttRelay_.publisher = nullptr;
    mqtt_.reset();
}

}  // namespace kt::ui
