// The traffic monitor fed by the connected main window: nothing while it is hidden;
// while shown, the periodic status read with its answer about every 2.25 s, and the
// synchronisation dump rewritten on every 250 ms tick.
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QtTest>

#include "MainHarness.h"

using kt::test::MainHarness;

class MainMonitorTest : public QObject {
    Q_OBJECT

private slots:
    void hiddenMonitorRecordsNothing();
    void shownMonitorLogsStatusReadsAndRefreshesDump();
};

namespace {
QPlainTextEdit* Memo(const char* name) {
    return kt::ui::COM_DBG_Form->findChild<QPlainTextEdit*>(QString::fromLatin1(name));
}
}  // namespace

void MainMonitorTest::hiddenMonitorRecordsNothing() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows();
    QVERIFY(h.WaitReady());
    QTest::qWait(1000);
    QVERIFY(Memo("Memo1")->document()->isEmpty());
    QVERIFY(Memo("Memo2")->document()->isEmpty());
}

void MainMonitorTest::shownMonitorLogsStatusReadsAndRefreshesDump() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows();
    QVERIFY(h.WaitReady());
    QTRY_VERIFY_WITH_TIMEOUT(!h.State().refreshPending, 10000);

    QPlainTextEdit* memo1 = Memo("Memo1");
    QPlainTextEdit* memo2 = Memo("Memo2");
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> statusSent;
    int statusAnswers = 0;
    int otherLines = 0;
    int lastBlock = 0;
    connect(memo1, &QPlainTextEdit::textChanged, this, [&] {
        const QTextDocument* doc = memo1->document();
        for (; lastBlock < doc->blockCount(); ++lastBlock) {
            const QString line = doc->findBlockByNumber(lastBlock).text();
            if (line.isEmpty()) continue;
            if (line == QStringLiteral(">sending read cmd: 26: 0 0 0 0 ,CRC=26")) {
                statusSent.push_back(clock.elapsed());
            } else if (line == QStringLiteral("   <<Received Data: 26: 1 1 1 0 ,CRC=29<->29")) {
                ++statusAnswers;
            } else {
                ++otherLines;
            }
        }
    });
    int dumps = 0;
    connect(memo2, &QPlainTextEdit::textChanged, this, [&] {
        if (memo2->document()->isEmpty()) ++dumps;
    });

    h.Find<QAction>("debugger1")->trigger();
    QVERIFY(kt::ui::COM_DBG_Form->isVisible());
    const qint64 shownAt = clock.elapsed();
    QTest::qWait(7000);
    const double seconds = (clock.elapsed() - shownAt) / 1000.0;

    // The status poll: every ninth tick, with its answer; nothing else goes out.
    QVERIFY2(statusSent.size() >= 2 && statusSent.size() <= 4,
             qPrintable(QString::number(statusSent.size())));
    QVERIFY(statusAnswers >= static_cast<int>(statusSent.size()) - 1);
    QCOMPARE(otherLines, 0);
    for (size_t i = 1; i < statusSent.size(); ++i) {
        const qint64 gap = statusSent[i] - statusSent[i - 1];
        QVERIFY2(gap >= 2000 && gap <= 6000, qPrintable(QString::number(gap)));
    }

    // The dump: cleared and rewritten on each 250 ms tick (28 in 7 s), 17 lines.
    QVERIFY2(dumps >= 8 && dumps <= seconds * 4 + 2, qPrintable(QString::number(dumps)));
    const QStringList lines = memo2->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 17);
    QCOMPARE(lines[0], QStringLiteral("Set.LED=5 , Stan.LED=5"));
    QCOMPARE(lines[2], QStringLiteral("Set.PK1=90 , Stan.PK1=90"));
    QCOMPARE(lines[14], QStringLiteral("Device.GO=0"));

    // A change shows in the dump at the next tick.
    h.State().Device.GO = true;
    QTRY_COMPARE_WITH_TIMEOUT(memo2->document()->findBlockByNumber(14).text(),
                              QStringLiteral("Device.GO=1"), 5000);
}

QTEST_MAIN(MainMonitorTest)
#include "test_main_monitor.moc"
