// How edgemill treats outputs it may not touch, a full disk and the
// temporaries a killed earlier save left behind.
#include "DetectorEdges.h"
#include "Edgemill.h"
#include "PlatformTesting.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace fixture;

namespace {

constexpr int kShellCannotOpen = 254;

struct Outputs {
    TempDir dir;
    TrainFileBuilder io = IoFileBuilder();
    RunResult Run() {
        io.Write(dir.File("T.007"));
        return RunProgram(ProgramPath("edgemill"), {"T"}, dir.Path());
    }
    std::vector<uint8_t> Read(const char* name) const { return ReadFileBytes(dir.File(name)); }
};

// What EdgemillMain prints, run in this process.
std::string RunInProcess(const std::string& base) {
    FILE* out = std::tmpfile();
    const char* argv[] = {"edgemill", base.c_str()};
    EdgemillMain(2, argv, out);
    std::string text;
    std::rewind(out);
    for (int c; (c = std::fgetc(out)) != EOF;) text.push_back(static_cast<char>(c));
    std::fclose(out);
    return text;
}

const char* const kCannotOpen = "\nCannot open file(s) T.007 or T.010 or T.011\n";

}  // namespace

TEST(EdgemillOutputs, AReadOnlyOutputIsKeptAndTheRunFailsBeforeWritingAnything) {
    // Not pre-processed: both outputs would be removed.
    Outputs t;
    t.io.Header(layout::io::kRecorderVersion, 0);
    Edges(t.io, 0, "A AB B -");
    WriteFileBytes(t.dir.File("T.010"), {1, 2, 3});
    WriteFileBytes(t.dir.File("T.011"), {4, 5});
    ::chmod(t.dir.File("T.010").c_str(), 0444);
    RunResult r = t.Run();
    EXPECT_EQ(r.status, kShellCannotOpen);
    EXPECT_EQ(r.out, std::string(kCannotOpen) + "Error 5 writing file \"T.010\"\n");
    EXPECT_EQ(t.Read("T.010"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(t.Read("T.011"), (std::vector<uint8_t>{4, 5}));

    ::chmod(t.dir.File("T.010").c_str(), 0644);  // writable again: the run does its work
    EXPECT_NE(t.Run().status, kShellCannotOpen);
    EXPECT_EQ(t.dir.List(), std::vector<std::string>{"T.007"});
}

TEST(EdgemillOutputs, AFailedRunKeepsADanglingLinkUnderAnOutputName) {
    Outputs t;
    Edges(t.io, 0, "A AB B -");
    ASSERT_EQ(::symlink("gone/T.010", t.dir.File("T.010").c_str()), 0);
    WriteFileBytes(t.dir.File("T.011"), {4});
    ::chmod(t.dir.File("T.011").c_str(), 0444);
    EXPECT_EQ(t.Run().status, kShellCannotOpen);
    struct stat st{};
    EXPECT_EQ(::lstat(t.dir.File("T.010").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(EdgemillOutputs, AFullDiskNamesTheErrorAndLeavesBothOutputsAsTheyWere) {
    Outputs t;
    Edges(t.io, 0, "A AB B - B AB A - A AB B -");  // .010: one axle (72 bytes), .011: three passages
    t.io.Write(t.dir.File("T.007"));
    WriteFileBytes(t.dir.File("T.010"), {1});
    WriteFileBytes(t.dir.File("T.011"), {2});
    // The .010 fits on the disk, the .011 does not.
    plat::testing::SetWriteFaultAfter(80);
    const std::string out = RunInProcess(t.dir.File("T"));
    plat::testing::SetWriteFaultAfter(-1);
    EXPECT_NE(out.find("Error 112 writing file \"" + t.dir.File("T.011") + "\"\n"), std::string::npos) << out;
    EXPECT_EQ(t.Read("T.010"), std::vector<uint8_t>{1});
    EXPECT_EQ(t.Read("T.011"), std::vector<uint8_t>{2});
    EXPECT_EQ(t.dir.List(), (std::vector<std::string>{"T.007", "T.010", "T.011"}));
}

TEST(EdgemillOutputs, TemporariesOfAKilledSaveGoWithTheNextRun) {
    Outputs t;
    Edges(t.io, 0, "A AB B -");
    WriteFileBytes(t.dir.File(".T.010.saving.000000"), std::vector<uint8_t>(4096, 7));
    WriteFileBytes(t.dir.File(".T.011.saving.000003"), std::vector<uint8_t>(4096, 7));
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(t.dir.List(), (std::vector<std::string>{"T.007", "T.010", "T.011"}));
}
