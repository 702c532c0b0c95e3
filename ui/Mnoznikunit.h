// The multiplier dialog of a sensor channel ("Mnożnik = " and the entry field Edit6).
#pragma once

#include <QDialog>
#include <memory>

#include "DeviceState.h"

class QKeyEvent;

namespace Ui {
class TMnoznikForm;
}

namespace kt::ui {

class TMnoznikForm : public QDialog {
    Q_OBJECT

public:
    explicit TMnoznikForm(QWidget* parent = nullptr);
    ~TMnoznikForm() override;

    // A multiplier confirmed by the indicator: Edit6 shows it on white.
    void SetEdit6Confirmed(const QString& text);
    QString Edit6Text() const;

    void Attach(device::DeviceState* state, char decimalSeparator);
    // Shows the dialog for `channel`; the field keeps what it held.
    void OpenFor(int channel);
    int Channel() const { return channel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Edit6KeyPress(const QKeyEvent& key);

    device::DeviceState* state_ = nullptr;
    char decimalSeparator_ = ',';
    int channel_ = 0;
    std::unique_ptr<Ui::TMnoznikForm> ui_;
};

}  // namespace kt::ui
