#include "MqttForm.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include "Dialogs.h"
#include "QtDialogs.h"

namespace kt::ui {

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

std::string Text(const QLineEdit* field) {
    return field->text().toStdString();
}

}  // namespace

MqttForm::MqttForm(MqttLink& link, device::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), link_(link), dialogs_(dialogs) {
    setObjectName(QStringLiteral("MqttForm"));
    setWindowTitle(QStringLiteral("Publikuj do MQTT"));
    MakeToolWindow(this);
    BuildFields();
    refresh_.setInterval(kRefreshMs);
    connect(&refresh_, &QTimer::timeout, this, [this] { status_->setText(StatusText()); });
}

void MqttForm::BuildFields() {
    host_ = Named(new QLineEdit(this), "BrokerHostEdit");
    port_ = Named(new QSpinBox(this), "BrokerPortEdit");
    port_->setRange(1, 65535);
    port_->setValue(measurement::kMqttDefaultPort);
    prefix_ = Named(new QLineEdit(this), "TopicPrefixEdit");
    prefix_->setPlaceholderText(Text(measurement::DefaultMqttTopicPrefix()));
    user_ = Named(new QLineEdit(this), "UserNameEdit");
    user_->setPlaceholderText(QStringLiteral("bez logowania"));
    password_ = Named(new QLineEdit(this), "PasswordEdit");
    password_->setEchoMode(QLineEdit::Password);
    tls_ = Named(new QCheckBox(QStringLiteral("szyfrowanie TLS"), this), "TlsCheckBox");
    caFile_ = Named(new QLineEdit(this), "CaFileEdit");
    caFile_->setPlaceholderText(QStringLiteral("certyfikaty systemu"));
    caFileButton_ = Named(new QToolButton(this), "CaFileButton");
    caFileButton_->setText(QStringLiteral("..."));
    enabled_ = Named(new QCheckBox(QStringLiteral("włącz"), this), "MqttEnabledCheckBox");
    status_ = Named(new QLabel(this), "MqttStatusLabel");
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    status_->setMinimumHeight(2 * fontMetrics().height() + 4);

    auto* caRow = new QHBoxLayout;
    caRow->addWidget(caFile_);
    caRow->addWidget(caFileButton_);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Adres brokera:"), host_);
    form->addRow(QStringLiteral("Port:"), port_);
    form->addRow(QStringLiteral("Prefiks tematów:"), prefix_);
    form->addRow(QStringLiteral("Użytkownik:"), user_);
    form->addRow(QStringLiteral("Hasło:"), password_);
    form->addRow(QString(), tls_);
    form->addRow(QStringLiteral("Plik CA:"), caRow);
    form->addRow(QString(), enabled_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    column->addWidget(status_);
    column->addWidget(buttons);
    setMinimumWidth(380);

    connect(buttons, &QDialogButtonBox::accepted, this, &MqttForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MqttForm::reject);
    connect(tls_, &QCheckBox::toggled, this, &MqttForm::FollowTls);
    connect(caFileButton_, &QToolButton::clicked, this, &MqttForm::ChooseCaFile);
    FollowTls();
}

measurement::MqttSettings MqttForm::FieldSettings() const {
    measurement::MqttSettings settings;
    settings.enabled = enabled_->isChecked();
    settings.host = host_->text().trimmed().toStdString();
    settings.port = port_->value();
    settings.prefix = Text(prefix_);
    settings.user = Text(user_);
    settings.password = Text(password_);
    settings.tls = tls_->isChecked();
    settings.caFile = Text(caFile_);
    return settings;
}

void MqttForm::LoadFields(const measurement::MqttSettings& settings) {
    enabled_->setChecked(settings.enabled);
    host_->setText(Text(settings.host));
    port_->setValue(settings.port);
    prefix_->setText(Text(settings.prefix));
    user_->setText(Text(settings.user));
    password_->setText(Text(settings.password));
    tls_->setChecked(settings.tls);
    caFile_->setText(Text(settings.caFile));
    FollowTls();
}

QString MqttForm::StatusText() const {
    const std::optional<MqttLink::Progress> progress = link_.MqttProgress();
    if (!progress) return QStringLiteral("Publikowanie wyłączone.");
    const measurement::MqttCounters& counts = progress->counters;
    const QString where = Text(link_.MqttSettingsInForce().Where());
    QString text = counts.connected ? QStringLiteral("Połączono z %1.").arg(where)
                                    : QStringLiteral("Brak połączenia z %1").arg(where);
    if (!counts.connected) {
        text += progress->problem.empty() ? QStringLiteral(".") : ": " + Text(progress->problem);
    }
    return text + QStringLiteral("\nwysłane: %1, odrzucone: %2, oczekujące: %3")
                      .arg(counts.sent)
                      .arg(counts.dropped)
                      .arg(counts.waiting);
}

void MqttForm::accept() {
    const measurement::MqttSettings settings = FieldSettings();
    const std::string problem = measurement::MqttSettingsProblem(settings);
    if (!problem.empty()) {
        dialogs_.ShowPlainMessageWithDetails("Tych ustawień MQTT nie można użyć.", problem);
        return;
    }
    link_.ApplyMqttSettings(settings);
    status_->setText(StatusText());
    QDialog::accept();
}

void MqttForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    LoadFields(link_.MqttSettingsInForce());
    status_->setText(StatusText());
    refresh_.start();
}

void MqttForm::hideEvent(QHideEvent* event) {
    refresh_.stop();
    QDialog::hideEvent(event);
}

void MqttForm::ChooseCaFile() {
    const std::string path = dialogs_.AskOpenFileName(
        "Plik CA", "Certyfikaty (*.pem *.crt *.cer);;Wszystkie pliki (*)", "");
    if (!path.empty()) caFile_->setText(Text(path));
}

void MqttForm::FollowTls() {
    caFile_->setEnabled(tls_->isChecked());
    caFileButton_->setEnabled(tls_->isChecked());
}

}  // namespace kt::ui
