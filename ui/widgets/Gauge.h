// The bar gauge of a channel: a black strip filled from the left in the channel's colour
// in proportion to its position, 0 (empty) to 360 (full), with no text. It repaints only
// when its position or colour changes.
#pragma once

#include <QColor>
#include <QWidget>

namespace kt::ui {

inline constexpr int kGaugeMaximum = 360;

class Gauge : public QWidget {
    Q_OBJECT

public:
    explicit Gauge(QWidget* parent = nullptr);

    void setBarColour(const QColor& colour);
    QColor barColour() const { return barColour_; }

    // Moves the bar to `position`, held within 0..360.
    void setPosition(int position);
    int position() const { return position_; }
    // How many pixel columns from the left the bar fills at the present width.
    int filledWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor barColour_{255, 0, 0};
    int position_ = 0;
};

}  // namespace kt::ui
