// Exports of the "Wykres" tab: the chart as a BMP, JPEG, PNG, SVG or PDF picture,
// painted by the chart widget's own painting code as it is shown (page, zoom, hidden
// series and size), and its data as CSV or as a spreadsheet.
//
// Every export is written with WriteFileAtomically (temporary file, sync, rename), so a
// failed export leaves an existing file as it was; pictures are built in memory first, the
// data as text is written as it is made. A failure comes
// back with the system's reason; a cancelled dialog writes nothing; a name typed without
// an extension gets the extension of the format chosen in the dialog.
#pragma once

#include <string>
#include <vector>

#include "AtomicFile.h"
#include "ChartStore.h"

class QWidget;

namespace kt::device {
class Dialogs;
}

namespace kt::ui {

enum class ChartExportFormat { Bmp, Jpeg, Png, Svg, Pdf, Csv, Spreadsheet, Xlsx };

// ".bmp", ".jpg", ".png", ".svg", ".pdf", ".csv", ".xls".
const char* ExtensionOf(ChartExportFormat format);
// The save dialog's filter entry as a description and patterns after a bar, e.g.
// "plik bmp|*.bmp" (shown as "plik bmp (*.bmp)") or "Excel|*.xls".
std::string FilterOf(ChartExportFormat format);
// The format a file name's extension stands for (any letter case, ".jpeg" too), or
// `otherwise` when the name has no extension or one of no export format.
ChartExportFormat FormatOfName(const std::string& name, ChartExportFormat otherwise);

// The bytes of an export. Pictures show `chart` as it is painted now, at its size; the
// CSV and the spreadsheet hold every point of every series of `store`. Fails (false,
// with the reason) when an encoder cannot produce the format.
bool RenderChart(QWidget& chart, const measurement::ChartStore& store, ChartExportFormat format,
                 std::string& bytes, std::string& reason);

struct ChartExportResult {
    enum class Status { Written, Cancelled, Failed };
    Status status = Status::Cancelled;
    ChartExportFormat format = ChartExportFormat::Bmp;
    std::string path;    // the file written, or that could not be written
    int error = 0;       // errno of a failed write; 0 when encoding failed
    std::string reason;  // why nothing was written (Failed only)
    bool written() const { return status == Status::Written; }
};

// Writes the export to `name` (given the format's extension when it has none). An empty
// name writes nothing and reports Cancelled.
ChartExportResult ExportChart(const std::string& name, ChartExportFormat format, QWidget& chart,
                              const measurement::ChartStore& store,
                              const measurement::FileSystemCalls& calls = {});

// The text of the message box for a failed export.
std::string ExportFailureMessage(const ChartExportResult& result);

// The export buttons of the chart tab. Each asks for a file through the save dialog of
// `dialogs`, writes it, shows a failure there too and returns what happened.
class ChartExporter {
public:
    ChartExporter(QWidget& chart, const measurement::ChartStore& store, device::Dialogs& dialogs);

    // BitBtn10 "   Zapisz jako bmp...".
    ChartExportResult SaveBmp();
    // The JPEG save of BitBtn12 "    Zapisz jako jpg...".
    ChartExportResult SaveJpeg();
    // The general export dialog: any format, picked by the extension typed or the filter.
    ChartExportResult ExportInAnyFormat();
    // BitBtn12: the JPEG save, then the general export dialog (also after a cancel).
    struct JpegThenExport {
        ChartExportResult jpeg;
        ChartExportResult other;
    };
    JpegThenExport SaveJpegThenExport();
    // BitBtn11 "  Zapisz jako excel...". The data as text (here and in the general export
    // dialog) asks first, through the dialogs' Yes / No question, whether a file of more
    // lines than a spreadsheet program reads is to be written all the same.
    ChartExportResult SaveSpreadsheet();

    // The system calls the writes use (tests inject faults).
    void setFileSystemCalls(const measurement::FileSystemCalls& calls) { calls_ = calls; }

private:
    // Offers `formats` (the first one selected); with `formatFromName` a known
    // extension typed picks the format, otherwise the filter does.
    ChartExportResult AskAndWrite(const std::vector<ChartExportFormat>& formats,
                                  bool formatFromName);

    QWidget& chart_;
    const measurement::ChartStore& store_;
    device::Dialogs& dialogs_;
    measurement::FileSystemCalls calls_;
};

}  // namespace kt::ui
