// The value dialog of a sensor channel: zero position or offset, chosen by the caption
// of Label1 ("Poz. zero =" or "Offset ="), entered in Edit1.
#pragma once

#include <QDialog>
#include <memory>

#include "DeviceState.h"

class QKeyEvent;

namespace Ui {
class TWartoscForm;
}

namespace kt::ui {

class TWartoscForm : public QDialog {
    Q_OBJECT

public:
    explicit TWartoscForm(QWidget* parent = nullptr);
    ~TWartoscForm() override;

    QString Label1Caption() const;
    void SetLabel1Caption(const QString& caption);
    // A value confirmed by the indicator: Edit1 shows it on white.
    void SetEdit1Confirmed(const QString& text);
    QString Edit1Text() const;

    // The values the dialog edits, and the decimal separator of what is typed.
    void Attach(device::DeviceState* state, char decimalSeparator);
    // Shows the dialog for `channel` with Label1 reading `caption` ("Poz. zero =" or
    // "Offset ="); the field keeps what it held.
    void OpenFor(int channel, const QString& caption);
    int Channel() const { return channel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Edit1KeyPress(const QKeyEvent& key);

    device::DeviceState* state_ = nullptr;
    char decimalSeparator_ = ',';
    int channel_ = 0;
    std::unique_ptr<Ui::TWartoscForm> ui_;
};

}  // namespace kt::ui
