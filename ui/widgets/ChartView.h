// The chart of the "Wykres" tab: paints the five series of a ChartStore over a black to
// navy background, with a legend whose check boxes hide or show series, axes with grids,
// paging by point count with "Page %d of %d", and rubber-band zoom with undo, both moving
// to their view in 50 frames over about a quarter of a second. Each series is drawn from
// its decimated polyline as one vertical span of pixels per column, so a frame costs the
// same at a thousand points as at millions, turning and wrapping angles included; the
// background, grid and titles are kept as an image between frames.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "ChartDecimation.h"
#include "ChartPaging.h"
#include "ChartRaster.h"
#include "ChartStore.h"

class QTimer;

class ChartView : public QWidget {
    Q_OBJECT

public:
    // Pixels above the highest value of the Y range, inside the plot.
    static constexpr int kTopMargin = 10;
    // Smallest width and height of a dragged rectangle that zooms.
    static constexpr int kMinZoomDrag = 9;
    // Frames of a zoom or undo-zoom animation and the time they are spread over.
    static constexpr int kZoomSteps = 50;
    static constexpr int kZoomAnimationMs = 250;

    explicit ChartView(QWidget* parent = nullptr);

    // The store painted; it is read on every paint. Call update() after adding points.
    void setStore(const kt::measurement::ChartStore* store);

    const kt::measurement::SeriesMask& shownSeries() const { return shown_; }
    void setSeriesShown(int index, bool shown);

    // Paging: points per page (0: none) and the page asked for.
    const kt::measurement::PagingState& paging() const { return paging_; }
    void setPaging(const kt::measurement::PagingState& paging);
    int64_t pageCount() const;
    int64_t currentPage() const;  // the page asked for, brought into 1..pageCount()
    void showPage(int64_t page);
    void showFirstPage() { showPage(1); }
    void showLastPage() { showPage(pageCount()); }
    // Page tracking, run on the 50 ms tick: the last page while recording with tracking on.
    void trackLastPage(bool chartRecording, bool tracking);

    // Zoomed, or on the way to a zoomed view.
    bool isZoomed() const { return animation_ ? !animation_->undo : zoom_.has_value(); }
    // Back to the full view (animated from the view shown).
    void undoZoom();
    // Zooms to the part of the plot under `area` (widget pixels) as it is shown now.
    void zoomTo(const QRect& area);

    // With animation off, zoom and undo zoom show their view at once. On by default.
    void setZoomAnimated(bool animated);
    bool zoomAnimating() const { return animation_.has_value(); }
    // Moves a running animation on by `steps` frames; its last frame is the view that
    // zoom or undo zoom without animation shows.
    void advanceZoomAnimation(int steps = 1);

    // Where the series are drawn, in widget pixels.
    QRect plotRect() const;
    // Legend entry of each series, in widget pixels (a click there hides or shows it).
    std::vector<QRect> legendRects() const;

signals:
    void seriesShownChanged(int index, bool shown);
    void pageShown(qint64 page, qint64 pageCount);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Ranges {
        double x0, x1;  // seconds
        double y0, y1;  // degrees
    };
    // What the cached background was painted for.
    struct BackgroundKey {
        QSize size;
        double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
        bool operator==(const BackgroundKey&) const = default;
    };

    // A zoom or undo zoom under way: the frames go from `from` to `to` in kZoomSteps steps.
    struct ZoomAnimation {
        Ranges from, to;
        bool undo;
        int step = 0;
    };

    Ranges ViewRanges() const;
    void DropZoom();
    void AnimateZoom(const Ranges& from, const Ranges& to, bool undo);
    void ZoomAnimationTick();
    double PixelY(double y, const Ranges& r, const QRect& plot) const;
    double ValueY(double pixel, const Ranges& r, const QRect& plot) const;

    void PaintFrame(const Ranges& r, const QRect& plot);
    void PaintStatic(QPainter& p, const Ranges& r, const QRect& plot) const;
    void PaintOverlay(QPainter& p) const;
    void PaintBackground(QPainter& p) const;
    void PaintGrid(QPainter& p, const Ranges& r, const QRect& plot) const;
    bool SeriesSpans(int i, const Ranges& r, const QRect& plot);
    void FillSpans(QRgb colour, const QRect& plot);
    void PaintLegend(QPainter& p) const;
    void PaintTitles(QPainter& p, const QRect& plot) const;
    void PaintPageText(QPainter& p) const;

    const kt::measurement::ChartStore* store_ = nullptr;
    kt::measurement::SeriesMask shown_ = kt::measurement::kAllSeriesShown;
    kt::measurement::PagingState paging_;
    std::optional<Ranges> zoom_;  // the ranges shown while zoomed or animating
    std::optional<ZoomAnimation> animation_;
    bool zoomAnimated_ = true;
    QTimer* animationTimer_ = nullptr;
    QElapsedTimer animationClock_;
    std::optional<QPoint> dragStart_;
    QRect dragRect_;
    // Reused between frames so painting allocates nothing once they have grown.
    std::vector<kt::measurement::PlotPoint> polyline_;
    std::vector<kt::measurement::PixelVertex> vertices_;
    kt::measurement::ColumnSpans spans_;
    QImage background_;
    BackgroundKey backgroundKey_;
    QImage frame_;
};
