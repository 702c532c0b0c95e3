// SIGTERM and SIGINT ask the loop to close the program; a second signal while the first
// is still unanswered (a loop that is stuck) ends the process by the signal itself. Each
// case runs in a child process, whose signal handlers it may change.
#include <gtest/gtest.h>

#include "TerminationSignals.h"

namespace {

// A request, its answer, a second request and a third one before that is answered.
void RequestsOneAnswered(int signalNumber) {
    int wake[2];
    if (::pipe(wake) != 0) _exit(2);
    kt::device::InstallTerminationSignals(wake[1]);
    char byte;
    raise(signalNumber);
    if (::read(wake[0], &byte, 1) != 1) _exit(3);
    kt::device::TerminationHandled();
    raise(signalNumber);
    if (::read(wake[0], &byte, 1) != 1) _exit(4);
    raise(signalNumber);
    _exit(5);  // the unanswered second request did not end the process
}

}  // namespace

TEST(TerminationSignalsDeathTest, SecondSignalBeforeTheAnswerEndsTheProcess) {
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        EXPECT_EXIT(RequestsOneAnswered(signalNumber), testing::KilledBySignal(signalNumber), "");
    }
}
