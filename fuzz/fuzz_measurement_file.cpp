// Fuzz target: the measurement-file writer fed with hostile texts and values: device type
// names, date and time texts (any bytes, invalid UTF-8, line breaks, tabs, NULs), any
// float and double bit patterns in the cells, any period, row count and registration
// boxes per row. Both layouts are built and checked: CR LF after every line and no other
// control bytes but tabs, one line per header entry and per data row, the sample count
// stated, in the spreadsheet layout a fixed number of cells per row and decimal commas,
// in the text layout titles and rule of one width and every row framed by bars.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "MeasurementFile.h"
#include "RegistrationTable.h"

using namespace kt::measurement;
using kt::fuzz::FuzzInput;
using kt::fuzz::Require;

namespace {

// Date and time texts taken from the input; each depends only on the second it is given.
class HostileDateTimeTexts : public DateTimeTexts {
public:
    std::string dates[2], times[2];
    std::string ShortDate(int64_t s) const override { return dates[static_cast<uint64_t>(s) % 2]; }
    std::string LongTime(int64_t s) const override { return times[static_cast<uint64_t>(s) % 2]; }
};

RegistrationBoxes BoxesFrom(uint16_t bits) {
    RegistrationBoxes b;
    for (int i = 0; i < 3; ++i) b.channel[i] = bits & (1 << i);
    b.pk1 = bits & 0x08;
    b.pk2 = bits & 0x10;
    b.date = bits & 0x20;
    b.time = bits & 0x40;
    b.elapsedTime = bits & 0x80;
    b.sampleNumber = bits & 0x100;
    b.colour = bits & 0x200;
    return b;
}

RowSource RowFrom(FuzzInput& in) {
    RowSource s;
    s.elapsed = in.Raw<double>();
    s.wallTime = in.Bool() ? in.Raw<int64_t>() : in.Byte();
    const uint8_t flags = in.Byte();
    for (int i = 0; i < 3; ++i) {
        s.sensorPresent[i] = flags & (1 << i);
        if (flags & (8 << i)) s.display[i].Show(in.Raw<float>());
    }
    s.outputOn[0] = flags & 0x40;
    s.outputOn[1] = flags & 0x80;
    return s;
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    Require(start == bytes.size(), "the last line ends with CR LF");
    return lines;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void CheckBytes(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\r') Require(i + 1 < bytes.size() && bytes[i + 1] == '\n', "CR only before LF");
        if (c == '\n') Require(i > 0 && bytes[i - 1] == '\r', "LF only after CR");
        Require(c >= 0x20 || c == '\t' || c == '\r' || c == '\n',
                "no control bytes but tabs and line ends");
    }
}

void CheckExcel(const std::vector<std::string>& lines, int rows, int channels) {
    for (size_t i = lines.size() - static_cast<size_t>(rows); i < lines.size(); ++i) {
        const std::string& line = lines[i];
        Require(std::count(line.begin(), line.end(), '\t') == 4 + channels && EndsWith(line, "\t"),
                "every data row has its cells, each followed by a tab");
        Require(line.find('.', line.find('\t')) == std::string::npos,
                "numbers in the spreadsheet layout have decimal commas");
    }
}

void CheckText(const std::vector<std::string>& lines, int rows) {
    const size_t first = lines.size() - static_cast<size_t>(rows);
    const std::string& titles = lines[first - 2];
    const std::string& rule = lines[first - 1];
    Require(!rule.empty() && rule.find_first_not_of('-') == std::string::npos,
            "a rule of minus signs follows the titles");
    Require(rule.size() == titles.size(), "the rule is as long as the title line");
    for (size_t i = first; i < lines.size(); ++i) {
        Require(lines[i].size() >= rule.size(), "a data row is never narrower than the titles");
        Require(lines[i].front() == '|' && EndsWith(lines[i], " |"),
                "a data row is framed by bars");
    }
}

void CheckFile(const RegistrationTable& table, const MeasurementFileInput& in,
               MeasurementFileFormat format) {
    std::string bytes, reason;
    Require(BuildMeasurementFile(table, in, format, bytes, reason), "the file is built");
    CheckBytes(bytes);
    const std::vector<std::string> lines = Lines(bytes);
    const int rows = std::clamp(in.rowCount, 2, table.RowCount()) - 1;
    const bool excel = format == MeasurementFileFormat::Excel;
    const int headerLines = 5 + (in.realTime ? 1 : 2) + (excel ? 2 + 1 : 4 + 2);
    Require(lines.size() == static_cast<size_t>(headerLines + rows),
            "one line per header entry and per data row");
    Require(EndsWith(lines[4], "\t" + std::to_string(rows)), "the sample count is stated");
    const int channels = ChannelsToWrite(table, in).count();
    if (excel) {
        CheckExcel(lines, rows, channels);
    } else {
        CheckText(lines, rows);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    HostileDateTimeTexts texts;
    for (auto& t : texts.dates) t = in.Text(40);
    for (auto& t : texts.times) t = in.Text(40);
    MeasurementFileInput file;
    file.typeName = in.Text(40);
    file.dateText = in.Text(40);
    file.timeText = in.Text(40);
    file.duration = in.Raw<double>();
    file.periodMs = in.Bool() ? in.Raw<int64_t>() : in.Raw<int16_t>();
    const uint8_t flags = in.Byte();
    file.realTime = flags & 1;
    for (int i = 0; i < 3; ++i) {
        file.sensorPresent[i] = flags & (2 << i);
        file.channelActive[i] = flags & (16 << i);
    }
    const int rowCountChoice = in.Raw<int8_t>();

    RegistrationTable table(texts);
    for (int n = 0; n < 40 && in.left() > 0; ++n) {
        const uint16_t bits = in.Raw<uint16_t>();
        if (bits & 0x8000) table.Clear();
        table.boxes() = BoxesFrom(bits);
        table.AddRow(RowFrom(in));
    }
    // The row count when the save started: mostly the table's own, sometimes any number.
    file.rowCount = rowCountChoice < 0 ? table.RowCount() : rowCountChoice;
    CheckFile(table, file, MeasurementFileFormat::Excel);
    CheckFile(table, file, MeasurementFileFormat::Text);
    return 0;
}
