// Where outgoing bytes go: the serial channel in the program, a recorder in tests.
#pragma once

#include <cstdint>

namespace kt::device {

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Queues a block for writing; never reports failure (a busy or oversized send is dropped).
    virtual void Send(const uint8_t* data, int length) = 0;
};

}  // namespace kt::device
