// The two formats of a saved registration table that spreadsheet programs and data tools
// read as they are: ".xlsx" (a workbook, numbers as numbers, dates as dates) and ".csv"
// (comma-separated, "." as the decimal point, quoted as RFC 4180 asks). Both have the
// same columns: the sample number, the date and the time of registration (each only
// when some row registered it), the elapsed time, the written channels, PK1 and PK2.
#pragma once

#include <string>
#include <vector>

#include "AtomicFile.h"
#include "MeasurementFile.h"

namespace kt::measurement {

// One column of the data rows: its title and what fills it.
struct SheetColumn {
    enum class Kind { SampleNumber, Date, Time, Value };
    Kind kind;
    std::string title;
    int tableColumn = 0;  // Value columns: the registration table's column 1..6
};

// The data columns of a file of the table's first `rowCount` rows.
std::vector<SheetColumn> SheetColumns(const RegistrationTable& table, int rowCount,
                                      const WrittenChannels& channels);

// The local date and time of a registration stamp.
struct LocalStamp {
    int year, month, day, hour, minute, second;
};
LocalStamp LocalStampOf(int64_t unixSeconds);

// Neighbouring rows mostly share their second: the local time is looked up once per second.
class LocalStampCache {
public:
    const LocalStamp& Of(int64_t unixSeconds) {
        if (!valid_ || unixSeconds != seconds_) {
            stamp_ = LocalStampOf(unixSeconds);
            seconds_ = unixSeconds;
            valid_ = true;
        }
        return stamp_;
    }

private:
    bool valid_ = false;
    int64_t seconds_ = 0;
    LocalStamp stamp_{};
};

// The ".csv" file: one title row, one row per grid data row, CR LF after every line. Its
// titles, numbers and ISO dates are all ASCII, so it reads the same in any encoding.
std::string BuildMeasurementCsv(const RegistrationTable& table, const MeasurementFileInput& input);

// Writes the ".xlsx" workbook at `path` (a new, empty file); returns 0 or an errno, with
// the library's reason where the system gives none.
int WriteMeasurementXlsx(const std::string& path, const RegistrationTable& table,
                         const MeasurementFileInput& input, std::string& reason);

}  // namespace kt::measurement
