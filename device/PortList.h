// The serial ports present on this machine, for the wizard's port box.
#pragma once

#include <string>
#include <vector>

namespace kt::device {

// Names of the serial ports under root + "dev" (root "/" is this machine; tests pass
// a fake tree), in natural name order, each one a name the port box resolves to /dev/NAME:
// - ttyUSBn and ttyACMn (USB adapters, modems) whenever the entry exists;
// - ttySn only when the driver reports a real UART: root + "sys/class/tty/ttySn/type"
//   holds a non-zero port type. Every 8250 driver registers ttyS0..ttyS3 (or more) as
//   placeholders whether a chip answers or not; those report type 0 (PORT_UNKNOWN), the
//   same value the TIOCGSERIAL request gives, but the file needs no open of the device.
// - then the entries of root + "dev/serial/by-id" (links to USB adapters named by maker
//   and serial number) by their whole path, root + "dev/serial/by-id/NAME".
// Directories and links that lead nowhere are left out.
std::vector<std::string> ListSerialPorts(const std::string& root = "/");

// Natural order: runs of digits compare by their value ("ttyS2" before "ttyS10"), the
// rest byte by byte.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace kt::device
