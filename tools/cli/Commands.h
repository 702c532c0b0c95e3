// The tool's commands: identify, set and monitor.
#pragma once

#include <string>
#include <vector>

namespace kt::cli {

enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_PORT = 1,
    EXIT_OUTPUT = 1,  // standard output could not be written
    EXIT_USAGE = 2,
    EXIT_STEP_FAILED = 3,
    EXIT_NOT_CONFIRMED = 4,
};

// Set by SIGINT, SIGTERM and SIGHUP once InstallInterruptHandlers has run.
bool Interrupted();
void InstallInterruptHandlers();

// Standard output with its first failure kept (a full disk, a file-size limit, a closed
// pipe end): once a line could not be written nothing more is written, the commands end
// their runs, and FinishOutput reports the reason.
bool PrintLine(const std::string& line);
bool FlushOutput();
bool OutputFailed();
// Flushes and closes standard output. On a failure there or earlier: prints the reason on
// standard error and returns EXIT_OUTPUT, unless `rc` already tells of another failure.
int FinishOutput(int rc);

class CliSession;

// Opens the port and runs the wizard's steps; EXIT_OK once the device is ready, else
// the reason on standard error and the exit code.
int ConnectSession(CliSession& session, const std::string& port);

// Says on standard error that `activity` ended because the port was lost; EXIT_PORT.
int PortLostExit(const std::string& port, const char* activity);

int Identify(const std::string& port);
int SetValues(const std::string& port, const std::vector<std::string>& assignments);
int Monitor(const std::string& port);

}  // namespace kt::cli
