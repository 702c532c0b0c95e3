// The chart's exports decoded back: BMP and PNG pixel for pixel against the chart on the
// screen, the JPEG through the program's libjpeg reader, the SVG as XML, the PDF's
// header and pages, the CSV and spreadsheet rows; then the file dialogs' names, a
// cancel, failures with their reasons, and the export of a chart emptied by a stop.
//
// With KT_SHOTS_DIR set, the exported JPEG is also saved there as a PNG picture.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <tuple>

#include "ChartExport.h"
#include "ChartTextExport.h"
#include "Dialogs.h"
#include "Fakes.h"
#include "JpegImage.h"
#include "QtDialogs.h"
#include "QtTranslations.h"
#include "widgets/ChartView.h"

using namespace kt::measurement;
using namespace kt::ui;

namespace {

std::string ReadFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t LittleEndian(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | static_cast<uint8_t>(bytes.at(at + static_cast<size_t>(i)));
    }
    return value;
}

// 35 measurements 0.1 s apart: channel 0 rising from 0 to 340, channel 2 flat at 270,
// PK1 switching every 5 points.
void Fill(ChartStore& store) {
    for (int i = 0; i < 35; ++i) {
        const bool on = (i / 5) % 2 == 1;
        store.AppendMeasurement({i * 0.1, {i * 10.f, 0, 270}, {true, false, true}, {on, !on}},
                                kOutputLinesAtStart[0], kOutputLinesAtStart[1]);
    }
}

// The chart as the screen shows it.
QImage OnScreen(ChartView& view) {
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Average difference per colour channel of two pictures of the same size.
double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row), q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

// Answers the save dialogs in turn (cancelling when out of answers) and keeps the
// requests and messages.
class ScriptedDialogs : public kt::test::FakeDialogs {
public:
    std::deque<std::optional<kt::device::SaveFileChoice>> answers;
    std::optional<kt::device::SaveFileChoice> AskSaveFileName(
        const kt::device::SaveFileRequest& request) override {
        saveRequests.push_back(request);
        std::optional<kt::device::SaveFileChoice> answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        return answer;
    }
    void Answer(const QString& path, int filter) {
        answers.push_back(kt::device::SaveFileChoice{path.toStdString(), filter});
    }
};

struct Chart {
    Chart() {
        Fill(store);
        view.resize(600, 400);
        view.setStore(&store);
    }
    ChartStore store;
    ChartView view;
};

}  // namespace

class ChartExportsTest : public QObject {
    Q_OBJECT

private slots:
    void BmpAndPngArePixelForPixelTheChartAsShown() {
        QTemporaryDir dir;
        Chart chart;
        chart.view.setSeriesShown(2, false);  // as shown: without the hidden series
        const QImage screen = OnScreen(chart.view);
        const ChartExportResult bmp = ExportChart(dir.filePath("wykres").toStdString(),
                                                  ChartExportFormat::Bmp, chart.view, chart.store);
        QVERIFY2(bmp.written(), bmp.reason.c_str());
        QCOMPARE(bmp.path, dir.filePath("wykres.bmp").toStdString());
        const std::string bytes = ReadFile(dir.filePath("wykres.bmp"));
        QCOMPARE(bytes.substr(0, 2), std::string("BM"));
        QCOMPARE(LittleEndian(bytes, 2, 4), uint32_t(bytes.size()));
        QCOMPARE(LittleEndian(bytes, 18, 4), 600u);  // width
        QCOMPARE(LittleEndian(bytes, 22, 4), 400u);  // height, rows stored bottom-up
        QCOMPARE(LittleEndian(bytes, 28, 2), 24u);   // bits per pixel
        QCOMPARE(QImage::fromData(QByteArray::fromStdString(bytes), "BMP")
                     .convertToFormat(QImage::Format_RGB32),
                 screen);

        QVERIFY(ExportChart(dir.filePath("w.png").toStdString(), ChartExportFormat::Png, chart.view,
                            chart.store)
                    .written());
        const QImage png(dir.filePath("w.png"), "PNG");
        QCOMPARE(png.convertToFormat(QImage::Format_RGB32), screen);
        // The hidden series really is left out: showing it changes the picture.
        chart.view.setSeriesShown(2, true);
        QVERIFY(OnScreen(chart.view) != screen);
    }

    void JpegDecodesToTheChartThroughTheProgramsReader() {
        QTemporaryDir dir;
        Chart chart;
        const QImage screen = OnScreen(chart.view);
        const ChartExportResult jpeg = ExportChart(
            dir.filePath("w.jpg").toStdString(), ChartExportFormat::Jpeg, chart.view, chart.store);
        QVERIFY2(jpeg.written(), jpeg.reason.c_str());
        const std::string bytes = ReadFile(dir.filePath("w.jpg"));
        QCOMPARE(bytes.substr(0, 3), std::string("\xFF\xD8\xFF"));
        QImage decoded;
        QVERIFY(LoadJpegImage(jpeg.path, decoded));
        QCOMPARE(decoded.size(), QSize(600, 400));
        // Close to the chart (a chart without points differs by about 5 on average), and
        // the thin red curve keeps its colour at full colour resolution.
        QVERIFY2(MeanDifference(decoded, screen) < 2.0,
                 QByteArray::number(MeanDifference(decoded, screen)));
        int red = 0, stillRed = 0;
        for (int y = 0; y < screen.height(); ++y) {
            for (int x = 0; x < screen.width(); ++x) {
                if (screen.pixelColor(x, y) != QColor(255, 0, 0)) continue;
                const QColor d = decoded.pixelColor(x, y);
                ++red;
                stillRed += d.red() > 160 && d.green() < 90 && d.blue() < 90;
            }
        }
        QVERIFY(red > 500);
        QVERIFY2(stillRed >= red * 95 / 100,
                 qPrintable(QString("%1 of %2").arg(stillRed).arg(red)));
        if (const QByteArray shots = qgetenv("KT_SHOTS_DIR"); !shots.isEmpty()) {
            QDir().mkpath(QString::fromLocal8Bit(shots));
            QVERIFY(decoded.save(
                QDir(QString::fromLocal8Bit(shots)).filePath("chart-export-jpeg.png")));
        }
    }

    void SvgIsWellFormedXmlOfTheChart() {
        QTemporaryDir dir;
        Chart chart;
        QVERIFY(ExportChart(dir.filePath("w.svg").toStdString(), ChartExportFormat::Svg, chart.view,
                            chart.store)
                    .written());
        QXmlStreamReader xml(QByteArray::fromStdString(ReadFile(dir.filePath("w.svg"))));
        QString viewBox, texts;
        QSet<QString> strokes;
        int lines = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) continue;
            const auto attributes = xml.attributes();
            if (xml.name() == QLatin1String("svg"))
                viewBox = attributes.value("viewBox").toString();
            if (xml.name() == QLatin1String("g")) strokes << attributes.value("stroke").toString();
            if (xml.name() == QLatin1String("polyline") || xml.name() == QLatin1String("path")) {
                ++lines;
            }
            if (xml.name() == QLatin1String("text")) texts += xml.readElementText() + "|";
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(viewBox, QStringLiteral("0 0 600 400"));
        QVERIFY(lines > 10);
        for (const char* colour : {"#ff0000", "#00ffff", "#ffffff", "#ff8000"}) {
            QVERIFY2(strokes.contains(colour), colour);
        }
        QVERIFY2(texts.contains("czas [s]") && texts.contains(QStringLiteral("kąt [ °]")) &&
                     texts.contains("Czujnik 2") && texts.contains("Page 1 of 1"),
                 qPrintable(texts));
    }

    void PdfIsOnePageTheChartsSize() {
        QTemporaryDir dir;
        Chart chart;
        QVERIFY(ExportChart(dir.filePath("w.pdf").toStdString(), ChartExportFormat::Pdf, chart.view,
                            chart.store)
                    .written());
        const QByteArray pdf = QByteArray::fromStdString(ReadFile(dir.filePath("w.pdf")));
        QVERIFY(pdf.startsWith("%PDF-1."));
        QVERIFY(pdf.trimmed().endsWith("%%EOF"));
        const QString text = QString::fromLatin1(pdf);
        QCOMPARE(text.count(QRegularExpression("/Type\\s*/Page(?![a-zA-Z])")), 1);
        QVERIFY(text.contains(QRegularExpression("/Type\\s*/Pages\\b[^>]*/Count\\s+1\\b")) ||
                text.contains(QRegularExpression("/Count\\s+1\\b[^>]*/Type\\s*/Pages")));
        const auto box =
            QRegularExpression("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)").match(text);
        QVERIFY(box.hasMatch());
        QCOMPARE(qRound(box.captured(1).toDouble()), 600);
        QCOMPARE(qRound(box.captured(2).toDouble()), 400);
    }

    void DataExportsHoldEveryPoint() {
        QTemporaryDir dir;
        Chart chart;
        chart.view.setSeriesShown(0, false);  // hidden or not, every series is written
        chart.view.setPaging({10, 2});
        for (const auto& [name, format, separator] :
             {std::tuple{"w.xls", ChartExportFormat::Spreadsheet, '\t'},
              std::tuple{"w.csv", ChartExportFormat::Csv, ','}}) {
            QVERIFY(ExportChart(dir.filePath(name).toStdString(), format, chart.view, chart.store)
                        .written());
            const QList<QByteArray> lines =
                QByteArray::fromStdString(ReadFile(dir.filePath(name))).split('\n');
            QCOMPARE(lines.size(), 1 + 4 * 35 + 1);  // header, points, nothing after the last CR LF
            QCOMPARE(lines.last(), QByteArray());
            QCOMPARE(lines[0],
                     QByteArray("Seria,Indeks,X,Y,Etykieta,Kolor\r").replace(',', separator));
            const QList<QByteArray> row =
                lines[1 + 35 + 7].chopped(1).split(separator);  // Czujnik 2, point 7
            const QList<QByteArray> expected =
                QByteArray(separator == ',' ? "Czujnik 2,7,0.7,270,,#00FFFF"
                                            : "Czujnik 2\t7\t0,7\t270\t\t#00FFFF")
                    .split(separator);
            QCOMPARE(row, expected);
            const QList<QByteArray> pk1 =
                lines[1 + 70 + 5].chopped(1).split(separator);  // on from point 5
            QCOMPARE(pk1[0], QByteArray("PK1"));
            QCOMPARE(pk1[3], QByteArray("50"));
        }
    }

    // Start, three answers, stop: the store is empty, and every export shows an empty chart.
    void ExportAfterStopHoldsNoPoints() {
        QTemporaryDir dir;
        Chart chart;
        ChartView fresh;
        fresh.resize(chart.view.size());
        ChartStore none;
        fresh.setStore(&none);
        chart.store.Clear();
        for (int i = 0; i < 3; ++i) {
            chart.store.AppendMeasurement({i * 0.1, {10, 20, 30}, {true, true, true}, {}}, {}, {});
        }
        const QImage withPoints = OnScreen(chart.view);
        chart.store.Clear();  // stop
        QVERIFY(ExportChart(dir.filePath("w.bmp").toStdString(), ChartExportFormat::Bmp, chart.view,
                            chart.store)
                    .written());
        const QImage exported = QImage(dir.filePath("w.bmp")).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(exported, OnScreen(fresh));
        QVERIFY(exported != withPoints);
        QVERIFY(ExportChart(dir.filePath("w.xls").toStdString(), ChartExportFormat::Spreadsheet,
                            chart.view, chart.store)
                    .written());
        QCOMPARE(ReadFile(dir.filePath("w.xls")),
                 std::string("Seria\tIndeks\tX\tY\tEtykieta\tKolor\r\n"));
    }

    // The name typed and the filter chosen give the file and its format.
    void NamesGetTheDialogsExtension() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("folder.v2"));
        Chart chart;
        ScriptedDialogs dialogs;
        ChartExporter exporter(chart.view, chart.store, dialogs);
        using F = ChartExportFormat;
        struct Case {
            const char* typed;
            int filter;  // in the general dialog: PNG, SVG, PDF, CSV, BMP, JPEG, Excel, xlsx
            bool general;
            F format;
            const char* written;
        };
        const Case cases[] = {
            {"a", 0, false, F::Bmp, "a.bmp"},
            {"b.BMP", 0, false, F::Bmp, "b.BMP"},
            {"folder.v2/c", 0, false, F::Bmp, "folder.v2/c.bmp"},
            {"d.dat", 0, false, F::Bmp, "d.dat"},  // a name with its own extension keeps it
            {"e", 2, true, F::Pdf, "e.pdf"},
            {"f.PNG", 3, true, F::Png, "f.PNG"},  // a known extension wins over the filter
            {"g.jpeg", 0, true, F::Jpeg, "g.jpeg"},
            {"h.xls", 0, true, F::Spreadsheet, "h.xls"},
            {"i.dat", 1, true, F::Svg, "i.dat"},
            {"j", 7, true, F::Xlsx, "j.xlsx"},
        };
        for (const Case& c : cases) {
            dialogs.Answer(dir.filePath(c.typed), c.filter);
            const ChartExportResult r =
                c.general ? exporter.ExportInAnyFormat() : exporter.SaveBmp();
            QVERIFY2(r.written(), c.typed);
            QCOMPARE(r.path, dir.filePath(c.written).toStdString());
            QCOMPARE(int(r.format), int(c.format));
            std::string expected, reason;
            QVERIFY(RenderChart(chart.view, chart.store, c.format, expected, reason) ||
                    c.format == F::Xlsx);
            const std::string bytes = ReadFile(dir.filePath(c.written));
            if (c.format == F::Pdf) {  // carries the time it was made
                QVERIFY(bytes.starts_with("%PDF-"));
            } else if (c.format == F::Xlsx) {  // read back in the unit tests
                QVERIFY(bytes.starts_with("PK\x03\x04"));
            } else {
                QVERIFY2(bytes == expected, c.typed);
            }
        }
        QVERIFY(dialogs.messages.empty());
        QCOMPARE(dialogs.saveRequests[0].filter, std::string("plik bmp | *.bmp"));
        QCOMPARE(dialogs.saveRequests[4].filter,
                 std::string("plik png|*.png|plik svg|*.svg|plik pdf|*.pdf|plik csv|*.csv|"
                             "plik bmp | *.bmp|plik jpg|*.jpg;*.jpeg|Excel | *.xls|"
                             "Excel 2007+|*.xlsx"));
    }

    void CancelWritesNothingAndFailuresAreShownWithTheReason() {
        QTemporaryDir dir;
        Chart chart;
        ScriptedDialogs dialogs;
        ChartExporter exporter(chart.view, chart.store, dialogs);
        // Cancelled, then a folder that does not exist.
        QCOMPARE(exporter.SaveSpreadsheet().status, ChartExportResult::Status::Cancelled);
        dialogs.Answer(dir.filePath("missing/w"), 0);
        const ChartExportResult missing = exporter.SaveSpreadsheet();
        QCOMPARE(missing.status, ChartExportResult::Status::Failed);
        QCOMPARE(missing.error, ENOENT);
        QCOMPARE(dialogs.messages.size(), size_t(1));
        QCOMPARE(dialogs.messages[0], "KT210V-PC|Nie udało się zapisać pliku \"" +
                                          dir.filePath("missing/w.xls").toStdString() + "\":\n" +
                                          std::strerror(ENOENT));

        // A disk failing on sync: the old file stays whole and no temporary file is left.
        const QString old = dir.filePath("w.jpg");
        { std::ofstream(old.toStdString()) << "old"; }
        FileSystemCalls failing;
        failing.fsync = [](int) {
            errno = EIO;
            return -1;
        };
        exporter.setFileSystemCalls(failing);
        dialogs.Answer(old, 0);  // the general dialog that follows is cancelled
        const auto both = exporter.SaveJpegThenExport();
        QCOMPARE(both.jpeg.status, ChartExportResult::Status::Failed);
        QCOMPARE(both.jpeg.error, EIO);
        QCOMPARE(both.other.status, ChartExportResult::Status::Cancelled);
        QCOMPARE(dialogs.saveRequests.size(), size_t(4));
        QCOMPARE(ReadFile(old), std::string("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"w.jpg"});
        QCOMPARE(dialogs.messages.size(), size_t(2));

        std::string bytes, reason;
        QVERIFY(!EncodeJpeg(QImage(), 90, bytes, reason));
        QVERIFY(!EncodeJpeg(QImage(70000, 1, QImage::Format_RGB32), 90, bytes, reason));
        QVERIFY2(reason.find("65500") != std::string::npos, reason.c_str());
    }

    // The data as text, one line per point under a line of titles: a file of more lines
    // than a spreadsheet program reads is written only after a Yes to the question, in
    // the spreadsheet button and in the general dialog alike.
    void DataPastTheSpreadsheetRowLimitIsWrittenOnlyAfterAYes() {
        QTemporaryDir dir;
        ChartStore store;
        for (size_t i = 1; i < kSpreadsheetRowLimit; ++i) store.Series(0).Add(i * 0.01, 1);
        ChartView view;
        ScriptedDialogs dialogs;
        ChartExporter exporter(view, store, dialogs);
        FileSystemCalls full;  // a full disk: a write is tried, and fails at once
        full.write = [](int, const void*, size_t) -> ssize_t {
            errno = ENOSPC;
            return -1;
        };
        exporter.setFileSystemCalls(full);
        using Status = ChartExportResult::Status;
        struct Case {
            int points;  // added first
            bool yes;
            bool anyFormat;
            Status status;
        };
        const Case cases[] = {{0, false, false, Status::Failed},  // at the limit: no question
                              {1, false, false, Status::Cancelled},
                              {0, true, false, Status::Failed},
                              {0, false, true, Status::Cancelled}};
        for (const Case& c : cases) {
            for (int i = 0; i < c.points; ++i) store.Series(4).Add(0, 0);
            dialogs.answerYes = c.yes;
            dialogs.Answer(dir.filePath(c.anyFormat ? "w.csv" : "w.xls"), 0);
            const ChartExportResult result =
                c.anyFormat ? exporter.ExportInAnyFormat() : exporter.SaveSpreadsheet();
            QCOMPARE(result.status, c.status);
        }
        QCOMPARE(dialogs.questions.size(), size_t(3));
        QVERIFY(dialogs.questions[0].find("1048577") != std::string::npos);
        QVERIFY(dialogs.questions[0].find("1048576") != std::string::npos);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    // The toolkit's dialog with the export filters: the filter's extension is added
    // before the file is named, and the filter chosen comes back.
    void FileDialogAddsTheFiltersExtension() {
        QTemporaryDir dir;
        QtDialogs dialogs;
        auto answerWith = [](const QString& file, int filter) {
            QTimer::singleShot(0, [=] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog != nullptr);
                if (filter >= 0) {
                    dialog->selectNameFilter(dialog->nameFilters().at(filter));
                    // What the filter box reports when the operator picks an entry.
                    emit dialog->filterSelected(dialog->nameFilters().at(filter));
                    dialog->selectFile(file);
                    static_cast<QDialog*>(dialog)->accept();
                } else {
                    static_cast<QDialog*>(dialog)->reject();
                }
            });
        };
        using F = ChartExportFormat;
        answerWith(dir.filePath("w"), 1);
        auto answer = dialogs.AskSaveFileName({FilterOf(F::Png) + "|" + FilterOf(F::Jpeg), 0, ""});
        QVERIFY(answer.has_value());
        QCOMPARE(answer->fileName, dir.filePath("w.jpg").toStdString());
        QCOMPARE(answer->filterIndex, 1);
        answerWith(dir.filePath("w"), -1);
        QVERIFY(!dialogs.AskSaveFileName({FilterOf(F::Bmp), 0, ""}).has_value());
    }

    // With Qt's Polish translation the toolkit's own buttons and dialog texts are Polish.
    void ToolkitTextsArePolish() {
        std::string missing;
        const std::unique_ptr<QTranslator> polish = InstallQtTranslations(missing);
        QVERIFY2(polish != nullptr, missing.c_str());
        QtDialogs dialogs;
        QStringList seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            for (auto* b : box->buttons()) seen << b->text();
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(!dialogs.AskYesNo("?"));
        QCOMPARE(seen, QStringList({"&Tak", "&Nie"}));
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            seen.clear();
            for (auto* label : dialog->findChildren<QLabel*>()) seen << label->text();
            static_cast<QDialog*>(dialog)->reject();
        });
        QVERIFY(!dialogs.AskSaveFileName({FilterOf(ChartExportFormat::Bmp), 0, ""}));
        QVERIFY2(seen.contains(QStringLiteral("Szukaj w:")), qPrintable(seen.join('|')));
        QCoreApplication::removeTranslator(polish.get());
    }
};

QTEST_MAIN(ChartExportsTest)
#include "test_chart_exports.moc"
