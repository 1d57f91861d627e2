#include "Platform.h"
#include "PlatformTesting.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using fixture::ReadFileBytes;
using fixture::TempDir;
using fixture::WriteFileBytes;

namespace {

std::vector<uint8_t> B(std::initializer_list<uint8_t> l) { return std::vector<uint8_t>(l); }

}  // namespace

TEST(PlatformNames, ResolveIgnoresCaseAndBackslashes) {
    TempDir d;
    ::mkdir(d.File("Sub").c_str(), 0777);
    WriteFileBytes(d.File("Sub/X.01D"), B({1, 2, 3}));
    std::vector<uint8_t> got;
    ASSERT_TRUE(plat::ReadWholeFile(d.File("sub\\x.01d"), got));
    EXPECT_EQ(got, B({1, 2, 3}));
    EXPECT_EQ(plat::ResolvePath(d.File("SUB/x.01d")), d.File("Sub/X.01D"));
    EXPECT_TRUE(plat::FileExists(d.File("sUb/X.01d")));
    EXPECT_TRUE(plat::FileExists(d.File("sub")));
    EXPECT_TRUE(plat::IsDirectory(d.File("SUB")));
}

TEST(PlatformNames, CreatingReplacesExistingSpellingInsteadOfAddingAFile) {
    TempDir d;
    WriteFileBytes(d.File("X.010"), B({9}));
    ASSERT_TRUE(plat::WriteNewFile(d.File("x.010"), "ab", 2));
    EXPECT_EQ(d.List(), std::vector<std::string>{"X.010"});
    EXPECT_EQ(ReadFileBytes(d.File("X.010")), B({'a', 'b'}));
    // A new name is created exactly as spelled.
    ASSERT_TRUE(plat::WriteNewFile(d.File("new.035"), "c", 1));
    EXPECT_TRUE(fixture::PathExists(d.File("new.035")));
}

TEST(PlatformErrors, MissingFilesAndPathsGiveRecorderCodes) {
    TempDir d;
    std::vector<uint8_t> got;
    EXPECT_FALSE(plat::ReadWholeFile(d.File("none.010"), got));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    EXPECT_FALSE(plat::ReadWholeFile(d.File("nodir/none.010"), got));
    EXPECT_EQ(plat::GetLastError(), plat::kErrPathNotFound);
    EXPECT_FALSE(plat::WriteNewFile(d.File("nodir/x.010"), "a", 1));
    EXPECT_EQ(plat::GetLastError(), plat::kErrPathNotFound);
    EXPECT_FALSE(plat::DeleteFile(d.File("none.010")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    EXPECT_EQ(plat::ErrorFromErrno(ENOSPC), plat::kErrDiskFull);
    EXPECT_EQ(plat::ErrorFromErrno(EEXIST), plat::kErrFileExists);
    EXPECT_EQ(plat::ErrorFromErrno(EACCES), plat::kErrAccessDenied);
    EXPECT_EQ(plat::ErrorFromErrno(EIO), plat::kErrGeneric);
}

TEST(PlatformRead, EmptyFilesDirectoriesAndPipesDoNotRead) {
    TempDir d;
    WriteFileBytes(d.File("empty.010"), {});
    std::vector<uint8_t> got{1};
    EXPECT_FALSE(plat::ReadWholeFile(d.File("empty.010"), got));
    EXPECT_TRUE(got.empty());
    ::mkdir(d.File("dir.010").c_str(), 0777);
    EXPECT_FALSE(plat::ReadWholeFile(d.File("dir.010"), got));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
    // A pipe nobody writes to is refused at once, not waited on, and is not
    // replaced or appended to either.
    ASSERT_EQ(::mkfifo(d.File("pipe.010").c_str(), 0666), 0);
    EXPECT_FALSE(plat::ReadWholeFile(d.File("pipe.010"), got));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
    EXPECT_FALSE(plat::WriteNewFile(d.File("pipe.010"), "a", 1));
    EXPECT_FALSE(plat::AppendToFile(d.File("pipe.010"), "a", 1));
}

TEST(PlatformWrite, LongestFileNamesCanBeReplaced) {
    TempDir d;
    const std::string name = d.File(std::string(250, 'N') + ".010");
    ASSERT_TRUE(plat::WriteNewFile(name, "ab", 2));
    ASSERT_TRUE(plat::WriteNewFile(name, "cd", 2));
    EXPECT_EQ(ReadFileBytes(name), B({'c', 'd'}));
    EXPECT_EQ(d.List().size(), 1u);
}

TEST(PlatformWrite, ReadOnlyTargetIsRefusedAndKept) {
    TempDir d;
    WriteFileBytes(d.File("ro.012"), B({7, 7}));
    ::chmod(d.File("ro.012").c_str(), 0444);
    EXPECT_FALSE(plat::WriteNewFile(d.File("ro.012"), "abc", 3));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
    EXPECT_FALSE(plat::AppendToFile(d.File("ro.012"), "abc", 3));
    EXPECT_EQ(ReadFileBytes(d.File("ro.012")), B({7, 7}));
}

TEST(PlatformWrite, FailedSaveLeavesTheOldFileWholeAndNoLeftovers) {
    TempDir d;
    std::vector<uint8_t> old(1000, 0x55);
    WriteFileBytes(d.File("T.010"), old);
    std::vector<uint8_t> fresh(5000, 0xAA);
    plat::testing::SetWriteFaultAfter(1234);
    EXPECT_FALSE(plat::WriteNewFile(d.File("T.010"), fresh.data(), fresh.size()));
    plat::testing::SetWriteFaultAfter(-1);
    EXPECT_EQ(plat::GetLastError(), plat::kErrDiskFull);
    EXPECT_EQ(ReadFileBytes(d.File("T.010")), old);
    EXPECT_EQ(d.List(), std::vector<std::string>{"T.010"});
}

TEST(PlatformWrite, KilledSaveLeavesOldOrNewFileNeverAMix) {
    TempDir d;
    std::vector<uint8_t> old(4096, 0x11);
    std::vector<uint8_t> fresh(8 << 20, 0x22);
    WriteFileBytes(d.File("K.012"), old);
    for (int attempt = 0; attempt < 5; ++attempt) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (;;) plat::WriteNewFile(d.File("K.012"), fresh.data(), fresh.size());
        }
        ::usleep(20000 + attempt * 7000);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        auto now = ReadFileBytes(d.File("K.012"));
        EXPECT_TRUE(now == old || now == fresh) << "size " << now.size();
    }
}

TEST(PlatformAppend, OpensOrCreatesAndAppends) {
    TempDir d;
    ASSERT_TRUE(plat::AppendToFile(d.File("log.txt"), "ab", 2));
    ASSERT_TRUE(plat::AppendToFile(d.File("LOG.TXT"), "cd", 2));
    EXPECT_EQ(ReadFileBytes(d.File("log.txt")), B({'a', 'b', 'c', 'd'}));
}

TEST(PlatformLocks, WriterMeetingAReaderGetsSharingViolation) {
    TempDir d;
    WriteFileBytes(d.File("L.035"), B({1}));
    {
        plat::FileLock reader;
        ASSERT_TRUE(reader.Acquire(d.File("L.035"), false));
        std::vector<uint8_t> got;
        EXPECT_TRUE(plat::ReadWholeFile(d.File("L.035"), got));  // readers share
        EXPECT_FALSE(plat::WriteNewFile(d.File("L.035"), "x", 1));
        EXPECT_EQ(plat::GetLastError(), plat::kErrSharingViolation);
    }
    {
        plat::FileLock writer;
        ASSERT_TRUE(writer.Acquire(d.File("L.035"), true));
        std::vector<uint8_t> got;
        EXPECT_FALSE(plat::ReadWholeFile(d.File("L.035"), got));
        EXPECT_EQ(plat::GetLastError(), plat::kErrSharingViolation);
    }
    EXPECT_TRUE(plat::WriteNewFile(d.File("L.035"), "x", 1));
}

TEST(PlatformFind, WildcardsMatchCaseInsensitively) {
    EXPECT_TRUE(plat::WildcardMatch("*.0?0", "T.010"));
    EXPECT_TRUE(plat::WildcardMatch("t*.*", "TRAIN.035"));
    EXPECT_FALSE(plat::WildcardMatch("?.010", "AB.010"));
    EXPECT_TRUE(plat::WildcardMatch("*", ""));
    EXPECT_FALSE(plat::WildcardMatch("a*b*c*d*e*f*g", std::string(200, 'a')));

    TempDir d;
    for (const char* n : {"00008901.010", "00008901.035", "00008901", "00008902.010", "x.txt"})
        WriteFileBytes(d.File(n), B({1}));
    plat::FindFiles f;
    ASSERT_TRUE(f.FindFirst(d.Path() + "\\00008901.*"));
    std::vector<std::string> names{f.Name()};
    while (f.FindNext()) names.push_back(f.Name());
    EXPECT_EQ(names, (std::vector<std::string>{"00008901", "00008901.010", "00008901.035"}));
    EXPECT_EQ(f.Directory(), d.Path() + "/");
    EXPECT_FALSE(f.FindFirst(d.File("nothing*")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
    EXPECT_FALSE(f.FindFirst(d.File("nodir/*")));
    EXPECT_EQ(plat::GetLastError(), plat::kErrPathNotFound);
}

TEST(PlatformTime, LocalTimeIsPlausible) {
    plat::LocalTime t = plat::GetLocalTime();
    EXPECT_GE(t.year, 2020);
    EXPECT_GE(t.month, 1);
    EXPECT_LE(t.month, 12);
    EXPECT_LE(t.hour, 23);
}
