#include "CellFormats.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kt::measurement {

std::string DotToComma(std::string text) {
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

void AppendFixed(std::string& out, double value, int decimals) {
    // A double below 1e309 has at most 309 integer digits; NaN and infinities are short.
    char buf[400];
    const auto result =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    out.append(buf, result.ptr);
}

void AppendFixedComma(std::string& out, double value, int decimals) {
    const size_t start = out.size();
    AppendFixed(out, value, decimals);
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '.', ',');
}

void AppendPadCell(std::string& out, int width, std::string_view text) {
    const long blanks = std::max(0L, static_cast<long>(width) - 3 - static_cast<long>(text.size()));
    out += '|';
    out.append(static_cast<size_t>(blanks), ' ');
    out += text;
    out += " |";
}

std::string PadCell(int width, std::string_view text) {
    std::string out;
    AppendPadCell(out, width, text);
    return out;
}

void AppendDecimal(std::string& out, long long value) {
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, result.ptr);
}

}  // namespace kt::measurement
