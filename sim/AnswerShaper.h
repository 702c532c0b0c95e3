// Fault switches of the simulated indicator and the shaper that applies them: it turns
// each answer of the model into the bursts to write on the line (one write each) and
// the times at which they are due. Pure and seeded, so every fault is reproducible.
// Times are nanoseconds on the caller's monotonic clock.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace kt::sim {

constexpr int64_t kNsPerMs = 1000000;

// How long `bytes` take on the indicator's line: 57600 bit/s, 10 bits a byte (start bit,
// 8 data bits, stop bit). Rounded up, so nothing modelled on it arrives early.
int64_t LineCrossingNs(size_t bytes);

struct Faults {
    bool silent = false;               // answer nothing at all
    std::vector<uint8_t> silentCodes;  // answer nothing to requests with these codes
    int delayMs = 0;                   // every answer leaves this much later
    double dropRate = 0.0;             // share of answers lost (0..1)
    double badCrcRate = 0.0;           // share of F3 answers with a wrong checksum (0..1)
    double loseByteRate = 0.0;         // chance of each byte of an answer to be lost (0..1)
    // A spoiled answer keeps its checksum and carries a changed first value byte instead,
    // so that an answer taken in spite of its checksum shows as a value never held.
    bool badCrcInValue = false;
    bool split = false;  // each answer in two bursts, splitGapMs apart
    int splitGapMs = 80;
    bool merge = false;      // an answer is held and sent glued to the next one
    int mergeHoldMs = 1000;  // a held answer with no follower leaves alone after this
    int garbageBytes = 0;    // random bytes in front of every answer
    // The garbage holds no header byte (F1..F4). Measurement frames carry no checksum,
    // so garbage that happens to hold a header pair can pass for a frame.
    bool headerFreeGarbage = false;
    std::string typeCode;  // answer to 32 carries this code instead of the model's own
    // Requests and answers take the time the serial line needs to carry them, instead of
    // passing at memory speed.
    bool wire = false;
};

struct Burst {
    int64_t dueNs = 0;  // its first byte may go on the line from this time
    std::vector<uint8_t> bytes;
    // The burst must leave at least this long after the previous one was written
    // (the second half of a split answer), however late the first one went out.
    int64_t minGapAfterPreviousNs = 0;
    int64_t crossingNs = 0;  // time its bytes take on the line; 0 at memory speed
};

// When `burst` is written, all of it at once, given when the previous burst was written:
// its bytes start crossing at its due time but not before the line is free (the previous
// burst written, plus the pause it asks for), and it is written when the last one would
// have arrived.
int64_t ReleaseTime(const Burst& burst, int64_t previousWrittenNs);

class AnswerShaper {
public:
    explicit AnswerShaper(uint64_t seed = 1) : rng_(seed) {}

    void SetFaults(const Faults& faults) { faults_ = faults; }
    const Faults& GetFaults() const { return faults_; }

    // Shapes the model's answer to a request with `requestCode` whose last byte came in
    // at `nowNs`. An empty answer gives no bursts. On the wire the answer is due once the
    // request has crossed the line, requests crossing one after another.
    std::vector<Burst> Shape(uint8_t requestCode, std::vector<uint8_t> answer, int64_t nowNs);

    // Keeps a copy of every measurement frame given to the line (neither silenced nor
    // dropped), in order; off by default. Turning it on starts a new record.
    void RecordMeasurements(bool on);
    const std::vector<std::vector<uint8_t>>& MeasurementsSent() const { return sent_; }
    // Answers that lost bytes on the line (--lose-bytes); only whole ones are recorded.
    uint64_t AnswersTorn() const { return torn_; }

    // When a held (merge) answer must leave alone, if one is held.
    std::optional<int64_t> HoldDeadline() const;
    // Releases the held answer when its hold time has run out.
    std::vector<Burst> ReleaseExpired(int64_t nowNs);

private:
    bool Chance(double rate);
    bool Silenced(uint8_t code) const;
    void Corrupt(std::vector<uint8_t>& answer);
    std::vector<uint8_t> Garbage();
    bool LoseBytes(std::vector<uint8_t>& answer);
    int64_t RequestCrossed(int64_t arrivedNs);
    Burst MakeBurst(int64_t dueNs, std::vector<uint8_t> bytes, int64_t gapNs) const;
    std::vector<Burst> Schedule(std::vector<uint8_t> bytes, int64_t nowNs) const;

    Faults faults_;
    std::mt19937_64 rng_;
    std::vector<uint8_t> held_;
    int64_t heldSinceNs_ = 0;
    int64_t requestLineFreeNs_ = 0;  // when the last request finished crossing
    bool recording_ = false;
    std::vector<std::vector<uint8_t>> sent_;
    uint64_t torn_ = 0;
};

}  // namespace kt::sim
