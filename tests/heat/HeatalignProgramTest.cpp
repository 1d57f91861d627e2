// Runs the real heatalign program on axle and detector files composed byte
// by byte and checks what it prints, the files it leaves and its status.
#include "HeatSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace fixture;
using namespace heattest;

namespace {

// Exit statuses as the shell sees them.
constexpr int kShellUsage = 255, kShellCannotLoad = 254, kShellBadOption = 253, kShellSaveFailed = 252;

struct Train {
    TempDir dir;
    std::vector<uint8_t> axlesBefore, readingsBefore;
    RunResult run;

    void Write(const TrainFileBuilder& axles, const TrainFileBuilder& readings) {
        axlesBefore = axles.Build();
        readingsBefore = readings.Build();
        WriteFileBytes(dir.File("T.010"), axlesBefore);
        WriteFileBytes(dir.File("T.018"), readingsBefore);
    }
    RunResult& Run(const std::string& option, const std::string& base = "T") {
        run = RunProgram(ProgramPath("heatalign"), {base, option}, dir.Path());
        return run;
    }
    std::vector<uint8_t> AxlesNow() const { return ReadFileBytes(dir.File("T.010")); }
    std::vector<uint8_t> ReadingsNow() const { return ReadFileBytes(dir.File("T.018")); }
    bool Has(const std::string& name) const { return PathExists(dir.File(name)); }
    bool Untouched() const { return AxlesNow() == axlesBefore && ReadingsNow() == readingsBefore; }
};

const std::vector<uint32_t> kSix = {0, 100, 700, 100, 700, 100};
const char* const kTableHead =
    "            DIS            TIME\n"
    "      010   018   Dif      010   018   Dif\n"
    "      ===============      ===============\n";

uint64_t SumOfTimes(const std::vector<ReadingView>& v) {
    uint64_t s = 0;
    for (const auto& r : v) s += r.ms;
    return s;
}

}  // namespace

TEST(HeatalignCommandLine, UsageOptionAndLoadErrors) {
    Train t;
    t.Write(Axles(kSix), Readings(kSix));
    t.run = RunProgram(ProgramPath("heatalign"), {"T"}, t.dir.Path());
    EXPECT_EQ(t.run.status, kShellUsage);
    EXPECT_EQ(t.run.out.rfind("heatalign:  Fix 010 HBD\nBUILT:     ", 0), 0u);
    EXPECT_NE(t.run.out.find("Example: heatalign 00008901 1\n"), std::string::npos);

    struct Case {
        std::string option, out;
        int status;
    } cases[] = {{"4", "Option 4 invalid\n", kShellBadOption},
                 {"0", "Option 0 invalid\n", kShellBadOption},
                 {"x", "Option 0 invalid\n", kShellBadOption},
                 {"-2", "Option -2 invalid\n", kShellBadOption},
                 {"99999999999999999999", "Option 2147483647 invalid\n", kShellBadOption},
                 {"3abc", "T\n", 0}};
    for (const Case& c : cases) {
        t.Run(c.option);
        EXPECT_EQ(t.run.status, c.status) << c.option;
        EXPECT_EQ(t.run.out.substr(0, c.out.size()), c.out) << c.option;
    }
    // Without a .018 the run ends silently, before the option is looked at.
    TempDir empty;
    RunResult r = RunProgram(ProgramPath("heatalign"), {"T", "9"}, empty.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

TEST(HeatalignCommandLine, FilesThatDoNotLoad) {
    const std::string msg = "Unable to open T.010 and\\or T.018\n";
    struct Case {
        const char* what;
        std::vector<uint8_t> axles, readings;
        bool writeAxles;
    } cases[] = {
        {"no .010", {}, Readings(kSix).Build(), false},
        {"empty .010", {}, Readings(kSix).Build(), true},
        {"empty .018", Axles(kSix).Build(), {}, true},
        {".010 of 16-byte records", Readings(kSix).Build(), Readings(kSix).Build(), true},
        {".018 of 8-byte records", Axles(kSix).Build(), Axles(kSix).Build(), true},
        {".018 shorter than its header", Axles(kSix).Build(), std::vector<uint8_t>(30, 1), true},
    };
    for (const Case& c : cases) {
        Train t;
        if (c.writeAxles) WriteFileBytes(t.dir.File("T.010"), c.axles);
        WriteFileBytes(t.dir.File("T.018"), c.readings);
        t.Run("1");
        EXPECT_EQ(t.run.status, kShellCannotLoad) << c.what;
        EXPECT_EQ(t.run.out, msg) << c.what;
    }
}

TEST(HeatalignWalk, EqualCountsChangeNothingWhateverTheTimes) {
    for (const char* option : {"1", "2"}) {
        Train t;
        t.Write(Axles(kSix), Readings({0, 300, 200, 900, 10, 400}));
        t.Run(option);
        EXPECT_EQ(t.run.status, 0);
        EXPECT_EQ(t.run.out, "");
        EXPECT_TRUE(t.Untouched());
        EXPECT_FALSE(t.Has("T.O18"));
    }
}

TEST(HeatalignWalk, DifferenceOfFourIsRefused) {
    Train t;
    t.Write(Axles({0, 100, 700, 100, 700, 100, 700, 100}), Readings({0, 100, 700, 100}));
    t.Run("1");
    EXPECT_EQ(t.run.status, 0);
    EXPECT_EQ(t.run.out, "Axle Difference 4 is too large\n");
    EXPECT_TRUE(t.Untouched());
    EXPECT_FALSE(t.Has("T.O18"));
}

TEST(HeatalignWalk, ExtraReadingBecomesDummyAxleOrIsRemoved) {
    // The detector split axle 4's reading in two.
    const std::vector<uint32_t> split = {0, 100, 700, 50, 50, 700, 100};
    {
        Train t;
        t.Write(Axles(kSix), Readings(split));
        t.Run("1");
        EXPECT_EQ(t.run.status, 1);
        EXPECT_NE(t.run.out.find("Axle Count does not Match HBD count 6 - 7\n"
                                 "Original 018 file saved as T.O18\n"),
                  std::string::npos);
        EXPECT_NE(t.run.out.find("Axle 3 is Dummy Axle\n"), std::string::npos);
        const auto axles = AxleViews(t.AxlesNow());
        ASSERT_EQ(axles.size(), 7u);
        for (size_t i = 0; i < axles.size(); ++i) EXPECT_EQ(axles[i].axle, i + 1);
        // 3 ft at 40 mph after axle 3 (time 1800): 51 ms; speed and direction of axle 3.
        EXPECT_EQ(axles[3].time, 1851u);
        EXPECT_EQ(axles[3].Eighths(), kEighths40);
        EXPECT_EQ(axles[3].byte0 & 1, 1u);
        EXPECT_EQ(axles[4].time, 1900u);
        EXPECT_EQ(t.ReadingsNow(), t.readingsBefore);  // saved, but unchanged
        EXPECT_EQ(ReadFileBytes(t.dir.File("T.O18")), t.readingsBefore);
    }
    {
        Train t;
        t.Write(Axles(kSix), Readings(split));
        t.Run("2");
        EXPECT_EQ(t.run.status, 1);
        EXPECT_NE(t.run.out.find("Axle 3 is Removed\n"), std::string::npos);
        EXPECT_EQ(t.AxlesNow(), t.axlesBefore);
        const auto r = ReadingViews(t.ReadingsNow());
        ASSERT_EQ(r.size(), 6u);
        const std::vector<uint32_t> ms = {0, 100, 700, 100, 700, 100};
        for (size_t i = 0; i < r.size(); ++i) {
            EXPECT_EQ(r[i].ms, ms[i]) << i;
            EXPECT_EQ(r[i].number, i + 1);
        }
        EXPECT_EQ(r[3].value1, 14u);  // the second half of the split reading stays
    }
}

TEST(HeatalignWalk, ExtraLastReading) {
    std::vector<uint32_t> seven = kSix;
    seven.push_back(300);
    {
        Train t;
        t.Write(Axles(kSix), Readings(seven));
        t.Run("2");
        EXPECT_EQ(t.run.status, 1);
        EXPECT_NE(t.run.out.find("Axle 6 is Removed\n"), std::string::npos);
        const auto r = ReadingViews(t.ReadingsNow());
        ASSERT_EQ(r.size(), 6u);
        EXPECT_EQ(r.back().ms, 100u);
        EXPECT_EQ(ReadFileBytes(t.dir.File("T.O18")), t.readingsBefore);
    }
    {
        Train t;
        t.Write(Axles(kSix, kEighths40, 0), Readings(seven));
        t.Run("1");
        EXPECT_EQ(t.run.status, 1);
        EXPECT_NE(t.run.out.find("Axle 6 is Dummy Axle\n"), std::string::npos);
        const auto axles = AxleViews(t.AxlesNow());
        ASSERT_EQ(axles.size(), 7u);
        // 18 ft at 40 mph after the last axle (time 2700): 306 ms.
        EXPECT_EQ(axles[6].time, 3006u);
        EXPECT_EQ(axles[6].axle, 7u);
        EXPECT_EQ(axles[6].byte0 & 1, 0u);
    }
}

TEST(HeatalignWalk, MissedReadingGetsDummyWhateverTheOption) {
    // The detector missed axle 4: its gap went to axle 5's reading.
    for (const char* option : {"1", "2"}) {
        Train t;
        t.Write(Axles(kSix), Readings({0, 100, 700, 800, 100}));
        t.Run(option);
        EXPECT_EQ(t.run.status, 1);
        EXPECT_NE(t.run.out.find("HBD Record 3 is Dummy HBD\n"), std::string::npos);
        EXPECT_EQ(t.AxlesNow(), t.axlesBefore);
        const auto r = ReadingViews(t.ReadingsNow());
        ASSERT_EQ(r.size(), 6u);
        // 6 ft at 40 mph: 102 ms, taken from the reading after it.
        EXPECT_EQ(r[3].ms, 102u);
        EXPECT_EQ(r[4].ms, 698u);
        EXPECT_EQ(SumOfTimes(r), 1700u);
        EXPECT_EQ(r[3].code1, 0u);
        EXPECT_EQ(r[3].value2, 0u);
        EXPECT_EQ(r[4].value1, 13u);
        for (size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i].number, i + 1);
    }
}

TEST(HeatalignWalk, DummyReadingNeverTakesMoreThanTheNextTimeHolds) {
    // The train speeds up from 1 to 255 mph over the readings: at the
    // dummy's place the header's speeds give 210 ms for the axles' 59 ft,
    // more than the 200 ms the reading after it holds.
    Train t;
    t.Write(Axles({0, 100, 700, 1000, 0}), Readings({0, 30, 144, 200}, 1, 255));
    t.Run("1");
    EXPECT_EQ(t.run.status, 1);
    const auto r = ReadingViews(t.ReadingsNow());
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[3].ms, 200u);
    EXPECT_EQ(r[4].ms, 0u);
    EXPECT_EQ(SumOfTimes(r), 374u);
}

TEST(HeatalignWalk, DummyReadingsAtTheEndAndAtStandstill) {
    {
        // Nothing follows the last dummy: it keeps its own time.
        Train t;
        t.Write(Axles({0, 100, 700, 100}), Readings({0, 100, 700}));
        t.Run("2");
        EXPECT_EQ(t.run.status, 1);
        const auto r = ReadingViews(t.ReadingsNow());
        ASSERT_EQ(r.size(), 4u);
        EXPECT_EQ(r[3].ms, 102u);
    }
    {
        // The header gives no speed: the dummy takes the axle file's gap.
        Train t;
        t.Write(Axles({0, 100, 700, 100}), Readings({0, 100, 700}, 0, 0));
        t.Run("1");
        EXPECT_EQ(t.run.status, 1);
        const auto r = ReadingViews(t.ReadingsNow());
        ASSERT_EQ(r.size(), 4u);
        EXPECT_EQ(r[3].ms, 100u);
    }
    {
        // Axles at standstill: the dummy axle follows by the detector's gap.
        Train t;
        t.Write(Axles({0, 100, 700}, 0), Readings({0, 100, 700, 300}));
        t.Run("1");
        EXPECT_EQ(t.run.status, 1);
        const auto axles = AxleViews(t.AxlesNow());
        ASSERT_EQ(axles.size(), 4u);
        EXPECT_EQ(axles[3].time, 2100u);
    }
}

TEST(HeatalignWalk, TooManyChangesLeaveTheFilesButKeepTheBackup) {
    struct Case {
        std::vector<uint32_t> axles, readings;
        std::string message;
    } cases[] = {
        {kSix, {0, 50, 50, 700, 50, 50, 700}, "Too many changes - Changes: 2  Axle Diff: 1\n"},
        {kSix, {0, 50, 50}, "Too many changes - Changes: 4  Axle Diff: 3\n"},
    };
    for (const Case& c : cases) {
        Train t;
        t.Write(Axles(c.axles), Readings(c.readings));
        t.Run("2");
        EXPECT_EQ(t.run.status, 0);
        EXPECT_NE(t.run.out.find(c.message), std::string::npos) << t.run.out;
        EXPECT_TRUE(t.Untouched());
        EXPECT_EQ(ReadFileBytes(t.dir.File("T.O18")), t.readingsBefore);
    }
    // A difference of 3 is mended with its 3 changes.
    Train t;
    t.Write(Axles(kSix), Readings({0, 100, 700}));
    t.Run("1");
    EXPECT_EQ(t.run.status, 1);
    EXPECT_EQ(ReadingViews(t.ReadingsNow()).size(), 6u);
}

TEST(HeatalignWalk, MeanOfZeroIsNoMismatch) {
    // Axles 1 and 2 share a time (0 ft); the detector saw 9 ms (1 ft): the
    // distances' mean is 0, so the gap does not count as parted.
    Train t;
    t.Write(Axles({0, 0, 100}), Readings({0, 9, 100, 100}));
    t.Run("2");
    EXPECT_EQ(t.run.status, 1);
    EXPECT_EQ(t.run.out.find("Dummy"), std::string::npos);
    EXPECT_NE(t.run.out.find("Axle 3 is Removed\n"), std::string::npos);
    EXPECT_EQ(t.run.out.find("inf"), std::string::npos);
}

TEST(HeatalignWalk, NoRecordsOnOneSideMeansNoAlignment) {
    Train t;
    t.Write(AxleFileBuilder().RecordLength(8), Readings({0, 100}));
    t.Run("1");
    EXPECT_EQ(t.run.status, 0);
    EXPECT_EQ(t.run.out, "Axle Count does not Match HBD count 0 - 2\n");
    EXPECT_FALSE(t.Has("T.O18"));
    EXPECT_TRUE(t.Untouched());
}

TEST(HeatalignTable, OptionThreePrintsTheComparison) {
    Train t;
    t.Write(Axles({0, 100, 200}), Readings({0, 110, 150, 300}));
    t.Run("3");
    EXPECT_EQ(t.run.status, 0);
    EXPECT_EQ(t.run.out, std::string("T\n") + kTableHead +
                             "  1     0     0     0  ||    0     0     0\n"
                             "  2     6     6     0  ||  100   110    10\n"
                             "  3    12     9     3  ||  200   150    50\n"
                             "  4   ---    18   ---  ||  ---   300   ---\n"
                             "      ===============      ===============\n"
                             "DISTANCE 3/1  =  3.000000\n"
                             "                   BIGGEST DIFFERENCE   3\n"
                             "                   BIGGEST DIFFERENCE 0.300000\n"
                             "TIME     60/2  =  30.000000\n"
                             "                   BIGGEST DIFFERENCE   50\n"
                             "                   BIGGEST DIFFERENCE 0.285714\n\n"
                             "TOTAL              BIGGEST DIFFERENCE 0.285714\n\n\n");
    EXPECT_TRUE(t.Untouched());
    EXPECT_FALSE(t.Has("T.O18"));
}

TEST(HeatalignTable, NoDifferencesPrintZeroQuotients) {
    Train t;
    t.Write(Axles({0, 100, 100, 100}), Readings({0, 100}));
    t.Run("3");
    EXPECT_EQ(t.run.out, std::string("T\n") + kTableHead +
                             "  1     0     0     0  ||    0     0     0\n"
                             "  2     6     6     0  ||  100   100     0\n"
                             "  3     6   ---   ---  ||  100   ---   ---\n"
                             "  4     6   ---   ---  ||  100   ---   ---\n"
                             "      ===============      ===============\n"
                             "DISTANCE 0/0  =  0.000000\n"
                             "                   BIGGEST DIFFERENCE   0\n"
                             "                   BIGGEST DIFFERENCE 0.000000\n"
                             "TIME     0/0  =  0.000000\n"
                             "                   BIGGEST DIFFERENCE   0\n"
                             "                   BIGGEST DIFFERENCE 0.000000\n\n"
                             "TOTAL              BIGGEST DIFFERENCE 0.000000\n\n\n");
}

TEST(HeatalignFiles, BaseNameWithADot) {
    Train t;
    std::vector<uint32_t> seven = kSix;
    seven.push_back(300);
    t.Write(Axles(kSix), Readings(seven));
    t.Run("2", "./T");
    EXPECT_EQ(t.run.status, 1);
    EXPECT_NE(t.run.out.find("Original 018 file saved as ./T.O18\n"), std::string::npos);
    EXPECT_EQ(ReadingViews(t.ReadingsNow()).size(), 6u);
    EXPECT_EQ(ReadFileBytes(t.dir.File("T.O18")), t.readingsBefore);
}

TEST(HeatalignFiles, BackupKeepsTheBytesAsRead) {
    // A lying header (file length 0, a stray trailing byte) is kept as it
    // was in the backup, not rewritten the way a save writes it.
    Train t;
    TrainFileBuilder readings = Readings({0, 100, 700, 100, 700, 100, 300});
    readings.FileLength(0).Trailing({0xEE});
    t.Write(Axles(kSix), readings);
    t.Run("2");
    EXPECT_EQ(t.run.status, 1);
    EXPECT_EQ(ReadFileBytes(t.dir.File("T.O18")), t.readingsBefore);
}

TEST(HeatalignFiles, FailedWritesLeaveBothFilesAsTheyWere) {
    std::vector<uint32_t> seven = kSix;
    seven.push_back(300);
    {
        // The backup cannot be written: nothing changes.
        Train t;
        t.Write(Axles(kSix), Readings(seven));
        ASSERT_EQ(mkdir(t.dir.File("T.O18").c_str(), 0755), 0);
        t.Run("2");
        EXPECT_EQ(t.run.status, kShellSaveFailed);
        EXPECT_NE(t.run.out.find("Error 5 creating file \"T.O18\"\n"), std::string::npos);
        EXPECT_TRUE(t.Untouched());
    }
    {
        // The .018 cannot be saved: the .010 is not saved either.
        Train t;
        t.Write(Axles(kSix), Readings(seven));
        ASSERT_EQ(chmod(t.dir.File("T.018").c_str(), 0444), 0);
        t.Run("1");
        EXPECT_EQ(t.run.status, kShellSaveFailed);
        EXPECT_TRUE(t.Untouched());
    }
    {
        // The .010 cannot be saved: the .018 is put back.
        Train t;
        t.Write(Axles(kSix), Readings(seven));
        ASSERT_EQ(chmod(t.dir.File("T.010").c_str(), 0444), 0);
        t.Run("2");
        EXPECT_EQ(t.run.status, kShellSaveFailed);
        EXPECT_NE(t.run.out.find("T.018 is put back as it was\n"), std::string::npos);
        EXPECT_TRUE(t.Untouched());
    }
}

TEST(HeatalignFiles, LyingAndTruncatedFilesNeverCrash) {
    struct Case {
        const char* what;
        TrainFileBuilder axles, readings;
    } cases[] = {
        {"counts beyond the records", Axles(kSix).Count(9), Readings({0, 100, 700, 100, 700}).Count(60000)},
        {"cut mid-record", Axles(kSix).TruncateTo(64 + 8 * 5 + 3), Readings({0, 100, 700, 100, 700, 100, 9}).TruncateTo(64 + 16 * 6 + 5)},
        {"header only", Axles({}).RecordLength(8).Count(3), Readings({0, 100})},
        {"backwards times", Axles({0, 100, 700}).Add(AxleRecord(kEighths40, 1, 5, 4)), Readings({0, 100, 700, 50, 60})},
    };
    for (Case& c : cases) {
        for (const char* option : {"1", "2", "3"}) {
            Train t;
            t.Write(c.axles, c.readings);
            t.Run(option);
            EXPECT_TRUE(t.run.status == 0 || t.run.status == 1) << c.what << " " << option << ": " << t.run.status;
            EXPECT_EQ(t.run.signal, 0) << c.what;
        }
    }
}

TEST(HeatalignFiles, FullAxleFileRefusesADummyAxle) {
    // 65,535 axles, and the detector splits one reading: the dummy axle
    // does not fit into the file.
    std::vector<uint32_t> axles(65535, 100), readings(65534, 100);
    axles[0] = readings[0] = 0;
    readings[5] = 50;
    readings.insert(readings.begin() + 6, 50);
    readings.pop_back();
    readings.pop_back();
    Train t;
    t.Write(Axles(axles), Readings(readings));
    t.Run("1");
    EXPECT_EQ(t.run.status, 0);
    EXPECT_NE(t.run.out.find("Axle 5 is Dummy Axle\n"
                             "Record 5 cannot be added to T.010: it already holds 65535 records\n"),
              std::string::npos);
    EXPECT_TRUE(t.Untouched());
}
