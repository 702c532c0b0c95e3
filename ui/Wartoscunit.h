// The value dialog of a sensor channel: zero position or offset, chosen by the caption
// of Label1 ("Poz. zero =" or "Offset ="), entered in Edit1.
#pragma once

#include <QDialog>
#include <memory>

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

private:
    std::unique_ptr<Ui::TWartoscForm> ui_;
};

}  // namespace kt::ui
