// The run journal's file: opened and locked for one program at a time, read back record
// by record up to its last whole, sound record, and named for setting it aside.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "JournalFormat.h"

namespace kt::measurement {

struct JournalOpen {
    int fd = -1;
    int error = 0;      // errno when the file could not be opened or locked
    bool busy = false;  // another program holds it
};

// Opens `path` for reading and appending, creating it (empty) where it is missing, and
// locks it for this program; a program that is killed gives the lock up with its life.
JournalOpen OpenJournalFile(const std::string& path, bool create = true);

struct JournalScan {
    enum class Status {
        Empty,    // no bytes, or a header cut short while it was written
        Journal,  // a journal of ours: the header and the records read
        Foreign,  // another file's magic, a newer version, a damaged header
    };
    Status status = Status::Empty;
    // Foreign: why the file is not read. Journal: the damage the records end at (a torn
    // last record, cut while it was written, is dropped without a word).
    std::string problem;
    JournalHeader header;
    uint32_t seed = 0;
    RunSettings settings;    // in force after the last record read
    uint64_t samples = 0;    // measurements with a row or chart points
    uint64_t rows = 0;       // of which registered rows
    double lastElapsed = 0;  // elapsed time of the last measurement
    uint64_t goodBytes = 0;  // the header and the whole, sound records
    bool torn = false;
    bool damaged = false;
};

using RecordVisitor = std::function<void(const JournalRecord&)>;

// Reads the journal in `fd` from its start, handing each sound record to `visit`.
JournalScan ReadJournal(int fd, const RecordVisitor& visit = {});

// Where a journal is set aside: `path` + ".YYYYMMDD-HHMMSS" of `unixSeconds` in local
// time, with "-2", "-3" ... added when that name is taken.
std::string AsideName(const std::string& path, int64_t unixSeconds);

}  // namespace kt::measurement
