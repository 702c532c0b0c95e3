// The chart tab "Wykres" (`TabSheet4`): the chart of the five series, the recording
// buttons, the channel readouts, the paging group "Stronicowanie" and the buttons that
// ask for the output-line dialog and the exports (the main window answers those).
//
// Points come from the sampling clock through two subscribers, so that they join the
// series where a measurement update adds them: the channel points (and readouts) right
// after the indicator model has taken the sample, the output points after the
// registration table. While recording, the chart is repainted on the 50 ms readout tick
// at most, however fast the points come.
#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "ChartPaging.h"
#include "ChartStore.h"
#include "IndicatorModel.h"
#include "OutputLineSource.h"
#include "Sample.h"
#include "SamplingClock.h"

class ChartView;
class QLineEdit;

namespace Ui {
class ChartTab;
}

namespace kt::ui {

class ChartTab : public QWidget {
    Q_OBJECT

public:
    explicit ChartTab(QWidget* parent = nullptr);
    ~ChartTab() override;

    // The series painted and filled, the clock whose elapsed time the start and stop
    // buttons reset, the model that says which channels take a sample and makes the
    // readout texts, and where the heights of the output lines come from. Set once,
    // before samples arrive; all four outlive the tab.
    void Attach(measurement::ChartStore& store, measurement::SamplingClock& sampling,
                const measurement::IndicatorModel& indicator,
                const measurement::OutputLineSource& outputLines);

    // Subscribe after the indicator model: readouts and the channel points.
    measurement::SampleSubscriber& ChannelPoints() { return channelPoints_; }
    // Subscribe after the registration table: the PK1 and PK2 points.
    measurement::SampleSubscriber& OutputPoints() { return outputPoints_; }

    // The 50 ms readout tick. Follows the last page while recording with "śledzenie"
    // ticked when `readoutsRefreshed` (the sampling clock did not skip its tick), and
    // repaints the chart once if points came since the previous tick.
    void OnReadoutTick(bool readoutsRefreshed);
    // After the settings have been read: no paging, page 1, then the paging rule.
    void ResetPaging();
    // The main window is shown: no paging, then the paging rule once more.
    void FormShow();

    // `Label52`: the samples-per-second text of the sampling clock.
    void SetSampleRateText(const std::string& text);

    // The stored paging settings. Setting one acts as the operator's click would:
    // "włącz" and "śledzenie" apply the paging rule when their state changes, and the
    // points per page (kept within 10..32767) count at once.
    bool PagingOn() const;
    void SetPagingOn(bool on);
    bool Tracking() const;
    void SetTracking(bool on);
    int SamplesPerPage() const;
    void SetSamplesPerPage(int value);

    bool Recording() const { return recording_; }
    ChartView& Chart();

signals:
    void outputLinesRequested();        // BitBtn2 "konfiguruj linie wyjsc..."
    void jpegExportRequested();         // BitBtn12
    void bmpExportRequested();          // BitBtn10
    void spreadsheetExportRequested();  // BitBtn11

public slots:
    void SpeedButton15Click();  // start recording
    void SpeedButton16Click();  // pause / resume
    void SpeedButton17Click();  // clear
    void SpeedButton19Click();  // stop
    void SpeedButton20Click();  // "pokaż wszystko"
    void SpeedButton14Click();  // first page
    void SpeedButton13Click();  // last page
    void CheckBox17Click();
    void CheckBox19Click();
    void UpDown2Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Hands a sample to one of the tab's handlers.
    class Forward : public measurement::SampleSubscriber {
    public:
        using Handler = void (ChartTab::*)(const measurement::Sample&);
        Forward(ChartTab& tab, Handler handler) : tab_(tab), handler_(handler) {}
        void OnSample(const measurement::Sample& sample) override { (tab_.*handler_)(sample); }

    private:
        ChartTab& tab_;
        Handler handler_;
    };

    void OnChannelSample(const measurement::Sample& sample);
    void OnOutputSample(const measurement::Sample& sample);
    void ClearSeries();
    void ResetElapsed();
    void SetPaging(const measurement::PagingState& paging);
    void ApplyPagingRule();
    void SetPointsPerPageFromField();
    void CSpinEdit1Edited(const QString& text);
    void PlaceGroupBox20();
    void StyleReadouts();
    void SetGlyphs();

    std::unique_ptr<Ui::ChartTab> ui_;
    QLineEdit* readouts_[3] = {};
    measurement::ChartStore* store_ = nullptr;
    measurement::SamplingClock* sampling_ = nullptr;
    const measurement::IndicatorModel* indicator_ = nullptr;
    const measurement::OutputLineSource* outputLines_ = nullptr;
    Forward channelPoints_{*this, &ChartTab::OnChannelSample};
    Forward outputPoints_{*this, &ChartTab::OnOutputSample};
    bool recording_ = false;
    bool pointsAdded_ = false;  // since the last repaint on the tick
};

}  // namespace kt::ui
