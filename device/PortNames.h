// Where a port name leads on this system.
#pragma once

#include <string>

namespace kt::device {

// n for a name "COMn" with n >= 1 (letters in any case), else 0.
int ComPortNumber(const std::string& name);

// The path opened for a port name:
// - a name containing "/" is a path and used as given;
// - else an entry of that name in baseDirectory (such as a symlink COM1 -> /dev/pts/5),
//   when baseDirectory is not empty and the entry exists;
// - else "COMn" is /dev/ttyS{n-1};
// - else /dev/NAME (ttyUSB0, ttyACM0).
std::string ResolvePortPath(const std::string& name, const std::string& baseDirectory);

// Whether the device a path leads to (links followed) is a USB-serial adapter's line:
// /dev/ttyUSB* (adapter chips with drivers of their own) or /dev/ttyACM* (CDC ACM).
bool IsUsbSerialDevice(const std::string& path);

}  // namespace kt::device
