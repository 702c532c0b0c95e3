// The run journal in the window, end to end: a recording window (a child process) is
// killed with SIGKILL; the next start asks, "Nie" sets the journal aside, a close of the
// operator's leaves nothing to ask at the next start, and with the journal back in place
// "Tak" puts the table, the chart and the elapsed time back as the killed window held
// them, and "Zapisz Jako..." writes the file it would have written. A close by a signal
// keeps the journal for the next start. A file under the journal's name that is no
// journal stays as it is.
#include <QtTest>

#include "JournalTrials.h"
#include "Numbers.h"
#include "TempFolder.h"

namespace {

using kt::test::FakeDialogs;

std::string Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(none)");
}

// The program's windows started in `dir`, without the automatic connection.
struct Windows {
    FakeDialogs dialogs;
    kt::test::FakeWarnings log;
    explicit Windows(const QString& dir, bool answerYes = false) {
        dialogs.answerYes = answerYes;
        const QString was = QDir::currentPath();
        QDir::setCurrent(dir);
        kt::ui::CreateForms({&dialogs, kt::device::NumberFormat{','}, &log});
        kt::ui::Form1->Timer3->stop();
        QDir::setCurrent(was);
    }
    ~Windows() { kt::ui::DestroyForms(); }
    kt::ui::TForm1& Form() { return *kt::ui::Form1; }
};

}  // namespace

class RunJournalTest : public QObject {
    Q_OBJECT

private slots:
    void killedRunIsSetAsideOrPutBackAsItWas();
};

void RunJournalTest::killedRunIsSetAsideOrPutBackAsItWas() {
    kt::test::ChildProcess child(
        {QCoreApplication::applicationFilePath().toStdString(), "--killed-run"});
    QVERIFY(
        child.WaitFor([](const std::string& s) { return s.find("frozen\n") != s.npos; }, 120000));
    child.Kill();
    std::string dirPath;
    const std::vector<kt::test::ReportedRow> rows = kt::test::WindowRows(child.Text(), dirPath);
    const QString dir = QString::fromStdString(dirPath);
    QCOMPARE(rows.size(), 40u);
    const QString journal = dir + "/kt210v-pc.journal";
    const std::string killedJournal = Bytes(journal);
    QString aside;
    std::string question;
    {
        Windows w(dir);
        QCOMPARE(w.dialogs.questions.size(), 1u);
        question = w.dialogs.questions.front();
        QVERIFY2(question.rfind("Przywrócić niezapisany pomiar z ", 0) == 0 &&
                     question.ends_with(" (40 próbek)?"),
                 question.c_str());
        QCOMPARE(w.Form().Registration().rowsRegistered(), 0);
        const QStringList kept = QDir(dir).entryList({"kt210v-pc.journal.*"});
        QCOMPARE(kept.size(), 1);
        aside = dir + "/" + kept.front();
        QCOMPARE(Bytes(aside), killedJournal);
        w.Form().close();
        QVERIFY(!QFile::exists(journal));
    }
    {
        Windows w(dir);
        QVERIFY(w.dialogs.questions.empty());
    }
    QVERIFY(QFile::rename(aside, journal));
    {
        Windows w(dir, true);
        QCOMPARE(w.dialogs.questions.size(), 1u);
        const kt::measurement::RegistrationTable& table = w.Form().Registration();
        QCOMPARE(table.rowsRegistered(), 40);
        for (int r = 0; r < 40; ++r) QCOMPARE(kt::test::RowCells(table, r + 1), rows[r].cells);
        std::string chart, reason;
        kt::measurement::BuildChartText(w.Form().Chart(), kt::measurement::ChartTextLayout::Csv,
                                        chart, reason);
        QCOMPARE(chart, Bytes(dir + "/chart.csv"));
        const std::string lastElapsed = table.CellText(40, 1);
        const double elapsed = *kt::device::ParseDecimal(lastElapsed, ',');
        QCOMPARE(w.Form().findChild<QLabel*>("Label40")->text().toStdString(),
                 kt::device::GeneralForm(std::nearbyint(elapsed * 100) / 100, ','));
        QCOMPARE(w.Form().Sampling().Phase(), kt::measurement::RunPhase::Stopped);
        // Saved as the killed window saved it; only the date and time of the save differ.
        w.dialogs.saveAnswer = kt::device::SaveFileChoice{(dir + "/back.txt").toStdString(), 0};
        w.Form().RegistrationPage().BitBtn1Click();
        QStringList saved = QString::fromLatin1(Bytes(dir + "/saved.txt")).split("\r\n");
        QStringList back = QString::fromLatin1(Bytes(dir + "/back.txt")).split("\r\n");
        QCOMPARE(back.size(), 40 + 14);
        for (QStringList* lines : {&saved, &back}) lines->remove(1, 2);
        QCOMPARE(back, saved);
        w.Form().CloseBySignal();  // SIGTERM, SIGINT: the journal stays
    }
    {
        Windows w(dir, true);
        QCOMPARE(w.dialogs.questions, std::vector<std::string>{question});
        QCOMPARE(w.Form().Registration().rowsRegistered(), 40);
        w.Form().close();
        QVERIFY(!QFile::exists(journal));
    }
    {
        kt::test::WriteBytes(journal.toStdString(), "not ours");
        Windows w(dir, true);
        QVERIFY(w.dialogs.questions.empty());
        QVERIFY(std::ranges::any_of(w.log.Lines(), [](const std::string& line) {
            return line.find(
                       "kt210v-pc.journal: no run journal (another kind of file); left "
                       "in place") != line.npos;
        }));
        w.Form().close();
        QCOMPARE(Bytes(journal), std::string("not ours"));
    }
    QDir(dir).removeRecursively();
}

// The test, or the window it kills: started again with --killed-run, it records at 10 ms
// and holds still after 40 rows.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 2 && std::string(argv[1]) == "--killed-run") {
        return kt::test::RecordingChild(STDOUT_FILENO, false, 40);
    }
    RunJournalTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_run_journal.moc"
