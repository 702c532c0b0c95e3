#include "UpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setIconSize(QSize(7, 7));
    }
    up_->setObjectName("up");
    down_->setObjectName("down");
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    connect(up_, &QToolButton::clicked, this, [this] { click(Button::Up); });
    connect(down_, &QToolButton::clicked, this, [this] { click(Button::Down); });
    resize(17, 22);
}

void UpDown::setAssociate(QLineEdit* edit) {
    associate_ = edit;
    ShowPosition();
}

void UpDown::setMinimum(int value) {
    setRange(value, std::max(value, maximum_));
}

void UpDown::setMaximum(int value) {
    setRange(std::min(minimum_, value), value);
}

void UpDown::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    position_ = Clamp(position_);
}

void UpDown::setPosition(int value) {
    position_ = Clamp(value);
    ShowPosition();
}

void UpDown::click(Button button) {
    // The box may show a number typed by the operator: step from that one. Text that is
    // no number steps from the last position.
    int value = position_;
    if (associate_) {
        bool ok = false;
        const int shown = associate_->text().trimmed().toInt(&ok);
        if (ok) value = shown;
    }
    const int64_t next = static_cast<int64_t>(value) + (button == Button::Up ? 1 : -1);
    position_ = static_cast<int>(std::clamp<int64_t>(next, minimum_, maximum_));
    ShowPosition();
    emit clicked(button);
}

void UpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

int UpDown::Clamp(int value) const {
    return std::clamp(value, minimum_, maximum_);
}

void UpDown::ShowPosition() {
    if (associate_) associate_->setText(QString::number(position_));
}
