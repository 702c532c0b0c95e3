#include "RegistrationTab.h"

#include <QApplication>
#include <QScrollBar>

#include "DeviceState.h"
#include "Dialogs.h"
#include "IndicatorModel.h"
#include "MeasurementFileSave.h"
#include "RegistrationCells.h"
#include "RegistrationSource.h"
#include "RegistrationTableModel.h"
#include "RunJournal.h"
#include "SamplingClock.h"
#include "ui_RegistrationTab.h"

namespace kt::ui {

namespace {

using measurement::MeasurementFileFormat;

// The wait cursor for as long as a save runs.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The dialog's filters follow the order of MeasurementFileFormat.
MeasurementFileFormat FormatOfFilter(int filterIndex) {
    const bool known =
        filterIndex >= 0 && filterIndex <= static_cast<int>(MeasurementFileFormat::Csv);
    return known ? static_cast<MeasurementFileFormat>(filterIndex) : MeasurementFileFormat::Text;
}

int FilterOfFormat(MeasurementFileFormat format) {
    return static_cast<int>(format);
}

}  // namespace

RegistrationTab::RegistrationTab(QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::RegistrationTab>()),
      model_(new RegistrationTableModel(this)),
      delegate_(new RegistrationCellDelegate(this)) {
    ui_->setupUi(this);
    QTableView* grid = ui_->StringGrid1;
    grid->setHorizontalHeader(new RegistrationHeader(grid));
    grid->setModel(model_);
    grid->setItemDelegate(delegate_);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(1);
    grid->verticalHeader()->setDefaultSectionSize(measurement::kRegistrationDefaultRowHeight);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* titles = grid->horizontalHeader();
    titles->setMinimumSectionSize(1);
    titles->setDefaultSectionSize(measurement::kRegistrationDefaultColumnWidth);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setFixedHeight(measurement::kRegistrationDefaultRowHeight);
    grid->setShowGrid(true);
    grid->setWordWrap(false);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    catchUp_.setSingleShot(true);
    catchUp_.setInterval(kCatchUpMs);
    connect(&catchUp_, &QTimer::timeout, this, &RegistrationTab::ShowPendingRows);

    connect(ui_->BitBtn5, &QPushButton::clicked, this, &RegistrationTab::BitBtn5Click);
    connect(ui_->BitBtn6, &QPushButton::clicked, this, &RegistrationTab::BitBtn6Click);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &RegistrationTab::BitBtn1Click);
    connect(ui_->BitBtn4, &QPushButton::clicked, this, &RegistrationTab::BitBtn4Click);
    connect(ui_->CheckBox16, &QCheckBox::toggled, this, &RegistrationTab::CheckBox16Click);
    connect(ui_->CheckBox12, &QCheckBox::toggled, this, &RegistrationTab::CheckBox12Click);
    for (QCheckBox* box : {ui_->CheckBox16, ui_->CheckBox4, ui_->CheckBox5, ui_->CheckBox6,
                           ui_->CheckBox10, ui_->CheckBox20, ui_->CheckBox7, ui_->CheckBox8,
                           ui_->CheckBox9, ui_->CheckBox11, ui_->CheckBox12}) {
        connect(box, &QCheckBox::toggled, this, &RegistrationTab::TakeBoxes);
    }
}

RegistrationTab::~RegistrationTab() = default;

void RegistrationTab::Attach(measurement::RegistrationTable& table,
                             measurement::IndicatorModel& indicator,
                             measurement::SamplingClock& sampling, device::Dialogs& dialogs,
                             const device::DeviceState& device,
                             const measurement::DateTimeTexts& dateTime) {
    const measurement::RegistrationBoxes boxes = table.boxes();
    table_ = &table;
    indicator_ = &indicator;
    sampling_ = &sampling;
    dialogs_ = &dialogs;
    device_ = &device;
    dateTime_ = &dateTime;
    model_->SetTable(table);
    delegate_->SetTable(&table);
    SetBoxes(boxes);
    TakeBoxes();
    ui_->StringGrid1->setColumnWidth(0, table.ColumnWidth(0));
}

QTableView* RegistrationTab::Grid() const {
    return ui_->StringGrid1;
}

measurement::RegistrationBoxes RegistrationTab::Boxes() const {
    measurement::RegistrationBoxes b;
    b.autoRead = ui_->CheckBox16->isChecked();
    b.channel[0] = ui_->CheckBox4->isChecked();
    b.channel[1] = ui_->CheckBox5->isChecked();
    b.channel[2] = ui_->CheckBox6->isChecked();
    b.pk1 = ui_->CheckBox10->isChecked();
    b.pk2 = ui_->CheckBox20->isChecked();
    b.date = ui_->CheckBox7->isChecked();
    b.time = ui_->CheckBox8->isChecked();
    b.elapsedTime = ui_->CheckBox9->isChecked();
    b.sampleNumber = ui_->CheckBox11->isChecked();
    b.colour = ui_->CheckBox12->isChecked();
    return b;
}

void RegistrationTab::SetBoxes(const measurement::RegistrationBoxes& b) {
    ui_->CheckBox16->setChecked(b.autoRead);
    ui_->CheckBox4->setChecked(b.channel[0]);
    ui_->CheckBox5->setChecked(b.channel[1]);
    ui_->CheckBox6->setChecked(b.channel[2]);
    ui_->CheckBox10->setChecked(b.pk1);
    ui_->CheckBox20->setChecked(b.pk2);
    ui_->CheckBox7->setChecked(b.date);
    ui_->CheckBox8->setChecked(b.time);
    ui_->CheckBox9->setChecked(b.elapsedTime);
    ui_->CheckBox11->setChecked(b.sampleNumber);
    ui_->CheckBox12->setChecked(b.colour);
}

// Any box: the table registers by the boxes as they are now.
void RegistrationTab::TakeBoxes() {
    if (table_ != nullptr) table_->boxes() = Boxes();
}

void RegistrationTab::CheckBox16Click(bool checked) {
    ui_->BitBtn5->setEnabled(!checked);
}

void RegistrationTab::CheckBox12Click(bool) {
    TakeBoxes();
    ui_->StringGrid1->viewport()->update();
}

void RegistrationTab::OnSample(const measurement::Sample& sample) {
    if (table_ == nullptr || !ui_->CheckBox16->isChecked()) return;
    Register(measurement::RowSourceOf(*indicator_, sample, wallClock_()));
}

void RegistrationTab::BitBtn5Click() {
    if (table_ == nullptr) return;
    Register(measurement::RowSourceOf(*indicator_, device_->sensorPresent, sampling_->RunElapsed(),
                                      wallClock_()));
    ShowPendingRows();
}

// The row goes into the table at once; the grid hears of it on the next catch-up.
void RegistrationTab::Register(const measurement::RowSource& source) {
    table_->AddRow(source);
    if (!catchUp_.isActive()) catchUp_.start();
}

void RegistrationTab::ShowPendingRows() {
    catchUp_.stop();
    if (table_ == nullptr) return;
    if (!model_->CatchUp()) return;
    QTableView* grid = ui_->StringGrid1;
    grid->setColumnWidth(0, table_->ColumnWidth(0));
    // Past 28 grid rows the newest stay in view: with the grid's 27 visible rows this puts
    // grid row (row count - 27) on top; a shorter grid still shows the newest row.
    if (table_->TopRowToShow()) grid->scrollToBottom();
}

void RegistrationTab::BitBtn6Click() {
    if (table_ == nullptr || !dialogs_->AskYesNo(measurement::kClearTableQuestion)) return;
    catchUp_.stop();
    recovered_.reset();
    model_->ClearTable();
}

void RegistrationTab::ShowRecoveredRun(const measurement::RunSettings& settings) {
    if (table_ == nullptr) return;
    recovered_ = std::make_unique<measurement::RunSettings>(settings);
    recoveredRows_ = table_->rowsRegistered();
    SetBoxes(settings.boxes);
    ShowPendingRows();
}

void RegistrationTab::BitBtn1Click() {
    if (table_ == nullptr) return;
    device::SaveFileRequest request;
    request.filter = kMeasurementFileFilter;
    request.filterIndex = fileFilter_;
    request.fileName = fileName_;
    const std::optional<device::SaveFileChoice> choice = dialogs_->AskSaveFileName(request);
    if (!choice) return;
    const measurement::MeasurementFileChoice chosen =
        measurement::ChooseMeasurementFile(choice->fileName, FormatOfFilter(choice->filterIndex));
    // A usable name (with the filter's extension where it had none) is the one "Zapisz"
    // writes again; a refused one is reported by the save and not kept.
    if (chosen.status == measurement::MeasurementFileChoice::Status::Ready) {
        fileName_ = chosen.path;
        fileFilter_ = FilterOfFormat(chosen.format);
    }
    ui_->BitBtn4->setEnabled(true);
    SaveTo(choice->fileName, choice->filterIndex);
}

void RegistrationTab::BitBtn4Click() {
    if (table_ == nullptr) return;
    // Nothing chosen yet: ask for a name rather than do nothing.
    if (fileName_.empty()) {
        BitBtn1Click();
        return;
    }
    SaveTo(fileName_, fileFilter_);
}

void RegistrationTab::SaveTo(const std::string& name, int filterIndex) {
    measurement::MeasurementSaveResult result;
    {
        const BusyCursor busy;
        result = measurement::SaveMeasurementFile(name, FormatOfFilter(filterIndex), *table_,
                                                  FileInput());
    }
    if (result.status == measurement::MeasurementSaveResult::Status::Failed) {
        dialogs_->ShowPlainMessage(measurement::SaveFailureMessage(result));
    }
}

measurement::MeasurementFileInput RegistrationTab::FileInput() const {
    measurement::MeasurementFileInput in;
    if (recovered_ && table_->rowsRegistered() == recoveredRows_) {
        in = measurement::FileInputOf(*recovered_, sampling_->RunElapsed(), table_->RowCount());
    } else {
        in.rowCount = table_->RowCount();
        in.typeName = device_->typeName;
        in.duration = sampling_->RunElapsed();
        in.realTime = sampling_->RealTime();
        in.periodMs = sampling_->PeriodMs();
        for (int i = 0; i < measurement::kChannelCount; ++i) {
            in.sensorPresent[i] = device_->sensorPresent[i];
            in.channelActive[i] = indicator_->Active(i);
        }
    }
    const int64_t now = wallClock_();
    in.dateText = dateTime_->ShortDate(now);
    in.timeText = dateTime_->LongTime(now);
    return in;
}

}  // namespace kt::ui
