#include "JournalFormat.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace kt::measurement {

namespace {

constexpr size_t kCrcOffset = kJournalRecordSize - 4;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

template <class T>
void Put(uint8_t* out, T value) {
    using U = std::conditional_t<sizeof(T) == 8, uint64_t,
                                 std::conditional_t<sizeof(T) == 4, uint32_t, uint16_t>>;
    const U bits = std::bit_cast<U>(value);
    for (size_t i = 0; i < sizeof(U); ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

template <class T>
T Get(const uint8_t* in) {
    using U = std::conditional_t<sizeof(T) == 8, uint64_t,
                                 std::conditional_t<sizeof(T) == 4, uint32_t, uint16_t>>;
    U bits = 0;
    for (size_t i = 0; i < sizeof(U); ++i) bits |= static_cast<U>(in[i]) << (8 * i);
    return std::bit_cast<T>(bits);
}

// The registration boxes, one bit each in the order of the struct.
uint16_t BoxBits(const RegistrationBoxes& b) {
    const bool boxes[] = {b.autoRead, b.channel[0], b.channel[1],  b.channel[2],   b.pk1,   b.pk2,
                          b.date,     b.time,       b.elapsedTime, b.sampleNumber, b.colour};
    uint16_t bits = 0;
    for (size_t i = 0; i < std::size(boxes); ++i) bits |= static_cast<uint16_t>(boxes[i] << i);
    return bits;
}

RegistrationBoxes BoxesOf(uint16_t bits) {
    RegistrationBoxes b;
    bool* boxes[] = {&b.autoRead, &b.channel[0], &b.channel[1],  &b.channel[2],   &b.pk1,   &b.pk2,
                     &b.date,     &b.time,       &b.elapsedTime, &b.sampleNumber, &b.colour};
    for (size_t i = 0; i < std::size(boxes); ++i) *boxes[i] = (bits >> i) & 1;
    return b;
}

void PutSettings(uint8_t* out, const RunSettings& s) {
    std::memcpy(out, s.typeName, sizeof s.typeName);
    Put(out + 16, s.periodMs);
    Put(out + 20, BoxBits(s.boxes));
    uint8_t channels = 0;
    for (int i = 0; i < 3; ++i) {
        channels |= static_cast<uint8_t>(s.sensorPresent[i] << i | s.channelActive[i] << (3 + i));
    }
    out[22] = channels;
    out[23] = s.realTime ? 1 : 0;
}

RunSettings GetSettings(const uint8_t* in) {
    RunSettings s;
    std::memcpy(s.typeName, in, sizeof s.typeName);
    s.periodMs = Get<uint32_t>(in + 16);
    s.boxes = BoxesOf(Get<uint16_t>(in + 20));
    for (int i = 0; i < 3; ++i) {
        s.sensorPresent[i] = (in[22] >> i) & 1;
        s.channelActive[i] = (in[22] >> (3 + i)) & 1;
    }
    s.realTime = in[23] & 1;
    return s;
}

}  // namespace

void RunSettings::SetTypeName(std::string_view name) {
    std::fill(std::begin(typeName), std::end(typeName), '\0');
    std::memcpy(typeName, name.data(), std::min(name.size(), sizeof typeName));
}

std::string RunSettings::TypeName() const {
    return std::string(typeName, strnlen(typeName, sizeof typeName));
}

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t seed) {
    uint32_t c = ~seed;
    for (size_t i = 0; i < size; ++i) c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return ~c;
}

uint32_t EncodeHeader(const JournalHeader& header, uint8_t* out) {
    std::memset(out, 0, kJournalHeaderSize);
    std::memcpy(out, kJournalMagic, sizeof kJournalMagic);
    Put(out + 8, kJournalVersion);
    Put(out + 10, static_cast<uint16_t>(kJournalHeaderSize));
    Put(out + 12, static_cast<uint16_t>(kJournalRecordSize));
    Put(out + 16, header.runStart);
    PutSettings(out + 24, header.settings);
    const uint32_t crc = Crc32(out, kJournalHeaderSize - 4);
    Put(out + kJournalHeaderSize - 4, crc);
    return crc;
}

void EncodeRecord(const JournalRecord& r, uint32_t seed, uint8_t* out) {
    std::memset(out, 0, kJournalRecordSize);
    out[0] = static_cast<uint8_t>(r.kind);
    if (r.kind == RecordKind::Sample) {
        out[1] = r.parts;
        Put(out + 2, r.rowBits);
        Put(out + 4, r.elapsed);
        Put(out + 12, r.wallTime);
        for (int i = 0; i < 3; ++i) Put(out + 20 + 4 * i, r.value[i]);
        Put(out + 32, r.level[0]);
        Put(out + 36, r.level[1]);
    } else if (r.kind == RecordKind::Settings) {
        PutSettings(out + 4, r.settings);
    }
    Put(out + kCrcOffset, Crc32(out, kCrcOffset, seed));
}

HeaderCheck DecodeHeader(const uint8_t* in, JournalHeader& header, uint32_t& seed) {
    if (std::memcmp(in, kJournalMagic, sizeof kJournalMagic) != 0) return HeaderCheck::Foreign;
    if (Get<uint16_t>(in + 8) > kJournalVersion) return HeaderCheck::Newer;
    seed = Crc32(in, kJournalHeaderSize - 4);
    if (Get<uint16_t>(in + 8) != kJournalVersion || Get<uint16_t>(in + 10) != kJournalHeaderSize ||
        Get<uint16_t>(in + 12) != kJournalRecordSize ||
        Get<uint32_t>(in + kJournalHeaderSize - 4) != seed) {
        return HeaderCheck::Damaged;
    }
    header.runStart = Get<int64_t>(in + 16);
    header.settings = GetSettings(in + 24);
    return HeaderCheck::Good;
}

bool DecodeRecord(const uint8_t* in, uint32_t seed, JournalRecord& r) {
    if (Get<uint32_t>(in + kCrcOffset) != Crc32(in, kCrcOffset, seed)) return false;
    r = JournalRecord{};
    r.kind = static_cast<RecordKind>(in[0]);
    switch (r.kind) {
        case RecordKind::Sample:
            r.parts = in[1];
            r.rowBits = Get<uint16_t>(in + 2);
            r.elapsed = Get<double>(in + 4);
            r.wallTime = Get<int64_t>(in + 12);
            for (int i = 0; i < 3; ++i) r.value[i] = Get<float>(in + 20 + 4 * i);
            r.level[0] = Get<float>(in + 32);
            r.level[1] = Get<float>(in + 36);
            return true;
        case RecordKind::ChartCleared:
            return true;
        case RecordKind::Settings:
            r.settings = GetSettings(in + 4);
            return true;
        default:
            return false;
    }
}

}  // namespace kt::measurement
