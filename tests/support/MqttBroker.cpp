#include "MqttBroker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace kt::test {

namespace {

using std::chrono::milliseconds;

// A port the system hands out for loopback now; the broker binds it a moment later.
int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(fd);
    return port;
}

bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

mosquitto* NewClient(const char* id, bool clean, void* self) {
    static const int initialised = mosquitto_lib_init();
    (void)initialised;
    return mosquitto_new(id, clean, self);
}

}  // namespace

MqttBroker::MqttBroker() {
    char pattern[] = "/tmp/kt210v-broker-XXXXXX";
    if (mkdtemp(pattern) != nullptr) folder_ = pattern;
}

MqttBroker::~MqttBroker() {
    Stop();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

bool MqttBroker::Start(std::string& error) {
    if (pid_ > 0) return true;
    if (port_ == 0) port_ = FreeLoopbackPort();
    const std::string config = folder_ + "/mosquitto.conf";
    // Started as root the broker would become the user "mosquitto", who may not write
    // here; it stays the user who runs the test.
    const passwd* user = getpwuid(geteuid());
    std::ofstream(config) << "user " << (user != nullptr ? user->pw_name : "root") << "\n"
                          << "listener " << port_ << " 127.0.0.1\n"
                          << "allow_anonymous true\n"
                          << "persistence true\n"
                          << "persistence_location " << folder_ << "/\n"
                          << "queue_qos0_messages true\n"
                          << "max_queued_messages 0\n"
                          << "log_dest file " << folder_ << "/broker.log\n";
    const std::string program = "/usr/sbin/mosquitto";
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("-c"),
                    const_cast<char*>(config.c_str()), nullptr};
    // Its own words (a warning about running as root among them) go to its log file.
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    const std::string output = folder_ + "/broker.out";
    posix_spawn_file_actions_addopen(&files, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    const int spawned = posix_spawn(&pid_, program.c_str(), &files, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&files);
    if (spawned != 0) {
        pid_ = -1;
        error = "cannot start " + program;
        return false;
    }
    for (int i = 0; i < 1000; ++i) {
        if (Accepts(port_)) return true;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) break;
        std::this_thread::sleep_for(milliseconds(10));
    }
    error = "the broker did not listen on port " + std::to_string(port_) + " (see " + folder_ +
            "/broker.out)";
    Stop();
    return false;
}

void MqttBroker::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

MqttCollector::MqttCollector(int port, const std::string& filter) : filter_(filter) {
    const std::string id = "kt210v-collector-" + std::to_string(getpid()) + "-" +
                           std::to_string(reinterpret_cast<uintptr_t>(this) % 100000);
    client_ = NewClient(id.c_str(), false, this);
    mosquitto_connect_callback_set(client_, OnConnect);
    mosquitto_subscribe_callback_set(client_, OnSubscribe);
    mosquitto_message_callback_set(client_, OnMessage);
    mosquitto_reconnect_delay_set(client_, 1, 1, false);
    mosquitto_connect_async(client_, "127.0.0.1", port, 30);
    mosquitto_loop_start(client_);
}

MqttCollector::~MqttCollector() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
}

void MqttCollector::OnConnect(mosquitto* client, void* self, int rc) {
    auto* collector = static_cast<MqttCollector*>(self);
    if (rc == 0) mosquitto_subscribe(client, nullptr, collector->filter_.c_str(), 1);
}

void MqttCollector::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
    auto* collector = static_cast<MqttCollector*>(self);
    std::lock_guard lock(collector->mutex_);
    collector->subscribed_ = true;
    collector->changed_.notify_all();
}

void MqttCollector::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* collector = static_cast<MqttCollector*>(self);
    std::lock_guard lock(collector->mutex_);
    collector->messages_.push_back({message->topic,
                                    std::string(static_cast<const char*>(message->payload),
                                                static_cast<size_t>(message->payloadlen)),
                                    message->retain});
    collector->changed_.notify_all();
}

bool MqttCollector::Subscribed(milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return subscribed_; });
}

std::vector<MqttMessage> MqttCollector::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

bool MqttCollector::WaitFor(const std::function<bool(const std::vector<MqttMessage>&)>& done,
                            milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return done(messages_); });
}

std::optional<std::string> RetainedMqttMessage(int port, const std::string& topic,
                                               milliseconds timeout) {
    MqttCollector reader(port, topic);
    std::optional<std::string> found;
    reader.WaitFor(
        [&](const std::vector<MqttMessage>& messages) {
            for (const MqttMessage& m : messages) {
                if (m.retained && m.topic == topic) found = m.payload;
            }
            return found.has_value();
        },
        timeout);
    return found;
}

namespace {

// A number, or nothing for "null" (and for anything that is not a whole number text).
std::optional<double> Number(const std::string& token) {
    double value = 0;
    const auto read = std::from_chars(token.data(), token.data() + token.size(), value);
    if (read.ec != std::errc() || read.ptr != token.data() + token.size()) return std::nullopt;
    return value;
}

}  // namespace

// The object's layout is checked to the byte by the unit tests; here its tokens are read
// in their places: t VALUE angle V V V cycles V V V pk1 V pk2 V.
std::optional<PublishedSample> ParsePublishedSample(const std::string& json) {
    std::vector<std::string> tokens(1);
    for (char c : json) {
        if (std::string_view("{}[],:\"").find(c) == std::string_view::npos) {
            tokens.back() += c;
        } else if (!tokens.back().empty()) {
            tokens.emplace_back();
        }
    }
    if (!tokens.back().empty() || tokens.size() != 15) return std::nullopt;
    if (tokens[0] != "t" || tokens[2] != "angle" || tokens[6] != "cycles" || tokens[10] != "pk1" ||
        tokens[12] != "pk2") {
        return std::nullopt;
    }
    PublishedSample s;
    const auto t = Number(tokens[1]), pk1 = Number(tokens[11]), pk2 = Number(tokens[13]);
    if (!t || !pk1 || !pk2) return std::nullopt;
    s.t = *t;
    s.pk1 = static_cast<int>(*pk1);
    s.pk2 = static_cast<int>(*pk2);
    for (int i = 0; i < 3; ++i) {
        float value = 0;
        for (auto [field, token] : {std::pair{s.angle, tokens[3 + i]}, {s.cycles, tokens[7 + i]}}) {
            const auto read = std::from_chars(token.data(), token.data() + token.size(), value);
            if (token != "null" && read.ec != std::errc()) return std::nullopt;
            if (token != "null") field[i] = value;
        }
    }
    return s;
}

}  // namespace kt::test
