// kt210v-sim: the simulated indicator served on a pseudo-terminal.
#include <pthread.h>
#include <signal.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "PtyServer.h"
#include "SimOptions.h"

namespace {

void Message(const std::string& text) {
    std::fprintf(stderr, "kt210v-sim: %s\n", text.c_str());
}

void PrintSlavePath(const std::string& path) {
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
}

// Serves until a terminating signal; SIGUSR1 unplugs, SIGUSR2 plugs in again.
void WaitForSignals(kt::sim::PtyServer& server, const sigset_t& signals) {
    bool plugged = true;
    const timespec lap{0, 200 * 1000 * 1000};
    while (true) {
        const int sig = sigtimedwait(&signals, nullptr, &lap);
        if (plugged && !server.Plugged()) Message("unplugged");
        plugged = server.Plugged();
        if (sig == SIGINT || sig == SIGTERM || sig == SIGHUP) return;
        if (sig == SIGUSR1 && plugged) {
            server.Unplug();
            Message("unplugged");
        }
        if (sig == SIGUSR2 && !server.Plugged()) {
            if (server.Replug()) {
                Message("plugged in again on " + server.SlavePath());
                PrintSlavePath(server.SlavePath());
            } else {
                Message("cannot plug in again: " + server.LastError());
            }
        }
        plugged = server.Plugged();
    }
}

}  // namespace

int main(int argc, char** argv) {
    kt::sim::SimOptions options;
    std::string error;
    if (!kt::sim::ParseSimOptions({argv + 1, argv + argc}, options, error)) {
        Message(error);
        return 2;
    }
    if (options.help) {
        std::fputs(kt::sim::SimUsage().c_str(), stdout);
        return 0;
    }

    // Every thread started from here on inherits the blocked set; only sigtimedwait
    // below takes these signals.
    sigset_t signals;
    sigemptyset(&signals);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) sigaddset(&signals, sig);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    kt::sim::PtyServer server(options.model, options.faults, options.seed);
    if (options.logTraffic) {
        // Each line starts with the monotonic time in seconds, so request spacing can be
        // read off the log.
        server.SetTrafficLog([](const std::string& line) {
            timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(stderr, "%ld.%06ld %s\n", static_cast<long>(now.tv_sec),
                         now.tv_nsec / 1000, line.c_str());
        });
    }
    if (!server.Start(options.link)) {
        Message(server.LastError());
        return 1;
    }
    PrintSlavePath(server.SlavePath());
    if (options.unplugAfterSeconds > 0) {
        server.UnplugAfter(std::llround(options.unplugAfterSeconds * 1000.0));
    }
    Message("serving on " + server.SlavePath() + ", linked as " + options.link);

    WaitForSignals(server, signals);
    server.Stop();
    return 0;
}
