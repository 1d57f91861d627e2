// Weighoff run on fixture consists: the score of each kind of fault, the
// winner rule, the .WON marker, the report on the console and in a file,
// and the names it refuses or cannot write.
#include "ComparisonFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace fixture;
using namespace weighoff_test;

namespace {

RunResult Weighoff(const TempDir& dir, const std::vector<std::string>& args) {
    return RunProgram(ProgramPath("Weighoff"), args, dir.Path());
}

std::string Score(const std::string& report, int column) {
    const auto c = Columns(report, "Method 1............");
    return column == 1 ? c.first : c.second;
}

const std::vector<uint8_t> kMarker = {0x20};

}  // namespace

TEST(WeighoffCommandLine, FewerThanTwoTrainsPrintTheSyntaxAndChangeNothing) {
    TempDir dir;
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"T1"}}) {
        const RunResult r = Weighoff(dir, args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out,
                  "Syntax: Weighoff TRAIN1 TRAIN2 <ReportFilename>\r\n\r\n"
                  "Winning train will have a \"BASENAME.WON\" file created.\r\n");
    }
    EXPECT_TRUE(dir.List().empty());
}

TEST(WeighoffWinner, EqualScoresMarkTrainOneAndRemoveTheLosersStaleMarker) {
    TempDir dir;
    WriteConsist(dir.File("T1.035"), CleanTrain(4));
    WriteConsist(dir.File("T2.035"), CleanTrain(4));
    WriteFileBytes(dir.File("T2.WON"), {'o', 'l', 'd'});
    const RunResult r = Weighoff(dir, {"T1", "T2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("T1.WON")), kMarker);
    EXPECT_FALSE(PathExists(dir.File("T2.WON")));
    EXPECT_NE(r.out.find("\n                         WINNER!\n\n\n"), std::string::npos);
}

TEST(WeighoffWinner, TheLowerScoreWinsAndAMissingConsistLoses) {
    TempDir dir;
    auto worse = CleanTrain(4);
    worse[1].byte4 = 101;  // weird axle pattern, 20 points
    WriteConsist(dir.File("T1.035"), worse);
    WriteConsist(dir.File("T2.035"), CleanTrain(4));
    RunResult r = Weighoff(dir, {"T1", "T2"});
    EXPECT_EQ(Score(r.out, 1), "20");
    EXPECT_TRUE(PathExists(dir.File("T2.WON")));
    EXPECT_FALSE(PathExists(dir.File("T1.WON")));
    EXPECT_NE(r.out.find("\n                                    WINNER!\n\n\n"), std::string::npos);

    // Without a consist train 3 loses whatever the other's score.
    r = Weighoff(dir, {"T1", "T3"});
    EXPECT_TRUE(PathExists(dir.File("T1.WON")));
    EXPECT_FALSE(PathExists(dir.File("T3.WON")));
    r = Weighoff(dir, {"T3", "T1"});
    EXPECT_TRUE(PathExists(dir.File("T1.WON")));
    EXPECT_FALSE(PathExists(dir.File("T3.WON")));
}

TEST(WeighoffWinner, NeitherConsistEvaluatedMarksTrainTwoAndSaysSo) {
    TempDir dir;
    WriteFileBytes(dir.File("T1.035"), {});                      // empty
    ConsistFile({}).Write(dir.File("T2.035"));                   // header only
    const RunResult r = Weighoff(dir, {"T1", "T2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(PathExists(dir.File("T2.WON")));
    EXPECT_FALSE(PathExists(dir.File("T1.WON")));
    EXPECT_NE(r.out.find("Neither consist could be evaluated"), std::string::npos);
}

TEST(WeighoffWinner, TheSameTrainTwiceMarksItOnce) {
    TempDir dir;
    WriteConsist(dir.File("T1.035"), CleanTrain(3));
    const RunResult r = Weighoff(dir, {"T1", "T1.035"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("T1.WON")), kMarker);
}

// Each kind of fault on the middle car of a three-car train, whose other
// cars are clean: the points it costs.
TEST(WeighoffScore, EachFaultCostsItsPoints) {
    struct Case {
        const char* what;
        Car car;
        const char* points;
    };
    const Case cases[] = {
        {"clean", {.vehicle = 1}, "0"},
        {"weird axle pattern", {.vehicle = 1, .byte4 = 101}, "20"},
        {"byte 4 of 100 is no weird pattern", {.vehicle = 1, .byte4 = 100}, "0"},
        {"short car", {.vehicle = 1, .length = 59}, "50"},
        {"length 60 is not short", {.vehicle = 1, .length = 60}, "0"},
        // One tag read: tag 2 is missing, so not clean.
        {"G, one read, disqualified by A", {.vehicle = 1, .tagFlags = {0x04}}, "10"},
        {"G, two clean reads, disqualified by L", {.vehicle = 1, .tagFlags = {0x02, 0x02}}, "0"},
        {"G, two reads, W on the second", {.vehicle = 1, .tagFlags = {0, 0x01}}, "10"},
        {"R/L, tag 1 unclean", {.vehicle = 1, .status = 1, .tagFlags = {0x20}}, "20"},
        {"R/L, tag 1 clean but disqualified", {.vehicle = 1, .status = 2, .tagFlags = {0x08}}, "0"},
        {"M, disqualified", {.vehicle = 1, .status = 3, .tagFlags = {0x02}}, "30"},
        {"untagged faults cost nothing", {.vehicle = 1, .status = 0, .egc = 33, .tagFlags = {0x01}}, "0"},
        {"odd axles", {.vehicle = 1, .axles = 3}, "70"},
        {"odd axles with the top length bit", {.vehicle = 1, .axles = 3, .length = 0x8000}, "30"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        auto cars = CleanTrain(3);
        cars[1] = c.car;
        WriteConsist(dir.File("T1.035"), cars);
        WriteConsist(dir.File("T2.035"), CleanTrain(3));
        const RunResult r = Weighoff(dir, {"T1", "T2"});
        EXPECT_EQ(Score(r.out, 1), c.points);
    }
}

TEST(WeighoffScore, OddAxlesAreReportedButNotOnTheFirstAndLastVehicle) {
    TempDir dir;
    auto cars = CleanTrain(5);
    cars[0].axles = 3;
    cars[2].axles = 5;
    cars[3].axles = 1;
    cars[3].length = 0x8010;  // expected to be odd: points but no message
    cars[4].axles = 3;
    WriteConsist(dir.File("T1.035"), cars);
    WriteConsist(dir.File("T2.035"), CleanTrain(2));
    const RunResult r = Weighoff(dir, {"T1", "T2"});
    EXPECT_EQ(r.out.substr(0, r.out.find("Weighoff Results:")), "#3) Odd axle count! (5)\n\n");
    EXPECT_EQ(Columns(r.out, "Axle Errors.........").first, "1");
    EXPECT_EQ(Score(r.out, 1), "100");
}

TEST(WeighoffScore, ExtraReadsAreCountedPerRecord) {
    TempDir dir;
    // Vehicle 1 has two records of status 5; the second fails the tag
    // test (no reads) and so counts as clean.
    std::vector<std::vector<uint8_t>> entries = {
        CarEntry({.vehicle = 0, .egc = 5}),
        CarEntry({.vehicle = 1, .status = 5, .tagFlags = {0x01}}),
        CarEntry({.vehicle = 1, .status = 5, .tagFlags = {}}),
        CarEntry({.vehicle = 2}),
    };
    ConsistFile(entries).Write(dir.File("T1.035"));
    WriteConsist(dir.File("T2.035"), CleanTrain(3));
    const RunResult r = Weighoff(dir, {"T1", "T2"});
    const size_t block = r.out.find("\"E\" Tagged Cars");
    ASSERT_NE(block, std::string::npos);
    const std::string e = r.out.substr(block);
    EXPECT_EQ(Columns(e, "Clean...............").first, "2");
    EXPECT_EQ(Columns(e, "Not Clean...........").first, "0");
    EXPECT_EQ(Columns(r.out, "Total...............").first, "3");
}

TEST(WeighoffScore, ADamagedConsistIsEvaluatedUpToItsLastWholeEntry) {
    TempDir dir;
    auto bad = CarEntry({.vehicle = 2, .axles = 3});
    std::vector<uint8_t> torn(bad.begin(), bad.begin() + 30);
    ConsistFile({CarEntry({.vehicle = 0, .egc = 5}), CarEntry({.vehicle = 1})}).Trailing(torn).Write(dir.File("T1.035"));
    WriteConsist(dir.File("T2.035"), CleanTrain(2));
    const RunResult r = Weighoff(dir, {"T1", "T2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Columns(r.out, "Total...............").first, "2");
    EXPECT_TRUE(PathExists(dir.File("T1.WON")));
}

TEST(WeighoffNames, TheNameIsCutAtTheFirstDotOfItsLastComponent) {
    TempDir dir;
    const std::string sub = dir.File("v1.2");
    std::filesystem::create_directory(sub);
    WriteConsist(sub + "/T1.035", CleanTrain(3));
    auto worse = CleanTrain(3);
    worse[1].length = 10;
    WriteConsist(sub + "/T2.035", worse);
    const struct {
        std::string t1, t2;
    } cases[] = {{sub + "/T1.035", sub + "/T2.x.y"}, {"./v1.2/T1", "v1.2/T2.WON"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t1);
        const RunResult r = Weighoff(dir, {c.t1, c.t2});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(ReadFileBytes(sub + "/T1.WON"), kMarker);
        EXPECT_FALSE(PathExists(sub + "/T2.WON"));
        EXPECT_EQ(Score(r.out, 2), "50");
    }
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"v1.2"}));
}

TEST(WeighoffReport, TheReportFileHoldsTheWholeReportAndReplacesAnOldOne) {
    TempDir dir;
    auto t1 = CleanTrain(3);
    t1[1].tagFlags = {0x01};
    WriteConsist(dir.File("T1.035"), t1);
    WriteConsist(dir.File("T2.035"), CleanTrain(3));
    WriteFileBytes(dir.File("report.txt"), std::vector<uint8_t>(5000, 'x'));
    const RunResult r = Weighoff(dir, {"T1", "T2", "report.txt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    const auto bytes = ReadFileBytes(dir.File("report.txt"));
    const std::string report(bytes.begin(), bytes.end());
    const std::vector<std::string> expected = {
        "Weighoff Results:",
        "----------------",
        "",
        "Consist Report Summary  T1        T2      ",
        "----------------------  --------  --------",
        "  Tagged Cars (Conf+).     3         3  ",
        "  Untagged Cars.......     0         0  ",
        "  Total...............     3         3  ",
        "",
        "\"G\" Tagged Cars",
        "----------------------",
        "  Clean...............     2         3  ",
        "  Not Clean...........     1         0  ",
        "",
        "\"R/L\" Tagged Cars",
        "----------------------",
        "  Clean...............     0         0  ",
        "  Not Clean...........     0         0  ",
        "",
        "\"M\" Tagged Cars",
        "----------------------",
        "  Clean...............     0         0  ",
        "  Not Clean...........     0         0  ",
        "",
        "\"E\" Tagged Cars",
        "----------------------",
        "  Clean...............     0         0  ",
        "  Not Clean...........     0         0  ",
        "",
        "Misc Items",
        "----------------------",
        "  Total Tags..........     3         3  ",
        "  Total Disqualifiers.     1         0  ",
        "  Axle Errors.........     0         0  ",
        "  Weird Axle Patterns.     0         0  ",
        "  Cars < 20 ft........     0         0  ",
        "",
        "Aggregate Scores",
        "----------------------",
        "  Method 1............     10 \t   0  ",
        "                         -------    -------",
        "                                    WINNER!",
        "",
        "",
    };
    EXPECT_EQ(Lines(report), expected);
    EXPECT_TRUE(PathExists(dir.File("T2.WON")));
}

TEST(WeighoffReport, AReportNamingAComparedFileIsRefusedBeforeAnyChange) {
    for (const std::string name : {"T1.035", "t2.035", "./T1.WON", "T2.won"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        WriteConsist(dir.File("T1.035"), CleanTrain(3));
        WriteConsist(dir.File("T2.035"), CleanTrain(3));
        WriteFileBytes(dir.File("T2.WON"), kMarker);
        const auto before1 = ReadFileBytes(dir.File("T1.035"));
        const auto before2 = ReadFileBytes(dir.File("T2.035"));
        const RunResult r = Weighoff(dir, {"T1", "T2", name});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.out.find("nothing done"), std::string::npos);
        EXPECT_EQ(ReadFileBytes(dir.File("T1.035")), before1);
        EXPECT_EQ(ReadFileBytes(dir.File("T2.035")), before2);
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"T1.035", "T2.035", "T2.WON"}));
    }
}

TEST(WeighoffReport, FilesThatCannotBeWrittenAreReportedInTheStatus) {
    TempDir dir;
    WriteConsist(dir.File("T1.035"), CleanTrain(3));
    WriteConsist(dir.File("T2.035"), CleanTrain(3));
    std::filesystem::create_directory(dir.File("report"));
    RunResult r = Weighoff(dir, {"T1", "T2", "report"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error 5 creating file \"report\""), std::string::npos);
    EXPECT_EQ(ReadFileBytes(dir.File("T1.WON")), kMarker);  // still marked

    // A directory in the way of the marker.
    std::filesystem::remove(dir.File("T1.WON"));
    std::filesystem::create_directory(dir.File("T1.WON"));
    r = Weighoff(dir, {"T1", "T2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Error 5 creating file \"T1.WON\""), std::string::npos);
}
