#include "Main.h"

#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>

#include "Asystenlaczenia.h"
#include "ChartExport.h"
#include "ChartTab.h"
#include "Com_debugger.h"
#include "DesktopServices.h"
#include "DeviceTab.h"
#include "HelpActions.h"
#include "IndicatorTab.h"
#include "Konfigliniform.h"
#include "LocaleDateTimeTexts.h"
#include "Mnoznikunit.h"
#include "MqttPublisher.h"
#include "O_programie_unit.h"
#include "QtDialogs.h"
#include "QtUiQueue.h"
#include "RegistrationTab.h"
#include "RunJournal.h"
#include "Wartoscunit.h"
#include "ui_Main.h"
#include "widgets/ChartView.h"
#include "widgets/MenuIcons.h"

namespace kt::ui {

namespace {

// The current directory exactly as the system names it: a folder whose name is not UTF-8
// keeps its bytes, so config.ini, the pictures and the port links beside it are found.
std::string CurrentDirectoryBytes() {
    std::string path(256, '\0');
    while (getcwd(path.data(), path.size()) == nullptr) {
        if (errno != ERANGE) return QFile::encodeName(QDir::currentPath()).toStdString();
        path.resize(path.size() * 2);
    }
    path.resize(std::strlen(path.c_str()));
    return path;
}

}  // namespace

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

}  // namespace

TForm1::TForm1(const Options& options, QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::TForm1>()),
      dialogs_(options.dialogs),
      format_(options.numberFormat.value_or(SystemNumberFormat())),
      hundredths_(options.clock != nullptr ? *options.clock : steadyClock_) {
    if (dialogs_ == nullptr) {
        ownDialogs_ = std::make_unique<QtDialogs>(this);
        dialogs_ = ownDialogs_.get();
    }
    // The window and its components.
    BuildWindow();

    // The idle hook: one pass each time the event loop has handled a batch of events and
    // is about to wait for more.
    connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock,
            this, &TForm1::OnIdle);

    // Everything the program finds by itself lies under the directory current now; port
    // names such as "COM1" are looked up there first.
    startupDirectory_ = CurrentDirectoryBytes();

    // The device core: its channel's events are handed over to this window's thread and
    // handled there in order; the device tab shows what it decodes.
    queue_ = std::make_unique<QtUiQueue>(
        this, [this](const device::ChannelEvent& event) { core_->HandleEvent(event); });
    device::Log& log = options.log != nullptr ? *options.log : stderrLog_;
    core_ = std::make_unique<device::DeviceCore>(
        device::DeviceCoreSetup{*queue_, DevicePage(), *dialogs_, log, format_, startupDirectory_});
    DevicePage().Attach(core_->State(), core_->Sender(), format_, log);
    connect(&DevicePage(), &DeviceTab::wizardRequested, this, &TForm1::BitBtn13Click);

    State().baudRate = device::kDefaultBaudRate;
    State().typeName = device::kUnrecognisedTypeName;
    State().suppressOpenMessage = false;

    BuildSampling();
    BuildHelp();
    ReadSettings();
    BuildJournal();
    BuildReconnection();
    BuildMqtt();
    BuildChartActions();
    BuildShortcuts();
    // No paging and the first page, then the paging rule with the values just read.
    ChartPage().ResetPaging();
    BuildTimers();
}

TForm1::~TForm1() {
    // Publishing ends before anything it reads from goes, leaving "offline" as the status.
    delete mqttForm_;
    StopMqtt();
    // The core goes next: it stops the channel's worker, so no event can be handed over
    // while the rest of the window is torn down. The notifier on its watch goes before it.
    delete portWatchNotifier_;
    core_.reset();
}

DeviceTab& TForm1::DevicePage() {
    return *ui_->TabSheet2;
}

IndicatorTab& TForm1::IndicatorPage() {
    return *ui_->TabSheet1;
}

ChartTab& TForm1::ChartPage() {
    return *ui_->TabSheet4;
}

RegistrationTab& TForm1::RegistrationPage() {
    return *ui_->TabSheet5;
}

// The chart tab's buttons that the window answers: the output-line dialog and the
// exports, whose failures are reported with their reasons.
void TForm1::BuildChartActions() {
    ChartTab& chart = ChartPage();
    exporter_ = std::make_unique<ChartExporter>(chart.Chart(), chart_, *dialogs_);
    connect(&chart, &ChartTab::bmpExportRequested, this, [this] { exporter_->SaveBmp(); });
    connect(&chart, &ChartTab::jpegExportRequested, this,
            [this] { exporter_->SaveJpegThenExport(); });
    connect(&chart, &ChartTab::spreadsheetExportRequested, this,
            [this] { exporter_->SaveSpreadsheet(); });
    connect(&chart, &ChartTab::outputLinesRequested, this, [this] {
        if (forms_.konigLinii == nullptr) return;
        forms_.konigLinii->show();
        forms_.konigLinii->raise();
        forms_.konigLinii->activateWindow();
    });
}

void TForm1::BuildHelp() {
    desktop_ = std::make_unique<QtDesktopOpener>();
    processes_ = std::make_unique<QtProcessStarter>();
    // The firmware update closes the port like the wizard's "Rozłącz" and stops a run.
    PortCloser closer{[this] { return State().portOpen.load(); },
                      [this] {
                          Wizard().Disconnect();
                          sampling_->Halt();
                      }};
    help_ =
        std::make_unique<HelpActions>(startupDirectory_, *dialogs_, *desktop_, *processes_, closer);
    connect(ui_->pomocprogramu1, &QAction::triggered, this,
            [this] { help_->pomocprogramu1Click(); });
    connect(ui_->instrukcjaKT210V1, &QAction::triggered, this,
            [this] { help_->instrukcjaKT210V1Click(); });
    connect(ui_->Aktualizacja1, &QAction::triggered, this, [this] { help_->Aktualizacja1Click(); });
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
    ui_->pomocprogramu1->setIcon(HelpIcon());
    ui_->instrukcjaKT210V1->setIcon(ManualIcon());

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
    core_->SetFrameLog(forms_.comDbg);
    DevicePage().AttachDialogs(forms_.wartosc, forms_.mnoznik);
    IndicatorPage().AttachDialogs(forms_.wartosc, forms_.mnoznik);
    if (forms_.wartosc) forms_.wartosc->Attach(&State(), format_.decimalSeparator);
    if (forms_.mnoznik) forms_.mnoznik->Attach(&State(), format_.decimalSeparator);
    if (forms_.asystent) {
        forms_.asystent->AttachWizard(&core_->Wizard());
        // The automatic connection tries the port of the settings file ("COM1" without one).
        forms_.asystent->SetPortText(State().portName);
    }
    if (forms_.konigLinii) {
        forms_.konigLinii->setOutputLines(&settings_.outputLines);
        outputLines_.dialog = forms_.konigLinii;
    }
}

void TForm1::DetachForms() {
    if (forms_.asystent) forms_.asystent->AttachWizard(nullptr);
    if (forms_.konigLinii) forms_.konigLinii->setOutputLines(nullptr);
    outputLines_.dialog = nullptr;
    core_->SetFrameLog(nullptr);
    DevicePage().AttachDialogs(nullptr, nullptr);
    IndicatorPage().AttachDialogs(nullptr, nullptr);
    if (forms_.wartosc) forms_.wartosc->Attach(nullptr, format_.decimalSeparator);
    if (forms_.mnoznik) forms_.mnoznik->Attach(nullptr, format_.decimalSeparator);
    forms_ = SecondaryForms{};
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

// Runs each time the window is shown: the chart's paging rule.
void TForm1::FormShow() {
    ChartPage().FormShow();
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

// Runs whenever the main window closes; neither a measurement nor the port is stopped.
// The settings file is written, and the run journal given up as the rows are (a close by
// a signal, a logout or a shutdown, keeps it). Publishing ends with "offline" as the status.
void TForm1::FormClose() {
    WriteSettings();
    FinishJournal();
    StopMqtt();
}

void TForm1::CloseBySignal() {
    closingBySignal_ = true;
    zakocz1Click();
}

void TForm1::zakocz1Click() {
    close();
    QCoreApplication::exit(0);
}

void TForm1::Timer2Timer() {
    core_->Tick();
    FollowPortWatch();
}

void TForm1::Timer3Timer() {
    Timer3->stop();
    ShowWizard();
    if (forms_.asystent) forms_.asystent->BitBtn3Click();
}

void TForm1::ShowWizard() {
    if (forms_.asystent == nullptr) return;
    forms_.asystent->show();
    forms_.asystent->raise();
    forms_.asystent->activateWindow();
}

// The device tab's "Połączenie..." button.
void TForm1::BitBtn13Click() {
    ShowWizard();
}

void TForm1::orpogramie1Click() {
    if (forms_.oProgramie == nullptr) return;
    forms_.oProgramie->show();
    forms_.oProgramie->raise();
    forms_.oProgramie->activateWindow();
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
