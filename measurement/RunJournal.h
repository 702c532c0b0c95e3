// The run journal of a registration table and a chart store: every registered row and
// every chart point goes to a journal file as it is made, so that a run killed before
// "Zapisz" (a crash, SIGKILL, a logout, a power cut) can be put back exactly.
//
// It listens to the table and the store and writes what their rows and points are made
// from. The row and the points one measurement adds share one record: they arrive one
// by one while the sampling clock hands the sample on, and the journal, subscribed to
// the clock after everything else, closes the record when the sample has gone round. A
// row or a clearing from a button (outside a sample) is a record of its own at once.
// The settings a measurement file describes are written into the header and again
// whenever they change. Clearing the table starts the journal afresh.
//
// Everything here runs on the user-interface thread and costs a copy into the writer's
// ring per record (no lock, no allocation); the file is written by the writer's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ChartStore.h"
#include "JournalWriter.h"
#include "MeasurementFile.h"
#include "RegistrationTable.h"
#include "Sample.h"
#include "SamplingClock.h"

namespace kt::measurement {

class RunJournal : public RowListener, public ChartListener, public SampleSubscriber {
public:
    // Fills in the settings as they are now.
    using SettingsSource = std::function<void(RunSettings&)>;
    // A journal with records that this one goes on with.
    struct Continued {
        uint32_t seed = 0;
        RunSettings settings;  // in force after its last record
    };

    // Takes over `fd` (open for appending, locked; empty unless `continued`). `sampling`
    // tells a registration within a sample from one of a button; without it (no chart)
    // every row is a record of its own.
    RunJournal(int fd, std::string path, device::Log& log, SettingsSource settings,
               std::optional<Continued> continued = std::nullopt,
               const SamplingClock* sampling = nullptr, int64_t (*wallClock)() = WallClockSeconds);

    void OnRowAdded(const RegisteredRow& row) override;
    void OnTableCleared() override;
    void OnChannelPoints(const ChartSample& sample) override;
    void OnOutputPoints(double elapsed, float pk1Level, float pk2Level) override;
    void OnChartCleared() override;
    // The sample has gone round every other subscriber: its record is complete.
    void OnSample(const Sample& sample) override;

    // Everything registered so far written and synced (tests, benchmarks).
    void Flush() { writer_.Flush(); }
    // The journal is kept or removed; later rows and points are not journaled.
    void Finish(JournalWriter::End end);

private:
    bool InSample() const;
    bool RowFits(const RegisteredRow& row) const;
    void EventDone();
    void Push();

    JournalWriter writer_;
    SettingsSource settings_;
    const SamplingClock* sampling_;
    int64_t (*wallClock_)();
    uint64_t samplesEnded_ = 0;  // samples whose record is closed
    bool begun_ = false;         // the file holds a header
    bool finished_ = false;
    RunSettings written_;  // the settings the file holds last
    RunSettings now_;
    JournalRecord pending_;
};

// Puts a record of a journal back into the table and, where given, the chart, as the run
// made them (the listeners are not told).
void ApplyRecord(const JournalRecord& record, RegistrationTable& table, ChartStore* chart);

// What a measurement file of a journal's rows says besides them; the date and time texts
// are left to the caller.
MeasurementFileInput FileInputOf(const RunSettings& settings, double duration, int rowCount);

}  // namespace kt::measurement
