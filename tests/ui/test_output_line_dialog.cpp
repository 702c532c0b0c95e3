// The output-line dialog: start values, loading the stored lines on showing, storing
// them on a click into a field or on OK, text that is not a whole number, and the PK1 and
// PK2 points the chart takes from the fields.
//
// With KT_SHOTS_DIR set, a picture of the dialog is saved there.
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <limits>

#include "ChartStore.h"
#include "Konfigliniform.h"
#include "SettingsFile.h"

using namespace kt::measurement;
using kt::ui::TKonigLiniiForm;

namespace {

QSpinBox* Field(TKonigLiniiForm& form, int number) {
    return form.findChild<QSpinBox*>(QStringLiteral("CSpinEdit%1").arg(number));
}

QLineEdit* TextOf(QSpinBox* field) {
    return field->findChild<QLineEdit*>();
}

void ShowActive(TKonigLiniiForm& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
}

// Adds one measurement with both outputs in the given state, H and F from the dialog.
float Pk1Point(ChartStore& store, const TKonigLiniiForm& form, bool on) {
    // As the chart tab reads them: through the dialog's OutputLineSource side.
    const OutputLineSource& lines = form;
    store.AppendMeasurement({0, {}, {}, {on, on}}, lines.Line(0), lines.Line(1));
    return store.Series(kSeriesPK1).Y(store.Series(kSeriesPK1).Size() - 1);
}

}  // namespace

class OutputLineDialogTest : public QObject {
    Q_OBJECT

private slots:
    void StartValuesPositionAndCaption() {
        TKonigLiniiForm form;
        QCOMPARE(form.FieldLines(), kOutputLinesAtStart);
        QCOMPARE(form.windowTitle(), QStringLiteral("Konfiguracja linii wyjsc na wykresie"));
        form.show();
        QCOMPARE(form.frameGeometry().topLeft(),
                 QGuiApplication::primaryScreen()->availableGeometry().topLeft());
        // Any 32-bit whole number.
        Field(form, 5)->setValue(std::numeric_limits<int>::min());
        Field(form, 6)->setValue(std::numeric_limits<int>::max());
        QCOMPARE(form.FieldLines()[2], (OutputLine{std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max()}));
        if (const QByteArray shots = qgetenv("KT_SHOTS_DIR"); !shots.isEmpty()) {
            Field(form, 5)->setValue(50);
            Field(form, 6)->setValue(150);
            QDir().mkpath(QString::fromLocal8Bit(shots));
            QVERIFY(form.grab().save(
                QDir(QString::fromLocal8Bit(shots)).filePath("output-line-dialog.png")));
        }
    }

    // PK1 off then on with the start values: 0, then a step to 50; PK2 at 75 or 125. A
    // stored PK1 H of 100 reaches the chart only once the dialog has been shown.
    void ChartPointsFollowTheFields() {
        OutputLines stored = kOutputLinesAtStart;
        stored[0].H = 100;
        TKonigLiniiForm form;
        form.setOutputLines(&stored);
        ChartStore store;
        QCOMPARE(Pk1Point(store, form, false), 0.f);
        QCOMPARE(Pk1Point(store, form, true), 50.f);
        QCOMPARE(store.Series(kSeriesPK2).Y(0), 75.f);
        QCOMPARE(store.Series(kSeriesPK2).Y(1), 125.f);
        form.show();
        QCOMPARE(Pk1Point(store, form, true), 100.f);
        QCOMPARE(Pk1Point(store, form, false), 0.f);
    }

    // Mended: with no settings file the stored lines are the fields' start values, so the
    // first showing keeps the PK1 pulses 50 high instead of loading zeros.
    void FirstShowingWithoutSettingsFileKeepsThePulses() {
        AppSettings settings = ParseSettings("").settings;  // nothing could be read
        TKonigLiniiForm form;
        form.setOutputLines(&settings.outputLines);
        form.show();
        ChartStore store;
        QCOMPARE(Pk1Point(store, form, true), 50.f);
        QCOMPARE(form.Pk2Line(), (OutputLine{50, 75}));
    }

    void ClickOrOkStoresAllEightAndClosingDoesNot() {
        OutputLines stored = kOutputLinesAtStart;
        TKonigLiniiForm form;
        form.setOutputLines(&stored);
        QSignalSpy spy(&form, &TKonigLiniiForm::outputLinesStored);
        ShowActive(form);
        // Changed without a click, then the window closed: the chart keeps the value (the
        // fields), the stored lines do not, and the next showing brings them back.
        Field(form, 1)->setValue(80);
        form.close();
        QCOMPARE(form.Pk1Line().H, 80);
        QCOMPARE(stored, kOutputLinesAtStart);
        ShowActive(form);
        QCOMPARE(form.Pk1Line().H, 50);
        // A click into any field copies all eight.
        Field(form, 1)->setValue(81);
        Field(form, 8)->setValue(-7);
        QTest::mouseClick(TextOf(Field(form, 4)), Qt::LeftButton);
        QCOMPARE(stored[0], (OutputLine{81, 0}));
        QCOMPARE(stored[3], (OutputLine{50, -7}));
        QCOMPARE(spy.count(), 1);
        // OK copies and closes.
        Field(form, 3)->setValue(11);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
        QCOMPARE(stored[1], (OutputLine{11, 75}));
        QVERIFY(!form.isVisible());
        QCOMPARE(spy.count(), 2);
    }

    // Typing "-" on the way to "-30" does not reach the chart; text left unfinished reads
    // as 0 once the field loses the focus.
    void UnfinishedTextKeepsTheLastValidValueUntilTheFocusLeaves() {
        TKonigLiniiForm form;
        ShowActive(form);
        QSpinBox* height = Field(form, 1);
        height->setFocus();
        QVERIFY(height->hasFocus());
        height->selectAll();
        QTest::keyClick(height, Qt::Key_Minus);
        QCOMPARE(TextOf(height)->text(), QStringLiteral("-"));
        QCOMPARE(form.Pk1Line().H, 50);
        QTest::keyClicks(height, "30");
        QCOMPARE(form.Pk1Line().H, -30);
        for (int i = 0; i < 3; ++i) QTest::keyClick(height, Qt::Key_Backspace);
        QCOMPARE(TextOf(height)->text(), QString());
        QCOMPARE(form.Pk1Line().H, -3);  // the last whole number on the way: "-3"
        Field(form, 2)->setFocus();      // the focus leaves the field
        QCOMPARE(TextOf(height)->text(), QStringLiteral("0"));
        QCOMPARE(form.Pk1Line().H, 0);
        // Letters never get in.
        QTest::keyClicks(Field(form, 2), "x");
        QCOMPARE(form.Pk1Line().F, 0);
    }
};

QTEST_MAIN(OutputLineDialogTest)
#include "test_output_line_dialog.moc"
