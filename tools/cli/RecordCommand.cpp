#include "RecordCommand.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Commands.h"
#include "JournalFile.h"
#include "LocaleDateTimeTexts.h"
#include "RegistrationSource.h"
#include "RunJournal.h"

namespace kt::cli {

bool CheckOutName(const std::string& out, std::string& error) {
    // The extension picks the layout; without one there is no dialog filter to ask.
    const auto choice =
        measurement::ChooseMeasurementFile(out, measurement::MeasurementFileFormat::Text);
    if (choice.status != measurement::MeasurementFileChoice::Status::Ready || choice.path != out) {
        error = "--out must name a .txt, .xls, .xlsx or .csv file: " + out;
        return false;
    }
    // ".txt" alone would be a hidden file with no name of its own.
    if (out.rfind('.') == out.rfind('/') + 1) {
        error = "--out needs a name before the extension: " + out;
        return false;
    }
    return true;
}

bool ParseRecordOptions(std::vector<std::string> args, RecordOptions& o, std::string& error) {
    if (!ParseSampleOptions(args, o.sampling, error)) return false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--date") {
            o.date = true;
        } else if (name == "--time") {
            o.time = true;
        } else if (name == "--pk") {
            o.pk = true;
        } else if (name == "--out" && i + 1 < args.size()) {
            o.out = args[++i];
        } else {
            error = name == "--out" ? "--out needs a file name" : "unknown argument: " + name;
            return false;
        }
    }
    if (o.out.empty()) {
        error = "record needs --out FILE";
        return false;
    }
    return CheckOutName(o.out, error);
}

measurement::RegistrationBoxes RecordBoxes(const RecordOptions& options) {
    measurement::RegistrationBoxes boxes;
    boxes.date = options.date;
    boxes.time = options.time;
    boxes.pk1 = boxes.pk2 = options.pk;
    return boxes;
}

TableRecorder::TableRecorder(const measurement::DateTimeTexts& dateTime,
                             const measurement::RegistrationBoxes& boxes, int64_t (*wallClock)())
    : dateTime_(dateTime), wallClock_(wallClock), view_(presence_, ','), table_(dateTime) {
    table_.boxes() = boxes;
}

void TableRecorder::OnSample(const measurement::Sample& sample) {
    for (int i = 0; i < measurement::kChannelCount; ++i) {
        presence_.sensorPresent[i] = sample.sensorPresent[i];
        view_.SetActive(i, true);
    }
    view_.OnSample(sample);
    table_.AddRow(measurement::RowSourceOf(view_, sample, wallClock_()));
}

void TableRecorder::FillSettings(measurement::RunSettings& settings) const {
    for (int i = 0; i < measurement::kChannelCount; ++i) {
        settings.sensorPresent[i] = presence_.sensorPresent[i];
        settings.channelActive[i] = view_.Active(i);
    }
    settings.boxes = table_.boxes();
}

measurement::MeasurementSaveResult TableRecorder::Save(const std::string& path,
                                                       const std::string& typeName, double duration,
                                                       const SampleOptions& sampling) const {
    measurement::MeasurementFileInput in;
    in.rowCount = table_.RowCount();
    in.typeName = typeName;
    const int64_t now = wallClock_();
    in.dateText = dateTime_.ShortDate(now);
    in.timeText = dateTime_.LongTime(now);
    in.duration = duration;
    in.realTime = sampling.realTime;
    in.periodMs = sampling.periodMs;
    for (int i = 0; i < measurement::kChannelCount; ++i) {
        in.sensorPresent[i] = presence_.sensorPresent[i];
        in.channelActive[i] = view_.Active(i);
    }
    return measurement::SaveMeasurementFile(path, measurement::MeasurementFileFormat::Text, table_,
                                            in);
}

int FolderProblem(const std::string& path) {
    struct stat st {};
    // A link is followed by the writer to wherever it points; that folder is its own.
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return 0;
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (stat(folder.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    return access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

namespace {

// The journal of a run that writes `path`: an earlier journal under the name with rows or
// damage (a run that was killed) is set aside, never overwritten; another program's file
// is left alone. -1 (the reason on standard error) when no journal can be kept.
int OpenRecordJournal(const std::string& path) {
    measurement::JournalOpen open = measurement::OpenJournalFile(path);
    if (open.fd >= 0) {
        using Status = measurement::JournalScan::Status;
        const measurement::JournalScan scan = measurement::ReadJournal(open.fd);
        if (scan.status == Status::Foreign) {
            std::fprintf(stderr, "cannot keep the journal %s: %s; left as it is\n", path.c_str(),
                         scan.problem.c_str());
            ::close(open.fd);
            return -1;
        }
        if (scan.samples == 0 && !scan.damaged) {
            if (::ftruncate(open.fd, 0) == 0) return open.fd;
            open.error = errno;
        } else {
            const std::string aside = measurement::AsideName(path, scan.header.runStart);
            open.error = ::rename(path.c_str(), aside.c_str()) == 0 ? 0 : errno;
            ::close(open.fd);
            open.fd = -1;
            if (open.error == 0) {
                std::fprintf(stderr, "an earlier unsaved run is kept as %s\n", aside.c_str());
                open = measurement::OpenJournalFile(path);
            }
        }
    }
    if (open.fd >= 0 && open.error == 0) return open.fd;
    std::fprintf(stderr, "cannot keep the journal %s: %s\n", path.c_str(),
                 open.busy ? "in use by another program" : std::strerror(open.error));
    if (open.fd >= 0) ::close(open.fd);
    return -1;
}

}  // namespace

int RecordCommand(const std::string& port, std::vector<std::string> args) {
    RecordOptions options;
    std::string error;
    if (!ParseRecordOptions(std::move(args), options, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return EXIT_USAGE;
    }
    if (const int problem = FolderProblem(options.out)) {
        std::fprintf(stderr, "cannot write %s: %s\n", options.out.c_str(), std::strerror(problem));
        return EXIT_NOT_WRITTEN;
    }
    const std::string journalPath = options.out + ".journal";
    const int journalFd = OpenRecordJournal(journalPath);
    if (journalFd < 0) return EXIT_NOT_WRITTEN;
    const regional::LocaleDateTimeTexts dateTime;
    TableRecorder recorder(dateTime, RecordBoxes(options));
    const device::DeviceState* indicator = nullptr;  // while the run's session lasts
    device::StderrLog log;
    measurement::RunJournal journal(journalFd, journalPath, log, [&](measurement::RunSettings& s) {
        recorder.FillSettings(s);
        s.SetTypeName(indicator ? indicator->typeName : device::kUnrecognisedTypeName);
        s.periodMs = static_cast<uint32_t>(options.sampling.periodMs);
        s.realTime = options.sampling.realTime;
    });
    recorder.SetRowListener(&journal);
    double elapsed = 0;
    std::string typeName = device::kUnrecognisedTypeName;
    const int rc = RunSampling(port, options.sampling, recorder, &elapsed, &typeName,
                               [&indicator](const device::DeviceState& s) { indicator = &s; });
    indicator = nullptr;
    // A run that never sampled has nothing to save; rows of a run cut short are kept.
    if (rc != EXIT_OK && recorder.Table().rowsRegistered() == 0) {
        journal.Finish(measurement::JournalWriter::End::Discard);
        return rc;
    }
    const measurement::MeasurementSaveResult result =
        recorder.Save(options.out, typeName, elapsed, options.sampling);
    if (!result.written()) {
        journal.Finish(measurement::JournalWriter::End::Keep);
        std::fprintf(stderr, "cannot write %s: %s; the rows are kept in %s\n", result.path.c_str(),
                     result.reason.c_str(), journalPath.c_str());
        return EXIT_NOT_WRITTEN;
    }
    journal.Finish(measurement::JournalWriter::End::Discard);
    std::fprintf(stderr, "rows=%d file=%s\n", recorder.Table().rowsRegistered(),
                 result.path.c_str());
    return rc;
}

}  // namespace kt::cli
