#include "SensorComboBox.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>

namespace {

// Draws the list's items the same way as the closed box.
class SensorItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        SensorComboBox::DrawItem(*painter, option.rect, index.row(), option.font);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), 16));
        return size;
    }
};

}  // namespace

SensorComboBox::SensorComboBox(QWidget* parent) : QComboBox(parent) {
    for (int i = 0; i < kSensors; ++i) addItem(ItemText(i));
    setItemDelegate(new SensorItemDelegate(this));
    setCurrentIndex(0);
}

QColor SensorComboBox::SensorColour(int sensor) {
    switch (sensor) {
        case 0:
            return QColor(255, 0, 0);
        case 1:
            return QColor(0, 255, 0);
        case 2:
            return QColor(0, 255, 255);
        default:
            return QColor(Qt::white);
    }
}

void SensorComboBox::DrawItem(QPainter& painter, const QRect& rect, int sensor, const QFont& base) {
    painter.save();
    painter.setPen(Qt::black);
    painter.fillRect(rect, SensorColour(sensor));
    QFont font = base;
    font.setPointSize(8);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(rect.adjusted(5, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, ItemText(sensor));
    painter.restore();
}

void SensorComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();  // the field is drawn by us
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0) return;
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    DrawItem(painter, field, currentIndex(), font());
}
