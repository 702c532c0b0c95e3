// The about box: the program's name and version, what it is for, the project's contact
// and the program's picture. Modeless; OK hides it.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class TO_programieForm;
}

namespace kt::ui {

class TO_programieForm : public QDialog {
    Q_OBJECT

public:
    explicit TO_programieForm(QWidget* parent = nullptr);
    ~TO_programieForm() override;

private:
    std::unique_ptr<Ui::TO_programieForm> ui_;
};

}  // namespace kt::ui
