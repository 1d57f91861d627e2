// Runs the real Combinar on fixture trains: candidate files, COMBINAR.DAT,
// ties and duplicates, the type pass, the scores of articulated cars, the
// "did not stop" rule and the standalone run.
#include "CombinarTrain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace combinar_test;

namespace {

// Two 4-axle cars with 5-ft trucks at 40 mph (18 ms per foot).
Axles TwoCars() { return Axles().Gaps({5, 40, 5, 20, 5, 40, 5}); }

std::string Summary(int total, int unique, int output, int uncertain, int anchorAxles, int anchorCars, int best) {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "Combinar Finished. \n--------------------------------------------\nTotal Axle Consists..... %d\n"
                  "Unique Axles Consists... %d\nOutput Axle Consists.... %d\nUncertain Axles......... %d\n"
                  "Anchor Axles............ %d\nAnchor Cars............. %d\nBest Score.............. %d\n",
                  total, unique, output, uncertain, anchorAxles, anchorCars, best);
    return buf;
}

}  // namespace

TEST(CombinarRun, OneCombinationIsWrittenAsTheFirstCandidate) {
    Train t;
    const Axles a = TwoCars();
    t.WriteAxles(a);
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(t.run.out, "Combinar running on \"T\"...\r\nCan't open master car axle file \"T\"...\n" +
                             Summary(1, 1, 1, 0, 0, 0, 0));
    const auto file = t.Bytes("CMBN0000.041");
    ASSERT_EQ(file.size(), 64u + 2 * 24);
    EXPECT_EQ(layout::Get(file, 0, layout::header::kTypeGroup), 4u);
    EXPECT_EQ(layout::Get(file, 0, layout::header::kTypeSubcode), 1u);
    EXPECT_EQ(layout::Get(file, 0, layout::header::kRecordCount), 2u);
    EXPECT_EQ(layout::Get(file, 0, layout::header::kRecordLength), 24u);
    const auto recs = t.Candidate(0);
    const auto& s = a.Specs();
    ASSERT_EQ(recs.size(), 2u);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(recs[c].first, 4 * c);
        EXPECT_EQ(recs[c].last, 4 * c + 3);
        EXPECT_EQ(recs[c].start, s[4 * c].time);
        EXPECT_EQ(recs[c].end, s[4 * c + 3].time);
        EXPECT_EQ(recs[c].egc, 19);  // 5-ft trucks
        EXPECT_EQ(recs[c].seq, c);
        EXPECT_EQ(recs[c].part, 255);
        EXPECT_EQ(recs[c].speed, (40 << 1) | 1);
    }
    // Ten figures; eight forward passages and one backward give balance 7.
    const std::vector<uint8_t> dat = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                      8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(t.Bytes("COMBINAR.DAT"), dat);
}

TEST(CombinarRun, OldOutputsAreDeletedFirst) {
    Train t;
    t.WriteAxles(TwoCars());
    for (const char* name : {"CMBN0000.041", "CMBN0007.041", "cmbn0031.041", "COMBINAR.DAT", "CMBN00071.041"})
        WriteFileBytes(t.dir.File(name), {1, 2, 3});
    ::chmod(t.dir.File("CMBN0007.041").c_str(), 0444);
    ::mkdir(t.dir.File("CMBN0009.041").c_str(), 0755);
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(t.dir.List(), (std::vector<std::string>{"CMBN0000.041", "CMBN00071.041", "CMBN0009.041", "COMBINAR.DAT",
                                                      "T.010", "T.011"}));
    EXPECT_EQ(t.Bytes("CMBN0000.041").size(), 64u + 2 * 24);
}

TEST(CombinarRun, TiesAreWrittenInOrderUpToThirtyTwo) {
    Train t;
    t.WriteAxles(Axles().Gaps({100, 100, 100, 20, 5, 100, 5, 100, 5, 100, 100, 5, 100, 5}));
    ASSERT_EQ(t.Run({"/G"}).status, 0);
    const std::string& out = t.run.out;
    EXPECT_NE(out.find("Train:T: Saving pattern \"CMBN0031\"...\nError!!! Max output files exceeded!\n" +
                       Summary(6561, 256, -1, 8, 0, 0, 5)),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("CMBN0032"), std::string::npos);
    for (int k = 0; k < 32; ++k) EXPECT_FALSE(t.Candidate(k).empty()) << k;
    // The first tie is the lowest combination: the first uncertain axle is
    // the least significant digit.
    const size_t first = out.find("\nScore=05 > ");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(out.substr(first, 43), "\nScore=05 > [OOOO===OOOO]+[OOOOOOO]\nTrain:T");
    EXPECT_EQ(t.Dat()[2], -1);
}

TEST(CombinarRun, CombinationsWithTheSamePatternAreScoredOnce) {
    // The uncertain gap ends the first car's lead truck: BODY and COUPLER
    // both come out BODY.
    Train t;
    t.WriteAxles(Axles().Gaps({5, 100, 5, 20, 5, 40, 5}));
    ASSERT_EQ(t.Run({"/G"}).status, 0);
    const std::string& out = t.run.out;
    EXPECT_NE(out.find("Train:T: Uncertain Axle Dimensions:1. Possible Combinations: 3 (3^1)\n"), std::string::npos);
    EXPECT_NE(out.find("Train:T: Scoring unique pattern 2...\nFound 2 unique possible consists...\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("Scoring unique pattern 3"), std::string::npos);
    EXPECT_EQ(t.Dat()[0], 3);
    EXPECT_EQ(t.Dat()[1], 2);
}

TEST(CombinarRun, TypePassCodes) {
    struct Case {
        std::vector<double> gaps;
        int egc;
        std::string shape = "";
    };
    const Case cases[] = {
        {{5.5, 30, 5.5}, 19},             // short trucks: a railcar
        {{9, 30, 9}, 5},                  // long trucks, short body: a locomotive
        {{9, 40, 9}, 19},                 // long trucks, long body: keeps its code
        {{5.5, 5.5, 30, 5.5, 5.5}, 5},    // six axles
        {{9, 9, 30, 9, 9}, 5},
        {{5, 30}, 0x93, "2-1"},           // odd axle count
    };
    for (const Case& c : cases) {
        Train t;
        t.WriteAxles(Axles().Gaps(c.gaps));
        ASSERT_EQ(t.Run().status, 0);
        const auto recs = t.Candidate(0);
        ASSERT_FALSE(recs.empty()) << t.run.out;
        EXPECT_EQ(CarShapes(recs), std::vector<std::string>{c.shape.empty() ? std::to_string(c.gaps.size() + 1) : c.shape});
        EXPECT_EQ(recs[0].egc, c.egc) << c.gaps.size();
    }
}

TEST(CombinarRun, ArticulatedCarsScore) {
    struct Case {
        std::vector<double> gaps;
        std::string shape;
        int score;
    };
    const Case cases[] = {
        {{5, 40, 5, 40, 5, 40, 5, 40, 5}, "3-2-2-3", 0},
        {{5, 40, 5, 40, 5, 40, 5}, "3-2-3", 0},
        {{5, 40, 5}, "4", 0},
    };
    for (const Case& c : cases) {
        Train t;
        t.WriteAxles(Axles().Gaps(c.gaps));
        ASSERT_EQ(t.Run().status, 0);
        EXPECT_EQ(CarShapes(t.Candidate(0)), std::vector<std::string>{c.shape});
        EXPECT_EQ(t.Dat()[7], c.score) << c.shape << "\n" << t.run.out;
    }
}

TEST(CombinarRun, TwoPlatformsOfTwoAxlesScoreTen) {
    // Axles 0-3 end their run at an anchor car (4-7) with a truck gap, so
    // the builder closes a second platform of two.
    Train t;
    t.WriteAxles(Axles().Gaps({5, 30, 20, 5, 5, 40, 5}));
    t.Write(".035", ConsistFile({TaggedCar(0, 4, 0, 4), TaggedCar(1, 4, 4)}));
    t.Write(".041", AllocFileBuilder().Add(AllocRecord({0, 3, 0, 0, 19, 0})).Add(AllocRecord({4, 7, 0, 0, 19, 1})));
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(CarShapes(t.Candidate(0)), (std::vector<std::string>{"2-2", "4"}));
    EXPECT_NE(t.run.out.find(Summary(1, 1, 1, 0, 4, 1, 10)), std::string::npos) << t.run.out;
}

TEST(CombinarRun, TrainThatDidNotStop) {
    {
        // One direction only (no movement file), no uncertain axle.
        Train t;
        t.Write(".010", TwoCars().File());
        ASSERT_EQ(t.Run().status, 0);
        EXPECT_EQ(t.run.out, "Combinar running on \"T\"...\r\nCombinar aborting. Train did not stop. Original looks clean.\n");
        EXPECT_EQ(t.dir.List(), std::vector<std::string>{"T.010"});
    }
    {
        // The movement file runs one way at 2 mph at its slowest: still clean.
        Train t;
        t.Write(".010", TwoCars().File());
        t.Write(".011", Axles(16).Gaps({5, 40}).Movements(false));
        ASSERT_EQ(t.Run().status, 0);
        EXPECT_NE(t.run.out.find("Train did not stop. Original looks clean."), std::string::npos);
    }
    {
        // At 1 mph the rule does not apply.
        Train t;
        t.Write(".010", TwoCars().File());
        t.Write(".011", Axles(8).Gaps({5, 40}).Movements(false));
        ASSERT_EQ(t.Run().status, 0);
        EXPECT_TRUE(t.Has("CMBN0000.041"));
    }
    {
        // A tag read with both the L and the A exception lets it go on; the
        // first block of a status-1 read is tested, the second is not.
        Train t;
        t.Write(".010", TwoCars().File());
        t.Write(".035", ConsistFile({TaggedCar(0, 4, 0, 0, 0x06, 0x06), TaggedCar(1, 4, 4, 1, 0x02, 0x06)}));
        ASSERT_EQ(t.Run().status, 0);
        EXPECT_NE(t.run.out.find("Train did not stop, BUT, there were 2 LA disqualifier combos. Processing will "
                                 "proceed...\n"),
                  std::string::npos)
            << t.run.out;
        EXPECT_TRUE(t.Has("CMBN0000.041"));
        EXPECT_TRUE(t.Has("COMBINAR.DAT"));
    }
}

TEST(CombinarStandalone, CarsArePrintedAndReplaceTheMaster) {
    Train t;
    // Two 4-axle cars, a 3-2-2-3 articulated car, a 2-platform car, and a
    // car whose first truck of eight axles ends at a body gap.
    Axles a;
    a.Gaps({5, 40, 5, 20, 5, 40, 5, 20});
    a.Gaps({5, 40, 5, 40, 5, 40, 5, 40, 5, 20});
    a.Gaps({5, 40, 5, 40, 5, 20});
    a.Gaps({5, 5, 5, 5, 5, 5, 5, 40, 5, 5});
    t.WriteAxles(a);
    t.Write(".041", AllocFileBuilder().Add(AllocRecord({0, 3})));
    ASSERT_EQ(t.Run({"/s"}).status, 0);
    EXPECT_EQ(t.run.out, "Combinar running on \"T\"...\r\n\r\n"
                         "#001) Axle count = 4 (000-003)\n"
                         "#002) Axle count = 4 (004-007)\n"
                         "#003) Axle count = 10 (008-017), Platform count = 4\n"
                         "#004) Axle count = 6 (018-023)\n"
                         "#005) Axle count = 8 (024-031)\n"
                         "#006) Axle count = 3 (032-034)\n");
    const auto recs = AllocRecords(t.Bytes("T.041"));
    EXPECT_EQ(CarShapes(recs), (std::vector<std::string>{"4", "4", "3-2-2-3", "3-3", "8", "3"}));
    EXPECT_EQ(recs[0].egc, 19);
    EXPECT_EQ(recs.back().egc, 0x93);
    EXPECT_EQ(recs[2].part, 0);
    EXPECT_EQ(recs[5].part, 3);
    EXPECT_EQ(t.dir.List(), (std::vector<std::string>{"T.010", "T.011", "T.041"}));
}
