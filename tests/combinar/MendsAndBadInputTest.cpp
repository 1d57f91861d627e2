// Faults the program guards against: names that look like options, runs
// that would overwrite their own input, masters whose cars do not fit the
// train, cars of more platforms than a part number holds, scores above the
// old starting value, saves that fail, and malformed input files.
#include "Combinar.h"
#include "CombinarTrain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace combinar_test;

namespace {

Axles TwoCars() { return Axles().Gaps({5, 40, 5, 20, 5, 40, 5}); }

// Records of an allocation cover axles 0..n-1 once each, in order.
bool CoversAxlesOnce(const std::vector<Alloc>& recs, int n) {
    int next = 0;
    for (const Alloc& a : recs) {
        if (a.first != next || a.last < a.first) return false;
        next = a.last + 1;
    }
    return next == n;
}

}  // namespace

TEST(CombinarMends, TheFirstArgumentIsAlwaysTheBaseName) {
    std::string base;
    CombinarOptions opt;
    const char* const one[] = {"Combinar", "/srv/trains/00008901"};
    ASSERT_TRUE(ParseCombinarArgs(2, one, base, opt));
    EXPECT_EQ(base, "/srv/trains/00008901");
    EXPECT_FALSE(opt.standalone || opt.verbose || opt.mainline);
    const char* const all[] = {"Combinar", "T", "/g", "/Mx", "/s", "other"};
    ASSERT_TRUE(ParseCombinarArgs(6, all, base, opt));
    EXPECT_TRUE(opt.standalone && opt.verbose && opt.mainline);

    TempDir dir;
    const RunResult r = RunProgram(ProgramPath("Combinar"), {"/Sx"}, dir.Path());
    EXPECT_EQ(r.out, "Combinar running on \"/Sx\"...\r\nCan't open axle file for \"/Sx\".\r\n");
}

TEST(CombinarMends, StandaloneRunNeverOverwritesWhatItCannotReplace) {
    {
        Train t;
        t.WriteAxles(TwoCars());
        const auto before = t.Bytes("T.010");
        t.base = "T.010";
        ASSERT_EQ(t.Run({"/S"}).status, 0);
        EXPECT_NE(t.run.out.find("Standalone run refused"), std::string::npos) << t.run.out;
        EXPECT_EQ(t.Bytes("T.010"), before);
        EXPECT_EQ(t.dir.List(), (std::vector<std::string>{"T.010", "T.011"}));
    }
    {
        Train t;
        t.Write(".010", AxleFileBuilder());
        t.Write(".041", AllocFileBuilder().Add(AllocRecord({0, 3})));
        const auto master = t.Bytes("T.041");
        ASSERT_EQ(t.Run({"/S"}).status, 0);
        EXPECT_NE(t.run.out.find("No car could be built"), std::string::npos) << t.run.out;
        EXPECT_EQ(t.Bytes("T.041"), master);
    }
}

TEST(CombinarMends, AnchorsAreCopiedByTheirPlaceInTheMaster) {
    // Master cars numbered 5, 6 and 5 again, with times at a tenth of a
    // millisecond.
    Train t;
    const Axles a = Axles().Gaps({5, 40, 5, 20, 5, 40, 5, 20, 5, 40, 5});
    t.WriteAxles(a);
    t.Write(".035", ConsistFile({TaggedCar(0, 4, 0), TaggedCar(1, 4, 4), TaggedCar(2, 4, 8)}));
    TrainFileBuilder m = AllocFileBuilder();
    m.TimeScale(1, 1);
    for (int c = 0; c < 3; ++c)
        m.Add(AllocRecord({uint16_t(4 * c), uint16_t(4 * c + 3), a.Specs()[4 * c].time * 10,
                           a.Specs()[4 * c + 3].time * 10, 5, uint8_t(c == 1 ? 6 : 5), 255, 81}));
    t.Write(".041", m);
    ASSERT_EQ(t.Run({"/G"}).status, 0);
    const auto rows = FactRows(t.run.out);
    ASSERT_EQ(rows.size(), 12u);
    EXPECT_EQ(rows[0].ancC, "5");
    EXPECT_EQ(rows[4].ancC, "6");
    EXPECT_EQ(rows[8].ancC, "5");
    const auto recs = t.Candidate(0);
    ASSERT_EQ(recs.size(), 3u) << t.run.out;
    EXPECT_TRUE(CoversAxlesOnce(recs, 12));
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(recs[c].seq, c);
        EXPECT_EQ(recs[c].start, a.Specs()[4 * c].time);  // milliseconds
        EXPECT_EQ(recs[c].end, a.Specs()[4 * c + 3].time);
    }
    EXPECT_NE(t.run.out.find("Anchor Axles............ 12\nAnchor Cars............. 3\n"), std::string::npos);
}

TEST(CombinarMends, AnchorsTheMasterCannotPlaceAreSkipped) {
    struct Case {
        const char* what;
        std::vector<Alloc> master;
        int anchorCars;
    };
    const Case cases[] = {
        {"fits", {{0, 3, 0, 0, 19, 0}, {4, 7, 0, 0, 19, 1}}, 2},
        {"beyond the axles", {{0, 3, 0, 0, 19, 0}, {6, 9, 0, 0, 19, 1}}, 1},
        {"gap between records", {{0, 3, 0, 0, 19, 0}, {4, 4, 0, 0, 19, 1, 0}, {6, 7, 0, 0, 19, 1, 1}}, 1},
        {"descending", {{3, 0, 0, 0, 19, 0}, {4, 7, 0, 0, 19, 1}}, 1},
        {"overlap", {{0, 4, 0, 0, 19, 0}, {4, 7, 0, 0, 19, 1}}, 1},
        {"too few cars", {{0, 3, 0, 0, 19, 0}}, 1},
    };
    for (const Case& c : cases) {
        Train t;
        t.WriteAxles(TwoCars());
        t.Write(".035", ConsistFile({TaggedCar(0, 4, 0), TaggedCar(1, 4, 4)}));
        TrainFileBuilder m = AllocFileBuilder();
        for (const Alloc& r : c.master) m.Add(AllocRecord(r));
        t.Write(".041", m);
        ASSERT_EQ(t.Run().status, 0) << c.what;
        EXPECT_NE(t.run.out.find("Anchor Cars............. " + std::to_string(c.anchorCars) + "\n"), std::string::npos)
            << c.what << "\n" << t.run.out;
        EXPECT_TRUE(CoversAxlesOnce(t.Candidate(0), 8)) << c.what;
    }
}

TEST(CombinarMends, LongTrainsOfManyPlatformsAndHighScores) {
    // 2100 axles: a truck, then body gaps only. Every platform is one axle;
    // a car holds at most 255 of them, and every car costs points, so the
    // best score lies far above 5000.
    Train t;
    t.WriteAxles(Axles().Gaps([] {
        std::vector<double> g(2099, 40);
        g[0] = 5;
        return g;
    }()));
    ASSERT_EQ(t.Run().status, 0);
    const auto recs = t.Candidate(0);
    ASSERT_TRUE(CoversAxlesOnce(recs, 2100)) << t.run.out;
    int key = -1, part = -1;
    for (const Alloc& a : recs) {
        const int k = a.keyHigh * 256 + a.seq;
        part = k == key ? part + 1 : 0;
        key = k;
        ASSERT_EQ(a.part, part);
        ASSERT_LE(a.part, 254);
    }
    EXPECT_EQ(t.Dat()[2], 1);
    EXPECT_GT(t.Dat()[7], 5000);
    EXPECT_EQ(t.Dat()[5], 2100);
}

TEST(CombinarMends, OnlySavedCandidatesAreCounted) {
    Train t;
    t.WriteAxles(TwoCars());
    ::mkdir(t.dir.File("CMBN0000.041").c_str(), 0755);
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_NE(t.run.out.find("creating file \"CMBN0000.041\"\n"), std::string::npos) << t.run.out;
    EXPECT_NE(t.run.out.find("Output Axle Consists.... 0\n"), std::string::npos);
    EXPECT_EQ(t.Dat()[2], 0);
}

TEST(CombinarMends, ATrainNamedLikeACandidateKeepsItsMaster) {
    Train t;
    t.base = "CMBN0007";
    t.WriteAxles(TwoCars());
    t.Write(".035", ConsistFile({TaggedCar(0, 4, 0)}));
    t.Write(".041", AllocFileBuilder().Add(AllocRecord({0, 3, 0, 0, 19, 0})).Add(AllocRecord({4, 7, 0, 0, 19, 1})));
    WriteFileBytes(t.dir.File("CMBN0003.041"), {1});
    const auto master = t.Bytes("CMBN0007.041");
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(t.Bytes("CMBN0007.041"), master);
    EXPECT_FALSE(t.Has("CMBN0003.041"));
    EXPECT_TRUE(t.Has("CMBN0000.041"));
}

TEST(CombinarMends, ScoreOfATwoAxleCarUsesItsOwnRecord) {
    // Car 0 has two records; car 1, a 2-axle car, is record 2. Record 1's
    // speed must not matter to car 1's score.
    std::vector<FactEntry> t(7);
    const int dcl[] = {kTruck, kBody, kTruck, kBody, kCoupler, kBody, kPlatformBody};
    for (size_t i = 0; i < t.size(); ++i) t[i].dcl = t[i].cl = dcl[i];
    Allocation a;
    a.records = {{0, 2, 0, 100, 19, 0, 0, 81}, {3, 4, 100, 200, 19, 0, 1, 81}, {5, 6, 1000, 2800, 19, 1, 255, 81}};
    a.cars = {{0, 2}, {2, 1}};
    const int score = ScoreAllocation(t, a);
    a.records[1].speed = 0;
    EXPECT_EQ(ScoreAllocation(t, a), score);
}

TEST(CombinarBadInput, NeverCrashesAndKeepsTheFiles) {
    struct Case {
        const char* what;
        std::function<void(Train&)> write;
        const char* message;
    };
    const auto header = [](Train& t, const TrainFileBuilder& b) { t.Write(".010", b); };
    const Case cases[] = {
        {"no axle file", [](Train&) {}, "Can't open axle file for \"T\".\r\n"},
        {"empty axle file", [](Train& t) { WriteFileBytes(t.dir.File("T.010"), {}); }, "Can't open axle file"},
        {"header only", [&](Train& t) { header(t, AxleFileBuilder()); }, "Can't create axle fact table for \"T\".\r\n"},
        {"shorter than a header", [&](Train& t) { header(t, TwoCars().File().TruncateTo(30)); }, "Can't create axle fact table"},
        {"truncated", [&](Train& t) { header(t, TwoCars().File().TruncateTo(64 + 8 * 5 + 3)); }, "Train did not stop"},
        {"count lies", [&](Train& t) { header(t, TwoCars().File().Count(900)); }, "Train did not stop"},
        {"times backwards", [&](Train& t) { header(t, Axles().Ms(0xFFFFFF00u).Ms(300).Ms(0).Ms(5, 0).File()); }, ""},
        {"speed 0", [&](Train& t) { header(t, Axles(0).Ms(100).Ms(100).Ms(100000).File()); }, ""},
        {"odd time scale", [&](Train& t) { header(t, TwoCars().File().TimeScale(0xFFFFFFFFu, 0)); }, ""},
        {"scale of nothing", [&](Train& t) { header(t, TwoCars().File().TimeScale(1, 0xFFFF)); }, ""},
        {"lying consist and master",
         [&](Train& t) {
             t.WriteAxles(TwoCars());
             t.Write(".035", ConsistFile({TaggedCar(0, 4, 0), TaggedCar(1, 65535, 0xFFFF)}).Count(40));
             t.Write(".041", AllocFileBuilder().Add(AllocRecord({0, 3})).Add(AllocRecord({65535, 2})).Count(2000));
         },
         "Combinar Finished."},
        {"consist entry of length 0",
         [&](Train& t) {
             t.WriteAxles(TwoCars());
             Record e(24);
             t.Write(".035", ConsistFile({TaggedCar(0, 4, 0), e.Bytes()}));
             t.Write(".041", AllocFileBuilder().Add(AllocRecord({0, 3})).RecordLength(0));
         },
         "Combinar Finished."},
        {"sixteen-byte master",
         [&](Train& t) {
             t.WriteAxles(TwoCars());
             t.Write(".035", ConsistFile({TaggedCar(0, 4, 0), TaggedCar(1, 4, 4)}));
             t.Write(".041", AllocFileBuilder().Add(AllocRecord({0, 3}, 16)).Add(AllocRecord({4, 7, 0, 0, 0, 1}, 16)).RecordLength(16));
         },
         "Anchor Cars............. 2\n"},
        {"movement file header only",
         [&](Train& t) {
             t.Write(".010", Axles(8).Gaps({5, 40, 5}).File());
             t.Write(".011", AxleFileBuilder());
         },
         "Combinar Finished."},
    };
    for (const Case& c : cases) {
        Train t;
        c.write(t);
        std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs;
        for (const std::string& name : t.dir.List()) inputs.push_back({name, t.Bytes(name)});
        const RunResult& r = t.Run({"/G"});
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.signal, 0) << c.what;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.what << "\n" << r.out;
        for (const auto& [name, bytes] : inputs) EXPECT_EQ(t.Bytes(name), bytes) << c.what << " " << name;
        // The standalone run replaces the master only.
        EXPECT_EQ(t.Run({"/S"}).status, 0) << c.what;
        EXPECT_EQ(t.run.signal, 0) << c.what;
        for (const auto& [name, bytes] : inputs) {
            if (name != "T.041") {
                EXPECT_EQ(t.Bytes(name), bytes) << c.what << " " << name;
            }
        }
    }
}

TEST(CombinarBadInput, AWorkingDirectoryThatCannotBeWritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes anywhere";
    Train t;
    t.WriteAxles(TwoCars());
    ::chmod(t.dir.Path().c_str(), 0555);
    ASSERT_EQ(t.Run().status, 0);
    ::chmod(t.dir.Path().c_str(), 0755);
    EXPECT_NE(t.run.out.find("Error "), std::string::npos) << t.run.out;
    EXPECT_NE(t.run.out.find("Output Axle Consists.... 0\n"), std::string::npos);
    EXPECT_EQ(t.dir.List(), (std::vector<std::string>{"T.010", "T.011"}));
}
