// The multiplier dialog of a sensor channel ("Mnożnik = " and the entry field Edit6).
#pragma once

#include <QDialog>
#include <memory>

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

private:
    std::unique_ptr<Ui::TMnoznikForm> ui_;
};

}  // namespace kt::ui
