// The serial port channel: one port, one worker thread that performs every read and
// write and reports each event to a single notification handler.
//
// Linux port of an event-driven design: the worker sleeps in one poll() on the port and
// an eventfd that carries the client's requests (stop, read, write). A read completes
// when the read size is reached or 50 ms pass without a further byte after the first
// one; it never completes empty. At most one write is in flight; a block offered while
// one is busy is dropped. No allocation after construction.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "FrameSink.h"

namespace kt::device {

class Tserial_event;

// Notification codes passed to the handler.
enum SerialNotification : int {
    SERIAL_CONNECTED = 0,
    SERIAL_DISCONNECTED = 1,
    SERIAL_DATA_SENT = 2,
    SERIAL_DATA_ARRIVAL = 3,
    SERIAL_RING = 4,
    SERIAL_CD_ON = 5,
    SERIAL_CD_OFF = 6,
};

// Results of OpenPort (may be or-ed in the platform's original; one value here).
enum OpenResult : int {
    OPEN_OK = 0,
    OPEN_LINE_EVENTS_FAILED = 1,
    OPEN_TIMEOUTS_FAILED = 2,
    OPEN_LINE_SETTINGS_FAILED = 4,
    OPEN_PORT_FAILED = 8,
    OPEN_NO_NAME = 16,
    OPEN_NO_EVENTS = 32,
};

// Plain function pointer plus context: set once, called on the worker thread.
using SerialNotificationHandler = void (*)(void* context, Tserial_event* channel, int code);

class Tserial_event : public FrameSink {
public:
    static constexpr int kReceiveBufferSize = 1024;
    static constexpr int kSendBufferSize = 256;
    static constexpr int kMaxNameLength = 9;
    static constexpr int kInterByteTimeoutMs = 50;
    static constexpr int kCloseWaitMs = 2000;

    Tserial_event();
    ~Tserial_event() override;
    Tserial_event(const Tserial_event&) = delete;
    Tserial_event& operator=(const Tserial_event&) = delete;

    void SetNotificationHandler(SerialNotificationHandler handler, void* context);
    // Directory in which a bare port name such as "COM1" is first looked up.
    void SetBaseDirectory(const std::string& dir);
    void SetReadSize(int size);
    int ReadSize() const { return readSize_.load(); }

    int OpenPort(const char* name, int baudRate, int parity, int dataBits, bool watchModemLines);
    void ClosePort();
    void Send(const uint8_t* data, int length) override;

    const uint8_t* ReceivedBytes() const { return receiveBuffer_; }
    int ReceivedCount() const { return receivedCount_.load(); }
    void ReleaseReceiveBuffer();

    // The name as stored by the last OpenPort (cut to 9 characters).
    const char* PortName() const { return portName_; }
    bool WorkerRunning() const { return workerRunning_.load(); }

private:
    void WorkerMain();
    void Notify(int code);
    void Signal(uint64_t requestBits);

    char portName_[kMaxNameLength + 1] = {};
    std::string baseDirectory_;
    int baudRate_ = 0;
    int parity_ = 0;
    bool watchModemLines_ = false;

    int fd_ = -1;
    int eventFd_ = -1;
    std::thread worker_;
    std::atomic<bool> workerRunning_{false};
    std::atomic<uint64_t> requests_{0};

    std::atomic<bool> writeBusy_{false};
    std::atomic<bool> readBusy_{false};
    std::atomic<bool> statusBusy_{false};

    uint8_t receiveBuffer_[kReceiveBufferSize] = {};
    std::atomic<int> readSize_{1};
    std::atomic<int> receivedCount_{0};
    uint8_t sendBuffer_[kSendBufferSize] = {};
    int sendSize_ = 0;

    SerialNotificationHandler handler_ = nullptr;
    void* handlerContext_ = nullptr;
};

}  // namespace kt::device
