#include "RunJournal.h"

#include <bit>

namespace kt::measurement {

namespace {

bool SameValue(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

uint8_t ChannelPoint(int channel) {
    return static_cast<uint8_t>(kChannelPoint0 << channel);
}

}  // namespace

RunJournal::RunJournal(int fd, std::string path, device::Log& log, SettingsSource settings,
                       std::optional<Continued> continued, const SamplingClock* sampling,
                       int64_t (*wallClock)())
    : writer_(fd, std::move(path), log,
              continued ? std::optional<uint32_t>(continued->seed) : std::nullopt),
      settings_(std::move(settings)),
      sampling_(sampling),
      wallClock_(wallClock),
      samplesEnded_(sampling ? sampling->Counters().samples : 0),
      begun_(continued.has_value()),
      written_(continued ? continued->settings : RunSettings{}) {}

// The sampling clock counts a sample before it hands it on; the journal, its last
// subscriber, has closed the record of every sample counted but the one going round.
bool RunJournal::InSample() const {
    return sampling_ != nullptr && sampling_->Counters().samples > samplesEnded_;
}

void RunJournal::EventDone() {
    if (!InSample()) Push();
}

void RunJournal::OnChannelPoints(const ChartSample& sample) {
    Push();  // the channel points come first in a measurement
    pending_.elapsed = sample.elapsed;
    for (int c = 0; c < 3; ++c) {
        if (!sample.active[static_cast<size_t>(c)]) continue;
        pending_.parts |= ChannelPoint(c);
        pending_.value[c] = sample.angle[static_cast<size_t>(c)];
    }
    EventDone();
}

// A row shares the record of the points before it when it was made from the same
// values at the same time, as a row of the same measurement is.
bool RunJournal::RowFits(const RegisteredRow& row) const {
    if (pending_.parts & (kRegisteredRow | kOutputPoints)) return false;
    if (pending_.parts == 0) return true;
    if (pending_.elapsed != row.elapsed) return false;
    for (int c = 0; c < 3; ++c) {
        if ((pending_.parts & ChannelPoint(c)) && !SameValue(pending_.value[c], row.value[c])) {
            return false;
        }
    }
    return true;
}

void RunJournal::OnRowAdded(const RegisteredRow& row) {
    if (!RowFits(row)) Push();
    for (int c = 0; c < 3; ++c) {
        if (!(pending_.parts & ChannelPoint(c))) pending_.value[c] = row.value[c];
    }
    pending_.parts |= kRegisteredRow;
    pending_.rowBits = row.bits;
    pending_.wallTime = row.wallTime;
    pending_.elapsed = row.elapsed;
    EventDone();
}

void RunJournal::OnOutputPoints(double elapsed, float pk1Level, float pk2Level) {
    if ((pending_.parts & kOutputPoints) || (pending_.parts != 0 && pending_.elapsed != elapsed)) {
        Push();
    }
    pending_.parts |= kOutputPoints;
    pending_.elapsed = elapsed;
    pending_.level[0] = pk1Level;
    pending_.level[1] = pk2Level;
    EventDone();
}

void RunJournal::OnSample(const Sample& sample) {
    samplesEnded_ = sample.number + 1;
    Push();
}

void RunJournal::OnChartCleared() {
    Push();
    // A journal begun afresh rebuilds the chart from empty anyway.
    if (!begun_ || finished_) return;
    JournalRecord record;
    record.kind = RecordKind::ChartCleared;
    writer_.Append(record);
}

void RunJournal::OnTableCleared() {
    Push();
    if (finished_) return;
    JournalRecord record;
    record.kind = RecordKind::Restart;
    writer_.Append(record);
    begun_ = false;
}

void RunJournal::Finish(JournalWriter::End end) {
    finished_ = true;
    writer_.Finish(end);
}

void RunJournal::Push() {
    if (pending_.parts == 0 || finished_) return;
    settings_(now_);
    if (!begun_) {
        JournalRecord begin;
        begin.kind = RecordKind::Begin;
        begin.wallTime = wallClock_();
        begin.settings = now_;
        writer_.Append(begin);
        begun_ = true;
        written_ = now_;
    } else if (!(now_ == written_)) {
        JournalRecord change;
        change.kind = RecordKind::Settings;
        change.settings = now_;
        writer_.Append(change);
        written_ = now_;
    }
    writer_.Append(pending_);
    pending_ = JournalRecord{};
}

void ApplyRecord(const JournalRecord& r, RegistrationTable& table, ChartStore* chart) {
    if (r.kind == RecordKind::ChartCleared && chart) {
        for (int i = 0; i < kSeriesCount; ++i) chart->Series(i).Clear();
    }
    if (r.kind != RecordKind::Sample) return;
    if (chart) {
        for (int c = 0; c < 3; ++c) {
            if (r.parts & ChannelPoint(c)) chart->Series(c).Add(r.elapsed, r.value[c]);
        }
    }
    if (r.parts & kRegisteredRow) table.AppendRegistered(r.Row());
    if (chart && (r.parts & kOutputPoints)) {
        chart->Series(kSeriesPK1).Add(r.elapsed, r.level[0]);
        chart->Series(kSeriesPK2).Add(r.elapsed, r.level[1]);
    }
}

MeasurementFileInput FileInputOf(const RunSettings& settings, double duration, int rowCount) {
    MeasurementFileInput in;
    in.rowCount = rowCount;
    in.typeName = settings.TypeName();
    in.duration = duration;
    in.realTime = settings.realTime;
    in.periodMs = settings.periodMs;
    for (int i = 0; i < 3; ++i) {
        in.sensorPresent[i] = settings.sensorPresent[i];
        in.channelActive[i] = settings.channelActive[i];
    }
    return in;
}

}  // namespace kt::measurement
