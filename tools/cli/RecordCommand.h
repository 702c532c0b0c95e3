// `record`: samples like `sample`, registers every measurement into the registration
// table as the window's "autoodczyt" does, and saves the table with the window's writer,
// the layout chosen by the file name's extension (".txt" or ".xls").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DeviceState.h"
#include "IndicatorModel.h"
#include "JournalFormat.h"
#include "MeasurementFileSave.h"
#include "RegistrationTable.h"
#include "SampleCommand.h"

namespace kt::cli {

// The file could not be written (the reason on standard error).
inline constexpr int EXIT_NOT_WRITTEN = 5;

struct RecordOptions {
    SampleOptions sampling;
    std::string out;
    bool date = false;  // --date: the date in the information column
    bool time = false;  // --time: the time of day there
    bool pk = false;    // --pk: the PK1 and PK2 columns
};

// False with `error` set when `out` names no ".txt" or ".xls" file of its own.
bool CheckOutName(const std::string& out, std::string& error);

// Reads `record`'s arguments (the sampling options included), consuming all of them;
// false with `error` set on a missing, unknown or bad one.
bool ParseRecordOptions(std::vector<std::string> args, RecordOptions& options, std::string& error);

// The window's initial boxes (sample number, elapsed time, the three channels) with those
// the options tick.
measurement::RegistrationBoxes RecordBoxes(const RecordOptions& options);

// Registers every sample as "autoodczyt" does. A present sensor counts as active, as its
// "Aktywny" box would, so its display follows its values.
class TableRecorder : public measurement::SampleSubscriber {
public:
    TableRecorder(const measurement::DateTimeTexts& dateTime,
                  const measurement::RegistrationBoxes& boxes,
                  int64_t (*wallClock)() = measurement::WallClockSeconds);

    void OnSample(const measurement::Sample& sample) override;

    const measurement::RegistrationTable& Table() const { return table_; }
    const measurement::IndicatorModel& View() const { return view_; }
    void SetRowListener(measurement::RowListener* listener) { table_.SetListener(listener); }
    // The sensors, "Aktywny" states and boxes a file of the rows describes.
    void FillSettings(measurement::RunSettings& settings) const;

    // Writes the table to `path` as the window's "Zapisz" does, stamped with the moment
    // of the save. `duration` is the run's elapsed time.
    measurement::MeasurementSaveResult Save(const std::string& path, const std::string& typeName,
                                            double duration, const SampleOptions& sampling) const;

private:
    const measurement::DateTimeTexts& dateTime_;
    int64_t (*wallClock_)();
    device::DeviceState presence_;  // the sensors of the latest sample, for the "Aktywny" rule
    measurement::IndicatorModel view_;
    measurement::RegistrationTable table_;
};

// Why a file cannot be written into the folder of `path` (an errno), or 0 when it can
// be tried; checked before the indicator is asked for anything.
int FolderProblem(const std::string& path);

// `record` keeps its rows in OUT.journal while it runs and removes it once OUT is
// written; an earlier journal under that name (a run that was killed) is set aside first.
int RecordCommand(const std::string& port, std::vector<std::string> args);

}  // namespace kt::cli
