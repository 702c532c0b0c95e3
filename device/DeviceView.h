// The controls that show values confirmed by the indicator, as the decoder and the
// synchronisation tick see them. The main window implements it; tests record it.
#pragma once

#include <string>

namespace kt::device {

class DeviceView {
public:
    virtual ~DeviceView() = default;

    // Mode list (`ComboBox1`) selection without running its click handler; -1 = none.
    virtual void SetModeSelection(int index) = 0;
    // Mode picture (`Image2`): load a JPEG (a missing or broken file leaves it as it was).
    virtual void LoadModePicture(const std::string& path) = 0;
    virtual void SetModePictureVisible(bool visible) = 0;

    // Sensor groups: presence caption, "Aktywny" box (set like a click), count label.
    virtual void SetSensorCaption(int sensor, const std::string& caption) = 0;
    virtual void SetSensorActive(int sensor, bool active) = 0;
    virtual void SetSensorCountText(const std::string& text) = 0;

    // Correction value labels of each sensor.
    virtual void SetZeroLabel(int sensor, const std::string& text) = 0;
    virtual void SetOffsetLabel(int sensor, const std::string& text) = 0;
    virtual void SetMultiplierLabel(int sensor, const std::string& text) = 0;
    // Value dialog (`TWartoscForm`): caption of `Label1`, and `Edit1` text painted white.
    virtual std::string ValueDialogCaption() const = 0;
    virtual void SetValueDialogText(const std::string& text) = 0;
    // Multiplier dialog (`TMnoznikForm`): `Edit6` text painted white.
    virtual void SetMultiplierDialogText(const std::string& text) = 0;

    // Device tab, written by the synchronisation tick.
    virtual void SetStatusText(const std::string& text) = 0;   // Label66
    virtual void SetTypeText(const std::string& text) = 0;     // Label63
    virtual void SetVersionText(const std::string& text) = 0;  // Label64
    virtual void SetActiveSensorSelection(int index) = 0;      // ComboBox2, no click
    virtual void SetOnTimeText(const std::string& text) = 0;   // Edit5
    virtual void SetPK1Text(const std::string& text) = 0;      // Edit6
    virtual void SetPK2Text(const std::string& text) = 0;      // Edit7
    virtual void SetLedText(const std::string& text) = 0;      // Edit4
    virtual void SetDecpText(const std::string& text) = 0;     // Edit9
    // CheckBox15; a change runs its click handler (which copies the state into Set.Beep).
    virtual void SetBeepChecked(bool checked) = 0;
    // Paints ComboBox1, Edit5, Edit6, Edit7, Edit4 and Edit9 white (confirmed).
    virtual void PaintDevicePanelConfirmed() = 0;
};

// Receives every decoded measurement frame (sampling clock and indicator view).
class MeasurementListener {
public:
    virtual ~MeasurementListener() = default;
    virtual void OnMeasurementFrame() = 0;  // before the frame is decoded
    virtual void MeasurementUpdate() = 0;   // after the readings are stored
};

}  // namespace kt::device
