#include "ExceptionGuard.h"
#include "OutputCapture.h"
#include "Tag.h"
#include "TestSupport.h"
#include "ToolFrame.h"
#include "TrainFileBuilder.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

using namespace fixture;
using commontest::CaptureOutput;
using commontest::RunInChild;

namespace {

std::wstring W(const std::string& s) { return WideFromUtf8(s); }

struct Args {
    explicit Args(std::vector<std::wstring> a) : words(std::move(a)) {
        for (auto& w : words) ptrs.push_back(w.data());
        ptrs.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(words.size()); }
    wchar_t** argv() { return ptrs.data(); }
    std::vector<std::wstring> words;
    std::vector<wchar_t*> ptrs;
};

UsageText TestUsage() {
    return UsageText{L"\"TRAINFILE BASE NAME\"",
                     [](const wchar_t* indent) { WPrintOut(L"\n%lsDoes the test thing.\n", indent); }, "Apr 23 2025",
                     "11:52:21"};
}

}  // namespace

TEST(BaseName, WildcardsAreRefusedFirstOnStandardOutput) {
    CToolContext ctx;
    std::wstring dest;
    auto c = CaptureOutput([&] { EXPECT_EQ(ctx.ValidateBaseName(L"0000?901.035", dest, kBaseNameLabel), 0); });
    EXPECT_EQ(ctx.m_nStatus, kStatusWildcard);
    EXPECT_EQ(c.out, "\nTRAINFILE BASE NAME must not contain (?*) wildcards!\n");
    EXPECT_EQ(c.err, "");
    EXPECT_EQ(ctx.ValidateBaseName(L"0000*", dest, kBaseNameLabel), 0);
    EXPECT_EQ(ctx.m_nStatus, kStatusWildcard);
}

TEST(BaseName, ExtensionsAreRefusedOnStandardError) {
    CToolContext ctx;
    std::wstring dest;
    auto c = CaptureOutput([&] { EXPECT_EQ(ctx.ValidateBaseName(L"dir.d/00008901", dest, kBaseNameLabel), 0); });
    EXPECT_EQ(ctx.m_nStatus, kStatusExtension);
    EXPECT_EQ(c.err, "\nTRAINFILE BASE NAME must not contain extension.\n");
    EXPECT_EQ(c.out, "");
}

TEST(BaseName, StoredUpperCasedAndCutAt259) {
    CToolContext ctx;
    Args a({L"prog", L"train\u00e4b", L"surplus"});
    EXPECT_EQ(ctx.ParseBaseNameArgument(a.argc(), a.argv()), 1);
    EXPECT_EQ(ctx.m_nStatus, kStatusSuccess);
    EXPECT_EQ(ctx.m_szBaseName, L"TRAIN\u00e4B");  // only a-z change, so names still match the disk

    Args longName({L"prog", std::wstring(300, L'x')});
    EXPECT_EQ(ctx.ParseBaseNameArgument(longName.argc(), longName.argv()), 1);
    EXPECT_EQ(ctx.m_szBaseName, std::wstring(259, L'X'));

    Args none({L"prog"});
    EXPECT_EQ(ctx.ParseBaseNameArgument(none.argc(), none.argv()), 0);
    EXPECT_EQ(ctx.m_nStatus, kStatusUsage);
    EXPECT_TRUE(ctx.m_szBaseName.empty());

    // An empty name passes the checks; opening the files it names fails later.
    Args empty({L"prog", L""});
    auto c = CaptureOutput([&] { EXPECT_EQ(ctx.ParseBaseNameArgument(empty.argc(), empty.argv()), 1); });
    EXPECT_EQ(ctx.m_nStatus, kStatusSuccess);
    EXPECT_TRUE(ctx.m_szBaseName.empty());
    EXPECT_EQ(c.out + c.err, "");
}

TEST(BaseName, ComposedNameIsUpperCasedOrRefusedWhenTooLong) {
    CToolContext ctx;
    ctx.m_nStatus = 0;
    CTag tag;
    EXPECT_EQ(ctx.SetTrainFileName(tag, L"dir/t8901", L".o12"), 1);
    EXPECT_EQ(tag.GetFileName(), L"DIR/T8901.O12");

    const std::wstring base(256, L'B');
    auto c = CaptureOutput([&] { EXPECT_EQ(ctx.SetTrainFileName(tag, base.c_str(), L".035"), 0); });
    EXPECT_EQ(ctx.m_nStatus, kStatusNameTooLong);
    EXPECT_EQ(c.err, "\nTRAINFILE BASE NAME length plus extension exceeds 260, the max allowed, TRAINFILE BASE NAME <<<" +
                         std::string(256, 'B') + ">>>, extension <<<.035>>>.\n");
    EXPECT_EQ(c.out, "");
    // The refused name is not kept: the object cannot open some other file.
    EXPECT_TRUE(tag.GetFileName().empty());
}

TEST(OpenTrainFile, MissingAndZeroLengthFilesAreShorterThanTheHeader) {
    TempDir d;
    WriteFileBytes(d.File("ZERO.035"), {});
    for (const char* n : {"MISSING.035", "ZERO.035"}) {
        CToolContext ctx;
        ctx.m_nStatus = 0;
        CTag tag(W(d.File(n)).c_str(), L"");
        auto c = CaptureOutput([&] { EXPECT_EQ(ctx.OpenTrainFile(tag, 0), 0); });
        EXPECT_EQ(ctx.m_nStatus, kStatusTooShort) << n;
        EXPECT_EQ(c.err, "\nOpen failed 32762, file <<<" + d.File(n) + ">>> length 0 less than header length 64.\n");
        EXPECT_EQ(c.out, "");
        EXPECT_FALSE(tag.HasData());
    }
}

TEST(OpenTrainFile, FortyByteFileReportsItsLength) {
    TempDir d;
    WriteFileBytes(d.File("SHORT.010"), std::vector<uint8_t>(40, 0xAB));
    CToolContext ctx;
    ctx.m_nStatus = 0;
    CTag tag(W(d.File("SHORT")).c_str(), L"010");
    auto c = CaptureOutput([&] { EXPECT_EQ(ctx.OpenTrainFile(tag, 1), 0); });
    EXPECT_EQ(ctx.m_nStatus, kStatusTooShort);
    EXPECT_EQ(c.err, "\nOpen failed 32762, file <<<" + d.File("SHORT.010") + ">>> length 40 less than header length 64.\n");
    EXPECT_EQ(tag.GetHeaderField(layout::header::kFormat), 0u);  // the header stays zero
}

TEST(OpenTrainFile, SixtyFourByteFileIsEmptyUnlessAllowed) {
    TempDir d;
    TrainFileBuilder().Count(5).RecordLength(8).Write(d.File("HDR.010"));
    CToolContext ctx;
    ctx.m_nStatus = 0;
    CTag tag(W(d.File("HDR.010")).c_str());
    auto c = CaptureOutput([&] { EXPECT_EQ(ctx.OpenTrainFile(tag, 0), 0); });
    EXPECT_EQ(ctx.m_nStatus, kStatusEmpty);
    EXPECT_EQ(c.err, "\nEmpty file <<<" + d.File("HDR.010") + ">>>.\n");

    CToolContext allow;
    allow.m_nStatus = 0;
    CTag again(W(d.File("HDR.010")).c_str());
    EXPECT_EQ(allow.OpenTrainFile(again, 1), 1);
    EXPECT_EQ(allow.m_nStatus, 0);
    EXPECT_EQ(again.GetCount(), 0);  // a header without data has no entries
}

TEST(OpenTrainFile, ToolsMayNumberTheFailuresThemselves) {
    TempDir d;
    TrainFileBuilder().Write(d.File("NONE.055"));
    const OpenFailureCodes lower{32762, 32761, 32760};
    CToolContext ctx;
    CTag missing(W(d.File("X.055")).c_str());
    auto c = CaptureOutput([&] { ctx.OpenTrainFile(missing, 0, lower); });
    EXPECT_EQ(ctx.m_nStatus, 32761);
    EXPECT_NE(c.err.find("Open failed 32761,"), std::string::npos);
    CTag empty(W(d.File("NONE.055")).c_str());
    CaptureOutput([&] { ctx.OpenTrainFile(empty, 0, lower); });
    EXPECT_EQ(ctx.m_nStatus, 32760);
}

TEST(OpenTrainFile, UnnamedObjectReportsTheSystemError) {
    CToolContext ctx;
    CTag tag;
    auto c = CaptureOutput([&] { EXPECT_EQ(ctx.OpenTrainFile(tag, 0), 0); });
    EXPECT_EQ(ctx.m_nStatus, kStatusOpenFailed);
    EXPECT_EQ(c.out, "ERROR: CTag m_szFileName not set.\n");
    EXPECT_EQ(c.err.rfind("\nOpen failed ", 0), 0u);
    EXPECT_NE(c.err.find(", file <<<>>>.\n"), std::string::npos);
}

TEST(OpenTrainFile, SuccessSelectsTheFirstEntry) {
    TempDir d;
    TrainFileBuilder().Add(Record(8).U32(0, 11)).Add(Record(8).U32(0, 22)).Write(d.File("OK.007"));
    CToolContext ctx;
    ctx.m_nStatus = 0;
    CTag tag;
    ASSERT_EQ(ctx.SetTrainFileName(tag, W(d.File("ok")).c_str(), L"007"), 1);
    ASSERT_EQ(ctx.OpenTrainFile(tag, 0), 1);
    EXPECT_EQ(ctx.m_nStatus, 0);
    EXPECT_EQ(tag.GetIndex(), 0);
    EXPECT_EQ(tag.GetTime(), 11);
}

TEST(Frame, UsageTextFollowsTheCommandLineStatus) {
    const char* argv[] = {"./Tool", nullptr};
    int32_t status = 0;
    auto c = CaptureOutput([&] {
        status = WideMain(1, const_cast<char**>(argv), [](int, wchar_t**) { return int32_t{kStatusUsage}; },
                          TestUsage());
    });
    EXPECT_EQ(status, kStatusUsage);
    EXPECT_EQ(c.out, "\nUsage: ./Tool \"TRAINFILE BASE NAME\"\n\n       Does the test thing.\n\nBuilt: Apr 23 2025 11:52:21\n");

    UsageText stamped = TestUsage();
    stamped.date = "Thu May  8 11:52:21 2025";
    stamped.time = nullptr;
    auto s = CaptureOutput([&] { PrintUsage(L"Tool", stamped); });
    EXPECT_EQ(s.out.substr(s.out.size() - 33), "\nBuilt: Thu May  8 11:52:21 2025\n");
}

TEST(Frame, ArgumentsArriveAsWideStringsAndOtherStatusesPassThrough) {
    const char* argv[] = {"Tool", "z\xC3\xBCg", "x", nullptr};
    std::wstring seen;
    int seenArgc = 0;
    int32_t status = 0;
    auto c = CaptureOutput([&] {
        status = WideMain(3, const_cast<char**>(argv),
                          [&](int argc, wchar_t** wargv) {
                              seenArgc = argc;
                              seen = wargv[1];
                              return int32_t{kStatusWildcard};
                          },
                          TestUsage());
    });
    EXPECT_EQ(status, kStatusWildcard);
    EXPECT_EQ(seenArgc, 3);
    EXPECT_EQ(seen, L"z\u00FCg");
    EXPECT_EQ(c.out, "");  // no usage text
}

TEST(ExceptionGuard, EscapingCppExceptionIsReported) {
    const char* argv[] = {"Tool", nullptr};
    int32_t status = 0;
    auto c = CaptureOutput([&] {
        status = WideMain(1, const_cast<char**>(argv),
                          [](int, wchar_t**) -> int32_t {
                              std::printf("working\n");
                              throw std::runtime_error("lost");
                          },
                          TestUsage(), GuardMode::Guarded);
    });
    EXPECT_EQ(status, kStatusException);
    EXPECT_EQ(c.out, "working\n\n!!! SYSTEM EXCEPTION !!! Code:0xE06D7363\n");
}

namespace {

// Faults the guard must catch. The division is kept out of the sanitizer's
// reach so the processor itself reports it.
__attribute__((noinline, no_sanitize("undefined"))) int Divide(int a, int b) {
    volatile int x = a, y = b;
    return x / y;
}

__attribute__((noinline, no_sanitize("address", "undefined"))) int ReadBadAddress() {
    volatile uintptr_t where = 0x10;
    return *reinterpret_cast<volatile int*>(where);
}

int GuardedChild(int (*fault)()) {
    const char* argv[] = {"Wipezero", "00008901", nullptr};
    return WideMain(2, const_cast<char**>(argv),
                    [fault](int, wchar_t**) -> int32_t {
                        std::printf("before the fault");  // still buffered when the fault strikes
                        return fault();
                    },
                    TestUsage(), GuardMode::Guarded);
}

}  // namespace

TEST(ExceptionGuard, AccessViolationEndsTheRunWith32758) {
    auto r = RunInChild([] { return GuardedChild([] { return ReadBadAddress(); }); });
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, kStatusException & 0xFF);
    EXPECT_EQ(r.out, "before the fault\n!!! SYSTEM EXCEPTION !!! Code:0xC0000005 EXCEPTION_ACCESS_VIOLATION\n");
}

TEST(ExceptionGuard, IntegerDivisionByZeroHasItsOwnCode) {
    auto r = RunInChild([] { return GuardedChild([] { return Divide(7, 0); }); });
    EXPECT_EQ(r.exitCode, 246);
    EXPECT_EQ(r.out, "before the fault\n!!! SYSTEM EXCEPTION !!! Code:0xC0000094\n");
}

TEST(ExceptionGuard, IllegalInstructionIsReported) {
    auto r = RunInChild([] {
        return GuardedChild([] {
            __builtin_trap();
            return 0;
        });
    });
    EXPECT_EQ(r.exitCode, 246);
    EXPECT_EQ(r.out, "before the fault\n!!! SYSTEM EXCEPTION !!! Code:0xC000001D\n");
}

TEST(ExceptionGuard, HandlersAreRemovedAfterTheRun) {
    auto r = RunInChild([] {
        struct sigaction before{}, after{};
        ::sigaction(SIGSEGV, nullptr, &before);
        RunGuarded([] { return int32_t{0}; });
        ::sigaction(SIGSEGV, nullptr, &after);
        if (before.sa_sigaction != after.sa_sigaction) return 99;
        const char* argv[] = {"Tool", nullptr};
        // A normal run returns its status and prints nothing of the guard.
        const int32_t st = WideMain(1, const_cast<char**>(argv), [](int, wchar_t**) { return int32_t{3}; },
                                    TestUsage(), GuardMode::Guarded);
        return st;
    });
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "");
}
