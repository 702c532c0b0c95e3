// KT210V-PC: the application object, the seven windows in their start-up order and the
// message loop; --help and --version answered before any of them. SIGTERM and SIGINT close the main
// window the way "zakończ" does; a second one while the first is unanswered ends the program at
// once.
#include "Main.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>

#include "CommandLine.h"
#include "Log.h"
#include "QtTranslations.h"
#include "TerminationSignals.h"

namespace {

constexpr char kApplicationTitle[] = "KT210V-PC";

// An exception that reaches the message loop is shown and the program keeps running.
class Application : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowException(e.what());
        } catch (...) {
            ShowException("");
        }
        return false;
    }

    static void ShowException(const char* message) {
        QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle),
                        QString::fromLocal8Bit(message), QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
};

// The handler writes to one end, the loop reads the other.
int signalPipe[2] = {-1, -1};
// A signal that came while the main window was still being built (its missing-settings
// box open): the box is closed and the program ends once construction is over.
bool quitBeforeStart = false;

// Routes SIGTERM and SIGINT to "zakończ" on the user-interface thread; a second signal
// while the loop has not yet acted on the first ends the program at once.
std::unique_ptr<QSocketNotifier> InstallTerminationHandler() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return nullptr;
    auto notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        if (kt::ui::Form1) {
            kt::ui::Form1->CloseBySignal();
        } else {
            quitBeforeStart = true;
            if (QWidget* box = QApplication::activeModalWidget()) box->close();
        }
        kt::device::TerminationHandled();
    });
    kt::device::InstallTerminationSignals(signalPipe[1]);
    return notifier;
}

// Without an application object no box can be shown; the message goes to stderr.
void ReportFailure(Application* app, const char* message) {
    if (app) {
        Application::ShowException(message);
    } else {
        std::fprintf(stderr, "%s: %s\n", kApplicationTitle, message);
    }
}

// The command line as given, before the toolkit takes its own options out of it.
QStringList Arguments(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Qt's buttons and dialogs in Polish; without the translation they stay English, and
// the log says which file is missing.
std::unique_ptr<QTranslator> TranslateQtTexts() {
    std::string missing;
    std::unique_ptr<QTranslator> translator = kt::ui::InstallQtTranslations(missing);
    if (!translator) {
        kt::device::StderrLog().Warning("Qt's Polish texts not loaded (" + missing +
                                        "); install qt6-translations-l10n");
    }
    return translator;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (const auto status = kt::app::AnswerInfoOptions(Arguments(argc, argv))) return *status;
    std::unique_ptr<Application> app;
    std::unique_ptr<QTranslator> qtTexts;
    std::unique_ptr<QSocketNotifier> termination;
    try {
        app = std::make_unique<Application>(argc, argv);
        if (const auto status = kt::app::RefuseOtherArguments(QCoreApplication::arguments())) {
            return *status;
        }
        qtTexts = TranslateQtTexts();
        // The toolkit has switched the C library to the user's locale; numbers go back to
        // the "C" form, so any printf or strtod writes and reads a point (the program's
        // own numbers never depend on it; the decimal separator is chosen explicitly).
        std::setlocale(LC_NUMERIC, "C");
        QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
        // The desktop entry's name, so that the desktop shows its icon for the window.
        QGuiApplication::setDesktopFileName(QStringLiteral("kt210v-pc"));
        termination = InstallTerminationHandler();
        // A write past the file-size limit (ulimit -f) fails with EFBIG and the save
        // reports it, instead of the signal ending the program.
        std::signal(SIGXFSZ, SIG_IGN);

        kt::ui::CreateForms();
        if (quitBeforeStart) {
            kt::ui::Form1->CloseBySignal();
        } else {
            kt::ui::Form1->show();
            QApplication::exec();
        }
    } catch (const std::exception& e) {
        ReportFailure(app.get(), e.what());
    } catch (...) {
        ReportFailure(app.get(), "");
    }
    termination.reset();
    kt::ui::DestroyForms();
    return 0;
}
