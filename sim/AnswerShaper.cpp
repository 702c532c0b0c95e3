#include "AnswerShaper.h"

#include <algorithm>

#include "Frames.h"

namespace kt::sim {

namespace dev = kt::device;

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
    if (Chance(faults_.badCrcRate)) answer[7] = static_cast<uint8_t>(answer[7] ^ 0x5A);
}

std::vector<Burst> AnswerShaper::Schedule(std::vector<uint8_t> bytes, int64_t nowMs) const {
    const int64_t due = nowMs + std::max(0, faults_.delayMs);
    if (!faults_.split || bytes.size() < 2) return {Burst{due, std::move(bytes), 0}};
    const auto half = static_cast<std::ptrdiff_t>(bytes.size() / 2);
    const int gap = std::max(0, faults_.splitGapMs);
    Burst first{due, {bytes.begin(), bytes.begin() + half}, 0};
    Burst second{due + gap, {bytes.begin() + half, bytes.end()}, gap};
    return {std::move(first), std::move(second)};
}

std::vector<Burst> AnswerShaper::Shape(uint8_t requestCode, std::vector<uint8_t> answer,
                                       int64_t nowMs) {
    if (answer.empty() || Silenced(requestCode)) return {};
    if (Chance(faults_.dropRate)) return {};
    Corrupt(answer);
    if (faults_.garbageBytes > 0) {
        std::vector<uint8_t> garbage(static_cast<size_t>(faults_.garbageBytes));
        std::uniform_int_distribution<int> byte(0, 255);
        for (auto& b : garbage) b = static_cast<uint8_t>(byte(rng_));
        answer.insert(answer.begin(), garbage.begin(), garbage.end());
    }
    if (faults_.merge) {
        if (held_.empty()) {
            held_ = std::move(answer);
            heldSinceMs_ = nowMs;
            return {};
        }
        answer.insert(answer.begin(), held_.begin(), held_.end());
        held_.clear();
    } else if (!held_.empty()) {
        // Merging was switched off while an answer waited: it goes first, on its own.
        std::vector<Burst> out = Schedule(std::move(held_), nowMs);
        held_.clear();
        for (auto& b : Schedule(std::move(answer), nowMs)) out.push_back(std::move(b));
        return out;
    }
    return Schedule(std::move(answer), nowMs);
}

std::optional<int64_t> AnswerShaper::HoldDeadline() const {
    if (held_.empty()) return std::nullopt;
    return heldSinceMs_ + std::max(0, faults_.mergeHoldMs);
}

std::vector<Burst> AnswerShaper::ReleaseExpired(int64_t nowMs) {
    const auto deadline = HoldDeadline();
    if (!deadline || nowMs < *deadline) return {};
    std::vector<Burst> out = Schedule(std::move(held_), nowMs);
    held_.clear();
    return out;
}

}  // namespace kt::sim
