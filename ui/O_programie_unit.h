// The about box: program name, author, the maker's address and web addresses, logo.
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
