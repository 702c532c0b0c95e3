// The serial port channel: one port, one worker thread that performs every read and
// write and reports each event to a single notification handler.
//
// The worker sleeps in one ppoll() on the port and an eventfd that carries the client's
// requests (stop, read, write) as bits of an atomic word; a stop request is served
// before anything else. With a frame cutter (SetFrameCutter) a read completes as soon as
// its bytes hold one whole frame, and the bytes after it begin the next read. Otherwise a
// read completes when the read size is reached or 40 ms pass without a further byte
// after the first one (a poll deadline restarted after every chunk; the first byte is
// awaited without time-out); it never completes empty. After
// notification 3 no read is outstanding until the client calls ReleaseReceiveBuffer,
// which the handler may do from inside the notification. At most one write is in
// flight; partial writes are continued when the port is writable again. No allocation
// after construction: both buffers are fixed.
//
// A hung-up line (read returns 0, a write fails with EIO, poll reports POLLHUP or
// POLLERR) ends the worker exactly like ClosePort: output flushed, exclusivity dropped,
// port closed, notification 1. Only the worker closes the port while it runs.
//
// Choices where the channel's contract leaves room:
// - A stop request left over from a ClosePort on a channel without a worker (for
//   example after the worker ended on a hang-up) is discarded when the next worker
//   starts, so a fresh OpenPort is never undone by an old close.
// - A block offered while no worker runs stays in the send buffer with write busy set
//   and is written by the next worker. Write busy is cleared only by the worker: when
//   a write completes, or when the worker ends with a write half done (the rest of that
//   block is dropped). A block still waiting when a worker ends therefore keeps write
//   busy set, and no newer block can overwrite it before it has been written.
//
// Modem lines: where watching is asked, OpenPort needs the device to report its modem
// status (TIOCMGET); a pseudo-terminal cannot, and gives result 1. While watched, the
// worker samples the ring and carrier-detect counters every 20 ms (the kernel's line
// wait cannot be woken without a signal); nothing is sampled otherwise.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "FrameCut.h"
#include "SerialPort.h"

struct termios;

namespace kt::device {

class Log;
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

// Results of OpenPort (one value; where several steps fail the last one decides).
enum OpenResult : int {
    OPEN_OK = 0,
    OPEN_LINE_EVENTS_FAILED = 1,
    OPEN_TIMEOUTS_FAILED = 2,
    OPEN_LINE_SETTINGS_FAILED = 4,
    OPEN_PORT_FAILED = 8,
    OPEN_NO_NAME = 16,
    OPEN_NO_EVENTS = 32,
};

// Where the first frame of the given bytes ends, given how they came; called on the
// worker thread.
using FrameCutter = FrameCut (*)(const uint8_t* bytes, int count, LineTiming line);

// Plain function pointer plus context: set once, called on the worker thread.
using SerialNotificationHandler = void (*)(void* context, Tserial_event* channel, int code);

class Tserial_event : public SerialPort {
public:
    static constexpr int kReceiveBufferSize = 1024;
    static constexpr int kSendBufferSize = 256;
    static constexpr int kMaxNameLength = 9;
    // A read that holds no whole frame ends this long after its last byte (a frame cut
    // short, bytes that begin no frame). The wizard and the synchronisation send on 50 ms
    // ticks and expect each answer to be seen by the next tick: without frame-exact reads
    // a full 50 ms would end a prompt answer's read just after that tick. 40 ms still
    // keeps the bytes of one burst together across 20 ms hiccups.
    static constexpr int kInterByteTimeoutMs = 40;
    // Bytes that come this long after the previous ones went on after a pause: longer than
    // a UART's receive time-out (4 characters, 0.7 ms at 57600 bit/s), shorter than the
    // 8-byte request (1.4 ms) that must go out before another answer can come.
    static constexpr int kPauseUs = 1000;
    static constexpr int kCloseWaitMs = 2000;
    static constexpr int kModemSampleMs = 20;

    Tserial_event();
    ~Tserial_event() override;
    Tserial_event(const Tserial_event&) = delete;
    Tserial_event& operator=(const Tserial_event&) = delete;

    // Set while no worker runs (before the first OpenPort).
    void SetNotificationHandler(SerialNotificationHandler handler, void* context);
    // Frame-exact reads: with a cutter, a read ends as soon as its bytes hold one whole
    // frame (or junk bytes before a header pair, or a frame torn by a pause after which a
    // new one begins), and bytes after it begin the next read,
    // so frames that arrive together become consecutive blocks. Without one (null), a
    // read ends only at the read size or after the inter-byte time. Set while no worker
    // runs.
    void SetFrameCutter(FrameCutter cutter);
    // Where failures are explained (an open that failed, a worker that ended on a line
    // failure); may be null. Set while no worker runs.
    void SetLog(Log* log);
    // Directory in which a bare port name such as "COM1" is first looked up; the
    // current directory at construction unless set.
    void SetBaseDirectory(const std::string& dir);
    // Bytes asked for by each read, from 1 to 1024; takes effect with the next read.
    void SetReadSize(int size) override;
    int ReadSize() const { return readSize_.load(); }

    // Returns once the worker has sent notification 0 (or already ended). The whole name
    // is resolved and opened; only the stored name is cut to 9 characters.
    int OpenPort(const char* name, int baudRate, int parity, int dataBits,
                 bool watchModemLines) override;
    // The system's error (errno) behind the last failed OpenPort; 0 when it succeeded or
    // failed for want of a name.
    int LastOpenError() const override { return openError_; }
    int LastOpenResult() const { return openResult_; }
    // The path the last OpenPort resolved its name to.
    std::string ResolvedPath() const override { return resolvedPath_; }
    // Stops the worker and waits for it at most kCloseWaitMs. Must not be called from
    // the notification handler.
    void ClosePort() override;
    void Send(const uint8_t* data, int length) override;
    // Drops a block waiting in the send buffer for the next worker (one offered while no
    // worker ran), so a stale frame is not written at the next open. Nothing happens
    // while a worker runs.
    void DiscardPendingSend();

    // Valid from notification 3 until ReleaseReceiveBuffer.
    const uint8_t* ReceivedBytes() const { return receiveBuffer_; }
    int ReceivedCount() const { return receivedCount_.load(); }
    void ReleaseReceiveBuffer();

    // The name as stored by the last OpenPort (cut to 9 characters).
    const char* PortName() const { return portName_; }
    bool WorkerRunning() const { return workerRunning_.load(); }

    // Turns `tio` into the raw line OpenPort sets: no flow control, one stop bit, the
    // given rate, data bits and parity (1 odd, 2 even, else none), reads of at least one
    // byte. False when the rate or the data bits are not supported.
    static bool MakeLineSettings(termios& tio, int baudRate, int parity, int dataBits);

private:
    struct WorkerState;

    int StartWorker(int fd, bool exclusive);
    void AskForLowLatency(int fd) const;
    void LogOpenFailure(const char* name, int result) const;
    void WorkerMain();
    bool ServeRequests(WorkerState& w);
    bool ServePort(WorkerState& w, short revents);
    bool ReadAvailable(WorkerState& w);
    void StartRead(WorkerState& w);
    void EndReadIfDone(WorkerState& w);
    void CompleteReadAt(WorkerState& w, int length);
    void CompleteRead(WorkerState& w);
    bool ContinueWrite(WorkerState& w);
    bool SampleModemLines(WorkerState& w);
    void EndWorker(WorkerState& w);
    void Notify(int code);
    void Signal(uint64_t requestBits);
    void JoinWorker(int timeoutMs);

    char portName_[kMaxNameLength + 1] = {};
    std::string baseDirectory_;
    int baudRate_ = 0;
    int parity_ = 0;
    bool watchModemLines_ = false;
    int openError_ = 0;
    int openResult_ = OPEN_OK;
    std::string resolvedPath_;
    Log* log_ = nullptr;
    FrameCutter frameCutter_ = nullptr;

    std::atomic<int> fd_{-1};
    bool exclusive_ = false;  // TIOCEXCL was set by this channel on fd_
    int eventFd_ = -1;
    std::thread worker_;
    std::atomic<bool> workerRunning_{false};
    std::mutex finishMutex_;
    std::condition_variable finishCv_;
    bool workerFinished_ = true;  // guarded by finishMutex_
    bool workerStarted_ = false;  // guarded by finishMutex_: notification 0 has been sent
    std::atomic<uint64_t> requests_{0};

    std::atomic<bool> writeBusy_{false};
    std::atomic<bool> readBusy_{false};

    uint8_t receiveBuffer_[kReceiveBufferSize] = {};
    std::atomic<int> readSize_{1};
    std::atomic<int> receivedCount_{0};
    uint8_t sendBuffer_[kSendBufferSize] = {};
    int sendSize_ = 0;

    SerialNotificationHandler handler_ = nullptr;
    void* handlerContext_ = nullptr;
};

}  // namespace kt::device
