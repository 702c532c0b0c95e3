// SIGTERM and SIGINT ask the loop to close the program; a second one before the loop has
// answered the first ends the process by the signal itself. Runs in a child process:
// two requests, each answered, then two more before any answer.
#include <gtest/gtest.h>

#include <cstdio>

#include "TerminationSignals.h"

static void TwoAnsweredThenTwoMore(int signalNumber) {
    int wake[2];
    char byte;
    if (::pipe(wake) != 0) _exit(2);
    kt::device::InstallTerminationSignals(wake[1]);
    for (int request = 0; request < 2; ++request) {
        raise(signalNumber);
        if (::read(wake[0], &byte, 1) != 1) _exit(3);
        kt::device::TerminationHandled();
    }
    std::fputs("answered\n", stderr);
    raise(signalNumber);
    raise(signalNumber);
    _exit(4);
}

TEST(TerminationSignalsDeathTest, SecondSignalBeforeTheAnswerEndsTheProcess) {
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        EXPECT_EXIT(TwoAnsweredThenTwoMore(signalNumber), testing::KilledBySignal(signalNumber),
                    "answered");
    }
}
