// kt210v-shots OUTPUT_DIR: builds the program's windows in the current directory exactly
// as the program does, lets the automatic connection run, then saves a picture of every
// tab of the main window, of the connection wizard, of the traffic monitor, of the about
// box and of the MQTT dialog, and a picture of the help's contents page as Qt's own
// browser shows it. Message boxes are written to stderr instead of being shown.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <cerrno>
#include <cstdio>

#include "Asystenlaczenia.h"
#include "ChartTab.h"
#include "CliSession.h"
#include "Com_debugger.h"
#include "Dialogs.h"
#include "Main.h"
#include "Mnoznikunit.h"
#include "O_programie_unit.h"
#include "PathIgnoringCase.h"
#include "PortErrors.h"
#include "Wartoscunit.h"
#include "widgets/ChartView.h"

namespace {

// Runs the event loop for a while; it waits for events in between, so the program's
// idle hook (the sampling clock) runs as it does in the program.
void Wait(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Save(QWidget* window, const QString& path) {
    const bool ok = window->grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KT210V-PC"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: kt210v-shots OUTPUT_DIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    kt::cli::ConsoleDialogs dialogs;  // message boxes become lines on stderr
    kt::ui::CreateForms({&dialogs, std::nullopt});
    kt::ui::TForm1* form = kt::ui::Form1;
    form->show();

    // The wizard opens after one second and needs about two more to read the device.
    QElapsedTimer clock;
    clock.start();
    while (!form->State().deviceReady && clock.elapsed() < 15000) Wait(100);
    std::printf("device %s after %lld ms\n", form->State().deviceReady ? "ready" : "NOT ready",
                static_cast<long long>(clock.elapsed()));
    Wait(600);  // the panel refresh after the last answers

    bool ok = true;
    auto* tabs = form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        Wait(200);
        ok &= Save(form, out.filePath(QStringLiteral("main-tab%1.png").arg(i + 1)));
    }
    // The indicator tab while sampling every 50 ms, and the correction dialogs.
    tabs->setCurrentIndex(0);
    form->findChild<QSpinBox*>(QStringLiteral("CSpinEdit2"))->setValue(50);
    form->findChild<QPushButton*>(QStringLiteral("SpeedButton10"))->click();
    Wait(2000);
    ok &= Save(form, out.filePath(QStringLiteral("indicators-sampling.png")));
    form->findChild<QPushButton*>(QStringLiteral("SpeedButton4"))->click();
    Wait(200);
    ok &= Save(kt::ui::WartoscForm, out.filePath(QStringLiteral("value-dialog.png")));
    kt::ui::WartoscForm->close();
    form->findChild<QPushButton*>(QStringLiteral("SpeedButton9"))->click();
    Wait(200);
    ok &= Save(kt::ui::MnoznikForm, out.filePath(QStringLiteral("multiplier-dialog.png")));
    kt::ui::MnoznikForm->close();
    // The chart while recording, then paged by 20 samples, then zoomed.
    tabs->setCurrentIndex(2);
    form->findChild<QAbstractButton*>(QStringLiteral("SpeedButton15"))->click();
    Wait(4000);
    ok &= Save(form, out.filePath(QStringLiteral("chart-recording.png")));
    auto& chart = form->ChartPage();
    chart.SetSamplesPerPage(20);
    chart.SetPagingOn(true);
    chart.SetTracking(true);
    Wait(600);
    ok &= Save(form, out.filePath(QStringLiteral("chart-paged.png")));
    chart.SetPagingOn(false);
    form->findChild<QAbstractButton*>(QStringLiteral("SpeedButton16"))->click();  // pause
    form->findChild<QPushButton*>(QStringLiteral("SpeedButton11"))->click();
    Wait(200);
    QWidget& view = chart.Chart();
    static_cast<ChartView&>(view).zoomTo(
        QRect(view.width() / 4, view.height() / 5, view.width() / 3, view.height() / 2));
    Wait(600);
    ok &= Save(form, out.filePath(QStringLiteral("chart-zoomed.png")));

    // The wizard's port box opened, and the open-failure box with its details for a
    // port the user may not open.
    tabs->setCurrentIndex(1);
    kt::ui::AsystentForm->show();
    auto* ports = kt::ui::AsystentForm->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    ports->showPopup();
    Wait(300);
    ok &= Save(ports->view()->window(), out.filePath(QStringLiteral("wizard-ports.png")));
    ports->hidePopup();
    QMessageBox denied(QMessageBox::NoIcon, QStringLiteral("KT210V-PC"),
                       QStringLiteral("Nie znaleziono wybranego portu COM"), QMessageBox::Ok);
    denied.setDetailedText(QString::fromStdString(
        kt::device::OpenFailureDetails("ttyUSB0", "/dev/ttyUSB0", 8, EACCES)));
    denied.show();
    for (QAbstractButton* b : denied.buttons()) {
        if (denied.buttonRole(b) == QMessageBox::ActionRole) b->click();  // "Show Details..."
    }
    Wait(300);
    ok &= Save(&denied, out.filePath(QStringLiteral("permission-message.png")));
    denied.close();

    tabs->setCurrentIndex(1);
    kt::ui::AsystentForm->show();
    Wait(200);
    ok &= Save(kt::ui::AsystentForm, out.filePath(QStringLiteral("wizard.png")));

    form->findChild<QAction*>(QStringLiteral("debugger1"))->trigger();
    Wait(3000);
    ok &= Save(kt::ui::COM_DBG_Form, out.filePath(QStringLiteral("monitor.png")));

    form->findChild<QAction*>(QStringLiteral("orpogramie1"))->trigger();
    Wait(200);
    ok &= Save(kt::ui::O_programieForm, out.filePath(QStringLiteral("about.png")));

    form->MqttAction->trigger();
    Wait(200);
    ok &= Save(form->findChild<QDialog*>(QStringLiteral("MqttForm")),
               out.filePath(QStringLiteral("mqtt.png")));

    QTextBrowser help;
    help.resize(820, 1000);
    help.setSource(QUrl::fromLocalFile(QString::fromStdString(
        kt::ui::FindPathIgnoringCase(form->StartupDirectory(), "help/index.html"))));
    help.show();
    Wait(200);
    ok &= Save(&help, out.filePath(QStringLiteral("help.png")));

    kt::ui::DestroyForms();
    return ok ? 0 : 1;
}
