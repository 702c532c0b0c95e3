// Saving the registration table under a file name: the name's extension picks the
// layout (".txt", ".xls", ".xlsx" or ".csv" in any letter case), a name without one gets the
// extension of the filter chosen in the save dialog, any other extension is refused with a reason.
// The file is replaced atomically, and a failure comes back with the system's reason for
// a message box naming the file.
#pragma once

#include <string>

#include "AtomicFile.h"
#include "MeasurementFile.h"

namespace kt::measurement {

struct MeasurementFileChoice {
    enum class Status { Ready, NoName, Refused };
    Status status = Status::NoName;
    std::string path;  // the name, with the filter's extension added where it had none
    MeasurementFileFormat format = MeasurementFileFormat::Text;
    std::string reason;  // why the name was refused
};

MeasurementFileChoice ChooseMeasurementFile(const std::string& name,
                                            MeasurementFileFormat dialogFilter);

struct MeasurementSaveResult {
    enum class Status { Written, NoName, Failed };
    Status status = Status::NoName;
    std::string path;    // the file written, or that could not be written
    int error = 0;       // errno of a failed write; 0 when the name itself was refused
    std::string reason;  // why nothing was written (Failed only)
    bool written() const { return status == Status::Written; }
};

// Writes the table to `path` in `format`, through the atomic writer: the one place every
// caller (window, command-line tool) saves a table.
FileWriteResult WriteMeasurementFile(const std::string& path, MeasurementFileFormat format,
                                     const RegistrationTable& table,
                                     const MeasurementFileInput& input,
                                     const FileSystemCalls& calls = {});

// The extension a format's files get, dot included.
const char* ExtensionOfFormat(MeasurementFileFormat format);

// Writes the table to `name`. An empty name (nothing chosen yet) writes nothing and is
// no failure. The table is read up to `input.rowCount`, its size when the save started.
MeasurementSaveResult SaveMeasurementFile(const std::string& name,
                                          MeasurementFileFormat dialogFilter,
                                          const RegistrationTable& table,
                                          const MeasurementFileInput& input,
                                          const FileSystemCalls& calls = {});

// The text of the message box for a failed save.
std::string SaveFailureMessage(const MeasurementSaveResult& result);

}  // namespace kt::measurement
