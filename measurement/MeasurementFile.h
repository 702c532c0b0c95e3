// The layouts of a saved registration table: `Text` (".txt", a fixed-width table framed
// by bars) and `Excel` (".xls", tab-separated text with decimal commas), both
// Windows-1250 with CR LF after every line; and `Xlsx` and `Csv` (MeasurementSpreadsheet.h)
// for spreadsheet programs and data tools. The window and the command-line tool fill the
// same input, so the same rows give byte-identical files.
#pragma once

#include <cstdint>
#include <string>

#include "AtomicFile.h"
#include "RegistrationTable.h"
#include "Windows1250.h"

namespace kt::measurement {

enum class MeasurementFileFormat { Text, Excel, Xlsx, Csv };

// Everything a file describes besides the rows, taken when the save starts.
struct MeasurementFileInput {
    int rowCount = 2;                          // the table's RowCount() when the save started
    std::string typeName = "<nierozpoznane>";  // UTF-8
    std::string dateText;                      // short date of the save, UTF-8
    std::string timeText;                      // long time of the save, UTF-8
    double duration = 0;    // the run's elapsed time in seconds (its value at STOP)
    bool realTime = false;  // CheckBox18 "Próbkowanie rzeczywiste:"
    int64_t periodMs = 10;  // CSpinEdit2, the sampling period
    bool sensorPresent[3] = {};
    bool channelActive[3] = {};  // the "Aktywny" boxes CheckBox1..3
};

// Which channel columns a file has: those of present sensors with "Aktywny" ticked, and
// those holding registered values, so no registered value is left out of the file.
struct WrittenChannels {
    bool channel[3] = {};
    int count() const { return channel[0] + channel[1] + channel[2]; }
};
WrittenChannels ChannelsToWrite(const RegistrationTable& table, const MeasurementFileInput& input);

// Writes a file of the Windows-1250 layouts (`Text`, `Excel`) through `write` in pieces
// of about a megabyte, stopping when a piece is refused; `encoder` must be open.
void WriteMeasurementFile(const RegistrationTable& table, const MeasurementFileInput& input,
                          MeasurementFileFormat format, Windows1250Encoder& encoder,
                          const FileWriter& write);

// Builds the whole file of a text format (all but `Xlsx`, which is written by name). Fails
// (false, with the reason) only when the Windows-1250 converter cannot be opened.
bool BuildMeasurementFile(const RegistrationTable& table, const MeasurementFileInput& input,
                          MeasurementFileFormat format, std::string& bytes, std::string& reason);

}  // namespace kt::measurement
