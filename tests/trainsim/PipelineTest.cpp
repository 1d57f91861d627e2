// The tools on simulated trains. Each test runs only when the programs it
// needs are part of this build, and skips otherwise.
#include "AxleFile.h"
#include "SimSupport.h"
#include "WheelFile.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace trainsim;
using fixture::ProgramPath;
using fixture::RunProgram;
using fixture::TempDir;

namespace {

const char* const kBase = "00004321";

bool Built(const std::string& program) { return fixture::PathExists(ProgramPath(program)); }

#define REQUIRE_PROGRAM(name) \
    if (!Built(name)) GTEST_SKIP() << name " is not part of this build yet"

// Arrives at 30 mph, brakes, stops with axle 18 a foot past the leading
// detector, backs axles 17 and 18 out and leaves at 25 mph.
const std::string kStopAndBack = std::string(simtest::kPlainSite) +
                                 "loco UP 1 axles=6\n"
                                 "car TTX 100 count=6\n"
                                 "car GATX 7 length=59 centers=45 count=4\n"
                                 "speed 30\n"
                                 "ramp 12 to axle 10\n"
                                 "stop at axle 18 +1.0\n"
                                 "wait 20 s\n"
                                 "back 2 axles at 2\n"
                                 "wait 5 s\n"
                                 "ramp 25 over 400 ft\n";

void RunEdgemill(const TempDir& dir) {
    fixture::RunResult r = RunProgram(ProgramPath("edgemill"), {kBase}, dir.Path());
    ASSERT_EQ(r.status, 0) << r.out << r.err;
}

}  // namespace

TEST(TrainsimPipeline, EdgemillRecoversAxlesAndSpeeds) {
    REQUIRE_PROGRAM("edgemill");
    TempDir dir;
    Simulation sim = simtest::WriteTrain(dir, kBase, kStopAndBack);
    RunEdgemill(dir);
    CAxleFile axles;
    ASSERT_TRUE(axles.Load(dir.File(kBase).c_str()));
    ASSERT_EQ(axles.GetCount(), int(sim.geometry.axleFt.size()));  // 38 forward axles, net
    ASSERT_EQ(sim.net.size(), sim.geometry.axleFt.size());
    for (int i = 0; i < axles.GetCount(); ++i) {
        axles.Seek(i);
        const Passage& p = sim.passages[size_t(sim.net[size_t(i)].passage)];
        // Within 1/8 mph plus the timestamp rounding: both edges are whole
        // milliseconds, so the interval edgemill sees is up to 1 ms off the
        // true one, which moves the speed by up to mph / (interval - 1).
        const double ms = (p.tSecond - p.tFirst) * 1000.0;
        const double tolerance = 0.125 + p.mph / (ms - 1.0);
        EXPECT_NEAR(axles.GetSpeed(), p.mph, tolerance) << "axle " << i + 1;
        EXPECT_EQ(axles.GetRawTime(), p.rawFirst) << "axle " << i + 1;
        EXPECT_EQ(axles.GetDirection(), 1);
        EXPECT_EQ(axles.GetAxleNumber(), i + 1);
    }
}

TEST(TrainsimPipeline, EdgemillFlagsTheBackOutsInTheMovementFile) {
    REQUIRE_PROGRAM("edgemill");
    TempDir dir;
    Simulation sim = simtest::WriteTrain(dir, kBase, kStopAndBack);
    RunEdgemill(dir);
    CAxleFile moves;
    ASSERT_TRUE(moves.LoadMovement(dir.File(kBase).c_str()));
    ASSERT_EQ(moves.GetCount(), int(sim.passages.size()));  // 38 + 2 forward, 2 backward
    // Axles 1-18 forward; 18 and 17 back out (flags 0x60, both numbered 18,
    // the last axle listed so far); 17 and 18 return (0x40, numbered 18);
    // axle 19 is the first new axle after them (0x80).
    for (int i = 0; i < moves.GetCount(); ++i) {
        moves.Seek(i);
        const Passage& p = sim.passages[size_t(i)];
        uint8_t flags = 0;
        int number = p.axle + 1;
        if (i == 18 || i == 19) flags = 0x60, number = 18;
        else if (i == 20 || i == 21) flags = 0x40, number = 18;
        else if (i == 22) flags = 0x80;
        EXPECT_EQ(moves.GetFlags() & 0xE0, flags) << "record " << i;
        EXPECT_EQ(moves.GetAxleNumber(), number) << "record " << i;
        EXPECT_EQ(moves.GetDirection(), p.forward ? 1 : 0) << "record " << i;
        EXPECT_EQ(moves.GetRawTime(), p.rawFirst) << "record " << i;
    }
    std::vector<int> backed;
    for (const Passage& p : sim.passages)
        if (!p.forward) backed.push_back(p.axle + 1);
    EXPECT_EQ(backed, (std::vector<int>{18, 17}));
}

TEST(TrainsimPipeline, TrimwellOp1RecoversASeededSpacingError) {
    REQUIRE_PROGRAM("edgemill");
    REQUIRE_PROGRAM("Trimwell");
    // 4-axle railcars at a steady 10 mph past detectors 6.0 inches apart,
    // with 5.4 inches (10% short) in the headers.
    TempDir dir;
    Simulation sim = simtest::WriteTrain(dir, kBase,
                                         std::string(simtest::kPlainSite) +
                                             "ab_error 10\ncar TTX 100 count=30\nspeed 10\n");
    ASSERT_EQ(sim.desc.site.HeaderAb(), 54);
    RunEdgemill(dir);
    fixture::RunResult r = RunProgram(ProgramPath("Trimwell"), {kBase, "/OP1"}, dir.Path());
    ASSERT_EQ(r.status, 0) << r.out;
    CWheelFile wheel;
    ASSERT_TRUE(wheel.Load(dir.File(kBase).c_str()));
    // The tolerance: OP1 corrects by old x (1 + error), so even a perfect
    // measurement (error 0.1) gives 54 x 1.1 = 59.4, stored as 59. The axle
    // file says about 9 mph (75.8 ms per foot), which the distance rule
    // takes as a whole 76 to 78 ms (its +1, and the 1 ms resolution of the
    // edges moving single speeds between 8 3/4 and 9 mph): the error it sees
    // lies between 0.103 and 0.126, and the new spacing between 59.5 and
    // 60.8, stored as 59 or 60. At higher speeds the whole milliseconds per
    // foot are fewer and each step weighs more (26 against 25.25 at 27 mph),
    // so this bound holds only for slow trains.
    const int corrected = wheel.GetABSpacing();
    EXPECT_LE(std::abs(corrected - 60), 1) << r.out;
    EXPECT_NE(r.out.find("(AB 54 => " + std::to_string(corrected) + ")"), std::string::npos) << r.out;
}

TEST(TrainsimPipeline, SeriesMovementFileIsTheOneEdgemillMakes) {
    REQUIRE_PROGRAM("edgemill");
    // The whole recording's .011 written with the fragments and the one
    // edgemill derives from the .007 agree byte for byte; so do the first
    // fragment's .010 and the forward axles edgemill lists before the first
    // back-out.
    for (const std::string& site : {std::string(), std::string("direction BA\ninvert_direction 1\n")}) {
        TempDir dir;
        const std::string base = "00004300";
        simtest::WriteTrain(dir, base, kStopAndBack + site + "fragments yes\n");
        const std::vector<uint8_t> written = fixture::ReadFileBytes(dir.File(base + ".011"));
        fixture::RunResult r = RunProgram(ProgramPath("edgemill"), {base}, dir.Path());
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(written, fixture::ReadFileBytes(dir.File(base + ".011"))) << site;
        const std::vector<uint8_t> net = fixture::ReadFileBytes(dir.File(base + ".010"));
        const std::vector<uint8_t> first = fixture::ReadFileBytes(dir.File("00004301.010"));
        ASSERT_EQ(first.size(), 64u + 18 * 8) << site;
        EXPECT_TRUE(std::equal(first.begin() + 64, first.end(), net.begin() + 64)) << site;
    }
}
