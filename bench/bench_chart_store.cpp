// Cost of the chart's series store: appending points, building the polylines and pixel
// spans to draw (full view and zoomed) over five series of a million points, smooth and
// with angles that turn and wrap from 360 to 0, merging a second run into ten million
// points, and the memory all of that takes.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "ChartDecimation.h"
#include "ChartRaster.h"
#include "ChartStore.h"

using namespace kt::measurement;
using Clock = std::chrono::steady_clock;

namespace {

double Ns(Clock::time_point t0, Clock::time_point t1) {
    return std::chrono::duration<double, std::nano>(t1 - t0).count();
}

float Angle(size_t i) {
    return static_cast<float>(180 + 170 * std::sin(i * 0.001) + (i % 7));
}

// Mean ns per appended point when a fresh series grows to `count` points.
double AppendNs(size_t count) {
    const size_t rounds = std::max<size_t>(1, 2000000 / count);
    double total = 0;
    for (size_t r = 0; r < rounds; ++r) {
        ChartSeries s;
        const auto t0 = Clock::now();
        for (size_t i = 0; i < count; ++i) s.Add(i / 100.0, Angle(i));
        total += Ns(t0, Clock::now());
        if (s.Size() != count) std::printf("lost points\n");
    }
    return total / static_cast<double>(rounds * count);
}

// The longest single append while growing to a million points (new chunks included).
double WorstAppendUs(size_t count) {
    ChartSeries s;
    double worst = 0;
    for (size_t i = 0; i < count; ++i) {
        const auto t0 = Clock::now();
        s.Add(i / 100.0, Angle(i));
        worst = std::max(worst, Ns(t0, Clock::now()));
    }
    return worst / 1000;
}

// Sensors turning at 10, 25 and 40 deg/s sampled every 10 ms, with a little noise: every
// few seconds a line falls from 360 to 0.
float Turning(size_t i, double degreesPerSecond) {
    const double angle = std::fmod(i / 100.0 * degreesPerSecond + 0.05 * (i % 5), 360.0);
    return static_cast<float>(angle);
}

ChartStore FilledStore(size_t count, bool turning) {
    ChartStore store;
    for (size_t i = 0; i < count; ++i) {
        const std::array<float, 3> angles =
            turning ? std::array<float, 3>{Turning(i, 10), Turning(i, 25), Turning(i, 40)}
                    : std::array<float, 3>{Angle(i), Angle(i + 500), Angle(i * 3)};
        ChartSample sample{
            i / 100.0, angles, {true, true, true}, {i / 250 % 2 == 1, i / 90 % 3 == 0}};
        store.AppendMeasurement(sample, {50, 0}, {50, 75});
    }
    return store;
}

// Mean and worst time in ms to build the five polylines over [x0, x1] at `columns` and
// their pixel spans on a plot 300 rows high.
void DrawCost(const char* what, const ChartStore& store, double x0, double x1, int columns) {
    std::vector<PlotPoint> polyline;
    std::vector<PixelVertex> vertices;
    ColumnSpans spans;
    const ColumnMap map(x0, x1, columns);
    double total = 0, worst = 0;
    size_t points = 0;
    const int rounds = 50;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = Clock::now();
        for (int i = 0; i < kSeriesCount; ++i) {
            const auto shape =
                kSeriesLooks[static_cast<size_t>(i)].stairs ? LineShape::Stairs : LineShape::Line;
            BuildPolyline(store.Series(i), map, shape, polyline);
            points += polyline.size();
            vertices.clear();
            for (const PlotPoint& p : polyline) vertices.push_back({p.column, 300 - p.y * 0.8});
            spans.Reset(columns, 0, 299);
            spans.AddPolyline(vertices, shape);
        }
        const double ns = Ns(t0, Clock::now());
        total += ns;
        worst = std::max(worst, ns);
    }
    std::printf("polylines and spans, %-36s %7.3f ms mean, %7.3f ms worst, %zu vertices\n", what,
                total / rounds / 1e6, worst / 1e6, points / rounds);
}

// A second run recorded without clearing, merged by time into `count` points: mean and
// worst time per point of its first 100,000 points.
void MergeRun(size_t count) {
    ChartSeries s;
    for (size_t i = 0; i < count; ++i) s.Add(i / 100.0, Angle(i));
    double total = 0, worst = 0;
    const size_t points = 100000;
    for (size_t i = 0; i < points; ++i) {
        const auto t0 = Clock::now();
        s.Add(i / 100.0, Angle(i + 7));
        const double ns = Ns(t0, Clock::now());
        total += ns;
        worst = std::max(worst, ns);
    }
    std::printf("merge, a second run into %.0e points: %.3f us mean, %.1f us worst per point\n",
                static_cast<double>(count), total / points / 1e3, worst / 1e3);
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

}  // namespace

int main() {
    for (size_t count : {size_t{1000}, size_t{100000}, size_t{1000000}}) {
        std::printf("append, series of %7zu points: %6.1f ns per point\n", count, AppendNs(count));
    }
    std::printf("append, worst single point up to 1e6: %.0f us\n", WorstAppendUs(1000000));

    const long rssBefore = ResidentKiB();
    const size_t count = 1000000;
    const auto t0 = Clock::now();
    const ChartStore store = FilledStore(count, false);
    std::printf("append, 1e6 measurements to 5 series: %6.1f ns per measurement\n",
                Ns(t0, Clock::now()) / count);
    const double bytes = static_cast<double>(store.MemoryBytes());
    std::printf(
        "memory, 5 x 1e6 points with summaries: %.0f bytes (%.1f MB, %.2f bytes/point),"
        " resident growth %.1f MB\n",
        bytes, bytes / 1e6, bytes / 5e6, (ResidentKiB() - rssBefore) / 1024.0 * 1.048576);

    const double last = (count - 1) * 0.01;
    DrawCost("full view, 947 columns:", store, 0, last, 947);
    DrawCost("zoom to 1%, 947 columns:", store, last * 0.5, last * 0.51, 947);
    DrawCost("zoom to 0.01%, 947 columns:", store, last * 0.5, last * 0.5001, 947);
    DrawCost("page of 32767, 947 columns:", store, last * 0.3, last * 0.3 + 327.66, 947);
    ChartStore turning = FilledStore(count, true);
    DrawCost("turning angles, full view:", turning, 0, last, 947);
    DrawCost("turning angles, zoom to 1%:", turning, last * 0.5, last * 0.51, 947);
    for (size_t i = 0; i < 100000; ++i) {  // a second run, merged by time
        turning.AppendMeasurement({i / 100.0,
                                   {Turning(i, 40), Turning(i, 10), Turning(i, 25)},
                                   {true, true, true},
                                   {i / 70 % 2 == 1, false}},
                                  {50, 0}, {50, 75});
    }
    DrawCost("turning, a run merged, full view:", turning, 0, last, 947);

    MergeRun(1000000);
    MergeRun(10000000);
    return 0;
}
