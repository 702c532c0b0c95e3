// Paging of the chart by point count: which points and which X range a page shows, how
// many pages there are, the "włącz" / "śledzenie" / points-per-page rules, and following
// the last page while recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "ChartStore.h"

namespace kt::measurement {

inline constexpr int kMinPointsPerPage = 10;
inline constexpr int kMaxPointsPerPage = 32767;

// Points per page (0: no paging, everything on page 1) and the page asked for (1-based;
// brought into 1..page count wherever it is used).
struct PagingState {
    int pointsPerPage = 0;
    int64_t page = 1;
};

// A click on "włącz" or "śledzenie": paging with the field's value when "włącz" is ticked,
// otherwise no paging and page 1.
void ApplyPagingRule(PagingState& paging, bool pagingOn, int fieldValue);
// The points-per-page field changed: its value counts at once, ticked "włącz" or not.
void SetPointsPerPage(PagingState& paging, int fieldValue);
// The points-per-page text as typed: a whole number in 10..32767, or nothing (the
// previous value stays in force).
std::optional<int> ParsePointsPerPage(const std::string& text);

// n / pointsPerPage rounded up; 1 without paging or without points.
int64_t PageCount(size_t largestShownCount, int pointsPerPage);
// page brought into 1..pageCount.
int64_t ClampPage(int64_t page, int64_t pageCount);

// Index range [begin, end) of a series of `count` points on `page` (already clamped).
IndexRange PageIndices(int64_t page, int pointsPerPage, size_t count);

struct XRange {
    double x0;
    double x1;
};

// The automatic X range: all points of the shown series, or with paging the points of
// the (clamped) page. A last page with fewer points than a page is stretched as if it
// were full, by its own spacing of points (or, holding one point, by the spacing before
// it). A range of zero width is widened to one second around it. Nothing when no shown
// series has a point there.
std::optional<XRange> AutoXRange(const ChartStore& store, const SeriesMask& shown,
                                 const PagingState& paging);

// Page tracking, run every 50 ms: the last page while recording with "śledzenie" ticked
// and more than one page, otherwise the page as it was.
int64_t TrackedPage(int64_t page, bool chartRecording, bool tracking, int64_t pageCount);

}  // namespace kt::measurement
