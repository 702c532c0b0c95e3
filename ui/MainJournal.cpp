// The run journal in the main window. After the settings are read and before the
// wizard, a journal left by a run that ended without a close of the operator's (a crash,
// SIGKILL, a logout, a power cut) is offered back: "Tak" puts its table, chart and
// elapsed time back, stopped, and the journal goes on; "Nie" sets it aside under a dated
// name for the command-line tool. A file that is no journal of ours stays as it is and
// this run keeps none. A close of the operator's gives the journal up with the rows.
#include <unistd.h>

#include <QGuiApplication>
#include <filesystem>

#include "ChartTab.h"
#include "IndicatorModel.h"
#include "JournalFile.h"
#include "LocaleDateTimeTexts.h"
#include "Main.h"
#include "RegistrationTab.h"
#include "RunJournal.h"
#include "widgets/ChartView.h"

namespace kt::ui {

namespace {

using measurement::JournalScan;

std::string RecoveryQuestion(const JournalScan& scan, const measurement::DateTimeTexts& texts) {
    const int64_t start = scan.header.runStart;
    return "Przywrócić niezapisany pomiar z " + texts.ShortDate(start) + " " +
           texts.LongTime(start) + " (" + std::to_string(scan.samples) + " próbek)?";
}

}  // namespace

std::string TForm1::JournalPath() const {
    return startupDirectory_ + "/" + measurement::kJournalFileName;
}

void TForm1::BuildJournal() {
    device::Log& log = core_->Warnings();
    const std::string path = JournalPath();
    const measurement::JournalOpen file = measurement::OpenJournalFile(path);
    if (file.fd < 0) {
        log.Warning(path +
                    (file.busy ? ": in use by another program"
                               : ": cannot be opened: " + device::SystemReason(file.error)) +
                    "; this run keeps no journal");
        return;
    }
    int fd = file.fd;
    const JournalScan scan = measurement::ReadJournal(fd);
    if (scan.status == JournalScan::Status::Foreign) {
        log.Warning(path + ": " + scan.problem + "; left in place, this run keeps no journal");
        ::close(fd);
        return;
    }
    if (scan.damaged) log.Warning(path + ": " + scan.problem);
    if (scan.samples == 0 && !scan.damaged) {
        // Nothing journaled (or a header cut short): begun afresh.
        if (::ftruncate(fd, 0) != 0) log.Warning(path + ": " + device::SystemReason(errno));
        StartJournal(fd, nullptr);
        return;
    }
    // Damage before the first measurement leaves nothing to offer, and nothing to remove.
    if (scan.samples > 0 &&
        dialogs_->AskQuestion(RecoveryQuestion(scan, *dateTime_), "Tak", "Nie")) {
        if (RecoverRun(fd, scan)) {
            StartJournal(fd, &scan);
            return;
        }
    }
    fd = SetJournalAside(fd, scan);
    if (fd >= 0) StartJournal(fd, nullptr);
}

// The table, the chart and the elapsed time as the journal's run left them; the journal
// goes on after its last sound record. A damaged journal is first copied aside whole, so
// what could not be read is still there for another look.
bool TForm1::RecoverRun(int fd, const JournalScan& scan) {
    device::Log& log = core_->Warnings();
    const std::string path = JournalPath();
    if (scan.damaged) {
        const std::string copy = measurement::AsideName(path, scan.header.runStart);
        std::error_code error;
        std::filesystem::copy_file(path, copy, error);
        log.Warning(path + (error ? ": could not be copied aside: " + error.message()
                                  : ": copied whole to " + copy));
    }
    measurement::ReadJournal(fd, [this](const measurement::JournalRecord& record) {
        measurement::ApplyRecord(record, *registration_, &chart_);
    });
    sampling_->RestoreStopped(scan.lastElapsed);
    RegistrationPage().ShowRecoveredRun(scan.settings);
    ChartPage().Chart().update();
    if (::ftruncate(fd, static_cast<off_t>(scan.goodBytes)) == 0) return true;
    log.Warning(path +
                ": cannot be cut after its last whole record: " + device::SystemReason(errno));
    return false;
}

// Renamed to "kt210v-pc.journal.YYYYMMDD-HHMMSS" of the run's start, and a new, empty
// journal opened under the name; -1 when there is none.
int TForm1::SetJournalAside(int fd, const JournalScan& scan) {
    device::Log& log = core_->Warnings();
    const std::string path = JournalPath();
    const std::string aside = measurement::AsideName(path, scan.header.runStart);
    const bool renamed = ::rename(path.c_str(), aside.c_str()) == 0;
    const int error = errno;
    ::close(fd);
    if (!renamed) {
        log.Warning(path + ": could not be set aside: " + device::SystemReason(error) +
                    "; left in place, this run keeps no journal");
        return -1;
    }
    log.Warning(path + ": the unsaved run is kept as " + aside);
    const measurement::JournalOpen fresh = measurement::OpenJournalFile(path);
    if (fresh.fd < 0) {
        log.Warning(path + ": cannot be opened: " + device::SystemReason(fresh.error) +
                    "; this run keeps no journal");
    }
    return fresh.fd;
}

void TForm1::StartJournal(int fd, const JournalScan* continued) {
    std::optional<measurement::RunJournal::Continued> goOn;
    if (continued) goOn = measurement::RunJournal::Continued{continued->seed, continued->settings};
    auto settings = [this](measurement::RunSettings& s) {
        s.SetTypeName(State().typeName);
        s.periodMs = static_cast<uint32_t>(sampling_->PeriodMs());
        s.realTime = sampling_->RealTime();
        for (int i = 0; i < 3; ++i) {
            s.sensorPresent[i] = State().sensorPresent[i];
            s.channelActive[i] = indicators_->Active(i);
        }
        s.boxes = registration_->boxes();
    };
    journal_ = std::make_unique<measurement::RunJournal>(fd, JournalPath(), core_->Warnings(),
                                                         settings, goOn, sampling_.get());
    registration_->SetListener(journal_.get());
    chart_.SetListener(journal_.get());
    sampling_->Subscribe(*journal_);
}

// The window closed by a signal or by the desktop's session ending (a logout) keeps the
// journal; only the operator's close gives it up.
void TForm1::FinishJournal() {
    if (!journal_) return;
    const bool operatorClosed = !closingBySignal_ && !qApp->isSavingSession();
    journal_->Finish(operatorClosed ? measurement::JournalWriter::End::Discard
                                    : measurement::JournalWriter::End::Keep);
}

}  // namespace kt::ui
