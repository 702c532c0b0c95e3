#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "AtomicFile.h"
#include "TempFolder.h"

using namespace kt::measurement;
using kt::test::ReadBytes;
using kt::test::TempFolder;
using kt::test::WriteBytes;

namespace {

const std::string kOld = "old contents\r\n";
const std::string kNew = "new contents, longer than the old ones\r\n";

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

TEST(AtomicFile, ReplacesContentsKeepingPermissionBitsAndLeavesNoTemporaryFile) {
    for (const mode_t mode : {0640, 0755, 0600, 0604}) {
        TempFolder dir;
        WriteBytes(dir / "m.txt", kOld);
        ASSERT_EQ(chmod((dir / "m.txt").c_str(), mode), 0);
        const FileWriteResult result = WriteFileAtomically(dir / "m.txt", kNew);
        EXPECT_TRUE(result.ok()) << result.reason;
        EXPECT_EQ(ReadBytes(dir / "m.txt"), kNew);
        EXPECT_EQ(ModeOf(dir / "m.txt"), mode);
        EXPECT_EQ(dir.Entries(), std::set<std::string>{"m.txt"});
    }
}

TEST(AtomicFile, NewFileFollowsTheUmaskAndAnExistingFileKeepsItsOwner) {
    TempFolder dir;
    const mode_t previous = umask(027);
    const FileWriteResult created = WriteFileAtomically(dir / "new.xls", kNew);
    umask(previous);
    ASSERT_TRUE(created.ok()) << created.reason;
    EXPECT_EQ(ModeOf(dir / "new.xls"), 0640u);

    if (geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
    ASSERT_EQ(chown((dir / "new.xls").c_str(), 1234, 4321), 0);
    ASSERT_TRUE(WriteFileAtomically(dir / "new.xls", kOld).ok());
    struct stat st {};
    ASSERT_EQ(stat((dir / "new.xls").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 4321u);
    EXPECT_EQ(ReadBytes(dir / "new.xls"), kOld);
}

TEST(AtomicFile, FollowsSymbolicLinksToTheirFinalTargetAndKeepsTheLinks) {
    TempFolder dir;
    ASSERT_EQ(mkdir((dir / "data").c_str(), 0755), 0);
    WriteBytes(dir / "data/target.txt", kOld);
    ASSERT_EQ(chmod((dir / "data/target.txt").c_str(), 0664), 0);
    // A relative link into another folder, and an absolute link to that link.
    ASSERT_EQ(symlink("data/target.txt", (dir / "near").c_str()), 0);
    ASSERT_EQ(symlink((dir / "near").c_str(), (dir / "far").c_str()), 0);

    const FileWriteResult result = WriteFileAtomically(dir / "far", kNew);
    ASSERT_TRUE(result.ok()) << result.reason;
    EXPECT_EQ(result.targetPath, dir / "data/target.txt");
    EXPECT_EQ(ReadBytes(dir / "data/target.txt"), kNew);
    EXPECT_EQ(ModeOf(dir / "data/target.txt"), 0664u);
    char link[256] = {};
    ASSERT_GT(readlink((dir / "near").c_str(), link, sizeof link - 1), 0);
    EXPECT_STREQ(link, "data/target.txt");
    EXPECT_EQ(dir.Entries("data"), std::set<std::string>{"target.txt"});

    // A link to a file not there yet creates the file and keeps the link.
    ASSERT_EQ(symlink("later.txt", (dir / "pending").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomically(dir / "pending", kNew).ok());
    EXPECT_EQ(ReadBytes(dir / "later.txt"), kNew);
    struct stat st {};
    ASSERT_EQ(lstat((dir / "pending").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// Fault injections: each fails one step the way a real disk can.
ssize_t FullDiskAfterFiveBytes(int fd, const void* data, size_t size) {
    static bool first = true;
    if (first || size < 5) {
        first = false;
        return ::write(fd, data, size < 5 ? size : 5);
    }
    first = true;
    errno = ENOSPC;
    return -1;
}
int SyncFails(int) {
    errno = EIO;
    return -1;
}
int RenameRefused(const char*, const char*) {
    errno = EACCES;
    return -1;
}

TEST(AtomicFile, FailedStepsReportTheSystemReasonAndKeepTheOldFileByteForByte) {
    struct Case {
        const char* name;
        FileSystemCalls calls;
        int error;
        const char* step;
    };
    FileSystemCalls fullDisk, badSync, badRename;
    fullDisk.write = FullDiskAfterFiveBytes;
    badSync.fsync = SyncFails;
    badRename.rename = RenameRefused;
    const Case cases[] = {
        {"disk full after a partial write", fullDisk, ENOSPC, "write"},
        {"sync fails", badSync, EIO, "fsync"},
        {"rename refused", badRename, EACCES, "rename"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder dir;
        WriteBytes(dir / "m.txt", kOld);
        const FileWriteResult result = WriteFileAtomically(dir / "m.txt", kNew, c.calls);
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.step, c.step);
        EXPECT_EQ(result.reason, std::strerror(c.error));
        EXPECT_EQ(ReadBytes(dir / "m.txt"), kOld);
        EXPECT_EQ(dir.Entries(), std::set<std::string>{"m.txt"});
    }
}

TEST(AtomicFile, RefusesTargetsThatCannotBeReplacedByARegularFile) {
    TempFolder dir;
    WriteBytes(dir / "plain", kOld);
    ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    ASSERT_EQ(symlink("loop-b", (dir / "loop-a").c_str()), 0);
    ASSERT_EQ(symlink("loop-a", (dir / "loop-b").c_str()), 0);
    const std::set<std::string> before = dir.Entries();
    struct Case {
        const char* name;
        int error;
    };
    const Case cases[] = {
        {"plain/m.txt", ENOTDIR},  // the folder is a regular file
        {"missing/m.txt", ENOENT}, {"folder", EISDIR}, {"pipe", EINVAL},
        {"loop-a", ELOOP},         {"", ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FileWriteResult result =
            WriteFileAtomically(std::string(c.name).empty() ? "" : dir / c.name, kNew);
        EXPECT_EQ(result.error, c.error);
        EXPECT_FALSE(result.reason.empty());
    }
    EXPECT_EQ(dir.Entries(), before);
    EXPECT_EQ(ReadBytes(dir / "plain"), kOld);
    struct stat st {};
    ASSERT_EQ(lstat((dir / "pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Runs a write in a child process (whose limits or user it may change) and returns its
// errno when the write failed at `step` with the system's text for `error`; -1 otherwise.
int FailedStepInChild(int error, const std::string& step,
                      const std::function<FileWriteResult()>& write) {
    const pid_t child = fork();
    if (child == 0) {
        const FileWriteResult result = write();
        const bool explained =
            error == 0 ? result.ok() : result.reason == std::strerror(error) && result.step == step;
        _exit(explained ? result.error : 101);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status) == 101 ? -1 : WEXITSTATUS(status);
}

// A read-only file in a writable folder: renaming over it would replace it, but the user
// may not write it, so it stays byte for byte and the save says why. Run as a user
// without root's rights over files (root drops to nobody in a child).
TEST(AtomicFile, ReadOnlyFileInAWritableFolderStaysAsItIs) {
    TempFolder dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    WriteBytes(dir / "config.ini", kOld);
    ASSERT_EQ(chmod((dir / "config.ini").c_str(), 0444), 0);
    const int error = FailedStepInChild(EACCES, "open", [&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
        return WriteFileAtomically(dir / "config.ini", kNew);
    });
    EXPECT_EQ(error, EACCES);
    EXPECT_EQ(ReadBytes(dir / "config.ini"), kOld);
    EXPECT_EQ(dir.Entries(), std::set<std::string>{"config.ini"});
}

TEST(AtomicFile, FileSizeLimitFailsTheWriteWithEfbigEvenForRoot) {
    TempFolder dir;
    WriteBytes(dir / "m.txt", kOld);
    const std::string big(64 * 1024, 'x');
    const int error = FailedStepInChild(EFBIG, "write", [&] {
        signal(SIGXFSZ, SIG_IGN);  // the write then fails with EFBIG instead of a signal
        const struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        return WriteFileAtomically(dir / "m.txt", big);
    });
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(ReadBytes(dir / "m.txt"), kOld);
    EXPECT_EQ(dir.Entries(), std::set<std::string>{"m.txt"});
}

}  // namespace

// A folder the user may not write: no temporary file can be made beside the target, so a
// writable file is rewritten in place, and a read-only one still stays as it is.
TEST(AtomicFile, WritableFileInAFolderTheUserMayNotWriteIsRewrittenInPlace) {
    TempFolder dir;
    WriteBytes(dir / "config.ini", kOld);
    WriteBytes(dir / "locked.ini", kOld);
    ASSERT_EQ(chmod((dir / "config.ini").c_str(), 0666), 0);
    ASSERT_EQ(chmod((dir / "locked.ini").c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    const auto asNobody = [](const std::function<FileWriteResult()>& write) {
        return [write] {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
            return write();
        };
    };
    const int written = FailedStepInChild(
        0, "", asNobody([&] { return WriteFileAtomically(dir / "config.ini", kNew); }));
    const int refused = FailedStepInChild(
        EACCES, "open", asNobody([&] { return WriteFileAtomically(dir / "locked.ini", kNew); }));
    ASSERT_EQ(chmod(dir.path().c_str(), 0700), 0);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(ReadBytes(dir / "config.ini"), kNew);
    EXPECT_EQ(ModeOf(dir / "config.ini"), 0666u);
    EXPECT_EQ(refused, EACCES);
    EXPECT_EQ(ReadBytes(dir / "locked.ini"), kOld);
    EXPECT_EQ((dir.Entries()), (std::set<std::string>{"config.ini", "locked.ini"}));
}
