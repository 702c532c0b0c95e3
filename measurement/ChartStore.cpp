#include "ChartStore.h"

#include <algorithm>

namespace kt::measurement {

float OutputLevel(const OutputLine& line, bool on) {
    // Whole numbers of any size are allowed in the dialog: add in 64 bits, not int.
    return static_cast<float>(static_cast<int64_t>(line.F) + (on ? int64_t{line.H} : 0));
}

void ChartStore::AppendMeasurement(const ChartSample& sample, const OutputLine& pk1,
                                   const OutputLine& pk2) {
    AppendChannelPoints(sample);
    AppendOutputPoints(sample, pk1, pk2);
}

void ChartStore::AppendChannelPoints(const ChartSample& sample) {
    for (int channel = 0; channel < 3; ++channel) {
        const auto c = static_cast<size_t>(channel);
        if (sample.active[c]) series_[c].Add(sample.elapsed, sample.angle[c]);
    }
    if (listener_) listener_->OnChannelPoints(sample);
}

void ChartStore::AppendOutputPoints(const ChartSample& sample, const OutputLine& pk1,
                                    const OutputLine& pk2) {
    const float level1 = OutputLevel(pk1, sample.outputOn[0]);
    const float level2 = OutputLevel(pk2, sample.outputOn[1]);
    series_[kSeriesPK1].Add(sample.elapsed, level1);
    series_[kSeriesPK2].Add(sample.elapsed, level2);
    if (listener_) listener_->OnOutputPoints(sample.elapsed, level1, level2);
}

void ChartStore::Clear() {
    for (ChartSeries& series : series_) series.Clear();
    if (listener_) listener_->OnChartCleared();
}

size_t ChartStore::LargestShownCount(const SeriesMask& shown) const {
    size_t largest = 0;
    for (size_t i = 0; i < series_.size(); ++i) {
        if (shown[i]) largest = std::max(largest, series_[i].Size());
    }
    return largest;
}

size_t ChartStore::MemoryBytes() const {
    size_t bytes = sizeof(*this);
    for (const ChartSeries& series : series_) bytes += series.MemoryBytes();
    return bytes;
}

}  // namespace kt::measurement
