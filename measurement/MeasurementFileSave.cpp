#include "MeasurementFileSave.h"

#include <strings.h>

#include <cerrno>

#include "MeasurementSpreadsheet.h"

namespace kt::measurement {

namespace {

// The extension of the name's last component, from its last "." on ("" when none).
std::string ExtensionOf(const std::string& name) {
    const size_t slash = name.rfind('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot < start) return {};
    return name.substr(dot);
}

bool SameIgnoringCase(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

constexpr MeasurementFileFormat kFormats[] = {
    MeasurementFileFormat::Text, MeasurementFileFormat::Excel, MeasurementFileFormat::Xlsx,
    MeasurementFileFormat::Csv};

}  // namespace

const char* ExtensionOfFormat(MeasurementFileFormat format) {
    switch (format) {
        case MeasurementFileFormat::Excel:
            return ".xls";
        case MeasurementFileFormat::Xlsx:
            return ".xlsx";
        case MeasurementFileFormat::Csv:
            return ".csv";
        default:
            return ".txt";
    }
}

FileWriteResult WriteMeasurementFile(const std::string& path, MeasurementFileFormat format,
                                     const RegistrationTable& table,
                                     const MeasurementFileInput& input,
                                     const FileSystemCalls& calls) {
    if (format == MeasurementFileFormat::Xlsx) {
        const FileFiller fill = [&](int, const std::string& tempPath, std::string& reason) {
            return WriteMeasurementXlsx(tempPath, table, input, reason);
        };
        return WriteFileAtomically(path, fill, calls);
    }
    if (format == MeasurementFileFormat::Csv) {
        return WriteFileAtomically(path, BuildMeasurementCsv(table, input), calls);
    }
    // The Windows-1250 layouts: millions of rows make hundreds of megabytes, written as
    // they are made.
    Windows1250Encoder encoder;
    if (!encoder.ok()) return FileWriteResult{EIO, "build", encoder.error(), path};
    const FileProducer produce = [&](const FileWriter& write) {
        WriteMeasurementFile(table, input, format, encoder, write);
    };
    return WriteFileAtomically(path, produce, calls);
}

MeasurementFileChoice ChooseMeasurementFile(const std::string& name,
                                            MeasurementFileFormat dialogFilter) {
    using Status = MeasurementFileChoice::Status;
    MeasurementFileChoice choice;
    if (name.empty()) return choice;
    const std::string extension = ExtensionOf(name);
    choice.path = name;
    choice.status = Status::Ready;
    if (extension.empty()) {
        choice.format = dialogFilter;
        choice.path += ExtensionOfFormat(dialogFilter);
        return choice;
    }
    for (const MeasurementFileFormat format : kFormats) {
        if (SameIgnoringCase(extension, ExtensionOfFormat(format))) {
            choice.format = format;
            return choice;
        }
    }
    choice.status = Status::Refused;
    choice.reason = "Nieobsługiwane rozszerzenie pliku \"" + extension +
                    "\" (dozwolone: .txt, .xls, .xlsx, .csv).";
    return choice;
}

MeasurementSaveResult SaveMeasurementFile(const std::string& name,
                                          MeasurementFileFormat dialogFilter,
                                          const RegistrationTable& table,
                                          const MeasurementFileInput& input,
                                          const FileSystemCalls& calls) {
    using Status = MeasurementSaveResult::Status;
    const MeasurementFileChoice choice = ChooseMeasurementFile(name, dialogFilter);
    MeasurementSaveResult result;
    result.path = choice.path;
    if (choice.status == MeasurementFileChoice::Status::NoName) return result;
    result.status = Status::Failed;
    if (choice.status == MeasurementFileChoice::Status::Refused) {
        result.reason = choice.reason;
        return result;
    }
    const FileWriteResult write =
        WriteMeasurementFile(choice.path, choice.format, table, input, calls);
    result.error = write.error;
    result.reason = write.reason;
    if (write.ok()) result.status = Status::Written;
    return result;
}

std::string SaveFailureMessage(const MeasurementSaveResult& result) {
    return SaveFailureText(result.path, result.reason);
}

}  // namespace kt::measurement
