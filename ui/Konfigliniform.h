// The chart's output-line dialog: height H and offset F of the lines PK1..PK4, with a
// picture that explains both.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TKonigLiniiForm;
}

namespace kt::ui {

class TKonigLiniiForm : public QDialog {
    Q_OBJECT

public:
    explicit TKonigLiniiForm(QWidget* parent = nullptr);
    ~TKonigLiniiForm() override;

private:
    std::unique_ptr<Ui::TKonigLiniiForm> ui_;
};

}  // namespace kt::ui
