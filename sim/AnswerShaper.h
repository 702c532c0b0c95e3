// Fault switches of the simulated indicator and the shaper that applies them: it turns
// each answer of the model into the bursts to write on the line (one write each) and
// the times at which they are due. Pure and seeded, so every fault is reproducible.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace kt::sim {

struct Faults {
    bool silent = false;               // answer nothing at all
    std::vector<uint8_t> silentCodes;  // answer nothing to requests with these codes
    int delayMs = 0;                   // every answer leaves this much later
    double dropRate = 0.0;             // share of answers lost (0..1)
    double badCrcRate = 0.0;           // share of F3 answers with a wrong checksum (0..1)
    bool split = false;                // each answer in two bursts, splitGapMs apart
    int splitGapMs = 80;
    bool merge = false;      // an answer is held and sent glued to the next one
    int mergeHoldMs = 1000;  // a held answer with no follower leaves alone after this
    int garbageBytes = 0;    // random bytes in front of every answer
    std::string typeCode;    // answer to 32 carries this code instead of the model's own
};

struct Burst {
    int64_t dueMs = 0;
    std::vector<uint8_t> bytes;
    // The burst must leave at least this long after the previous one was written
    // (the second half of a split answer), however late the first one went out.
    int minGapAfterPreviousMs = 0;
};

class AnswerShaper {
public:
    explicit AnswerShaper(uint64_t seed = 1) : rng_(seed) {}

    void SetFaults(const Faults& faults) { faults_ = faults; }
    const Faults& GetFaults() const { return faults_; }

    // Shapes the model's answer to a request with `requestCode` received at `nowMs`.
    // An empty answer gives no bursts.
    std::vector<Burst> Shape(uint8_t requestCode, std::vector<uint8_t> answer, int64_t nowMs);

    // When a held (merge) answer must leave alone, if one is held.
    std::optional<int64_t> HoldDeadline() const;
    // Releases the held answer when its hold time has run out.
    std::vector<Burst> ReleaseExpired(int64_t nowMs);

private:
    bool Chance(double rate);
    bool Silenced(uint8_t code) const;
    void Corrupt(std::vector<uint8_t>& answer);
    std::vector<Burst> Schedule(std::vector<uint8_t> bytes, int64_t nowMs) const;

    Faults faults_;
    std::mt19937_64 rng_;
    std::vector<uint8_t> held_;
    int64_t heldSinceMs_ = 0;
};

}  // namespace kt::sim
