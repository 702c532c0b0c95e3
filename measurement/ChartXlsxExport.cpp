#include "ChartXlsxExport.h"

#include <algorithm>
#include <cerrno>

#include "ChartTextExport.h"
#include "XlsxWorkbook.h"

namespace kt::measurement {

namespace {

lxw_worksheet* AddSheet(lxw_workbook* book, int number, lxw_format* bold) {
    const std::string name = number == 1 ? "Wykres" : "Wykres " + std::to_string(number);
    lxw_worksheet* sheet = workbook_add_worksheet(book, name.c_str());
    for (int s = 0; s < kSeriesCount; ++s) {
        const std::string title = kSeriesLooks[static_cast<size_t>(s)].title;
        const auto col = static_cast<lxw_col_t>(2 * s);
        worksheet_write_string(sheet, 0, col, (title + " X").c_str(), bold);
        worksheet_write_string(sheet, 0, col + 1, (title + " Y").c_str(), bold);
        worksheet_set_column(sheet, col, col + 1, title.size() + 4, nullptr);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    return sheet;
}

}  // namespace

int WriteChartXlsx(const std::string& path, const ChartStore& store, std::string& reason,
                   size_t rowsPerSheet) {
    if (rowsPerSheet == 0) rowsPerSheet = LXW_ROW_MAX - 1;
    size_t points = 0;
    for (int s = 0; s < kSeriesCount; ++s) points = std::max(points, store.Series(s).Size());
    int openError = 0;
    lxw_workbook* book = NewStreamingWorkbook(path, reason, openError);
    if (book == nullptr) return openError;
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    int sheetNumber = 1;
    lxw_worksheet* sheet = AddSheet(book, sheetNumber, bold);
    for (size_t i = 0; i < points; ++i) {
        if (i > 0 && i % rowsPerSheet == 0) sheet = AddSheet(book, ++sheetNumber, bold);
        const auto row = static_cast<lxw_row_t>(1 + i % rowsPerSheet);
        for (int s = 0; s < kSeriesCount; ++s) {
            const ChartSeries& series = store.Series(s);
            if (i >= series.Size()) continue;
            const auto col = static_cast<lxw_col_t>(2 * s);
            worksheet_write_number(sheet, row, col, series.X(i), nullptr);
            worksheet_write_number(sheet, row, col + 1, ShortestDecimal(series.Y(i)), nullptr);
        }
    }
    const lxw_error error = workbook_close(book);
    if (error == LXW_NO_ERROR) return 0;
    reason = lxw_strerror(error);
    return EIO;
}

}  // namespace kt::measurement
