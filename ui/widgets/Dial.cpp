#include "Dial.h"

#include <QPainter>
#include <QPen>
#include <utility>

#include "ChannelColours.h"
#include "Fonts.h"

namespace kt::ui {

namespace {

// 7 points on a 96 dpi screen: the scale texts keep their size on any screen.
constexpr int kScaleTextPixels = 9;

struct ScaleText {
    int x, y;  // top-left corner of the text
    const char* text;
};
constexpr ScaleText kScale[] = {{105, 55, "0"}, {55, 2, "90"}, {2, 55, "180"}, {52, 105, "270"}};

// Qt starts and ends a flat-capped line on the corners between pixels, so a line
// between two pixels' corners would leave out the first or the last of them, depending
// on the direction. The needle's line runs from inside the centre pixel to inside the end
// pixel instead: a quarter pixel from their edges along each axis the needle moves on.
// An axis it does not move along keeps the whole number, so the two-pixel pen stays
// centred on it.
QLineF NeedleLine(measurement::DialPoint from, measurement::DialPoint to) {
    const auto inside = [](int start, int end) -> std::pair<double, double> {
        if (start == end) return {start, end};
        const bool forward = end > start;
        return {start + (forward ? 0.25 : 0.75), end + (forward ? 0.75 : 0.25)};
    };
    const auto [x1, x2] = inside(from.x, to.x);
    const auto [y1, y2] = inside(from.y, to.y);
    return QLineF(x1, y1, x2, y2);
}

QPen FlatPen(const QColor& colour, int width) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

}  // namespace

Dial::Dial(QWidget* parent) : QWidget(parent) {
    setFixedSize(kDialSize, kDialSize);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Dial::setChannel(int channel) {
    if (channel == channel_) return;
    channel_ = channel;
    if (drawn_) update();
}

void Dial::draw(double value) {
    const auto end = measurement::NeedleEnd(value);
    if (!end) return;
    if (drawn_ && *end == needle_) return;  // the same picture
    needle_ = *end;
    drawn_ = true;
    update();
}

void Dial::paint(QPainter& painter, int channel, measurement::DialPoint needleEnd) {
    const QColor scale = ChannelDarkColour(channel);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(0, 0, kDialSize, kDialSize), Qt::black);

    painter.setPen(FlatPen(scale, 3));
    painter.setBrush(Qt::black);
    painter.drawEllipse(QRect(20, 20, 78, 78));  // (20, 20) up to, not including, (98, 98)

    painter.setPen(FlatPen(scale, 1));
    painter.drawLine(59, 25, 59, 93);
    painter.drawLine(25, 59, 93, 59);

    QFont font = DisplayFont(kScaleTextPixels, false);
    painter.setFont(font);
    for (const ScaleText& t : kScale) {
        painter.drawText(QRect(t.x, t.y, kDialSize, kDialSize),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                         QString::fromLatin1(t.text));
    }

    painter.setPen(FlatPen(ChannelColour(channel), 2));
    painter.drawLine(NeedleLine(measurement::kDialCentre, needleEnd));
    painter.restore();
}

void Dial::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (drawn_) {
        paint(painter, channel_, needle_);
    } else {
        painter.fillRect(rect(), Qt::black);
    }
}

}  // namespace kt::ui
