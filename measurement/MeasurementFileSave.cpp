#include "MeasurementFileSave.h"

#include <strings.h>

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

}  // namespace

MeasurementFileChoice ChooseMeasurementFile(const std::string& name,
                                            MeasurementFileFormat dialogFilter) {
    using Status = MeasurementFileChoice::Status;
    MeasurementFileChoice choice;
    if (name.empty()) return choice;
    const std::string extension = ExtensionOf(name);
    choice.path = name;
    choice.status = Status::Ready;
    if (SameIgnoringCase(extension, ".xls")) {
        choice.format = MeasurementFileFormat::Excel;
    } else if (SameIgnoringCase(extension, ".txt")) {
        choice.format = MeasurementFileFormat::Text;
    } else if (extension.empty()) {
        choice.format = dialogFilter;
        choice.path += dialogFilter == MeasurementFileFormat::Excel ? ".xls" : ".txt";
    } else {
        choice.status = Status::Refused;
        choice.reason =
            "Nieobsługiwane rozszerzenie pliku \"" + extension + "\" (dozwolone: .txt, .xls).";
    }
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
    Windows1250Encoder encoder;
    if (!encoder.ok()) {
        result.reason = encoder.error();
        return result;
    }
    const FileProducer produce = [&](const FileWriter& write) {
        WriteMeasurementFile(table, input, choice.format, encoder, write);
    };
    return WriteAndReport(result, produce, calls);
}

std::string SaveFailureMessage(const MeasurementSaveResult& result) {
    return SaveFailureText(result.path, result.reason);
}

}  // namespace kt::measurement
