#include "Numbers.h"

#include <locale.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kt::device {

double Round3(double x) {
    return std::nearbyint(x / 0.001) * 0.001;
}

bool AgreeAfterRound3(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || Round3(a) == Round3(b);
}

namespace {

// Significant digits (no trailing zeros) and the decimal exponent of |x| at 15 digits.
// to_chars, unlike printf, ignores the process's locale: the window's toolkit switches
// the C library to the user's locale, where printf would write "1,5" for 1.5.
void SignificantDigits(double ax, std::string& digits, int& exponent) {
    char buf[40];
    const auto end =
        std::to_chars(buf, buf + sizeof buf - 1, ax, std::chars_format::scientific, 14);
    *end.ptr = '\0';  // d.dddddddddddddde[+-]xx
    digits.clear();
    const char* p = buf;
    for (; *p && *p != 'e'; ++p) {
        if (*p != '.') digits += *p;
    }
    exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

}  // namespace

std::string GeneralForm(double x, char decimalSeparator) {
    if (std::isnan(x)) return "NAN";
    if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
    if (x == 0) return "0";
    std::string digits;
    int exponent = 0;
    SignificantDigits(std::fabs(x), digits, exponent);
    std::string out = x < 0 ? "-" : "";
    const int n = static_cast<int>(digits.size());
    if (std::fabs(x) < 0.00001 || exponent >= 15) {
        out += digits[0];
        if (n > 1) out += decimalSeparator + digits.substr(1);
        out += 'E';
        out += std::to_string(exponent);
        return out;
    }
    if (exponent < 0) {
        out += "0";
        out += decimalSeparator;
        out += std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else if (exponent + 1 >= n) {
        out += digits + std::string(static_cast<size_t>(exponent + 1 - n), '0');
    } else {
        out += digits.substr(0, static_cast<size_t>(exponent + 1));
        out += decimalSeparator;
        out += digits.substr(static_cast<size_t>(exponent + 1));
    }
    return out;
}

std::string VersionText(uint32_t version) {
    std::string s = std::to_string(version);
    return s.substr(0, 1) + "." + s.substr(1);
}

namespace {

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<int64_t> ParseInteger(const std::string& text) {
    const std::string s = Trimmed(text);
    if (s.empty()) return std::nullopt;
    size_t i = (s[0] == '+' || s[0] == '-') ? 1 : 0;
    if (i == s.size()) return std::nullopt;
    for (size_t k = i; k < s.size(); ++k) {
        if (s[k] < '0' || s[k] > '9') return std::nullopt;
    }
    errno = 0;
    const long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (errno == ERANGE) return std::nullopt;
    return v;
}

std::optional<double> ParseDecimal(const std::string& text, char decimalSeparator) {
    std::string s = Trimmed(text);
    if (s.empty()) return std::nullopt;
    // Accept exactly: [sign] digits [sep digits] [(e|E) [sign] digits], at least one digit.
    size_t i = 0;
    std::string c;  // the number rewritten with '.' for strtod
    if (s[i] == '+' || s[i] == '-') c += s[i++];
    size_t mantissaDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') c += s[i++], ++mantissaDigits;
    if (i < s.size() && s[i] == decimalSeparator) {
        c += '.';
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') c += s[i++], ++mantissaDigits;
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        c += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) c += s[i++];
        size_t expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') c += s[i++], ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    // strtod in the "C" locale whatever the process's locale is (see SignificantDigits).
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    const double v = strtod_l(c.c_str(), nullptr, cLocale);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<double> ParseFloat32(const std::string& text, char decimalSeparator) {
    const std::optional<double> v = ParseDecimal(text, decimalSeparator);
    if (!v || !std::isfinite(static_cast<float>(*v))) return std::nullopt;
    return v;
}

}  // namespace kt::device
