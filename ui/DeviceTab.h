// The device tab "Urządzenie   " (`TabSheet2`): device information, the factory-settings
// command and the settings panel. Its controls change only `Set`; the synchronisation
// tick writes the differences to the indicator and repaints the panel from `Stan` once it
// answers. It is also the screen side of the device core (DeviceView): the decoder and the
// synchronisation tick show confirmed values through it, and it passes the sensors'
// texts on to the indicator tab and the confirmed values to the value dialogs.
#pragma once

#include <QImage>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "DeviceState.h"
#include "DeviceView.h"
#include "Frames.h"
#include "Log.h"
#include "Numbers.h"

class QKeyEvent;
class QLineEdit;

namespace Ui {
class DeviceTab;
}

namespace kt::ui {

class IndicatorTab;
class TMnoznikForm;
class TWartoscForm;

class DeviceTab : public QWidget, public device::DeviceView {
    Q_OBJECT

public:
    explicit DeviceTab(QWidget* parent = nullptr);
    ~DeviceTab() override;

    // The device core this tab edits and where a mode picture that cannot be read is
    // reported; set once, before the tab is used.
    void Attach(device::DeviceState& state, device::FrameSender& sender,
                device::NumberFormat format, device::Log& log);
    // The dialogs that show zero, offset and multiplier values (null: none).
    void AttachDialogs(TWartoscForm* wartosc, TMnoznikForm* mnoznik);
    // The tab that shows the sensors' captions, "Aktywny" boxes and correction values.
    void AttachIndicator(IndicatorTab* indicator) { indicator_ = indicator; }

    // device::DeviceView
    void SetModeSelection(int index) override;
    void LoadModePicture(const std::string& path) override;
    void SetModePictureVisible(bool visible) override;
    void SetSensorCaption(int sensor, const std::string& caption) override;
    void SetSensorActive(int sensor, bool active) override;
    void SetSensorCountText(const std::string& text) override;
    void SetZeroLabel(int sensor, const std::string& text) override;
    void SetOffsetLabel(int sensor, const std::string& text) override;
    void SetMultiplierLabel(int sensor, const std::string& text) override;
    std::string ValueDialogCaption() const override;
    void SetValueDialogText(const std::string& text) override;
    void SetMultiplierDialogText(const std::string& text) override;
    void SetStatusText(const std::string& text) override;
    void SetTypeText(const std::string& text) override;
    void SetVersionText(const std::string& text) override;
    void SetActiveSensorSelection(int index) override;
    void SetOnTimeText(const std::string& text) override;
    void SetPK1Text(const std::string& text) override;
    void SetPK2Text(const std::string& text) override;
    void SetLedText(const std::string& text) override;
    void SetDecpText(const std::string& text) override;
    void SetBeepChecked(bool checked) override;
    void PaintDevicePanelConfirmed() override;

    // The mode picture as loaded (null until the first one).
    const QImage& ModeImage() const { return modeImage_; }

signals:
    // "Połączenie..." (`BitBtn7`): the main window shows the connection wizard.
    void wizardRequested();

public slots:
    void ComboBox1Click(int index);
    void ComboBox2Click(int index);
    void UpDown1Click();
    void UpDown3Click();
    void UpDown4Click();
    void CheckBox15Click(bool checked);
    void BitBtn3Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Settings panel key handling; true when the key is swallowed.
    bool Edit4KeyPress(const QKeyEvent& key);
    bool Edit5KeyPress(const QKeyEvent& key);
    bool Edit9KeyPress(const QKeyEvent& key);
    bool Edit6KeyPress(const QKeyEvent& key);
    bool Edit7KeyPress(const QKeyEvent& key);
    bool IntegerKeyPress(QLineEdit* edit, const QKeyEvent& key,
                         const std::function<void(int32_t)>& store);
    bool ThresholdKeyPress(QLineEdit* edit, const QKeyEvent& key, float& field, bool round);
    void TakeInteger(QLineEdit* edit, const std::function<void(int32_t)>& store);
    void ShowModePicture();
    void ShowDevicePicture();

    std::unique_ptr<Ui::DeviceTab> ui_;
    device::DeviceState* state_ = nullptr;
    device::FrameSender* sender_ = nullptr;
    device::NumberFormat format_;
    device::Log* log_ = nullptr;
    TWartoscForm* wartosc_ = nullptr;
    TMnoznikForm* mnoznik_ = nullptr;
    IndicatorTab* indicator_ = nullptr;
    QImage modeImage_;
};

}  // namespace kt::ui
