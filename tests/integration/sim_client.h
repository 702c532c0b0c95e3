// A plain POSIX client of the simulated port for the simulator's tests: raw 8N1, and
// reads that complete the way the program's channel completes them (first byte, then
// 50 ms without a further byte).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace kt::test {

class SimClient {
public:
    explicit SimClient(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        tcsetattr(fd_, TCSANOW, &t);
        tcflush(fd_, TCIFLUSH);
    }
    ~SimClient() { Close(); }
    SimClient(const SimClient&) = delete;
    SimClient& operator=(const SimClient&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    bool Write(const std::vector<uint8_t>& bytes) {
        return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // One block: waits up to `firstByteMs` for a byte, then reads until `idleMs` pass
    // without a further one. Empty when nothing came.
    std::vector<uint8_t> ReadBlock(int firstByteMs = 3000, int idleMs = 50) {
        std::vector<uint8_t> block;
        int timeout = firstByteMs;
        while (true) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, timeout) <= 0 || !(p.revents & POLLIN)) return block;
            uint8_t buf[256];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0) return block;
            block.insert(block.end(), buf, buf + n);
            timeout = idleMs;
        }
    }

    // Sends a request given in hex and returns the block that answers it.
    std::vector<uint8_t> Ask(const std::string& hex, int firstByteMs = 3000) {
        if (!Write(Hex(hex))) return {};
        return ReadBlock(firstByteMs);
    }

    // True when the port hangs up (the simulator closed it) within `ms`.
    bool WaitHangup(int ms) {
        const double end = NowMs() + ms;
        while (NowMs() < end) {
            pollfd p{fd_, POLLIN, 0};
            const int r = poll(&p, 1, 50);
            if (r < 0 && errno != EINTR) return true;
            if (r <= 0) continue;
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return true;
            uint8_t buf[64];
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n == 0 || (n < 0 && errno == EIO)) return true;
        }
        return false;
    }

private:
    int fd_ = -1;
};

// A temporary directory removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/kt210v-sim-test-XXXXXX";
        if (mkdtemp(name)) path_ = name;
    }
    ~TempDir() {
        if (!path_.empty()) (void)!system(("rm -rf '" + path_ + "'").c_str());
    }
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace kt::test
