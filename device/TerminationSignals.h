// SIGTERM and SIGINT as requests to close the program: the handler only writes one byte
// to a descriptor that the user-interface loop watches, and the loop closes the program
// the way "zakończ" does. A loop that is stuck never reads that byte; so a second signal
// that comes while the first is still unanswered ends the process at once, by the
// signal's own default action, instead of leaving SIGKILL as the only way out.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace kt::device {

namespace termination {

inline int wakeFd = -1;
// Set by a signal, cleared once the loop has acted on it.
inline std::atomic<bool> pending{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used in a signal handler");

// Only async-signal-safe calls here.
inline void OnSignal(int signalNumber) {
    if (pending.exchange(true)) {
        // Blocked while this handler runs, the signal is delivered again, with its
        // default action, as soon as the handler returns.
        struct sigaction defaultAction = {};
        defaultAction.sa_handler = SIG_DFL;
        sigemptyset(&defaultAction.sa_mask);
        sigaction(signalNumber, &defaultAction, nullptr);
        raise(signalNumber);
        return;
    }
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &byte, 1);
    errno = savedErrno;
}

}  // namespace termination

// Routes SIGTERM and SIGINT to `wakeFd`: each request writes one byte there.
inline void InstallTerminationSignals(int wakeFd) {
    termination::wakeFd = wakeFd;
    struct sigaction action = {};
    action.sa_handler = termination::OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// The loop has acted on a request (the program is closing): a later signal is a request
// of its own again rather than the second of an unanswered one.
inline void TerminationHandled() {
    termination::pending.store(false);
}

}  // namespace kt::device
