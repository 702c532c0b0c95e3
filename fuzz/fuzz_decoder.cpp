// Fuzz target: the decoder's ProcessBlock on a run of arbitrary received blocks, each in a
// heap block of exactly its length so that the address sanitizer reports a read past it.
// Checks that an answer frame with a bad checksum changes nothing the decoder keeps, that
// only a good answer frame changes the reported or requested parameters, that a float
// answer is stored as reported (a NaN as a NaN), that a measurement frame's status byte is taken as
// it says, and that each measurement frame is handed to the sampling side exactly once, announced
// first.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "Decoder.h"
#include "FrameCut.h"
#include "Frames.h"
#include "FuzzInput.h"
#include "Log.h"
#include "SilentViews.h"

using namespace kt::device;
using kt::fuzz::Require;

namespace {

// The value dialog's caption decides whether a zero-position answer also fills it.
class View : public SilentDeviceView {
public:
    bool zeroDialog = false;
    std::string ValueDialogCaption() const override { return zeroDialog ? "Poz. zero =" : ""; }
};

class Monitor : public FrameLog {
public:
    bool visible = false;
    bool IsVisible() const override { return visible; }
    void AppendFrameLine(const std::string& line) override { lines += line.size(); }
    void ClearParameterView() override {}
    void AppendParameterLine(const std::string&) override {}
    size_t lines = 0;
};

// Counts the calls of the sampling side and checks their order.
class Listener : public MeasurementListener {
public:
    int announced = 0;
    int updated = 0;
    void OnMeasurementFrame() override {
        Require(announced == updated, "a measurement frame is announced once, before its update");
        ++announced;
    }
    void MeasurementUpdate() override {
        ++updated;
        Require(announced == updated, "a measurement update follows its announcement");
    }
};

template <class T>
bool SameBytes(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Everything in the device state the decoder may change.
struct Kept {
    DeviceParams Set, Stan;
    ReceivedFlags received;
    TypeStatus typeStatus;
    uint32_t hardwareVersion, softwareVersion;
    bool sensorPresent[3];
    int sensorCount;
    float angle[3], cycles[3];
    bool outputOn[2];
    bool cyclesInLastFrame, statusSeen, refreshPending, zapytanie;
    bool cycleResetRequest[3];

    explicit Kept(const DeviceState& s)
        : Set(s.Set),
          Stan(s.Stan),
          received(s.received),
          typeStatus(s.typeStatus),
          hardwareVersion(s.hardwareVersion),
          softwareVersion(s.softwareVersion),
          sensorCount(s.sensorCount),
          cyclesInLastFrame(s.cyclesInLastFrame),
          statusSeen(s.statusSeen),
          refreshPending(s.refreshPending),
          zapytanie(s.Device.zapytanie) {
        std::memcpy(sensorPresent, s.sensorPresent, sizeof sensorPresent);
        std::memcpy(angle, s.angle, sizeof angle);
        std::memcpy(cycles, s.cycles, sizeof cycles);
        std::memcpy(outputOn, s.outputOn, sizeof outputOn);
        std::memcpy(cycleResetRequest, s.cycleResetRequest, sizeof cycleResetRequest);
    }

    bool operator==(const Kept& o) const {
        return SameBytes(Set, o.Set) && SameBytes(Stan, o.Stan) &&
               SameBytes(received, o.received) && typeStatus == o.typeStatus &&
               hardwareVersion == o.hardwareVersion && softwareVersion == o.softwareVersion &&
               SameBytes(sensorPresent, o.sensorPresent) && sensorCount == o.sensorCount &&
               SameBytes(angle, o.angle) && SameBytes(cycles, o.cycles) &&
               SameBytes(outputOn, o.outputOn) && cyclesInLastFrame == o.cyclesInLastFrame &&
               statusSeen == o.statusSeen && refreshPending == o.refreshPending &&
               zapytanie == o.zapytanie && SameBytes(cycleResetRequest, o.cycleResetRequest);
    }
};

// The float parameter a good answer reports, or null for the other codes.
const float* FloatOf(const DeviceParams& p, uint8_t code) {
    if (code == cmd::PK1) return &p.PK1;
    if (code == cmd::PK2) return &p.PK2;
    if (code >= 13 && code <= 15) return &p.UZP[code - 13];
    if (code >= 16 && code <= 18) return &p.Offset[code - 16];
    if (code >= 19 && code <= 21) return &p.COEF[code - 19];
    if (code >= 22 && code <= 24) return &p.UZP[code - 22];
    return nullptr;
}

bool IsAnswer(const uint8_t* b, int n) {
    return n == kFrameSize && b[0] == kHeaderAnswer && b[1] == kHeaderAnswer;
}

// One block from the input: a length byte (bits 0-5: 0 to 63 bytes; bit 6: begins with
// the answer header pair; bit 7: an 8-byte block gets a right checksum), then its bytes.
std::unique_ptr<uint8_t[]> NextBlock(kt::fuzz::FuzzInput& input, int& n) {
    const uint8_t shape = input.Byte();
    n = shape & 0x3F;
    auto block = std::make_unique<uint8_t[]>(static_cast<size_t>(n) + (n == 0));
    for (int i = 0; i < n; ++i) block[i] = input.Byte();
    if ((shape & 0x40) && n >= 2) block[0] = block[1] = kHeaderAnswer;
    if ((shape & 0x80) && n == kFrameSize) block[7] = FrameChecksum(block.get());
    return block;
}

void CheckBlock(const DeviceState& state, const Kept& before, const uint8_t* b, int n,
                const Listener& listener, int announcedBefore) {
    const bool answer = IsAnswer(b, n);
    const bool goodAnswer = answer && FrameChecksum(b) == b[7];
    if (answer && !goodAnswer) {
        Require(Kept(state) == before, "an answer with a bad checksum changes nothing");
    }
    if (!goodAnswer) {
        Require(SameBytes(state.Stan, before.Stan) && SameBytes(state.Set, before.Set) &&
                    SameBytes(state.received, before.received),
                "only a good answer frame changes the parameters");
    }
    if (const float* stored = goodAnswer ? FloatOf(state.Stan, b[2]) : nullptr) {
        Require(std::isnan(*stored) == std::isnan(PayloadFloat32(b)),
                "a float answer is stored as reported, a NaN as a NaN");
    }

    // A whole measurement frame: a torn one (shorter than its status byte announces) is
    // a lost answer and reaches nobody.
    const bool measurement = n >= 3 && b[0] == kHeaderMeasurement && b[1] == kHeaderMeasurement &&
                             n >= MeasurementFrameLength(b[2]);
    Require(listener.announced - announcedBefore == (measurement ? 1 : 0),
            "each measurement frame, and nothing else, reaches the sampling side");
    if (measurement) {
        for (int i = 0; i < 3; ++i) {
            Require(state.sensorPresent[i] == (((b[2] >> i) & 1) != 0),
                    "a measurement frame's status byte says which sensors are present");
        }
        Require(
            state.outputOn[0] == ((b[2] & 0x10) != 0) && state.outputOn[1] == ((b[2] & 0x20) != 0),
            "a measurement frame's status byte says which outputs are on");
        Require(!state.Device.zapytanie, "a measurement frame ends the pending request");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kt::fuzz::FuzzInput input(data, size);
    DeviceState state;
    View view;
    SilentDialogs dialogs;
    Monitor monitor;
    NullLog warnings;
    Listener listener;
    Decoder decoder(state, view, dialogs, &monitor, NumberFormat{','}, "/start");
    decoder.SetMeasurementListener(&listener);
    decoder.SetLog(&warnings);
    const uint8_t options = input.Byte();
    monitor.visible = options & 1;
    view.zeroDialog = options & 2;

    while (input.left() > 0) {
        int n = 0;
        const auto block = NextBlock(input, n);
        state.Device.zapytanie = true;  // a measurement request is outstanding
        const Kept before(state);
        const int announcedBefore = listener.announced;
        decoder.ProcessBlock(block.get(), n);
        CheckBlock(state, before, block.get(), n, listener, announcedBefore);
    }
    return 0;
}
