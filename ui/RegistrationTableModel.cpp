#include "RegistrationTableModel.h"

#include "RegistrationTable.h"

namespace kt::ui {

void RegistrationTableModel::SetTable(measurement::RegistrationTable& table) {
    beginResetModel();
    table_ = &table;
    shownRows_ = table.RowCount() - 1;
    shownRegistered_ = table.rowsRegistered();
    endResetModel();
}

int RegistrationTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || table_ == nullptr ? 0 : shownRows_;
}

int RegistrationTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : measurement::kRegistrationColumns;
}

QVariant RegistrationTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || table_ == nullptr || !index.isValid()) return {};
    ++cellTextsMade_;
    return QString::fromStdString(table_->CellText(GridRow(index), index.column()));
}

// The column titles are shown from the start, also on a first start without a settings
// file (titles that appeared only once a settings file existed left the first run's
// table unlabelled).
QVariant RegistrationTableModel::headerData(int section, Qt::Orientation orientation,
                                            int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || table_ == nullptr) return {};
    return QString::fromStdString(table_->CellText(0, section));
}

Qt::ItemFlags RegistrationTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // Column 0 is the fixed information column: shown, never selected.
    if (index.column() == 0) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

bool RegistrationTableModel::CatchUp() {
    if (table_ == nullptr) return false;
    const int rows = table_->RowCount() - 1;
    const int registered = table_->rowsRegistered();
    if (registered == shownRegistered_) return false;
    if (registered < shownRegistered_) {
        // Cleared behind the view's back: start over.
        beginResetModel();
        shownRows_ = rows;
        shownRegistered_ = registered;
        endResetModel();
        return true;
    }
    // The first registration fills the empty row 1 that was already shown.
    if (shownRegistered_ == 0) {
        emit dataChanged(index(0, 0), index(0, measurement::kRegistrationColumns - 1));
    }
    shownRegistered_ = registered;
    if (rows > shownRows_) {
        beginInsertRows({}, shownRows_, rows - 1);
        shownRows_ = rows;
        endInsertRows();
    }
    return true;
}

void RegistrationTableModel::ClearTable() {
    if (table_ == nullptr) return;
    beginResetModel();
    table_->Clear();
    shownRows_ = table_->RowCount() - 1;
    shownRegistered_ = 0;
    endResetModel();
}

}  // namespace kt::ui
