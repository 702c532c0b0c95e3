#include "Wartoscunit.h"

#include "QtDialogs.h"
#include "ui_Wartoscunit.h"
#include "widgets/StepIcons.h"

namespace kt::ui {

TWartoscForm::TWartoscForm(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TWartoscForm>()) {
    ui_->setupUi(this);
    MakeToolWindow(this);
    setFixedSize(size());
    CentreOnScreen(this);
    SetEntryColour(ui_->Edit1, Qt::white);
    ui_->BitBtn1->setIcon(QIcon(TickIcon()));
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &QWidget::close);
}

TWartoscForm::~TWartoscForm() = default;

QString TWartoscForm::Label1Caption() const {
    return ui_->Label1->text();
}

void TWartoscForm::SetLabel1Caption(const QString& caption) {
    ui_->Label1->setText(caption);
}

void TWartoscForm::SetEdit1Confirmed(const QString& text) {
    ui_->Edit1->setText(text);
    SetEntryColour(ui_->Edit1, Qt::white);
}

QString TWartoscForm::Edit1Text() const {
    return ui_->Edit1->text();
}

}  // namespace kt::ui
