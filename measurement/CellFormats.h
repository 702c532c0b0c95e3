// Text shapes shared by the registration table and the measurement files: decimal
// commas, fixed-point numbers written like printf's "%.Nf", and framed fixed-width cells.
// Everything appends to a caller's buffer so a million-row file is built without a
// temporary string per cell.
#pragma once

#include <string>
#include <string_view>

namespace kt::measurement {

// What a channel's large display shows before it has ever shown a value.
inline constexpr std::string_view kNoValueText = "-------------";

// The text with every "." replaced by "," and nothing else changed.
std::string DotToComma(std::string text);

// Appends `value` with `decimals` digits after a decimal point, exactly as printf's
// "%.<decimals>f" writes it ("nan", "-inf" included). The widths of the formats used
// here ("%3.4f", "%2.3f", "%3f") never pad: every result is longer than the width.
void AppendFixed(std::string& out, double value, int decimals);
// The same with "," as the decimal separator (DotToComma of the above).
void AppendFixedComma(std::string& out, double value, int decimals);

// "|", max(0, width - 3 - length) blanks, the text, " |". Lengths count bytes, so pass
// text already in its 8-bit file encoding. A longer text is never cut.
void AppendPadCell(std::string& out, int width, std::string_view text);
std::string PadCell(int width, std::string_view text);

// Appends a non-negative whole number in decimal.
void AppendDecimal(std::string& out, long long value);

}  // namespace kt::measurement
