// The program's own settings file "config.ini": the 29 stored settings as a record, read
// from and written to the file's exact bytes (Windows-1250 text, CR LF after every line).
// Locating the file, showing the missing-file message and replacing the file on disk are
// the caller's job; this unit only turns bytes into a record and back.
//
// The file is positional: 29 lines of a key and a value. Reading skips the keys and takes
// the values strictly in order, word by word, so any white space separates them and
// anything after the 29th value is ignored.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "OutputLine.h"

namespace kt::measurement {

inline constexpr const char* kSettingsFileName = "config.ini";
inline constexpr const char* kMissingSettingsMessage = "nie odnaleziono pliku konfiguracyjnego!";
inline constexpr int kSettingsEntryCount = 29;
// A written file holds about 540 bytes; a far larger one is not taken for settings.
inline constexpr std::size_t kMaxSettingsFileBytes = 64 * 1024;

// Limits of the sampling-period field; a stored period is brought into them.
inline constexpr int32_t kMinSamplePeriodMs = 10;
inline constexpr int32_t kMaxSamplePeriodMs = 10000000;

inline constexpr std::size_t kMaxPortNameLength = 16;
inline constexpr const char* kDefaultPortName = "COM1";

// The stored settings with the states they have when there is no settings file. The
// comments give the entry numbers (file lines); entries 17 and 18 both carry the
// "czas pomiaru" box.
struct AppSettings {
    std::array<bool, 3> channelActive{false, false, false};  // 1-3 "Aktywny"
    bool realTimeSampling = false;                           // 4
    int32_t samplePeriodMs = kMinSamplePeriodMs;             // 5
    bool paging = false;                                     // 6 "włącz"
    bool pagingTracking = false;                             // 7 "śledzenie"
    int16_t samplesPerPage = 10;                             // 8
    bool autoRegistration = true;                            // 9 "autoodczyt"
    std::array<bool, 3> registerChannel{true, true, true};   // 10-12
    std::array<bool, 2> registerOutput{false, false};        // 13-14 PK1, PK2
    bool registerDate = false;                               // 15 "data"
    bool registerTimeOfDay = false;                          // 16 "godzina"
    bool registerElapsed = true;                             // 17 and 18 "czas pomiaru"
    bool registerIndex = true;                               // 19 "numer próbki"
    bool registerColour = true;                              // 20 "kolor"
    std::string portName = kDefaultPortName;                 // 21, UTF-8 in the program
    // 22-29: H and F of PK1..PK4, starting where the output-line dialog starts.
    OutputLines outputLines = kOutputLinesAtStart;

    bool operator==(const AppSettings&) const = default;
};

struct SettingsReadResult {
    AppSettings settings;
    // Number (1..29) of the first entry that could not be read: the file ended, or a
    // value is not a decimal integer or does not fit in 32 bits. That entry and every
    // later one keep their initial state. Empty when all 29 entries were read.
    std::optional<int> failedEntry;
    // The stored port name was refused (longer than 16 characters, control bytes, or
    // not Windows-1250 text) and the port stayed "COM1"; the later entries were read.
    bool portNameRefused = false;
};

// Reads the settings from the file's bytes. Never fails as a whole: whatever cannot be
// read keeps its initial state and is reported in the result.
SettingsReadResult ParseSettings(std::string_view bytes);

// The file's bytes for the given settings: all 29 lines, each key immediately followed
// by its value and CR LF. The period is brought into its limits, and a port name that
// could not be read back as one word (empty, blanks, too long, not Windows-1250) is
// written as "COM1", so the file always reads back completely.
std::string FormatSettings(const AppSettings& settings);

// Whether a port name is stored as it is; FormatSettings writes "COM1" for any other.
bool PortNameIsStorable(const std::string& name);

// The key of an entry exactly as written (with its trailing blank), for messages about
// a failed entry; empty outside 1..29.
std::string_view SettingsKey(int entry);

}  // namespace kt::measurement
