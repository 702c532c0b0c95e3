#include "Tserial_event.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <system_error>

#include "Frames.h"
#include "Log.h"
#include "PortNames.h"

namespace kt::device {

namespace {

constexpr uint64_t kStopRequest = 1u << 0;
constexpr uint64_t kReadRequest = 1u << 1;
constexpr uint64_t kWriteRequest = 1u << 2;

constexpr int64_t kNsPerMs = 1000000;

int64_t NowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

speed_t BaudConstant(int baudRate) {
    switch (baudRate) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return B0;
    }
}

bool CharacterSize(int dataBits, tcflag_t* size) {
    switch (dataBits) {
        case 5:
            *size = CS5;
            return true;
        case 6:
            *size = CS6;
            return true;
        case 7:
            *size = CS7;
            return true;
        case 8:
            *size = CS8;
            return true;
        default:
            return false;
    }
}

bool IgnorableIoctlError(int err) {
    return err == ENOTTY || err == EINVAL;
}

// Closes fd after a failed step and returns -1 with that step's errno in *err.
int FailOpen(int fd, int* err) {
    *err = errno;
    close(fd);
    return -1;
}

// Opens the device and claims it: an advisory lock that also holds against root, plus
// the tty's exclusive mode where the device has one. Returns -1 with the system's error
// in *err when either fails.
int OpenAndClaim(const std::string& path, bool* exclusive, int* err) {
    *exclusive = false;
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *err = errno;
        return -1;
    }
    int rc;
    do {
        rc = flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return FailOpen(fd, err);
    if (ioctl(fd, TIOCEXCL) == 0) {
        *exclusive = true;
    } else if (!IgnorableIoctlError(errno)) {
        return FailOpen(fd, err);
    }
    return fd;
}

void ReleaseAndClose(int fd, bool exclusive) {
    if (exclusive) ioctl(fd, TIOCNXCL);
    close(fd);
}

// The raw line of MakeLineSettings, DTR and RTS raised, input flushed. On failure the
// system's error is in *err (EINVAL where the rate or data bits are not supported).
int ConfigureLine(int fd, int baudRate, int parity, int dataBits, int* err) {
    termios tio;
    if (tcgetattr(fd, &tio) != 0) {
        *err = errno;
        return OPEN_LINE_SETTINGS_FAILED;
    }
    if (!Tserial_event::MakeLineSettings(tio, baudRate, parity, dataBits)) {
        *err = EINVAL;
        return OPEN_LINE_SETTINGS_FAILED;
    }
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (tcsetattr(fd, TCSANOW, &tio) != 0 ||
        (ioctl(fd, TIOCMBIS, &lines) != 0 && !IgnorableIoctlError(errno))) {
        *err = errno;
        return OPEN_LINE_SETTINGS_FAILED;
    }
    tcflush(fd, TCIFLUSH);
    return OPEN_OK;
}

// USB-serial adapters hold received bytes back for their latency timer (16 ms by default
// on the most common chips) before passing a short answer on, which caps real-time
// sampling near 45 answers a second. Low latency asks the driver to pass them at once
// (their drivers turn it into a latency timer of 1 ms). Returns 0, or the errno of the
// driver's refusal (a pty and most on-board ports have no such setting).
int RequestLowLatency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return errno;
    if ((serial.flags & ASYNC_LOW_LATENCY) != 0) return 0;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &serial) == 0 ? 0 : errno;
}

}  // namespace

// Everything the worker keeps between wake-ups; lives on the worker's stack.
struct Tserial_event::WorkerState {
    int fd = -1;
    bool reading = false;
    int readTarget = 0;
    int readCount = 0;
    int64_t lastByteNs = 0;  // when the read's latest bytes came
    int resumedAt = 0;       // where the read's bytes went on after a pause; 0: no pause yet
    bool quiet = false;      // the line has paused since the latest bytes
    int steadyStatus = -1;   // length bits of the last whole measurement frame
    int64_t QuietAtNs() const { return lastByteNs + int64_t{kPauseUs} * 1000; }
    int64_t ReadDeadlineNs() const { return lastByteNs + kInterByteTimeoutMs * kNsPerMs; }
    // Bytes read after the end of a frame: the beginning of the next block.
    uint8_t carry[kReceiveBufferSize] = {};
    int carryCount = 0;
    bool writing = false;
    int writeOffset = 0;
    bool modemCounters = false;  // TIOCGICOUNT works: ring pulses between samples count
    serial_icounter_struct icount = {};
    int modemStatus = 0;
    int64_t nextModemSampleNs = 0;
    // Why the worker ends: a stop request, or a failure of the line with its errno.
    bool stopRequested = false;
    const char* endReason = nullptr;
    int endError = 0;
    bool Fail(const char* reason, int err) {
        endReason = reason;
        endError = err;
        return false;
    }
};

// cfmakeraw alone is not enough for a device link: it leaves software and hardware flow
// control, two stop bits and hang-up on close as they were.
bool Tserial_event::MakeLineSettings(termios& tio, int baudRate, int parity, int dataBits) {
    speed_t speed = BaudConstant(baudRate);
    tcflag_t size = 0;
    if (speed == B0 || !CharacterSize(dataBits, &size)) return false;
    cfmakeraw(&tio);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cflag &= ~(CRTSCTS | CSTOPB | HUPCL | CSIZE | PARENB | PARODD);
    tio.c_cflag |= CLOCAL | CREAD | size;
    if (parity == 1) {
        tio.c_cflag |= PARENB | PARODD;
    } else if (parity == 2) {
        tio.c_cflag |= PARENB;
    }
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return cfsetispeed(&tio, speed) == 0 && cfsetospeed(&tio, speed) == 0;
}

Tserial_event::Tserial_event() {
    eventFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) != nullptr) baseDirectory_ = cwd;
}

Tserial_event::~Tserial_event() {
    ClosePort();
    // The worker never sleeps where a stop request cannot reach it (one poll on the port
    // and the request eventfd, non-blocking reads and writes, output flushed before the
    // close), so this join ends promptly even when the 2 s wait above ran out.
    if (worker_.joinable()) worker_.join();
    int fd = fd_.exchange(-1);
    if (fd >= 0) ReleaseAndClose(fd, exclusive_);
    if (eventFd_ >= 0) close(eventFd_);
}

void Tserial_event::SetNotificationHandler(SerialNotificationHandler handler, void* context) {
    handler_ = handler;
    handlerContext_ = context;
}

void Tserial_event::SetFrameCutter(FrameCutter cutter) {
    frameCutter_ = cutter;
}

void Tserial_event::SetLog(Log* log) {
    log_ = log;
}

void Tserial_event::SetBaseDirectory(const std::string& dir) {
    baseDirectory_ = dir;
}

void Tserial_event::SetReadSize(int size) {
    readSize_.store(std::clamp(size, 1, kReceiveBufferSize));
}

int Tserial_event::OpenPort(const char* name, int baudRate, int parity, int dataBits,
                            bool watchModemLines) {
    // A worker that ended on its own (or is still ending) is cleared away first: the
    // channel serves one worker at a time, and a worker never blocks past a stop request.
    if (worker_.joinable()) {
        Signal(kStopRequest);
        worker_.join();
    }
    int result = OPEN_OK;
    int fd = -1;
    bool exclusive = false;
    openError_ = 0;
    resolvedPath_.clear();
    if (name == nullptr || name[0] == '\0') {
        result = OPEN_NO_NAME;
    } else {
        // The whole name is resolved and opened; only the stored name is cut.
        std::strncpy(portName_, name, kMaxNameLength);
        portName_[kMaxNameLength] = '\0';
        baudRate_ = baudRate;
        parity_ = parity;
        watchModemLines_ = watchModemLines;
        resolvedPath_ = ResolvePortPath(name, baseDirectory_);
        fd = OpenAndClaim(resolvedPath_, &exclusive, &openError_);
        if (fd < 0) {
            result = OPEN_PORT_FAILED;
        } else {
            int status;
            if (watchModemLines && ioctl(fd, TIOCMGET, &status) != 0) {
                openError_ = errno;
                result = OPEN_LINE_EVENTS_FAILED;
            }
            int lineResult = ConfigureLine(fd, baudRate, parity, dataBits, &openError_);
            if (lineResult != OPEN_OK) result = lineResult;
        }
    }
    if (eventFd_ < 0) result = OPEN_NO_EVENTS;
    if (result != OPEN_OK) {
        if (fd >= 0) ReleaseAndClose(fd, exclusive);
        LogOpenFailure(name, result);
    } else {
        AskForLowLatency(fd);
        result = StartWorker(fd, exclusive);
    }
    openResult_ = result;
    return result;
}

// Starts the worker on an opened port and returns once it has announced itself
// (notification 0), so whoever reads `portOpen` after a successful open sees it set.
int Tserial_event::StartWorker(int fd, bool exclusive) {
    // Leftover stop and read requests belong to no worker; a pending write is kept.
    requests_.fetch_and(~(kStopRequest | kReadRequest));
    readBusy_.store(false);
    fd_.store(fd);
    exclusive_ = exclusive;
    {
        std::lock_guard<std::mutex> lock(finishMutex_);
        workerFinished_ = false;
        workerStarted_ = false;
    }
    workerRunning_.store(true);
    try {
        worker_ = std::thread(&Tserial_event::WorkerMain, this);
    } catch (const std::system_error& e) {
        workerRunning_.store(false);
        workerFinished_ = true;
        fd_.store(-1);
        ReleaseAndClose(fd, exclusive);
        openError_ = e.code().value();
        LogOpenFailure(portName_, OPEN_NO_EVENTS);
        return OPEN_NO_EVENTS;
    }
    std::unique_lock<std::mutex> lock(finishMutex_);
    finishCv_.wait(lock, [this] { return workerStarted_ || workerFinished_; });
    return OPEN_OK;
}

// Only a USB adapter's refusal is worth a line: there the answers will wait for the
// adapter's latency timer. Other lines refuse without consequence.
void Tserial_event::AskForLowLatency(int fd) const {
    const int refused = RequestLowLatency(fd);
    if (refused == 0 || log_ == nullptr || !IsUsbSerialDevice(resolvedPath_)) return;
    log_->Warning("port " + std::string(portName_) + " (" + resolvedPath_ +
                  "): the driver refused low latency (" + SystemReason(refused) +
                  "); answers may wait for the adapter's latency timer");
}

void Tserial_event::LogOpenFailure(const char* name, int result) const {
    if (log_ == nullptr) return;
    std::string text = "cannot open port ";
    text += name != nullptr && name[0] != '\0' ? name : "(no name)";
    if (!resolvedPath_.empty() && resolvedPath_ != name) text += " (" + resolvedPath_ + ")";
    text += ": ";
    text += openError_ != 0 ? SystemReason(openError_) : "no port name or no wake-up object";
    text += " [result " + std::to_string(result) + "]";
    log_->Error(text);
}

void Tserial_event::ClosePort() {
    Signal(kStopRequest);
    if (!worker_.joinable()) return;
    // From inside a notification the stop request is all that can be done: the loop
    // ends once the handler returns.
    if (worker_.get_id() == std::this_thread::get_id()) return;
    JoinWorker(kCloseWaitMs);
}

void Tserial_event::JoinWorker(int timeoutMs) {
    std::unique_lock<std::mutex> lock(finishMutex_);
    bool finished = finishCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                       [this] { return workerFinished_; });
    lock.unlock();
    // A worker that has not finished in time stays joinable; the next OpenPort or the
    // destructor waits for it, so it never outlives the channel.
    if (finished) worker_.join();
}

void Tserial_event::Send(const uint8_t* data, int length) {
    if (data == nullptr || length < 0 || length >= kSendBufferSize) return;
    bool expected = false;
    if (!writeBusy_.compare_exchange_strong(expected, true)) return;
    std::memcpy(sendBuffer_, data, static_cast<size_t>(length));
    sendSize_ = length;
    Signal(kWriteRequest);
}

void Tserial_event::DiscardPendingSend() {
    if (workerRunning_.load()) return;
    requests_.fetch_and(~kWriteRequest);
    writeBusy_.store(false);
}

void Tserial_event::ReleaseReceiveBuffer() {
    Signal(kReadRequest);
}

void Tserial_event::Signal(uint64_t requestBits) {
    requests_.fetch_or(requestBits);
    if (eventFd_ < 0) return;
    uint64_t one = 1;
    while (write(eventFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void Tserial_event::Notify(int code) {
    if (handler_ != nullptr) handler_(handlerContext_, this, code);
}

void Tserial_event::WorkerMain() {
    WorkerState w;
    w.fd = fd_.load();
    if (watchModemLines_) {
        w.modemCounters = ioctl(w.fd, TIOCGICOUNT, &w.icount) == 0;
        ioctl(w.fd, TIOCMGET, &w.modemStatus);
        w.nextModemSampleNs = NowNs() + kModemSampleMs * kNsPerMs;
    }
    Notify(SERIAL_CONNECTED);
    {
        std::lock_guard<std::mutex> lock(finishMutex_);
        workerStarted_ = true;
    }
    finishCv_.notify_all();
    Signal(kReadRequest);

    for (;;) {
        if (!ServeRequests(w)) break;
        pollfd fds[2] = {{eventFd_, POLLIN, 0}, {w.fd, 0, 0}};
        if (w.reading) fds[1].events |= POLLIN;
        if (w.writing) fds[1].events |= POLLOUT;

        int64_t deadline = INT64_MAX;
        if (w.reading && w.readCount > 0) {
            deadline = w.quiet || frameCutter_ == nullptr ? w.ReadDeadlineNs() : w.QuietAtNs();
        }
        if (watchModemLines_) deadline = std::min(deadline, w.nextModemSampleNs);
        timespec timeout;
        const timespec* timeoutPtr = nullptr;
        if (deadline != INT64_MAX) {
            int64_t wait = std::max<int64_t>(0, deadline - NowNs());
            timeout.tv_sec = static_cast<time_t>(wait / 1000000000);
            timeout.tv_nsec = static_cast<long>(wait % 1000000000);
            timeoutPtr = &timeout;
        }
        int ready = ppoll(fds, 2, timeoutPtr, nullptr);
        if (ready < 0) {
            if (errno == EINTR) continue;
            w.Fail("waiting for the port failed", errno);
            break;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t count;
            while (read(eventFd_, &count, sizeof count) < 0 && errno == EINTR) {
            }
        }
        if (!ServePort(w, fds[1].revents)) break;
        int64_t now = NowNs();
        if (w.reading && w.readCount > 0 && now >= w.ReadDeadlineNs()) {
            CompleteRead(w);
        } else if (w.reading && w.readCount > 0 && !w.quiet && now >= w.QuietAtNs()) {
            w.quiet = true;
            EndReadIfDone(w);
        }
        if (watchModemLines_ && now >= w.nextModemSampleNs && !SampleModemLines(w)) break;
    }
    EndWorker(w);
}

// Serves the client's requests, stop first. False when the worker is to end.
bool Tserial_event::ServeRequests(WorkerState& w) {
    uint64_t bits = requests_.load();
    if (bits & kStopRequest) {
        requests_.fetch_and(~kStopRequest);
        w.stopRequested = true;
        return false;
    }
    if (bits & kReadRequest) {
        requests_.fetch_and(~kReadRequest);
        if (!w.reading) StartRead(w);
    }
    if (bits & kWriteRequest) {
        requests_.fetch_and(~kWriteRequest);
        if (!w.writing) {
            w.writing = true;
            w.writeOffset = 0;
            if (!ContinueWrite(w)) return false;
        }
    }
    return true;
}

// Handles what poll reported for the port. False when the line is gone.
bool Tserial_event::ServePort(WorkerState& w, short revents) {
    if (revents & POLLHUP) return w.Fail("the line hung up", 0);
    if (revents & POLLERR) return w.Fail("the port reported an error", 0);
    if (revents & POLLNVAL) return w.Fail("the port was closed under the channel", 0);
    if ((revents & POLLIN) && w.reading && !ReadAvailable(w)) return false;
    if ((revents & POLLOUT) && w.writing && !ContinueWrite(w)) return false;
    return true;
}

bool Tserial_event::ReadAvailable(WorkerState& w) {
    ssize_t n;
    do {
        n = read(w.fd, receiveBuffer_ + w.readCount,
                 static_cast<size_t>(w.readTarget - w.readCount));
    } while (n < 0 && errno == EINTR);
    if (n == 0) return w.Fail("the line hung up", 0);
    if (n < 0) return errno == EAGAIN || w.Fail("reading failed", errno);
    const int64_t now = NowNs();
    if (w.readCount > 0 && now >= w.QuietAtNs()) w.resumedAt = w.readCount;
    w.lastByteNs = now;
    w.quiet = false;
    w.readCount += static_cast<int>(n);
    EndReadIfDone(w);
    return true;
}

// A new read begins with the bytes left over from the last one, if any.
void Tserial_event::StartRead(WorkerState& w) {
    w.reading = true;
    w.readTarget = readSize_.load();
    w.readCount = std::min(w.carryCount, w.readTarget);
    w.resumedAt = 0;
    w.lastByteNs = NowNs();
    w.quiet = false;
    readBusy_.store(true);
    if (w.readCount == 0) return;
    std::memcpy(receiveBuffer_, w.carry, static_cast<size_t>(w.readCount));
    w.carryCount -= w.readCount;
    std::memmove(w.carry, w.carry + w.readCount, static_cast<size_t>(w.carryCount));
    EndReadIfDone(w);
}

// Ends the read at the first whole frame (or at junk before a header pair, or at a torn
// frame) when the bytes hold one, at the read size when reached, and else waits for more
// bytes, at most the inter-byte time. What follows the cut is kept for the next read.
void Tserial_event::EndReadIfDone(WorkerState& w) {
    if (frameCutter_ != nullptr) {
        const FrameCut cut = frameCutter_(receiveBuffer_, w.readCount,
                                          LineTiming{w.resumedAt, w.quiet, w.steadyStatus});
        if (cut.kind == FrameCut::Kind::Frame && receiveBuffer_[0] == kHeaderMeasurement) {
            w.steadyStatus = receiveBuffer_[2] & kStatusLengthBits;
        }
        if (cut.kind != FrameCut::Kind::Incomplete && cut.length > 0) {
            CompleteReadAt(w, cut.length);
            return;
        }
        // A full read of bytes that begin no frame: a header byte at its very end may
        // begin the next frame, so it waits for the next read.
        const bool beginsFrame = w.readCount >= 2 && receiveBuffer_[0] == receiveBuffer_[1] &&
                                 IsHeaderByte(receiveBuffer_[0]);
        if (w.readCount >= w.readTarget && w.readCount > 1 && !beginsFrame &&
            IsHeaderByte(receiveBuffer_[w.readCount - 1])) {
            CompleteReadAt(w, w.readCount - 1);
            return;
        }
    }
    if (w.readCount >= w.readTarget) CompleteRead(w);
}

// Completes the read with its first `length` bytes; the rest begin the next read.
void Tserial_event::CompleteReadAt(WorkerState& w, int length) {
    const int rest = w.readCount - length;
    std::memmove(w.carry + rest, w.carry, static_cast<size_t>(w.carryCount));
    std::memcpy(w.carry, receiveBuffer_ + length, static_cast<size_t>(rest));
    w.carryCount += rest;
    w.readCount = length;
    CompleteRead(w);
}

void Tserial_event::CompleteRead(WorkerState& w) {
    w.reading = false;
    receivedCount_.store(w.readCount);
    readBusy_.store(false);
    // The next read starts only when the client releases the buffer.
    Notify(SERIAL_DATA_ARRIVAL);
}

bool Tserial_event::ContinueWrite(WorkerState& w) {
    while (w.writeOffset < sendSize_) {
        ssize_t n = write(w.fd, sendBuffer_ + w.writeOffset,
                          static_cast<size_t>(sendSize_ - w.writeOffset));
        if (n > 0) {
            w.writeOffset += static_cast<int>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno != EAGAIN) {
            return w.Fail("writing failed", errno);
        } else {
            return true;  // the rest goes when poll reports the port writable
        }
    }
    w.writing = false;
    writeBusy_.store(false);
    Notify(SERIAL_DATA_SENT);
    return true;
}

// Reports ring and carrier-detect changes since the last sample.
bool Tserial_event::SampleModemLines(WorkerState& w) {
    w.nextModemSampleNs = NowNs() + kModemSampleMs * kNsPerMs;
    int status;
    if (ioctl(w.fd, TIOCMGET, &status) != 0) return w.Fail("reading the modem lines failed", errno);
    bool ring;
    bool carrierChanged;
    serial_icounter_struct icount = {};
    if (w.modemCounters && ioctl(w.fd, TIOCGICOUNT, &icount) == 0) {
        ring = icount.rng != w.icount.rng;
        carrierChanged = icount.dcd != w.icount.dcd;
        w.icount = icount;
    } else {
        ring = (status & TIOCM_RNG) && !(w.modemStatus & TIOCM_RNG);
        carrierChanged = (status & TIOCM_CD) != (w.modemStatus & TIOCM_CD);
    }
    w.modemStatus = status;
    if (ring && (status & TIOCM_RNG)) Notify(SERIAL_RING);
    if (carrierChanged) Notify((status & TIOCM_CD) ? SERIAL_CD_ON : SERIAL_CD_OFF);
    return true;
}

void Tserial_event::EndWorker(WorkerState& w) {
    if (!w.stopRequested && log_ != nullptr) {
        std::string text = std::string("port ") + portName_ + " closed: " +
                           (w.endReason != nullptr ? w.endReason : "the worker ended");
        if (w.endError != 0) text += ": " + SystemReason(w.endError);
        log_->Warning(text);
    }
    // Discard unsent output first so a stuck line cannot hold the close.
    tcflush(w.fd, TCOFLUSH);
    ReleaseAndClose(w.fd, exclusive_);
    fd_.store(-1);
    readBusy_.store(false);
    // A half-written block is dropped; a block not yet started stays queued.
    if (w.writing) writeBusy_.store(false);
    // Cleared before the closed notification, so whoever handles it sees no worker.
    workerRunning_.store(false);
    Notify(SERIAL_DISCONNECTED);
    {
        std::lock_guard<std::mutex> lock(finishMutex_);
        workerFinished_ = true;
    }
    finishCv_.notify_all();
}

}  // namespace kt::device
