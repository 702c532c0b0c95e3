#include "ChartTextExport.h"

#include <charconv>

#include "Numbers.h"
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

// The rows of one series. The title is converted once; every other cell is ASCII and is
// appended as it is, so a million points cost no conversion.
void AppendSeries(const ChartSeries& series, const std::string& title, const Rgb& colour,
                  Separators s, std::string& out) {
    const std::string colourText = ColourText(colour);
    for (size_t i = 0; i < series.Size(); ++i) {
        out += title;
        out += s.field;
        out += std::to_string(i);
        out += s.field;
        out += device::GeneralForm(series.X(i), s.decimal);
        out += s.field;
        out += device::GeneralForm(ShortestDecimal(series.Y(i)), s.decimal);
        out += s.field;  // the label is empty
        out += s.field;
        out += colourText;
        out += "\r\n";
    }
}

}  // namespace

bool BuildChartText(const ChartStore& store, ChartTextLayout layout, std::string& bytes,
                    std::string& reason) {
    Windows1250Text file;
    if (!file.ok()) {
        reason = file.error();
        return false;
    }
    const Separators s = SeparatorsOf(layout);
    // The titles are fixed words without separators, quotes or line ends, so no cell
    // ever needs quoting.
    for (const char* name : {"Seria", "Indeks", "X", "Y", "Etykieta"}) {
        file.Text(name);
        file.bytes() += s.field;
    }
    file.Line("Kolor");
    for (int i = 0; i < kSeriesCount; ++i) {
        const SeriesLook& look = kSeriesLooks[static_cast<size_t>(i)];
        AppendSeries(store.Series(i), file.encoder().Convert(look.title), look.point, s,
                     file.bytes());
    }
    bytes = std::move(file.bytes());
    return true;
}

std::string ColourText(const Rgb& colour) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "#";
    for (const uint8_t part : {colour.red, colour.green, colour.blue}) {
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
