// Runs the real heatlink program on detector and consist files composed byte
// by byte and checks the correlation file it writes and its status.
#include "CorrelationLayout.h"
#include "Heatlink.h"
#include "HeatSupport.h"
#include "PlatformTesting.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fixture;
namespace co = layout::correlation;
namespace hd = layout::header;

namespace {

// Exit statuses as the shell sees them.
constexpr int kShellUsage = 255, kShellCannotOpen = 254, kShellShort = 253, kShellMismatch = 252,
              kShellCannotCreate = 251;

// A consist entry of a vehicle with n axles; byte 4 and the orientation
// flag choose how its axles are counted for the first alarm.
std::vector<uint8_t> Car(uint16_t vehicle, unsigned axles, uint8_t byte4 = 0, uint8_t orientation = 0) {
    ConsistEntrySpec e;
    e.vehicle = vehicle;
    e.axles = axles;
    e.orientation = orientation;
    return ConsistEntry(e).U8(4, byte4).Bytes();
}

TrainFileBuilder Detector(const std::vector<DetectorReading>& readings, uint8_t byte39 = 0) {
    TrainFileBuilder b = DetectorFileBuilder(10, 10);
    b.HeaderU8(39, byte39);
    for (size_t i = 0; i < readings.size(); ++i) b.Add(DetectorRecord(uint16_t(i + 1), readings[i]));
    return b;
}

std::vector<DetectorReading> Plain(size_t n) {
    std::vector<DetectorReading> r(n);
    for (size_t i = 0; i < n; ++i) r[i].ms = uint32_t(100 + i);
    return r;
}

struct Link {
    TempDir dir;
    RunResult run;
    std::vector<uint8_t> out;

    RunResult& Run(const TrainFileBuilder& detector, const TrainFileBuilder& consist) {
        detector.Write(dir.File("A.018"));
        consist.Write(dir.File("B.035"));
        return RunNames("A.018", "B.035");
    }
    RunResult& RunNames(const std::string& a, const std::string& b) {
        run = RunProgram(ProgramPath("heatlink"), {a, b}, dir.Path());
        out = ReadFileBytes(dir.File("A.071"));
        return run;
    }
    std::vector<heattest::CarView> Cars() const { return heattest::CarViews(out); }
};

}  // namespace

TEST(HeatlinkCommandLine, ArgumentsAndExtensions) {
    Link l;
    Detector(Plain(2)).Write(l.dir.File("A.018"));
    ConsistFile({Car(0, 2)}).Write(l.dir.File("B.035"));
    const std::vector<std::vector<std::string>> refused = {
        {}, {"A.018"}, {"A.018", "B.035", "x"}, {"A.O18", "B.035"}, {"B.035", "A.018"}, {"A", "B.035"}, {"A.018", "B.35"}};
    for (const auto& args : refused) {
        RunResult r = RunProgram(ProgramPath("heatlink"), args, l.dir.Path());
        EXPECT_EQ(r.status, kShellUsage) << args.size();
        EXPECT_EQ(r.out.rfind("heatlink:  HBD Correlator\nBUILT:    ", 0), 0u);
        EXPECT_NE(r.out.find("\n\nOn the command line, specify the name of the .018 file and the\n"), std::string::npos);
        EXPECT_NE(r.out.find("Example: heatlink.exe 00000123.018 C:\\AEI\\INBOUND\\BNSF1234\\00000231.035\n"),
                  std::string::npos);
    }
    EXPECT_FALSE(PathExists(l.dir.File("A.071")));
    // The file system ignores letter case, the extension test does not.
    RunResult r = RunProgram(ProgramPath("heatlink"), {"a.018", "b.035"}, l.dir.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(PathExists(l.dir.File("a.071")) || PathExists(l.dir.File("A.071")));
}

TEST(HeatlinkOutput, NameHeaderAndEntries) {
    std::vector<DetectorReading> readings = Plain(6);
    readings[4] = {777, 'N', 'C', 0x1234, 0x5678};
    Link l;
    mkdir(l.dir.File("sub").c_str(), 0755);
    Detector(readings, 0x5A).Write(l.dir.File("sub/A.018"));
    ConsistFile({Car(4, 4), Car(5, 2)}).Write(l.dir.File("sub/B.035"));
    for (const char* name : {"sub/A.018", "sub\\A.018"}) {
        unlink(l.dir.File("A.071").c_str());
        l.RunNames(name, "sub/B.035");
        EXPECT_EQ(l.run.status, 0) << name;
        ASSERT_EQ(l.out.size(), 64u + 10 * (2 + 6)) << name;
        EXPECT_FALSE(PathExists(l.dir.File("sub/A.071")));
    }
    const auto& o = l.out;
    EXPECT_EQ(layout::Get(o, 0, hd::kFormat), 0x0501u);
    EXPECT_EQ(layout::Get(o, 0, hd::kTypeGroup), 0u);
    EXPECT_EQ(layout::Get(o, 0, hd::kFileLength), o.size());
    EXPECT_EQ(layout::Get(o, 0, hd::kTypeSubcode), 0x0071u);
    EXPECT_EQ(layout::Get(o, 0, hd::kRecordCount), 2u);
    EXPECT_EQ(layout::Get(o, 0, hd::kRecordLength), 0u);
    EXPECT_EQ(layout::Get(o, 0, hd::kScaleNumerator), 1u);
    EXPECT_EQ(layout::Get(o, 0, hd::kYear) >> 8, 0x20u);
    EXPECT_EQ(layout::Get(o, 0, co::kCarriedByte), 0x5Au);
    for (size_t b = 35; b < 64; ++b) EXPECT_EQ(o[b], 0) << b;
    const auto cars = l.Cars();
    ASSERT_EQ(cars.size(), 2u);
    EXPECT_EQ(cars[0].length, 50u);
    EXPECT_EQ(cars[0].number, 5u);
    EXPECT_EQ(cars[0].alarms, 0u);
    EXPECT_EQ(cars[0].firstAlarm, 0u);
    EXPECT_EQ(cars[0].side, ' ');
    EXPECT_EQ(cars[0].code, 'N');
    EXPECT_EQ(cars[1].number, 6u);
    // The second car's first axle entry is reading 5.
    const size_t entry = 64 + 50 + co::kCarHeaderSize;
    EXPECT_EQ(layout::Get(o, entry, co::kSide1Code), uint32_t('N'));
    EXPECT_EQ(layout::Get(o, entry, co::kSide2Code), uint32_t('C'));
    EXPECT_EQ(layout::Get(o, entry, co::kSide1Value), 0x1234u);
    EXPECT_EQ(layout::Get(o, entry, co::kSide2Value), 0x5678u);
    EXPECT_EQ(layout::Get(o, entry, co::kMsSincePrevious), 777u);
    EXPECT_EQ(cars[1].alarms, 1u);
    EXPECT_EQ(cars[1].firstAlarm, 2u);  // counted from the rear: 2 - 0
    EXPECT_EQ(cars[1].side, 'R');
    EXPECT_EQ(cars[1].code, 'C');
}

TEST(HeatlinkOutput, DuplicateVehicleEntriesAddNoCar) {
    Link l;
    l.Run(Detector(Plain(6)), ConsistFile({Car(0, 4), Car(0, 4), Car(1, 2)}));
    EXPECT_EQ(l.run.status, 0);
    const auto cars = l.Cars();
    ASSERT_EQ(cars.size(), 2u);
    EXPECT_EQ(cars[0].number, 1u);
    EXPECT_EQ(cars[1].number, 2u);
    EXPECT_EQ(layout::Get(l.out, 0, hd::kRecordCount), 2u);
}

TEST(HeatlinkOutput, AlarmsAndTheAxleOfTheFirst) {
    struct Case {
        const char* what;
        std::vector<std::pair<char, char>> codes;  // side 1, side 2 per axle of a 4-axle car
        uint8_t byte4, orientation;
        unsigned alarms, first;
        char side, code;
    } cases[] = {
        {"both sides of one axle", {{'N', 'N'}, {'A', 'A'}, {'N', 'N'}, {'N', 'N'}}, 0, 0, 2, 3, 'L', 'A'},
        {"third axle, counted from the front", {{'N', 'N'}, {'N', 'N'}, {'D', 'N'}, {'N', 'N'}}, 5, 1, 1, 3, 'L', 'D'},
        {"third axle, counted from the rear", {{'N', 'N'}, {'N', 'N'}, {'D', 'N'}, {'N', 'N'}}, 5, 0, 1, 2, 'L', 'D'},
        {"byte 4 other than 5", {{'N', 'N'}, {'N', 'N'}, {'D', 'N'}, {'N', 'N'}}, 4, 1, 1, 2, 'L', 'D'},
        {"later axles overwrite the report", {{'N', 'A'}, {'N', 'N'}, {'C', 'N'}, {'x', 'y'}}, 5, 1, 2, 1, 'L', 'C'},
        {"side 2 A alone", {{'N', 'A'}, {'N', 'N'}, {'N', 'N'}, {'N', 'N'}}, 0, 0, 1, 4, 'R', 'A'},
        {"side 1 A beats side 2 C", {{'A', 'C'}, {'N', 'N'}, {'N', 'N'}, {'N', 'N'}}, 0, 0, 2, 4, 'L', 'A'},
    };
    for (const Case& c : cases) {
        std::vector<DetectorReading> r = Plain(4);
        for (size_t i = 0; i < 4; ++i) {
            r[i].code1 = c.codes[i].first;
            r[i].code2 = c.codes[i].second;
        }
        Link l;
        l.Run(Detector(r), ConsistFile({Car(0, 4, c.byte4, c.orientation)}));
        ASSERT_EQ(l.run.status, 0) << c.what;
        const auto cars = l.Cars();
        ASSERT_EQ(cars.size(), 1u);
        EXPECT_EQ(cars[0].alarms, c.alarms) << c.what;
        EXPECT_EQ(cars[0].firstAlarm, c.first) << c.what;
        EXPECT_EQ(cars[0].side, c.side) << c.what;
        EXPECT_EQ(cars[0].code, c.code) << c.what;
    }
}

TEST(HeatlinkErrors, CountsThatDoNotMatch) {
    std::vector<std::vector<uint8_t>> cars;
    for (uint16_t v = 0; v < 7; ++v) cars.push_back(Car(v, v < 6 ? 4 : 6));  // 30 axles
    for (size_t readings : {31u, 29u}) {
        Link l;
        WriteFileBytes(l.dir.File("A.071"), {1, 2, 3});
        l.Run(Detector(Plain(readings)), ConsistFile(cars));
        EXPECT_EQ(l.run.status, kShellMismatch) << readings;
        EXPECT_EQ(l.out, std::vector<uint8_t>({1, 2, 3}));
    }
    Link l;
    l.Run(Detector(Plain(30)), ConsistFile(cars));
    EXPECT_EQ(l.run.status, 0);
    EXPECT_EQ(l.Cars().size(), 7u);
}

TEST(HeatlinkErrors, MissingShortAndLyingInputs) {
    const auto good = Detector(Plain(4));
    const auto consist = ConsistFile({Car(0, 4)});
    const std::vector<uint8_t> longEntry = ConsistEntry({.vehicle = 0, .axles = 4, .after = {std::vector<uint8_t>(5000, 7)}}).Bytes();
    struct Case {
        const char* what;
        TrainFileBuilder detector, consist;
        int status;
    } cases[] = {
        {"empty detector file", TrainFileBuilder().TruncateTo(0), consist, kShellShort},
        {"detector header cut", Detector(Plain(4)).TruncateTo(40), consist, kShellShort},
        {"consist header cut", good, ConsistFile({Car(0, 4)}).TruncateTo(63), kShellShort},
        {"readings cut", Detector(Plain(4)).TruncateTo(64 + 16 * 3 + 8), consist, kShellShort},
        {"readings fewer than counted", Detector(Plain(3)).Count(4), consist, kShellShort},
        {"consist entry under 24 bytes", good, ConsistFile({Car(0, 4)}).Add(Record(20).U16(0, 20)), kShellShort},
        {"consist entry length 0", good, ConsistFile({Record(24).Bytes()}), kShellShort},
        {"consist ends before its count", good, ConsistFile({Car(0, 4)}).Count(3), kShellShort},
        {"consist entry longer than the file", good, ConsistFile({Car(0, 4)}).TruncateTo(64 + 20), kShellShort},
        {"entry of 5,024 bytes", good, ConsistFile({longEntry}), 0},
        {"consist counts no entries", good, ConsistFile({}), kShellMismatch},
    };
    for (Case& c : cases) {
        Link l;
        l.Run(c.detector, c.consist);
        EXPECT_EQ(l.run.status, c.status) << c.what;
        EXPECT_EQ(l.run.out, "") << c.what;
        EXPECT_EQ(PathExists(l.dir.File("A.071")), c.status == 0) << c.what;
    }
    Link l;
    good.Write(l.dir.File("A.018"));
    EXPECT_EQ(l.RunNames("A.018", "none.035").status, kShellCannotOpen);
    EXPECT_EQ(l.RunNames("none.018", "A.018x.035").status, kShellCannotOpen);
    // A pipe under the consist's name is refused, not waited on.
    ASSERT_EQ(mkfifo(l.dir.File("P.035").c_str(), 0644), 0);
    EXPECT_EQ(l.RunNames("A.018", "P.035").status, kShellCannotOpen);
    mkdir(l.dir.File("D.035").c_str(), 0755);
    EXPECT_EQ(l.RunNames("A.018", "D.035").status, kShellCannotOpen);
}

TEST(HeatlinkErrors, OutputThatCannotBeWrittenKeepsTheOldOne) {
    Link l;
    ASSERT_EQ(mkdir(l.dir.File("A.071").c_str(), 0755), 0);
    Detector(Plain(4)).Write(l.dir.File("A.018"));
    ConsistFile({Car(0, 4)}).Write(l.dir.File("B.035"));
    EXPECT_EQ(RunProgram(ProgramPath("heatlink"), {"A.018", "B.035"}, l.dir.Path()).status, kShellCannotCreate);

    // A disk that fills up during the write: -6, and the old .071 stays whole.
    TempDir dir;
    Detector(Plain(4)).Write(dir.File("A.018"));
    ConsistFile({Car(0, 4)}).Write(dir.File("B.035"));
    WriteFileBytes(dir.File("A.071"), {9, 9, 9});
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    plat::testing::SetWriteFaultAfter(70);
    const char* argv[] = {"heatlink", "A.018", "B.035"};
    const int status = HeatlinkMain(3, argv);
    plat::testing::SetWriteFaultAfter(-1);
    ASSERT_EQ(chdir(cwd), 0);
    EXPECT_EQ(status, kLinkWriteFailed);
    EXPECT_EQ(ReadFileBytes(dir.File("A.071")), std::vector<uint8_t>({9, 9, 9}));
}
