#include "SettingsFile.h"

#include <iconv.h>

#include <algorithm>
#include <limits>

namespace kt::measurement {

namespace {

// ---- Reading words and numbers ---------------------------------------------------------

// White space as the C locale knows it: blank, tab, line feed, vertical tab, form feed,
// carriage return. Every other byte, NUL included, belongs to a word.
bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Walks the file's bytes the way the settings are read: a word is a run of non-blank
// bytes, a number is an optional sign and decimal digits after any white space. A number
// ends at its first non-digit, which then starts the next word.
class WordScanner {
public:
    explicit WordScanner(std::string_view text) : text_(text) {}

    std::optional<std::string_view> Word() {
        SkipBlanks();
        const size_t start = pos_;
        while (pos_ < text_.size() && !IsBlank(text_[pos_])) ++pos_;
        if (pos_ == start) return std::nullopt;
        return text_.substr(start, pos_ - start);
    }

    // The number's value, saturated far beyond the 32-bit range so that any length of
    // digits is read in one pass without overflow; empty when no digit follows.
    std::optional<int64_t> Number() {
        SkipBlanks();
        bool negative = false;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
            negative = text_[pos_] == '-';
            ++pos_;
        }
        if (pos_ >= text_.size() || !IsDigit(text_[pos_])) return std::nullopt;
        constexpr int64_t kSaturation = int64_t{1} << 40;
        int64_t magnitude = 0;
        for (; pos_ < text_.size() && IsDigit(text_[pos_]); ++pos_) {
            magnitude = std::min(magnitude * 10 + (text_[pos_] - '0'), kSaturation);
        }
        return negative ? -magnitude : magnitude;
    }

private:
    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

// ---- Port names ------------------------------------------------------------------------

// Converts text between encodings; empty when a character has no equivalent.
std::optional<std::string> Convert(std::string_view text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    // One Windows-1250 byte becomes at most three UTF-8 bytes; the other way only shrinks.
    std::string out(text.size() * 3, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outPos = out.data();
    size_t outLeft = out.size();
    const size_t result = iconv(cd, &in, &inLeft, &outPos, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1) || inLeft != 0) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

// A port name as stored: 1 to 16 Windows-1250 bytes, none of them white space or a
// control byte, so that it is read back as exactly one word.
bool IsStorablePortWord(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > kMaxPortNameLength) return false;
    return std::none_of(bytes.begin(), bytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b <= ' ' || b == 0x7F;
    });
}

// The program's name (UTF-8) for a stored word, or empty when the word is refused.
std::optional<std::string> PortNameFromFile(std::string_view word) {
    if (!IsStorablePortWord(word)) return std::nullopt;
    return Convert(word, "UTF-8", "WINDOWS-1250");
}

}  // namespace

bool PortNameIsStorable(const std::string& name) {
    if (name.size() > kMaxPortNameLength * 3) return false;
    const auto word = Convert(name, "WINDOWS-1250", "UTF-8");
    return word && IsStorablePortWord(*word);
}

namespace {

// The word to store for the program's port name, "COM1" when it cannot be stored.
std::string PortWordForFile(const std::string& name) {
    if (name.size() <= kMaxPortNameLength * 3) {
        auto word = Convert(name, "WINDOWS-1250", "UTF-8");
        if (word && IsStorablePortWord(*word)) return *word;
    }
    return kDefaultPortName;
}

int32_t ClampPeriod(int64_t period) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(period, kMinSamplePeriodMs, kMaxSamplePeriodMs));
}

// ---- The 29 entries --------------------------------------------------------------------

// Calls the visitor once per entry, in file order, with the entry's key and its field.
// Used with a mutable record for reading and a const one for writing.
template <class Settings, class Visitor>
void VisitEntries(Settings& s, Visitor& v) {
    v.Flag("Cz_0= ", s.channelActive[0]);
    v.Flag("Cz_1= ", s.channelActive[1]);
    v.Flag("Cz_2= ", s.channelActive[2]);
    v.Flag("Real_Time_Sample= ", s.realTimeSampling);
    v.Period("Sample_rate= ", s.samplePeriodMs);
    v.Flag("Paging= ", s.paging);
    v.Flag("Paging_tracking= ", s.pagingTracking);
    v.PageSize("Sample_per_page= ", s.samplesPerPage);
    v.Flag("Autorejestracja= ", s.autoRegistration);
    v.Flag("Rejestracja_Cz0= ", s.registerChannel[0]);
    v.Flag("Rejestracja_Cz1= ", s.registerChannel[1]);
    v.Flag("Rejestracja_Cz2= ", s.registerChannel[2]);
    v.Flag("Rejestracja_PK1= ", s.registerOutput[0]);
    v.Flag("Rejestracja_PK2= ", s.registerOutput[1]);
    v.Flag("Rejestracja_data= ", s.registerDate);
    v.Flag("Rejestracja_godz= ", s.registerTimeOfDay);
    v.Flag("Rejestracja_czas= ", s.registerElapsed);
    v.Flag("Rejestracja_data= ", s.registerElapsed);  // the same box again, under key 15
    v.Flag("Rejestracja_index= ", s.registerIndex);
    v.Flag("Rejestracja_kolor= ", s.registerColour);
    v.Port("domyslny_port_com= ", s.portName);
    static const char* const kLineKeys[4][2] = {{"Wykres_PK1_H= ", "Wykres_PK1_F= "},
                                                {"Wykres_PK2_H= ", "Wykres_PK2_F= "},
                                                {"Wykres_PK3_H= ", "Wykres_PK3_F= "},
                                                {"Wykres_PK4_H= ", "Wykres_PK4_F= "}};
    for (size_t i = 0; i < 4; ++i) {
        v.Integer(kLineKeys[i][0], s.outputLines[i].H);
        v.Integer(kLineKeys[i][1], s.outputLines[i].F);
    }
}

// Reads entry after entry into the record, each value applied at once. The first entry
// that cannot be read stops the reading: it and all later entries stay as they were.
class EntryReader {
public:
    EntryReader(std::string_view bytes, SettingsReadResult& result)
        : scan_(bytes), result_(result) {}

    void Flag(std::string_view, bool& value) {
        if (auto number = NextInteger()) value = *number != 0;
    }
    // The period field clamps whatever it is given, however large.
    void Period(std::string_view, int32_t& value) {
        if (auto number = NextNumber()) value = ClampPeriod(*number);
    }
    // The up-down position takes the low 16 bits of the integer, as a signed value.
    void PageSize(std::string_view, int16_t& value) {
        if (auto number = NextInteger()) value = static_cast<int16_t>(*number & 0xFFFF);
    }
    void Integer(std::string_view, int32_t& value) {
        if (auto number = NextInteger()) value = *number;
    }
    void Port(std::string_view, std::string& value) {
        if (!StartEntry()) return;
        const auto word = scan_.Word();
        if (!word) return Fail();
        if (auto name = PortNameFromFile(*word)) {
            value = std::move(*name);
        } else {
            result_.portNameRefused = true;
        }
    }

private:
    // Counts the entry and skips its key; false once the reading has stopped.
    bool StartEntry() {
        ++entry_;
        if (result_.failedEntry) return false;
        if (!scan_.Word()) Fail();
        return !result_.failedEntry;
    }
    std::optional<int64_t> NextNumber() {
        if (!StartEntry()) return std::nullopt;
        auto number = scan_.Number();
        if (!number) Fail();
        return number;
    }
    std::optional<int32_t> NextInteger() {
        const auto number = NextNumber();
        if (!number) return std::nullopt;
        if (*number < std::numeric_limits<int32_t>::min() ||
            *number > std::numeric_limits<int32_t>::max()) {
            Fail();
            return std::nullopt;
        }
        return static_cast<int32_t>(*number);
    }
    void Fail() { result_.failedEntry = entry_; }

    WordScanner scan_;
    SettingsReadResult& result_;
    int entry_ = 0;
};

// Writes each entry as its key, its value in plain decimal and CR LF.
class EntryWriter {
public:
    void Flag(std::string_view key, bool value) { Line(key, value ? "1" : "0"); }
    void Period(std::string_view key, int32_t value) {
        Line(key, std::to_string(ClampPeriod(value)));
    }
    void PageSize(std::string_view key, int16_t value) { Line(key, std::to_string(value)); }
    void Integer(std::string_view key, int32_t value) { Line(key, std::to_string(value)); }
    void Port(std::string_view key, const std::string& name) { Line(key, PortWordForFile(name)); }

    std::string bytes;

private:
    void Line(std::string_view key, std::string_view value) {
        bytes.append(key).append(value).append("\r\n");
    }
};

// Picks out the key of one entry.
class KeyFinder {
public:
    explicit KeyFinder(int entry) : wanted_(entry) {}

    template <class Value>
    void Flag(std::string_view key, const Value&) {
        Visit(key);
    }
    template <class Value>
    void Period(std::string_view key, const Value&) {
        Visit(key);
    }
    template <class Value>
    void PageSize(std::string_view key, const Value&) {
        Visit(key);
    }
    template <class Value>
    void Integer(std::string_view key, const Value&) {
        Visit(key);
    }
    template <class Value>
    void Port(std::string_view key, const Value&) {
        Visit(key);
    }

    std::string_view key;

private:
    void Visit(std::string_view k) {
        if (++entry_ == wanted_) key = k;
    }

    int wanted_;
    int entry_ = 0;
};

}  // namespace

SettingsReadResult ParseSettings(std::string_view bytes) {
    SettingsReadResult result;
    EntryReader reader(bytes, result);
    VisitEntries(result.settings, reader);
    return result;
}

std::string FormatSettings(const AppSettings& settings) {
    EntryWriter writer;
    VisitEntries(settings, writer);
    return std::move(writer.bytes);
}

std::string_view SettingsKey(int entry) {
    const AppSettings settings;
    KeyFinder finder(entry);
    VisitEntries(settings, finder);
    return finder.key;
}

}  // namespace kt::measurement
