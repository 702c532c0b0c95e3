#include "ChartTab.h"

#include <QEvent>
#include <QLineEdit>
#include <algorithm>
#include <optional>
#include <string_view>

#include "ui_ChartTab.h"
#include "widgets/ChannelColours.h"
#include "widgets/ChartGlyphs.h"
#include "widgets/ChartView.h"
#include "widgets/Fonts.h"

namespace kt::ui {

using measurement::ChartSample;
using measurement::PagingState;
using measurement::Sample;

namespace {

constexpr int kReadoutFontPixels = 16;

bool SamePaging(const PagingState& a, const PagingState& b) {
    return a.pointsPerPage == b.pointsPerPage && a.page == b.page;
}

}  // namespace

ChartTab::ChartTab(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::ChartTab>()) {
    ui_->setupUi(this);
    readouts_[0] = ui_->Edit22;
    readouts_[1] = ui_->Edit26;
    readouts_[2] = ui_->Edit27;
    StyleReadouts();
    SetGlyphs();
    ui_->UpDown2->setAssociate(ui_->CSpinEdit1);
    ui_->Panel5->installEventFilter(this);
    ui_->CSpinEdit1->installEventFilter(this);
    PlaceGroupBox20();

    connect(ui_->SpeedButton15, &QToolButton::clicked, this, &ChartTab::SpeedButton15Click);
    connect(ui_->SpeedButton16, &QToolButton::clicked, this, &ChartTab::SpeedButton16Click);
    connect(ui_->SpeedButton17, &QToolButton::clicked, this, &ChartTab::SpeedButton17Click);
    connect(ui_->SpeedButton19, &QToolButton::clicked, this, &ChartTab::SpeedButton19Click);
    connect(ui_->SpeedButton20, &QToolButton::clicked, this, &ChartTab::SpeedButton20Click);
    connect(ui_->SpeedButton14, &QToolButton::clicked, this, &ChartTab::SpeedButton14Click);
    connect(ui_->SpeedButton13, &QToolButton::clicked, this, &ChartTab::SpeedButton13Click);
    // A state set from code counts as a click, as a restored setting needs.
    connect(ui_->CheckBox17, &QCheckBox::toggled, this, &ChartTab::CheckBox17Click);
    connect(ui_->CheckBox19, &QCheckBox::toggled, this, &ChartTab::CheckBox19Click);
    connect(ui_->UpDown2, &UpDown::clicked, this, &ChartTab::UpDown2Click);
    connect(ui_->CSpinEdit1, &QLineEdit::textEdited, this, &ChartTab::CSpinEdit1Edited);
    connect(ui_->BitBtn2, &QPushButton::clicked, this, &ChartTab::outputLinesRequested);
    connect(ui_->BitBtn12, &QPushButton::clicked, this, &ChartTab::jpegExportRequested);
    connect(ui_->BitBtn10, &QPushButton::clicked, this, &ChartTab::bmpExportRequested);
    connect(ui_->BitBtn11, &QPushButton::clicked, this, &ChartTab::spreadsheetExportRequested);
}

ChartTab::~ChartTab() = default;

void ChartTab::Attach(measurement::ChartStore& store, measurement::SamplingClock& sampling,
                      const measurement::IndicatorModel& indicator,
                      const measurement::OutputLineSource& outputLines) {
    store_ = &store;
    sampling_ = &sampling;
    indicator_ = &indicator;
    outputLines_ = &outputLines;
    Chart().setStore(store_);
}

ChartView& ChartTab::Chart() {
    return *ui_->Chart1;
}

void ChartTab::StyleReadouts() {
    for (int channel = 0; channel < 3; ++channel) {
        QLineEdit* readout = readouts_[channel];
        QPalette palette = readout->palette();
        palette.setColor(QPalette::Base, Qt::black);
        palette.setColor(QPalette::Text, ChannelColour(channel));
        readout->setPalette(palette);
        readout->setFont(DisplayFont(kReadoutFontPixels));
    }
}

void ChartTab::SetGlyphs() {
    ui_->SpeedButton15->setIcon(PlayGlyph());
    ui_->SpeedButton16->setIcon(PauseGlyph());
    ui_->SpeedButton17->setIcon(ClearGlyph());
    ui_->SpeedButton19->setIcon(StopGlyph());
    ui_->SpeedButton14->setIcon(FirstPageGlyph());
    ui_->SpeedButton13->setIcon(LastPageGlyph());
}

// The paging group keeps to the right end of the panel, inside its one-pixel frame.
void ChartTab::PlaceGroupBox20() {
    const int frame = ui_->Panel5->frameWidth();
    QGroupBox* group = ui_->GroupBox20;
    group->move(std::max(0, ui_->Panel5->width() - frame - group->width()), frame);
}

bool ChartTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Panel5 && event->type() == QEvent::Resize) {
        PlaceGroupBox20();
    } else if (watched == ui_->CSpinEdit1 && event->type() == QEvent::FocusOut) {
        // Text that was no whole number in 10..32767 gives way to the value in force.
        ui_->UpDown2->setPosition(ui_->UpDown2->position());
    }
    return QWidget::eventFilter(watched, event);
}

// The readouts show the indicator's text of each channel that took the sample, from its
// first character (a text longer than the field must not read as its plausible tail);
// the channel points join the chart while recording.
void ChartTab::OnChannelSample(const Sample& sample) {
    if (!indicator_ || !store_) return;
    ChartSample points;
    points.elapsed = sample.elapsed;
    for (int channel = 0; channel < 3; ++channel) {
        if (!indicator_->TakesSample(channel, sample)) continue;
        points.active[static_cast<size_t>(channel)] = true;
        points.angle[static_cast<size_t>(channel)] = sample.angle[channel];
        const std::string_view text = indicator_->ValueText(channel);
        readouts_[channel]->setText(
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        readouts_[channel]->setCursorPosition(0);
    }
    if (!recording_) return;
    store_->AppendChannelPoints(points);
    pointsAdded_ = true;
}

// The output lines' heights are read at the moment the points are added.
void ChartTab::OnOutputSample(const Sample& sample) {
    if (!recording_ || !store_ || !outputLines_) return;
    ChartSample points;
    points.elapsed = sample.elapsed;
    points.outputOn = {sample.outputOn[0], sample.outputOn[1]};
    store_->AppendOutputPoints(points, outputLines_->Line(0), outputLines_->Line(1));
    pointsAdded_ = true;
}

void ChartTab::OnReadoutTick(bool readoutsRefreshed) {
    if (readoutsRefreshed) Chart().trackLastPage(recording_, Tracking());
    if (pointsAdded_) {
        pointsAdded_ = false;
        Chart().update();
    }
}

void ChartTab::SetSampleRateText(const std::string& text) {
    ui_->Label52->setText(QString::fromStdString(text));
}

void ChartTab::SpeedButton15Click() {
    ClearSeries();
    recording_ = true;
    ResetElapsed();
}

// Pressed while stopped, recording starts onto what the chart holds.
void ChartTab::SpeedButton16Click() {
    recording_ = !recording_;
}

void ChartTab::SpeedButton17Click() {
    ClearSeries();
}

void ChartTab::SpeedButton19Click() {
    recording_ = false;
    ClearSeries();
    ResetElapsed();
}

// An emptied chart starts again at its first page, unzoomed.
void ChartTab::ClearSeries() {
    if (store_) store_->Clear();
    pointsAdded_ = false;
    Chart().showFirstPage();
}

void ChartTab::ResetElapsed() {
    if (sampling_) sampling_->ResetElapsed();
}

void ChartTab::SpeedButton20Click() {
    Chart().undoZoom();
}

void ChartTab::SpeedButton14Click() {
    Chart().showFirstPage();
}

void ChartTab::SpeedButton13Click() {
    Chart().showLastPage();
}

bool ChartTab::PagingOn() const {
    return ui_->CheckBox17->isChecked();
}

void ChartTab::SetPagingOn(bool on) {
    ui_->CheckBox17->setChecked(on);
}

bool ChartTab::Tracking() const {
    return ui_->CheckBox19->isChecked();
}

void ChartTab::SetTracking(bool on) {
    ui_->CheckBox19->setChecked(on);
}

int ChartTab::SamplesPerPage() const {
    return ui_->UpDown2->position();
}

void ChartTab::SetSamplesPerPage(int value) {
    ui_->UpDown2->setPosition(value);
    SetPointsPerPageFromField();
}

void ChartTab::CheckBox17Click() {
    ApplyPagingRule();
}

void ChartTab::CheckBox19Click() {
    ApplyPagingRule();
}

void ChartTab::UpDown2Click() {
    SetPointsPerPageFromField();
}

// Typing: a whole number in 10..32767 counts at once; anything else leaves the value in
// force until the field loses the focus and shows that value again.
void ChartTab::CSpinEdit1Edited(const QString& text) {
    const std::optional<int> value = measurement::ParsePointsPerPage(text.toStdString());
    if (!value) return;
    QLineEdit* field = ui_->CSpinEdit1;
    const int cursor = field->cursorPosition();
    ui_->UpDown2->setPosition(*value);  // writes the number back in its plain form
    field->setCursorPosition(std::min(cursor, static_cast<int>(field->text().size())));
    SetPointsPerPageFromField();
}

void ChartTab::ResetPaging() {
    Chart().setPaging({0, 1});
    ApplyPagingRule();
}

void ChartTab::FormShow() {
    PagingState paging = Chart().paging();
    paging.pointsPerPage = 0;
    measurement::ApplyPagingRule(paging, PagingOn(), SamplesPerPage());
    SetPaging(paging);
}

void ChartTab::ApplyPagingRule() {
    PagingState paging = Chart().paging();
    measurement::ApplyPagingRule(paging, PagingOn(), SamplesPerPage());
    SetPaging(paging);
}

void ChartTab::SetPointsPerPageFromField() {
    PagingState paging = Chart().paging();
    measurement::SetPointsPerPage(paging, SamplesPerPage());
    SetPaging(paging);
}

// A paging that changes nothing leaves the view (and its zoom) alone.
void ChartTab::SetPaging(const PagingState& paging) {
    if (!SamePaging(paging, Chart().paging())) Chart().setPaging(paging);
}

}  // namespace kt::ui
