#include "ChartPaging.h"

#include <algorithm>

#include "Numbers.h"

namespace kt::measurement {

namespace {

// X range of one series' points on a page, the last page stretched as if it were full.
std::optional<XRange> SeriesPageRange(const ChartSeries& series, int64_t page, int pointsPerPage) {
    if (series.Empty()) return std::nullopt;
    if (pointsPerPage <= 0) return XRange{series.X(0), series.X(series.Size() - 1)};
    const IndexRange r = PageIndices(page, pointsPerPage, series.Size());
    if (r.begin >= r.end) return std::nullopt;
    const double x0 = series.X(r.begin);
    double x1 = series.X(r.end - 1);
    const size_t held = r.end - r.begin;
    const auto full = static_cast<size_t>(pointsPerPage);
    if (held < full) {
        // Spacing of this page's points, or for a lone point the spacing before it.
        double spacing = 0;
        if (held >= 2) {
            spacing = (x1 - x0) / static_cast<double>(held - 1);
        } else if (r.begin > 0) {
            spacing = x0 - series.X(r.begin - 1);
        }
        x1 = x0 + spacing * static_cast<double>(full - 1);
    }
    return XRange{x0, x1};
}

}  // namespace

void ApplyPagingRule(PagingState& paging, bool pagingOn, int fieldValue) {
    if (pagingOn) {
        paging.pointsPerPage = fieldValue;
    } else {
        paging.pointsPerPage = 0;
        paging.page = 1;
    }
}

void SetPointsPerPage(PagingState& paging, int fieldValue) {
    paging.pointsPerPage = fieldValue;
}

std::optional<int> ParsePointsPerPage(const std::string& text) {
    const auto value = kt::device::ParseInteger(text);
    if (!value || *value < kMinPointsPerPage || *value > kMaxPointsPerPage) return std::nullopt;
    return static_cast<int>(*value);
}

int64_t PageCount(size_t largestShownCount, int pointsPerPage) {
    if (pointsPerPage <= 0 || largestShownCount == 0) return 1;
    const auto k = static_cast<size_t>(pointsPerPage);
    return static_cast<int64_t>((largestShownCount + k - 1) / k);
}

int64_t ClampPage(int64_t page, int64_t pageCount) {
    return std::clamp<int64_t>(page, 1, std::max<int64_t>(1, pageCount));
}

IndexRange PageIndices(int64_t page, int pointsPerPage, size_t count) {
    if (pointsPerPage <= 0) return {0, count};
    const auto k = static_cast<size_t>(pointsPerPage);
    const auto first = static_cast<size_t>(std::max<int64_t>(page, 1) - 1) * k;
    return {std::min(first, count), std::min(first + k, count)};
}

std::optional<XRange> AutoXRange(const ChartStore& store, const SeriesMask& shown,
                                 const PagingState& paging) {
    const int64_t pages = PageCount(store.LargestShownCount(shown), paging.pointsPerPage);
    const int64_t page = ClampPage(paging.page, pages);
    std::optional<XRange> all;
    for (int i = 0; i < kSeriesCount; ++i) {
        if (!shown[static_cast<size_t>(i)]) continue;
        const auto range = SeriesPageRange(store.Series(i), page, paging.pointsPerPage);
        if (!range) continue;
        if (!all) {
            all = range;
        } else {
            all->x0 = std::min(all->x0, range->x0);
            all->x1 = std::max(all->x1, range->x1);
        }
    }
    if (all && !(all->x1 > all->x0)) {
        all->x0 -= 0.5;
        all->x1 += 0.5;
    }
    return all;
}

int64_t TrackedPage(int64_t page, bool chartRecording, bool tracking, int64_t pageCount) {
    return chartRecording && tracking && pageCount > 1 ? pageCount : page;
}

}  // namespace kt::measurement
