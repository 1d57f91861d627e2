// OP5 truck-spacing normalisation and OP18 speed halving, run through the
// real Trimwell.
#include "TagLayout.h"
#include "TrimwellRecords.h"

#include <gtest/gtest.h>

using namespace fixture;

namespace {

constexpr uint8_t kCar = layout::alloc::kEgcRailcar;
constexpr uint8_t kLoco = layout::alloc::kEgcLocomotive;

unsigned E(unsigned whole, unsigned eighths) { return whole * 8 + eighths; }

std::vector<unsigned> EighthsOf(const std::vector<AxleView>& a) {
    std::vector<unsigned> v;
    for (const AxleView& x : a) v.push_back(x.Eighths());
    return v;
}

}  // namespace

TEST(NormalizeTruckSpacing, LocomotiveTrucksAtSevenFeet) {
    TempDir d;
    // Axles at 1000, 1100, 1500, 1900, 2300, 2420 ms.
    TrainSpec().Add(kLoco, 6, 100, 120).Write(d);
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP5"});
    EXPECT_NE(r.out.find(" 1   5 Normalize truck spacing.       OK.\n"), std::string::npos) << r.out;
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    ASSERT_EQ(a.size(), 6u);
    // 7 ft in 100 ms is 47.73 mph, in 120 ms 39.77 mph; the axles between
    // follow the straight line between them by time.
    EXPECT_EQ(EighthsOf(a), (std::vector<unsigned>{E(47, 5), E(47, 1), E(44, 7), E(42, 5), E(40, 3), E(39, 6)}));
    for (const AxleView& x : a) {
        EXPECT_EQ(x.byte0 & 1, 1u);
        EXPECT_EQ(x.byte1 & ~7u, 0u);
    }
}

TEST(NormalizeTruckSpacing, TimesRunOnAcrossTheMiddleOfTheCounter) {
    TempDir d;
    // The recorder's millisecond count passes 2^31 between the first two
    // axles; the gaps are still 100, 400 and 200 ms.
    TrainSpec t;
    t.start = 0x7FFFFFC0;
    t.Add(kLoco, 4, 100, 200).Write(d);
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP5"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(EighthsOf(ReadAxles(d.File("T.010"))),
              (std::vector<unsigned>{E(47, 5), E(44, 2), E(30, 5), E(23, 6)}));
}

TEST(NormalizeTruckSpacing, UnallocatedAxlesFilledFromNeighbours) {
    TempDir d;
    // Only the first vehicle is allocated: 5.6 ft in 100 ms is 38.18 mph.
    TrainSpec().Add(kCar, 4, 100, 100).AddLoose(4).AddLoose(3).AddLoose(2).Write(d);
    RunTrimwell(d.Path(), {"T", "/OP5"});
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    ASSERT_EQ(a.size(), 13u);
    for (unsigned j = 0; j < a.size(); ++j) EXPECT_EQ(a[j].Eighths(), E(38, 1)) << "axle " << j;
}

TEST(NormalizeTruckSpacing, UnmeasurableVehiclesLeftToTheFill) {
    TempDir d;
    // The second vehicle's first two axles pass at the same instant.
    TrainSpec().Add(kCar, 4, 100, 100).Add(kCar, 4, 0, 50).Write(d);
    RunTrimwell(d.Path(), {"T", "/OP5"});
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    EXPECT_EQ(EighthsOf(a),
              (std::vector<unsigned>{E(38, 1), E(38, 1), E(38, 1), E(38, 1), E(38, 1), E(38, 1), E(76, 2), E(76, 2)}));

    // First and last axle at the same time (the records run backwards in
    // between): no line through them, the middle axles come from the fill.
    AxleFileBuilder()
        .Add(AxleRecord(8, 1, 1000, 1)).Add(AxleRecord(8, 1, 1100, 2))
        .Add(AxleRecord(8, 1, 950, 3)).Add(AxleRecord(8, 1, 1000, 4))
        .Write(d.File("T.010"));
    AllocFileBuilder().Add(AllocRecord({.first = 0, .last = 3, .egc = kCar, .seq = 0})).Write(d.File("T.041"));
    RunTrimwell(d.Path(), {"T", "/OP5"});
    EXPECT_EQ(EighthsOf(ReadAxles(d.File("T.010"))),
              (std::vector<unsigned>{E(38, 1), E(38, 1), E(38, 1), E(76, 2)}));
}

TEST(NormalizeTruckSpacing, MissingAllocationWritesNothing) {
    TempDir d;
    TrainSpec().AddLoose(4).Write(d);
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.010"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP5"});
    EXPECT_NE(r.out.find("Normalize truck spacing.       Failed.\n"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("T.010")), before);
}

TEST(HalveSpeeds, DoublesWheelAndTagTimesExceptTag066) {
    TempDir d;
    TrainSpec().AddLoose(2).Write(d);  // writes a .012 too: replaced below
    WheelFileBuilder(60).Add(WheelRecord(0, 0x80000001u)).Add(WheelRecord(1, 5)).Write(d.File("T.012"));
    const std::vector<uint8_t> axlesBefore = ReadFileBytes(d.File("T.010"));
    const std::vector<std::string> exts = {"060", "061", "062", "064", "066", "067"};
    auto tagRead = [](uint32_t time) { return TagReadRecord({.time = time, .lead = 'X'}); };
    for (const std::string& e : exts)
        TagReadFileBuilder().Add(tagRead(7)).Add(tagRead(0x40000000u)).Write(d.File("T." + e));

    RunResult r = RunTrimwell(d.Path(), {"T", "/OP18"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" 1  18 " + std::string(30, ' ') + " \n"), std::string::npos) << r.out;

    const std::vector<uint8_t> wheel = ReadFileBytes(d.File("T.012"));
    const size_t h = layout::header::kSize, w = layout::wheel::kRecordSize;
    EXPECT_EQ(layout::Get(wheel, h, layout::wheel::kTime), 2u);
    EXPECT_EQ(layout::Get(wheel, h + w, layout::wheel::kTime), 10u);
    EXPECT_EQ(layout::Get(wheel, h + w, layout::wheel::kDetector), 1u);
    EXPECT_EQ(layout::Get(wheel, 0, layout::wheel::kAbSpacing), 60u);
    EXPECT_EQ(ReadFileBytes(d.File("T.010")), axlesBefore);
    for (const std::string& e : exts) {
        const std::vector<uint8_t> tags = ReadFileBytes(d.File("T." + e));
        const uint32_t mul = e == "066" ? 1 : 2;
        EXPECT_EQ(layout::Get(tags, h, layout::tagread::kTime), 7u * mul) << e;
        EXPECT_EQ(layout::Get(tags, h + layout::tagread::kRecordSize, layout::tagread::kTime), 0x40000000u * mul) << e;
    }
    EXPECT_FALSE(PathExists(d.File("T.063")));  // absent files are skipped, not made
}
