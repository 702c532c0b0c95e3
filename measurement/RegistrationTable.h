// The registration table: one row per registration of what the indicator view shows,
// stamped with the elapsed measuring time, a sample number and the wall-clock time.
// Rows are compact (what they were made from, 32 bytes) rather than nine strings, since
// a 10 ms period registers 360,000 rows an hour; cell texts are made when a cell is
// drawn or saved. The sample number is not stored: it is the row's place since start-up
// or the last clearing (row 1 is sample 0). Grid coordinates are (row, column); row 0 holds the
// titles and column 0 the information text, as in the window's grid.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "ChannelDisplay.h"
#include "DateTimeTexts.h"
#include "Rgb.h"

namespace kt::measurement {

inline constexpr int kRegistrationColumns = 9;
inline constexpr int kRegistrationDefaultColumnWidth = 82;
inline constexpr int kRegistrationDefaultRowHeight = 20;
inline constexpr const char* kClearTableQuestion =
    "Czyszczenie tabeli rejestracji pomiarów...\nCzy jesteś pewien?";

// The check boxes beside the grid, with their initial states.
struct RegistrationBoxes {
    bool autoRead = true;                  // CheckBox16 "autoodczyt"
    bool channel[3] = {true, true, true};  // CheckBox4..6 "Czujnik 0".."Czujnik 2"
    bool pk1 = false;                      // CheckBox10 "PK1"
    bool pk2 = false;                      // CheckBox20 "PK2"
    bool date = false;                     // CheckBox7 "data"
    bool time = false;                     // CheckBox8 "godzina"
    bool elapsedTime = true;               // CheckBox9 "czas pomiaru"
    bool sampleNumber = true;              // CheckBox11 "numer próbki"
    bool colour = true;                    // CheckBox12 "kolor"

    bool operator==(const RegistrationBoxes&) const = default;
};

// What a registration is taken from at the moment it is made.
struct RowSource {
    double elapsed = 0;          // elapsed measuring time, seconds
    int64_t wallTime = 0;        // WallClockSeconds()
    bool sensorPresent[3] = {};  // the channel is in the latest measurement answer
    ChannelDisplay display[3];   // what each channel's large display shows
    bool outputOn[2] = {};       // PK1, PK2
};

// A registered row as the table keeps it: what its cells are made from. `bits` says which
// parts of column 0 and which columns were filled, and the states of the outputs.
struct RegisteredRow {
    int64_t wallTime = 0;
    double elapsed = 0;
    float value[3] = {};
    uint16_t bits = 0;
};

// Hears of every registration and every clearing (the run journal).
class RowListener {
public:
    virtual ~RowListener() = default;
    virtual void OnRowAdded(const RegisteredRow& row) = 0;
    virtual void OnTableCleared() = 0;
};

// How the date and time appear in column 0 of a row.
enum class StampKind : uint8_t { None, Date, Time, DateAndTime };

enum class CellBackground { ButtonFace, Window, Red, Lime, Aqua, White, Orange };
// The colour of the coloured backgrounds; ButtonFace and Window are the system's.
Rgb ColourOf(CellBackground background);

class RegistrationTable {
public:
    explicit RegistrationTable(const DateTimeTexts& dateTime) : dateTime_(dateTime) {}

    RegistrationBoxes& boxes() { return boxes_; }
    const RegistrationBoxes& boxes() const { return boxes_; }

    // Registers one row from `source` under the boxes as they are now.
    void AddRow(const RowSource& source);
    // Removes every registration; titles and column widths stay.
    void Clear();
    // Puts back a row registered earlier (a recovered run), as AddRow left it; the
    // listener is not told.
    void AppendRegistered(const RegisteredRow& row);
    void SetListener(RowListener* listener) { listener_ = listener; }

    int rowsRegistered() const { return static_cast<int>(rows_.size()); }
    // Grid rows: titles plus registrations, and always at least one (empty) data row.
    int RowCount() const { return rowsRegistered() < 1 ? 2 : rowsRegistered() + 1; }
    int ColumnCount() const { return kRegistrationColumns; }

    std::string CellText(int row, int column) const;
    // Appends the text of a cell of columns 1..8 (ASCII only) of a data row.
    void AppendDataCell(std::string& out, int row, int column) const;
    // Column 0 is the sample number part ("n " or nothing) and the stamp part.
    void AppendSampleNumber(std::string& out, int row) const;
    StampKind Stamp(int row, int64_t& wallTime) const;
    // Whether column 0 of a data row starts with its sample number (row - 1).
    bool HasSampleNumber(int row) const;
    // The value behind a cell of columns 1..6 of a data row, for files that keep numbers
    // as numbers: Empty (not registered), Number (`value`; decimals as the table shows
    // them in `decimals`) or NoValue (a channel whose display never showed a value).
    enum class CellValue { Empty, Number, NoValue };
    CellValue DataValue(int row, int column, double& value, int& decimals) const;
    std::string StampText(StampKind kind, int64_t wallTime) const;

    // Whether any of data rows 1 .. rowCount - 1 has a value in `column`.
    bool ColumnHoldsValues(int column, int rowCount) const;

    // Width in pixels: column 0 follows the date and time boxes of the latest registration.
    int ColumnWidth(int column) const;
    CellBackground Background(int row, int column) const;
    // After a registration: the top row to scroll to so the newest rows stay in view.
    std::optional<int> TopRowToShow() const;
    // "Odczytaj pozycje" is usable exactly while "autoodczyt" is unticked.
    bool ReadButtonEnabled() const { return !boxes_.autoRead; }

private:
    using Row = RegisteredRow;
    static_assert(sizeof(Row) <= 32, "a registered row stays compact");

    const Row* DataRow(int row) const;

    const DateTimeTexts& dateTime_;
    RegistrationBoxes boxes_;
    std::deque<Row> rows_;  // appends never move earlier rows
    int column0Width_ = kRegistrationDefaultColumnWidth;
    RowListener* listener_ = nullptr;
};

}  // namespace kt::measurement
