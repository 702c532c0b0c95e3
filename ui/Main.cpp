#include "Main.h"

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDir>
#include <QLocale>
#include <QPainter>

#include "Asystenlaczenia.h"
#include "Com_debugger.h"
#include "Konfigliniform.h"
#include "Mnoznikunit.h"
#include "O_programie_unit.h"
#include "QtDialogs.h"
#include "QtUiQueue.h"
#include "Wartoscunit.h"
#include "ui_Main.h"

namespace kt::ui {

TForm1* Form1 = nullptr;
TMnoznikForm* MnoznikForm = nullptr;
TWartoscForm* WartoscForm = nullptr;
TO_programieForm* O_programieForm = nullptr;
TKonigLiniiForm* KonigLiniiForm = nullptr;
TCOM_DBG_Form* COM_DBG_Form = nullptr;
TAsystentForm* AsystentForm = nullptr;

namespace {

// The decimal separator of the system's locale ("," under Polish settings).
device::NumberFormat SystemNumberFormat() {
    const QString point = QLocale::system().decimalPoint();
    device::NumberFormat format;
    format.decimalSeparator =
        (point.size() == 1 && point[0].unicode() < 0x80) ? point[0].toLatin1() : '.';
    return format;
}

// The small picture of "Połączenie...": two plug halves meeting.
QIcon ConnectIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(70, 120, 200));
    p.drawRect(QRectF(1.5, 5.5, 5, 5));
    p.setBrush(QColor(230, 170, 40));
    p.drawRect(QRectF(9.5, 5.5, 5, 5));
    p.drawLine(QPointF(6.5, 7), QPointF(9.5, 7));
    p.drawLine(QPointF(6.5, 9), QPointF(9.5, 9));
    p.drawLine(QPointF(0, 8), QPointF(1.5, 8));
    p.drawLine(QPointF(14.5, 8), QPointF(16, 8));
    return QIcon(pixmap);
}

}  // namespace

void ChannelPort::Send(const uint8_t* data, int length) {
    if (observer_) observer_(data, length);
    channel_.Send(data, length);
}

TForm1::TForm1(const Options& options, QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::TForm1>()),
      dialogs_(options.dialogs),
      format_(options.numberFormat.value_or(SystemNumberFormat())) {
    if (dialogs_ == nullptr) {
        ownDialogs_ = std::make_unique<QtDialogs>(this);
        dialogs_ = ownDialogs_.get();
    }
    // The window and its components.
    BuildWindow();

    // The serial channel, closed.
    channel_ = std::make_unique<device::Tserial_event>();
    port_ = std::make_unique<ChannelPort>(*channel_);

    // The idle hook: one pass each time the event loop has handled a batch of events and
    // is about to wait for more.
    connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock,
            this, &TForm1::OnIdle);

    // Everything the program finds by itself lies under the directory current now; port
    // names such as "COM1" are looked up there first.
    startupDirectory_ = QDir::currentPath().toStdString();
    channel_->SetBaseDirectory(startupDirectory_);

    state_.baudRate = device::kDefaultBaudRate;

    // The device core on the user-interface thread.
    sender_ = std::make_unique<device::FrameSender>(*port_, nullptr);
    sync_ = std::make_unique<device::SyncCycle>(state_, *sender_, *this, nullptr, format_);
    wizard_ =
        std::make_unique<device::ConnectionWizard>(state_, *port_, *sender_, *sync_, *dialogs_);
    decoder_ = std::make_unique<device::Decoder>(state_, *this, *dialogs_, nullptr, format_,
                                                 startupDirectory_);

    // Channel events: the worker hands them over, this window's thread decodes them.
    queue_ = std::make_unique<QtUiQueue>(this, [this](const device::ChannelEvent& event) {
        ++eventsProcessed_;
        decoder_->Process(event);
    });
    notifications_ = std::make_unique<device::ChannelNotifications>(state_, *queue_);
    notifications_->Attach(*channel_);

    state_.typeName = device::kUnrecognisedTypeName;
    state_.suppressOpenMessage = false;

    BuildTimers();
}

TForm1::~TForm1() {
    // The channel goes first: its destructor stops the worker (waiting at most 2 s), so no
    // event can be handed over while the rest of the window is torn down.
    channel_.reset();
}

void TForm1::BuildWindow() {
    ui_->setupUi(this);

    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);

    ui_->PageControl1->setGeometry(0, 0, kClientWidth, kClientHeight);
    ui_->PageControl1->setCurrentIndex(0);
    ui_->centralwidget->setFixedSize(kClientWidth, kClientHeight);
    setFixedSize(kClientWidth, kClientHeight + ui_->MainMenu1->sizeHint().height());
    CentreOnScreen(this);

    BuildMenu();
    BuildDevicePanel();
}

void TForm1::BuildMenu() {
    connect(ui_->zakocz1, &QAction::triggered, this, &TForm1::zakocz1Click);
    connect(ui_->pocz1, &QAction::triggered, this, &TForm1::pocz1Click);
    connect(ui_->rozcz1, &QAction::triggered, this, &TForm1::rozcz1Click);
    connect(ui_->auto1, &QAction::triggered, this, &TForm1::auto1Click);
    connect(ui_->debugger1, &QAction::triggered, this, &TForm1::debugger1Click);
    connect(ui_->wizard1, &QAction::triggered, this, &TForm1::wizard1Click);
    connect(ui_->orpogramie1, &QAction::triggered, this, &TForm1::orpogramie1Click);
    ui_->wizard1->setIcon(ConnectIcon());

    // "COM1" .. "COM14" and "auto": one radio group, the mark on "COM1" at start.
    portGroup_ = new QActionGroup(this);
    portGroup_->setExclusive(true);
    for (int n = 1; n <= 14; ++n) {
        QAction* item = findChild<QAction*>(QStringLiteral("COM%1").arg(n));
        portGroup_->addAction(item);
        connect(item, &QAction::triggered, this, [this, item] { ComPortClick(item); });
    }
    portGroup_->addAction(ui_->auto1);
    ui_->COM1->setChecked(true);
    // The plain port commands exist beside the wizard but are not offered.
    ui_->port1->menuAction()->setVisible(false);
}

void TForm1::BuildTimers() {
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(250);
    connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);

    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(1000);
    connect(Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);

    Timer1->start();
    Timer2->start();
    Timer3->start();
}

void TForm1::AttachForms(const SecondaryForms& forms) {
    forms_ = forms;
    device::FrameLog* log = forms_.comDbg;
    sender_->SetFrameLog(log);
    sync_->SetFrameLog(log);
    decoder_->SetFrameLog(log);
    if (forms_.asystent) forms_.asystent->AttachWizard(wizard_.get());
}

void TForm1::DetachForms() {
    if (forms_.asystent) forms_.asystent->AttachWizard(nullptr);
    sender_->SetFrameLog(nullptr);
    sync_->SetFrameLog(nullptr);
    decoder_->SetFrameLog(nullptr);
    forms_ = SecondaryForms{};
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

// Runs each time the window is shown. The chart's paging is reset here once the chart
// tab exists.
void TForm1::FormShow() {}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

// Runs whenever the main window closes; neither a measurement nor the port is stopped.
// The settings file is written here once the settings are kept.
void TForm1::FormClose() {
    ++formCloseCount_;
}

void TForm1::zakocz1Click() {
    close();
    QCoreApplication::exit(0);
}

void TForm1::Timer1Timer() {}

void TForm1::Timer2Timer() {
    sync_->Tick();
}

void TForm1::Timer3Timer() {
    Timer3->stop();
    ShowWizard();
    if (forms_.asystent) forms_.asystent->BitBtn3Click();
}

// Sampling runs from here once acquisition exists; for now nothing is due when idle.
void TForm1::OnIdle() {}

void TForm1::ShowWizard() {
    if (forms_.asystent == nullptr) return;
    forms_.asystent->show();
    forms_.asystent->raise();
    forms_.asystent->activateWindow();
}

void TForm1::orpogramie1Click() {
    if (forms_.oProgramie == nullptr) return;
    forms_.oProgramie->show();
    forms_.oProgramie->raise();
    forms_.oProgramie->activateWindow();
}

// Sensor controls of the indicator tab: kept here until that tab shows them.
void TForm1::SetSensorCaption(int sensor, const std::string& caption) {
    sensorCaption_[sensor] = caption;
}

void TForm1::SetSensorActive(int sensor, bool active) {
    sensorActive_[sensor] = active;
}

void TForm1::SetZeroLabel(int sensor, const std::string& text) {
    zeroLabel_[sensor] = text;
}

void TForm1::SetOffsetLabel(int sensor, const std::string& text) {
    offsetLabel_[sensor] = text;
}

void TForm1::SetMultiplierLabel(int sensor, const std::string& text) {
    multiplierLabel_[sensor] = text;
}

std::string TForm1::ValueDialogCaption() const {
    return forms_.wartosc ? forms_.wartosc->Label1Caption().toStdString() : std::string();
}

void TForm1::SetValueDialogText(const std::string& text) {
    if (forms_.wartosc) forms_.wartosc->SetEdit1Confirmed(QString::fromStdString(text));
}

void TForm1::SetMultiplierDialogText(const std::string& text) {
    if (forms_.mnoznik) forms_.mnoznik->SetEdit6Confirmed(QString::fromStdString(text));
}

void CreateForms(const TForm1::Options& options) {
    Form1 = new TForm1(options);
    MnoznikForm = new TMnoznikForm();
    WartoscForm = new TWartoscForm();
    O_programieForm = new TO_programieForm();
    KonigLiniiForm = new TKonigLiniiForm();
    COM_DBG_Form = new TCOM_DBG_Form();
    AsystentForm = new TAsystentForm();

    // Only the main window ends the program when it closes.
    for (QWidget* w : std::initializer_list<QWidget*>{MnoznikForm, WartoscForm, O_programieForm,
                                                      KonigLiniiForm, COM_DBG_Form, AsystentForm}) {
        w->setAttribute(Qt::WA_QuitOnClose, false);
    }
    Form1->AttachForms(
        {MnoznikForm, WartoscForm, O_programieForm, KonigLiniiForm, COM_DBG_Form, AsystentForm});
}

void DestroyForms() {
    if (Form1) Form1->DetachForms();
    delete AsystentForm;
    AsystentForm = nullptr;
    delete COM_DBG_Form;
    COM_DBG_Form = nullptr;
    delete KonigLiniiForm;
    KonigLiniiForm = nullptr;
    delete O_programieForm;
    O_programieForm = nullptr;
    delete WartoscForm;
    WartoscForm = nullptr;
    delete MnoznikForm;
    MnoznikForm = nullptr;
    delete Form1;
    Form1 = nullptr;
}

}  // namespace kt::ui
