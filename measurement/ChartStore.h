// The chart's data: five series (the three channels and the two output lines) in a fixed
// order, how each one looks, and the appending of one measurement.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "ChartSeries.h"
#include "OutputLine.h"
#include "Rgb.h"

namespace kt::measurement {

inline constexpr int kSeriesCount = 5;
inline constexpr int kSeriesPK1 = 3;
inline constexpr int kSeriesPK2 = 4;

struct SeriesLook {
    const char* title;
    Rgb line;     // colour of the drawn line
    Rgb point;    // colour carried by each point (seen only in the data export)
    bool stairs;  // drawn as a step line
};

inline constexpr std::array<SeriesLook, kSeriesCount> kSeriesLooks{{
    {"Czujnik 0", {255, 0, 0}, {255, 0, 0}, false},
    {"Czujnik 1", {0, 255, 0}, {0, 255, 0}, false},
    {"Czujnik 2", {0, 255, 255}, {0, 255, 255}, false},
    {"PK1", {255, 255, 255}, {255, 255, 255}, true},
    {"PK2", {255, 128, 0}, {255, 255, 255}, true},
}};
inline constexpr int kSeriesLineWidth = 2;

// Which series are shown (ticked in the legend), by series index.
using SeriesMask = std::array<bool, kSeriesCount>;
inline constexpr SeriesMask kAllSeriesShown{true, true, true, true, true};

// Height of an output's line point: F, plus H while the output is on.
float OutputLevel(const OutputLine& line, bool on);

// What one measurement update hands to the chart.
struct ChartSample {
    double elapsed = 0;              // X of every point, seconds
    std::array<float, 3> angle{};    // channel values, degrees
    std::array<bool, 3> active{};    // channels whose "Aktywny" box is ticked
    std::array<bool, 2> outputOn{};  // PK1, PK2
};

// Hears of every point appended and every clearing (the run journal).
class ChartListener {
public:
    virtual ~ChartListener() = default;
    // The points of the channels in sample.active, at X = sample.elapsed.
    virtual void OnChannelPoints(const ChartSample& sample) = 0;
    // The PK1 and PK2 points at X = elapsed, at the heights given.
    virtual void OnOutputPoints(double elapsed, float pk1Level, float pk2Level) = 0;
    virtual void OnChartCleared() = 0;
};

class ChartStore {
public:
    ChartSeries& Series(int index) { return series_[static_cast<size_t>(index)]; }
    const ChartSeries& Series(int index) const { return series_[static_cast<size_t>(index)]; }

    // Adds one point per active channel and one per output line, all at X = elapsed.
    // A non-finite value is left out of its own series only.
    void AppendMeasurement(const ChartSample& sample, const OutputLine& pk1, const OutputLine& pk2);
    // The two halves of that, for callers that add them at different moments: the points
    // of the active channels, then the PK1 and PK2 points (sample.active is not read).
    void AppendChannelPoints(const ChartSample& sample);
    void AppendOutputPoints(const ChartSample& sample, const OutputLine& pk1,
                            const OutputLine& pk2);

    // Empties all five series, in order 0..4.
    void Clear();

    void SetListener(ChartListener* listener) { listener_ = listener; }

    // Largest point count among the shown series (0 when none is shown or all are empty).
    size_t LargestShownCount(const SeriesMask& shown) const;

    size_t MemoryBytes() const;

private:
    std::array<ChartSeries, kSeriesCount> series_;
    ChartListener* listener_ = nullptr;
};

}  // namespace kt::measurement
