// The tool's commands: identify, set and monitor.
#pragma once

#include <string>
#include <vector>

namespace kt::cli {

enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_PORT = 1,
    EXIT_USAGE = 2,
    EXIT_STEP_FAILED = 3,
    EXIT_NOT_CONFIRMED = 4,
};

// Set by SIGINT and SIGTERM once InstallInterruptHandlers has run.
bool Interrupted();
void InstallInterruptHandlers();

class CliSession;

// Opens the port and runs the wizard's steps; EXIT_OK once the device is ready, else
// the reason on standard error and the exit code.
int ConnectSession(CliSession& session, const std::string& port);

int Identify(const std::string& port);
int SetValues(const std::string& port, const std::vector<std::string>& assignments);
int Monitor(const std::string& port);

}  // namespace kt::cli
