// The axle facts read in one pass (speed bytes once per axle, gaps from the
// facts already read) and the candidate records laid out in one buffer give
// bit for bit what the axle file's getters and the allocation file's field
// setters give, on random axle files and random allocations.
#include "AllocFile.h"
#include "AxleFile.h"
#include "Combinar.h"
#include "Records.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>

using namespace fixture;

namespace {

// The facts as the axle file's own getters give them, one axle at a time.
std::vector<FactEntry> LiteralFacts(CAxleFile& axles) {
    const int n = axles.GetCount();
    std::vector<FactEntry> t(n > 0 ? static_cast<size_t>(n) : 0);
    for (int i = 0; i < n; ++i) {
        axles.Seek(i);
        FactEntry& f = t[static_cast<size_t>(i)];
        f.time = static_cast<uint32_t>(axles.GetTime());
        f.speed = static_cast<uint32_t>(axles.GetSpeedEighths());
        f.fps = axles.GetSpeedFeetPerSecond();
        f.wholeMph = static_cast<uint8_t>(axles.GetSpeedWhole());
        f.direction = static_cast<uint8_t>(axles.GetDirection());
    }
    for (int i = 0; i + 1 < n; ++i) {
        t[static_cast<size_t>(i)].distF = axles.DistanceFeet(i, i + 1);
        t[static_cast<size_t>(i)].msPerFoot = axles.MsPerFoot(i, i + 1);
    }
    return t;
}

}  // namespace

TEST(CombinarAxleFacts, SameAsTheAxleFileGetters) {
    std::mt19937 rng(2024);
    const uint32_t scales[][2] = {{1, 0}, {1, 1}, {25, 1}, {3, 0}};
    for (int trial = 0; trial < 60; ++trial) {
        TempDir dir;
        TrainFileBuilder b = AxleFileBuilder();
        const auto& scale = scales[rng() % 4];
        b.TimeScale(scale[0], static_cast<uint16_t>(scale[1]));
        // Speeds from standing to the fastest the bytes hold, stray flag
        // bits, times that repeat or run backwards now and then.
        const int n = static_cast<int>(rng() % 200);
        uint32_t time = rng() % 100000;
        for (int i = 0; i < n; ++i) {
            const unsigned eighths = rng() % 5 == 0 ? rng() % 8 : rng() % 1024;
            const uint8_t flags = static_cast<uint8_t>(rng() & 0xF8);
            const uint32_t step = rng() % 8 == 0 ? 0 : rng() % 3000;
            time = rng() % 20 == 0 ? time - std::min(time, step) : time + step;
            b.Add(AxleRecord(eighths, rng() % 2, time, static_cast<uint16_t>(i + 1), flags));
        }
        b.Write(dir.File("A.010"));
        CAxleFile axles;
        ASSERT_TRUE(axles.Load(dir.File("A").c_str()));
        FactTable table;
        table.LoadAxles(axles);
        const std::vector<FactEntry> fast = table.AxleFacts();
        const std::vector<FactEntry> literal = LiteralFacts(axles);
        ASSERT_EQ(fast.size(), literal.size());
        for (size_t i = 0; i < fast.size(); ++i) {
            SCOPED_TRACE("trial " + std::to_string(trial) + " axle " + std::to_string(i));
            EXPECT_EQ(fast[i].time, literal[i].time);
            EXPECT_EQ(fast[i].speed, literal[i].speed);
            EXPECT_EQ(std::bit_cast<uint32_t>(fast[i].fps), std::bit_cast<uint32_t>(literal[i].fps));
            EXPECT_EQ(fast[i].wholeMph, literal[i].wholeMph);
            EXPECT_EQ(fast[i].direction, literal[i].direction);
            EXPECT_EQ(std::bit_cast<uint32_t>(fast[i].distF), std::bit_cast<uint32_t>(literal[i].distF));
            EXPECT_EQ(fast[i].msPerFoot, literal[i].msPerFoot);
        }
    }
}

TEST(CombinarAxleFacts, AllocationRecordsSameAsTheFieldSetters) {
    std::mt19937 rng(77);
    for (int trial = 0; trial < 30; ++trial) {
        TempDir dir;
        Allocation a;
        const size_t n = rng() % 50;
        for (size_t i = 0; i < n; ++i) {
            CarRecord r;
            r.first = static_cast<uint16_t>(rng());
            r.last = static_cast<uint16_t>(rng());
            r.start = rng();
            r.end = rng();
            r.egc = static_cast<uint8_t>(rng());
            r.car = static_cast<uint16_t>(rng());
            r.part = static_cast<uint8_t>(rng());
            r.speed = static_cast<uint8_t>(rng());
            a.records.push_back(r);
        }
        CAllocFile fast;
        ASSERT_TRUE(FillAllocationFile(a, fast));
        ASSERT_TRUE(fast.SaveAs(dir.File("FAST").c_str()));

        CAllocFile literal;
        literal.Empty();
        ASSERT_TRUE(literal.AppendAllocations(std::vector<uint8_t>(n * layout::alloc::kRecordSize, 0)));
        for (size_t i = 0; i < n; ++i) {
            const CarRecord& r = a.records[i];
            literal.Seek(static_cast<int>(i));
            literal.SetFirstAxle(r.first);
            literal.SetLastAxle(r.last);
            literal.SetRawStartTime(r.start);
            literal.SetRawEndTime(r.end);
            literal.SetEgc(r.egc);
            literal.SetKey(r.car);
            literal.SetPart(r.part);
            literal.SetSpeedByte(r.speed);
        }
        EXPECT_EQ(fast.GetIndex(), literal.GetIndex());
        ASSERT_TRUE(literal.SaveAs(dir.File("LITERAL").c_str()));
        EXPECT_EQ(ReadFileBytes(dir.File("FAST.041")), ReadFileBytes(dir.File("LITERAL.041"))) << "trial " << trial;
    }
}
