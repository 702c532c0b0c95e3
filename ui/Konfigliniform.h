// The chart's output-line dialog: height H and offset F of the lines PK1..PK4, with a
// picture that explains both.
//
// The fields are what the chart uses: every output point of PK1 and PK2 reads H and F
// from them at the moment it is added. The stored lines (the main window's, kept in the
// settings file) reach the fields only when the dialog is shown, and the fields reach
// the stored lines only on a click into any field or on OK; values changed and then left
// by closing the window stay in the fields but are not stored.
#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "OutputLine.h"
#include "OutputLineSource.h"

class QSpinBox;

namespace Ui {
class TKonigLiniiForm;
}

namespace kt::ui {

class TKonigLiniiForm : public QDialog, public measurement::OutputLineSource {
    Q_OBJECT

public:
    explicit TKonigLiniiForm(QWidget* parent = nullptr);
    ~TKonigLiniiForm() override;

    // The stored lines the dialog loads on showing and stores into; they must outlive
    // the dialog. Without them showing keeps the fields and nothing is stored.
    void setOutputLines(measurement::OutputLines* stored) { stored_ = stored; }

    // H and F of PK1 and PK2 for the chart's next point: the fields' last valid values
    // (text being typed that is not yet a whole number does not count).
    measurement::OutputLine Pk1Line() const;
    measurement::OutputLine Pk2Line() const;
    // The same for the chart tab: output 0 is PK1, output 1 is PK2.
    measurement::OutputLine Line(int output) const override {
        return output == 1 ? Pk2Line() : Pk1Line();
    }

    // All eight fields as PK1..PK4, and putting values into them.
    measurement::OutputLines FieldLines() const;
    void LoadFields(const measurement::OutputLines& lines);

signals:
    // The fields were copied into the stored lines (a click into a field, or OK).
    void outputLinesStored();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QSpinBox*, 8> Fields() const;  // H, F of PK1, then PK2, PK3, PK4
    void StoreFields();

    std::unique_ptr<Ui::TKonigLiniiForm> ui_;
    measurement::OutputLines* stored_ = nullptr;
};

}  // namespace kt::ui
