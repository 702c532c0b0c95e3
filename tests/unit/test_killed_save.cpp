// A measurement save or a settings write killed with SIGKILL (no chance to clean up) at
// each stage of the write: the file under its own name is the previous one, byte for
// byte, or the whole new one; what the killed write left is hidden under a temporary name,
// is not read as the file at the next start and is removed by the next write of the file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "FilledTable.h"
#include "SettingsFile.h"
#include "TempFolder.h"

using namespace kt::measurement;
using kt::test::ReadBytes;
using kt::test::TempFolder;
using kt::test::WriteBytes;

namespace {

// The child tells the parent through this pipe that it has reached the stage to be
// killed at, then waits there for the signal.
int g_reached = -1;

[[noreturn]] void WaitForTheKill() {
    const char c = 1;
    (void)!::write(g_reached, &c, 1);
    for (;;) pause();
}
ssize_t HalfWrittenThenWait(int fd, const void* data, size_t size) {
    (void)!::write(fd, data, size / 2);
    WaitForTheKill();
}
int WrittenButNotSynced(int) {
    WaitForTheKill();
}
int SyncedButNotRenamed(const char*, const char*) {
    WaitForTheKill();
}
int RenamedThenWait(const char* from, const char* to) {
    ::rename(from, to);
    WaitForTheKill();
}

using Table = kt::test::FilledTable;
using Write = std::function<void(const FileSystemCalls&)>;

// Writes in a child process that is killed once it reaches the stage `calls` stops at.
// Returns the child's pid.
pid_t WriteAndKill(const Write& write, const FileSystemCalls& calls) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        g_reached = fds[1];
        write(calls);
        _exit(3);  // a stage that was never reached
    }
    close(fds[1]);
    char c = 0;
    EXPECT_EQ(read(fds[0], &c, 1), 1);
    close(fds[0]);
    kill(child, SIGKILL);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    return child;
}

// Kills a write of `newBytes` over `oldBytes` at each of its four stages. Returns the
// number of temporary files the killed writes left.
size_t KillAtEachStage(TempFolder& dir, const std::string& fileName, const std::string& oldBytes,
                       const std::string& newBytes, const Write& write) {
    struct Stage {
        const char* name;
        FileSystemCalls calls;
        bool renamed;
    };
    Stage stages[4] = {{"half written", {}, false},
                       {"written, not synced", {}, false},
                       {"synced, not renamed", {}, false},
                       {"renamed", {}, true}};
    stages[0].calls.write = HalfWrittenThenWait;
    stages[1].calls.fsync = WrittenButNotSynced;
    stages[2].calls.rename = SyncedButNotRenamed;
    stages[3].calls.rename = RenamedThenWait;
    const std::string target = dir / fileName;
    size_t leftovers = 0;
    for (const Stage& stage : stages) {
        SCOPED_TRACE(stage.name);
        WriteBytes(target, oldBytes);
        const pid_t child = WriteAndKill(write, stage.calls);
        EXPECT_EQ(ReadBytes(target), stage.renamed ? newBytes : oldBytes);
        // Until the rename the killed write's bytes sit in its hidden temporary file.
        const std::string prefix = "." + fileName + "." + std::to_string(child) + "-";
        size_t mine = 0;
        for (const std::string& name : dir.Entries()) mine += name.rfind(prefix, 0) == 0;
        EXPECT_EQ(mine, stage.renamed ? 0u : 1u);
        leftovers += mine;
    }
    return leftovers;
}

TEST(KilledSave, TheFileIsTheOldOneOrTheWholeNewOneAndTheNextSaveTidiesUp) {
    TempFolder dir;
    const std::string target = dir / "pomiar.txt";
    Table before(3);
    ASSERT_TRUE(before.Save(target).written());
    const std::string oldBytes = ReadBytes(target);
    Table after(20000);
    const std::string newBytes = after.Bytes();
    ASSERT_FALSE(newBytes.empty());
    ASSERT_NE(oldBytes, newBytes);
    const size_t leftovers =
        KillAtEachStage(dir, "pomiar.txt", oldBytes, newBytes,
                        [&](const FileSystemCalls& calls) { after.Save(target, calls); });
    ASSERT_EQ(leftovers, 3u);
    // Files that are not leftovers of this target, or whose process still runs, stay.
    const std::string running = ".pomiar.txt." + std::to_string(getppid()) + "-7.tmp";
    const std::set<std::string> others = {running, ".inny.txt.999999999-0.tmp", "pomiar.txt.bak",
                                          ".pomiar.txt.12x-0.tmp"};
    for (const std::string& name : others) WriteBytes(dir / name, "x");

    ASSERT_TRUE(after.Save(target).written());
    EXPECT_EQ(ReadBytes(target), newBytes);
    std::set<std::string> expected = others;
    expected.insert("pomiar.txt");
    EXPECT_EQ(dir.Entries(), expected);
}

// The settings written at a close, killed at each stage: "config.ini" keeps the previous
// settings whole until the rename, and the next close's write tidies up.
TEST(KilledSave, KilledSettingsWriteLeavesThePreviousSettingsForTheNextStart) {
    TempFolder dir;
    const std::string target = dir / kSettingsFileName;
    AppSettings before, after;
    before.samplePeriodMs = 500;
    after.portName = "ttyACM0";
    after.channelActive = {true, false, true};
    const std::string newBytes = FormatSettings(after);
    const size_t leftovers = KillAtEachStage(
        dir, kSettingsFileName, FormatSettings(before), newBytes,
        [&](const FileSystemCalls& calls) { WriteFileAtomically(target, newBytes, calls); });
    EXPECT_EQ(leftovers, 3u);
    ASSERT_TRUE(WriteFileAtomically(target, newBytes).ok());
    EXPECT_EQ(dir.Entries(), std::set<std::string>{kSettingsFileName});
}

}  // namespace
