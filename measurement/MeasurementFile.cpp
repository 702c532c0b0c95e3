#include "MeasurementFile.h"

#include <algorithm>
#include <charconv>

#include "CellFormats.h"
#include "MeasurementSpreadsheet.h"
#include "Numbers.h"
#include "Windows1250.h"

namespace kt::measurement {

namespace {

constexpr char kTab = '\t';

// Texts that come from outside the table (the device type, the date and time of the save
// and of each row) stand on one line and in one cell: their control characters (line
// breaks, tabs, NUL) become blanks, so no such text can break the file's lines or cells.
std::string OneCellText(std::string text) {
    std::replace_if(
        text.begin(), text.end(),
        [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b < 0x20 || b == 0x7F;
        },
        ' ');
    return text;
}

// Column 0 of data rows in Windows-1250. Neighbouring rows mostly share their second, so
// the converted stamp is kept until the stamp changes.
class InformationColumn {
public:
    InformationColumn(const RegistrationTable& table, Windows1250Encoder& encoder)
        : table_(table), encoder_(encoder) {}

    void Append(std::string& out, int row) {
        table_.AppendSampleNumber(out, row);
        int64_t wallTime = 0;
        const StampKind kind = table_.Stamp(row, wallTime);
        if (kind == StampKind::None) return;
        if (!cached_ || kind != kind_ || wallTime != wallTime_) {
            stamp_.clear();
            encoder_.Append(OneCellText(table_.StampText(kind, wallTime)), stamp_);
            cached_ = true;
            kind_ = kind;
            wallTime_ = wallTime;
        }
        out += stamp_;
    }

private:
    const RegistrationTable& table_;
    Windows1250Encoder& encoder_;
    bool cached_ = false;
    StampKind kind_ = StampKind::None;
    int64_t wallTime_ = 0;
    std::string stamp_;
};

std::string FrequencyText(int64_t periodMs) {
    std::string text;
    AppendFixed(text, 1000.0 / static_cast<double>(periodMs), 6);  // "%3f"; 0 ms: "inf"
    return text;
}

// Pieces handed to the writer: big enough that writing costs little per row, small
// enough that a file of millions of rows is never held in memory whole.
constexpr size_t kPieceBytes = size_t{1} << 20;

struct Layout {
    const RegistrationTable& table;
    const MeasurementFileInput& input;
    int rowCount;
    WrittenChannels channels;
    Windows1250Encoder& encoder;
    const FileWriter& write;
    std::string out;
    bool failed = false;

    // One line given in UTF-8.
    void Line(std::string_view utf8) {
        encoder.Append(utf8, out);
        out += "\r\n";
    }
    // Hands the bytes so far to the writer once a piece is full (or at the end). False once
    // the writer has refused a piece.
    bool Flush(bool end = false) {
        if (failed || (!end && out.size() < kPieceBytes)) return !failed;
        failed = !write(out);
        out.clear();
        return !failed;
    }
};

void WriteExcel(Layout& l) {
    const MeasurementFileInput& in = l.input;
    l.Line("typ urządzenia=\t" + OneCellText(in.typeName));
    l.Line("data pomiaru=\t" + OneCellText(in.dateText));
    l.Line("godzina pomiaru= \t" + OneCellText(in.timeText));
    l.Line("czas trwania pomiaru=\t" + DotToComma(device::GeneralForm(in.duration, ',')) +
           "\t [s]");
    l.Line("Ilosc próbek=\t" + std::to_string(l.rowCount - 1));
    if (in.realTime) {
        l.Line("Częstotliwość próbkowania=[real time]");
    } else {
        l.Line("Okres próbkowania= \t" + std::to_string(in.periodMs) + "\t [ms]");
        l.Line("Częstotliwość próbkowania=\t" + DotToComma(FrequencyText(in.periodMs)) +
               "\t[próbek/sek]");
    }
    l.Line("");
    l.Line("");
    std::string titles = "Index\tCzas [s]\t";
    for (int i = 0; i < 3; ++i) {
        if (l.channels.channel[i]) titles += "Czujnik_" + std::to_string(i) + "\t";
    }
    l.Line(titles + "PK1\tPK2\t");

    std::string& out = l.out;
    InformationColumn information(l.table, l.encoder);
    for (int row = 1; row < l.rowCount && l.Flush(); ++row) {
        information.Append(out, row);
        out += kTab;
        for (int column = 1; column <= 6; ++column) {
            if (column >= 2 && column <= 4 && !l.channels.channel[column - 2]) continue;
            l.table.AppendDataCell(out, row, column);
            out += kTab;
        }
        out += "\r\n";
    }
}

void WriteTextHeader(Layout& l) {
    const MeasurementFileInput& in = l.input;
    char duration[64];  // a stream's default form (printf's "%g"), with a point in any locale
    *std::to_chars(duration, duration + sizeof duration - 1, in.duration,
                   std::chars_format::general, 6)
         .ptr = '\0';
    l.Line("typ urządzenia= \t" + OneCellText(in.typeName));
    l.Line("data pomiaru= \t\t\"" + OneCellText(in.dateText) + "\"");
    l.Line("godzina pomiaru= \t\"" + OneCellText(in.timeText) + "\"");
    l.Line("czas trwania pomiaru= \t" + std::string(duration) + " [s]");
    l.Line("Ilosc próbek= \t\t" + std::to_string(l.rowCount - 1));
    if (in.realTime) {
        l.Line("Częstotliwość próbkowania= [real time]");
    } else {
        l.Line("Okres próbkowania= \t" + std::to_string(in.periodMs) + " [ms]");
        l.Line("Częstotliwość próbkowania= \t" + FrequencyText(in.periodMs) + "\t [próbek / sek]");
    }
    for (int i = 0; i < 4; ++i) l.Line("");
}

void WriteText(Layout& l) {
    WriteTextHeader(l);
    std::string& out = l.out;
    InformationColumn information(l.table, l.encoder);
    std::string cell;
    information.Append(cell, 1);
    // The information column is as wide as row 1 needs, for the titles and every row.
    const int width = std::max(12, static_cast<int>(cell.size()) + 5);

    AppendPadCell(out, width, "Index   ");
    out += "|    Czas [s] |";
    for (int i = 0; i < 3; ++i) {
        if (l.channels.channel[i]) out += "|  Czujnik_" + std::to_string(i) + "  |";
    }
    out += "|  PK1 ||  PK2 |\r\n";
    const int ruleLength = width + 15 + 15 * l.channels.count() + 8 + 8;
    out.append(static_cast<size_t>(ruleLength), '-');
    out += "\r\n";

    for (int row = 1; row < l.rowCount && l.Flush(); ++row) {
        cell.clear();
        information.Append(cell, row);
        AppendPadCell(out, width, cell);
        for (int column = 1; column <= 6; ++column) {
            if (column >= 2 && column <= 4 && !l.channels.channel[column - 2]) continue;
            cell.clear();
            l.table.AppendDataCell(cell, row, column);
            AppendPadCell(out, column <= 4 ? 15 : 8, cell);
        }
        out += "\r\n";
    }
}

// The grid rows the save covers: rows registered after the save started are not part of it.
int SnapshotRows(const RegistrationTable& table, const MeasurementFileInput& input) {
    return std::clamp(input.rowCount, 2, table.RowCount());
}

}  // namespace

WrittenChannels ChannelsToWrite(const RegistrationTable& table, const MeasurementFileInput& input) {
    const int rowCount = SnapshotRows(table, input);
    WrittenChannels written;
    for (int i = 0; i < 3; ++i) {
        written.channel[i] = (input.sensorPresent[i] && input.channelActive[i]) ||
                             table.ColumnHoldsValues(2 + i, rowCount);
    }
    return written;
}

void WriteMeasurementFile(const RegistrationTable& table, const MeasurementFileInput& input,
                          MeasurementFileFormat format, Windows1250Encoder& encoder,
                          const FileWriter& write) {
    Layout layout{table, input, SnapshotRows(table, input), ChannelsToWrite(table, input), encoder,
                  write, {}};
    layout.out.reserve(kPieceBytes + 4096);
    if (format == MeasurementFileFormat::Excel) {
        WriteExcel(layout);
    } else {
        WriteText(layout);
    }
    layout.Flush(true);
}

bool BuildMeasurementFile(const RegistrationTable& table, const MeasurementFileInput& input,
                          MeasurementFileFormat format, std::string& bytes, std::string& reason) {
    if (format == MeasurementFileFormat::Csv) {
        bytes = BuildMeasurementCsv(table, input);
        return true;
    }
    if (format == MeasurementFileFormat::Xlsx) {
        reason = "a workbook is written by name";
        return false;
    }
    Windows1250Encoder encoder;
    if (!encoder.ok()) {
        reason = encoder.error();
        return false;
    }
    bytes.clear();
    WriteMeasurementFile(table, input, format, encoder, [&bytes](std::string_view piece) {
        bytes += piece;
        return true;
    });
    return true;
}

}  // namespace kt::measurement
