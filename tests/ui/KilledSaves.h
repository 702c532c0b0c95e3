// Measurement saves killed with SIGKILL at random moments, many times over, for
// kt210v-trials: a child process saves a large registration table again and again under
// the same name until it is killed; the file under that name must then be the previous
// one or the whole new one, and the next save must leave no temporary file behind.
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

namespace kt::test {

// The child: saves until it is killed.
inline int SaveForever(const char* path, int rows) {
    const FilledTable table(rows);
    for (;;) table.Save(path);
}

inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Temporary files of "pomiar.txt" in `folder` (".pomiar.txt.PID-N.tmp").
inline int Temporaries(const std::string& folder) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        count += name.rfind(".pomiar.txt.", 0) == 0 && name.size() > 4 &&
                 name.compare(name.size() - 4, 4, ".tmp") == 0;
    }
    return count;
}

inline pid_t StartSaving(const char* self, const std::string& target, int rows) {
    const std::string rowsText = std::to_string(rows);
    const pid_t child = fork();
    if (child == 0) {
        execl(self, self, "save-forever", target.c_str(), rowsText.c_str(), nullptr);
        _exit(127);
    }
    return child;
}

inline void Kill(pid_t child) {
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
}

// Milliseconds from starting a saver until its first save is in place.
inline double FirstSaveMs(const char* self, const std::string& target, int rows,
                          const std::string& newBytes) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = StartSaving(self, target, rows);
    while (FileBytes(target) != newBytes) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    Kill(child);
    return ms;
}

inline int KilledSaves(const char* self, int runs, int rows) {
    char pattern[] = "/tmp/kt210v-killed-save-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string folder = pattern;
    const std::string target = folder + "/pomiar.txt";
    const std::string oldBytes = FilledTable(3).Bytes();
    const FilledTable big(rows);
    const std::string newBytes = big.Bytes();
    measurement::WriteFileAtomically(target, oldBytes);
    const double firstSaveMs = FirstSaveMs(self, target, rows, newBytes);

    // Kills land anywhere from the child's start-up to the middle of its second save.
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> delayMs(0, 1.5 * firstSaveMs);
    int asOld = 0, asNew = 0, damaged = 0, leftBehind = 0;
    for (int run = 0; run < runs; ++run) {
        measurement::WriteFileAtomically(target, oldBytes);
        const pid_t child = StartSaving(self, target, rows);
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(delayMs(rng)));
        Kill(child);
        const std::string bytes = FileBytes(target);
        asOld += bytes == oldBytes;
        asNew += bytes == newBytes;
        if (bytes != oldBytes && bytes != newBytes) {
            ++damaged;
            std::fprintf(stderr, "run %d: the file is neither the old nor the new one\n", run + 1);
        }
        leftBehind += Temporaries(folder) > 0;
    }
    const bool tidy =
        big.Save(target).written() && FileBytes(target) == newBytes && Temporaries(folder) == 0;
    std::filesystem::remove_all(folder);
    std::printf(
        "%-44s survived %d/%d (file old %d, whole new %d; a whole save %.0f ms with "
        "start-up; temporary file left by %d kills, %s at the next save)\n",
        "measurement save killed with SIGKILL:", runs - damaged, runs, asOld, asNew, firstSaveMs,
        leftBehind, tidy ? "all removed" : "NOT removed");
    std::fflush(stdout);
    return damaged == 0 && tidy ? 0 : 1;
}

}  // namespace kt::test
