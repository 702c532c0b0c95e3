// One decoded measurement answer as the sampling clock hands it on to the displays, the
// chart, the registration table and the chart's output lines.
#pragma once

#include <cstdint>

namespace kt::measurement {

struct Sample {
    uint64_t number = 0;  // running count of answers since the program started, from 0
    double elapsed = 0;   // elapsed measuring time of the run, seconds
    bool sensorPresent[3] = {false, false, false};
    float angle[3] = {0, 0, 0};  // the last value received; kept for an absent sensor
    // The indicator counts cycles (output mode 3); otherwise the cycle counts are not
    // shown and `cycles` only repeats what the last answer carrying them said.
    bool cyclesCounted = false;
    bool cyclesInFrame = false;  // this answer carried cycle counts
    float cycles[3] = {0, 0, 0};
    bool outputOn[2] = {false, false};  // PK1, PK2
};

// Receives every sample, in the order of subscription, on the user-interface thread.
class SampleSubscriber {
public:
    virtual ~SampleSubscriber() = default;
    virtual void OnSample(const Sample& sample) = 0;
};

}  // namespace kt::measurement
