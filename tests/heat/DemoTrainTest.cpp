// The demo train end to end through the real programs: simulated by
// trainsim, its axles derived by edgemill (and, as the demo script does,
// its speeds corrected by Trimwell), the hot-bearing detector's one spurious
// reading found and removed by heatalign, and the readings joined to the
// consist by heatlink.
#include "AxleLayout.h"
#include "HeatSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace fixture;
using namespace heattest;

namespace {

constexpr int kShellCountsDiffer = 252;  // heatlink -4
const char* const kBase = "00008901";
constexpr size_t kAxles = 88;
constexpr size_t kSpurious = 60;  // the reading after axle 60
constexpr size_t kAlarmed = 26;   // axle 27 carries the hot bearing

#define REQUIRE_PROGRAM(name) \
    if (!PathExists(ProgramPath(name))) GTEST_SKIP() << name " is not part of this build"

struct DemoTrain {
    TempDir dir;

    RunResult Run(const std::string& program, const std::vector<std::string>& args) const {
        return RunProgram(ProgramPath(program), args, dir.Path());
    }
    std::vector<uint8_t> Bytes(const char* extension) const {
        return ReadFileBytes(dir.File(std::string(kBase) + extension));
    }
    // Writes the sample description and simulates it under the base name.
    void Simulate() const {
        RunResult sample = Run("trainsim", {"--sample"});
        ASSERT_EQ(sample.status, 0) << sample.err;
        WriteFileBytes(dir.File("demo.train"), std::vector<uint8_t>(sample.out.begin(), sample.out.end()));
        RunResult sim = Run("trainsim", {"demo.train", kBase});
        ASSERT_EQ(sim.status, 0) << sim.out << sim.err;
    }
};

// The time from each axle to the one before, as the axle file holds it.
std::vector<uint32_t> AxleGaps(const std::vector<uint8_t>& file) {
    namespace ax = layout::axle;
    std::vector<uint32_t> gaps;
    uint32_t previous = 0;
    for (size_t at = layout::header::kSize; at + ax::kRecordSize <= file.size(); at += ax::kRecordSize) {
        const uint32_t t = layout::Get(file, at, ax::kTime);
        gaps.push_back(gaps.empty() ? 0 : t - previous);
        previous = t;
    }
    return gaps;
}

}  // namespace

TEST(HeatDemoTrain, HeatalignRemovesTheOneSpuriousReadingAndHeatlinkPairsTheRest) {
    REQUIRE_PROGRAM("trainsim");
    REQUIRE_PROGRAM("edgemill");
    REQUIRE_PROGRAM("Trimwell");
    const struct {
        const char* what;
        std::vector<std::string> trimwell;  // operations run after edgemill, none: edgemill's speeds
    } cases[] = {
        {"edgemill's speeds", {}},
        {"speeds corrected and smoothed", {"/OP1", "/OP2", "/OP3"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DemoTrain t;
        ASSERT_NO_FATAL_FAILURE(t.Simulate());
        ASSERT_EQ(t.Run("edgemill", {kBase}).status, 0);
        if (!c.trimwell.empty()) {
            std::vector<std::string> args{kBase};
            args.insert(args.end(), c.trimwell.begin(), c.trimwell.end());
            ASSERT_EQ(t.Run("Trimwell", args).status, 0);
        }
        const std::vector<uint8_t> axlesBefore = t.Bytes(".010"), readingsBefore = t.Bytes(".018");
        const std::vector<ReadingView> before = ReadingViews(readingsBefore);
        ASSERT_EQ(before.size(), kAxles + 1);

        // One reading more than axles: the correlator refuses to pair them.
        EXPECT_EQ(t.Run("heatlink", {std::string(kBase) + ".018", std::string(kBase) + ".035"}).status,
                  kShellCountsDiffer);
        EXPECT_FALSE(PathExists(t.dir.File(std::string(kBase) + ".071")));

        RunResult align = t.Run("heatalign", {kBase, "2"});
        ASSERT_EQ(align.status, 1) << align.out;
        EXPECT_NE(align.out.find("Axle Count does not Match HBD count 88 - 89\n"), std::string::npos);
        EXPECT_NE(align.out.find("\nAxle 60 is Removed\n"), std::string::npos) << align.out;
        EXPECT_EQ(align.out.find("Dummy"), std::string::npos) << align.out;
        EXPECT_EQ(align.out.find("Too many changes"), std::string::npos) << align.out;
        EXPECT_EQ(t.Bytes(".O18"), readingsBefore);
        EXPECT_EQ(t.Bytes(".010"), axlesBefore);  // option 2 trusts the axles

        // The spurious reading is gone and its time went to the next one;
        // every other reading is as recorded, renumbered.
        const std::vector<ReadingView> after = ReadingViews(t.Bytes(".018"));
        ASSERT_EQ(after.size(), kAxles);
        for (size_t i = 0; i < kAxles; ++i) {
            const ReadingView& was = before[i < kSpurious ? i : i + 1];
            EXPECT_EQ(after[i].number, i + 1);
            EXPECT_EQ(after[i].ms, i == kSpurious ? before[i].ms + before[i + 1].ms : was.ms) << i;
            EXPECT_EQ(after[i].code2, i == kAlarmed ? unsigned('A') : unsigned('N')) << i;
            EXPECT_EQ(after[i].value1, was.value1) << i;
        }
        // Lined up, the detector's gaps follow the axles' gaps closely
        // everywhere, through the stop and the back-out.
        const std::vector<uint32_t> gaps = AxleGaps(axlesBefore);
        ASSERT_EQ(gaps.size(), kAxles);
        for (size_t i = 1; i < kAxles; ++i) {
            const double mean = (double(gaps[i]) + after[i].ms) / 2.0;
            EXPECT_LE(std::abs(double(gaps[i]) - after[i].ms), 0.15 * mean) << "axle " << i + 1;
        }
        // Aligned once, a second run has nothing to do.
        RunResult again = t.Run("heatalign", {kBase, "2"});
        EXPECT_EQ(again.status, 0);
        EXPECT_EQ(again.out, "");

        ASSERT_EQ(t.Run("heatlink", {std::string(kBase) + ".018", std::string(kBase) + ".035"}).status, 0);
        const std::vector<CarView> cars = CarViews(t.Bytes(".071"));
        ASSERT_EQ(cars.size(), 20u);
        size_t axles = 0;
        for (size_t v = 0; v < cars.size(); ++v) {
            axles += (cars[v].length - 10) / 10;
            EXPECT_EQ(cars[v].number, v + 1);
            // The hot bearing: the third axle of the first tank car (vehicle
            // 5), counted from the car's rear as axle 2, right side.
            const bool hot = v == 5;
            EXPECT_EQ(cars[v].alarms, hot ? 1u : 0u) << v;
            EXPECT_EQ(cars[v].firstAlarm, hot ? 2u : 0u) << v;
            EXPECT_EQ(cars[v].side, hot ? 'R' : ' ') << v;
            EXPECT_EQ(cars[v].code, hot ? 'A' : 'N') << v;
        }
        EXPECT_EQ(axles, kAxles);
    }
}
