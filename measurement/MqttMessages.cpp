#include "MqttMessages.h"

#include <unistd.h>

#include <charconv>
#include <climits>
#include <cmath>

#include "Numbers.h"

namespace kt::measurement {

namespace {

template <class T>
void AppendNumber(T value, std::string& out) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    // The shortest text that reads back as the same value, always with a '.'.
    const auto written = std::to_chars(text, text + sizeof text, value);
    out.append(text, written.ptr);
}

void AppendArray(const bool* present, const float* values, std::string& out) {
    out += '[';
    for (int i = 0; i < 3; ++i) {
        if (i > 0) out += ',';
        if (present[i]) {
            AppendNumber(values[i], out);
        } else {
            out += "null";
        }
    }
    out += ']';
}

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF), as a topic name must be.
bool IsUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        int more = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, code = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<size_t>(more) >= text.size()) return false;
        for (int k = 1; k <= more; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (code < kLeast[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += static_cast<size_t>(more) + 1;
    }
    return true;
}

}  // namespace

void AppendMqttSampleJson(const Sample& sample, std::string& out) {
    out += "{\"t\":";
    AppendNumber(sample.elapsed, out);
    out += ",\"angle\":";
    AppendArray(sample.sensorPresent, sample.angle, out);
    out += ",\"cycles\":";
    const bool carried[3] = {sample.cyclesInFrame, sample.cyclesInFrame, sample.cyclesInFrame};
    AppendArray(carried, sample.cycles, out);
    out += ",\"pk1\":";
    out += sample.outputOn[0] ? '1' : '0';
    out += ",\"pk2\":";
    out += sample.outputOn[1] ? '1' : '0';
    out += '}';
}

std::string MqttSampleJson(const Sample& sample) {
    std::string out;
    AppendMqttSampleJson(sample, out);
    return out;
}

const char* MqttStatusText(bool deviceReady, RunPhase phase) {
    if (!deviceReady) return "nie wykryto";
    switch (phase) {
        case RunPhase::Running:
            return "praca";
        case RunPhase::Paused:
            return "pauza";
        case RunPhase::Stopped:
            break;
    }
    return "stop";
}

std::string DefaultMqttTopicPrefix() {
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') return "kt210v/localhost";
    // A host name may hold characters a topic level must not: '+', '#' and '/' become '_'.
    std::string name = host;
    for (char& c : name) {
        if (c == '+' || c == '#' || c == '/') c = '_';
    }
    return "kt210v/" + name;
}

std::string MqttTopic(const std::string& prefix, const char* leaf) {
    if (!prefix.empty() && prefix.back() == '/') return prefix + leaf;
    return prefix + "/" + leaf;
}

std::string MqttPrefixProblem(std::string_view prefix) {
    if (prefix.empty()) return "the topic prefix is empty";
    if (prefix.find_first_of("+#") != std::string_view::npos) {
        return "the topic prefix holds a wildcard (+ or #)";
    }
    if (prefix.find('\0') != std::string_view::npos) return "the topic prefix holds a NUL";
    if (!IsUtf8(prefix)) return "the topic prefix is not UTF-8 text";
    if (prefix.size() > 60000) return "the topic prefix is too long";
    return {};
}

bool ParseBrokerAddress(std::string_view text, BrokerAddress& address, std::string& error) {
    std::string_view host = text;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos) {
            error = "a '[' without ']' in the broker address: " + std::string(text);
            return false;
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            error = "text after ']' in the broker address: " + std::string(text);
            return false;
        }
        if (!rest.empty()) port = rest.substr(1);
        if (rest.size() == 1) port = ":";  // "[::1]:" has an empty port
    } else if (const size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        if (text.find(':') != colon) {
            error = "an IPv6 broker address goes in brackets, as [::1]:1883: " + std::string(text);
            return false;
        }
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty()) port = ":";
    }
    if (host.empty()) {
        error = "the broker address names no host: " + std::string(text);
        return false;
    }
    int number = kMqttDefaultPort;
    if (!port.empty()) {
        const auto parsed = device::ParseInteger(std::string(port));
        if (!parsed || *parsed < 1 || *parsed > 65535) {
            error = "the broker's port must be a number from 1 to 65535: " + std::string(text);
            return false;
        }
        number = static_cast<int>(*parsed);
    }
    address.host = std::string(host);
    address.port = number;
    return true;
}

}  // namespace kt::measurement
