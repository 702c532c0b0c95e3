// The traffic monitor window with the producers that write to it, the queued hand-over
// of channel events to the user-interface thread, and the JPEG reader of the mode
// pictures.
#include <sys/stat.h>

#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "Com_debugger.h"
#include "Decoder.h"
#include "Fakes.h"
#include "Frames.h"
#include "JpegImage.h"
#include "QtUiQueue.h"
#include "SyncCycle.h"

using namespace kt;
using kt::ui::TCOM_DBG_Form;

namespace {

QStringList Lines(const QPlainTextEdit* view) {
    const QString text = view->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
}

// Writes a width x height picture with libjpeg; `rgb` pixels are given as (r, g, b).
bool WriteJpeg(const QString& path, int width, int height, bool rgb,
               const std::vector<uint8_t>& pixels) {
    std::FILE* file = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (file == nullptr) return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = width;
    info.image_height = height;
    info.input_components = rgb ? 3 : 1;
    info.in_color_space = rgb ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    const int stride = width * info.input_components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels.data()) + info.next_scanline * stride;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
    return true;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    std::ofstream out(path.toStdString(), std::ios::binary);
    out.write(bytes.constData(), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return QByteArray::fromStdString(
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

}  // namespace

class MonitorWindowTest : public QObject {
    Q_OBJECT

private slots:
    void hasFourReadOnlyBlueViews();
    void producersWriteOnlyWhileShown();
    void parameterDumpFollowsTheTickWhileShown();
    void eachCzyscItemClearsItsOwnView();
    void contextMenuOffersCzysc();
    void closingOnlyHides();

    void queueDeliversInOrderOnTheUiThread();
    void queueDropsCallsOfADestroyedContext();

    void jpegDecodesShippedModePictures();
    void jpegDecodesRgbAndGrayscale();
    void jpegRejectsBrokenFilesAndKeepsTheImage();
};

void MonitorWindowTest::hasFourReadOnlyBlueViews() {
    TCOM_DBG_Form monitor;
    QCOMPARE(monitor.windowTitle(), QStringLiteral("COM_debugger"));
    QCOMPARE(monitor.size(), QSize(634, 489));
    QVERIFY(monitor.windowFlags().testFlag(Qt::Tool));
    const QSize sizes[4] = {{365, 385}, {249, 385}, {365, 89}, {249, 89}};
    for (int i = 0; i < 4; ++i) {
        auto* view = monitor.findChild<QPlainTextEdit*>(QStringLiteral("Memo%1").arg(i + 1));
        QVERIFY(view);
        QCOMPARE(view->size(), sizes[i]);
        QVERIFY(view->isReadOnly());
        QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(view->font().pixelSize(), 12);
        QVERIFY(view->font().bold());
        QCOMPARE(view->palette().color(QPalette::Base), QColor(4, 153, 225));
        QCOMPARE(view->palette().color(QPalette::Text), QColor(Qt::white));
    }
    // Left views above each other, right views to their right.
    auto* memo1 = monitor.findChild<QPlainTextEdit*>("Memo1");
    auto* memo4 = monitor.findChild<QPlainTextEdit*>("Memo4");
    QVERIFY(memo4->x() >= memo1->geometry().right());
    QVERIFY(memo4->y() >= memo1->geometry().bottom());
    QVERIFY(monitor.rect().contains(memo4->geometry()));
}

void MonitorWindowTest::producersWriteOnlyWhileShown() {
    TCOM_DBG_Form monitor;
    auto* memo1 = monitor.findChild<QPlainTextEdit*>("Memo1");
    test::RecordingSink sink;
    device::FrameSender sender(sink, &monitor);
    device::DeviceState state;
    test::FakeDeviceView view;
    test::FakeDialogs dialogs;
    device::Decoder decoder(state, view, dialogs, &monitor, device::NumberFormat{}, "/nowhere");
    const std::vector<uint8_t> answer = test::Hex("F3 F3 0C 05 00 00 00 11");

    QVERIFY(!monitor.IsVisible());
    sender.SendWriteCommand(device::cmd::LED, device::BytePayload(5));
    decoder.ProcessBlock(answer.data(), static_cast<int>(answer.size()));
    QCOMPARE(sink.frames.size(), size_t{1});  // sent all the same
    QVERIFY(memo1->toPlainText().isEmpty());

    monitor.show();
    QVERIFY(monitor.IsVisible());
    sender.SendWriteCommand(device::cmd::LED, device::BytePayload(5));
    sender.RequestMeasurement();  // never logged
    decoder.ProcessBlock(answer.data(), static_cast<int>(answer.size()));
    QCOMPARE(Lines(memo1), QStringList({">sending write cmd: 12: 5 0 0 0 ,CRC=17",
                                        "   <<Received Data: 12: 5 0 0 0 ,CRC=17<->17"}));

    monitor.hide();
    sender.SendReadCommand(device::cmd::Status, device::ZeroPayload());
    QCOMPARE(Lines(memo1).size(), 2);
}

void MonitorWindowTest::parameterDumpFollowsTheTickWhileShown() {
    TCOM_DBG_Form monitor;
    auto* memo2 = monitor.findChild<QPlainTextEdit*>("Memo2");
    test::RecordingSink sink;
    device::FrameSender sender(sink, &monitor);
    device::DeviceState state;
    test::FakeDeviceView view;
    device::SyncCycle sync(state, sender, view, &monitor, device::NumberFormat{});

    sync.Tick();
    QVERIFY(memo2->toPlainText().isEmpty());

    monitor.show();
    state.Set.LED = 7;
    sync.Tick();
    sync.Tick();  // replaces the dump rather than adding to it
    const QStringList lines = Lines(memo2);
    QCOMPARE(lines.size(), 17);
    QCOMPARE(lines.first(), QStringLiteral("Set.LED=7 , Stan.LED=0"));

    monitor.ClearParameterView();
    monitor.AppendParameterLine("a");
    monitor.AppendParameterLine("b");
    QCOMPARE(Lines(memo2), QStringList({"a", "b"}));
}

void MonitorWindowTest::eachCzyscItemClearsItsOwnView() {
    TCOM_DBG_Form monitor;
    const char* items[4] = {"czy1", "MenuItem1", "MenuItem2", "MenuItem3"};
    for (int cleared = 0; cleared < 4; ++cleared) {
        QPlainTextEdit* views[4];
        for (int i = 0; i < 4; ++i) {
            views[i] = monitor.findChild<QPlainTextEdit*>(QStringLiteral("Memo%1").arg(i + 1));
            views[i]->setPlainText(QStringLiteral("line of view %1").arg(i + 1));
        }
        auto* item = monitor.findChild<QAction*>(items[cleared]);
        QVERIFY(item);
        item->trigger();
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(views[i]->toPlainText().isEmpty(), i == cleared);
        }
    }
}

void MonitorWindowTest::contextMenuOffersCzysc() {
    TCOM_DBG_Form monitor;
    monitor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&monitor));
    for (int i = 1; i <= 4; ++i) {
        auto* view = monitor.findChild<QPlainTextEdit*>(QStringLiteral("Memo%1").arg(i));
        auto* menu = monitor.findChild<QMenu*>(QStringLiteral("PopupMenu%1").arg(i));
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 1);
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("czyść"));
        QCOMPARE(view->contextMenuPolicy(), Qt::CustomContextMenu);
        emit view->customContextMenuRequested(QPoint(10, 10));
        QVERIFY(menu->isVisible());
        menu->hide();
    }
}

void MonitorWindowTest::closingOnlyHides() {
    TCOM_DBG_Form monitor;
    monitor.show();
    monitor.AppendFrameLine("kept");
    QVERIFY(monitor.close());
    QVERIFY(!monitor.isVisible());
    QVERIFY(!monitor.testAttribute(Qt::WA_DeleteOnClose));
    monitor.show();
    QCOMPARE(Lines(monitor.findChild<QPlainTextEdit*>("Memo1")), QStringList({"kept"}));
}

void MonitorWindowTest::queueDeliversInOrderOnTheUiThread() {
    constexpr int kEvents = 3000;
    QObject context;
    std::vector<int> counts;
    std::vector<int> firstBytes;
    bool allOnUiThread = true;
    ui::QtUiQueue queue(&context, [&](const device::ChannelEvent& event) {
        allOnUiThread = allOnUiThread && QThread::currentThread() == context.thread();
        counts.push_back(static_cast<int>(event.bytes.size()));
        firstBytes.push_back(event.bytes.empty() ? -1 : event.bytes[0]);
    });
    std::thread worker([&queue] {
        for (int i = 0; i < kEvents; ++i) {
            device::ChannelEvent event;
            event.kind =
                i % 3 == 0 ? device::ChannelEvent::Kind::Opened : device::ChannelEvent::Kind::Data;
            event.bytes.assign(static_cast<size_t>(i % 64) + 1, static_cast<uint8_t>(i));
            queue.Post(std::move(event));
        }
    });
    worker.join();
    QVERIFY(counts.empty());  // nothing runs until the UI thread's loop gets to it
    QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(counts.size()), kEvents, 20000);
    QVERIFY(allOnUiThread);
    for (int i = 0; i < kEvents; ++i) {
        QCOMPARE(counts[i], i % 64 + 1);
        QCOMPARE(firstBytes[i], i & 0xFF);
    }
}

void MonitorWindowTest::queueDropsCallsOfADestroyedContext() {
    int calls = 0;
    auto* context = new QObject;
    auto queue = std::make_unique<ui::QtUiQueue>(
        context, [&calls](const device::ChannelEvent&) { ++calls; });
    queue->Post(device::ChannelEvent{});
    queue.reset();  // a queued call may outlive the queue object
    QCoreApplication::processEvents();
    QCOMPARE(calls, 1);

    queue = std::make_unique<ui::QtUiQueue>(context,
                                            [&calls](const device::ChannelEvent&) { ++calls; });
    queue->Post(device::ChannelEvent{});
    delete context;
    QCoreApplication::processEvents();
    QCOMPARE(calls, 1);
}

void MonitorWindowTest::jpegDecodesShippedModePictures() {
    for (int mode = 0; mode <= 4; ++mode) {
        const QString path = QStringLiteral(KT_ASSETS_DIR "/Grafika/MODE_%1.jpg").arg(mode);
        QImage image;
        QVERIFY(ui::LoadJpegImage(path.toStdString(), image));
        QCOMPARE(image.size(), QSize(480, 360));
        QCOMPARE(image.format(), QImage::Format_RGB888);
        // White paper with dark drawing on it.
        QVERIFY(qGray(image.pixel(2, 2)) > 240);
        int dark = 0;
        for (int y = 0; y < image.height(); y += 2) {
            for (int x = 0; x < image.width(); x += 2) dark += qGray(image.pixel(x, y)) < 100;
        }
        QVERIFY(dark > 200);
    }
}

void MonitorWindowTest::jpegDecodesRgbAndGrayscale() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    std::vector<uint8_t> rgb;
    for (int i = 0; i < 24 * 16; ++i) rgb.insert(rgb.end(), {200, 30, 60});
    const QString rgbPath = dir.filePath("rgb.jpg");
    QVERIFY(WriteJpeg(rgbPath, 24, 16, true, rgb));
    QImage image;
    QVERIFY(ui::LoadJpegImage(rgbPath.toStdString(), image));
    QCOMPARE(image.size(), QSize(24, 16));
    const QColor colour = image.pixelColor(13, 9);
    QVERIFY2(qAbs(colour.red() - 200) <= 6 && qAbs(colour.green() - 30) <= 6 &&
                 qAbs(colour.blue() - 60) <= 6,
             qPrintable(colour.name()));

    // A horizontal ramp 0..255 in 8-pixel blocks (whole blocks keep JPEG exact enough).
    std::vector<uint8_t> gray;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 64; ++x) gray.push_back(static_cast<uint8_t>((x / 8) * 32));
    }
    const QString grayPath = dir.filePath("gray.jpg");
    QVERIFY(WriteJpeg(grayPath, 64, 8, false, gray));
    QVERIFY(ui::LoadJpegImage(grayPath.toStdString(), image));
    QCOMPARE(image.format(), QImage::Format_Grayscale8);
    QCOMPARE(image.size(), QSize(64, 8));
    for (int block = 0; block < 8; ++block) {
        QVERIFY(qAbs(image.constScanLine(4)[block * 8 + 4] - block * 32) <= 3);
    }
}

void MonitorWindowTest::jpegRejectsBrokenFilesAndKeepsTheImage() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString shipped = QStringLiteral(KT_ASSETS_DIR "/Grafika/MODE_1.jpg");
    const QByteArray whole = ReadBytes(shipped);
    QVERIFY(whole.size() > 1000);
    const QString truncated = dir.filePath("truncated.jpg");
    WriteBytes(truncated, whole.left(whole.size() / 2));
    const QString headerOnly = dir.filePath("header.jpg");
    WriteBytes(headerOnly, whole.left(300));
    const QString text = dir.filePath("text.jpg");
    WriteBytes(text, "this is not a picture\n");
    const QString empty = dir.filePath("empty.jpg");
    WriteBytes(empty, QByteArray());

    const QString pipe = dir.filePath("pipe.jpg");  // would wait for a writer
    QCOMPARE(mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);

    QImage kept(3, 2, QImage::Format_RGB32);
    kept.fill(Qt::green);
    const QImage original = kept.copy();
    test::FakeWarnings log;
    for (const QString& path :
         {dir.filePath("missing.jpg"), truncated, headerOnly, text, empty, dir.path(), pipe}) {
        QVERIFY2(!ui::LoadJpegImage(path.toStdString(), kept, &log), qPrintable(path));
        QCOMPARE(kept, original);
    }
    // The folder and the pipe are refused and reported; the rest fail quietly.
    QCOMPARE(log.Lines().size(), size_t{2});
    QCOMPARE(log.Lines()[1],
             "warning: " + pipe.toStdString() + ": picture not loaded: not a regular file");
}

QTEST_MAIN(MonitorWindowTest)
#include "test_monitor_window.moc"
