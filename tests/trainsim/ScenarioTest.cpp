// The situations the repair tools exist for: consist and allocation
// numbering, hot-bearing detector faults, fragment series, split recordings
// and the articulated passenger train.
#include "AllocFile.h"
#include "AxleFile.h"
#include "ConsistFile.h"
#include "DetectorLayout.h"
#include "IoLayout.h"
#include "SampleTrain.h"
#include "SimSupport.h"
#include "TagDecode.h"
#include "TrainSummaryFile.h"
#include "WheelLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

using namespace trainsim;
using fixture::TempDir;

namespace cs = layout::consist;
namespace ax = layout::axle;
namespace dt = layout::detector;

namespace {

// Ten 4-axle cars behind a locomotive: it stops twice with an axle over the
// detectors and backs it out, so it crosses forward, back, forward, back,
// forward.
const std::string kBacksOutTwice = std::string(simtest::kPlainSite) +
                                   "loco UP 1 axles=6\n"
                                   "car TTX 100 count=10\n"
                                   "speed 20\n"
                                   "stop at axle 10 +1.0\n"
                                   "back 2 axles at 2\n"
                                   "ramp 6 over 40 ft\n"
                                   "stop at axle 20 +1.0\n"
                                   "wait 5 s\n"
                                   "back 3 axles at 2\n"
                                   "ramp 15 over 200 ft\n";

std::vector<std::vector<uint8_t>> Entries(const std::string& path) {
    CTrainFile f;
    if (!f.Load(path.c_str())) return {};
    return simtest::ConsistEntries(f);
}

std::string Identity(const std::vector<uint8_t>& entry) {
    auto tag = DecodeTag(TagBlockText(EntryTagBlock(entry, 0)));
    return tag ? tag->Owner() + " " + std::to_string(tag->CarNumber()) : "?";
}

std::string WriteText(const TempDir& dir, const std::string& name, const std::string& text) {
    std::ofstream(dir.File(name), std::ios::binary) << text;
    return dir.File(name);
}

// Runs trainsim on a description that must be refused: status 2, the
// message on standard error, and no file written.
void ExpectRefused(const std::string& text, const std::string& base, const std::string& message) {
    TempDir dir;
    const std::string desc = WriteText(dir, "t.train", text);
    fixture::RunResult r = fixture::RunProgram(fixture::ProgramPath("trainsim"), {desc, base}, dir.Path());
    EXPECT_EQ(r.status, 2) << message << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_EQ(dir.List(), std::vector<std::string>{"t.train"}) << message;
}

int Records(const std::string& path) {
    CTrainFile f;
    return f.Load(path.c_str()) ? f.GetCount() : -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Vehicle numbers

TEST(TrainsimNumbering, ConsistVehicleNumbersAreTheAllocationSequence) {
    TempDir dir;
    Simulation sim = simtest::WriteTrain(dir, "00008901", SampleDescription());
    const auto entries = Entries(dir.File("00008901.035"));
    ASSERT_EQ(entries.size(), 20u);
    EXPECT_EQ(layout::Get(entries[0], 0, cs::kVehicleNumber), 0u);  // the head locomotive
    CAllocFile alloc;
    ASSERT_TRUE(alloc.Load(dir.File("00008901").c_str()));
    ASSERT_EQ(alloc.GetCount(), 19);  // every vehicle with axles
    for (int i = 0; i < alloc.GetCount(); ++i) {
        const auto& e = entries[size_t(i)];
        // The allocation record with sequence n and the consist entry with
        // vehicle number n describe the same vehicle.
        EXPECT_EQ(alloc.GetFieldAt(i, layout::alloc::kSequence), layout::Get(e, 0, cs::kVehicleNumber)) << i;
        EXPECT_EQ(alloc.GetFieldAt(i, layout::alloc::kFirstAxle), layout::Get(e, 0, cs::kFirstAxle)) << i;
        EXPECT_EQ(alloc.GetFieldAt(i, layout::alloc::kLastAxle) - alloc.GetFieldAt(i, layout::alloc::kFirstAxle) + 1,
                  layout::Get(e, 0, cs::kAxleCount))
            << i;
    }
}

// ---------------------------------------------------------------------------
// Hot-bearing detector faults

TEST(TrainsimHotBearing, SpuriousAndMissedReadings) {
    // A train of 16 axles; the alarm on axle 6 side 1.
    const std::string train = "ab_spacing 60\nscale no\nhbd_alarm 6 1 A 150\nloco UP 1 axles=4 length=60 centers=40\n"
                              "car TTX 100 count=3\nspeed 20\n";
    const struct {
        const char* faults;
        int records;
        std::vector<int> spurious;  // indexes of the spurious readings
        int alarmAt;                // index of the alarm reading
        bool halfway;               // the first spurious reading lies halfway between its neighbours
    } cases[] = {
        {"", 16, {}, 5, false},
        {"hbd_extra 3\n", 17, {3}, 6, true},
        {"hbd_extra 16\n", 17, {16}, 5, false},  // after the last axle
        {"hbd_miss 2\n", 15, {}, 4, false},
        {"hbd_miss 1\nhbd_miss 16\n", 14, {}, 4, false},
        {"hbd_extra 2\nhbd_miss 4\n", 16, {2}, 5, true},
        {"hbd_miss 3\nhbd_extra 3\n", 16, {2}, 5, false},  // misses the axle and reads a ghost after it
        {"hbd_extra 5\nhbd_extra 5\n", 18, {5, 6}, 7, false},  // two ghosts share the interval
    };
    for (const auto& c : cases) {
        TempDir dir;
        Simulation sim = simtest::WriteTrain(dir, "00000001", train + c.faults);
        CTrainFile f;
        ASSERT_TRUE(f.Load(dir.File("00000001.018").c_str())) << c.faults;
        ASSERT_EQ(f.GetCount(), c.records) << c.faults;
        ASSERT_EQ(sim.hbd.size(), size_t(c.records));
        for (int i = 0; i < f.GetCount(); ++i) {
            EXPECT_EQ(f.GetFieldAt(i, dt::kNumber), uint32_t(i + 1));
            const bool spurious = std::find(c.spurious.begin(), c.spurious.end(), i) != c.spurious.end();
            EXPECT_EQ(sim.hbd[size_t(i)].spurious, spurious) << c.faults << i;
            EXPECT_EQ(f.GetFieldAt(i, dt::kSide1Code), i == c.alarmAt ? uint32_t('A') : uint32_t('N')) << c.faults << i;
            if (i > 0) {
                EXPECT_GT(f.GetFieldAt(i, dt::kMsSincePrevious), 0u) << c.faults << i;
            }
        }
        if (c.halfway) {
            const int at = c.spurious.front();
            const double before = f.GetFieldAt(at, dt::kMsSincePrevious);
            const double after = f.GetFieldAt(at + 1, dt::kMsSincePrevious);
            EXPECT_NEAR(before, after, 1.0) << c.faults;
        }
    }
}

TEST(TrainsimHotBearing, ReadingGapsFollowTheAxleGapsThroughBrakingAndBackOuts) {
    // Brakes from 30 mph, stops with axle 18 past the detectors, backs axles
    // 17 and 18 out, returns and speeds up again.
    const std::string train = "ab_spacing 60\nscale no\nloco UP 1 axles=6\ncar TTX 100 count=6\n"
                              "speed 30\nramp 12 to axle 10\nstop at axle 18 +1.0\nwait 20 s\n"
                              "back 2 axles at 2\nwait 5 s\nramp 25 over 400 ft\n";
    // The largest share of their mean by which a reading's gap departs from
    // its axle's gap (first detector edges of the net axles).
    auto worst = [](const Simulation& sim) {
        EXPECT_EQ(sim.hbd.size(), sim.net.size());
        double share = 0.0;
        for (size_t i = 1; i < std::min(sim.hbd.size(), sim.net.size()); ++i) {
            const double axle = (sim.passages[size_t(sim.net[i].passage)].tFirst -
                                 sim.passages[size_t(sim.net[i - 1].passage)].tFirst) * 1000.0;
            const double reading = sim.hbd[i].msSincePrevious;
            share = std::max(share, std::fabs(axle - reading) / ((axle + reading) / 2.0));
        }
        return share;
    };
    // The scanners stand at the wheel detectors: each axle is read on its
    // first forward passage, so the gaps agree within the alignment's 15%.
    EXPECT_LT(worst(simtest::Simulated(train)), 0.15);
    // Sixty feet on, the braking train reaches the scanners later and slower.
    EXPECT_GT(worst(simtest::Simulated("hbd_offset 60\n" + train)), 0.15);
}

// ---------------------------------------------------------------------------
// Fragment series

TEST(TrainsimFragments, OneFragmentPerMovement) {
    TempDir dir;
    Simulation sim = simtest::WriteTrain(dir, "00007700", kBacksOutTwice + "fragments yes\n");
    ASSERT_EQ(sim.movements.size(), 5u);
    CAxleFile moves;
    ASSERT_TRUE(moves.LoadMovement(dir.File("00007700").c_str()));
    ASSERT_EQ(moves.GetCount(), int(sim.passages.size()));

    int sum = 0;
    std::vector<std::vector<std::vector<uint8_t>>> consists;
    for (int k = 1; k <= 5; ++k) {
        const std::string name = dir.File("0000770" + std::to_string(k));
        const bool forward = k % 2 == 1;
        CAxleFile axles;
        ASSERT_TRUE(axles.Load(name.c_str())) << k;
        EXPECT_EQ(axles.GetCount(), int(sim.movements[size_t(k - 1)].count)) << k;
        EXPECT_EQ(Records(name + ".011"), axles.GetCount()) << k;
        for (int i = 0; i < axles.GetCount(); ++i) {
            axles.Seek(i);
            // Each fragment is a train of its own running one way.
            EXPECT_EQ(axles.GetDirection(), forward ? 1 : 0) << k << " " << i;
            EXPECT_EQ(axles.GetAxleNumber(), i + 1);
            EXPECT_EQ(axles.GetFlags() & ax::kMovementMask, 0);
            // The same passage in the whole recording's movement file.
            moves.Seek(sum + i);
            EXPECT_EQ(axles.GetRawTime(), moves.GetRawTime());
            EXPECT_EQ(axles.GetSpeedEighths(), moves.GetSpeedEighths());
        }
        sum += axles.GetCount();

        CTrainSummaryFile summary;
        ASSERT_TRUE(summary.Load(name.c_str()));
        EXPECT_EQ(summary.Get(layout::summary::kLastWheelB), forward ? 1u : 0u) << k;  // "->" or "<-"
        consists.push_back(Entries(name + ".035"));
        const auto& entries = consists.back();
        ASSERT_FALSE(entries.empty());
        for (size_t v = 0; v < entries.size(); ++v) {
            EXPECT_EQ(layout::Get(entries[v], 0, cs::kVehicleNumber), v);
            EXPECT_EQ(layout::Get(entries[v], 0, cs::kOrientation), forward ? 0u : 1u);
            EXPECT_EQ(layout::Get(entries[v], 0, cs::kReadStatus), 0u);
        }
    }
    // The axle counts of the fragments add up to the movements.
    EXPECT_EQ(sum, moves.GetCount());
    EXPECT_FALSE(fixture::PathExists(dir.File("00007706.035")));
    // The first back-out takes the rear truck of the first car (axles 9 and
    // 10), the second three axles across the coupler of the third and fourth
    // cars (20 and 19, then 18, nearest first).
    EXPECT_EQ(consists[1].size(), 1u);
    ASSERT_EQ(consists[3].size(), 2u);
    EXPECT_EQ(Identity(consists[3][0]), "TTX 103");
    EXPECT_EQ(int(layout::Get(consists[3][0], 0, cs::kFirstAxle)), 0);
    EXPECT_EQ(int(layout::Get(consists[3][1], 0, cs::kFirstAxle)), 2);
    // Where the train reversed, the end of a fragment and the start of the
    // next hold the same vehicle.
    for (size_t k = 0; k + 1 < consists.size(); ++k)
        EXPECT_EQ(Identity(consists[k].back()), Identity(consists[k + 1].front())) << k;
    EXPECT_EQ(Identity(consists[0].front()), "UP 1");
    EXPECT_EQ(Identity(consists[4].back()), "TTX 109");
}

TEST(TrainsimFragments, TheDemoTrainReversesTwiceIntoThreeFragments) {
    TempDir dir;
    simtest::WriteTrain(dir, "00008900", std::string(SampleDescription()) + "fragments yes\n");
    // 22 axles forward, 2 back, then the 2 and the other 66 forward.
    const int counts[] = {22, 2, 68};
    for (int k = 0; k < 3; ++k) EXPECT_EQ(Records(dir.File("0000890" + std::to_string(k + 1) + ".010")), counts[k]);
    EXPECT_FALSE(fixture::PathExists(dir.File("00008904.035")));
    EXPECT_EQ(Records(dir.File("00008900.011")), 22 + 2 + 68);
}

TEST(TrainsimFragments, RefusedWithoutWritingAnything) {
    const struct {
        std::string text;
        std::string base;
        const char* message;
    } cases[] = {
        {std::string(simtest::kPlainSite) + "car TTX 1 count=2\nfragments yes\n", "00001100",
         "line 5: fragments: the train never changes direction"},
        {kBacksOutTwice + "fragments yes\n", "TRAIN", "must end in two digits"},
        {kBacksOutTwice + "fragments yes\n", "00007703", "fragment 3 would take the base name"},
    };
    for (const auto& c : cases) ExpectRefused(c.text, c.base, c.message);
}

TEST(TrainsimFragments, AtMostNinetyNine) {
    // Every stop backs one axle out: 50 of them make 101 movements.
    std::string text = std::string(simtest::kPlainSite) + "loco UP 1 axles=4 length=60 centers=40\ncar TTX 1 count=14\n"
                                                          "speed 5\nfragments yes\n";
    for (int k = 2; k <= 51; ++k)
        text += "stop at axle " + std::to_string(k) + " +1.0\nback 1 axles at 1\nramp 2 to axle " +
                std::to_string(k + 1) + " -3\n";
    text += "ramp 10 over 100 ft\n";
    const std::string error = simtest::SimulationError(text);
    EXPECT_NE(error.find("101 movements; a series holds at most 99 fragments"), std::string::npos) << error;
}

// ---------------------------------------------------------------------------
// Split recordings

TEST(TrainsimSplit, TheTwoRecordingsHoldEveryRecord) {
    TempDir whole, split;
    const std::string text = std::string(SampleDescription());
    Simulation all = simtest::WriteTrain(whole, "00008901", text);
    simtest::WriteTrain(split, "00008901", text + "split at 60 s\n");
    EXPECT_EQ(split.List(), (std::vector<std::string>{"00008901.007", "00008901.012", "00008901.018", "00008901.034",
                                                       "00008901.055", "00008901.060", "00008901.064", "00008902.007",
                                                       "00008902.012", "00008902.018", "00008902.034", "00008902.055",
                                                       "00008902.060", "00008902.064"}));
    const uint32_t b = all.Raw(60.0);
    // The second recording opens with the first one's clock at the split,
    // outside the detector records; its other records count from the split.
    CTrainFile second;
    ASSERT_TRUE(second.Load(split.File("00008902.007").c_str()));
    EXPECT_EQ(second.GetFieldAt(0, layout::io::kTime), b);
    EXPECT_EQ(second.GetFieldAt(0, layout::io::kFlags), 0u);
    EXPECT_LT(second.GetFieldAt(1, layout::io::kTime), b);
    EXPECT_EQ(second.GetHeaderField(layout::header::kMinutes), 0x31u);  // 08:31:00, a minute in

    // Each time-stamped file: the first recording's records, then the
    // second's moved back onto the first one's clock, are the unsplit file.
    for (const char* ext : {".007", ".012", ".060", ".064"}) {
        const std::vector<uint8_t> unsplit = fixture::ReadFileBytes(whole.File(std::string("00008901") + ext));
        std::vector<uint8_t> one = fixture::ReadFileBytes(split.File(std::string("00008901") + ext));
        std::vector<uint8_t> two = fixture::ReadFileBytes(split.File(std::string("00008902") + ext));
        const std::string e = ext;
        const size_t size = e == ".007" || e == ".012" ? 8 : 64;
        const layout::Field& time = e == ".012" ? layout::wheel::kTime : layout::io::kTime;
        ASSERT_GE(two.size(), 64u);
        std::vector<uint8_t> joined(one.begin() + 64, one.end());
        for (size_t at = 64 + (e == ".007" ? size : 0); at + size <= two.size(); at += size) {
            std::span<uint8_t> rec(two.data() + at, size);
            layout::Set(rec, 0, time, layout::Get(rec, 0, time) + b);
            joined.insert(joined.end(), rec.begin(), rec.end());
        }
        EXPECT_EQ(joined, std::vector<uint8_t>(unsplit.begin() + 64, unsplit.end())) << ext;
    }
    EXPECT_EQ(Records(split.File("00008901.018")) + Records(split.File("00008902.018")), int(all.hbd.size()));
    EXPECT_EQ(Records(split.File("00008901.055")) + Records(split.File("00008902.055")), int(all.scale.size()));
}

TEST(TrainsimSplit, Refusals) {
    const std::string sample = SampleDescription();
    const struct {
        std::string text;
        std::string base;
        const char* message;
    } cases[] = {
        {sample + "split at 900 s\n", "00008901", "split: the recording lasts only 231.4 s"},
        {sample + "time_scale 5 1\nsplit at 60 s\n", "00008901", "needs the time scale 1 0"},
        {sample + "split at 0.1 s\n", "00008901", "split later"},
        {sample + "split at 60 s\n", "TRAIN", "must end in a number"},
        {sample + "split at 60 s\n", "99999999", "must end in a number"},
        {sample + "split at 60 s\nfragments yes\n", "00008900", "split and fragments cannot be combined"},
    };
    for (const auto& c : cases) ExpectRefused(c.text, c.base, c.message);
}

TEST(TrainsimSplit, BaseNames) {
    EXPECT_EQ(NextBaseName("00008901"), "00008902");
    EXPECT_EQ(NextBaseName("dir/00008999"), "dir/00009000");
    EXPECT_EQ(NextBaseName("T9"), std::optional<std::string>{});
    EXPECT_EQ(NextBaseName("X"), std::optional<std::string>{});
    EXPECT_EQ(FragmentName("00008900", 7), "00008907");
    EXPECT_EQ(FragmentName("00008900", 99), "00008999");
    EXPECT_EQ(FragmentName("00008900", 100), std::optional<std::string>{});
    EXPECT_EQ(FragmentName("0", 1), std::optional<std::string>{});
}

// ---------------------------------------------------------------------------
// Passenger train

TEST(TrainsimPassenger, ArticulatedConsistPattern) {
    TempDir dir;
    Simulation sim = simtest::WriteTrain(dir, "00005000", PassengerSampleDescription());
    EXPECT_EQ(sim.net.size(), 22u);
    const auto entries = Entries(dir.File("00005000.035"));
    ASSERT_EQ(entries.size(), 8u);
    const int axles[] = {4, 3, 2, 2, 2, 2, 3, 4};
    int special = -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        EXPECT_EQ(int(layout::Get(e, 0, cs::kAxleCount)), axles[i]) << i;
        EXPECT_EQ(layout::Get(e, 0, cs::kAxleCountHigh), 0u);  // the flag byte of the pattern
        EXPECT_EQ(layout::Get(e, 0, cs::kEgc), i == 0 || i == 7 ? 5u : 19u) << i;
        EXPECT_EQ(layout::Get(e, 0, cs::kVehicleNumber), i);
        auto tag = DecodeTag(TagBlockText(EntryTagBlock(e, 0)));
        ASSERT_TRUE(tag) << i;
        EXPECT_EQ(tag->Owner(), "PXR");
        if (tag->Layout() == AeiLayout::Railcar && tag->Get(layout::aei::kRailcar44) == 4) special = int(i);
    }
    EXPECT_EQ(special, 4);  // one of the 2-axle units
    // Its trucks: within a truck under 11 ft, between trucks 40 ft or more,
    // at more than 10 mph.
    const auto& g = sim.geometry;
    for (size_t i = 4; i + 6 < g.axleFt.size(); ++i) {
        const double gap = g.axleFt[i + 1] - g.axleFt[i];
        if (i % 2 == 0) EXPECT_LT(gap, 11.0) << i;
        else EXPECT_GE(gap, 40.0) << i;
    }
    for (const Passage& p : sim.passages) EXPECT_GT(p.mph, 10.0);
}

TEST(TrainsimPassenger, SampleOptions) {
    TempDir dir;
    const std::string program = fixture::ProgramPath("trainsim");
    const auto run = [&](const std::string& option) { return fixture::RunProgram(program, {option}, dir.Path()); };
    EXPECT_EQ(run("--sample").out, SampleDescription());
    EXPECT_EQ(run("--sample=freight").out, SampleDescription());
    EXPECT_EQ(run("--sample=passenger").out, PassengerSampleDescription());
    EXPECT_EQ(run("--sample=tram").status, 1);
}

// ---------------------------------------------------------------------------

TEST(TrainsimScenarios, SameSeedSameBytes) {
    for (const std::string& text : {kBacksOutTwice + "fragments yes\n", std::string(SampleDescription()) + "split at 60\n",
                                    std::string(PassengerSampleDescription())}) {
        TempDir one, two;
        simtest::WriteTrain(one, "00003300", text);
        simtest::WriteTrain(two, "00003300", text);
        ASSERT_EQ(one.List(), two.List());
        for (const std::string& n : one.List())
            EXPECT_EQ(fixture::ReadFileBytes(one.File(n)), fixture::ReadFileBytes(two.File(n))) << n;
    }
}

TEST(TrainsimScenarios, MalformedStatementsNameTheirLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"car TTX 1\nhbd_extra first\n", "line 2: 'hbd_extra'"},
        {"car TTX 1\n\nhbd_miss 0\n", "line 3: 'hbd_miss'"},
        {"split 60\ncar TTX 1\n", "line 1: 'split'"},
        {"split at -5 s\n", "line 1: 'split'"},
        {"fragments maybe\n", "line 1: 'fragments'"},
        {"car TTX 1 tags=3\n", "line 1: vehicle: tags=1 or tags=2"},
        {"loco UP 1 tag44=4\n", "line 1: vehicle: tag44= belongs to a tagged railcar"},
        {"car TTX 1 tag44=8\n", "line 1: vehicle: tag44 0-7"},
    };
    for (const auto& c : cases) {
        TrainDescription d;
        std::string error;
        EXPECT_FALSE(ParseDescription(c.text, d, error)) << c.text;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << c.text << " -> " << error;
    }
    // Axles outside the train, and faults the site cannot have.
    const std::string base = std::string(simtest::kPlainSite) + "car TTX 1 count=2\n";
    EXPECT_NE(simtest::SimulationError(base + "hbd yes\nhbd_extra 9\n").find("line 6: hbd_extra: the train has only 8 axles"),
              std::string::npos);
    EXPECT_NE(simtest::SimulationError(base + "hbd_miss 2\n").find("needs a hot-bearing detector"), std::string::npos);
    EXPECT_NE(simtest::SimulationError(base + "hbd yes\nhbd_alarm 2 1\nhbd_miss 2\n").find("carries an hbd_alarm"),
              std::string::npos);
}
