// What the sampling clock shows in the main window: the readouts (kept here until the
// indicator tab shows them), the connection wizard, and the locked setting groups.
#pragma once

#include <functional>
#include <string>

#include "SamplingView.h"

class QWidget;

namespace kt::ui {

class SamplingScreen : public measurement::SamplingView {
public:
    SamplingScreen(QWidget& window, std::function<void()> showWizard)
        : window_(window), showWizard_(std::move(showWizard)) {}

    void SetElapsedText(const std::string& text) override { elapsed = text; }
    void SetSamplesPerSecondText(const std::string& text) override { samplesPerSecond = text; }
    void SetRealTimePeriodText(const std::string& text) override { realTimePeriod = text; }
    void ShowConnectionWizard() override { showWizard_(); }
    // The group boxes of settings that must not change during a run.
    void SetSettingsLocked(bool locked) override;

    std::string elapsed, samplesPerSecond, realTimePeriod;

private:
    QWidget& window_;
    std::function<void()> showWizard_;
};

}  // namespace kt::ui
