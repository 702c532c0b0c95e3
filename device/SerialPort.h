// What the wizard and the port menu need of the serial channel; the channel implements
// it and tests fake it.
#pragma once

#include <string>

#include "FrameSink.h"

namespace kt::device {

class SerialPort : public FrameSink {
public:
    virtual void SetReadSize(int size) = 0;
    virtual int OpenPort(const char* name, int baudRate, int parity, int dataBits,
                         bool watchModemLines) = 0;
    virtual void ClosePort() = 0;
    // The system's error (errno) behind the last failed OpenPort, 0 if none is known.
    virtual int LastOpenError() const { return 0; }
    // The path the last OpenPort resolved its name to, empty if unknown.
    virtual std::string ResolvedPath() const { return {}; }
};

}  // namespace kt::device
