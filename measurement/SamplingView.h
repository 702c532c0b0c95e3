// The controls the sampling clock writes to: the "Próbkowanie" readouts, the connection
// wizard and the group boxes that are locked while a run is active. The main window
// implements it; tests record it; the command-line tool uses the silent one.
#pragma once

#include <string>

namespace kt::measurement {

class SamplingView {
public:
    virtual ~SamplingView() = default;
    virtual void SetElapsedText(const std::string& text) = 0;           // Label40
    virtual void SetSamplesPerSecondText(const std::string& text) = 0;  // Label51 and Label52
    virtual void SetRealTimePeriodText(const std::string& text) = 0;    // Label67
    virtual void ShowConnectionWizard() = 0;
    // The six group boxes holding settings that must not change during a run.
    virtual void SetSettingsLocked(bool locked) = 0;
};

class SilentSamplingView : public SamplingView {
public:
    void SetElapsedText(const std::string&) override {}
    void SetSamplesPerSecondText(const std::string&) override {}
    void SetRealTimePeriodText(const std::string&) override {}
    void ShowConnectionWizard() override {}
    void SetSettingsLocked(bool) override {}
};

}  // namespace kt::measurement
