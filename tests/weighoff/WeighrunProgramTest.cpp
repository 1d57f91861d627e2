// Weighrun with test doubles of the companion programs on PATH (scripts
// that log their arguments and copy prepared files), and once end to end
// with the suite's stand-ins on a simulated train.
#include "AllocLayout.h"
#include "AxleLayout.h"
#include "ComparisonFiles.h"
#include "Platform.h"
#include "TagLayout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace fixture;
using namespace weighoff_test;
namespace fs = std::filesystem;
namespace al = layout::alloc;

namespace {

// The doubles: TAGPAIR /AB2CARONLY gives the prepared axles (unless the
// scratch train has some) and allocation; plain TAGPAIR gives the prepared
// unmended consist; CONSMEND gives the prepared METHODn.037, when there is
// one. Both log their command lines.
const char* const kTagpair = R"(#!/bin/sh
echo "TAGPAIR $*" >> "$LOG"
if [ "$2" = "/AB2CARONLY" ]; then
  [ -f "$1.010" ] || cp "$PREP/axles.010" "$1.010"
  cp "$PREP/alloc.041" "$1.041"
else
  [ -f "$PREP/unmended.035" ] && cp "$PREP/unmended.035" "$1.035"
fi
exit 0
)";
const char* const kConsmend = R"(#!/bin/sh
echo "CONSMEND $*" >> "$LOG"
[ -f "$PREP/$1.037" ] && cp "$PREP/$1.037" "$1.037"
exit 0
)";

constexpr uint32_t kAxleTimes[] = {1000, 1040, 1300, 1345, 2000, 2050, 2400, 2460, 3000, 3100};

class WeighrunTest : public ::testing::Test {
protected:
    void SetUp() override {
        work = root.File("work");
        bin = root.File("bin");
        prep = root.File("prep");
        for (const auto& d : {work, bin, prep}) fs::create_directory(d);
        Script("TAGPAIR", kTagpair);
        Script("CONSMEND", kConsmend);
        TrainFileBuilder axles = AxleFileBuilder();
        for (uint16_t i = 0; i < 10; ++i) axles.Add(AxleRecord(80, 0, kAxleTimes[i], uint16_t(i + 1)));
        axles.Write(prep + "/axles.010");
        AllocFileBuilder().Add(AllocRecord({.first = 0, .last = 9, .start = 1000, .end = 3100, .egc = 5}))
            .Write(prep + "/alloc.041");
        // The train itself.
        WriteFileBytes(work + "/B.007", {1, 2, 3});
        WriteConsist(work + "/B.035", CleanTrain(2));
    }

    void Script(const std::string& name, const char* text) {
        const std::string path = bin + "/" + name;
        std::ofstream(path) << text;
        fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    }

    void Mended(int method, const std::vector<Car>& cars) {
        WriteConsist(prep + "/METHOD" + std::to_string(method) + ".037", cars);
    }

    RunResult Run(const std::vector<std::string>& args, const std::string& path = "") {
        return RunProgram(ProgramPath("Weighrun"), args, work,
                          {"PATH=" + (path.empty() ? bin : path) + ":/usr/bin:/bin", "LOG=" + root.File("log"),
                           "PREP=" + prep});
    }

    std::string Log() const {
        if (!PathExists(root.File("log"))) return "";
        const auto b = ReadFileBytes(root.File("log"));
        return {b.begin(), b.end()};
    }

    std::vector<uint8_t> Work(const std::string& name) const { return ReadFileBytes(work + "/" + name); }

    TempDir root;
    std::string work, bin, prep;
};

// Two mended consists alike but for what the case varies.
std::vector<Car> WithOddAxles(int cars, int odd) {
    auto c = CleanTrain(cars);
    for (int i = 1; i <= odd; ++i) c[size_t(i)].axles = 3;
    return c;
}

}  // namespace

TEST_F(WeighrunTest, WithoutArgumentsNothingHappens) {
    const RunResult r = Run({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Log(), "");
}

TEST_F(WeighrunTest, TheCompanionsRunInOrderOnTheScratchNamesOnly) {
    Mended(1, CleanTrain(3));
    Mended(2, CleanTrain(3));
    const RunResult r = Run({"B.035"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(Log(),
              "TAGPAIR METHOD1\nCONSMEND METHOD1\nTAGPAIR METHOD2 /AB2CARONLY\nTAGPAIR METHOD2 /AB2CARONLY\n"
              "TAGPAIR METHOD2\nCONSMEND METHOD2\n");
    // Equal figures: METHOD1 wins and its typed files replace the train's.
    EXPECT_NE(r.out.find("\n                         -------    -------\n                         WINNER!\n\n\n"),
              std::string::npos);
    EXPECT_EQ(Work("B.035"), Work("METHOD1.037"));
    EXPECT_EQ(Work("B.010"), Work("METHOD1.010"));
    EXPECT_EQ(Work("B.007"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(r.out.find("Aggregate"), std::string::npos);
}

TEST_F(WeighrunTest, MethodTwoWinsWithOneAxleErrorFewerDespiteFewerCleanCars) {
    Mended(1, WithOddAxles(5, 2));
    auto m2 = WithOddAxles(5, 1);
    m2[3].tagFlags = {0x01};  // one clean "G" car fewer
    Mended(2, m2);
    const RunResult r = Run({"B"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("#2) Odd axle count! (3)\n#3) Odd axle count! (3)\n\n#2) Odd axle count! (3)\n\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("\n                                    WINNER!\n\n\n"), std::string::npos);
    EXPECT_EQ(Work("B.035"), Work("METHOD2.035"));
    EXPECT_EQ(Work("B.041"), Work("METHOD2.041"));
}

TEST_F(WeighrunTest, TheTieBreakersComeInTheirOrder) {
    struct Case {
        const char* what;
        std::vector<Car> m1, m2;
        bool secondWins;
    };
    auto shortCar = CleanTrain(3);
    shortCar[1].length = 30;
    auto disqualified = CleanTrain(3);
    disqualified[1].tagFlags = {0, 0x02};  // disqualified, but tag 1 clean
    auto unclean = CleanTrain(3);
    unclean[1].tagFlags = {0x04};
    auto oddMarked = CleanTrain(3);
    oddMarked[1].axles = 3;
    oddMarked[1].length = 0x8000;
    const Case cases[] = {
        {"more clean G cars", unclean, CleanTrain(3), true},
        {"fewer short cars", shortCar, CleanTrain(3), true},
        {"fewer disqualifiers", CleanTrain(3), disqualified, false},
        {"a marked odd axle count is no error", CleanTrain(3), oddMarked, false},
        {"clean G cars come before short cars", CleanTrain(3), [&] {
             auto c = CleanTrain(4);
             c[2].length = 30;
             return c;
         }(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Mended(1, c.m1);
        Mended(2, c.m2);
        const RunResult r = Run({"B"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(Work("B.035"), Work(c.secondWins ? "METHOD2.037" : "METHOD1.037"));
    }
}

TEST_F(WeighrunTest, OnlyTypedFilesAreCopiedEitherWay) {
    WriteFileBytes(work + "/B.TXT", {'t'});
    WriteFileBytes(work + "/B.1AB", {'u'});
    WriteFileBytes(work + "/B.099", {});  // an empty typed file is copied too
    fs::create_directory(work + "/B.0DIR");
    Mended(1, CleanTrain(3));
    Mended(2, CleanTrain(2));
    WriteFileBytes(work + "/METHOD1.XYZ", {'s'});  // removed with the scratch files
    const RunResult r = Run({"B"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(PathExists(work + "/METHOD1.099"));
    EXPECT_TRUE(Work("METHOD1.099").empty());
    for (const char* absent : {"METHOD1.TXT", "METHOD1.1AB", "METHOD2.TXT", "METHOD1.XYZ", "METHOD1.0DIR"})
        EXPECT_FALSE(PathExists(work + "/" + absent)) << absent;
    EXPECT_EQ(Work("B.TXT"), (std::vector<uint8_t>{'t'}));
    EXPECT_EQ(Work("B.1AB"), (std::vector<uint8_t>{'u'}));
}

TEST_F(WeighrunTest, AMethodWithoutAMendedConsistIsNeverScoredNorCopiedBack) {
    // Plain TAGPAIR leaves an unmended consist that would beat METHOD2's.
    WriteConsist(prep + "/unmended.035", CleanTrain(8));
    Mended(2, WithOddAxles(4, 1));
    const RunResult r = Run({"B"});
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(PathExists(work + "/METHOD1.035"));
    EXPECT_EQ(Columns(r.out, "Total...............").first, "0");
    EXPECT_EQ(Work("B.035"), Work("METHOD2.037"));
}

TEST_F(WeighrunTest, NeitherMethodEvaluatedLeavesTheTrainAsItWas) {
    const auto before = Work("B.035");
    const RunResult r = Run({"B"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.find("WINNER!"), std::string::npos);
    EXPECT_NE(r.out.find("Neither method"), std::string::npos);
    EXPECT_EQ(Work("B.035"), before);
    EXPECT_FALSE(PathExists(work + "/B.010"));
}

TEST_F(WeighrunTest, MethodTwoIsAbandonedWhenItsAxlesHaveNoRecords) {
    AxleFileBuilder().Write(prep + "/axles.010");
    Mended(1, WithOddAxles(4, 1));
    Mended(2, CleanTrain(4));
    const RunResult r = Run({"B"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("METHOD2 abandoned"), std::string::npos);
    EXPECT_EQ(Log().find("TAGPAIR METHOD2\n"), std::string::npos);
    EXPECT_FALSE(PathExists(work + "/METHOD2.035"));
    EXPECT_EQ(Work("B.035"), Work("METHOD1.037"));
}

TEST_F(WeighrunTest, MethodTwoIsAbandonedWhenItsAllocationIsMissingAndItsAxlesAreRestored) {
    // The double's allocation goes missing: the second TAGPAIR makes none.
    fs::remove(prep + "/alloc.041");
    Mended(1, CleanTrain(3));
    Mended(2, CleanTrain(5));
    const RunResult r = Run({"B"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("METHOD2 abandoned"), std::string::npos);
    const auto axles = AxleViews(Work("METHOD2.010"));
    ASSERT_EQ(axles.size(), 10u);
    for (size_t i = 0; i < axles.size(); ++i) EXPECT_EQ(axles[i].time, kAxleTimes[i]);
    EXPECT_EQ(Work("B.035"), Work("METHOD1.037"));
}

TEST_F(WeighrunTest, TheAllocationIsTurnedBackAboutTheWholeAxleFile) {
    // On the turned train TAGPAIR allocated axles 2..5 only, leaving two
    // axles unallocated at the front and four at the rear.
    const uint32_t mirror = kAxleTimes[0] + kAxleTimes[9];
    AllocFileBuilder()
        .Add(AllocRecord({.first = 2, .last = 5, .start = mirror - kAxleTimes[7], .end = mirror - kAxleTimes[4],
                          .egc = 19, .seq = 0}))
        .Write(prep + "/alloc.041");
    Mended(1, WithOddAxles(3, 1));
    Mended(2, CleanTrain(3));
    const RunResult r = Run({"B"});
    EXPECT_EQ(r.status, 0) << r.out;
    const auto alloc = DataOf(Work("METHOD2.041"));
    ASSERT_EQ(alloc.size(), al::kRecordSize);
    // Back on the recorded axles 4..7 with their times.
    EXPECT_EQ(layout::Get(alloc, 0, al::kFirstAxle), 4u);
    EXPECT_EQ(layout::Get(alloc, 0, al::kLastAxle), 7u);
    EXPECT_EQ(layout::Get(alloc, 0, al::kStartTime), kAxleTimes[4]);
    EXPECT_EQ(layout::Get(alloc, 0, al::kEndTime), kAxleTimes[7]);
    // And the axles are in their recorded order again.
    const auto axles = AxleViews(Work("METHOD2.010"));
    ASSERT_EQ(axles.size(), 10u);
    for (size_t i = 0; i < axles.size(); ++i) EXPECT_EQ(axles[i].time, kAxleTimes[i]);
    EXPECT_EQ(Work("B.041"), Work("METHOD2.041"));
}

TEST_F(WeighrunTest, BaseNamesAreUsedLiterally) {
    Mended(1, CleanTrain(3));
    Mended(2, CleanTrain(3));
    for (const std::string name : {"a;touch X", "b c", "q'\"x", "d$HOME", "e`touch Y`", "-f", "g|touch Z&"}) {
        SCOPED_TRACE(name);
        WriteFileBytes(work + "/" + name + ".007", {7});
        fs::remove(root.File("log"));
        const RunResult r = Run({name});
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(PathExists(work + "/" + name + ".035"));
        EXPECT_EQ(Log().find(name), std::string::npos);
    }
    for (const char* stray : {"X", "Y", "Z"}) EXPECT_FALSE(PathExists(work + "/" + stray)) << stray;
    EXPECT_FALSE(PathExists(bin + "/X"));
}

TEST_F(WeighrunTest, UnusableNamesAreRefusedBeforeAnyChange) {
    WriteFileBytes(work + "/METHOD1.007", {1});
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{".035"}, "empty"},
        {{"B*"}, "wildcard"},
        {{"B?"}, "wildcard"},
        {{"method1"}, "scratch name"},
        {{"./METHOD2.035"}, "scratch name"},
        {{"NONE"}, "No files match"},
        {{"B", "B.035"}, "file of the train"},
        {{"B", "b.0XY"}, "file of the train"},
        {{"B", "METHOD1.TXT"}, "scratch file"},
        {{"B", "./method2"}, "scratch file"},
    };
    const auto before = root.List();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.status, 3);
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Nothing done."), std::string::npos);
    }
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(fs::directory_iterator(work) == fs::directory_iterator(), false);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(work)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B.007", "B.035", "METHOD1.007"}));
}

TEST_F(WeighrunTest, ARunInTheSameDirectoryWaitsForNoOtherAndChangesNothing) {
    plat::FileLock held;
    ASSERT_TRUE(held.Acquire(work, true));
    const RunResult r = Run({"B"});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(Log(), "");
    EXPECT_FALSE(PathExists(work + "/METHOD1.007"));
}

TEST_F(WeighrunTest, ACopyBackFailureIsReportedPerFile) {
    Mended(1, CleanTrain(3));
    Mended(2, CleanTrain(3));
    fs::create_directory(work + "/B.037");  // in the way of the winner's .037
    const RunResult r = Run({"B", "report.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Error 5 copying \"METHOD1.037\" to \"B.037\""), std::string::npos) << r.out;
    EXPECT_EQ(Work("B.035"), Work("METHOD1.037"));  // the others were copied
    const auto report = Work("report.txt");
    EXPECT_NE(std::string(report.begin(), report.end()).find("WINNER!"), std::string::npos);
}

TEST_F(WeighrunTest, MissingOrCrashingCompanionsAreNamedAndLeaveTheTrainAlone) {
    const auto before = Work("B.035");
    RunResult r = Run({"B"}, root.File("nothing-here"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("TAGPAIR could not be started"), std::string::npos);
    EXPECT_NE(r.out.find("CONSMEND could not be started"), std::string::npos);
    EXPECT_EQ(Work("B.035"), before);

    Script("TAGPAIR", "#!/bin/sh\nkill -SEGV $$\n");
    r = Run({"B"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("TAGPAIR METHOD1 ended by signal 11."), std::string::npos) << r.out;
    EXPECT_EQ(Work("B.035"), before);
}

TEST_F(WeighrunTest, TheCompanionsAreNeverTakenFromTheCurrentDirectory) {
    Script("TAGPAIR", kTagpair);
    fs::copy_file(bin + "/TAGPAIR", work + "/TAGPAIR");
    fs::copy_file(bin + "/CONSMEND", work + "/CONSMEND");
    const RunResult r = Run({"B"}, ".:" + root.File("nothing-here") + ":");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Log(), "");
}

// The suite's own stand-ins on a train the simulator recorded.
TEST(WeighrunStandIns, ASimulatedTrainIsPairedTwiceAndTheWinnerCopiedBack) {
    TempDir dir;
    const RunResult sample = RunProgram(ProgramPath("trainsim"), {"--sample"}, dir.Path());
    ASSERT_EQ(sample.status, 0);
    WriteFileBytes(dir.File("train.txt"), std::vector<uint8_t>(sample.out.begin(), sample.out.end()));
    ASSERT_EQ(RunProgram(ProgramPath("trainsim"), {"train.txt", "00008901"}, dir.Path()).status, 0);
    WriteFileBytes(dir.File("00008901.TXT"), {'n'});
    const std::string companions = ProgramPath("../companions");
    const RunResult r =
        RunProgram(ProgramPath("Weighrun"), {"00008901", "report"}, dir.Path(), {"PATH=" + companions + ":/usr/bin:/bin"});
    EXPECT_EQ(r.status, 0) << r.out;
    const auto bytes = ReadFileBytes(dir.File("report"));
    const std::string report(bytes.begin(), bytes.end());
    const bool second = report.find(std::string(36, ' ') + "WINNER!") != std::string::npos;
    EXPECT_TRUE(second || report.find(std::string(25, ' ') + "WINNER!") != std::string::npos) << report;
    const std::string winner = second ? "METHOD2" : "METHOD1";
    for (const char* ext : {".007", ".010", ".035", ".037", ".041", ".060"})
        EXPECT_EQ(ReadFileBytes(dir.File(std::string("00008901") + ext)), ReadFileBytes(dir.File(winner + ext))) << ext;
    // Every vehicle of the allocation has its consist entry, in both methods.
    EXPECT_EQ(Columns(report, "Total...............").first, Columns(report, "Total...............").second);
    EXPECT_NE(Columns(report, "Total...............").first, "0");
    EXPECT_FALSE(PathExists(dir.File("METHOD1.TXT")));
    const auto tags = ReadFileBytes(dir.File("METHOD2.060"));
    EXPECT_TRUE(layout::Get(tags, 0, layout::tagread::kProcessingFlags) & layout::tagread::kTagPairProcessed);
}
