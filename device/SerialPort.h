// What the wizard and the port menu need of the serial channel; the channel implements
// it and tests fake it.
#pragma once

#include "FrameSink.h"

namespace kt::device {

class SerialPort : public FrameSink {
public:
    virtual void SetReadSize(int size) = 0;
    virtual int OpenPort(const char* name, int baudRate, int parity, int dataBits,
                         bool watchModemLines) = 0;
    virtual void ClosePort() = 0;
};

}  // namespace kt::device
