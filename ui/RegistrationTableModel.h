// The registration table as the grid `StringGrid1` sees it: a read-only table model over
// the compact rows of measurement::RegistrationTable. Grid row 0 (the titles) is the
// horizontal header; model row r is grid row r + 1. Cell texts are made only when the
// view asks for them, that is for the cells it draws.
//
// Registrations arrive up to 100 a second. The model does not follow each one: the view
// learns about new rows when CatchUp() runs (the tab calls it at most every 50 ms), so
// one insertion covers every row registered since.
#pragma once

#include <QAbstractTableModel>

namespace kt::measurement {
class RegistrationTable;
}

namespace kt::ui {

class RegistrationTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit RegistrationTableModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // The table shown; set once, before the view is used.
    void SetTable(measurement::RegistrationTable& table);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Tells the view about the rows registered since the last call (one insertion).
    // Returns false when there were none.
    bool CatchUp();
    // Empties the table and the view together.
    void ClearTable();

    // Grid coordinates of a model index.
    static int GridRow(const QModelIndex& index) { return index.row() + 1; }

    // How many cell texts were made since construction (for the tests of the view's work).
    long long CellTextsMade() const { return cellTextsMade_; }

private:
    measurement::RegistrationTable* table_ = nullptr;
    int shownRows_ = 1;        // model rows the view knows of
    int shownRegistered_ = 0;  // registrations among them
    mutable long long cellTextsMade_ = 0;
};

}  // namespace kt::ui
