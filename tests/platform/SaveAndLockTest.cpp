// Saves that leave nothing behind, deletes that keep what a save would keep,
// and the per-train locks that keep two programs off one train.
#include "Platform.h"
#include "PlatformTesting.h"
#include "TestSupport.h"
#include "TrainLock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <strings.h>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace fixture;

namespace {

std::vector<uint8_t> B(std::initializer_list<uint8_t> v) { return v; }

// Runs fn in a child process (with the train locks on) and returns its exit
// status.
pid_t StartChild(const std::function<int()>& fn) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        plat::testing::SetTrainLocking(true);
        ::_exit(fn());
    }
    return pid;
}

int Wait(pid_t pid) {
    int st = 0;
    ::waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// Every test gets a lock file of its own, so parallel test runs never meet.
class TrainLocks : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TRAIN_LOCK_FILE", locks.File("locks").c_str(), 1);
        plat::testing::SetTrainLocking(false);
    }
    void TearDown() override {
        plat::testing::SetTrainLocking(true);
        ::unsetenv("TRAIN_LOCK_FILE");
        ::unsetenv("TRAIN_LOCK_WAIT_MS");
    }
    TempDir locks;
};

}  // namespace

TEST(PlatformReplace, ReadOnlyFilesAreNeitherDeletedNorReplaced) {
    TempDir d;
    WriteFileBytes(d.File("T.010"), B({1, 2}));
    ::chmod(d.File("T.010").c_str(), 0444);
    EXPECT_FALSE(plat::CanReplaceFile(d.File("T.010")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
    EXPECT_FALSE(plat::DeleteFile(d.File("t.010")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
    EXPECT_EQ(ReadFileBytes(d.File("T.010")), B({1, 2}));

    ::mkdir(d.File("T.011").c_str(), 0755);
    EXPECT_FALSE(plat::CanReplaceFile(d.File("T.011")));
    EXPECT_TRUE(plat::CanReplaceFile(d.File("T.012")));  // absent: it would be created
    EXPECT_FALSE(plat::CanReplaceFile(d.File("nodir/T.012")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrPathNotFound);
    WriteFileBytes(d.File("T.012"), B({3}));
    EXPECT_TRUE(plat::CanReplaceFile(d.File("T.012")));
    EXPECT_TRUE(plat::DeleteFile(d.File("T.012")));
}

TEST(PlatformPendingSave, NothingChangesBeforeCommitAndADiscardLeavesNoTrace) {
    TempDir d;
    WriteFileBytes(d.File("T.010"), B({1}));
    {
        plat::PendingSave a, b;
        ASSERT_TRUE(a.Prepare(d.File("T.010"), "\x07\x08", 2));
        ASSERT_TRUE(b.Prepare(d.File("T.011"), "\x09", 1));
        EXPECT_EQ(ReadFileBytes(d.File("T.010")), B({1}));
        EXPECT_FALSE(PathExists(d.File("T.011")));
        EXPECT_EQ(d.List().size(), 3u);  // the target and two temporaries
        ASSERT_TRUE(a.Commit());
        // b is dropped without Commit.
    }
    EXPECT_EQ(ReadFileBytes(d.File("T.010")), B({7, 8}));
    EXPECT_EQ(d.List(), std::vector<std::string>{"T.010"});
}

TEST(PlatformPendingSave, AKilledSaveLeavesATemporaryThatTheNextSaveRemoves) {
    TempDir d;
    std::vector<uint8_t> big(16 << 20, 0x5A);
    WriteFileBytes(d.File("K.012"), B({1}));
    // Kill writers until one dies with its temporary on disk.
    bool left = false;
    for (int attempt = 0; attempt < 20 && !left; ++attempt) {
        const pid_t pid = StartChild([&] {
            for (;;) plat::WriteNewFile(d.File("K.012"), big.data(), big.size());
            return 0;
        });
        ::usleep(30000 + attempt * 5000);
        ::kill(pid, SIGKILL);
        Wait(pid);
        left = d.List().size() > 1;
    }
    ASSERT_TRUE(left) << "no save was caught mid-write";
    // A stale temporary in another slot goes too; a temporary of another
    // file, and one whose writer still lives, stay.
    WriteFileBytes(d.File(".K.012.saving.000005"), B({4}));
    WriteFileBytes(d.File(".OTHER.012.saving.000000"), B({1}));
    WriteFileBytes(d.File(".K.012.saving.000002"), B({2}));
    plat::FileLock live;
    ASSERT_TRUE(live.Acquire(d.File(".K.012.saving.000002"), true));

    ASSERT_TRUE(plat::WriteNewFile(d.File("K.012"), "\x03", 1));
    EXPECT_EQ(d.List(), (std::vector<std::string>{".K.012.saving.000002", ".OTHER.012.saving.000000", "K.012"}));
    EXPECT_EQ(ReadFileBytes(d.File("K.012")), B({3}));
}

TEST(PlatformPendingSave, SavesOfOneFileAtOnceTakeNumberedTemporaries) {
    TempDir d;
    std::vector<plat::PendingSave> saves(9);
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(saves[i].Prepare(d.File("N.010"), "x", 1)) << i;
    // An eighth save still at work is the last one a file can have.
    EXPECT_FALSE(saves[8].Prepare(d.File("N.010"), "x", 1));
    EXPECT_EQ(plat::GetLastError(), 32u);
    EXPECT_EQ(d.List().size(), 8u);
    EXPECT_EQ(d.List().front(), ".N.010.saving.000000");
    EXPECT_EQ(d.List().back(), ".N.010.saving.000007");
    ASSERT_TRUE(saves[3].Commit());
    for (auto& s : saves) s.Discard();
    EXPECT_EQ(d.List(), std::vector<std::string>{"N.010"});
}

TEST_F(TrainLocks, ConcurrentReadModifyWriteLosesNoUpdate) {
    // Each increment is one program run: read the counter, wait a little,
    // write it back one higher. Two runners at once, each run a new process.
    TempDir d;
    const std::string counter = d.File("C.001");
    WriteFileBytes(counter, B({0}));
    auto runner = [&] {
        for (int i = 0; i < 15; ++i) {
            const pid_t run = StartChild([&] {
                std::vector<uint8_t> bytes;
                if (!plat::ReadWholeFile(counter, bytes)) return 1;
                ::usleep(2000);
                bytes[0] = static_cast<uint8_t>(bytes[0] + 1);
                return plat::WriteNewFile(counter, bytes.data(), 1) ? 0 : 1;
            });
            if (Wait(run) != 0) return 1;
        }
        return 0;
    };
    const pid_t a = StartChild(runner), b = StartChild(runner);
    EXPECT_EQ(Wait(a), 0);
    EXPECT_EQ(Wait(b), 0);
    EXPECT_EQ(ReadFileBytes(counter), B({30}));
}

TEST_F(TrainLocks, ASecondProgramWaitsForTheTrainOrRefusesAfterTheLimit) {
    TempDir d;
    WriteFileBytes(d.File("T.010"), B({1}));
    WriteFileBytes(d.File("U.010"), B({2}));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    // The holder takes train T (any file of it) and keeps it for 400 ms.
    const pid_t holder = StartChild([&] {
        std::vector<uint8_t> bytes;
        plat::ReadWholeFile(d.File("t.010"), bytes);
        const char c = 1;
        if (::write(ready[1], &c, 1) != 1) return 1;
        ::usleep(400000);
        return 0;
    });
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);

    ::setenv("TRAIN_LOCK_WAIT_MS", "50", 1);
    // Another train is free; train T is refused with a sharing violation.
    const pid_t other = StartChild([&] { return plat::WriteNewFile(d.File("U.010"), "\x05", 1) ? 0 : 1; });
    const pid_t refused = StartChild([&] {
        if (plat::WriteNewFile(d.File("T.011"), "\x06", 1)) return 1;
        return plat::GetLastError() == plat::kErrSharingViolation ? 0 : 2;
    });
    EXPECT_EQ(Wait(other), 0);
    EXPECT_EQ(Wait(refused), 0);
    EXPECT_FALSE(PathExists(d.File("T.011")));

    ::setenv("TRAIN_LOCK_WAIT_MS", "5000", 1);
    const pid_t waiter = StartChild([&] { return plat::WriteNewFile(d.File("T.010"), "\x07", 1) ? 0 : 1; });
    EXPECT_EQ(Wait(waiter), 0);
    EXPECT_EQ(Wait(holder), 0);
    EXPECT_EQ(ReadFileBytes(d.File("T.010")), B({7}));
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST(PlatformNames, ListingsOfSettledDirectoriesAreReusedUntilTheDirectoryChanges) {
    // Names of more than six letters are found through the listing.
    TempDir d;
    WriteFileBytes(d.File("COMBINAR.DAT"), B({1}));
    // A directory last changed long ago: its listing is kept between lookups.
    const timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, d.Path().c_str(), past, 0), 0);
    EXPECT_EQ(plat::ResolvePath(d.File("combinar.dat")), d.File("COMBINAR.DAT"));
    EXPECT_EQ(plat::ResolvePath(d.File("passengr.cfg")), d.File("passengr.cfg"));  // missing: kept as spelled
    // A file added since changes the directory, so the next lookup sees it.
    WriteFileBytes(d.File("PASSENGR.CFG"), B({2}));
    const timespec later[2] = {{1000000100, 0}, {1000000100, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, d.Path().c_str(), later, 0), 0);
    EXPECT_EQ(plat::ResolvePath(d.File("passengr.cfg")), d.File("PASSENGR.CFG"));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(plat::ReadWholeFile(d.File("Passengr.cfg"), bytes));
    EXPECT_EQ(bytes, B({2}));
}

TEST(PlatformNames, ShortAndLongNamesResolveAlike) {
    // Up to six letters the spellings are tried one by one, beyond that the
    // listing is read: both find the same file, the first spelling in byte
    // order when a case-sensitive disk holds several, and nothing for a
    // name that differs in anything but case.
    struct Case {
        std::vector<std::string> present;
        std::string asked, found;
    } cases[] = {
        {{"00008901.010"}, "00008901.010", "00008901.010"},
        {{"ab12.0ap"}, "AB12.0AP", "ab12.0ap"},
        {{"aBcDeF.x1", "AbCdEf.x1", "abcdef.x1"}, "ABCDEF.X1", "AbCdEf.x1"},
        {{"aBcDeFg.x1", "AbCdEfG.x1", "abcdefg.x1"}, "ABCDEFG.X1", "AbCdEfG.x1"},
        {{"cmbn0001.041"}, "CMBN0001.041", "cmbn0001.041"},
        {{"cmbn0001.041"}, "CMBN0002.041", "CMBN0002.041"},
        {{"abcdef"}, "abcdef.", "abcdef."},
        {{"ä1.010"}, "Ä1.010", "Ä1.010"},  // only ASCII letters fold
    };
    for (const Case& c : cases) {
        TempDir d;
        for (const auto& name : c.present) WriteFileBytes(d.File(name), B({1}));
        EXPECT_EQ(plat::ResolvePath(d.File(c.asked)), d.File(c.found)) << c.asked;
        // A search for the name without wildcards finds every spelling.
        std::vector<std::string> expected, listed;
        for (const auto& name : c.present)
            if (strcasecmp(name.c_str(), c.asked.c_str()) == 0) expected.push_back(name);
        std::sort(expected.begin(), expected.end());
        plat::FindFiles find;
        if (find.FindFirst(d.File(c.asked))) do listed.push_back(find.Name()); while (find.FindNext());
        EXPECT_EQ(listed, expected) << c.asked;
    }
}
