// The dial and the bar gauge of the indicator tab, rendered offscreen: where the needle
// ends for each channel colour, the circle and scale colours, drawing only when asked,
// and the gauge's fill for the values a channel can report, taken through the model.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <limits>

#include "IndicatorModel.h"
#include "widgets/ChannelColours.h"
#include "widgets/Dial.h"
#include "widgets/Fonts.h"
#include "widgets/Gauge.h"

using namespace kt;
using kt::measurement::DialPoint;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

bool HasPixelOf(const QImage& image, const QRect& area, const QColor& colour) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y) == colour) return true;
        }
    }
    return false;
}

// Text written in `colour` on black: something is written, and every pixel is black or
// `colour` dimmed by the text's smoothing (no component beyond it, none where it has 0).
bool HoldsTextIn(const QImage& image, const QRect& area, const QColor& colour) {
    bool written = false;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > colour.red() || c.green() > colour.green() || c.blue() > colour.blue())
                return false;
            written = written || c != QColor(Qt::black);
        }
    }
    return written;
}

QImage Render(int channel, double value) {
    QImage image(ui::kDialSize, ui::kDialSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    ui::Dial::paint(painter, channel, *measurement::NeedleEnd(value));
    return image;
}

}  // namespace

class DialWidgets : public QObject {
    Q_OBJECT

private slots:
    void needleEndsOnItsPixel_data();
    void needleEndsOnItsPixel();
    void circleCrossAndScaleInTheDarkColour();
    void dialDrawsOnlyWhenAskedAndKeepsItsPicture();
    void gaugeFillFollowsTheModel_data();
    void gaugeFillFollowsTheModel();
    void gaugeRepaintsOnlyWhenItsPositionChanges();
    void paintingThreeDialsCost();
    void displayTextShowsEveryDigit();
};

void DialWidgets::needleEndsOnItsPixel_data() {
    QTest::addColumn<int>("channel");
    QTest::addColumn<double>("value");
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<QPoint>("beyond");  // the next pixel outward, not the needle's
    struct Row {
        const char* name;
        double value;
        QPoint end, beyond;
    };
    const Row rows[] = {
        {"0", 0, {109, 59}, {110, 59}},
        {"45", 45, {94, 23}, {95, 22}},
        {"90", 90, {59, 9}, {59, 8}},
        {"180", 180, {9, 58}, {8, 58}},
        {"359.99994", static_cast<double>(359.99994f), {108, 59}, {109, 59}},
    };
    for (int channel = 0; channel < 3; ++channel) {
        for (const Row& r : rows) {
            QTest::addRow("channel %d, %s", channel, r.name)
                << channel << r.value << r.end << r.beyond;
        }
    }
}

void DialWidgets::needleEndsOnItsPixel() {
    QFETCH(int, channel);
    QFETCH(double, value);
    QFETCH(QPoint, end);
    QFETCH(QPoint, beyond);
    ui::Dial dial;
    dial.setChannel(channel);
    dial.draw(value);
    QCOMPARE(dial.needleEnd(), (DialPoint{end.x(), end.y()}));
    // The widget's own picture and one painted into an image are the same.
    const QImage shown = dial.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, Render(channel, value));
    const QColor needle = ui::ChannelColour(channel);
    QCOMPARE(shown.pixelColor(end), needle);
    QVERIFY(shown.pixelColor(beyond) != needle);
    QCOMPARE(shown.pixelColor(59, 59), needle);
    QVERIFY(!HasPixelOf(shown, QRect(0, 0, 120, 120), QColor(Qt::white)));
}

void DialWidgets::circleCrossAndScaleInTheDarkColour() {
    for (int channel = 0; channel < 3; ++channel) {
        const QImage image = Render(channel, 45);
        const QColor dark = ui::ChannelDarkColour(channel);
        const QColor bright = ui::ChannelColour(channel);
        QVERIFY(dark != bright);
        // Circle: three pixels thick at its leftmost and topmost points.
        for (const QPoint p : {QPoint(19, 59), QPoint(20, 59), QPoint(59, 19), QPoint(59, 20)}) {
            QCOMPARE(image.pixelColor(p), dark);
        }
        QCOMPARE(image.pixelColor(23, 59), QColor(Qt::black));  // inside, before the cross
        QCOMPARE(image.pixelColor(59, 80), dark);               // cross
        QCOMPARE(image.pixelColor(80, 59), dark);
        QCOMPARE(image.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(image.pixelColor(119, 119), QColor(Qt::black));
        // The scale texts, each in its corner area, in the dark colour only.
        for (const QRect area : {QRect(105, 55, 14, 12), QRect(55, 2, 14, 12), QRect(2, 55, 18, 12),
                                 QRect(52, 105, 18, 12)}) {
            QVERIFY(HoldsTextIn(image, area, dark));
        }
    }
}

void DialWidgets::dialDrawsOnlyWhenAskedAndKeepsItsPicture() {
    ui::Dial dial;
    dial.setChannel(1);
    QVERIFY(!dial.drawn());
    QImage blank(ui::kDialSize, ui::kDialSize, QImage::Format_RGB32);
    blank.fill(Qt::black);
    QCOMPARE(dial.grab().toImage().convertToFormat(QImage::Format_RGB32), blank);

    PaintCounter counter;
    dial.installEventFilter(&counter);
    dial.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dial));
    dial.draw(90);
    QApplication::processEvents();
    const QImage at90 = dial.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(at90, Render(1, 90));

    counter.paints = 0;
    const double unchanged[] = {90, 89.9, std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::infinity(), 450};
    for (double value : unchanged) dial.draw(value);  // same pixel, or no direction
    QApplication::processEvents();
    QCOMPARE(counter.paints, 0);
    QCOMPARE(dial.needleEnd(), (DialPoint{59, 9}));

    dial.draw(1e30);  // a huge value still points somewhere on the dial
    QApplication::processEvents();
    QVERIFY(counter.paints > 0);
    QCOMPARE(dial.grab().toImage().convertToFormat(QImage::Format_RGB32), Render(1, 1e30));
}

void DialWidgets::gaugeFillFollowsTheModel_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("filled");  // pixel columns of the 310 pixel wide gauge
    QTest::newRow("0") << 0.0f << 0;
    QTest::newRow("180") << 180.0f << 155;
    QTest::newRow("359.9") << 359.9f << 309;
    QTest::newRow("400") << 400.0f << 310;
    QTest::newRow("-5") << -5.0f << 0;
    QTest::newRow("NaN after 90") << std::numeric_limits<float>::quiet_NaN() << 77;
    QTest::newRow("-inf") << -std::numeric_limits<float>::infinity() << 0;
    QTest::newRow("1e30") << 1e30f << 310;
}

void DialWidgets::gaugeFillFollowsTheModel() {
    QFETCH(float, value);
    QFETCH(int, filled);
    device::DeviceState device;
    device.sensorPresent[2] = true;
    measurement::IndicatorModel model(device, ',');
    model.SetActive(2, true);
    measurement::Sample sample;
    sample.sensorPresent[2] = true;
    for (float v : {90.0f, value}) {
        sample.angle[2] = v;
        model.OnSample(sample);
    }
    ui::Gauge gauge;
    gauge.resize(310, 18);
    gauge.setBarColour(ui::ChannelColour(2));
    gauge.setPosition(model.GaugePosition(2));
    QCOMPARE(gauge.filledWidth(), filled);
    const QImage image = gauge.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y : {0, 17}) {
        if (filled > 0) QCOMPARE(image.pixelColor(filled - 1, y), ui::ChannelColour(2));
        if (filled < 310) QCOMPARE(image.pixelColor(filled, y), QColor(Qt::black));
    }
}

void DialWidgets::gaugeRepaintsOnlyWhenItsPositionChanges() {
    ui::Gauge gauge;
    gauge.resize(310, 18);
    PaintCounter counter;
    gauge.installEventFilter(&counter);
    gauge.show();
    QVERIFY(QTest::qWaitForWindowExposed(&gauge));
    gauge.setPosition(200);
    QApplication::processEvents();
    counter.paints = 0;
    gauge.setPosition(200);
    gauge.setBarColour(QColor(255, 0, 0));  // the colour it has
    QApplication::processEvents();
    QCOMPARE(counter.paints, 0);
    gauge.setPosition(500);  // held at 360
    QApplication::processEvents();
    QVERIFY(counter.paints > 0);
    QCOMPARE(gauge.position(), 360);
    counter.paints = 0;
    gauge.setPosition(361);
    QApplication::processEvents();
    QCOMPARE(counter.paints, 0);
}

// A figure for the report, not a check: three dials painted into images, as the 50 ms
// tick does at most.
void DialWidgets::paintingThreeDialsCost() {
    QImage images[3];
    for (QImage& image : images) image = QImage(ui::kDialSize, ui::kDialSize, QImage::Format_RGB32);
    constexpr int kRounds = 300;
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < kRounds; ++round) {
        for (int channel = 0; channel < 3; ++channel) {
            QPainter painter(&images[channel]);
            ui::Dial::paint(painter, channel, *measurement::NeedleEnd(round * 1.7 + channel * 40));
        }
    }
    const double microseconds = static_cast<double>(timer.nsecsElapsed()) / 1000.0 / kRounds;
    std::printf("painting three dials into images: %.1f us\n", microseconds);
    QVERIFY(images[2].pixelColor(0, 0) == QColor(Qt::black));
}

// A cycle count in its 72-pixel display: the field never scrolls to its last digits (a
// long count read as a smaller one); a short text keeps the display's size.
void DialWidgets::displayTextShowsEveryDigit() {
    QLineEdit field;
    field.setGeometry(0, 0, 72, 31);
    field.setReadOnly(true);
    field.setFont(ui::DisplayFont(19));
    field.show();
    const auto cursorX = [&field] {
        return field.inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    };
    for (const char* text : {"-------", "99999", "1234567", "16777216"}) {
        field.setText(QString::fromLatin1(text));
        ui::FitDisplayText(&field, 19);
        const int first = cursorX();
        field.setCursorPosition(field.text().size());  // scrolls if the text does not fit
        field.setCursorPosition(0);
        QCOMPARE(cursorX(), first);
        field.setCursorPosition(field.text().size());
        QCOMPARE(cursorX() - first, field.fontMetrics().horizontalAdvance(field.text()));
    }
    field.setText(QStringLiteral("-------"));
    ui::FitDisplayText(&field, 19);
    QCOMPARE(field.font().pixelSize(), 19);
}

QTEST_MAIN(DialWidgets)
#include "test_dial_widgets.moc"
