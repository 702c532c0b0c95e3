#include "AnswerShaper.h"

#include <algorithm>

#include "Frames.h"

namespace kt::sim {

namespace dev = kt::device;

int64_t LineCrossingNs(size_t bytes) {
    constexpr int64_t kBitsPerByte = 10;
    constexpr int64_t kBitsPerSecond = 57600;
    const auto bits = static_cast<int64_t>(bytes) * kBitsPerByte;
    return (bits * 1000000000 + kBitsPerSecond - 1) / kBitsPerSecond;
}

int64_t ReleaseTime(const Burst& burst, int64_t previousWrittenNs) {
    const int64_t start = std::max(
        burst.dueNs, previousWrittenNs + std::max<int64_t>(0, burst.minGapAfterPreviousNs));
    return start + burst.crossingNs;
}

namespace {

// The byte of an answer whose change shows most: the top byte of a four-byte value (an
// integer, a float's sign and exponent, or the status answer's active sensor), else the
// first value byte.
size_t SignificantValueByte(uint8_t code) {
    const bool fourBytes = code == dev::cmd::OnTime || code == dev::cmd::PK1 ||
                           code == dev::cmd::PK2 || code == dev::cmd::Status ||
                           (code >= dev::cmd::UZP0 && code <= dev::cmd::SetZero0 + 2);
    return fourBytes ? 6 : 3;
}

}  // namespace

bool AnswerShaper::Chance(double rate) {
    if (rate <= 0.0) return false;  // no draw: a zero rate leaves the sequence untouched
    if (rate >= 1.0) return true;
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < rate;
}

bool AnswerShaper::Silenced(uint8_t code) const {
    if (faults_.silent) return true;
    const auto& codes = faults_.silentCodes;
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Applies the faults that change the answer's bytes: foreign type code, bad checksum.
void AnswerShaper::Corrupt(std::vector<uint8_t>& answer) {
    const bool answerFrame = answer.size() == dev::kFrameSize && answer[0] == dev::kHeaderAnswer;
    if (!answerFrame) return;  // measurement frames carry no checksum to spoil
    if (answer[2] == dev::cmd::DeviceType && !faults_.typeCode.empty()) {
        for (size_t i = 0; i < 3; ++i) {
            answer[3 + i] =
                i < faults_.typeCode.size() ? static_cast<uint8_t>(faults_.typeCode[i]) : 0;
        }
        answer[7] = dev::FrameChecksum(answer.data());
    }
    if (Chance(faults_.badCrcRate)) {
        // One byte changed makes the checksum disagree with the code and values.
        const size_t spoiled = faults_.badCrcInValue ? SignificantValueByte(answer[2]) : 7;
        answer[spoiled] = static_cast<uint8_t>(answer[spoiled] ^ 0x5A);
    }
}

std::vector<uint8_t> AnswerShaper::Garbage() {
    std::vector<uint8_t> garbage(static_cast<size_t>(faults_.garbageBytes));
    if (!faults_.headerFreeGarbage) {
        std::uniform_int_distribution<int> byte(0, 255);
        for (auto& b : garbage) b = static_cast<uint8_t>(byte(rng_));
        return garbage;
    }
    // 252 values: 00..F0 and F5..FF.
    std::uniform_int_distribution<int> byte(0, 255 - 4);
    for (auto& b : garbage) {
        const int v = byte(rng_);
        b = static_cast<uint8_t>(v < dev::kHeaderRead ? v : v + 4);
    }
    return garbage;
}

// Each byte is lost with the fault's chance; true when any was.
bool AnswerShaper::LoseBytes(std::vector<uint8_t>& answer) {
    if (faults_.loseByteRate <= 0.0) return false;
    const size_t before = answer.size();
    std::erase_if(answer, [this](uint8_t) { return Chance(faults_.loseByteRate); });
    if (answer.size() == before) return false;
    ++torn_;
    return true;
}

void AnswerShaper::RecordMeasurements(bool on) {
    recording_ = on;
    if (on) sent_.clear();
}

// On the wire a request reaches the indicator only once its 8 bytes have crossed, and
// it cannot start crossing before the request ahead of it is through.
int64_t AnswerShaper::RequestCrossed(int64_t arrivedNs) {
    if (!faults_.wire) return arrivedNs;
    requestLineFreeNs_ = std::max(arrivedNs, requestLineFreeNs_) + LineCrossingNs(dev::kFrameSize);
    return requestLineFreeNs_;
}

Burst AnswerShaper::MakeBurst(int64_t dueNs, std::vector<uint8_t> bytes, int64_t gapNs) const {
    const int64_t crossing = faults_.wire ? LineCrossingNs(bytes.size()) : 0;
    return Burst{dueNs, std::move(bytes), gapNs, crossing};
}

std::vector<Burst> AnswerShaper::Schedule(std::vector<uint8_t> bytes, int64_t nowNs) const {
    const int64_t due = nowNs + std::max(0, faults_.delayMs) * kNsPerMs;
    if (!faults_.split || bytes.size() < 2) return {MakeBurst(due, std::move(bytes), 0)};
    const auto half = static_cast<std::ptrdiff_t>(bytes.size() / 2);
    const int64_t gap = std::max(0, faults_.splitGapMs) * kNsPerMs;
    std::vector<Burst> out;
    out.push_back(MakeBurst(due, {bytes.begin(), bytes.begin() + half}, 0));
    out.push_back(MakeBurst(due + gap, {bytes.begin() + half, bytes.end()}, gap));
    return out;
}

std::vector<Burst> AnswerShaper::Shape(uint8_t requestCode, std::vector<uint8_t> answer,
                                       int64_t nowNs) {
    // Every request occupies the line, answered or not.
    const int64_t crossed = RequestCrossed(nowNs);
    if (answer.empty() || Silenced(requestCode)) return {};
    if (Chance(faults_.dropRate)) return {};
    Corrupt(answer);
    const bool torn = LoseBytes(answer);
    if (answer.empty()) return {};
    if (recording_ && !torn && answer.size() >= 2 && answer[0] == dev::kHeaderMeasurement &&
        answer[1] == dev::kHeaderMeasurement) {
        sent_.push_back(answer);
    }
    if (faults_.garbageBytes > 0) {
        const std::vector<uint8_t> garbage = Garbage();
        answer.insert(answer.begin(), garbage.begin(), garbage.end());
    }
    if (faults_.merge) {
        if (held_.empty()) {
            held_ = std::move(answer);
            heldSinceNs_ = crossed;
            return {};
        }
        answer.insert(answer.begin(), held_.begin(), held_.end());
        held_.clear();
    } else if (!held_.empty()) {
        // Merging was switched off while an answer waited: it goes first, on its own.
        std::vector<Burst> out = Schedule(std::move(held_), crossed);
        held_.clear();
        for (auto& b : Schedule(std::move(answer), crossed)) out.push_back(std::move(b));
        return out;
    }
    return Schedule(std::move(answer), crossed);
}

std::optional<int64_t> AnswerShaper::HoldDeadline() const {
    if (held_.empty()) return std::nullopt;
    return heldSinceNs_ + std::max(0, faults_.mergeHoldMs) * kNsPerMs;
}

std::vector<Burst> AnswerShaper::ReleaseExpired(int64_t nowNs) {
    const auto deadline = HoldDeadline();
    if (!deadline || nowNs < *deadline) return {};
    std::vector<Burst> out = Schedule(std::move(held_), nowNs);
    held_.clear();
    return out;
}

}  // namespace kt::sim
