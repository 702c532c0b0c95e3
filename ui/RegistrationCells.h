// Drawing of the registration grid's cells: the data cells through an item delegate, the
// title row through the horizontal header, both by one rule. The background is the
// table's choice (button face for titles and the information column, the window colour
// or the channel colours with "kolor"), a selected cell is navy with white text, every
// other text black, and the text starts 5 pixels right of and below the cell's corner,
// clipped to the cell.
#pragma once

#include <QHeaderView>
#include <QStyledItemDelegate>

namespace kt::measurement {
class RegistrationTable;
enum class CellBackground;
}  // namespace kt::measurement

namespace kt::ui {

inline const QColor kSelectedCellColour(0, 0, 128);

// The colour of a cell background under the given system palette.
QColor BackgroundColour(measurement::CellBackground background, const QPalette& palette);

void PaintRegistrationCell(QPainter& painter, const QRect& rect, const QString& text,
                           const QColor& background, bool selected);

class RegistrationCellDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit RegistrationCellDelegate(QObject* parent = nullptr) : QStyledItemDelegate(parent) {}
    void SetTable(const measurement::RegistrationTable* table) { table_ = table; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    const measurement::RegistrationTable* table_ = nullptr;
};

// The title row: drawn like a row of header cells of the grid, with grid lines.
class RegistrationHeader : public QHeaderView {
    Q_OBJECT

public:
    explicit RegistrationHeader(QWidget* parent = nullptr);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

}  // namespace kt::ui
