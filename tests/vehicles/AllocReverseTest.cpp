// Turning an allocation back about the axle file it was built from.
#include "AllocFile.h"
#include "Records.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace fixture;
namespace al = layout::alloc;

namespace {

struct Train {
    std::vector<uint8_t> axles, alloc;
};

// n axles at increasing times and vehicles of 2-4 axles from axle `lead`
// on, leaving `trail` axles unallocated at the rear.
Train RandomTrain(std::mt19937& rng, int n, int lead, int trail) {
    Train t;
    TrainFileBuilder axles = AxleFileBuilder();
    uint32_t time = 1000 + rng() % 500;
    std::vector<uint32_t> times;
    for (int i = 0; i < n; ++i) {
        times.push_back(time);
        axles.Add(AxleRecord(120, 0, time, uint16_t(i + 1)));
        time += 20 + rng() % 400;
    }
    t.axles = axles.Build();
    TrainFileBuilder alloc = AllocFileBuilder();
    uint8_t seq = 0;
    for (int a = lead; a < n - trail;) {
        const int k = std::min(int(2 + rng() % 3), n - trail - a);
        alloc.Add(AllocRecord({.first = uint16_t(a), .last = uint16_t(a + k - 1), .start = times[size_t(a)],
                               .end = times[size_t(a + k - 1)], .egc = 19, .seq = seq++}));
        a += k;
    }
    t.alloc = alloc.Build();
    return t;
}

}  // namespace

TEST(AllocReverseAboutAxles, MatchesThePlainTurnWhenEveryAxleIsAllocated) {
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        TempDir dir;
        const Train t = RandomTrain(rng, 8 + int(rng() % 40), 0, 0);
        WriteFileBytes(dir.File("T.010"), t.axles);
        WriteFileBytes(dir.File("T.041"), t.alloc);
        CAxleFile axles;
        CAllocFile plain, about;
        ASSERT_TRUE(axles.Load(dir.File("T.010").c_str()));
        ASSERT_TRUE(plain.Load(dir.File("T.041").c_str()));
        ASSERT_TRUE(about.Load(dir.File("T.041").c_str()));
        EXPECT_EQ(plain.Reverse(), about.Reverse(axles));
        ASSERT_TRUE(std::equal(plain.Data().begin(), plain.Data().end(), about.Data().begin(), about.Data().end()))
            << "round " << round;
    }
}

TEST(AllocReverseAboutAxles, TurningTheTrainAndTheAllocationBackKeepsEveryVehicleInPlace) {
    std::mt19937 rng(11);
    for (int round = 0; round < 50; ++round) {
        TempDir dir;
        const Train t = RandomTrain(rng, 12 + int(rng() % 40), int(rng() % 4), int(rng() % 4));
        WriteFileBytes(dir.File("T.010"), t.axles);
        WriteFileBytes(dir.File("T.041"), t.alloc);
        // The allocation a pairing of the turned train gives: the recorded
        // one turned about the axle file.
        CAxleFile axles;
        CAllocFile alloc;
        ASSERT_TRUE(axles.Load(dir.File("T.010").c_str()));
        ASSERT_TRUE(alloc.Load(dir.File("T.041").c_str()));
        ASSERT_TRUE(axles.Reverse());
        ASSERT_TRUE(alloc.Reverse(axles));
        // Turned back about the (turned) axle file: the recorded allocation
        // again, every vehicle on its own axles and times.
        ASSERT_TRUE(alloc.Reverse(axles));
        ASSERT_TRUE(std::equal(alloc.Data().begin(), alloc.Data().end(), t.alloc.begin() + 64, t.alloc.end()))
            << "round " << round;
    }
}

TEST(AllocReverseAboutAxles, AnEmptyAllocationOrAxleFileIsNotTurned) {
    TempDir dir;
    AxleFileBuilder().Write(dir.File("E.010"));
    AllocFileBuilder().Add(AllocRecord({.first = 0, .last = 3})).Write(dir.File("E.041"));
    CAxleFile axles;
    CAllocFile alloc;
    ASSERT_TRUE(axles.Load(dir.File("E.010").c_str()));
    ASSERT_TRUE(alloc.Load(dir.File("E.041").c_str()));
    EXPECT_EQ(alloc.Reverse(axles), 0);
    EXPECT_EQ(alloc.GetFirstAxle(), 0);
    EXPECT_EQ(alloc.GetLastAxle(), 3);
}
