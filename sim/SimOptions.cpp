#include "SimOptions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <sstream>

namespace kt::sim {

namespace {

bool ParseInteger(const std::string& text, long long low, long long high, long long& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    out = v;
    return true;
}

bool ParseReal(const std::string& text, double low, double high, double& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(v >= low && v <= high)) return false;
    out = v;
    return true;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) items.push_back(item);
    if (!text.empty() && text.back() == ',') items.push_back("");
    return items;
}

struct Switch {
    const char* name;
    const char* argument;  // nullptr: a flag without a value
    const char* help;
    // Stores the value; false when it is not acceptable (the message tells the range).
    std::function<bool(SimOptions&, const std::string&)> apply;
    const char* expected;
};

auto IntoInt(int& (*field)(SimOptions&), long long low, long long high) {
    return [=](SimOptions& o, const std::string& v) {
        long long n;
        if (!ParseInteger(v, low, high, n)) return false;
        field(o) = static_cast<int>(n);
        return true;
    };
}

auto IntoRate(double& (*field)(SimOptions&)) {
    return [=](SimOptions& o, const std::string& v) { return ParseReal(v, 0.0, 1.0, field(o)); };
}

bool ParseCodes(SimOptions& o, const std::string& v) {
    o.faults.silentCodes.clear();
    for (const auto& item : SplitList(v)) {
        long long code;
        if (!ParseInteger(item, 0, 255, code)) return false;
        o.faults.silentCodes.push_back(static_cast<uint8_t>(code));
    }
    return !o.faults.silentCodes.empty();
}

bool ParseSpeeds(SimOptions& o, const std::string& v) {
    const auto items = SplitList(v);
    if (items.size() != 3) return false;
    for (size_t i = 0; i < 3; ++i) {
        if (!ParseReal(items[i], -100000.0, 100000.0, o.model.speedDegPerSecond[i])) return false;
    }
    return true;
}

bool ParseByte(uint8_t& field, const std::string& v, long long high) {
    long long n;
    if (!ParseInteger(v, 0, high, n)) return false;
    field = static_cast<uint8_t>(n);
    return true;
}

const std::vector<Switch>& Switches() {
    static const std::vector<Switch> table = {
        {"--link", "PATH", "make PATH a symbolic link to the simulated port (required)",
         [](SimOptions& o, const std::string& v) {
             o.link = v;
             return !v.empty();
         },
         "a path"},
        {"--seed", "N", "seed of the random faults (default 1)",
         [](SimOptions& o, const std::string& v) {
             long long n;
             if (!ParseInteger(v, 0, LLONG_MAX, n)) return false;
             o.seed = static_cast<uint64_t>(n);
             return true;
         },
         "a non-negative integer"},
        {"--silent", nullptr, "answer nothing at all",
         [](SimOptions& o, const std::string&) { return o.faults.silent = true; }, ""},
        {"--silent-codes", "LIST", "answer nothing to these command codes, e.g. 7,26", ParseCodes,
         "a comma-separated list of codes 0..255"},
        {"--delay", "MS", "send every answer MS milliseconds late",
         IntoInt([](SimOptions& o) -> int& { return o.faults.delayMs; }, 0, 600000),
         "milliseconds 0..600000"},
        {"--wire", nullptr, "answer at the pace of a 57600 bit/s line, 10 bits a byte",
         [](SimOptions& o, const std::string&) { return o.faults.wire = true; }, ""},
        {"--drop", "RATE", "lose this share of the answers (0..1)",
         IntoRate([](SimOptions& o) -> double& { return o.faults.dropRate; }), "a rate 0..1"},
        {"--bad-crc", "RATE", "spoil the checksum of this share of the answers (0..1)",
         IntoRate([](SimOptions& o) -> double& { return o.faults.badCrcRate; }), "a rate 0..1"},
        {"--lose-bytes", "RATE", "lose each byte of an answer with this chance (0..1)",
         IntoRate([](SimOptions& o) -> double& { return o.faults.loseByteRate; }), "a rate 0..1"},
        {"--bad-crc-in-value", nullptr,
         "spoil a value byte of those answers instead of their checksum",
         [](SimOptions& o, const std::string&) { return o.faults.badCrcInValue = true; }, ""},
        {"--split", nullptr, "send every answer in two bursts (see --split-gap)",
         [](SimOptions& o, const std::string&) { return o.faults.split = true; }, ""},
        {"--split-gap", "MS", "pause between the two halves of a split answer (default 80)",
         IntoInt([](SimOptions& o) -> int& { return o.faults.splitGapMs; }, 0, 60000),
         "milliseconds 0..60000"},
        {"--merge", nullptr, "hold each answer and send it glued to the next one",
         [](SimOptions& o, const std::string&) { return o.faults.merge = true; }, ""},
        {"--merge-hold", "MS", "longest hold of a merged answer (default 1000)",
         IntoInt([](SimOptions& o) -> int& { return o.faults.mergeHoldMs; }, 0, 600000),
         "milliseconds 0..600000"},
        {"--garbage", "N", "put N random bytes in front of every answer",
         IntoInt([](SimOptions& o) -> int& { return o.faults.garbageBytes; }, 0, 64),
         "a count 0..64"},
        {"--garbage-no-headers", nullptr,
         "garbage bytes never take the header values F1..F4 (no frame can be forged)",
         [](SimOptions& o, const std::string&) { return o.faults.headerFreeGarbage = true; }, ""},
        {"--type", "CODE", "answer the type query with CODE instead of KTV",
         [](SimOptions& o, const std::string& v) {
             o.faults.typeCode = v;
             return !v.empty() && v.size() <= 3;
         },
         "one to three characters"},
        {"--unplug-after", "SEC", "close the port after SEC seconds, as if unplugged",
         [](SimOptions& o, const std::string& v) {
             return ParseReal(v, 0.001, 1e7, o.unplugAfterSeconds);
         },
         "seconds above 0"},
        {"--sensors", "MASK", "present sensors, bit i = sensor i (0..7, default 7)",
         [](SimOptions& o, const std::string& v) { return ParseByte(o.model.sensorMask, v, 7); },
         "a mask 0..7"},
        {"--hw", "N", "hardware version (default 12)",
         [](SimOptions& o, const std::string& v) {
             return ParseByte(o.model.hardwareVersion, v, 255);
         },
         "a number 0..255"},
        {"--sw", "N", "software version (default 34)",
         [](SimOptions& o, const std::string& v) {
             return ParseByte(o.model.softwareVersion, v, 255);
         },
         "a number 0..255"},
        {"--cycles", nullptr, "include cycle counts in every measurement (always in mode 3)",
         [](SimOptions& o, const std::string&) { return o.model.includeCycles = true; }, ""},
        {"--speeds", "A,B,C", "turning speeds of sensors 0, 1, 2 in deg/s (default 10,25,40)",
         ParseSpeeds, "three numbers separated by commas"},
        {"--log", nullptr, "print every request and answer on stderr",
         [](SimOptions& o, const std::string&) { return o.logTraffic = true; }, ""},
        {"--help", nullptr, "show this text and exit",
         [](SimOptions& o, const std::string&) { return o.help = true; }, ""},
    };
    return table;
}

const Switch* FindSwitch(const std::string& name) {
    for (const auto& s : Switches()) {
        if (name == s.name) return &s;
    }
    return nullptr;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options,
                     std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i] == "-h" ? "--help" : args[i];
        std::string value;
        bool inlineValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            inlineValue = true;
        }
        const Switch* sw = FindSwitch(name);
        if (!sw) {
            error = "unknown option '" + args[i] + "' (see --help)";
            return false;
        }
        if (sw->argument && !inlineValue) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value (" + sw->argument + ")";
                return false;
            }
            value = args[++i];
        } else if (!sw->argument && inlineValue) {
            error = "option " + name + " takes no value";
            return false;
        }
        if (!sw->apply(options, value)) {
            error =
                "invalid value '" + value + "' for " + name + " (expected " + sw->expected + ")";
            return false;
        }
    }
    if (!options.help && options.link.empty()) {
        error = "--link PATH is required (see --help)";
        return false;
    }
    return true;
}

std::string SimUsage() {
    std::string text =
        "Usage: kt210v-sim --link PATH [options]\n"
        "Simulated KT210V indicator on a pseudo-terminal. Prints the terminal's path as its\n"
        "first line, then serves until SIGINT or SIGTERM (the link is removed on exit).\n"
        "SIGUSR1 unplugs the port, SIGUSR2 plugs it in again.\n\nOptions:\n";
    for (const auto& s : Switches()) {
        std::string left = std::string("  ") + s.name;
        if (s.argument) left += std::string(" ") + s.argument;
        if (left.size() < 24)
            left.resize(24, ' ');
        else
            left += "  ";
        text += left + s.help + "\n";
    }
    return text;
}

}  // namespace kt::sim
