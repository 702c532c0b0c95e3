// Everything the program knows about the connected indicator: the requested parameters
// (`Set`), the reported ones (`Stan`), link flags, identity, sensors, readings and the
// flags through which the decoder, the synchronisation tick and the wizard cooperate.
// Plain data; read and written on the user-interface thread only, except `portOpen`.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace kt::device {

struct DeviceParams {
    float PK1 = 0;
    float PK2 = 0;
    uint32_t Q_NR = 0;
    float UZP[3] = {0, 0, 0};
    float Offset[3] = {0, 0, 0};
    float COEF[3] = {0, 0, 0};
    int32_t LED = 0;
    int32_t decp = 0;
    int32_t Beep = 0;
    int32_t mode = 0;
    uint32_t OnTime = 0;
};

struct DeviceFlags {
    bool GO = false;
    bool zapytanie = false;
    int32_t bledna_transmisja = 0;
};

enum class TypeStatus { NotAnswered, Recognised, NotRecognised };

// One flag per parameter: an answer carrying it arrived since the connection started.
struct ReceivedFlags {
    bool mode = false;
    bool decp = false;
    bool Beep = false;
    bool OnTime = false;
    bool PK1 = false;
    bool PK2 = false;
    bool LED = false;
    bool UZP[3] = {false, false, false};
    bool Offset[3] = {false, false, false};
    bool COEF[3] = {false, false, false};
    bool status = false;
};

inline constexpr const char* kUnrecognisedTypeName = "<nierozpoznane>";
inline constexpr int kDefaultBaudRate = 57600;

class DeviceState {
public:
    DeviceParams Set;
    DeviceParams Stan;
    DeviceFlags Device;

    // Identity.
    TypeStatus typeStatus = TypeStatus::NotAnswered;
    std::string typeName = kUnrecognisedTypeName;
    uint32_t hardwareVersion = 0;
    uint32_t softwareVersion = 0;
    bool deviceReady = false;

    // Sensors, readings and outputs.
    bool sensorPresent[3] = {false, false, false};
    int sensorCount = 0;
    float angle[3] = {0, 0, 0};
    float cycles[3] = {0, 0, 0};
    bool outputOn[2] = {false, false};
    bool cyclesInLastFrame = false;  // the last measurement frame carried cycle counts

    // Cooperation between decoder, synchronisation tick and wizard.
    ReceivedFlags received;
    bool statusSeen = false;
    bool refreshPending = false;
    bool cycleResetRequest[3] = {false, false, false};
    bool cycleResetSent[3] = {false, false, false};  // the request's frame has gone out
    int32_t statusCountdown = 0;
    // Parameters the synchronisation has written and no answer has reported since, one
    // bit per command code: until an answer comes, the indicator may hold the new value
    // or the old one, so the field does not count as agreeing even when `Set` and `Stan`
    // are equal (the operator went back to the old value while the answer was lost).
    // Valid codes are below 37; an answer with a larger code clears nothing.
    uint64_t writesAwaitingAnswer = 0;
    static uint64_t CodeBit(uint8_t code) { return code < 64 ? uint64_t{1} << code : 0; }
    void MarkWritten(uint8_t code) { writesAwaitingAnswer |= CodeBit(code); }
    void AnswerReceived(uint8_t code) { writesAwaitingAnswer &= ~CodeBit(code); }
    bool AwaitingAnswer(uint8_t code) const { return (writesAwaitingAnswer & CodeBit(code)) != 0; }

    // Why a run paused by a lost port was not resumed when the port came back; shown as
    // the status while no run goes (empty: the usual status).
    std::string pauseReason;

    // Port settings.
    std::string portName = "COM1";
    int32_t baudRate = kDefaultBaudRate;
    std::atomic<bool> portOpen{false};
    bool suppressOpenMessage = false;

    // " wyzeruj cykle": the synchronisation sends the reset at least once and until the
    // indicator confirms it or a measurement shows no cycles.
    void RequestCycleReset(int sensor) {
        cycleResetRequest[sensor] = true;
        cycleResetSent[sensor] = false;
    }

    // Copies every parameter of `Stan` into `Set`; nothing else changes.
    void AdoptDeviceValues() { Set = Stan; }

    // What starting a connection resets: readiness, every `received` flag and the writes
    // awaiting their answers.
    // `statusSeen`, `typeStatus`, the versions, `Set` and `Stan` stay as they are.
    void StartConnection() {
        deviceReady = false;
        received = ReceivedFlags{};
        writesAwaitingAnswer = 0;  // the wizard reads every value afresh
    }
};

}  // namespace kt::device
