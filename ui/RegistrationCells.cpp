#include "RegistrationCells.h"

#include <QPainter>

#include "RegistrationTable.h"
#include "RegistrationTableModel.h"

namespace kt::ui {

namespace {

constexpr int kTextIndent = 5;

}  // namespace

QColor BackgroundColour(measurement::CellBackground background, const QPalette& palette) {
    using measurement::CellBackground;
    switch (background) {
        case CellBackground::ButtonFace:
            return palette.color(QPalette::Button);
        case CellBackground::Window:
            return palette.color(QPalette::Base);
        default: {
            const measurement::Rgb c = measurement::ColourOf(background);
            return QColor(c.r, c.g, c.b);
        }
    }
}

void PaintRegistrationCell(QPainter& painter, const QRect& rect, const QString& text,
                           const QColor& background, bool selected) {
    painter.save();
    painter.setClipRect(rect);
    painter.fillRect(rect, selected ? kSelectedCellColour : background);
    painter.setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
    painter.drawText(rect.adjusted(kTextIndent, kTextIndent, 0, 0),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.restore();
}

void RegistrationCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    using measurement::CellBackground;
    const CellBackground background =
        table_ ? table_->Background(RegistrationTableModel::GridRow(index), index.column())
               : CellBackground::Window;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    PaintRegistrationCell(*painter, option.rect, index.data().toString(),
                          BackgroundColour(background, option.palette), selected);
}

RegistrationHeader::RegistrationHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(false);
    setHighlightSections(false);
}

void RegistrationHeader::paintSection(QPainter* painter, const QRect& rect,
                                      int logicalIndex) const {
    if (!rect.isValid()) return;
    const QString text =
        model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
    PaintRegistrationCell(*painter, rect, text,
                          BackgroundColour(measurement::CellBackground::ButtonFace, palette()),
                          false);
    // The grid's lines between the title cells and below them.
    painter->save();
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->restore();
}

}  // namespace kt::ui
