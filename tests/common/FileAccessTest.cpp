#include "FileAccess.h"
#include "OutputCapture.h"
#include "Platform.h"
#include "TestSupport.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace fixture;
using commontest::CaptureOutput;

namespace {

std::wstring W(const std::string& s) { return WideFromUtf8(s); }

// Holds an exclusive lock on a file from another process for a while.
class LockHolder {
public:
    LockHolder(const std::string& path, unsigned ms) {
        int fds[2];
        if (::pipe(fds) != 0) throw std::runtime_error("pipe");
        std::fflush(stdout);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            plat::FileLock lock;
            const char ok = lock.Acquire(path, true) ? '1' : '0';
            if (::write(fds[1], &ok, 1) != 1) ::_exit(2);
            ::usleep(ms * 1000);
            ::_exit(0);
        }
        ::close(fds[1]);
        char ok = '0';
        if (::read(fds[0], &ok, 1) != 1) ok = '0';
        ::close(fds[0]);
        m_locked = ok == '1';
    }
    ~LockHolder() {
        int st = 0;
        ::kill(m_pid, SIGKILL);  // done with it, whether it still holds the lock or not
        ::waitpid(m_pid, &st, 0);
    }
    bool Locked() const { return m_locked; }
private:
    pid_t m_pid = -1;
    bool m_locked = false;
};

double SecondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

TEST(TrainFileName, ExtensionWithOrWithoutDotAndBasesWithDot) {
    std::wstring name;
    EXPECT_EQ(MakeTrainFileName(name, L"00008901", L".035"), 1);
    EXPECT_EQ(name, L"00008901.035");
    EXPECT_EQ(MakeTrainFileName(name, L"00008901", L"035"), 1);
    EXPECT_EQ(name, L"00008901.035");
    EXPECT_EQ(MakeTrainFileName(name, L"00008901.TXT", L".035"), 1);
    EXPECT_EQ(name, L"00008901.TXT");
    EXPECT_EQ(MakeTrainFileName(name, L"00008901", nullptr), 1);
    EXPECT_EQ(name, L"00008901");
    EXPECT_EQ(MakeTrainFileName(name, L"00008901", L""), 1);
    EXPECT_EQ(name, L"00008901");
}

TEST(TrainFileName, NamesOf260CharactersAreCutAndRefused) {
    std::wstring name;
    EXPECT_EQ(MakeTrainFileName(name, std::wstring(255, L'A'), L".035"), 1);
    EXPECT_EQ(name.size(), 259u);
    EXPECT_EQ(MakeTrainFileName(name, std::wstring(256, L'A'), L"035"), 0);
    EXPECT_EQ(name.size(), 259u);
    EXPECT_EQ(name.substr(250), L"AAAAAA.03");
}

TEST(WideText, Utf8RoundTripKeepsInvalidBytes) {
    const std::string text = "Zug-\xC3\xA4\xE2\x82\xAC\xF0\x9F\x9A\x82";
    EXPECT_EQ(WideFromUtf8(text), std::wstring(L"Zug-\u00E4\u20AC\U0001F682"));
    EXPECT_EQ(Utf8FromWide(WideFromUtf8(text)), text);
    const std::string bad = "A\xFF\xC3(\xED\xA0\x80Z";  // stray, truncated and surrogate sequences
    const std::wstring w = WideFromUtf8(bad);
    EXPECT_EQ(w.front(), L'A');
    EXPECT_EQ(w.back(), L'Z');
    EXPECT_EQ(Utf8FromWide(w), bad);
}

TEST(WideText, WideFormatsWithNarrowAndWideArgumentsShareOneStream) {
    auto c = CaptureOutput([] {
        std::printf("narrow ");
        WPrintOut(L"%ls %s %d|", L"Gr\u00FC\u00DFe", "ascii", 42);
        std::printf("narrow again\n");
    });
    EXPECT_EQ(c.out, "narrow Gr\xC3\xBC\xC3\x9F" "e ascii 42|narrow again\n");
}

TEST(WholeFile, ReadFailsForMissingAndEmptyFilesWithoutTouchingTheCount) {
    TempDir d;
    WriteFileBytes(d.File("EMPTY.035"), {});
    std::vector<uint8_t> buf{1, 2, 3};
    uint32_t got = 777;
    EXPECT_EQ(ReadWholeFile(W(d.File("MISSING.035")), buf, got), 0);
    EXPECT_EQ(got, 777u);
    EXPECT_TRUE(buf.empty());
    EXPECT_EQ(ReadWholeFile(W(d.File("EMPTY.035")), buf, got), 0);
    EXPECT_EQ(got, 777u);

    WriteFileBytes(d.File("SOME.035"), {9, 8, 7});
    ASSERT_EQ(ReadWholeFile(W(d.File("some.035")), buf, got, 5), 1);  // any letter case
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(buf, (std::vector<uint8_t>{9, 8, 7, 0, 0, 0, 0, 0}));
}

TEST(WholeFile, WriteAppendAndReadInto) {
    TempDir d;
    const std::wstring name = W(d.File("T.041"));
    EXPECT_EQ(WriteNewFile(name, "abc", 3), 1);
    EXPECT_EQ(AppendToFile(name, "de", 2), 1);
    EXPECT_EQ(AppendToFile(W(d.File("NEW.LOG")), "x", 1), 1);
    EXPECT_EQ(ReadFileBytes(d.File("T.041")), (std::vector<uint8_t>{'a', 'b', 'c', 'd', 'e'}));
    EXPECT_EQ(ReadFileBytes(d.File("NEW.LOG")), (std::vector<uint8_t>{'x'}));
    EXPECT_EQ(FileExists(name), 1);
    EXPECT_EQ(FileExists(W(d.Path())), 1);
    EXPECT_EQ(FileExists(W(d.File("NONE"))), 0);

    char buf[8] = {};
    size_t n = 0;
    EXPECT_EQ(ReadFileInto(name, buf, 3, &n), 1);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(std::string(buf), "abc");
    EXPECT_EQ(ReadFileInto(name, buf, sizeof buf, &n), 1);
    EXPECT_EQ(n, 5u);
    WriteFileBytes(d.File("ZERO"), {});
    EXPECT_EQ(ReadFileInto(W(d.File("ZERO")), buf, sizeof buf, &n), 1);
    EXPECT_EQ(n, 0u);
}

TEST(WholeFile, FailuresPrintTheirMessagesOnStandardOutput) {
    TempDir d;
    const std::string noDir = d.File("NODIR/T.035");
    auto c = CaptureOutput([&] {
        EXPECT_EQ(WriteNewFile(W(noDir), "x", 1), 0);
        EXPECT_EQ(AppendToFile(W(noDir), "x", 1), 0);
        char b[4];
        EXPECT_EQ(ReadFileInto(W(d.File("MISSING")), b, 4), 0);
        EXPECT_EQ(WriteNewFile(W(d.File(std::string(300, 'N'))), "x", 1), 0);
    });
    EXPECT_EQ(c.out, "Error 3 creating file \"" + noDir + "\"\nError 3 creating file \"" + noDir +
                         "\"\nError 2 opening file \"" + d.File("MISSING") + "\"\nError 206 creating file \"" +
                         d.File(std::string(300, 'N')) + "\"\n");
    EXPECT_EQ(c.err, "");
}

TEST(SharingRetry, GivesUpWithError32AfterAboutOneSecond) {
    TempDir d;
    const std::string path = d.File("HELD.035");
    WriteFileBytes(path, {1, 2, 3});
    LockHolder holder(path, 10000);
    ASSERT_TRUE(holder.Locked());
    const auto t0 = std::chrono::steady_clock::now();
    auto c = CaptureOutput([&] { EXPECT_EQ(WriteNewFile(W(path), "new", 3), 0); });
    const double took = SecondsSince(t0);
    EXPECT_EQ(c.out, "Error 32 creating file \"" + path + "\"\n");
    EXPECT_GE(took, 0.95);
    EXPECT_LT(took, 5.0);
    EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(SharingRetry, SucceedsWhenTheOtherProcessLetsGoWithinTheSecond) {
    TempDir d;
    const std::string path = d.File("HELD.035");
    WriteFileBytes(path, {1, 2, 3});
    LockHolder holder(path, 300);
    ASSERT_TRUE(holder.Locked());
    auto c = CaptureOutput([&] {
        EXPECT_EQ(WriteNewFile(W(path), "new", 3), 1);
        EXPECT_EQ(AppendToFile(W(path), "!", 1), 1);
    });
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{'n', 'e', 'w', '!'}));
}

TEST(Log, TimestampedAndRawLinesGoToTheNamedOrDefaultFile) {
    TempDir d;
    const std::string named = d.File("RUN.LOG");
    EXPECT_EQ(WriteLog(named.c_str(), "train %s done\n", "00008901"), 1);
    EXPECT_EQ(WriteLogRaw(named.c_str(), "raw %d\n", 7), 1);
    const auto bytes = ReadFileBytes(named);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d train 00008901 done\nraw 7\n)")))
        << text;
    EXPECT_EQ(WriteLog(d.File("NODIR/X.LOG").c_str(), "x"), 0);

    EXPECT_STREQ(GetLogFileName(), "DEFAULT.LOG");
    SetLogFileName(d.File("OTHER.LOG").c_str());
    EXPECT_EQ(WriteLogRaw(nullptr, "to the default\n"), 1);
    SetLogFileName("DEFAULT.LOG");
    EXPECT_EQ(ReadFileBytes(d.File("OTHER.LOG")).size(), 15u);
}

TEST(Trace, SilentUnlessTheVariableNamesADestination) {
    TempDir d;
    ::unsetenv(kDebugTraceVariable);
    auto quiet = CaptureOutput([] { DebugTrace("invisible %d\n", 1); });
    EXPECT_EQ(quiet.out + quiet.err, "");

    const std::string file = d.File("TRACE.TXT");
    ::setenv(kDebugTraceVariable, file.c_str(), 1);
    DebugTrace("a=%d ", 1);
    DebugTrace("%s", std::string(700, 'x').c_str());  // cut at 499 characters
    ::setenv(kDebugTraceVariable, "stderr", 1);
    auto toErr = CaptureOutput([] { DebugTrace("to stderr\n"); });
    ::unsetenv(kDebugTraceVariable);
    EXPECT_EQ(toErr.err, "to stderr\n");
    EXPECT_EQ(toErr.out, "");
    EXPECT_EQ(ReadFileBytes(file).size(), 4u + 499u);
}
