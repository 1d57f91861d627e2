// Runs the real Combinar on fixture trains and reads the fact table of its
// verbose display: gap classes, slow and uncertain axles, stops, anchors and
// the speed-threshold loop.
#include "CombinarTrain.h"

#include <gtest/gtest.h>

using namespace combinar_test;

namespace {

std::vector<std::string> Classes(const std::vector<FactRow>& rows) {
    std::vector<std::string> v;
    for (const auto& r : rows) v.push_back(r.cl);
    return v;
}

}  // namespace

TEST(CombinarUsage, BannerWithBuildDateAndStatusZero) {
    TempDir dir;
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"/?"}, {"T", "/g", "/?x"}}) {
        const RunResult r = RunProgram(ProgramPath("Combinar"), args, dir.Path());
        EXPECT_EQ(r.status, 0);
        const std::string dashes(51, '-');
        ASSERT_EQ(r.out.rfind("\n" + dashes + "\nCombinar.EXE - Combinar Tool, v1.02.\nBuild Timestamp: ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find(" 20"), std::string::npos);  // "Thu Aug  5 09:02:07 2021"
        EXPECT_NE(r.out.find("\n" + dashes + "\n\nFormat: Combinar <BaseTrainFilename> /G\n\nWhere :\n"
                             "/G - Generate ANSI display of results.\n"
                             "/M - Use mainline settings (default = Yard).\n"
                             "/S - Standalone version (simplified). Creates train from scratch.\n\n\n"),
                  std::string::npos);
        EXPECT_TRUE(dir.List().empty());
    }
}

TEST(CombinarFactTable, GapClassesAtTheTruckGapLimit) {
    struct Case {
        std::vector<double> gaps;
        bool mainline;
        std::vector<std::string> classes;
    };
    const Case cases[] = {
        {{9.9, 10, 26, 27}, false, {"T", "C", "C", "B", "P"}},
        {{6, 7, 9.9}, true, {"T", "C", "C", "P"}},
    };
    for (const Case& c : cases) {
        Train t;
        t.WriteAxles(Axles().Gaps(c.gaps));
        std::vector<std::string> args = {"/G"};
        if (c.mainline) args.push_back("/M");
        ASSERT_EQ(t.Run(args).status, 0);
        const auto rows = FactRows(t.run.out);
        EXPECT_EQ(Classes(rows), c.classes) << t.run.out;
        for (const auto& r : rows) EXPECT_EQ(r.dc, 0);
        EXPECT_EQ(rows.back().dist, 0);
    }
}

TEST(CombinarFactTable, GapsOfAHundredFeetAreUncertainAtAnySpeed) {
    for (unsigned eighths : {8u, k40Mph, 1000u}) {
        Train t;
        t.WriteAxles(Axles(eighths).Gaps({100, 99, 5}));
        ASSERT_EQ(t.Run({"/G"}).status, 0);
        const auto rows = FactRows(t.run.out);
        ASSERT_EQ(rows.size(), 4u) << t.run.out;
        EXPECT_EQ(rows[0].dc, 1);
        EXPECT_EQ(rows[0].cl, "B");
        EXPECT_EQ(rows[1].dc, eighths <= 16 ? 1 : 0);  // slow axles across a body gap are uncertain too
        EXPECT_EQ(rows[2].dc, 0);
    }
}

TEST(CombinarFactTable, SlowAxlesAndStops) {
    {
        // At 1 mph every axle is slow; only gaps that are no truck gap are
        // uncertain.
        Train t;
        t.WriteAxles(Axles(8).Gaps({5, 30}));
        ASSERT_EQ(t.Run({"/G"}).status, 0);
        const auto rows = FactRows(t.run.out);
        ASSERT_EQ(rows.size(), 3u) << t.run.out;
        EXPECT_EQ(rows[0].st, 1);
        EXPECT_EQ(rows[0].dc, 0);
        EXPECT_EQ(rows[1].st, 1);
        EXPECT_EQ(rows[1].dc, 1);
        EXPECT_NE(t.run.out.find("Uncertain Axle Dimensions:1. Possible Combinations: 3 (3^1)\n"), std::string::npos);
    }
    {
        // Axle 2 slows so that the train would stop within a second, and
        // the next axle comes a second later: the axle before it is marked
        // slow and uncertain although its gap is a truck gap.
        Train t;
        t.WriteAxles(Axles(192).Feet(5).Ms(300, 160).Ms(1000));
        ASSERT_EQ(t.Run({"/G"}).status, 0);
        const auto rows = FactRows(t.run.out);
        ASSERT_EQ(rows.size(), 4u) << t.run.out;
        EXPECT_EQ(rows[1].cl, "T");
        EXPECT_EQ(rows[1].st, 1);
        EXPECT_EQ(rows[1].dc, 1);
        EXPECT_EQ(rows[2].st, 0);
        EXPECT_TRUE(rows[2].stop);
        EXPECT_FALSE(rows[1].stop);
        // First axle: no acceleration, no time to stop, 0 seconds.
        const std::string first = t.run.out.substr(t.run.out.find("\n0    "), 70);
        EXPECT_NE(first.find("   0.000  ---    0  \n"), std::string::npos) << first;
    }
}

TEST(CombinarFactTable, NineUncertainAxlesAtEveryThresholdEndTheRun) {
    Train t;
    t.WriteAxles(Axles().Gaps(std::vector<double>(9, 100)));
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(t.run.out, "Combinar running on \"T\"...\r\nExceeded max uncertain axles (9)!!!\n");
    // Ten forward passages and one backward: balance 10 - 1.
    EXPECT_EQ(t.Dat(), (std::vector<int32_t>{0, 0, -1, -1, 0, 0, 0, -1, 9, 0}));
    EXPECT_FALSE(t.Has("CMBN0000.041"));
}

TEST(CombinarFactTable, AnchorPositionCodes) {
    // Cars of 4, 3 and 2 axles and one of 3-2-3 platforms, all confirmed by
    // two clean tag reads; a 20-ft coupler between cars.
    Train t;
    Axles a;
    a.Gaps({5, 40, 5, 20, 5, 30, 20, 5, 20, 5, 40, 5, 40, 5, 40, 5});
    t.WriteAxles(a);
    t.Write(".035", ConsistFile({TaggedCar(0, 4, 0), TaggedCar(1, 3, 4), TaggedCar(2, 2, 7), TaggedCar(3, 8, 9)}));
    TrainFileBuilder m = AllocFileBuilder();
    m.Add(AllocRecord({0, 3, 1, 2, 19, 0, 255, 81}))
        .Add(AllocRecord({4, 6, 1, 2, 19, 1, 255, 81}))
        .Add(AllocRecord({7, 8, 1, 2, 19, 2, 255, 81}))
        .Add(AllocRecord({9, 11, 1, 2, 19, 3, 0, 81}))
        .Add(AllocRecord({12, 13, 1, 2, 19, 3, 1, 81}))
        .Add(AllocRecord({14, 16, 1, 2, 19, 3, 2, 81}));
    t.Write(".041", m);
    ASSERT_EQ(t.Run({"/G"}).status, 0);
    const auto rows = FactRows(t.run.out);
    ASSERT_EQ(rows.size(), 17u) << t.run.out;
    EXPECT_EQ(Classes(rows), (std::vector<std::string>{"T", "B", "T", "C", "T", "B", "T", "B", "T", "T", "B", "T", "B",
                                                        "T", "B", "T", "C"}));
    EXPECT_EQ(rows[0].ancC, "0");
    EXPECT_EQ(rows[16].ancC, "3");
    EXPECT_NE(t.run.out.find("Anchor Axles............ 17\nAnchor Cars............. 4\n"), std::string::npos);
    EXPECT_EQ(CarShapes(t.Candidate(0)), (std::vector<std::string>{"4", "3", "2", "3-2-3"}));
}

TEST(CombinarFactTable, AnchorsNextToShortUntaggedCarsAreSkipped) {
    Train t;
    t.WriteAxles(Axles().Gaps({5, 40, 5, 20, 5, 20, 5, 40, 5}));
    t.Write(".035", ConsistFile({TaggedCar(0, 4, 0), TaggedCar(1, 2, 4, 4), TaggedCar(2, 4, 6)}));
    TrainFileBuilder m = AllocFileBuilder();
    m.Add(AllocRecord({0, 3, 1, 2, 19, 0})).Add(AllocRecord({4, 5, 1, 2, 19, 1})).Add(AllocRecord({6, 9, 1, 2, 19, 2}));
    t.Write(".041", m);
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_NE(t.run.out.find("Anchor Axles............ 0\nAnchor Cars............. 0\n"), std::string::npos) << t.run.out;
}

TEST(CombinarFactTable, AnchorsNeedCleanTagsAndTheMaster) {
    struct Case {
        uint8_t status;
        uint16_t flags2;
        bool master;
        int anchorCars;
    };
    const Case cases[] = {
        {0, 0, true, 1}, {0, 0x100, true, 0}, {0, 0x08, true, 1}, {1, 0, true, 0}, {0, 0, false, 0},
    };
    for (const Case& c : cases) {
        Train t;
        t.WriteAxles(Axles().Gaps({5, 40, 5}));
        t.Write(".035", ConsistFile({TaggedCar(0, 4, 0, c.status, 0, c.flags2)}));
        if (c.master) t.Write(".041", AllocFileBuilder().Add(AllocRecord({0, 3, 1, 2, 19, 0})));
        ASSERT_EQ(t.Run().status, 0);
        EXPECT_NE(t.run.out.find("Anchor Cars............. " + std::to_string(c.anchorCars) + "\n"), std::string::npos)
            << t.run.out;
        EXPECT_EQ(t.run.out.find("Can't open master car axle file \"T\"...\n") != std::string::npos, !c.master);
        EXPECT_TRUE(t.Has("CMBN0000.041"));
    }
}
