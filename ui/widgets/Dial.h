// The round dial of a channel: a circle with a cross and the scale texts 0, 90, 180 and
// 270, and a needle 50 pixels long from the centre that points at the channel's value
// (0 degrees to the right, angles growing counter-clockwise). Painted without
// antialiasing, pixel for pixel on its 120 x 120 square.
//
// The dial is drawn only when asked (the 50 ms tick, for active channels); until the
// first time it is a black square, and afterwards it keeps its last picture.
#pragma once

#include <QWidget>

#include "IndicatorModel.h"

class QPainter;

namespace kt::ui {

inline constexpr int kDialSize = 120;

class Dial : public QWidget {
    Q_OBJECT

public:
    explicit Dial(QWidget* parent = nullptr);

    // 0, 1 or 2: the colours of the circle, the scale and the needle.
    void setChannel(int channel);
    int channel() const { return channel_; }

    // Draws the dial with its needle at `value` degrees. A NaN or infinite value keeps
    // the picture as it was; so does a needle that ends on the pixel it ended on.
    void draw(double value);
    bool drawn() const { return drawn_; }
    measurement::DialPoint needleEnd() const { return needle_; }

    // Paints the whole dial of `channel`, needle ending at `needleEnd`, onto the
    // 120 x 120 square at the painter's origin (a widget or an offscreen image).
    static void paint(QPainter& painter, int channel, measurement::DialPoint needleEnd);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int channel_ = 0;
    bool drawn_ = false;
    measurement::DialPoint needle_;
};

}  // namespace kt::ui
