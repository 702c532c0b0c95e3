#include <algorithm>
#include <cerrno>

#include "MeasurementSpreadsheet.h"
#include "XlsxWorkbook.h"

namespace kt::measurement {

namespace {

// Rows of a sheet; a longer table continues on further sheets under the same titles.
constexpr lxw_row_t kSheetRows = LXW_ROW_MAX;

// The cell formats of the data columns: the table's decimals, the registration colours.
struct ColumnFormats {
    std::vector<lxw_format*> data;
    lxw_format* title = nullptr;
};

uint32_t FillColour(CellBackground background) {
    const Rgb c = ColourOf(background);
    return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
}

ColumnFormats MakeFormats(lxw_workbook* book, const RegistrationTable& table,
                          const std::vector<SheetColumn>& columns) {
    ColumnFormats formats;
    formats.title = workbook_add_format(book);
    format_set_bold(formats.title);
    for (const SheetColumn& c : columns) {
        lxw_format* format = workbook_add_format(book);
        if (c.kind == SheetColumn::Kind::Date) format_set_num_format(format, "yyyy-mm-dd");
        if (c.kind == SheetColumn::Kind::Time) format_set_num_format(format, "hh:mm:ss");
        if (c.kind == SheetColumn::Kind::Value) {
            const int decimals = c.tableColumn == 1 ? 3 : (c.tableColumn <= 4 ? 4 : 0);
            format_set_num_format(format, decimals == 3 ? "0.000" : decimals == 4 ? "0.0000" : "0");
            if (table.boxes().colour && c.tableColumn >= 2) {
                format_set_bg_color(format, FillColour(table.Background(1, c.tableColumn)));
                format_set_pattern(format, LXW_PATTERN_SOLID);
            }
        }
        formats.data.push_back(format);
    }
    return formats;
}

void WriteStampCell(lxw_worksheet* sheet, lxw_row_t r, lxw_col_t col,
                    const RegistrationTable& table, int row, const SheetColumn& c,
                    lxw_format* format, LocalStampCache& stamps) {
    int64_t wallTime = 0;
    const StampKind kind = table.Stamp(row, wallTime);
    const bool both = kind == StampKind::DateAndTime;
    const LocalStamp& s = stamps.Of(wallTime);
    lxw_datetime when{};
    if (c.kind == SheetColumn::Kind::Date && (both || kind == StampKind::Date)) {
        when = {s.year, s.month, s.day, 0, 0, 0};
    } else if (c.kind == SheetColumn::Kind::Time && (both || kind == StampKind::Time)) {
        when = {0, 0, 0, s.hour, s.minute, static_cast<double>(s.second)};  // a time of day
    } else {
        return;
    }
    worksheet_write_datetime(sheet, r, col, &when, format);
}

void WriteDataRow(lxw_worksheet* sheet, lxw_row_t r, const RegistrationTable& table, int row,
                  const std::vector<SheetColumn>& columns, const ColumnFormats& formats,
                  LocalStampCache& stamps) {
    for (size_t i = 0; i < columns.size(); ++i) {
        const SheetColumn& c = columns[i];
        const auto col = static_cast<lxw_col_t>(i);
        if (c.kind == SheetColumn::Kind::SampleNumber) {
            if (table.HasSampleNumber(row)) worksheet_write_number(sheet, r, col, row - 1, nullptr);
        } else if (c.kind == SheetColumn::Kind::Value) {
            double value = 0;
            int decimals = 0;
            if (table.DataValue(row, c.tableColumn, value, decimals) ==
                RegistrationTable::CellValue::Number) {
                worksheet_write_number(sheet, r, col, value, formats.data[i]);
            }
        } else {
            WriteStampCell(sheet, r, col, table, row, c, formats.data[i], stamps);
        }
    }
}

// The description of the measurement as label/value rows; returns the next free row.
lxw_row_t WriteDescription(lxw_worksheet* sheet, const MeasurementFileInput& in, int samples) {
    lxw_row_t r = 0;
    auto text = [&](const char* label, const std::string& value) {
        worksheet_write_string(sheet, r, 0, label, nullptr);
        worksheet_write_string(sheet, r++, 1, value.c_str(), nullptr);
    };
    auto number = [&](const char* label, double value) {
        worksheet_write_string(sheet, r, 0, label, nullptr);
        worksheet_write_number(sheet, r++, 1, value, nullptr);
    };
    text("typ urządzenia", in.typeName);
    text("data pomiaru", in.dateText);
    text("godzina pomiaru", in.timeText);
    number("czas trwania pomiaru [s]", in.duration);
    number("Ilosc próbek", samples);
    if (in.realTime) {
        text("Częstotliwość próbkowania", "real time");
    } else {
        number("Okres próbkowania [ms]", static_cast<double>(in.periodMs));
        if (in.periodMs > 0) {
            number("Częstotliwość próbkowania [próbek/sek]",
                   1000.0 / static_cast<double>(in.periodMs));
        }
    }
    return r + 1;  // an empty row before the titles
}

lxw_row_t WriteTitles(lxw_worksheet* sheet, lxw_row_t r, const std::vector<SheetColumn>& columns,
                      const ColumnFormats& formats) {
    for (size_t i = 0; i < columns.size(); ++i) {
        const auto col = static_cast<lxw_col_t>(i);
        const bool stamp = columns[i].kind == SheetColumn::Kind::Date ||
                           columns[i].kind == SheetColumn::Kind::Time;
        const double width = std::max<double>(columns[i].title.size() + 2, stamp ? 12 : 8);
        worksheet_set_column(sheet, col, col, width, nullptr);
        worksheet_write_string(sheet, r, col, columns[i].title.c_str(), formats.title);
    }
    worksheet_freeze_panes(sheet, r + 1, 0);
    return r + 1;
}

std::string SheetName(int sheet) {
    return sheet == 1 ? "Pomiar" : "Pomiar " + std::to_string(sheet);
}

}  // namespace

int WriteMeasurementXlsx(const std::string& path, const RegistrationTable& table,
                         const MeasurementFileInput& input, std::string& reason) {
    const int rowCount = std::clamp(input.rowCount, 2, table.RowCount());
    const std::vector<SheetColumn> columns =
        SheetColumns(table, rowCount, ChannelsToWrite(table, input));
    int openError = 0;
    lxw_workbook* book = NewStreamingWorkbook(path, reason, openError);
    if (book == nullptr) return openError;
    const ColumnFormats formats = MakeFormats(book, table, columns);
    int sheetNumber = 1;
    lxw_worksheet* sheet = workbook_add_worksheet(book, SheetName(sheetNumber).c_str());
    lxw_row_t r = WriteDescription(sheet, input, rowCount - 1);
    r = WriteTitles(sheet, r, columns, formats);
    LocalStampCache stamps;
    for (int row = 1; row < rowCount; ++row, ++r) {
        if (r == kSheetRows) {
            sheet = workbook_add_worksheet(book, SheetName(++sheetNumber).c_str());
            r = WriteTitles(sheet, 0, columns, formats);
        }
        WriteDataRow(sheet, r, table, row, columns, formats, stamps);
    }
    const lxw_error error = workbook_close(book);
    if (error == LXW_NO_ERROR) return 0;
    reason = lxw_strerror(error);
    return EIO;
}

}  // namespace kt::measurement
