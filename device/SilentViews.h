// Do-nothing implementations of the screen and message-box interfaces, for users of the
// device core that have no window (the command-line tool, benchmarks, bulk tests).
#pragma once

#include "DeviceView.h"
#include "Dialogs.h"

namespace kt::device {

class SilentDeviceView : public DeviceView {
public:
    void SetModeSelection(int) override {}
    void LoadModePicture(const std::string&) override {}
    void SetModePictureVisible(bool) override {}
    void SetSensorCaption(int, const std::string&) override {}
    void SetSensorActive(int, bool) override {}
    void SetSensorCountText(const std::string&) override {}
    void SetZeroLabel(int, const std::string&) override {}
    void SetOffsetLabel(int, const std::string&) override {}
    void SetMultiplierLabel(int, const std::string&) override {}
    std::string ValueDialogCaption() const override { return {}; }
    void SetValueDialogText(const std::string&) override {}
    void SetMultiplierDialogText(const std::string&) override {}
    void SetStatusText(const std::string&) override {}
    void SetTypeText(const std::string&) override {}
    void SetVersionText(const std::string&) override {}
    void SetActiveSensorSelection(int) override {}
    void SetOnTimeText(const std::string&) override {}
    void SetPK1Text(const std::string&) override {}
    void SetPK2Text(const std::string&) override {}
    void SetLedText(const std::string&) override {}
    void SetDecpText(const std::string&) override {}
    void SetBeepChecked(bool) override {}
    void PaintDevicePanelConfirmed() override {}
};

class SilentDialogs : public Dialogs {
public:
    void ShowPlainMessage(const std::string&) override {}
    void ShowInfoMessage(const std::string&, const std::string&) override {}
};

}  // namespace kt::device
