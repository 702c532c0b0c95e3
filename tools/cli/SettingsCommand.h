// write-settings: a new settings file for a start-up directory, so that the program's
// first start there finds one (the desktop launcher and the demo write it).
#pragma once

#include <string>
#include <vector>

namespace kt::cli {

// `args` is the file's name. Writes the settings the program itself writes at its first
// close (every initial state, the sampling period at its least, 10 ms) with `port` as
// the stored port, through the program's own settings writer. A file already there is
// left alone (exit 5); a port name the file cannot keep is a usage error (exit 2).
int WriteSettingsCommand(const std::string& port, const std::vector<std::string>& args);

}  // namespace kt::cli
