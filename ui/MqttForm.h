// "Publikuj do MQTT": where the live samples are published (broker, port, topic prefix,
// user name and password, TLS with a CA file, on or off) and how publishing goes (the
// connection, the last problem, the samples sent, dropped and waiting). The dialog keeps
// no settings of its own: it shows the ones in force each time it opens and hands the
// fields over on OK, unless MqttSettingsProblem refuses them.
#pragma once

#include <QDialog>
#include <QTimer>
#include <optional>
#include <string>

#include "MqttPublisher.h"
#include "MqttSettings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QToolButton;

namespace kt::device {
class Dialogs;
}

namespace kt::ui {

// What the dialog needs of the window that publishes.
class MqttLink {
public:
    struct Progress {
        measurement::MqttCounters counters;
        std::string problem;  // why the connection failed; empty while connected
    };

    virtual ~MqttLink() = default;
    virtual measurement::MqttSettings MqttSettingsInForce() const = 0;
    // Puts settings MqttSettingsProblem accepts in force and keeps them.
    virtual void ApplyMqttSettings(const measurement::MqttSettings& settings) = 0;
    // How publishing goes; nothing while it is off.
    virtual std::optional<Progress> MqttProgress() const = 0;
};

class MqttForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 500;

    MqttForm(MqttLink& link, device::Dialogs& dialogs, QWidget* parent = nullptr);

    measurement::MqttSettings FieldSettings() const;
    void LoadFields(const measurement::MqttSettings& settings);
    // The connection and the counts as the status line shows them.
    QString StatusText() const;

public slots:
    // Hands the fields to the window and closes, or says why they cannot be used and stays.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildFields();
    void ChooseCaFile();
    void FollowTls();

    MqttLink& link_;
    device::Dialogs& dialogs_;
    QLineEdit* host_ = nullptr;
    QSpinBox* port_ = nullptr;
    QLineEdit* prefix_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QCheckBox* tls_ = nullptr;
    QLineEdit* caFile_ = nullptr;
    QToolButton* caFileButton_ = nullptr;
    QCheckBox* enabled_ = nullptr;
    QLabel* status_ = nullptr;
    // Refreshes the status line, only while the dialog is shown.
    QTimer refresh_;
};

}  // namespace kt::ui
