// What the connection wizard's window shows, decided entirely by the step machine; the
// window only paints it. Lines are numbered 1..19 top to bottom, labels by their control
// number (`Label1`..`Label23`, 8 unused).
#pragma once

#include <array>
#include <string>

namespace kt::device {

// The words a step's line gets when nothing answered it.
inline constexpr char kNoAnswerText[] = "brak odpowiedzi";

enum class StepPicture { Question, Tick, Failed };

struct StepIcon {
    StepPicture picture = StepPicture::Question;
    bool visible = false;
    bool operator==(const StepIcon&) const = default;
};

struct WizardDisplay {
    static constexpr int kLines = 19;
    static constexpr int kLabels = 23;

    std::array<StepIcon, kLines + 1> icons{};      // [line], index 0 unused
    std::array<bool, kLabels + 1> labelVisible{};  // [label number]
    std::string portLabel = "COM1";                // Label3
    std::string hardwareLabel = "<nieznany>";      // Label10
    std::string softwareLabel = "<nieznany>";      // Label12
    int progress = 0;                              // ProgressBar1, 0..32
    bool connectEnabled = true;                    // BitBtn3 "Połącz"
    bool disconnectEnabled = false;                // BitBtn4 "Rozłącz"
    bool abortVisible = false;                     // BitBtn2 "Przerwij łączenie"
    bool timerEnabled = true;                      // Timer1
    // A step that passed its limit without an answer: the label ending its line
    // (0: none) says so after its own text, "brak odpowiedzi" and the port asked.
    int noAnswerLabel = 0;
    std::string noAnswerPort;
    bool operator==(const WizardDisplay&) const = default;
};

class WizardView {
public:
    virtual ~WizardView() = default;
    // Paints the display at once (the steps run inside timer ticks).
    virtual void Render(const WizardDisplay& display) = 0;
    // The text of the port box (`ComboBox1`).
    virtual std::string PortText() const = 0;
    // Blocks for the given time (the short pause before the port is opened).
    virtual void Pause(int milliseconds) = 0;
};

}  // namespace kt::device
