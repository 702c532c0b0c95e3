// The chart's data as a workbook: the five series side by side, an X and a Y column each
// under a bold title row, point i of every series in the same row. A recording longer
// than a sheet's rows continues on further sheets under the same titles.
#pragma once

#include <string>

#include "ChartStore.h"

namespace kt::measurement {

// Writes the workbook at `path` (a new, empty file); returns 0 or an errno, with the
// library's reason where the system gives none. `rowsPerSheet` (data rows, titles not
// counted) is the sheet's limit except in tests.
int WriteChartXlsx(const std::string& path, const ChartStore& store, std::string& reason,
                   size_t rowsPerSheet = 0);

}  // namespace kt::measurement
