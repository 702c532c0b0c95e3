// Saves killed with SIGKILL at random moments, many times over, for kt210v-trials: a
// child process writes a file again and again under the same name until it is killed -
// a large registration table saved as "Zapisz" does, or "config.ini" written as a close
// does. The file under that name must then be the previous one or the whole new one (a
// settings file read back completely), and the next write must leave no temporary file.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "AtomicFile.h"
#include "FilledTable.h"
#include "SettingsFile.h"

namespace kt::test {

// Settings as a program that was never set up stores them, or with most entries changed.
inline std::string SettingsBytes(bool changed) {
    measurement::AppSettings s;
    if (changed) {
        s.channelActive = {true, true, true};
        s.realTimeSampling = true;
        s.samplePeriodMs = 250;
        s.paging = true;
        s.samplesPerPage = 500;
        s.registerDate = true;
        s.portName = "ttyUSB0";
        s.outputLines[3].H = 777;
    }
    return measurement::FormatSettings(s);
}

// The children: write until they are killed.
inline int SaveForever(const char* path, int rows) {
    const FilledTable table(rows);
    for (;;) table.Save(path);
}
inline int WriteSettingsForever(const char* path) {
    const std::string bytes = SettingsBytes(true);
    for (;;) measurement::WriteFileAtomically(path, bytes);
}

inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// One kind of killed write: the file's name, its bytes before and after, and the child's
// command line after the program's own name and the target.
struct KilledWrite {
    const char* label;
    std::string fileName;
    std::string oldBytes, newBytes;
    std::string childCommand, childArgument;
    bool settings = false;  // the file must also read back as complete settings
};

// Temporary files of `fileName` in `folder` (".NAME.PID-N.tmp").
inline int Temporaries(const std::string& folder, const std::string& fileName) {
    const std::string prefix = "." + fileName + ".";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        count += name.rfind(prefix, 0) == 0 && name.size() > 4 &&
                 name.compare(name.size() - 4, 4, ".tmp") == 0;
    }
    return count;
}

inline pid_t StartWriting(const char* self, const std::string& target, const KilledWrite& w) {
    const pid_t child = fork();
    if (child == 0) {
        const char* extra = w.childArgument.empty() ? nullptr : w.childArgument.c_str();
        execl(self, self, w.childCommand.c_str(), target.c_str(), extra, nullptr);
        _exit(127);
    }
    return child;
}

inline void Kill(pid_t child) {
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
}

// Milliseconds from starting a writer until its first write is in place.
inline double FirstWriteMs(const char* self, const std::string& target, const KilledWrite& w) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = StartWriting(self, target, w);
    while (FileBytes(target) != w.newBytes) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    Kill(child);
    return ms;
}

// A file that is neither the old nor the new one, or settings that do not read back whole.
inline bool Damaged(const std::string& bytes, const KilledWrite& w) {
    if (bytes != w.oldBytes && bytes != w.newBytes) return true;
    return w.settings && measurement::ParseSettings(bytes).failedEntry.has_value();
}

inline int KilledWrites(const char* self, int runs, const KilledWrite& w) {
    char pattern[] = "/tmp/kt210v-killed-save-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string folder = pattern;
    const std::string target = folder + "/" + w.fileName;
    measurement::WriteFileAtomically(target, w.oldBytes);
    const double firstWriteMs = FirstWriteMs(self, target, w);

    // Kills land anywhere from the child's start-up to well into its writing.
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> delayMs(0, 1.5 * firstWriteMs);
    int asOld = 0, asNew = 0, damaged = 0, leftBehind = 0;
    for (int run = 0; run < runs; ++run) {
        measurement::WriteFileAtomically(target, w.oldBytes);
        const pid_t child = StartWriting(self, target, w);
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(delayMs(rng)));
        Kill(child);
        const std::string bytes = FileBytes(target);
        asOld += bytes == w.oldBytes;
        asNew += bytes == w.newBytes;
        if (Damaged(bytes, w)) {
            ++damaged;
            std::fprintf(stderr, "run %d: the file is neither the old nor the new one\n", run + 1);
        }
        leftBehind += Temporaries(folder, w.fileName) > 0;
    }
    const bool tidy = measurement::WriteFileAtomically(target, w.newBytes).ok() &&
                      FileBytes(target) == w.newBytes && Temporaries(folder, w.fileName) == 0;
    std::filesystem::remove_all(folder);
    std::printf(
        "%-44s survived %d/%d (file old %d, whole new %d; a whole write %.1f ms with "
        "start-up; temporary file left by %d kills, %s at the next write)\n",
        w.label, runs - damaged, runs, asOld, asNew, firstWriteMs, leftBehind,
        tidy ? "all removed" : "NOT removed");
    std::fflush(stdout);
    return damaged == 0 && tidy ? 0 : 1;
}

inline int KilledSaves(const char* self, int runs, int rows) {
    const FilledTable big(rows);
    return KilledWrites(
        self, runs,
        {"measurement save killed with SIGKILL:", "pomiar.txt", FilledTable(3).Bytes(), big.Bytes(),
         "save-forever", std::to_string(rows)});
}

inline int KilledSettingsWrites(const char* self, int runs) {
    return KilledWrites(self, runs,
                        {"settings write killed with SIGKILL:", measurement::kSettingsFileName,
                         SettingsBytes(false), SettingsBytes(true), "settings-forever", "", true});
}

}  // namespace kt::test
