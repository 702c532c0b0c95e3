#include "Gauge.h"

#include <QPainter>
#include <algorithm>
#include <cstdint>

namespace kt::ui {

Gauge::Gauge(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Gauge::setBarColour(const QColor& colour) {
    if (colour == barColour_) return;
    barColour_ = colour;
    update();
}

void Gauge::setPosition(int position) {
    position = std::clamp(position, 0, kGaugeMaximum);
    if (position == position_) return;
    position_ = position;
    update();
}

int Gauge::filledWidth() const {
    return static_cast<int>(static_cast<int64_t>(width()) * position_ / kGaugeMaximum);
}

void Gauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.fillRect(QRect(0, 0, filledWidth(), height()), barColour_);
}

}  // namespace kt::ui
