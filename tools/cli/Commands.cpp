#include "Commands.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

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
    s.warnings.quiet = true;
    s.Wizard().Connect();
    s.warnings.quiet = false;
    // A successful open returns with the worker running and `portOpen` set.
    if (!s.State().portOpen) {
        // One line: the name, the path it led to, the system's reason and the window's hint.
        device::Tserial_event& channel = s.core.Channel();
        const int err = channel.LastOpenError();
        std::string line = "cannot open " + port;
        if (channel.ResolvedPath() != port && !channel.ResolvedPath().empty()) {
            line += " (" + channel.ResolvedPath() + ")";
        }
        line += ": " + device::OpenFailureReason(channel.LastOpenResult(), err);
        if (const std::string hint = device::OpenFailureHint(err); !hint.empty()) {
            line += ". " + hint;
        }
        std::fprintf(stderr, "%s\n", line.c_str());
        return EXIT_PORT;
    }
    s.RunUntil([&] { return s.State().deviceReady || StepFailed(s.Wizard()); }, kIdentifyTimeoutMs,
               false);
    if (s.PortLost()) return PortLostExit(port, "identification");
    if (!s.State().deviceReady) {
        const int step = s.Wizard().wizardStep();
        std::fprintf(stderr, "step %d (%s) failed: the indicator did not answer\n", step,
                     StepName(step));
        return EXIT_STEP_FAILED;
    }
    return EXIT_OK;
}

int PortLostExit(const std::string& port, const char* activity) {
    std::fprintf(stderr, "%s ended: the port %s was lost\n", activity, port.c_str());
    return EXIT_PORT;
}

namespace {

void PrintIdentity(const device::DeviceState& st) {
    PrintLine("type=" + st.typeName);
    PrintLine("hardware=" + device::VersionText(st.hardwareVersion));
    PrintLine("software=" + device::VersionText(st.softwareVersion));
    for (int i = 0; i < 3; ++i) {
        PrintLine("sensor" + std::to_string(i) + (st.sensorPresent[i] ? "=1" : "=0"));
    }
    PrintLine("sensor_count=" + std::to_string(st.sensorCount));
    for (const auto& key : ParameterKeys()) PrintLine(key.name + "=" + FormatValue(key, st.Stan));
}

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) {
    g_interrupted = 1;
}

int g_outputError = 0;  // errno of the first failed write to standard output

void NoteOutputError(int error) {
    if (g_outputError == 0) g_outputError = error != 0 ? error : EIO;
}

}  // namespace

bool Interrupted() {
    return g_interrupted != 0;
}

bool PrintLine(const std::string& line) {
    if (g_outputError == 0 &&
        (std::fputs(line.c_str(), stdout) == EOF || std::fputc('\n', stdout) == EOF)) {
        NoteOutputError(errno);
    }
    return g_outputError == 0;
}

bool FlushOutput() {
    if (g_outputError == 0 && std::fflush(stdout) != 0) NoteOutputError(errno);
    return g_outputError == 0;
}

bool OutputFailed() {
    return g_outputError != 0;
}

int FinishOutput(int rc) {
    if (FlushOutput() && std::ferror(stdout)) NoteOutputError(EIO);
    // Closing makes a delayed write error show (a network file system); a standard output
    // that was never open is no failure when nothing was written to it.
    if (std::fclose(stdout) != 0 && errno != EBADF) NoteOutputError(errno);
    if (g_outputError == 0) return rc;
    std::fprintf(stderr, "cannot write standard output: %s\n", std::strerror(g_outputError));
    return rc == EXIT_OK ? EXIT_OUTPUT : rc;
}

void InstallInterruptHandlers() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    std::signal(SIGHUP, OnInterrupt);  // the terminal closed: end the run as cleanly
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
        if (!value && key->isFloat) {
            std::fprintf(stderr, "value of %s does not parse: '%s'\n", key->name.c_str(),
                         a.substr(eq + 1).c_str());
            return EXIT_USAGE;
        }
        if (!value) {
            std::fprintf(stderr, "%s must be a whole number from %lld to %lld: '%s'\n",
                         key->name.c_str(), static_cast<long long>(key->min),
                         static_cast<long long>(key->max), a.substr(eq + 1).c_str());
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
            PrintLine(key->name + "=" + FormatValue(*key, s.State().Stan));
        }
        return EXIT_OK;
    }
    if (s.PortLost()) return PortLostExit(port, "set");
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
    s.RunUntil([] { return Interrupted() || OutputFailed(); }, -1, true);
    return s.PortLost() ? PortLostExit(port, "monitor") : EXIT_OK;
}

}  // namespace kt::cli
