// What the fault trials check, apart from the trials themselves: the real event loop run
// until a condition holds, every sample the sampling clock hands on, whether those
// samples are frames the simulated indicator sent, and a watch on the reported
// parameters for values the indicator never held.
#pragma once

#include <QEventLoop>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DeviceState.h"
#include "FrameCut.h"
#include "FrameLog.h"
#include "Frames.h"
#include "MainHarness.h"
#include "Numbers.h"
#include "Sample.h"

namespace kt::test {

// Every sample handed on by the sampling clock, in order.
class SampleRecorder : public measurement::SampleSubscriber {
public:
    void OnSample(const measurement::Sample& sample) override { samples.push_back(sample); }
    size_t Count() const { return samples.size(); }
    std::vector<measurement::Sample> samples;
};

// The measurement frame a sample was decoded from: its status byte and values, rebuilt.
inline std::vector<uint8_t> FrameOf(const measurement::Sample& s) {
    uint8_t status = 0;
    for (int i = 0; i < 3; ++i) status |= s.sensorPresent[i] ? (1 << i) : 0;
    if (s.cyclesInFrame) status |= device::kStatusCyclesBit;
    if (s.outputOn[0]) status |= 0x10;
    if (s.outputOn[1]) status |= 0x20;
    std::vector<uint8_t> frame{device::kHeaderMeasurement, device::kHeaderMeasurement, status};
    const auto append = [&frame](float value) {
        const device::Payload p = device::Float32Payload(value);
        frame.insert(frame.end(), p.begin(), p.end());
    };
    for (int i = 0; i < 3; ++i) {
        if (!s.sensorPresent[i]) continue;
        append(s.angle[i]);
        if (s.cyclesInFrame) append(s.cycles[i]);
    }
    return frame;
}

// Empty when the samples from `from` on are frames the simulator gave to the line, in the
// order it sent them and none taken twice; else which sample is not.
inline std::string CheckSamplesWereSent(const std::vector<measurement::Sample>& samples,
                                        size_t from,
                                        const std::vector<std::vector<uint8_t>>& sent) {
    size_t next = 0;
    for (size_t i = from; i < samples.size(); ++i) {
        const std::vector<uint8_t> frame = FrameOf(samples[i]);
        while (next < sent.size() && sent[next] != frame) ++next;
        if (next == sent.size()) {
            return "sample " + std::to_string(i) +
                   " was never sent (or not in this order): " + std::to_string(frame.size()) +
                   " bytes, status " + std::to_string(frame[2]);
        }
        ++next;
    }
    return {};
}

// One parameter of the indicator as a number, with the values a trial writes to it.
struct Knob {
    const char* name;
    std::function<double(const device::DeviceParams&)> get;
    std::function<void(device::DeviceParams&, double)> put;
    std::vector<double> choices;  // exact in a float and with at most 3 decimals
};

// A knob on a scalar field of the parameters, or on element `i` of an array field.
template <class T>
Knob FieldKnob(const char* name, T device::DeviceParams::*field, std::vector<double> choices) {
    return {name, [field](const device::DeviceParams& p) { return static_cast<double>(p.*field); },
            [field](device::DeviceParams& p, double v) { p.*field = static_cast<T>(v); },
            std::move(choices)};
}
inline Knob ElementKnob(const char* name, float (device::DeviceParams::*array)[3], int i,
                        std::vector<double> choices) {
    return {
        name, [array, i](const device::DeviceParams& p) { return (p.*array)[i]; },
        [array, i](device::DeviceParams& p, double v) { (p.*array)[i] = static_cast<float>(v); },
        std::move(choices)};
}

// The parameters the faulty-line trial writes; a value spoiled in its significant byte
// is none of these choices nor a default of the simulated indicator.
inline std::vector<Knob> WrittenKnobs() {
    using P = device::DeviceParams;
    std::vector<Knob> knobs = {
        FieldKnob("LED", &P::LED, {1, 3, 7}),
        FieldKnob("OnTime", &P::OnTime, {250, 500, 1000}),
        FieldKnob("PK1", &P::PK1, {45.5, 120.25, 300}),
        FieldKnob("PK2", &P::PK2, {30, 200.5, 350.75}),
        FieldKnob("decp", &P::decp, {0, 2, 3}),
        FieldKnob("Beep", &P::Beep, {0}),
        FieldKnob("mode", &P::mode, {1, 2, 3}),
    };
    for (int i = 0; i < 3; ++i) {
        knobs.push_back(ElementKnob("COEF", &P::COEF, i, {0.5, 2, 1.25}));
        knobs.push_back(ElementKnob("Offset", &P::Offset, i, {10.5, -20.25}));
        knobs.push_back(ElementKnob("UZP", &P::UZP, i, {5.5, 100.75}));
    }
    return knobs;
}

// A traffic monitor that is "shown", so the decoder reports every answer frame to it
// before it decides on the frame: each report (and each synchronisation dump) checks
// the device state as the answers before it have left it. The first failure is kept.
class ValueWatch : public device::FrameLog {
public:
    explicit ValueWatch(std::function<std::string()> check) : check_(std::move(check)) {}
    bool IsVisible() const override { return true; }
    void AppendFrameLine(const std::string&) override { Check(); }
    void ClearParameterView() override { Check(); }
    void AppendParameterLine(const std::string&) override {}
    void Check() {
        if (failure.empty()) failure = check_();
    }
    std::string failure;

private:
    std::function<std::string()> check_;
};

// Empty when every written parameter of `stan` holds its default or one of its choices.
inline std::string CheckHeldValues(const device::DeviceParams& stan,
                                   const device::DeviceParams& defaults,
                                   const std::vector<Knob>& knobs) {
    for (const Knob& k : knobs) {
        const double v = k.get(stan);
        bool held = v == k.get(defaults);
        for (double c : k.choices) held = held || v == c;
        if (!held)
            return std::string("a value never held was taken: ") + k.name + " = " +
                   std::to_string(v);
    }
    return {};
}

}  // namespace kt::test
