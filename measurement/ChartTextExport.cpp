#include "ChartTextExport.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "Windows1250.h"

namespace kt::measurement {

namespace {

struct Separators {
    char field;
    char decimal;
};

Separators SeparatorsOf(ChartTextLayout layout) {
    return layout == ChartTextLayout::Spreadsheet ? Separators{'\t', ','} : Separators{',', '.'};
}

// A number as to_chars writes it, in fixed ("-ddd.ddd") or scientific ("-d.ddde+XX")
// notation: its significant digits without leading or trailing zeros, and the decimal
// exponent of the first of them. Never called for zero.
struct Decimal {
    bool negative = false;
    char digits[48] = {};
    int count = 0;
    int exponent = 0;
};

Decimal ReadDecimal(const char* begin, const char* end) {
    Decimal d;
    const char* p = begin;
    if (p < end && *p == '-') {
        d.negative = true;
        ++p;
    }
    int beforePoint = -1;  // digits read before the point, leading zeros included
    int read = 0;
    for (; p < end && *p != 'e'; ++p) {
        if (*p == '.') {
            beforePoint = read;
        } else if (d.count > 0 || *p != '0') {
            if (d.count == 0) d.exponent = -read - 1;  // as if the point were first
            d.digits[d.count++] = *p;
            ++read;
        } else {
            ++read;
        }
    }
    if (beforePoint < 0) beforePoint = read;
    int power = 0;
    if (p < end) std::from_chars(p + 1 + (p[1] == '+'), end, power);
    d.exponent += beforePoint + power;
    while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
    return d;
}

// The general number form (as device::GeneralForm writes it) of the digits;
// `tiny` when the value is below 0.00001 in size.
void AppendGeneral(std::string& out, const Decimal& s, bool tiny, char decimal) {
    const std::string_view digits(s.digits, static_cast<size_t>(s.count));
    if (s.negative) out += '-';
    if (tiny || s.exponent >= 15) {
        out += digits[0];
        if (s.count > 1) (out += decimal) += digits.substr(1);
        (out += 'E') += std::to_string(s.exponent);
    } else if (s.exponent < 0) {
        (out += '0') += decimal;
        out.append(static_cast<size_t>(-s.exponent - 1), '0') += digits;
    } else if (s.exponent + 1 >= s.count) {
        out.append(digits).append(static_cast<size_t>(s.exponent + 1 - s.count), '0');
    } else {
        const auto whole = static_cast<size_t>(s.exponent + 1);
        (out.append(digits.substr(0, whole)) += decimal).append(digits.substr(whole));
    }
}

// X in the general form: 15 significant digits.
void AppendX(std::string& out, double x, char decimal) {
    if (x == 0) {
        out += '0';
        return;
    }
    char buf[40];
    const auto end = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
    AppendGeneral(out, ReadDecimal(buf, end.ptr), std::fabs(x) < 0.00001, decimal);
}

// Y in the general form of its shortest decimal (see ShortestDecimal).
void AppendY(std::string& out, float y, char decimal) {
    if (y == 0) {
        out += '0';
        return;
    }
    char buf[40];
    const auto end = std::to_chars(buf, buf + sizeof buf, y);
    const Decimal s = ReadDecimal(buf, end.ptr);
    // At most 9 digits: the decimal is below 0.00001 exactly when its exponent is.
    AppendGeneral(out, s, s.exponent < -5, decimal);
}

// Pieces handed to the writer: a file of tens of millions of rows is never held whole.
constexpr size_t kPieceBytes = size_t{1} << 20;

// Collects rows and hands them to the writer a piece at a time.
class PieceSink {
public:
    explicit PieceSink(const FileWriter& write) : write_(write) { out_.reserve(kPieceBytes + 256); }
    std::string& Out() { return out_; }
    bool Failed() const { return failed_; }
    void Flush(bool end = false) {
        if (failed_ || (!end && out_.size() < kPieceBytes)) return;
        failed_ = !write_(out_);
        out_.clear();
    }

private:
    const FileWriter& write_;
    std::string out_;
    bool failed_ = false;
};

// The rows of one series. The title is converted once; every other cell is ASCII and is
// appended as it is, so a million points cost no conversion.
void AppendSeries(const ChartSeries& series, const std::string& title, const Rgb& colour,
                  Separators s, PieceSink& sink) {
    const std::string colourText = ColourText(colour);
    char index[24];
    size_t i = 0;
    std::string& out = sink.Out();
    series.ForEach([&](double x, float y) {
        if (sink.Failed()) return;
        out += title;
        out += s.field;
        out.append(index, std::to_chars(index, index + sizeof index, i++).ptr);
        out += s.field;
        AppendX(out, x, s.decimal);
        out += s.field;
        AppendY(out, y, s.decimal);
        out += s.field;  // the label is empty
        out += s.field;
        out += colourText;
        out += "\r\n";
        sink.Flush();
    });
}

}  // namespace

void WriteChartText(const ChartStore& store, ChartTextLayout layout, Windows1250Encoder& encoder,
                    const FileWriter& write) {
    PieceSink sink(write);
    const Separators s = SeparatorsOf(layout);
    // The titles are fixed words without separators, quotes or line ends, so no cell
    // ever needs quoting.
    for (const char* name : {"Seria", "Indeks", "X", "Y", "Etykieta"}) {
        encoder.Append(name, sink.Out());
        sink.Out() += s.field;
    }
    encoder.Append("Kolor", sink.Out());
    sink.Out() += "\r\n";
    for (int i = 0; i < kSeriesCount; ++i) {
        const SeriesLook& look = kSeriesLooks[static_cast<size_t>(i)];
        AppendSeries(store.Series(i), encoder.Convert(look.title), look.point, s, sink);
    }
    sink.Flush(true);
}

bool BuildChartText(const ChartStore& store, ChartTextLayout layout, std::string& bytes,
                    std::string& reason) {
    Windows1250Encoder encoder;
    if (!encoder.ok()) {
        reason = encoder.error();
        return false;
    }
    bytes.clear();
    WriteChartText(store, layout, encoder, [&bytes](std::string_view piece) {
        bytes += piece;
        return true;
    });
    return true;
}

std::string RowLimitQuestion(size_t lines) {
    return "Liczba wierszy w pliku: " + std::to_string(lines) +
           ".\nProgram arkusza kalkulacyjnego wczyta tylko pierwsze " +
           std::to_string(kSpreadsheetRowLimit) +
           " wierszy, pozostałe zostaną obcięte.\nCzy zapisać mimo to?";
}

size_t ChartTextLines(const ChartStore& store) {
    size_t lines = 1;  // the titles
    for (int i = 0; i < kSeriesCount; ++i) lines += store.Series(i).Size();
    return lines;
}

std::string ColourText(const Rgb& colour) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "#";
    for (const uint8_t part : {colour.r, colour.g, colour.b}) {
        text += kHex[part >> 4];
        text += kHex[part & 15];
    }
    return text;
}

double ShortestDecimal(float value) {
    char digits[32];
    const auto written = std::to_chars(digits, digits + sizeof digits, value);
    double result = static_cast<double>(value);  // non-finite values stay as they are
    std::from_chars(digits, written.ptr, result);
    return result;
}

}  // namespace kt::measurement
