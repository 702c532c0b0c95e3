#include "SampleCommand.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "CliSession.h"
#include "Commands.h"
#include "HundredthsClock.h"
#include "MqttRun.h"
#include "Numbers.h"
#include "SamplingClock.h"

namespace kt::cli {

namespace {

constexpr double kMaxDurationSeconds = 1e7;  // about 116 days

// Takes the value after args[i], removing both; empty when there is none.
std::optional<std::string> TakeValue(std::vector<std::string>& args, size_t i) {
    if (i + 1 >= args.size()) return std::nullopt;
    std::string value = args[i + 1];
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    return value;
}

}  // namespace

bool ParseSampleOptions(std::vector<std::string>& args, SampleOptions& o, std::string& error) {
    if (!TakeMqttOptions(args, o.mqtt, error)) return false;
    bool period = false, duration = false;
    for (size_t i = 0; i < args.size();) {
        const std::string name = args[i];
        if (name == "--realtime" || name == "--inter-byte-reads" || name == "--reconnect") {
            if (name == "--reconnect") {
                o.reconnect = true;
            } else {
                (name == "--realtime" ? o.realTime : o.frameExact) = name == "--realtime";
            }
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (name != "--period" && name != "--duration" && name != "--count") {
            ++i;
            continue;
        }
        const std::optional<std::string> text = TakeValue(args, i);
        if (!text) {
            error = name + " needs a value";
            return false;
        }
        if (name == "--period") {
            const auto v = device::ParseInteger(*text);
            if (!v || *v < measurement::kMinPeriodMs || *v > measurement::kMaxPeriodMs) {
                error = "--period must be a whole number of ms from 10 to 10000000: " + *text;
                return false;
            }
            o.periodMs = *v;
            period = true;
        } else if (name == "--duration") {
            const auto v = device::ParseDecimal(*text, '.');
            if (!v || *v <= 0 || *v > kMaxDurationSeconds) {
                error =
                    "--duration must be a number of seconds above 0, at most 10000000: " + *text;
                return false;
            }
            o.durationSeconds = *v;
            duration = true;
        } else {
            const auto v = device::ParseInteger(*text);
            if (!v || *v <= 0) {
                error = "--count must be a whole number above 0: " + *text;
                return false;
            }
            o.count = *v;
        }
    }
    if (period && o.realTime) error = "--period and --realtime exclude each other";
    if (duration && o.count > 0) error = "--duration and --count exclude each other";
    return error.empty();
}

namespace {

// Fixed notation with a decimal point whatever the locale; values that are not finite
// numbers as nan, inf and -inf, and -0 as 0.
std::string CsvNumber(double x, int decimals) {
    if (std::isnan(x)) return "nan";
    if (std::isinf(x)) return x < 0 ? "-inf" : "inf";
    if (x == 0) x = 0;
    char text[400];  // the largest double has 309 digits before the point
    const auto end = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed, decimals);
    return std::string(text, end.ptr);
}

}  // namespace

std::string CsvLine(const measurement::Sample& s) {
    std::string line = CsvNumber(s.elapsed, 3);
    for (int i = 0; i < 3; ++i) {
        line += ',';
        if (s.sensorPresent[i]) line += CsvNumber(s.angle[i], 4);
    }
    // A whole count (every count a working indicator sends) as an integer, anything else
    // in the angles' form.
    for (int i = 0; i < 3; ++i) {
        line += ',';
        const double cycles = s.cycles[i];
        if (s.sensorPresent[i] && s.cyclesInFrame) {
            line += CsvNumber(cycles, std::trunc(cycles) == cycles ? 0 : 4);
        }
    }
    line += s.outputOn[0] ? ",1" : ",0";
    line += s.outputOn[1] ? ",1" : ",0";
    return line;
}

namespace {

// The time stamps of the first and the last sample of the run: the mean period is the
// span between them over the gaps between samples (the time before the first answer and
// after the last one is no period).
class StampSpan : public measurement::SampleSubscriber {
public:
    void OnSample(const measurement::Sample& sample) override {
        if (count_++ == 0) first_ = sample.elapsed;
        last_ = sample.elapsed;
    }
    double MeanPeriodMs() const {
        return count_ > 1 ? (last_ - first_) * 1000 / static_cast<double>(count_ - 1) : 0;
    }

private:
    uint64_t count_ = 0;
    double first_ = 0;
    double last_ = 0;
};

}  // namespace

int RunSampling(const std::string& port, const SampleOptions& options,
                measurement::SampleSubscriber& subscriber, double* runElapsed,
                std::string* typeName,
                const std::function<void(const device::DeviceState&)>& connected) {
    InstallInterruptHandlers();
    CliSession s(port);
    MqttRun mqtt(options.mqtt);  // connects while the indicator is identified
    s.core.SetFrameExactReads(options.frameExact);
    if (const int rc = ConnectSession(s, port); rc != EXIT_OK) return rc;
    if (connected) connected(s.State());

    measurement::SilentSamplingView view;
    measurement::SteadyHundredthsClock clock;
    measurement::SamplingClock sampling(s.State(), s.core.Sender(), s.dialogs, view, clock, '.');
    sampling.SetPeriodMs(options.periodMs);
    sampling.SetRealTime(options.realTime);
    sampling.Subscribe(subscriber);
    StampSpan span;
    sampling.Subscribe(span);
    mqtt.Subscribe(sampling);
    s.core.Decode().SetMeasurementListener(&sampling);
    s.AttachSampling(&sampling);
    s.core.Reconnector().SetPausedRun(&sampling);
    s.core.Reconnector().SetEnabled(options.reconnect);

    sampling.Start();
    const auto& counters = sampling.Counters();
    // Every pass of the loop brings the broker's status up to date as well.
    auto done = [&] {
        mqtt.Follow(s.State().deviceReady, sampling.Phase());
        return Interrupted() || OutputFailed() ||
               (options.count > 0 && counters.samples >= static_cast<uint64_t>(options.count));
    };
    // Whole milliseconds in 64 bits: the longest run, 1e7 s, is 1e10 ms.
    s.RunUntil(done, options.count > 0 ? -1 : static_cast<int64_t>(options.durationSeconds * 1000),
               true);
    // Reconnecting, the run is lost only when it still waits for its indicator.
    const bool lost = options.reconnect ? sampling.WaitingForDevice() : s.PortLost();
    if (runElapsed != nullptr) *runElapsed = sampling.RunElapsed();
    if (typeName != nullptr) *typeName = s.State().typeName;
    sampling.Stop();
    mqtt.Follow(s.State().deviceReady, sampling.Phase());
    s.core.Decode().SetMeasurementListener(nullptr);

    FlushOutput();
    std::fprintf(stderr, "samples=%llu mean_period_ms=%.3f requests=%llu timeouts=%llu\n",
                 static_cast<unsigned long long>(counters.samples), span.MeanPeriodMs(),
                 static_cast<unsigned long long>(counters.requests),
                 static_cast<unsigned long long>(counters.realTimeTimeouts));
    mqtt.Finish();
    return lost ? PortLostExit(port, "sampling") : EXIT_OK;
}

namespace {

class CsvPrinter : public measurement::SampleSubscriber {
public:
    void OnSample(const measurement::Sample& sample) override { PrintLine(CsvLine(sample)); }
};

}  // namespace

int SampleCommand(const std::string& port, std::vector<std::string> args) {
    SampleOptions options;
    std::string error;
    if (!ParseSampleOptions(args, options, error) || !args.empty()) {
        if (error.empty()) error = "unknown argument: " + args.front();
        std::fprintf(stderr, "%s\n", error.c_str());
        return EXIT_USAGE;
    }
    PrintLine(kCsvHeader);
    CsvPrinter printer;
    return RunSampling(port, options, printer);
}

}  // namespace kt::cli
