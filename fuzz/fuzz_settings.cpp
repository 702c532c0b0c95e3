// Fuzz target: the settings reader on any bytes, and the writer on what it read. Checks
// that a failed entry is a real entry number, that the period read is within its limits,
// that the file written for the settings read is 29 CR LF lines and reads back
// completely to the same settings, and that any port name the program may hold (here
// the input's last bytes, whatever they are) is written so the file still reads back
// completely, with the name itself or "COM1".
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzInput.h"
#include "SettingsFile.h"

using namespace kt::measurement;
using kt::fuzz::Require;

namespace {

// Reads the file written for `settings` and checks it reads back completely.
AppSettings WrittenAndReadBack(const AppSettings& settings) {
    const std::string file = FormatSettings(settings);
    Require(file.size() >= 2 && file.compare(file.size() - 2, 2, "\r\n") == 0,
            "the settings file ends with CR LF");
    Require(std::count(file.begin(), file.end(), '\n') == kSettingsEntryCount &&
                std::count(file.begin(), file.end(), '\r') == kSettingsEntryCount,
            "the settings file has one CR LF line per entry");
    const SettingsReadResult again = ParseSettings(file);
    Require(!again.failedEntry && !again.portNameRefused,
            "a written settings file reads back completely");
    return again.settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const SettingsReadResult read = ParseSettings(bytes);
    if (read.failedEntry) {
        Require(*read.failedEntry >= 1 && *read.failedEntry <= kSettingsEntryCount,
                "a failed entry is one of the 29");
        Require(!SettingsKey(*read.failedEntry).empty(), "a failed entry has a key to name");
    }
    const AppSettings& s = read.settings;
    Require(s.samplePeriodMs >= kMinSamplePeriodMs && s.samplePeriodMs <= kMaxSamplePeriodMs,
            "the period read is within its limits");
    Require(!s.portName.empty(), "a port name is always there");
    Require(WrittenAndReadBack(s) == s, "the settings read are written and read back unchanged");

    // The program's port name may be anything typed into the port box.
    AppSettings typed = s;
    typed.portName = std::string(bytes.substr(size - std::min<size_t>(size, 24)));
    const AppSettings back = WrittenAndReadBack(typed);
    Require(back.portName == typed.portName || back.portName == kDefaultPortName,
            "a port name is stored as it is, or as COM1 when it cannot be");
    AppSettings expected = typed;
    expected.portName = back.portName;
    Require(back == expected, "the port name changes nothing else in the file");
    return 0;
}
