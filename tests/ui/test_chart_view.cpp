// The chart widget over a small store: what it paints where, the legend's check boxes,
// rubber-band zoom and its undo, and paging with tracking of the last page.
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "widgets/ChartView.h"

using namespace kt::measurement;

namespace {

// 35 measurements 0.1 s apart: channel 0 flat at 180, the rest at their start levels.
void Fill(ChartStore& store) {
    for (int i = 0; i < 35; ++i) {
        store.AppendMeasurement({i * 0.1, {180, 90, 270}, {true, false, false}, {}}, {50, 0},
                                {50, 75});
    }
}

QColor PixelAt(ChartView& view, QPoint at) {
    QImage image(view.size(), QImage::Format_RGB32);
    view.render(&image);
    return image.pixelColor(at);
}

// Pixel row of an angle in the unzoomed view (0 on the plot's last row, 10 rows above 360).
int RowOf(const ChartView& view, double angle) {
    const QRect plot = view.plotRect();
    const double usable = plot.height() - 1 - ChartView::kTopMargin;
    return static_cast<int>(plot.bottom() - angle / 360 * usable);
}

}  // namespace

class ChartViewTest : public QObject {
    Q_OBJECT

private slots:
    void DrawsSeriesInTheirColoursAndTheLegendHidesThem() {
        ChartStore store;
        Fill(store);
        ChartView view;
        view.resize(600, 400);
        view.setStore(&store);
        view.show();
        const QPoint onLine(view.plotRect().center().x(), RowOf(view, 180));
        QCOMPARE(PixelAt(view, onLine), QColor(255, 0, 0));
        QCOMPARE(PixelAt(view, {onLine.x(), RowOf(view, 75)}), QColor(255, 128, 0));  // PK2 off

        // PK1 off, at 0: on the plot's last row, over the grid line of 0.
        const QPoint atZero(onLine.x(), view.plotRect().bottom());
        QCOMPARE(RowOf(view, 0), atZero.y());
        const QColor pk1 = PixelAt(view, atZero);
        view.setSeriesShown(kSeriesPK1, false);
        QVERIFY(PixelAt(view, atZero) != pk1);
        view.setSeriesShown(kSeriesPK1, true);

        QSignalSpy spy(&view, &ChartView::seriesShownChanged);
        QTest::mouseClick(&view, Qt::LeftButton, {}, view.legendRects()[0].center());
        QCOMPARE(spy.count(), 1);
        QVERIFY(!view.shownSeries()[0]);
        QVERIFY(PixelAt(view, onLine) != QColor(255, 0, 0));
        QTest::mouseClick(&view, Qt::LeftButton, {}, view.legendRects()[0].center());
        QCOMPARE(PixelAt(view, onLine), QColor(255, 0, 0));
    }

    void DragZoomsFromNinePixelsAndDoubleClickUndoes() {
        ChartStore store;
        Fill(store);
        ChartView view;
        view.resize(600, 400);
        view.setStore(&store);
        view.show();
        const QPoint from = view.plotRect().center();
        // Presses far apart, so that two of them never make a double click.
        auto drag = [&](QPoint start, QPoint size) {
            QTest::mousePress(&view, Qt::LeftButton, {}, start);
            QTest::mouseMove(&view, start + size);
            QTest::mouseRelease(&view, Qt::LeftButton, {}, start + size);
        };
        drag(from, QPoint(7, 40));  // 8 pixels wide: too small
        QVERIFY(!view.isZoomed());
        drag(from + QPoint(-100, -100), QPoint(8, 8));  // 9 x 9
        QVERIFY(view.isZoomed());
        QTest::mouseDClick(&view, Qt::LeftButton, {}, from);
        QVERIFY(!view.isZoomed());
        // Zoomed to 160..190 degrees, the line at 180 moves to two thirds of the height.
        view.zoomTo(QRect(QPoint(from.x() - 20, RowOf(view, 190)),
                          QPoint(from.x() + 20, RowOf(view, 160))));
        QVERIFY(view.isZoomed());
        view.advanceZoomAnimation(ChartView::kZoomSteps);
        const QRect plot = view.plotRect();
        const int row = plot.bottom() - (plot.height() - ChartView::kTopMargin) * 2 / 3;
        QImage image(view.size(), QImage::Format_RGB32);
        view.render(&image);
        auto redNear = [&](int y) {
            bool red = false;
            for (int dy = -3; dy <= 3; ++dy) {
                red = red || image.pixelColor(from.x(), y + dy) == QColor(255, 0, 0);
            }
            return red;
        };
        QVERIFY(redNear(row));
        QVERIFY(!redNear(RowOf(view, 180)));
    }

    // Page p shows points (p - 1)k .. pk - 1 of each series. A channel recorded during the
    // second half only has all its 50 points on page 1, beside the first 50 of the output
    // lines; page 2 holds output points only.
    void EachSeriesShowsOnlyItsOwnPointsOfThePage() {
        ChartStore store;
        for (int i = 0; i < 100; ++i) {
            store.AppendMeasurement({i * 0.1, {180, 0, 0}, {i >= 50, false, false}, {}}, {50, 0},
                                    {50, 75});
        }
        ChartView view;
        view.resize(600, 400);
        view.setStore(&store);
        view.show();
        view.setPaging({50, 1});
        const QRect plot = view.plotRect();
        const int left = plot.left() + plot.width() / 4, right = plot.left() + plot.width() * 3 / 4;
        const QColor red(255, 0, 0), orange(255, 128, 0);
        auto colour = [&](int x, double angle) { return PixelAt(view, {x, RowOf(view, angle)}); };
        QCOMPARE(colour(left, 75), orange);
        QVERIFY(colour(right, 75) != orange);  // output points of page 2 stay off page 1
        QCOMPARE(colour(right, 180), red);
        view.showPage(2);
        QCOMPARE(colour(left, 75), orange);
        QCOMPARE(colour(right, 75), orange);
        QVERIFY(colour(left, 180) != red && colour(right, 180) != red);
    }

    void PagingCountsShownSeriesAndTracksTheLastPage() {
        ChartStore store;
        Fill(store);
        ChartView view;
        view.setStore(&store);
        view.setPaging({10, 1});
        QCOMPARE(view.pageCount(), 4);
        view.trackLastPage(false, true);
        QCOMPARE(view.currentPage(), 1);
        view.trackLastPage(true, true);
        QCOMPARE(view.currentPage(), 4);
        view.showPage(99);
        QCOMPARE(view.currentPage(), 4);
        // Hiding every series leaves one page; the page asked for is clamped.
        for (int i = 0; i < kSeriesCount; ++i) view.setSeriesShown(i, false);
        QCOMPARE(view.pageCount(), 1);
        QCOMPARE(view.currentPage(), 1);
        store.Clear();
        view.setPaging({0, 1});
        QCOMPARE(view.pageCount(), 1);
    }
};

QTEST_MAIN(ChartViewTest)
#include "test_chart_view.moc"
