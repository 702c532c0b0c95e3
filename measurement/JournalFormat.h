// The run journal's file layout: a 64-byte header, then fixed-size 44-byte records, all
// numbers little-endian. A record is one measurement as the window took it (its
// registered row and the chart points it added), a clearing of the chart, or a change of
// the settings a measurement file describes. Every record ends in a CRC-32 seeded with
// the header's own CRC, so a record is only ever read as part of the journal it was
// written into.
//
// Header:  0 magic "KT210VJR" | 8 version u16 | 10 header size u16 | 12 record size u16 |
//          14 zero | 16 run start, Unix seconds i64 | 24 settings (24 bytes) | 48 zero |
//          60 CRC-32 of bytes 0..59
// Sample:  0 kind 1 | 1 parts u8 | 2 row bits u16 | 4 elapsed f64 | 12 wall time i64 |
//          20 three values f32 | 32 PK1 level f32 | 36 PK2 level f32 | 40 CRC-32
// Chart cleared: 0 kind 2, the rest zero up to the CRC.
// Settings: 0 kind 3 | 1 zero | 4 settings (24 bytes) | 28 zero | 40 CRC-32
// Settings (24 bytes): 0 device type, UTF-8, NUL-padded (16) | 16 period ms u32 |
//          20 registration boxes u16 | 22 channels u8 (bits 0-2 sensor present, 3-5
//          "Aktywny") | 23 flags u8 (bit 0 real time)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "RegistrationTable.h"

namespace kt::measurement {

inline constexpr const char* kJournalFileName = "kt210v-pc.journal";
inline constexpr char kJournalMagic[8] = {'K', 'T', '2', '1', '0', 'V', 'J', 'R'};
inline constexpr uint16_t kJournalVersion = 1;
inline constexpr size_t kJournalHeaderSize = 64;
inline constexpr size_t kJournalRecordSize = 44;
static_assert(kJournalRecordSize <= 48, "a journaled row stays small");

// What a measurement file says besides its rows, and the boxes that shape the table.
struct RunSettings {
    char typeName[16] = {};  // UTF-8, NUL-padded; a longer name is cut
    uint32_t periodMs = 10;
    bool realTime = false;
    bool sensorPresent[3] = {};
    bool channelActive[3] = {};
    RegistrationBoxes boxes;

    bool operator==(const RunSettings&) const = default;
    void SetTypeName(std::string_view name);
    std::string TypeName() const;
};

struct JournalHeader {
    int64_t runStart = 0;  // Unix seconds: when the journal's first record was taken
    RunSettings settings;
};

enum class RecordKind : uint8_t {
    Sample = 1,
    ChartCleared = 2,
    Settings = 3,
    // Only between the window and the journal's writer, never in the file:
    Begin = 0x40,    // write the header (runStart in wallTime, settings)
    Restart = 0x41,  // give up everything written: the journal is empty again
};

// The parts of a Sample record.
enum RecordParts : uint8_t {
    kChannelPoint0 = 1 << 0,  // a chart point of channel i: kChannelPoint0 << i
    kOutputPoints = 1 << 3,   // the PK1 and PK2 chart points
    kRegisteredRow = 1 << 4,  // a row of the registration table
};

// A record as read or to be written. The chart points and the row of a sample share its
// elapsed time; a channel with a chart point has that point's value in `value`.
struct JournalRecord {
    RecordKind kind = RecordKind::Sample;
    uint8_t parts = 0;
    uint16_t rowBits = 0;
    double elapsed = 0;
    int64_t wallTime = 0;
    float value[3] = {};
    float level[2] = {};  // heights of the PK1 and PK2 points
    RunSettings settings;

    RegisteredRow Row() const {
        return {wallTime, elapsed, {value[0], value[1], value[2]}, rowBits};
    }
};

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t seed = 0);

// Fills `out` (kJournalHeaderSize bytes); returns the header's CRC, the records' seed.
uint32_t EncodeHeader(const JournalHeader& header, uint8_t* out);
// Fills `out` (kJournalRecordSize bytes) with a Sample, ChartCleared or Settings record.
void EncodeRecord(const JournalRecord& record, uint32_t seed, uint8_t* out);

enum class HeaderCheck { Good, Foreign, Newer, Damaged };
HeaderCheck DecodeHeader(const uint8_t* in, JournalHeader& header, uint32_t& seed);
// False when the CRC does not match or the kind is unknown.
bool DecodeRecord(const uint8_t* in, uint32_t seed, JournalRecord& record);

}  // namespace kt::measurement
