// The chart's data as text: every point of the five series, in series order, one row per
// point with the series title, the point index, X, Y, the (empty) label and the point
// colour. Two layouts share the rows:
//   Spreadsheet (".xls"): tab-separated, decimal commas, like the measurement files;
//   Csv (".csv"): comma-separated with decimal points, for other programs.
// Both are Windows-1250 text with CR LF after every line, the header row included.
// X and Y are in the general number form: X with 15 significant digits, Y (a float) with
// the digits of ShortestDecimal.
#pragma once

#include <string>

#include "ChartStore.h"

namespace kt::measurement {

enum class ChartTextLayout { Spreadsheet, Csv };

// Builds the whole file into `bytes`. Fails (false, with the reason) only when the
// Windows-1250 converter cannot be opened.
bool BuildChartText(const ChartStore& store, ChartTextLayout layout, std::string& bytes,
                    std::string& reason);

// "#RRGGBB" in upper-case hexadecimal.
std::string ColourText(const Rgb& colour);

// The value of a float written with as few digits as identify it (an angle of 123.4f
// reads back as 123.4 rather than 123.400001525879), as a double.
double ShortestDecimal(float value);

}  // namespace kt::measurement
