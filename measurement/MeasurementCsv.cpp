#include <algorithm>
#include <cstdio>
#include <ctime>

#include "CellFormats.h"
#include "MeasurementSpreadsheet.h"

namespace kt::measurement {

namespace {

// Two-digit (or four-digit) fields of an ISO date or time.
void AppendPadded(std::string& out, int value, int digits) {
    std::string text;
    AppendDecimal(text, value);
    if (static_cast<int>(text.size()) < digits) out.append(digits - text.size(), '0');
    out += text;
}

// A field quoted as RFC 4180 asks when it holds a comma, a quote or a line break.
void AppendCsvField(std::string& out, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void AppendCell(std::string& out, const RegistrationTable& table, int row, const SheetColumn& c,
                LocalStampCache& stamps) {
    using Kind = SheetColumn::Kind;
    if (c.kind == Kind::SampleNumber) {
        if (table.HasSampleNumber(row)) AppendDecimal(out, row - 1);
        return;
    }
    if (c.kind == Kind::Value) {
        double value = 0;
        int decimals = 0;
        if (table.DataValue(row, c.tableColumn, value, decimals) ==
            RegistrationTable::CellValue::Number) {
            AppendFixed(out, value, decimals);
        }
        return;
    }
    int64_t wallTime = 0;
    const StampKind kind = table.Stamp(row, wallTime);
    const bool wanted = c.kind == Kind::Date
                            ? (kind == StampKind::Date || kind == StampKind::DateAndTime)
                            : (kind == StampKind::Time || kind == StampKind::DateAndTime);
    if (!wanted) return;
    const LocalStamp& s = stamps.Of(wallTime);
    if (c.kind == Kind::Date) {
        AppendPadded(out, s.year, 4);
        out += '-';
        AppendPadded(out, s.month, 2);
        out += '-';
        AppendPadded(out, s.day, 2);
    } else {
        AppendPadded(out, s.hour, 2);
        out += ':';
        AppendPadded(out, s.minute, 2);
        out += ':';
        AppendPadded(out, s.second, 2);
    }
}

}  // namespace

std::vector<SheetColumn> SheetColumns(const RegistrationTable& table, int rowCount,
                                      const WrittenChannels& channels) {
    using Kind = SheetColumn::Kind;
    bool date = false;
    bool time = false;
    for (int row = 1; row < rowCount && !(date && time); ++row) {
        int64_t wallTime = 0;
        const StampKind kind = table.Stamp(row, wallTime);
        date |= kind == StampKind::Date || kind == StampKind::DateAndTime;
        time |= kind == StampKind::Time || kind == StampKind::DateAndTime;
    }
    std::vector<SheetColumn> columns{{Kind::SampleNumber, "Index", 0}};
    if (date) columns.push_back({Kind::Date, "Data", 0});
    if (time) columns.push_back({Kind::Time, "Godzina", 0});
    columns.push_back({Kind::Value, "Czas [s]", 1});
    for (int i = 0; i < 3; ++i) {
        if (channels.channel[i]) {
            columns.push_back({Kind::Value, "Czujnik_" + std::to_string(i), 2 + i});
        }
    }
    columns.push_back({Kind::Value, "PK1", 5});
    columns.push_back({Kind::Value, "PK2", 6});
    return columns;
}

LocalStamp LocalStampOf(int64_t unixSeconds) {
    const time_t t = static_cast<time_t>(unixSeconds);
    struct tm local {};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string BuildMeasurementCsv(const RegistrationTable& table, const MeasurementFileInput& input) {
    const int rowCount = std::clamp(input.rowCount, 2, table.RowCount());
    const std::vector<SheetColumn> columns =
        SheetColumns(table, rowCount, ChannelsToWrite(table, input));
    std::string out;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) out += ',';
        AppendCsvField(out, columns[i].title);
    }
    out += "\r\n";
    out.reserve(out.size() + static_cast<size_t>(rowCount) * 8 * columns.size());
    LocalStampCache stamps;
    for (int row = 1; row < rowCount; ++row) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i > 0) out += ',';
            AppendCell(out, table, row, columns[i], stamps);
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace kt::measurement
