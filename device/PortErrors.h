// Why a port could not be opened, in words: the system's reason for the command-line
// tool and the log, and the details of the program's open-failure message box.
#pragma once

#include <string>

namespace kt::device {

// The system's reason when one is known (errno), else what the open result code means.
std::string OpenFailureReason(int result, int err);

// What the operator can do about a busy, forbidden, missing or dead port (Polish); empty
// for other failures.
std::string OpenFailureHint(int err);

// Details for the operator (Polish): the port and the path it leads to, the system's
// reason, and for a permission error how to get access (the dialout group); a busy,
// missing or dead port gets a hint of its own.
std::string OpenFailureDetails(const std::string& name, const std::string& path, int result,
                               int err);

}  // namespace kt::device
