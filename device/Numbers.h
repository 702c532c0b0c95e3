// Number rules shared by the decoder, the synchronisation tick and the panels:
// three-decimal rounding, the general decimal form, version texts and the lenient
// parsers used for operator input.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kt::device {

// Locale facts passed in from the application (never read from globals here).
struct NumberFormat {
    char decimalSeparator = ',';
};

// x / 0.001 rounded to the nearest integer (ties to even), times 0.001, in double.
double Round3(double x);

// Whether two values of a float parameter agree as the synchronisation compares them:
// equal after Round3, or both NaN (a NaN never equals itself, and the pair would be
// written again and again).
bool AgreeAfterRound3(double a, double b);

// A double with at most 15 significant digits, no trailing zeros and no bare separator;
// fixed notation unless 0 < |x| < 0.00001 or |x| >= 1e15, then mantissa "E" exponent
// (1E-6, -2,5E20).
std::string GeneralForm(double x, char decimalSeparator);

// The dump's form of a float field: widened to double without rounding (0.1f shows as
// 0,100000001490116 with a comma separator).
inline std::string DumpForm(float x, char decimalSeparator) {
    return GeneralForm(static_cast<double>(x), decimalSeparator);
}

// Version byte as the wizard shows it: a "." after the first digit (12 -> 1.2, 5 -> 5.).
std::string VersionText(uint32_t version);

// Whole decimal integer with optional sign and surrounding blanks; nothing else.
std::optional<int64_t> ParseInteger(const std::string& text);
// Decimal number written with the given separator (optional exponent); nothing else.
std::optional<double> ParseDecimal(const std::string& text, char decimalSeparator);
// As ParseDecimal, for a value stored as a 32-bit float: refused when it does not fit.
std::optional<double> ParseFloat32(const std::string& text, char decimalSeparator);

}  // namespace kt::device
