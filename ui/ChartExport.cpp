#include "ChartExport.h"

#include <strings.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QWidget>
#include <array>
#include <optional>

#include "ChartTextExport.h"
#include "ChartXlsxExport.h"
#include "Dialogs.h"
#include "JpegImage.h"

namespace kt::ui {

using measurement::ChartStore;

namespace {

struct FormatInfo {
    ChartExportFormat format;
    const char* extension;
    const char* filter;
};

constexpr std::array<FormatInfo, 8> kFormats{{
    {ChartExportFormat::Bmp, ".bmp", "plik bmp | *.bmp"},
    {ChartExportFormat::Jpeg, ".jpg", "plik jpg|*.jpg;*.jpeg"},
    {ChartExportFormat::Png, ".png", "plik png|*.png"},
    {ChartExportFormat::Svg, ".svg", "plik svg|*.svg"},
    {ChartExportFormat::Pdf, ".pdf", "plik pdf|*.pdf"},
    {ChartExportFormat::Csv, ".csv", "plik csv|*.csv"},
    {ChartExportFormat::Spreadsheet, ".xls", "Excel | *.xls"},
    {ChartExportFormat::Xlsx, ".xlsx", "Excel 2007+|*.xlsx"},
}};

const FormatInfo& InfoOf(ChartExportFormat format) {
    for (const FormatInfo& info : kFormats) {
        if (info.format == format) return info;
    }
    return kFormats[0];
}

// The extension of the name's last component, from its last "." on ("" when none).
std::string NameExtension(const std::string& name) {
    const size_t slash = name.rfind('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < start) return {};
    return name.substr(dot);
}

// The wait cursor while an export is built and written.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The chart as it is painted on the screen, pixel for pixel.
QImage ChartPicture(QWidget& chart) {
    QImage image(chart.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    chart.render(&image);
    return image;
}

bool EncodeWithQt(const QImage& image, const char* format, std::string& bytes,
                  std::string& reason) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format)) {
        reason = std::string("nie można zakodować obrazu ") + format;
        return false;
    }
    bytes.assign(buffer.data().constData(), static_cast<size_t>(buffer.data().size()));
    return true;
}

// Vector pictures: the chart's painting recorded by a painter on `device`, one chart
// pixel to one unit of the picture.
bool PaintOn(QPaintDevice& device, QWidget& chart, double scale, std::string& reason) {
    QPainter painter;
    if (!painter.begin(&device)) {
        reason = "nie można rozpocząć rysowania";
        return false;
    }
    painter.scale(scale, scale);
    chart.render(&painter);
    return painter.end();
}

bool RenderSvg(QWidget& chart, std::string& bytes, std::string& reason) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(chart.size());
    svg.setViewBox(QRect(QPoint(0, 0), chart.size()));
    svg.setTitle(QStringLiteral("Wykres"));
    if (!PaintOn(svg, chart, 1.0, reason)) return false;
    bytes.assign(buffer.data().constData(), static_cast<size_t>(buffer.data().size()));
    return true;
}

// One page exactly the chart's size, a chart pixel to a point (1/72 inch).
bool RenderPdf(QWidget& chart, std::string& bytes, std::string& reason) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(QStringLiteral("KT210V-PC"));
        pdf.setTitle(QStringLiteral("Wykres"));
        const QPageSize page(QSizeF(chart.size()), QPageSize::Point, QString(),
                             QPageSize::ExactMatch);
        pdf.setPageLayout(QPageLayout(page, QPageLayout::Portrait, QMarginsF()));
        if (!PaintOn(pdf, chart, pdf.resolution() / 72.0, reason)) return false;
    }  // the writer finishes the file when it goes
    bytes.assign(buffer.data().constData(), static_cast<size_t>(buffer.data().size()));
    return true;
}

}  // namespace

const char* ExtensionOf(ChartExportFormat format) {
    return InfoOf(format).extension;
}

std::string FilterOf(ChartExportFormat format) {
    return InfoOf(format).filter;
}

ChartExportFormat FormatOfName(const std::string& name, ChartExportFormat otherwise) {
    const std::string extension = NameExtension(name);
    if (strcasecmp(extension.c_str(), ".jpeg") == 0) return ChartExportFormat::Jpeg;
    for (const FormatInfo& info : kFormats) {
        if (strcasecmp(extension.c_str(), info.extension) == 0) return info.format;
    }
    return otherwise;
}

bool RenderChart(QWidget& chart, const ChartStore& store, ChartExportFormat format,
                 std::string& bytes, std::string& reason) {
    using measurement::ChartTextLayout;
    switch (format) {
        case ChartExportFormat::Bmp:
            return EncodeWithQt(ChartPicture(chart), "BMP", bytes, reason);
        case ChartExportFormat::Png:
            return EncodeWithQt(ChartPicture(chart), "PNG", bytes, reason);
        case ChartExportFormat::Jpeg:
            return EncodeJpeg(ChartPicture(chart), kJpegExportQuality, bytes, reason);
        case ChartExportFormat::Svg:
            return RenderSvg(chart, bytes, reason);
        case ChartExportFormat::Pdf:
            return RenderPdf(chart, bytes, reason);
        case ChartExportFormat::Csv:
            return measurement::BuildChartText(store, ChartTextLayout::Csv, bytes, reason);
        case ChartExportFormat::Spreadsheet:
            return measurement::BuildChartText(store, ChartTextLayout::Spreadsheet, bytes, reason);
        case ChartExportFormat::Xlsx:
            reason = "a workbook is written by name";
            return false;
    }
    return false;
}

ChartExportResult ExportChart(const std::string& name, ChartExportFormat format, QWidget& chart,
                              const ChartStore& store, const measurement::FileSystemCalls& calls) {
    using Status = ChartExportResult::Status;
    ChartExportResult result;
    result.format = format;
    if (name.empty()) return result;
    result.path = NameExtension(name).empty() ? name + ExtensionOf(format) : name;
    result.status = Status::Failed;
    if (format == ChartExportFormat::Xlsx) {
        const measurement::FileFiller fill = [&](int, const std::string& tempPath,
                                                 std::string& reason) {
            return measurement::WriteChartXlsx(tempPath, store, reason);
        };
        return measurement::WriteAndReport(result, fill, calls);
    }
    if (format == ChartExportFormat::Csv || format == ChartExportFormat::Spreadsheet) {
        // Millions of points make a file of hundreds of megabytes: written as it is made.
        measurement::Windows1250Encoder encoder;
        if (!encoder.ok()) {
            result.reason = encoder.error();
            return result;
        }
        const auto layout = format == ChartExportFormat::Csv
                                ? measurement::ChartTextLayout::Csv
                                : measurement::ChartTextLayout::Spreadsheet;
        const measurement::FileProducer produce = [&](const measurement::FileWriter& write) {
            measurement::WriteChartText(store, layout, encoder, write);
        };
        return measurement::WriteAndReport(result, produce, calls);
    }
    std::string bytes;
    if (!RenderChart(chart, store, format, bytes, result.reason)) return result;
    return measurement::WriteAndReport(result, bytes, calls);
}

std::string ExportFailureMessage(const ChartExportResult& result) {
    return measurement::SaveFailureText(result.path, result.reason);
}

ChartExporter::ChartExporter(QWidget& chart, const ChartStore& store, device::Dialogs& dialogs)
    : chart_(chart), store_(store), dialogs_(dialogs) {}

ChartExportResult ChartExporter::AskAndWrite(const std::vector<ChartExportFormat>& formats,
                                             bool formatFromName) {
    device::SaveFileRequest request;
    for (ChartExportFormat format : formats) {
        if (!request.filter.empty()) request.filter += '|';
        request.filter += FilterOf(format);
    }
    const std::optional<device::SaveFileChoice> choice = dialogs_.AskSaveFileName(request);
    if (!choice) return {};
    const auto chosen = static_cast<size_t>(choice->filterIndex);
    ChartExportFormat format = formats.at(chosen < formats.size() ? chosen : 0);
    if (formatFromName) format = FormatOfName(choice->fileName, format);
    // The data as text is read into spreadsheet programs, which stop at their last row.
    if (format == ChartExportFormat::Csv || format == ChartExportFormat::Spreadsheet) {
        const size_t lines = measurement::ChartTextLines(store_);
        if (lines > measurement::kSpreadsheetRowLimit &&
            !dialogs_.AskYesNo(measurement::RowLimitQuestion(lines))) {
            return {};
        }
    }
    ChartExportResult result;
    {
        const WaitCursor busy;  // a long recording takes a moment to write
        result = ExportChart(choice->fileName, format, chart_, store_, calls_);
    }
    if (result.status == ChartExportResult::Status::Failed) {
        dialogs_.ShowPlainMessage(ExportFailureMessage(result));
    }
    return result;
}

ChartExportResult ChartExporter::SaveBmp() {
    return AskAndWrite({ChartExportFormat::Bmp}, false);
}

ChartExportResult ChartExporter::SaveJpeg() {
    return AskAndWrite({ChartExportFormat::Jpeg}, false);
}

ChartExportResult ChartExporter::ExportInAnyFormat() {
    using F = ChartExportFormat;
    return AskAndWrite({F::Png, F::Svg, F::Pdf, F::Csv, F::Bmp, F::Jpeg, F::Spreadsheet, F::Xlsx},
                       true);
}

ChartExporter::JpegThenExport ChartExporter::SaveJpegThenExport() {
    JpegThenExport results;
    results.jpeg = SaveJpeg();
    results.other = ExportInAnyFormat();
    return results;
}

ChartExportResult ChartExporter::SaveSpreadsheet() {
    return AskAndWrite({ChartExportFormat::Spreadsheet}, false);
}

}  // namespace kt::ui
