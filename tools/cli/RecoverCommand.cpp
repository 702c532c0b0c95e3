#include "RecoverCommand.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Commands.h"
#include "JournalFile.h"
#include "LocaleDateTimeTexts.h"
#include "RecordCommand.h"
#include "RunJournal.h"

namespace kt::cli {

namespace {

bool ParseRecoverArguments(const std::vector<std::string>& args, std::string& journal,
                           std::string& out, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--out" && i + 1 < args.size()) {
            out = args[++i];
        } else if (journal.empty() && !args[i].empty() && args[i][0] != '-') {
            journal = args[i];
        } else {
            error = args[i] == "--out" ? "--out needs a file name" : "unknown argument: " + args[i];
            return false;
        }
    }
    if (journal.empty() || out.empty()) {
        error = "recover needs a journal and --out FILE";
        return false;
    }
    return CheckOutName(out, error);
}

}  // namespace

int RecoverCommand(std::vector<std::string> args) {
    std::string journalPath, out, error;
    if (!ParseRecoverArguments(args, journalPath, out, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return EXIT_USAGE;
    }
    const int fd = ::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        std::fprintf(stderr, "cannot read %s: %s\n", journalPath.c_str(), std::strerror(errno));
        return EXIT_NOT_WRITTEN;
    }
    const regional::LocaleDateTimeTexts dateTime;
    measurement::RegistrationTable table(dateTime);
    const measurement::JournalScan scan =
        measurement::ReadJournal(fd, [&table](const measurement::JournalRecord& record) {
            measurement::ApplyRecord(record, table, nullptr);
        });
    ::close(fd);
    if (scan.status == measurement::JournalScan::Status::Foreign) {
        std::fprintf(stderr, "%s: %s\n", journalPath.c_str(), scan.problem.c_str());
        return EXIT_NOT_WRITTEN;
    }
    if (scan.damaged) std::fprintf(stderr, "%s: %s\n", journalPath.c_str(), scan.problem.c_str());
    measurement::MeasurementFileInput input =
        measurement::FileInputOf(scan.settings, scan.lastElapsed, table.RowCount());
    const int64_t now = measurement::WallClockSeconds();
    input.dateText = dateTime.ShortDate(now);
    input.timeText = dateTime.LongTime(now);
    const measurement::MeasurementSaveResult result = measurement::SaveMeasurementFile(
        out, measurement::MeasurementFileFormat::Text, table, input);
    if (!result.written()) {
        std::fprintf(stderr, "cannot write %s: %s\n", result.path.c_str(), result.reason.c_str());
        return EXIT_NOT_WRITTEN;
    }
    std::fprintf(stderr, "rows=%d file=%s\n", table.rowsRegistered(), result.path.c_str());
    return EXIT_OK;
}

}  // namespace kt::cli
