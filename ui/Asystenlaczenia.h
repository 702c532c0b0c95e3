// The connection wizard's window: paints what the wizard's step machine decides (step
// lines with their state icons, progress, buttons) and forwards its buttons and its
// 50 ms timer to the step machine.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <memory>
#include <string>

#include "ConnectionWizard.h"
#include "WizardView.h"

class QLabel;

namespace Ui {
class TAsystentForm;
}

namespace kt::ui {

class TAsystentForm : public QDialog, public device::WizardView {
    Q_OBJECT

public:
    explicit TAsystentForm(QWidget* parent = nullptr);
    ~TAsystentForm() override;

    // Connects the window to the step machine (which then paints through it).
    void AttachWizard(device::ConnectionWizard* wizard);

    // device::WizardView
    void Render(const device::WizardDisplay& display) override;
    std::string PortText() const override;
    void Pause(int milliseconds) override;

    // Where the port box looks for the machine's serial ports: "/" (tests give a fake
    // tree). The box is listed again at once.
    void SetPortRoot(const std::string& root);

    // Puts a port name into the port box (the stored port of the settings file), choosing
    // its list item where there is one.
    void SetPortText(const std::string& name);

    QTimer Timer1;  // one step of the wizard every 50 ms

public slots:
    void BitBtn3Click();  // "Połącz"; also the automatic connection at start-up

private slots:
    void BitBtn2Click();  // "Przerwij łączenie"
    void BitBtn4Click();  // "Rozłącz"
    void BitBtn1Click();  // "OK"
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ListPorts();
    void Apply(const device::WizardDisplay& display, bool force);
    QPixmap Picture(device::StepPicture picture) const;
    void PlaceBehind(QLabel* first, QLabel* second, int gap);
    void ShowLabelText(int n, const device::WizardDisplay& display);

    std::unique_ptr<Ui::TAsystentForm> ui_;
    device::ConnectionWizard* wizard_ = nullptr;
    device::WizardDisplay shown_;
    std::string portRoot_ = "/";
    int listedPorts_ = 0;  // items after "COM1" that name the machine's ports
    // [line] -> Image(line + 4); [label number] -> LabelN (0 and 8 do not exist).
    std::array<QLabel*, device::WizardDisplay::kLines + 1> icons_{};
    std::array<QLabel*, device::WizardDisplay::kLabels + 1> labels_{};
    // Each label's own text and width, for a line that gets a no-answer note and loses it.
    std::array<QString, device::WizardDisplay::kLabels + 1> ownTexts_{};
    std::array<int, device::WizardDisplay::kLabels + 1> ownWidths_{};
};

}  // namespace kt::ui
