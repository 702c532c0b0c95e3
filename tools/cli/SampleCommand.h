// `sample` and the options it shares with `record`: identify, then run the program's
// sampling clock on the same core and hand every decoded measurement on.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "DeviceState.h"
#include "MqttSettings.h"
#include "Sample.h"

namespace kt::cli {

struct SampleOptions {
    int64_t periodMs = 100;
    bool realTime = false;
    double durationSeconds = 10;
    int64_t count = 0;  // 0: run for the duration
    // Off (--inter-byte-reads): reads end only after 40 ms of silence, as without frame-exact
    // reads; for comparing the two in benchmarks.
    bool frameExact = true;
    // --reconnect: a lost port does not end the run; the port is waited for (within the
    // duration), opened again and the run resumed.
    bool reconnect = false;
    // --mqtt HOST[:PORT] [--mqtt-topic PREFIX]: every sample published to that broker too.
    std::optional<measurement::MqttSettings> mqtt;
};

// Reads --period MS | --realtime, --duration S | --count N, --reconnect and the broker's
// --mqtt HOST[:PORT] [--mqtt-topic PREFIX] from `args`,
// removing them; false with `error` set on a bad or conflicting value.
bool ParseSampleOptions(std::vector<std::string>& args, SampleOptions& options, std::string& error);

// Connects, starts sampling and hands each sample to `subscriber` until the duration,
// the count, an interrupt or the loss of the port ends the run; prints the run's summary
// on standard error. With a broker, the samples and the run's status are published there
// too, and the summary tells how many reached it. Exit codes as the other commands (the
// broker never changes them); a lost port gives EXIT_PORT (with
// --reconnect only when the run still waits for its indicator at the end).
// Where asked, reports the run's elapsed time and the device type the wizard found, and
// hands `connected` the device's state once the indicator is ready (valid until return).
int RunSampling(const std::string& port, const SampleOptions& options,
                measurement::SampleSubscriber& subscriber, double* runElapsed = nullptr,
                std::string* typeName = nullptr,
                const std::function<void(const device::DeviceState&)>& connected = {});

// The CSV line of a sample: elapsed, three angles, three cycle counts, PK1, PK2.
std::string CsvLine(const measurement::Sample& sample);
inline constexpr const char* kCsvHeader =
    "elapsed_s,angle0,angle1,angle2,cycles0,cycles1,cycles2,pk1,pk2";

int SampleCommand(const std::string& port, std::vector<std::string> args);

}  // namespace kt::cli
