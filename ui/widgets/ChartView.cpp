#include "ChartView.h"

#include <QLinearGradient>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstring>

using namespace kt::measurement;

namespace {

constexpr int kLegendHeight = 22;
constexpr int kLeftSpace = 62;    // labels and the rotated title of the left axis
constexpr int kBottomSpace = 44;  // labels and title of the bottom axis
constexpr int kRightSpace = 14;
constexpr int kLegendSymbolWidth = 10;
constexpr double kPixelLimit = 1e5;  // farther points are pulled in before painting

QColor Colour(const Rgb& c) {
    return QColor(c.r, c.g, c.b);
}

// Major grid values over [from, to]: multiples of a step of 1, 2 or 5 times a power of
// ten, at most about `count` of them, with the decimals their labels need.
struct Ticks {
    double step = 0;
    int64_t first = 0;  // first and last multiple of the step shown (last < first: none)
    int64_t last = -1;
    int decimals = 0;
};

Ticks MakeTicks(double from, double to, int count) {
    Ticks t;
    const double raw = (to - from) / std::max(count, 1);
    if (!(raw > 0) || !std::isfinite(raw)) return t;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    t.step = 10 * power;
    for (double factor : {5.0, 2.0, 1.0}) {
        if (factor * power >= raw) t.step = factor * power;
    }
    const double first = std::ceil(from / t.step), last = std::floor(to / t.step);
    // Beyond double precision the multiples no longer differ: draw no grid then.
    if (!(last - first < 4.0 * count + 4) || !(std::abs(first) < 1e15)) return t;
    t.first = static_cast<int64_t>(first);
    t.last = static_cast<int64_t>(last);
    t.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(t.step))));
    return t;
}

// The polyline's ends may lie far outside the plot: pull them in to one column beyond
// each side along their segment (across at the old level for step lines).
void ClipEnds(std::vector<PlotPoint>& points, int columns, bool stairs) {
    if (points.size() < 2) return;
    auto pull = [stairs](PlotPoint& outer, const PlotPoint& inner, double column) {
        if (!stairs) {
            const double t = (column - inner.column) / (outer.column - inner.column);
            outer.y = static_cast<float>(inner.y + (outer.y - inner.y) * t);
        }
        outer.column = column;
    };
    if (points.front().column < -1) pull(points.front(), points[1], -1);
    if (points.back().column > columns) pull(points.back(), points[points.size() - 2], columns);
}

}  // namespace

ChartView::ChartView(QWidget* parent) : QWidget(parent), animationTimer_(new QTimer(this)) {
    setMouseTracking(false);
    setMinimumSize(200, 150);
    // Every pixel is painted: nothing needs to be drawn beneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    animationTimer_->setTimerType(Qt::PreciseTimer);
    animationTimer_->setInterval(kZoomAnimationMs / kZoomSteps);
    connect(animationTimer_, &QTimer::timeout, this, &ChartView::ZoomAnimationTick);
}

void ChartView::setStore(const ChartStore* store) {
    store_ = store;
    update();
}

void ChartView::setSeriesShown(int index, bool shown) {
    if (index < 0 || index >= kSeriesCount || shown_[static_cast<size_t>(index)] == shown) return;
    shown_[static_cast<size_t>(index)] = shown;
    emit seriesShownChanged(index, shown);
    update();
}

void ChartView::setPaging(const PagingState& paging) {
    paging_ = paging;
    DropZoom();
    update();
}

int64_t ChartView::pageCount() const {
    const size_t largest = store_ ? store_->LargestShownCount(shown_) : 0;
    return PageCount(largest, paging_.pointsPerPage);
}

int64_t ChartView::currentPage() const {
    return ClampPage(paging_.page, pageCount());
}

void ChartView::showPage(int64_t page) {
    const int64_t pages = pageCount();
    paging_.page = ClampPage(page, pages);
    DropZoom();
    emit pageShown(paging_.page, pages);
    update();
}

void ChartView::trackLastPage(bool chartRecording, bool tracking) {
    const int64_t pages = pageCount();
    const int64_t page = TrackedPage(currentPage(), chartRecording, tracking, pages);
    if (page != paging_.page) showPage(page);
}

void ChartView::undoZoom() {
    if (!zoom_) return;
    const Ranges shown = *zoom_;
    DropZoom();
    if (zoomAnimated_) AnimateZoom(shown, ViewRanges(), true);
    update();
}

void ChartView::zoomTo(const QRect& area) {
    const QRect plot = plotRect();
    const QRect r = area.normalized().intersected(plot);
    if (r.width() < kMinZoomDrag || r.height() < kMinZoomDrag) return;
    const Ranges now = ViewRanges();
    const double perPixel = (now.x1 - now.x0) / plot.width();
    Ranges z;
    z.x0 = now.x0 + (r.left() - plot.left()) * perPixel;
    z.x1 = now.x0 + (r.right() + 1 - plot.left()) * perPixel;
    z.y0 = ValueY(r.bottom() + 1, now, plot);
    z.y1 = ValueY(r.top(), now, plot);
    if (!(z.x1 > z.x0) || !(z.y1 > z.y0)) return;  // beyond double precision: keep the view
    DropZoom();
    if (zoomAnimated_) {
        AnimateZoom(now, z, false);
    } else {
        zoom_ = z;
    }
    update();
}

void ChartView::setZoomAnimated(bool animated) {
    zoomAnimated_ = animated;
    if (!animated && animation_) advanceZoomAnimation(kZoomSteps);
}

void ChartView::DropZoom() {
    zoom_.reset();
    animation_.reset();
    animationTimer_->stop();
}

// The first frame shows `from` (the view as it was); each step moves every range end a
// fiftieth of the way, and the last step shows the target itself.
void ChartView::AnimateZoom(const Ranges& from, const Ranges& to, bool undo) {
    zoom_ = from;
    animation_ = ZoomAnimation{from, to, undo};
    animationClock_.start();
    animationTimer_->start();
}

void ChartView::advanceZoomAnimation(int steps) {
    if (!animation_ || steps <= 0) return;
    ZoomAnimation& a = *animation_;
    a.step = std::min(kZoomSteps, a.step + steps);
    if (a.step == kZoomSteps) {
        const std::optional<Ranges> last = a.undo ? std::nullopt : std::optional<Ranges>(a.to);
        DropZoom();
        zoom_ = last;
    } else {
        const double t = static_cast<double>(a.step) / kZoomSteps;
        auto between = [t](double from, double to) { return from + (to - from) * t; };
        zoom_ = Ranges{between(a.from.x0, a.to.x0), between(a.from.x1, a.to.x1),
                       between(a.from.y0, a.to.y0), between(a.from.y1, a.to.y1)};
    }
    update();
}

// At least one step per tick; when painting falls behind, as many as the time asks for,
// so the animation still ends after about a quarter of a second.
void ChartView::ZoomAnimationTick() {
    if (!animation_) return;
    const qint64 due = animationClock_.elapsed() * kZoomSteps / kZoomAnimationMs;
    advanceZoomAnimation(std::max<int>(1, static_cast<int>(due) - animation_->step));
}

QRect ChartView::plotRect() const {
    return QRect(kLeftSpace, kLegendHeight + 4, std::max(1, width() - kLeftSpace - kRightSpace),
                 std::max(kTopMargin + 1, height() - kLegendHeight - 4 - kBottomSpace));
}

std::vector<QRect> ChartView::legendRects() const {
    const QFontMetrics metrics(font());
    std::vector<QRect> rects;
    int total = 0;
    for (const SeriesLook& look : kSeriesLooks) {
        const int w = 14 + kLegendSymbolWidth + 4 + metrics.horizontalAdvance(look.title) + 12;
        rects.emplace_back(total, 3, w, kLegendHeight - 6);
        total += w;
    }
    const int shift = std::max(0, (width() - total) / 2);
    for (QRect& r : rects) r.translate(shift, 0);
    return rects;
}

ChartView::Ranges ChartView::ViewRanges() const {
    if (zoom_) return *zoom_;
    Ranges r{0, 1, 0, 360};
    if (store_) {
        if (const auto x = AutoXRange(*store_, shown_, {paging_.pointsPerPage, currentPage()})) {
            r.x0 = x->x0;
            r.x1 = x->x1;
        }
    }
    return r;
}

// The bottom of the range sits on the plot's last row (inside its clip, so a series at
// 0 degrees, such as an output line while the output is off, is drawn), the top of the
// range kTopMargin rows below the plot's top.
double ChartView::PixelY(double y, const Ranges& r, const QRect& plot) const {
    const double usable = plot.height() - 1 - kTopMargin;
    const double pixel = plot.bottom() - (y - r.y0) / (r.y1 - r.y0) * usable;
    return std::clamp(pixel, -kPixelLimit, kPixelLimit);
}

double ChartView::ValueY(double pixel, const Ranges& r, const QRect& plot) const {
    const double usable = plot.height() - 1 - kTopMargin;
    return r.y0 + (plot.bottom() - pixel) / usable * (r.y1 - r.y0);
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect plot = plotRect();
    const Ranges r = ViewRanges();
    // The frame is an image of the widget's own pixels: on a screen that scales them, or
    // for painters that record (SVG, PDF), every part is drawn as commands instead.
    if (p.paintEngine() != nullptr && p.paintEngine()->type() == QPaintEngine::Raster &&
        p.device()->devicePixelRatio() == 1) {
        PaintFrame(r, plot);
        p.drawImage(0, 0, frame_);
        return;
    }
    PaintStatic(p, r, plot);
    for (int i = 0; i < kSeriesCount; ++i) {
        if (!shown_[static_cast<size_t>(i)] || !SeriesSpans(i, r, plot)) continue;
        const QColor colour = Colour(kSeriesLooks[static_cast<size_t>(i)].line);
        for (int c = -1; c <= spans_.Columns(); ++c) {
            const ColumnSpan span = spans_.At(c);
            if (span.Empty()) continue;
            const QRect stamp(plot.left() + c, span.top - 1, 2, span.bottom - span.top + 2);
            p.fillRect(stamp.intersected(plot), colour);
        }
    }
    PaintOverlay(p);
}

// The background, grid and titles change only with the size and the ranges shown: they
// are painted once into an image, and every frame starts from a copy of it.
void ChartView::PaintFrame(const Ranges& r, const QRect& plot) {
    const BackgroundKey key{size(), r.x0, r.x1, r.y0, r.y1};
    if (!(background_.size() == size() && key == backgroundKey_)) {
        background_ = QImage(size(), QImage::Format_RGB32);
        QPainter b(&background_);
        b.setFont(font());
        PaintStatic(b, r, plot);
        backgroundKey_ = key;
    }
    if (frame_.size() != size()) frame_ = QImage(size(), QImage::Format_RGB32);
    std::memcpy(frame_.bits(), background_.constBits(),
                static_cast<size_t>(background_.sizeInBytes()));
    for (int i = 0; i < kSeriesCount; ++i) {
        if (!shown_[static_cast<size_t>(i)] || !SeriesSpans(i, r, plot)) continue;
        FillSpans(Colour(kSeriesLooks[static_cast<size_t>(i)].line).rgb(), plot);
    }
    QPainter q(&frame_);
    q.setFont(font());
    PaintOverlay(q);
}

void ChartView::PaintStatic(QPainter& p, const Ranges& r, const QRect& plot) const {
    PaintBackground(p);
    PaintGrid(p, r, plot);
    PaintTitles(p, plot);
}

void ChartView::PaintOverlay(QPainter& p) const {
    PaintLegend(p);
    PaintPageText(p);
    if (dragStart_) {
        p.setPen(QColor(128, 128, 255));
        p.setBrush(QColor(128, 0, 255));
        p.drawRect(dragRect_.normalized());
    }
}

void ChartView::PaintBackground(QPainter& p) const {
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, Qt::black);
    gradient.setColorAt(0.59, QColor(0, 0, 64));  // the two colours meet at 59 %
    gradient.setColorAt(1, QColor(0, 0, 128));
    p.fillRect(rect(), gradient);
}

void ChartView::PaintGrid(QPainter& p, const Ranges& r, const QRect& plot) const {
    const QFontMetrics metrics(font());
    const QPen major(QColor(192, 192, 192), 1, Qt::SolidLine);
    const QPen minor(QColor(128, 128, 128), 1, Qt::DotLine);
    QLocale numbers = locale();
    numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    // One minor line halfway between major ones (and beside the outer ones), then the
    // major line and its label.
    auto lines = [&](const Ticks& t, auto pixel, auto drawLine, auto drawLabel) {
        for (int64_t k = t.first - 1; k <= t.last; ++k) {
            p.setPen(minor);
            drawLine(pixel((static_cast<double>(k) + 0.5) * t.step));
            if (k < t.first) continue;
            const double value = static_cast<double>(k) * t.step;
            p.setPen(major);
            drawLine(pixel(value));
            p.setPen(Qt::white);
            drawLabel(pixel(value), numbers.toString(value, 'f', t.decimals));
        }
    };
    const double perSecond = plot.width() / (r.x1 - r.x0);
    lines(
        MakeTicks(r.x0, r.x1, std::max(2, plot.width() / 90)),
        [&](double x) { return plot.left() + (x - r.x0) * perSecond; },
        [&](double px) {
            if (px >= plot.left() && px <= plot.right()) {
                p.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
            }
        },
        [&](double px, const QString& label) {
            p.drawText(QPointF(px - metrics.horizontalAdvance(label) / 2.0,
                               plot.bottom() + 4 + metrics.ascent()),
                       label);
        });
    lines(
        MakeTicks(r.y0, r.y1, std::max(2, (plot.height() - kTopMargin) / 40)),
        [&](double y) { return PixelY(y, r, plot); },
        [&](double py) {
            if (py >= plot.top() && py <= plot.bottom()) {
                p.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
            }
        },
        [&](double py, const QString& label) {
            p.drawText(QPointF(plot.left() - 4 - metrics.horizontalAdvance(label),
                               py + metrics.ascent() / 2.0 - 1),
                       label);
        });
}

// The spans of series i as shown: the points of the page (all without paging), decimated
// over the plot's columns. False when nothing of it is to be drawn.
bool ChartView::SeriesSpans(int i, const Ranges& r, const QRect& plot) {
    if (!store_) return false;
    const bool stairs = kSeriesLooks[static_cast<size_t>(i)].stairs;
    const ChartSeries& series = store_->Series(i);
    const ColumnMap map(r.x0, r.x1, plot.width());
    const IndexRange page = PageIndices(currentPage(), paging_.pointsPerPage, series.Size());
    BuildPolyline(series, map, stairs ? LineShape::Stairs : LineShape::Line, page, polyline_);
    if (polyline_.empty()) return false;
    ClipEnds(polyline_, plot.width(), stairs);
    vertices_.clear();
    for (const PlotPoint& point : polyline_) {
        vertices_.push_back({point.column, PixelY(point.y, r, plot)});
    }
    spans_.Reset(plot.width(), plot.top(), plot.bottom());
    spans_.AddPolyline(vertices_, stairs ? LineShape::Stairs : LineShape::Line);
    return true;
}

// A two-pixel line: every pixel of the one-pixel spans stamped 2 x 2, growing to the right
// and upwards (so a line on the plot's last row keeps both of its rows), written straight
// into the frame's rows.
void ChartView::FillSpans(QRgb colour, const QRect& plot) {
    uchar* bits = frame_.bits();
    const qsizetype stride = frame_.bytesPerLine();
    for (int c = -1; c <= spans_.Columns(); ++c) {
        const ColumnSpan span = spans_.At(c);
        if (span.Empty()) continue;
        const int top = std::max(span.top - 1, plot.top());
        const int bottom = std::min(span.bottom, plot.bottom());
        for (int x = plot.left() + c; x <= plot.left() + c + 1; ++x) {
            if (x < plot.left() || x > plot.right()) continue;
            uchar* at = bits + static_cast<qsizetype>(top) * stride + x * 4;
            for (int y = top; y <= bottom; ++y, at += stride) *reinterpret_cast<QRgb*>(at) = colour;
        }
    }
}

void ChartView::PaintLegend(QPainter& p) const {
    const std::vector<QRect> rects = legendRects();
    for (size_t i = 0; i < rects.size(); ++i) {
        const SeriesLook& look = kSeriesLooks[i];
        const QRect& r = rects[i];
        const QRect box(r.left(), r.center().y() - 5, 10, 10);
        p.setPen(Qt::white);
        p.setBrush(Qt::NoBrush);
        p.drawRect(box);
        if (shown_[i]) {  // a tick
            p.drawLine(box.left() + 2, box.center().y(), box.center().x(), box.bottom() - 2);
            p.drawLine(box.center().x(), box.bottom() - 2, box.right() - 1, box.top() + 2);
        }
        const int symbolX = box.right() + 4;
        p.setPen(QPen(Colour(look.line), kSeriesLineWidth));
        p.drawLine(symbolX, r.center().y(), symbolX + kLegendSymbolWidth, r.center().y());
        p.setPen(Colour(look.line));
        p.drawText(QRect(symbolX + kLegendSymbolWidth + 4, r.top(), r.width(), r.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(look.title));
    }
}

void ChartView::PaintTitles(QPainter& p, const QRect& plot) const {
    const QFontMetrics metrics(font());
    p.setPen(Qt::white);
    p.drawText(QRect(plot.left(), height() - metrics.height() - 2, plot.width(), metrics.height()),
               Qt::AlignHCenter, QStringLiteral("czas [s]"));
    p.save();
    p.translate(metrics.height() / 2.0 + 2, plot.center().y());
    p.rotate(-90);
    p.drawText(
        QRectF(-plot.height() / 2.0, -metrics.height() / 2.0, plot.height(), metrics.height()),
        Qt::AlignCenter, QStringLiteral("kąt [ °]"));
    p.restore();
}

void ChartView::PaintPageText(QPainter& p) const {
    const QFontMetrics metrics(font());
    p.setPen(Qt::white);
    const QString page = QStringLiteral("Page %1 of %2").arg(currentPage()).arg(pageCount());
    p.drawText(QRect(0, height() - metrics.height() - 2, width() - kRightSpace, metrics.height()),
               Qt::AlignRight, page);
}

void ChartView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::LocaleChange) {
        background_ = QImage();  // painted again with the new font or number format
    }
    QWidget::changeEvent(event);
}

void ChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    const std::vector<QRect> rects = legendRects();
    for (size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].contains(at)) {
            setSeriesShown(static_cast<int>(i), !shown_[i]);
            return;
        }
    }
    if (plotRect().contains(at)) {
        dragStart_ = at;
        dragRect_ = QRect(at, at);
    }
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragStart_) return;
    dragRect_ = QRect(*dragStart_, event->position().toPoint());
    update();
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragStart_ || event->button() != Qt::LeftButton) return;
    const QRect area = QRect(*dragStart_, event->position().toPoint()).normalized();
    dragStart_.reset();
    zoomTo(area);
    update();
}

void ChartView::mouseDoubleClickEvent(QMouseEvent*) {
    dragStart_.reset();
    undoZoom();
}
