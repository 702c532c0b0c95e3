// The traffic monitor: a display-only window with the frame log (Memo1), the
// synchronisation dump (Memo2) and two spare views. Producers write to it only while it
// is shown.
#pragma once

#include <QWidget>
#include <memory>

#include "FrameLog.h"

namespace Ui {
class TCOM_DBG_Form;
}

namespace kt::ui {

class TCOM_DBG_Form : public QWidget, public device::FrameLog {
    Q_OBJECT

public:
    explicit TCOM_DBG_Form(QWidget* parent = nullptr);
    ~TCOM_DBG_Form() override;

    // device::FrameLog
    bool IsVisible() const override { return isVisible(); }
    void AppendFrameLine(const std::string& line) override;
    void ClearParameterView() override;
    void AppendParameterLine(const std::string& line) override;

private:
    std::unique_ptr<Ui::TCOM_DBG_Form> ui_;
};

}  // namespace kt::ui
