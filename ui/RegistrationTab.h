// The tab "Rejestracja pomiarów" (`TabSheet5`): the registration table in the grid
// `StringGrid1`, the boxes that choose what a registration fills, registration by button
// ("Odczytaj pozycje") or after every measurement ("autoodczyt"), clearing, and saving the
// table as a ".txt" or ".xls" measurement file.
//
// The tab shows and edits objects the main window owns (the table, the indicator view,
// the sampling clock); it registers through the same rules as `kt210v-cli record`, so
// both write the same file for the same rows. New rows reach the grid at most every 50 ms,
// whatever the sampling rate.
#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "DateTimeTexts.h"
#include "Sample.h"

class QTableView;

// Declared only: the measurement headers are included where the code needs them, which
// keeps this header free of the chart's and the table's colour types.
namespace kt::device {
class DeviceState;
class Dialogs;
}  // namespace kt::device
namespace kt::measurement {
class IndicatorModel;
class RegistrationTable;
class SamplingClock;
struct MeasurementFileInput;
struct RegistrationBoxes;
struct RowSource;
struct RunSettings;
}  // namespace kt::measurement

namespace Ui {
class RegistrationTab;
}

namespace kt::ui {

class RegistrationCellDelegate;
class RegistrationTableModel;

// The filters of the save dialog `SaveDialog4`, in the order of MeasurementFileFormat:
// ".txt", ".xls", then the workbook and the comma-separated file.
inline constexpr const char* kMeasurementFileFilter =
    "Text|*.txt|Excel|*.xls|Excel 2007+|*.xlsx|CSV UTF-8|*.csv";

class RegistrationTab : public QWidget, public measurement::SampleSubscriber {
    Q_OBJECT

public:
    static constexpr int kCatchUpMs = 50;

    explicit RegistrationTab(QWidget* parent = nullptr);
    ~RegistrationTab() override;

    // The objects the tab works on; set once, before the tab is used. `dateTime` makes
    // the date and time of the files' headers (the table's own stamps come from the
    // texts it was built with; give both the same).
    void Attach(measurement::RegistrationTable& table, measurement::IndicatorModel& indicator,
                measurement::SamplingClock& sampling, device::Dialogs& dialogs,
                const device::DeviceState& device, const measurement::DateTimeTexts& dateTime);
    // The wall clock of registrations and of the files' date and time (tests pin it).
    void SetWallClock(int64_t (*wallClock)()) { wallClock_ = wallClock; }

    // The states of the boxes, stored in the settings file as "Autorejestracja=" and the
    // "Rejestracja_" entries. Setting them behaves like clicks on the boxes that change.
    measurement::RegistrationBoxes Boxes() const;
    void SetBoxes(const measurement::RegistrationBoxes& boxes);

    // autoodczyt: subscribe after the indicator view (whose displays a row copies) and
    // the chart points.
    void OnSample(const measurement::Sample& sample) override;

    // Brings the grid up to the table now: new rows, the information column's width and
    // the scroll that keeps the newest rows in view. The 50 ms timer calls it.
    void ShowPendingRows();

    // The rows of a recovered run are in the table: the boxes as that run left them, the
    // grid brought up to the table, and until a row is added or the table cleared a save
    // describes that run (device type, channels, sampling), not the window's settings.
    void ShowRecoveredRun(const measurement::RunSettings& settings);

    // The name last confirmed in the save dialog, which "Zapisz" writes again.
    const std::string& FileName() const { return fileName_; }
    QTableView* Grid() const;
    const RegistrationTableModel& Model() const { return *model_; }

public slots:
    void BitBtn5Click();  // "Odczytaj pozycje": one row now
    void BitBtn6Click();  // "Tabela": clear the table after a Yes
    void BitBtn1Click();  // "    Zapisz Jako...": ask for a name and save
    void BitBtn4Click();  // "       Zapisz         ": save again under the last name
    void CheckBox16Click(bool checked);
    void CheckBox12Click(bool checked);

private:
    void TakeBoxes();
    void Register(const measurement::RowSource& source);
    void SaveTo(const std::string& name, int filterIndex);
    measurement::MeasurementFileInput FileInput() const;

    std::unique_ptr<Ui::RegistrationTab> ui_;
    RegistrationTableModel* model_;
    RegistrationCellDelegate* delegate_;
    QTimer catchUp_;

    measurement::RegistrationTable* table_ = nullptr;
    measurement::IndicatorModel* indicator_ = nullptr;
    measurement::SamplingClock* sampling_ = nullptr;
    device::Dialogs* dialogs_ = nullptr;
    const device::DeviceState* device_ = nullptr;
    const measurement::DateTimeTexts* dateTime_ = nullptr;
    int64_t (*wallClock_)() = measurement::WallClockSeconds;

    std::unique_ptr<measurement::RunSettings> recovered_;
    int recoveredRows_ = 0;

    std::string fileName_;
    int fileFilter_ = 0;  // the save dialog's filter of `fileName_`: 0 ".txt", 1 ".xls"
};

}  // namespace kt::ui
