// The active-sensor list: every item, also the one shown in the closed box, is drawn
// as "Sensor: i" in black bold 8-point type on the sensor's colour, with no highlight
// for the selected item.
#pragma once

#include <QColor>
#include <QComboBox>

class SensorComboBox : public QComboBox {
    Q_OBJECT

public:
    static constexpr int kSensors = 3;

    explicit SensorComboBox(QWidget* parent = nullptr);

    // Red, lime and aqua for sensors 0, 1 and 2.
    static QColor SensorColour(int sensor);
    static QString ItemText(int sensor) { return QStringLiteral("Sensor: %1").arg(sensor); }
    // Draws item `sensor` into `rect` (ComboBox2DrawItem).
    static void DrawItem(QPainter& painter, const QRect& rect, int sensor, const QFont& base);

protected:
    void paintEvent(QPaintEvent* event) override;
};
