#include "RegistrationTable.h"

#include <algorithm>

#include "CellFormats.h"

namespace kt::measurement {

namespace {

// What a row was made with: which parts of column 0 and which columns were filled, and
// the values of the boolean cells.
enum RowBits : uint16_t {
    kNumber = 1 << 0,
    kDate = 1 << 1,
    kTime = 1 << 2,
    kElapsed = 1 << 3,
    kChannel0 = 1 << 4,  // columns 2..4: kChannel0 << channel
    kPk1 = 1 << 7,
    kPk2 = 1 << 8,
    kShown0 = 1 << 9,  // the channel's display had shown a value: kShown0 << channel
    kOutput1On = 1 << 12,
    kOutput2On = 1 << 13,
};

constexpr const char* kTitles[kRegistrationColumns] = {
    "Index", "Czas [s]", "Czujnik 0", "Czujnik 1", "Czujnik 2", "PK1", "PK2", "", ""};

uint16_t Bit(bool on, uint16_t bit) {
    return on ? bit : 0;
}

// The bit that says a data column of a row was filled (0 for columns never filled).
uint16_t FilledBit(int column) {
    switch (column) {
        case 1:
            return kElapsed;
        case 2:
        case 3:
        case 4:
            return static_cast<uint16_t>(kChannel0 << (column - 2));
        case 5:
            return kPk1;
        case 6:
            return kPk2;
        default:
            return 0;
    }
}

// Column 0 is as wide as the date and time of the latest registration need.
int Column0Width(bool date, bool time) {
    return date && time ? 160 : (date || time ? 110 : 60);
}

}  // namespace

Rgb ColourOf(CellBackground background) {
    switch (background) {
        case CellBackground::Red:
            return {255, 0, 0};
        case CellBackground::Lime:
            return {0, 255, 0};
        case CellBackground::Aqua:
            return {0, 255, 255};
        case CellBackground::Orange:
            return {255, 128, 0};
        default:
            return {255, 255, 255};
    }
}

void RegistrationTable::AddRow(const RowSource& source) {
    const RegistrationBoxes& b = boxes_;
    column0Width_ = Column0Width(b.date, b.time);
    Row row{source.wallTime, source.elapsed, {}, 0};
    row.bits = Bit(b.sampleNumber, kNumber) | Bit(b.date, kDate) | Bit(b.time, kTime) |
               Bit(b.elapsedTime, kElapsed) | Bit(b.pk1, kPk1) | Bit(b.pk2, kPk2) |
               Bit(source.outputOn[0], kOutput1On) | Bit(source.outputOn[1], kOutput2On);
    for (int i = 0; i < 3; ++i) {
        // A channel missing from the latest answer has nothing current to register.
        const bool filled = b.channel[i] && source.sensorPresent[i];
        row.bits |= Bit(filled, static_cast<uint16_t>(kChannel0 << i));
        row.bits |= Bit(source.display[i].shown, static_cast<uint16_t>(kShown0 << i));
        row.value[i] = source.display[i].value;
    }
    rows_.push_back(row);
    if (listener_) listener_->OnRowAdded(row);
}

void RegistrationTable::AppendRegistered(const RegisteredRow& row) {
    column0Width_ = Column0Width(row.bits & kDate, row.bits & kTime);
    rows_.push_back(row);
}

void RegistrationTable::Clear() {
    std::deque<Row>().swap(rows_);  // gives the memory back, not only the rows
    if (listener_) listener_->OnTableCleared();
}

const RegistrationTable::Row* RegistrationTable::DataRow(int row) const {
    if (row < 1 || row > rowsRegistered()) return nullptr;
    return &rows_[static_cast<size_t>(row - 1)];
}

void RegistrationTable::AppendDataCell(std::string& out, int row, int column) const {
    const Row* r = DataRow(row);
    if (!r || !(r->bits & FilledBit(column))) return;
    if (column == 1) {
        AppendFixedComma(out, r->elapsed, 3);
    } else if (column <= 4) {
        if (r->bits & (kShown0 << (column - 2))) {
            AppendFixedComma(out, r->value[column - 2], 4);
        } else {
            out += kNoValueText;
        }
    } else {
        out += (r->bits & (column == 5 ? kOutput1On : kOutput2On)) ? '1' : '0';
    }
}

RegistrationTable::CellValue RegistrationTable::DataValue(int row, int column, double& value,
                                                          int& decimals) const {
    const Row* r = DataRow(row);
    if (!r || !(r->bits & FilledBit(column))) return CellValue::Empty;
    decimals = 0;
    if (column == 1) {
        value = r->elapsed;
        decimals = 3;
    } else if (column <= 4) {
        if (!(r->bits & (kShown0 << (column - 2)))) return CellValue::NoValue;
        value = r->value[column - 2];
        decimals = 4;
    } else {
        value = (r->bits & (column == 5 ? kOutput1On : kOutput2On)) ? 1 : 0;
    }
    return CellValue::Number;
}

bool RegistrationTable::HasSampleNumber(int row) const {
    const Row* r = DataRow(row);
    return r != nullptr && (r->bits & kNumber);
}

void RegistrationTable::AppendSampleNumber(std::string& out, int row) const {
    const Row* r = DataRow(row);
    if (!r || !(r->bits & kNumber)) return;
    AppendDecimal(out, row - 1);  // numbering restarts at 0 after clearing
    out += ' ';
}

StampKind RegistrationTable::Stamp(int row, int64_t& wallTime) const {
    const Row* r = DataRow(row);
    if (!r) return StampKind::None;
    wallTime = r->wallTime;
    const bool date = r->bits & kDate;
    const bool time = r->bits & kTime;
    if (date && time) return StampKind::DateAndTime;
    if (date) return StampKind::Date;
    return time ? StampKind::Time : StampKind::None;
}

std::string RegistrationTable::StampText(StampKind kind, int64_t wallTime) const {
    if (kind == StampKind::None) return {};
    std::string text = "(";
    if (kind != StampKind::Time) text += dateTime_.ShortDate(wallTime);
    if (kind == StampKind::DateAndTime) text += ' ';
    if (kind != StampKind::Date) text += dateTime_.LongTime(wallTime);
    text += ')';
    return text;
}

std::string RegistrationTable::CellText(int row, int column) const {
    if (column < 0 || column >= kRegistrationColumns) return {};
    if (row == 0) return kTitles[column];
    std::string text;
    if (column == 0) {
        AppendSampleNumber(text, row);
        int64_t wallTime = 0;
        const StampKind kind = Stamp(row, wallTime);
        text += StampText(kind, wallTime);
    } else {
        AppendDataCell(text, row, column);
    }
    return text;
}

bool RegistrationTable::ColumnHoldsValues(int column, int rowCount) const {
    const int last = std::min(rowCount - 1, rowsRegistered());
    const uint16_t bit = FilledBit(column);
    for (int row = 1; row <= last && bit != 0; ++row) {
        if (rows_[static_cast<size_t>(row - 1)].bits & bit) return true;
    }
    return false;
}

int RegistrationTable::ColumnWidth(int column) const {
    return column == 0 ? column0Width_ : kRegistrationDefaultColumnWidth;
}

CellBackground RegistrationTable::Background(int row, int column) const {
    if (row == 0 || column == 0) return CellBackground::ButtonFace;
    if (!boxes_.colour) return CellBackground::Window;
    switch (column) {
        case 2:
            return CellBackground::Red;
        case 3:
            return CellBackground::Lime;
        case 4:
            return CellBackground::Aqua;
        case 5:
            return CellBackground::White;
        case 6:
            return CellBackground::Orange;
        default:
            return CellBackground::Window;
    }
}

std::optional<int> RegistrationTable::TopRowToShow() const {
    const int rows = RowCount();
    if (rows > 28) return rows - 27;
    return std::nullopt;
}

}  // namespace kt::measurement
