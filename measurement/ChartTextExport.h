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

#include "AtomicFile.h"
#include "ChartStore.h"
#include "Windows1250.h"

namespace kt::measurement {

enum class ChartTextLayout { Spreadsheet, Csv };

// Writes the file through `write` in pieces of about a megabyte, stopping when a piece is
// refused; `encoder` must be open.
void WriteChartText(const ChartStore& store, ChartTextLayout layout, Windows1250Encoder& encoder,
                    const FileWriter& write);

// Builds the whole file into `bytes`. Fails (false, with the reason) only when the
// Windows-1250 converter cannot be opened.
bool BuildChartText(const ChartStore& store, ChartTextLayout layout, std::string& bytes,
                    std::string& reason);

// Lines of that file: the titles and one per point.
size_t ChartTextLines(const ChartStore& store);

// Rows a spreadsheet program reads of a file; the rest is cut off.
inline constexpr size_t kSpreadsheetRowLimit = 1048576;
// The question asked before writing a file of more lines than that.
std::string RowLimitQuestion(size_t lines);

// "#RRGGBB" in upper-case hexadecimal.
std::string ColourText(const Rgb& colour);

// The value of a float written with as few digits as identify it (an angle of 123.4f
// reads back as 123.4 rather than 123.400001525879), as a double.
double ShortestDecimal(float value);

}  // namespace kt::measurement
