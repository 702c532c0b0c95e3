// A registration table filled with a given number of rows, and its measurement file, for
// the tests and trials that save one.
#pragma once

#include <string>

#include "FakeDateTimeTexts.h"
#include "MeasurementFileSave.h"

namespace kt::test {

struct FilledTable {
    FakeDateTimeTexts texts;
    measurement::RegistrationTable table{texts};
    measurement::MeasurementFileInput input;

    explicit FilledTable(int rows) {
        for (int r = 0; r < rows; ++r) {
            measurement::RowSource row;
            row.elapsed = r * 0.01;
            row.wallTime = FakeDateTimeTexts::kMoment;
            row.sensorPresent[0] = true;
            row.display[0].Show(static_cast<float>(r % 360));
            table.AddRow(row);
        }
        input.rowCount = table.RowCount();
        input.sensorPresent[0] = input.channelActive[0] = true;
    }
    // Saves the table as a ".txt" file, as "Zapisz" does.
    measurement::MeasurementSaveResult Save(const std::string& path,
                                            const measurement::FileSystemCalls& calls = {}) const {
        return measurement::SaveMeasurementFile(path, measurement::MeasurementFileFormat::Text,
                                                table, input, calls);
    }
    // The bytes such a save writes (empty when the converter is missing).
    std::string Bytes() const {
        std::string bytes, reason;
        if (!measurement::BuildMeasurementFile(
                table, input, measurement::MeasurementFileFormat::Text, bytes, reason)) {
            return {};
        }
        return bytes;
    }
};

}  // namespace kt::test
