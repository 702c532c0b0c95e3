// Cost of the chart's data exports: building the spreadsheet and CSV bytes of five
// series of a million points each (a long recording at the 10 ms period), and their size.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "ChartTextExport.h"

using namespace kt::measurement;
using Clock = std::chrono::steady_clock;

namespace {

ChartStore FilledStore(size_t count) {
    ChartStore store;
    for (size_t i = 0; i < count; ++i) {
        const auto angle = [i](double phase) {
            return static_cast<float>(180 + 170 * std::sin(i * 0.001 + phase));
        };
        ChartSample sample{i * 0.01,
                           {angle(0), angle(1), angle(2)},
                           {true, true, true},
                           {i / 250 % 2 == 1, i / 90 % 3 == 0}};
        store.AppendMeasurement(sample, kOutputLinesAtStart[0], kOutputLinesAtStart[1]);
    }
    return store;
}

void Measure(const ChartStore& store, ChartTextLayout layout, const char* name) {
    std::string bytes, reason;
    const auto t0 = Clock::now();
    const bool ok = BuildChartText(store, layout, bytes, reason);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    size_t points = 0;
    for (int i = 0; i < kSeriesCount; ++i) points += store.Series(i).Size();
    std::printf("%-12s %9zu points: %8.1f ms, %6.1f ns/point, %7.1f MB%s\n", name, points, ms,
                ms * 1e6 / static_cast<double>(points), static_cast<double>(bytes.size()) / 1e6,
                ok ? "" : " FAILED");
}

}  // namespace

int main() {
    for (const size_t count : {size_t(10000), size_t(1000000)}) {
        const ChartStore store = FilledStore(count);
        Measure(store, ChartTextLayout::Spreadsheet, "spreadsheet");
        Measure(store, ChartTextLayout::Csv, "csv");
    }
}
