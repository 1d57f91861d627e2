// The fast allocation build (master indexed once, records gathered in one
// vector) gives byte for byte the allocation and the derived classes of the
// direct build, on random trains with random anchor cars.
#include "CombinarTrain.h"
#include "LiteralBuild.h"

#include <gtest/gtest.h>

#include <random>

using namespace combinar_test;

TEST(CombinarFastBuild, SameAllocationsAsTheDirectBuild) {
    std::mt19937 rng(12345);
    const double gaps[] = {4, 5, 9, 12, 20, 27, 35, 40, 60, 100, 120};
    const unsigned speeds[] = {4, 8, 16, 24, 40, 160, 320};
    int withAnchors = 0, withChoices = 0;
    for (int trial = 0; trial < 40; ++trial) {
        TempDir dir;
        const std::string base = dir.File("R");
        // Cars of 2 to 6 axles; about half of them confirmed by tags.
        Axles a(speeds[rng() % 7]);
        TrainFileBuilder master = AllocFileBuilder();
        std::vector<std::vector<uint8_t>> consist;
        int axle = 0;
        const int cars = 3 + static_cast<int>(rng() % 10);
        for (int c = 0; c < cars; ++c) {
            const int n = 2 + static_cast<int>(rng() % 5);
            const int platforms = n >= 4 && rng() % 3 == 0 ? 2 : 1;
            for (int k = 0; k < n; ++k)
                if (axle + k > 0) a.Feet(gaps[rng() % 11], speeds[rng() % 7]);
            const int firstPart = platforms == 2 ? n / 2 : n;
            master.Add(AllocRecord({uint16_t(axle), uint16_t(axle + firstPart - 1), 0, 0, 19, uint8_t(c),
                                    uint8_t(platforms == 2 ? 0 : 255), uint8_t(rng() % 256)}));
            if (platforms == 2)
                master.Add(AllocRecord({uint16_t(axle + firstPart), uint16_t(axle + n - 1), 0, 0, 19, uint8_t(c), 1, 81}));
            consist.push_back(TaggedCar(uint16_t(c), n, uint16_t(axle), rng() % 2 ? 0 : 1));
            axle += n;
        }
        a.File().Write(base + ".010");
        master.Write(base + ".041");
        ConsistFile(consist).Write(base + ".035");

        CAxleFile axles;
        ASSERT_TRUE(axles.Load(base.c_str()));
        FactTable table;
        table.LoadAxles(axles);
        const Master m = LoadMaster(base);
        table.Build(static_cast<int>(rng() % 17), 10);
        withAnchors += table.MarkAnchors(ChooseAnchors(base), m) > 0;
        std::vector<uint32_t> uncertain = table.Uncertain();
        withChoices += !uncertain.empty();
        if (uncertain.size() > 5) uncertain.resize(5);
        uint32_t total = 1;
        for (size_t k = 0; k < uncertain.size(); ++k) total *= 3;
        for (uint32_t j = 0; j < total; ++j) {
            SetCombination(table, uncertain, j);
            Allocation fast;
            BuildAllocation(table, m, fast);
            const std::vector<FactEntry> derived = table.Entries();
            CAllocFile fastFile, direct;
            ASSERT_TRUE(FillAllocationFile(fast, fastFile));
            ASSERT_TRUE(LiteralBuild(table, base, axles, direct));
            ASSERT_EQ(std::vector<uint8_t>(fastFile.Data().begin(), fastFile.Data().end()),
                      std::vector<uint8_t>(direct.Data().begin(), direct.Data().end()))
                << "trial " << trial << " combination " << j;
            for (size_t i = 0; i < derived.size(); ++i) ASSERT_EQ(derived[i].dcl, table.Entries()[i].dcl);
            ASSERT_EQ(table.Checksum(m), PatternChecksum(table.Entries()));
        }
    }
    EXPECT_GT(withAnchors, 20);
    EXPECT_GT(withChoices, 20);
}
