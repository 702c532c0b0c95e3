// Command line of the kt210v-sim executable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "AnswerShaper.h"
#include "IndicatorModel.h"

namespace kt::sim {

struct SimOptions {
    std::string link;
    uint64_t seed = 1;
    ModelConfig model;
    Faults faults;
    double unplugAfterSeconds = 0;  // 0: never
    bool logTraffic = false;
    bool help = false;
};

// Parses the arguments after the program name. False with `error` set (one line, no
// program name) on an unknown switch, a missing or bad value, or no --link.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);

// The --help text: every switch with its meaning.
std::string SimUsage();

}  // namespace kt::sim
