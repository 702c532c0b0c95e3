#include "Mnoznikunit.h"

#include "QtDialogs.h"
#include "ui_Mnoznikunit.h"
#include "widgets/StepIcons.h"

namespace kt::ui {

TMnoznikForm::TMnoznikForm(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TMnoznikForm>()) {
    ui_->setupUi(this);
    MakeToolWindow(this);
    setFixedSize(size());
    CentreOnScreen(this);
    SetEntryColour(ui_->Edit6, Qt::white);
    ui_->BitBtn1->setIcon(QIcon(TickIcon()));
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &QWidget::close);
}

TMnoznikForm::~TMnoznikForm() = default;

void TMnoznikForm::SetEdit6Confirmed(const QString& text) {
    ui_->Edit6->setText(text);
    SetEntryColour(ui_->Edit6, Qt::white);
}

QString TMnoznikForm::Edit6Text() const {
    return ui_->Edit6->text();
}

}  // namespace kt::ui
