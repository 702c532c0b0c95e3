#include "PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace kt::sim {

namespace {

// The clock the timerfd counts in, so absolute deadlines mean the same on both sides.
int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::string HexLine(const char* prefix, const uint8_t* data, size_t length) {
    std::string line = prefix;
    char buf[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(buf, sizeof buf, " %02X", data[i]);
        line += buf;
    }
    return line;
}

bool MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB | HUPCL);
    t.c_cflag |= CLOCAL | CREAD | CS8;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B57600);
    cfsetospeed(&t, B57600);
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

PtyServer::PtyServer(const ModelConfig& model, const Faults& faults, uint64_t seed)
    : epochNs_(MonotonicNs()), model_(model), shaper_(seed) {
    shaper_.SetFaults(faults);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
}

PtyServer::~PtyServer() {
    Stop();
    CloseFd(wakeFd_);
    CloseFd(timerFd_);
}

int64_t PtyServer::NowNs() const {
    return MonotonicNs() - epochNs_;
}

int64_t PtyServer::NowMs() const {
    return NowNs() / kNsPerMs;
}

void PtyServer::SetError(const std::string& message) {
    std::lock_guard lock(mutex_);
    error_ = message;
}

std::string PtyServer::LastError() const {
    std::lock_guard lock(mutex_);
    return error_;
}

std::string PtyServer::SlavePath() const {
    std::lock_guard lock(mutex_);
    return slavePath_;
}

std::string PtyServer::LinkPath() const {
    std::lock_guard lock(mutex_);
    return linkPath_;
}

void PtyServer::SetFaults(const Faults& faults) {
    {
        std::lock_guard lock(mutex_);
        shaper_.SetFaults(faults);
    }
    if (wakeFd_ >= 0) eventfd_write(wakeFd_, 1);  // deadlines may have changed
}

Faults PtyServer::GetFaults() const {
    std::lock_guard lock(mutex_);
    return shaper_.GetFaults();
}

void PtyServer::RecordMeasurements(bool on) {
    std::lock_guard lock(mutex_);
    shaper_.RecordMeasurements(on);
}

std::vector<std::vector<uint8_t>> PtyServer::MeasurementsSent() const {
    std::lock_guard lock(mutex_);
    return shaper_.MeasurementsSent();
}

uint64_t PtyServer::AnswersTorn() const {
    std::lock_guard lock(mutex_);
    return shaper_.AnswersTorn();
}

void PtyServer::WithModel(const std::function<void(IndicatorModel&)>& fn) {
    std::lock_guard lock(mutex_);
    model_.AdvanceTo(NowMs());
    fn(model_);
}

void PtyServer::Log(const std::string& line) const {
    if (log_) log_(line);
}

bool PtyServer::OpenPty() {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        SetError(std::string("posix_openpt: ") + std::strerror(errno));
        return false;
    }
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        SetError(std::string("pty setup: ") + std::strerror(errno));
        close(master);
        return false;
    }
    int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0 || !MakeRaw(slave)) {
        SetError(std::string("pty slave ") + name + ": " + std::strerror(errno));
        if (slave >= 0) close(slave);
        close(master);
        return false;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    masterFd_ = master;
    slaveFd_ = slave;
    std::lock_guard lock(mutex_);
    slavePath_ = name;
    return true;
}

// Points the link at the slave: a new link is made beside it and renamed over the old
// one, so a client never finds the path missing. Anything but a link is left alone.
bool PtyServer::LinkToSlave() {
    return PointLinkAt(SlavePath());
}

bool PtyServer::PointLinkAt(const std::string& target) {
    const std::string link = LinkPath();
    if (link.empty()) return true;
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        SetError(link + " exists and is not a symbolic link");
        return false;
    }
    const std::string temp = link + ".new" + std::to_string(getpid());
    unlink(temp.c_str());
    if (symlink(target.c_str(), temp.c_str()) != 0 || rename(temp.c_str(), link.c_str()) != 0) {
        SetError("cannot link " + link + ": " + std::strerror(errno));
        unlink(temp.c_str());
        return false;
    }
    std::lock_guard lock(mutex_);
    linkTarget_ = target;
    return true;
}

bool PtyServer::Start(const std::string& linkPath) {
    if (thread_.joinable() || plugged_.load()) {
        SetError("already serving");
        return false;
    }
    if (wakeFd_ < 0 || timerFd_ < 0) {
        SetError(wakeFd_ < 0 ? "no eventfd" : "no timerfd");
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        linkPath_ = linkPath;
    }
    return OpenAndServe();
}

bool PtyServer::OpenAndServe() {
    if (!OpenPty()) return false;
    if (!LinkToSlave()) {
        CloseFd(masterFd_);
        CloseFd(slaveFd_);
        return false;
    }
    StartThread();
    return true;
}

void PtyServer::StartThread() {
    stopRequest_ = false;
    reader_ = RequestReader{};
    outgoing_.clear();
    plugged_ = true;
    thread_ = std::thread(&PtyServer::Serve, this);
}

void PtyServer::JoinThread() {
    if (!thread_.joinable()) return;
    stopRequest_ = true;
    eventfd_write(wakeFd_, 1);
    thread_.join();
}

void PtyServer::Stop() {
    JoinThread();
    std::string link, target;
    {
        std::lock_guard lock(mutex_);
        link = linkPath_;
        target = linkTarget_;
        linkTarget_.clear();
    }
    if (link.empty() || target.empty()) return;
    char buf[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0 && std::string(buf, static_cast<size_t>(n)) == target) unlink(link.c_str());
}

void PtyServer::Unplug() {
    JoinThread();
}

bool PtyServer::Replug() {
    if (plugged_.load()) return true;
    JoinThread();
    return OpenAndServe();
}

void PtyServer::UnplugAfter(int64_t ms) {
    unplugAtMs_ = ms > 0 ? NowMs() + ms : 0;
    eventfd_write(wakeFd_, 1);
}

std::optional<int64_t> PtyServer::NextDeadlineNs() const {
    std::optional<int64_t> deadline;
    const auto consider = [&deadline](int64_t t) {
        if (!deadline || t < *deadline) deadline = t;
    };
    if (!outgoing_.empty()) consider(ReleaseTime(outgoing_.front(), lastWriteNs_));
    {
        std::lock_guard lock(mutex_);
        if (auto hold = shaper_.HoldDeadline()) consider(*hold);
    }
    if (const int64_t unplugAt = unplugAtMs_.load(); unplugAt > 0) consider(unplugAt * kNsPerMs);
    return deadline;
}

// Arms the timer at an absolute time, or disarms it. A time already past fires at once.
void PtyServer::ArmTimer(std::optional<int64_t> deadlineNs) {
    itimerspec spec{};
    if (deadlineNs) {
        const int64_t at = std::max<int64_t>(1, epochNs_ + *deadlineNs);  // 0 would disarm
        spec.it_value.tv_sec = static_cast<time_t>(at / 1000000000);
        spec.it_value.tv_nsec = static_cast<long>(at % 1000000000);
    }
    timerfd_settime(timerFd_, TFD_TIMER_ABSTIME, &spec, nullptr);
}

void PtyServer::ReadRequests() {
    uint8_t buf[256];
    while (true) {
        const ssize_t n = read(masterFd_, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // EAGAIN: all read; EIO: no client right now
        for (const auto& frame : reader_.Feed(buf, static_cast<size_t>(n))) {
            requests_.fetch_add(1);
            Log(HexLine("<<", frame.data(), frame.size()));
            const int64_t now = NowNs();
            std::vector<Burst> bursts;
            {
                std::lock_guard lock(mutex_);
                auto answer = model_.HandleRequest(frame.data(), now / kNsPerMs);
                bursts = shaper_.Shape(frame[2], std::move(answer), now);
            }
            for (auto& b : bursts) outgoing_.push_back(std::move(b));
        }
    }
}

// Writes every burst whose time has come. The line counts as free from the moment a
// burst was really written, so answers never reach the client faster than the line could
// carry them, even when this thread was woken late.
void PtyServer::WriteDueBursts(int64_t nowNs) {
    {
        std::lock_guard lock(mutex_);
        for (auto& b : shaper_.ReleaseExpired(nowNs)) outgoing_.push_back(std::move(b));
    }
    while (!outgoing_.empty()) {
        const Burst& b = outgoing_.front();
        if (nowNs < ReleaseTime(b, lastWriteNs_)) return;
        ssize_t n;
        do {
            n = write(masterFd_, b.bytes.data(), b.bytes.size());
        } while (n < 0 && errno == EINTR);
        if (n == static_cast<ssize_t>(b.bytes.size())) {
            Log(HexLine(">>", b.bytes.data(), b.bytes.size()));
        } else {
            Log("-- answer lost: nobody reads the port");
        }
        outgoing_.pop_front();
        lastWriteNs_ = nowNs = NowNs();
    }
}

void PtyServer::Serve() {
    Log("-- serving on " + SlavePath());
    while (!stopRequest_.load()) {
        if (const int64_t unplugAt = unplugAtMs_.load(); unplugAt > 0 && NowMs() >= unplugAt) {
            unplugAtMs_ = 0;
            Log("-- unplugged");
            break;
        }
        ArmTimer(NextDeadlineNs());
        pollfd fds[3] = {{masterFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}, {timerFd_, POLLIN, 0}};
        const int ready = poll(fds, 3, -1);
        if (ready < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) {
            eventfd_t value;
            eventfd_read(wakeFd_, &value);
        }
        if (fds[2].revents & POLLIN) {
            uint64_t expirations;
            (void)!read(timerFd_, &expirations, sizeof expirations);
        }
        if (fds[0].revents & POLLIN) ReadRequests();
        // The server holds the slave open, so a hang-up here means the pty itself broke.
        if ((fds[0].revents & (POLLERR | POLLNVAL | POLLHUP)) != 0) break;
        WriteDueBursts(NowNs());
    }
    // Reported unplugged before the client can notice, so whoever sees the hang-up also
    // sees Plugged() false. Only this thread touches the descriptors while it runs.
    plugged_ = false;
    // The link is left dangling at a name no terminal can take: left at the pty's own
    // name it would lead to whatever terminal gets that number next (another program's),
    // where an unplugged adapter's node simply stays missing.
    PointLinkAt(SlavePath() + ".unplugged");
    CloseFd(masterFd_);
    CloseFd(slaveFd_);
}

}  // namespace kt::sim
