// OP6 orphaned wheel events and OP8 IO event fix-up, through the real
// Trimwell and, for faults the real world rarely produces, in this program.
#include "AxleFile.h"
#include "EventFiles.h"
#include "PlatformTesting.h"
#include "Speed.h"
#include "Trimwell.h"
#include "WheelFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <random>

using namespace fixture;

namespace {

constexpr uint8_t A = layout::wheel::kDetectorA;
constexpr uint8_t B = layout::wheel::kDetectorB;
constexpr uint8_t F = layout::wheel::kEventFlag;

// Axles at 40 mph pass one foot in 18 ms; a wheel crosses an AB spacing of
// 60 tenths (half a foot) in 18 x 60 / 120 = 9 ms.
const std::vector<uint32_t> kAxles = {1000, 2000, 3000};
const std::vector<Ev> kPaired = {{A, 1000}, {B, 1010}, {A, 2000}, {B, 2010}, {A, 3000}, {B, 3010}};

std::string Op6(const TempDir& d) { return RowResult(RunTrimwell(d.Path(), {"T", "/OP6"}).out); }

std::string Fix(const TempDir& d) {
    return PathExists(d.File("T.FIX")) ? [&] {
        const std::vector<uint8_t> b = ReadFileBytes(d.File("T.FIX"));
        return std::string(b.begin(), b.end());
    }()
                                       : std::string("(none)");
}

}  // namespace

TEST(FixOrphanedWheelEvents, CompleteWheelsNeedNothing) {
    TempDir d;
    WriteAxles(d.File("T.010"), kAxles);
    WriteWheel(d.File("T.012"), kPaired);
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.012"));
    EXPECT_EQ(Op6(d), "0 orphan(s) found.OK.");
    EXPECT_EQ(ReadFileBytes(d.File("T.012")), before);
    EXPECT_FALSE(PathExists(d.File("T.FIX")));
}

// One event without its partner, 5 ft (90 ms) from the nearest axle; the
// partner goes on the side away from the lead detector.
TEST(FixOrphanedWheelEvents, IsolatedEventsGetTheirPartner) {
    struct Case {
        const char* what;
        std::vector<Ev> in, out;
        const char* fix;
    } cases[] = {
        {"A event on the lead detector: B after it, one AB crossing (9 ms) later",
         {{A, 1000}, {B, 1010}, {A, 2000}, {B, 2010}, {A, 3090}},
         {{A, 1000}, {B, 1010}, {A, 2000}, {B, 2010}, {A, 3090}, {B, 3099}},
         "Wheel events created (A/B = 0/1).\n"},
        {"B event in a flagged file: A before it, flagged, as long before as the axle's own pair took",
         {{A, 1000, F}, {B, 1012, F}, {A, 2000, F}, {B, 2012, F}, {B, 2090, F}, {A, 3000}, {B, 3012}},
         {{A, 1000, F}, {B, 1012, F}, {A, 2000, F}, {B, 2012, F}, {A, 2078, F}, {B, 2090}, {A, 3000}, {B, 3012}},
         "Wheel events created (A/B = 1/0).\n"},
        {"B event in a file without flags: the partner carries none",
         {{A, 1000}, {B, 1012}, {A, 2000}, {B, 2012}, {B, 2090}, {A, 3000}, {B, 3012}},
         {{A, 1000}, {B, 1012}, {A, 2000}, {B, 2012}, {A, 2078}, {B, 2090}, {A, 3000}, {B, 3012}},
         "Wheel events created (A/B = 1/0).\n"},
        {"the event after the axle's is of the same detector: the AB crossing time",
         {{A, 1000}, {B, 1010}, {A, 2000}, {A, 2005}, {B, 2090}, {A, 3000}, {B, 3010}},
         {{A, 1000}, {B, 1010}, {A, 2000}, {A, 2005}, {A, 2081}, {B, 2090}, {A, 3000}, {B, 3010}},
         "Wheel events created (A/B = 1/0).\n"},
    };
    for (const Case& c : cases) {
        TempDir d;
        WriteAxles(d.File("T.010"), kAxles);
        WriteWheel(d.File("T.012"), c.in);
        EXPECT_EQ(Op6(d), "1 orphan(s) found.OK.") << c.what;
        EXPECT_EQ(ReadWheel(d.File("T.012")), c.out) << c.what;
        EXPECT_EQ(Fix(d), c.fix) << c.what;
    }
}

TEST(FixOrphanedWheelEvents, OrphanBandIsThreeToEightFeetInclusive) {
    // At 70 mph an axle passes one foot in 10 ms.
    const struct {
        uint32_t after;
        unsigned orphans;
    } cases[] = {{29, 0}, {30, 1}, {80, 1}, {81, 0}};
    for (const auto& c : cases) {
        TempDir d;
        WriteAxles(d.File("T.010"), {1000, 5000}, 560);
        WriteWheel(d.File("T.012"), {{A, 1000}, {B, 1005}, {A, 1000 + c.after}, {A, 5000}, {B, 5005}});
        EXPECT_EQ(Op6(d), std::to_string(c.orphans) + " orphan(s) found.OK.") << c.after << " ms";
        EXPECT_EQ(ReadWheel(d.File("T.012")).size(), 5u + c.orphans) << c.after << " ms";
    }
}

TEST(FixOrphanedWheelEvents, SecondRunAndRepassagesChangeNothing) {
    TempDir d;
    WriteAxles(d.File("T.010"), kAxles);
    WriteWheel(d.File("T.012"), {{A, 1000}, {B, 1010}, {A, 2000}, {B, 2010}, {A, 3090}});
    EXPECT_EQ(Op6(d), "1 orphan(s) found.OK.");
    const std::vector<uint8_t> repaired = ReadFileBytes(d.File("T.012"));
    EXPECT_EQ(Op6(d), "0 orphan(s) found.OK.");
    EXPECT_EQ(ReadFileBytes(d.File("T.012")), repaired);
    EXPECT_EQ(Fix(d), "Wheel events created (A/B = 0/1).\n");

    // An axle that backed out and came back crosses A and B again, 5 ft
    // from the axle the .010 lists: a whole wheel, not two orphans.
    TempDir r;
    WriteAxles(r.File("T.010"), kAxles);
    WriteWheel(r.File("T.012"), {{A, 1000}, {B, 1010}, {A, 2000}, {B, 2010}, {A, 2090}, {B, 2100}, {A, 3000}, {B, 3010}});
    EXPECT_EQ(Op6(r), "0 orphan(s) found.OK.");

    // A wheel that took 4 ft at its axle's pace to reach B, as the train
    // braked to a stop over the detectors, has both its events.
    TempDir s;
    WriteAxles(s.File("T.010"), kAxles);
    WriteWheel(s.File("T.012"), {{A, 1000}, {B, 1010}, {A, 2000}, {B, 2072}, {A, 3000}, {B, 3010}});
    EXPECT_EQ(Op6(s), "0 orphan(s) found.OK.");
}

// A partner that would fall outside the 32-bit count or out of time order
// is not made; the orphan is still counted and nothing is written.
TEST(FixOrphanedWheelEvents, PartnersThatBreakTheTimesAreNotMade) {
    struct Axle {
        uint32_t t;
        unsigned eighths;
    };
    const struct {
        const char* what;
        std::vector<Axle> axles;
        std::vector<Ev> in;
    } cases[] = {
        // At 1 mph (682 ms per foot) the B event lies 4.4 ft before the
        // axle, whose own pair took longer than the B event's time.
        {"before the counter's start", {{50000, 8}}, {{A, 0}, {B, 47000}, {A, 50000}, {B, 99000}}},
        {"past the counter's end", {{0xFFFFFFA0u, 320}}, {{A, 0xFFFFFFFAu}}},
        // The slow axle is nearest in feet; the fast one's own event comes
        // before one AB crossing at the slow pace is over.
        {"after the next event", {{1000, 8}, {4100, 560}}, {{A, 4000}, {A, 4100}, {B, 4105}}},
    };
    for (const auto& c : cases) {
        TempDir d;
        TrainFileBuilder axles = AxleFileBuilder();
        for (const Axle& a : c.axles) axles.Add(AxleRecord(a.eighths, 1, a.t, 1));
        axles.Write(d.File("T.010"));
        WriteWheel(d.File("T.012"), c.in);
        const std::vector<uint8_t> before = ReadFileBytes(d.File("T.012"));
        EXPECT_EQ(Op6(d), "1 orphan(s) found.OK.") << c.what;
        EXPECT_EQ(ReadFileBytes(d.File("T.012")), before) << c.what;
        EXPECT_FALSE(PathExists(d.File("T.FIX"))) << c.what;
    }
}

TEST(FixOrphanedWheelEvents, UnusableInputsFailAndStayUntouched) {
    const struct {
        const char* what;
        TrainFileBuilder wheel;
        bool axles;
        const char* row;
    } cases[] = {
        {"no .010", WheelFileBuilder().Add(WheelRecord(A, 3090)), false, "Failed."},
        {"an empty .012", WheelFileBuilder(), true, "Failed."},
        {"AB spacing 0", WheelFileBuilder(0).Add(WheelRecord(A, 3090)), true, "No AB spacing in the .012. Failed."},
        {"time scale 0", WheelFileBuilder().TimeScale(0, 0).Add(WheelRecord(A, 3090)), true,
         "Unusable .012 time scale. Failed."},
        {"record length 0", WheelFileBuilder().Add(WheelRecord(A, 3090)).RecordLength(0), true,
         "Unusable record length. Failed."},
        {"records shorter than their fields", WheelFileBuilder().Add(Record(4)).Add(Record(4)).RecordLength(4), true,
         "Unusable record length. Failed."},
    };
    for (const auto& c : cases) {
        TempDir d;
        if (c.axles) WriteAxles(d.File("T.010"), kAxles);
        c.wheel.Write(d.File("T.012"));
        const std::vector<uint8_t> before = ReadFileBytes(d.File("T.012"));
        EXPECT_EQ(Op6(d), c.row) << c.what;
        EXPECT_EQ(ReadFileBytes(d.File("T.012")), before) << c.what;
        EXPECT_FALSE(PathExists(d.File("T.FIX"))) << c.what;
    }
    // A .010 whose record length is 0 would keep its cursor on record 0.
    TempDir z;
    AxleFileBuilder().Add(AxleRecord(320, 1, 3000, 1)).RecordLength(0).Write(z.File("T.010"));
    WriteWheel(z.File("T.012"), {{A, 3090}});
    EXPECT_EQ(Op6(z), "Unusable record length. Failed.");
}

TEST(FixOrphanedWheelEvents, StopsAtTheRecordLimitAndSaysSo) {
    TempDir d;
    // Two orphans, then events far from any axle up to 65,534 records: one
    // partner fits, the second would make 65,536.
    std::vector<Ev> ev = {{A, 1000}, {B, 1010}, {A, 1090}, {A, 1140}};
    for (uint32_t t = 10'000'000; ev.size() < 65534; t += 10) ev.push_back({A, t});
    WriteAxles(d.File("T.010"), {1000});
    WriteWheel(d.File("T.012"), ev);
    EXPECT_EQ(Op6(d), "Record limit of 65535 reached, 1 partner(s) not created. 2 orphan(s) found.OK.");
    EXPECT_EQ(ReadWheel(d.File("T.012")).size(), 65535u);
    EXPECT_EQ(Fix(d), "Wheel events created (A/B = 0/1).\n");
}

TEST(FixOrphanedWheelEvents, FailedSaveWritesNoLogLine) {
    TempDir d;
    WriteAxles(d.File("T.010"), kAxles);
    WriteWheel(d.File("T.012"), {{A, 1000}, {B, 1010}, {A, 3090}});
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.012"));
    plat::testing::SetWriteFaultAfter(0);
    bool ok = true;
    const std::string text = Capture([&](FILE* f) { ok = FixOrphanedWheelEvents(d.File("T"), f); });
    plat::testing::SetWriteFaultAfter(-1);
    EXPECT_FALSE(ok);
    EXPECT_EQ(text, "1 orphan(s) found.");
    EXPECT_EQ(ReadFileBytes(d.File("T.012")), before);
    EXPECT_FALSE(PathExists(d.File("T.FIX")));
}

namespace {

// The repair done the plain way: every axle measured for every event, the
// matching event searched from the first one, each partner inserted on its
// own. Returns the orphans found.
unsigned PlainRepair(const std::string& base) {
    CWheelFile w;
    CAxleFile a;
    w.Load(base.c_str());
    a.Load(base.c_str());
    auto rawAt = [&](int i) { return w.GetFieldAt(i, layout::wheel::kTime); };
    auto detAt = [&](int i) { return uint8_t(w.GetFieldAt(i, layout::wheel::kDetector)); };
    auto msAt = [&](int i) { return w.RawToMs(rawAt(i)); };
    auto feet = [](int x, int y, unsigned pace) {
        const int64_t d = MsDifference(x, y);
        return float(d < 0 ? -d : d) / float(pace);
    };
    bool flagged = false;
    for (int i = 0; i < w.GetCount(); ++i) flagged |= (w.GetFieldAt(i, layout::wheel::kFlags) & F) != 0;
    const uint8_t lead = detAt(0);
    unsigned orphans = 0;
    int created[2] = {0, 0};
    for (int g = 0; g < w.GetCount(); ++g) {
        const int te = msAt(g);
        float best = 1000.0f;
        int nearest = -1;
        for (int i = 0; i < a.GetCount(); ++i) {
            const float dist = feet(a.GetTimeAt(i), te, a.MsPerFoot(i, i));
            if (dist < best) best = dist, nearest = i;
        }
        if (nearest < 0 || best < 3.0f || best > 8.0f) continue;
        const unsigned pace = a.MsPerFoot(nearest, nearest);
        const bool onLead = detAt(g) == lead;
        const int side = onLead ? g + 1 : g - 1;
        if (w.IsValid(side) && detAt(side) != detAt(g) &&
            (feet(msAt(side), te, pace) < 3.0f || msAt(side) == a.GetTimeAt(nearest)))
            continue;
        ++orphans;
        int k = -1;
        for (int i = 0; i < w.GetCount() && k < 0; ++i)
            if (msAt(i) == a.GetTimeAt(nearest)) k = i;
        uint32_t m = w.MsToRaw(pace * w.GetABSpacing() / 120);
        if (k >= 0 && w.IsValid(k + 1) && detAt(k + 1) != detAt(k) && rawAt(k + 1) > rawAt(k))
            m = rawAt(k + 1) - rawAt(k);
        const uint64_t raw = rawAt(g);
        bool fits = onLead ? raw + m <= std::numeric_limits<uint32_t>::max() && (!w.IsValid(g + 1) || raw + m <= rawAt(g + 1))
                           : m <= raw && (g == 0 || raw - m >= rawAt(g - 1));
        if (!fits || w.GetCount() + 1 > 65535) continue;
        std::vector<uint8_t> rec(w.Data().begin() + g * 8, w.Data().begin() + g * 8 + 8);
        w.SetFieldAt(g, layout::wheel::kFlags, w.GetFieldAt(g, layout::wheel::kFlags) & ~uint32_t(F));
        rec[0] = detAt(g) == A ? B : A;
        layout::Set(rec, 0, layout::wheel::kTime, uint32_t(onLead ? raw + m : raw - m));
        if (!onLead && flagged) rec[1] |= F;
        w.Insert(onLead ? g + 1 : g, rec.data());
        ++created[rec[0] == A ? 0 : 1];
        ++g;
    }
    if (created[0] + created[1] > 0) {
        w.Save();
        const std::string line = "Wheel events created (A/B = " + std::to_string(created[0]) + "/" +
                                 std::to_string(created[1]) + ").\n";
        AppendToFile(base + ".FIX", line.data(), line.size());
    }
    return orphans;
}

}  // namespace

TEST(FixOrphanedWheelEvents, SameResultAsThePlainSearchOnRandomTrains) {
    std::mt19937 rng(15);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const uint32_t starts[] = {1000, 0x7FFF0000u, 0xFFFF0000u};
    unsigned total = 0;
    for (int trial = 0; trial < 120; ++trial) {
        std::vector<uint32_t> axles;
        std::vector<unsigned> speeds;
        std::vector<Ev> ev;
        uint32_t t = starts[trial % 3] + uint32_t(pick(0, 1000));
        const uint8_t lead = trial % 2 ? A : B;
        const bool flags = trial % 4 == 0;
        for (int i = pick(1, 60); i > 0; --i) {
            // Axles 4 to 10 ft apart at their own pace; a wheel that one
            // detector missed has no axle in the .010.
            const unsigned speed = unsigned(pick(1, 12) == 1 ? pick(1, 15) : pick(60, 500));
            const unsigned pace = MsPerFootAtAverage(speed, 1);
            t += uint32_t(pace * unsigned(pick(4, 10)) + unsigned(pick(0, 30)));
            const int drop = pick(0, 7);
            if (drop > 1) {
                axles.push_back(t);
                speeds.push_back(speed);
            }
            if (drop != 0) ev.push_back({lead, t, uint8_t(flags && pick(0, 1))});
            if (drop != 1) ev.push_back({uint8_t(lead ^ 1), t + uint32_t(pick(0, 20)), uint8_t(flags && pick(0, 1))});
            if (pick(0, 7) == 0) ev.push_back({uint8_t(pick(0, 1)), t + uint32_t(pick(30, 250))});
        }
        if (axles.empty()) continue;
        std::stable_sort(ev.begin(), ev.end(), [](const Ev& x, const Ev& y) { return x.t < y.t; });
        // Now and then a recording whose events or axles go back in time.
        if (trial % 5 == 4) {
            for (int k = pick(1, 3); k > 0; --k) {
                std::swap(ev[size_t(pick(0, int(ev.size()) - 1))], ev[size_t(pick(0, int(ev.size()) - 1))]);
                const size_t x = size_t(pick(0, int(axles.size()) - 1)), y = size_t(pick(0, int(axles.size()) - 1));
                std::swap(axles[x], axles[y]);
                std::swap(speeds[x], speeds[y]);
            }
        }
        const uint8_t ab = uint8_t(pick(1, 255));
        TempDir fast, plain;
        for (const TempDir* d : {&fast, &plain}) {
            TrainFileBuilder b = AxleFileBuilder();
            for (size_t i = 0; i < axles.size(); ++i) b.Add(AxleRecord(speeds[i], 1, axles[i], uint16_t(i + 1)));
            b.Write(d->File("T.010"));
            // Some trains count the wheel events in tenths of a millisecond.
            const bool tenths = trial % 3 == 0 && trial % 2 == 0;
            std::vector<Ev> raw = ev;
            if (tenths)
                for (Ev& e : raw) e.t *= 10;
            WriteWheel(d->File("T.012"), raw, ab, 1, tenths ? 1 : 0);
        }
        const std::string text = Capture([&](FILE* f) { FixOrphanedWheelEvents(fast.File("T"), f); });
        const unsigned orphans = PlainRepair(plain.File("T"));
        total += orphans;
        EXPECT_EQ(text, std::to_string(orphans) + " orphan(s) found.") << "trial " << trial;
        EXPECT_EQ(ReadFileBytes(fast.File("T.012")), ReadFileBytes(plain.File("T.012"))) << "trial " << trial;
        EXPECT_EQ(Fix(fast), Fix(plain)) << "trial " << trial;
    }
    EXPECT_GT(total, 100u);  // the trains do have orphans to repair
}

// ---------------------------------------------------------------------------
// OP8

namespace {

constexpr uint16_t WDA = layout::io::kDefaultMaskA;
constexpr uint16_t WDB = layout::io::kDefaultMaskB;

struct Io {
    uint32_t t;
    uint16_t inputs;
};

void WriteIo(const std::string& path, const std::vector<Io>& recs, uint8_t preprocessed, uint8_t version) {
    TrainFileBuilder b = IoFileBuilder({.recorderVersion = version});
    b.HeaderU8(layout::io::kPreprocessed.offset, preprocessed);
    for (const Io& r : recs) b.Add(IoRecord(r.t, r.inputs));
    b.Write(path);
}

std::vector<uint32_t> IoTimes(const std::string& path) {
    const std::vector<uint8_t> f = ReadFileBytes(path);
    std::vector<uint32_t> t;
    for (size_t at = layout::header::kSize; at + 8 <= f.size(); at += 8) t.push_back(layout::Get(f, at, layout::io::kTime));
    return t;
}

std::string Op8(const TempDir& d) { return RowResult(RunTrimwell(d.Path(), {"T", "/OP8"}).out); }

// A wheel crossing A then B, the first starting with A already active.
const std::vector<Io> kEdges = {{100, WDA}, {105, WDA | WDB}, {110, WDB}, {120, 0},
                                {200, WDA}, {205, WDA | WDB}, {210, WDB}, {220, 0}};

}  // namespace

TEST(FixupIoEvents, CopiesWheelEventTimesOntoRisingEdges) {
    TempDir d;
    WriteIo(d.File("T.007"), kEdges, 0, 0);
    WriteWheel(d.File("T.012"), {{A, 98}, {B, 104}, {A, 199}, {B, 203}});
    EXPECT_EQ(Op8(d), "OK. Timestamps updated (WDA/WDB) (2/2). File <BASENAME>.008 created.\nOK.");
    EXPECT_EQ(IoTimes(d.File("T.007")), (std::vector<uint32_t>{98, 104, 110, 120, 199, 203, 210, 220}));
    EXPECT_EQ(ReadFileBytes(d.File("T.007"))[42], 1);
    EXPECT_FALSE(PathExists(d.File("T.008")));

    // Once marked, nothing changes any more.
    const std::vector<uint8_t> done = ReadFileBytes(d.File("T.007"));
    EXPECT_EQ(Op8(d), "This file has already been pre-processed...\nOK.");
    EXPECT_EQ(ReadFileBytes(d.File("T.007")), done);
}

TEST(FixupIoEvents, LaterRecorderOnlyGetsTheMark) {
    TempDir d;
    WriteIo(d.File("T.007"), kEdges, 0, 1);
    WriteWheel(d.File("T.012"), {{A, 98}});
    std::vector<uint8_t> expected = ReadFileBytes(d.File("T.007"));
    expected[42] = 1;
    EXPECT_EQ(Op8(d), "OK. Sticky B latch logic is not needed in this version.\nOK.");
    EXPECT_EQ(ReadFileBytes(d.File("T.007")), expected);
}

TEST(FixupIoEvents, MismatchedEdgeCountsChangeNothing) {
    TempDir d;
    std::vector<Io> io;
    std::vector<Ev> ev;
    for (uint32_t i = 0; i < 100; ++i) {
        io.push_back({1000 + 10 * i, WDA});
        io.push_back({1005 + 10 * i, 0});
        if (i < 99) ev.push_back({A, 1000 + 10 * i});
    }
    WriteIo(d.File("T.007"), io, 0, 0);
    WriteWheel(d.File("T.012"), ev);
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.007"));
    EXPECT_EQ(Op8(d), "Cannot update... Edge counts do not match (WDA=100/99, WDB=0/0)...\nFailed.");
    EXPECT_EQ(ReadFileBytes(d.File("T.007")), before);
}

TEST(FixupIoEvents, UnusableInputsFail) {
    TempDir d;
    WriteWheel(d.File("T.012"), {{A, 98}});
    EXPECT_EQ(Op8(d), "Failed.");  // no .007
    IoFileBuilder({.recorderVersion = 0}).Add(IoRecord(100, WDA)).RecordLength(0).Write(d.File("T.007"));
    EXPECT_EQ(Op8(d), "Unusable record length. Failed.");
    IoFileBuilder({.recorderVersion = 0}).Write(d.File("T.007"));
    EXPECT_EQ(Op8(d), "Failed.");  // no records

    // A save that fails reports no success.
    WriteIo(d.File("T.007"), kEdges, 0, 1);
    plat::testing::SetWriteFaultAfter(0);
    bool ok = true;
    const std::string text = Capture([&](FILE* f) { ok = FixupIoEvents(d.File("T"), f); });
    plat::testing::SetWriteFaultAfter(-1);
    EXPECT_FALSE(ok);
    EXPECT_EQ(text, "");
}
