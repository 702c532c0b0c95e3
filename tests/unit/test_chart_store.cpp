// The chart's series store: ordering of points, the min/max summaries, the decimated
// polyline drawn against every point on a small bitmap, paging, and refused values.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "ChartDecimation.h"
#include "ChartPaging.h"
#include "ChartRaster.h"
#include "ChartStore.h"

using namespace kt::measurement;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using Reference = std::vector<std::pair<double, float>>;

// The insertion rule spelled out: after the last point whose X is not greater.
void ReferenceAdd(Reference& ref, double x, float y) {
    size_t at = ref.size();
    while (at > 0 && ref[at - 1].first > x) --at;
    ref.insert(ref.begin() + static_cast<std::ptrdiff_t>(at), {x, y});
}

// The points of a series in time order.
Reference Points(const ChartSeries& s) {
    Reference points;
    s.ForEach([&](double x, float y) { points.emplace_back(x, y); });
    return points;
}

std::vector<float> Ys(const ChartSeries& s) {
    std::vector<float> ys;
    s.ForEach([&](double, float y) { ys.push_back(y); });
    return ys;
}

// In order, and point by point where it is looked up by index.
void ExpectSameAsReference(const ChartSeries& s, const Reference& ref, std::mt19937& rng) {
    ASSERT_EQ(s.Size(), ref.size());
    ASSERT_EQ(Points(s), ref);
    for (int k = 0; k < 200 && !ref.empty(); ++k) {
        const size_t i = k < 2 ? (k == 0 ? 0 : ref.size() - 1) : rng() % ref.size();
        ASSERT_EQ(s.X(i), ref[i].first) << i;
        ASSERT_EQ(s.Y(i), ref[i].second) << i;
    }
}

void ExpectRangesMatchBruteForce(const ChartSeries& s, std::mt19937& rng, int ranges) {
    if (s.Empty()) return;
    const std::vector<float> ys = Ys(s);
    for (int r = 0; r < ranges; ++r) {
        // Mix short ranges with long ones so every level of the summaries is used.
        const size_t n = s.Size();
        const size_t length = 1 + (r % 3 == 0 ? rng() % std::min<size_t>(n, 80) : rng() % n);
        const size_t begin = rng() % (n - length + 1);
        const auto [lo, hi] = std::minmax_element(ys.begin() + begin, ys.begin() + begin + length);
        const MinMax got = s.YRange(begin, begin + length);
        ASSERT_EQ(got.min, *lo) << begin << "+" << length;
        ASSERT_EQ(got.max, *hi) << begin << "+" << length;
    }
}

TEST(ChartStoreSeries, InsertionFollowsTheRuleAndMergesRunsByTime) {
    std::mt19937 rng(4301);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int trial = 0; trial < 20; ++trial) {
        ChartSeries series;
        Reference ref;
        double t = 0;
        for (int i = 0; i < 3000; ++i) {
            const double dice = unit(rng);
            if (dice < 0.01) t = unit(rng) * t;  // a new run recorded without clearing
            if (dice > 0.1) t += dice < 0.2 ? 0.0 : 0.01 * unit(rng);  // some equal X
            const auto y = static_cast<float>(360 * unit(rng));
            ASSERT_TRUE(series.Add(t, y));
            ReferenceAdd(ref, t, y);
        }
        ExpectSameAsReference(series, ref, rng);
        ExpectRangesMatchBruteForce(series, rng, 200);
    }
}

TEST(ChartStoreSeries, SummariesMatchBruteForceThroughAppendsInsertsAndClear) {
    std::mt19937 rng(77);
    std::normal_distribution<float> step(0, 3);
    ChartSeries series;
    float y = 180;
    // Enough points for three summary levels; checked as the levels appear.
    for (int i = 0; i < 70000; ++i) {
        y += step(rng);
        series.Add(i * 0.01, i % 9973 == 0 ? y + 1000 : y);  // rare spikes
        if (i == 40 || i == 600 || i == 9000) ExpectRangesMatchBruteForce(series, rng, 300);
    }
    ExpectRangesMatchBruteForce(series, rng, 1000);
    for (int k = 0; k < 50; ++k) {  // middle inserts rebuild the summaries behind them
        const double x = 700.0 * std::uniform_real_distribution<double>(0, 1)(rng);
        ASSERT_TRUE(series.Add(x, k % 2 ? -5000.f - k : 5000.f + k));
    }
    ExpectRangesMatchBruteForce(series, rng, 1000);
    const Reference points = Points(series);
    EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                               [](const auto& a, const auto& b) { return a.first < b.first; }));
    series.Clear();
    EXPECT_EQ(series.MemoryBytes(), 0u);
    for (int i = 0; i < 100; ++i) series.Add(i, static_cast<float>(i % 7));
    ExpectRangesMatchBruteForce(series, rng, 100);
}

// X is mostly the elapsed time, whole hundredths: kept in 4 bytes a point instead of 8,
// and read back as the very same doubles, also after a chunk has met another value.
TEST(ChartStoreSeries, TimesOfWholeHundredthsTakeHalfTheMemoryAndStayExact) {
    ChartSeries whole, other, mixed;
    Reference ref;
    for (int n = -5; n < 40000; ++n) {
        const auto y = static_cast<float>(n % 360);
        whole.Add(n / 100.0, y);
        other.Add(n / 100.0 + 1e-9, y);
        const double x = n == 20000 ? n / 100.0 + 1e-9 : n / 100.0;  // one that is not
        mixed.Add(x, y);
        ReferenceAdd(ref, x, y);
    }
    std::mt19937 rng(5);
    ExpectSameAsReference(mixed, ref, rng);
    EXPECT_LT(whole.MemoryBytes() * 4, other.MemoryBytes() * 3);  // 8 bytes a point, not 12
    ChartSeries zero;
    zero.Add(-0.0, 1);
    zero.Add(1e15, 1);  // beyond what counts of hundredths hold
    EXPECT_TRUE(std::signbit(zero.X(0)));
    EXPECT_EQ(zero.X(1), 1e15);
}

TEST(ChartStoreSeries, NonFiniteValuesAreNeverStored) {
    const std::pair<double, double> bad[] = {
        {kNaN, 1},   {kInf, 1},    {-kInf, 1}, {0.5, kNaN},
        {0.5, kInf}, {0.5, -kInf}, {0.5, 1e39}};  // beyond float: infinite
    ChartSeries series;
    series.Add(0, 1);
    series.Add(1, 2);
    for (const auto& [x, y] : bad) {  // 0.5 would go into the middle
        EXPECT_FALSE(series.Add(x, static_cast<float>(y))) << x << " " << y;
    }
    ASSERT_EQ(series.Size(), 2u);
    EXPECT_EQ(series.YRange(0, 2).max, 2.f);

    ChartStore store;
    ChartSample sample{1.5, {10, static_cast<float>(kNaN), 30}, {true, true, true}, {}};
    store.AppendMeasurement(sample, {}, {});
    EXPECT_EQ(store.Series(0).Size(), 1u);
    EXPECT_EQ(store.Series(1).Size(), 0u);
    EXPECT_EQ(store.Series(2).Size(), 1u);
}

TEST(ChartStoreSeries, MeasurementsGoToActiveChannelsAndOutputLevels) {
    ChartStore store;
    const OutputLine pk1{50, 0}, pk2{50, 75};  // the dialog's start values
    store.AppendMeasurement({0.1, {1, 2, 3}, {true, false, true}, {false, false}}, pk1, pk2);
    store.AppendMeasurement({0.2, {4, 5, 6}, {true, false, true}, {true, true}}, pk1, pk2);
    EXPECT_EQ(Ys(store.Series(0)), (std::vector<float>{1, 4}));
    EXPECT_TRUE(store.Series(1).Empty());
    EXPECT_EQ(Ys(store.Series(2)), (std::vector<float>{3, 6}));
    EXPECT_EQ(Ys(store.Series(kSeriesPK1)), (std::vector<float>{0, 50}));
    EXPECT_EQ(Points(store.Series(kSeriesPK2)), (Reference{{0.1, 75}, {0.2, 125}}));
    EXPECT_EQ(OutputLevel({2000000000, 2000000000}, true), 4e9f);  // no int overflow

    store.Clear();  // start, a few answers, stop: nothing left to draw or export
    EXPECT_EQ(store.LargestShownCount(kAllSeriesShown), 0u);
    EXPECT_FALSE(AutoXRange(store, kAllSeriesShown, {}).has_value());
}

// ---- The decimated polyline against every point, on a bitmap ----------------------------

enum class Pen {
    Thin,         // one pixel
    Square,       // two pixels: a 2 x 2 stamp at every pixel of the centre line
    Directional,  // two pixels: the centre line and its neighbour across the major axis
};

// Pixels of columns and rows [-kMargin, size + kMargin), so a neighbour of an edge pixel
// can be looked at.
class Bitmap {
public:
    static constexpr long kMargin = 2;
    Bitmap(long width, long height) : width_(width), height_(height) {
        bits_.assign(static_cast<size_t>((width + 2 * kMargin) * (height + 2 * kMargin)), 0);
    }
    void Set(long x, long y) {
        if (Inside(x, y, kMargin)) bits_[Index(x, y)] = 1;
    }
    bool Get(long x, long y) const { return Inside(x, y, kMargin) && bits_[Index(x, y)]; }
    bool Inside(long x, long y, long margin) const {
        return x >= -margin && x < width_ + margin && y >= -margin && y < height_ + margin;
    }
    long Width() const { return width_; }
    long Height() const { return height_; }

private:
    size_t Index(long x, long y) const {
        return static_cast<size_t>((y + kMargin) * (width_ + 2 * kMargin) + x + kMargin);
    }
    long width_, height_;
    std::vector<uint8_t> bits_;
};

void Stamp(Bitmap& bitmap, Pen pen, long x, long y, bool xMajor) {
    bitmap.Set(x, y);
    if (pen == Pen::Square) {
        bitmap.Set(x + 1, y), bitmap.Set(x, y + 1), bitmap.Set(x + 1, y + 1);
    } else if (pen == Pen::Directional) {
        xMajor ? bitmap.Set(x, y + 1) : bitmap.Set(x + 1, y);
    }
}

long FloorDiv(long a, long b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// One-pixel line from (x0, y0) to (x1, y1): along its major axis one pixel per step, the
// other coordinate rounded from the exact line. Only steps near the bitmap are walked,
// so a line from far outside costs no more than one across it.
void DrawSegment(Bitmap& bitmap, Pen pen, long x0, long y0, long x1, long y1) {
    const long m = Bitmap::kMargin;
    const bool xMajor = std::abs(x1 - x0) >= std::abs(y1 - y0);
    const long a0 = xMajor ? x0 : y0, a1 = xMajor ? x1 : y1;  // major axis
    const long b0 = xMajor ? y0 : x0, b1 = xMajor ? y1 : x1;
    const long size = xMajor ? bitmap.Width() : bitmap.Height();
    const long span = a1 - a0, step = span < 0 ? -1 : 1;
    const long from = std::max(std::min(a0, a1), -m), to = std::min(std::max(a0, a1), size + m);
    for (long a = from; a <= to; ++a) {
        const long b = span == 0 ? b0
                                 : b0 + FloorDiv(2 * (b1 - b0) * (a - a0) * step + std::abs(span),
                                                 2 * std::abs(span));
        xMajor ? Stamp(bitmap, pen, a, b, true) : Stamp(bitmap, pen, b, a, false);
    }
}

using PixelPath = std::vector<std::pair<long, long>>;

Bitmap DrawPath(const PixelPath& path, long width, long height, LineShape shape, Pen pen) {
    Bitmap bitmap(width, height);
    if (path.size() == 1) Stamp(bitmap, pen, path[0].first, path[0].second, true);
    for (size_t i = 1; i < path.size(); ++i) {
        const auto [x0, y0] = path[i - 1];
        const auto [x1, y1] = path[i];
        if (shape == LineShape::Line) {
            DrawSegment(bitmap, pen, x0, y0, x1, y1);
        } else {  // across at the old level, then up or down to the new one
            DrawSegment(bitmap, pen, x0, y0, x1, y0);
            DrawSegment(bitmap, pen, x1, y0, x1, y1);
        }
    }
    return bitmap;
}

struct View {
    ColumnMap map;
    long height;
    double yLow, rowsPerUnit;
    long Row(float y) const { return std::lround((y - yLow) * rowsPerUnit); }
};

// Calls f(x, y) for the points of `range`, walking the series in time order.
template <class F>
void ForEachInRange(const ChartSeries& s, IndexRange range, F f) {
    size_t i = 0;
    s.ForEach([&](double x, float y) {
        if (i >= range.begin && i < range.end) f(x, y);
        ++i;
    });
}

// Largest distance (in pixels, diagonal steps counting 1) from a pixel of the plot area
// set in one bitmap to the nearest set pixel of the other, up to 2 ("further").
int PixelDistance(const Bitmap& a, const Bitmap& b) {
    int worst = 0;
    for (long y = 0; y < a.Height(); ++y) {
        for (long x = 0; x < a.Width(); ++x) {
            if (a.Get(x, y) == b.Get(x, y)) continue;
            const Bitmap& other = a.Get(x, y) ? b : a;
            bool near = false;
            for (long dy = -1; dy <= 1; ++dy) {
                for (long dx = -1; dx <= 1; ++dx) near = near || other.Get(x + dx, y + dy);
            }
            worst = std::max(worst, near ? 1 : 2);
        }
    }
    return worst;
}

// Random walks with spikes, flat stretches, equal X, gaps and merged runs; step lines
// mostly on a few levels.
ChartSeries RandomSeries(std::mt19937& rng, LineShape shape) {
    std::uniform_real_distribution<double> unit(0, 1);
    ChartSeries s;
    const int n = static_cast<int>(rng() % 4000);
    double t = 100 * unit(rng);
    float y = 180;
    for (int i = 0; i < n; ++i) {
        const double dice = unit(rng);
        t += dice < 0.1 ? 0.0 : dice < 0.12 ? 30 * unit(rng) : 0.05 * unit(rng);
        if (dice > 0.999) t *= unit(rng);  // a run merged into the old one
        if (shape == LineShape::Stairs) {
            const float levels[] = {0, 50, 75, 125};
            if (unit(rng) < 0.05) y = dice < 0.9 ? levels[rng() % 4] : float(400 * unit(rng));
        } else if (unit(rng) < 0.7) {
            y += static_cast<float>(dice < 0.01 ? 300 * (unit(rng) - 0.5) : 4 * (unit(rng) - 0.5));
        }
        s.Add(t, y);
    }
    return s;
}

View RandomView(std::mt19937& rng, const ChartSeries& s) {
    std::uniform_real_distribution<double> unit(0, 1);
    const double first = s.Empty() ? 0 : s.X(0), last = s.Empty() ? 1 : s.X(s.Size() - 1);
    const double span = std::max(last - first, 1e-3);
    double x0 = first, x1 = last;
    const int kind = static_cast<int>(rng() % 4);
    if (kind == 1) {  // any part, maybe reaching past the data
        x0 = first - 0.3 * span + 1.6 * span * unit(rng);
        x1 = x0 + 1e-4 * span + span * unit(rng) * unit(rng);
    } else if (kind == 2) {  // a deep zoom with few or no points inside
        x0 = first + span * unit(rng);
        x1 = x0 + span * 1e-4 * unit(rng) + 1e-9;
    }
    if (!(x1 > x0)) x1 = x0 + 1;
    const int columns = 1 + static_cast<int>(rng() % 150);
    const double rowsPerUnit = (0.02 + unit(rng)) * 0.2;  // sometimes clipped at the top
    return {ColumnMap(x0, x1, columns), 40, -20.0 + 40 * unit(rng), rowsPerUnit};
}

// The spans drawn from the polyline are those drawn from every point of the range, and
// they make a connected line from the first column it covers to the last.
void ExpectSameSpans(const ChartSeries& s, IndexRange range, const std::vector<PlotPoint>& polyline,
                     const View& v, LineShape shape) {
    auto spans = [&](const std::vector<PixelVertex>& vertices) {
        ColumnSpans out;
        out.Reset(v.map.Columns(), 0, static_cast<int>(v.height) - 1);
        out.AddPolyline(vertices, shape);
        return out;
    };
    std::vector<PixelVertex> every, reduced;
    ForEachInRange(s, range, [&](double x, float y) {
        every.push_back({v.map.ColumnOf(x), (y - v.yLow) * v.rowsPerUnit});
    });
    for (const PlotPoint& p : polyline)
        reduced.push_back({p.column, (p.y - v.yLow) * v.rowsPerUnit});
    const ColumnSpans a = spans(every), b = spans(reduced);
    int first = v.map.Columns() + 1, last = -2;
    for (int c = -1; c <= v.map.Columns(); ++c) {
        ASSERT_EQ(a.At(c).top, b.At(c).top) << c;
        ASSERT_EQ(a.At(c).bottom, b.At(c).bottom) << c;
        if (!a.At(c).Empty()) first = std::min(first, c), last = c;
    }
    for (int c = first; c < last; ++c) {
        const ColumnSpan here = a.At(c), next = a.At(c + 1);
        ASSERT_FALSE(next.Empty()) << c;
        ASSERT_TRUE(next.top <= here.bottom + 1 && here.top <= next.bottom + 1) << c;
    }
}

void CheckAgainstEveryPoint(LineShape shape, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<PlotPoint> polyline;
    PixelPath everyPath, polylinePath;
    for (int trial = 0; trial < 300; ++trial) {
        const ChartSeries s = RandomSeries(rng, shape);
        const View v = RandomView(rng, s);
        ASSERT_TRUE(v.map.Valid());
        // Every point, or a page of them (indices in time order, across merged runs).
        IndexRange range{0, s.Size()};
        if (trial % 2 == 1 && !s.Empty()) {
            range.begin = rng() % s.Size();
            range.end = range.begin + 1 + rng() % (s.Size() - range.begin);
        }
        BuildPolyline(s, v.map, shape, range, polyline);
        ASSERT_LE(polyline.size(), 4u * (v.map.Columns() + 2) + 2) << trial;
        ASSERT_EQ(polyline.empty(), range.begin == range.end);
        ExpectSameSpans(s, range, polyline, v, shape);
        everyPath.clear(), polylinePath.clear();
        ForEachInRange(s, range, [&](double x, float y) {
            everyPath.emplace_back(static_cast<long>(v.map.ColumnOf(x)), v.Row(y));
        });
        for (const PlotPoint& p : polyline) polylinePath.emplace_back(p.column, v.Row(p.y));
        for (Pen pen : {Pen::Thin, Pen::Square, Pen::Directional}) {
            const long width = v.map.Columns();
            const int distance = PixelDistance(DrawPath(everyPath, width, v.height, shape, pen),
                                               DrawPath(polylinePath, width, v.height, shape, pen));
            // Equal pixels for the thin and the square pen; the directional pen gives a
            // dropped repeat of a point a different stamp, one pixel off at most.
            ASSERT_LE(distance, pen == Pen::Directional ? 1 : 0)
                << "trial " << trial << " pen " << static_cast<int>(pen);
        }
    }
}

TEST(ChartStoreDecimation, PolylineDrawsTheSamePixelsAsEveryPoint) {
    CheckAgainstEveryPoint(LineShape::Line, 2024);
    CheckAgainstEveryPoint(LineShape::Stairs, 1789);
}

TEST(ChartStoreDecimation, AMillionPointsBecomeAtMostFourPerColumn) {
    ChartSeries s;
    for (int i = 0; i < 1000000; ++i) s.Add(i * 0.001, static_cast<float>(i % 1000));
    std::vector<PlotPoint> polyline;
    BuildPolyline(s, ColumnMap(0, 999.999, 947), LineShape::Line, polyline);
    ASSERT_LE(polyline.size(), 4u * 947);
    EXPECT_EQ(polyline.front().column, 0);
    EXPECT_EQ(polyline.back().column, 946);
    // Every column holds a full saw tooth: each one runs from 0 to 999.
    EXPECT_EQ(std::count_if(polyline.begin(), polyline.end(),
                            [](const PlotPoint& p) { return p.y == 999; }),
              947);
}

// ---- Paging ------------------------------------------------------------------------------

// 35 points 0.1 s apart on every series, as a recording of 35 answers gives.
ChartStore ThirtyFivePoints() {
    ChartStore store;
    for (int i = 0; i < 35; ++i) {
        store.AppendMeasurement({i * 0.1, {1, 2, 3}, {true, true, true}, {}}, {}, {});
    }
    return store;
}

TEST(ChartStorePaging, PageCountAndClamping) {
    struct Case {
        size_t points;
        int perPage;
        int64_t pages;
    };
    const Case cases[] = {{0, 10, 1},  {35, 0, 1},  {1, 10, 1},
                          {35, 10, 4}, {40, 10, 4}, {41, 10, 5}};
    for (const Case& c : cases) {
        EXPECT_EQ(PageCount(c.points, c.perPage), c.pages) << c.points << "/" << c.perPage;
    }
    for (const auto& [page, pages, clamped] :
         {std::array<int64_t, 3>{0, 4, 1}, {-7, 4, 1}, {3, 4, 3}, {99, 4, 4}, {3, 0, 1}}) {
        EXPECT_EQ(ClampPage(page, pages), clamped) << page << "/" << pages;
    }

    // Only series shown in the legend count.
    ChartStore store = ThirtyFivePoints();
    for (int i = 35; i < 50; ++i) store.Series(kSeriesPK1).Add(i * 0.1, 0);
    SeriesMask shown = kAllSeriesShown;
    EXPECT_EQ(PageCount(store.LargestShownCount(shown), 10), 5);
    shown[kSeriesPK1] = false;
    EXPECT_EQ(PageCount(store.LargestShownCount(shown), 10), 4);
}

TEST(ChartStorePaging, RulesAndTrackingFollowTheControls) {
    PagingState paging;
    // "włącz" unticked, points per page changed to 20: paging starts at once.
    SetPointsPerPage(paging, 20);
    EXPECT_EQ(PageCount(35, paging.pointsPerPage), 2);
    // A click with "włącz" unticked: no paging, page 1.
    paging.page = 2;
    ApplyPagingRule(paging, false, 20);
    EXPECT_EQ(paging.pointsPerPage, 0);
    EXPECT_EQ(paging.page, 1);
    ApplyPagingRule(paging, true, 10);
    EXPECT_EQ(paging.pointsPerPage, 10);

    // 10 per page, 35 points, "śledzenie" ticked while recording: page 4 of 4.
    const int64_t pages = PageCount(35, 10);
    EXPECT_EQ(TrackedPage(1, true, true, pages), 4);
    EXPECT_EQ(TrackedPage(1, false, true, pages), 1);
    EXPECT_EQ(TrackedPage(2, true, false, pages), 2);
    EXPECT_EQ(TrackedPage(1, true, true, 1), 1);

    const std::pair<const char*, std::optional<int>> texts[] = {
        {"10", 10},         {" 32767 ", 32767},    {"9", std::nullopt},   {"32768", std::nullopt},
        {"", std::nullopt}, {"12a", std::nullopt}, {"1e2", std::nullopt}, {"-10", std::nullopt}};
    for (const auto& [text, value] : texts) EXPECT_EQ(ParsePointsPerPage(text), value) << text;
}

TEST(ChartStorePaging, PageRangesStretchTheLastPageAsIfFull) {
    ChartStore store = ThirtyFivePoints();
    struct Case {
        int perPage;
        int64_t page;
        double x0, x1;
    };
    const Case cases[] = {
        {0, 3, 0.0, 3.4},    // no paging: everything
        {10, 1, 0.0, 0.9},   // a full page
        {10, 4, 3.0, 3.9},   // 5 points stretched to 10
        {10, 99, 3.0, 3.9},  // asked past the end: the last page
        {34, 2, 3.4, 6.7},   // one point: spacing before it
    };
    for (const Case& c : cases) {
        const auto range = AutoXRange(store, kAllSeriesShown, {c.perPage, c.page});
        ASSERT_TRUE(range.has_value());
        EXPECT_NEAR(range->x0, c.x0, 1e-9) << c.perPage << " " << c.page;
        EXPECT_NEAR(range->x1, c.x1, 1e-9) << c.perPage << " " << c.page;
    }
    // A hidden series does not widen the range; a lone point gets one second around it.
    store.Series(0).Add(50, 1);
    SeriesMask shown = kAllSeriesShown;
    EXPECT_NEAR(AutoXRange(store, shown, {})->x1, 50, 1e-9);
    shown[0] = false;
    EXPECT_NEAR(AutoXRange(store, shown, {})->x1, 3.4, 1e-9);
    ChartStore single;
    single.Series(2).Add(7, 1);
    const auto lone = AutoXRange(single, kAllSeriesShown, {10, 1});
    EXPECT_EQ(lone->x0, 6.5);
    EXPECT_EQ(lone->x1, 7.5);
}

}  // namespace
