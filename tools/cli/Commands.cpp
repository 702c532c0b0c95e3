#include "Commands.h"

#include <csignal>
#include <cstdio>

#include "CliSession.h"
#include "Numbers.h"
#include "ParameterKeys.h"
#include "PortErrors.h"

namespace kt::cli {

namespace {

constexpr int kIdentifyTimeoutMs = 15000;
constexpr int kConfirmTimeoutMs = 5000;

const char* StepName(int step) {
    static const char* const kNames[] = {"",
                                         "",
                                         "device type",
                                         "hardware version",
                                         "software version",
                                         "sensor presence",
                                         "ONTIME",
                                         "MODE",
                                         "PK1",
                                         "PK2",
                                         "LED",
                                         "BEEP",
                                         "DECP"};
    return step <= 12 ? kNames[step] : "COEF, Offset, zero_pos";
}

// Like the wizard, the tool keeps asking after a step passed its limit (a late answer
// resumes the steps); it gives up once the step has stayed failed for two more seconds.
constexpr int kGraceTicks = 40;

bool StepFailed(const device::ConnectionWizard& w) {
    const int step = w.wizardStep();
    const int limit =
        step == 2 ? device::ConnectionWizard::kTypeStepLimit : device::ConnectionWizard::kStepLimit;
    return step >= 2 && w.stepRetries() > limit + kGraceTicks;
}

}  // namespace

int ConnectSession(CliSession& s, const std::string& port) {
    s.Wizard().Connect();
    // A successful open returns with the worker running and `portOpen` set.
    if (!s.State().portOpen) {
        device::Tserial_event& channel = s.core.Channel();
        std::fprintf(
            stderr, "cannot open %s: %s\n", port.c_str(),
            device::OpenFailureReason(channel.LastOpenResult(), channel.LastOpenError()).c_str());
        return EXIT_PORT;
    }
    s.RunUntil([&] { return s.State().deviceReady || StepFailed(s.Wizard()); }, kIdentifyTimeoutMs,
               false);
    if (!s.State().deviceReady) {
        const int step = s.Wizard().wizardStep();
        std::fprintf(stderr, "step %d (%s) failed: the indicator did not answer\n", step,
                     StepName(step));
        return EXIT_STEP_FAILED;
    }
    return EXIT_OK;
}

namespace {

void PrintIdentity(const device::DeviceState& st) {
    std::printf("type=%s\n", st.typeName.c_str());
    std::printf("hardware=%s\n", device::VersionText(st.hardwareVersion).c_str());
    std::printf("software=%s\n", device::VersionText(st.softwareVersion).c_str());
    for (int i = 0; i < 3; ++i) std::printf("sensor%d=%d\n", i, st.sensorPresent[i] ? 1 : 0);
    std::printf("sensor_count=%d\n", st.sensorCount);
    for (const auto& key : ParameterKeys()) {
        std::printf("%s=%s\n", key.name.c_str(), FormatValue(key, st.Stan).c_str());
    }
    std::fflush(stdout);
}

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) {
    g_interrupted = 1;
}

}  // namespace

bool Interrupted() {
    return g_interrupted != 0;
}

void InstallInterruptHandlers() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

int Identify(const std::string& port) {
    CliSession s(port);
    const int rc = ConnectSession(s, port);
    if (rc == EXIT_OK) PrintIdentity(s.State());
    return rc;
}

int SetValues(const std::string& port, const std::vector<std::string>& assignments) {
    std::vector<std::pair<const ParameterKey*, double>> wanted;
    for (const auto& a : assignments) {
        const auto eq = a.find('=');
        const ParameterKey* key = eq == std::string::npos ? nullptr : FindKey(a.substr(0, eq));
        if (key == nullptr) {
            std::fprintf(stderr, "unknown key in '%s'\n", a.c_str());
            return EXIT_USAGE;
        }
        const auto value = ParseValue(*key, a.substr(eq + 1));
        if (!value) {
            std::fprintf(stderr,
                         key->byteValue ? "%s must be a whole number from 0 to 255: '%s'\n"
                                        : "value of %s does not parse: '%s'\n",
                         key->name.c_str(), a.substr(eq + 1).c_str());
            return EXIT_USAGE;
        }
        wanted.emplace_back(key, *value);
    }
    CliSession s(port);
    if (const int rc = ConnectSession(s, port); rc != EXIT_OK) return rc;
    for (const auto& [key, value] : wanted) Assign(*key, value, s.State().Set);
    auto agreed = [&] {
        for (const auto& [key, value] : wanted) {
            if (!Agrees(*key, s.State().Set, s.State().Stan)) return false;
        }
        return true;
    };
    if (s.RunUntil(agreed, kConfirmTimeoutMs, true)) {
        for (const auto& [key, value] : wanted) {
            std::printf("%s=%s\n", key->name.c_str(), FormatValue(*key, s.State().Stan).c_str());
        }
        return EXIT_OK;
    }
    for (const auto& [key, value] : wanted) {
        if (!Agrees(*key, s.State().Set, s.State().Stan)) {
            std::fprintf(stderr, "%s not confirmed: asked %s, indicator reports %s\n",
                         key->name.c_str(), FormatValue(*key, s.State().Set).c_str(),
                         FormatValue(*key, s.State().Stan).c_str());
        }
    }
    return EXIT_NOT_CONFIRMED;
}

int Monitor(const std::string& port) {
    InstallInterruptHandlers();
    CliSession s(port);
    s.log.visible = true;
    if (const int rc = ConnectSession(s, port); rc != EXIT_OK) return rc;
    s.RunUntil(Interrupted, -1, true);
    return EXIT_OK;
}

}  // namespace kt::cli
