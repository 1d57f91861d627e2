// OP1 AB spacing error and correction, OP2 axle speed regeneration, run
// through the real Trimwell.
#include "TrimwellRecords.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

using namespace fixture;

namespace {

constexpr uint8_t kCar = layout::alloc::kEgcRailcar;
constexpr uint8_t kLoco = layout::alloc::kEgcLocomotive;
// At 40 mph one foot takes 18 ms: 90 ms is 5.0 ft, 108 ms 6.0 ft, 126 ms 7.0 ft.
constexpr uint32_t k5ft = 90, k6ft = 108, k7ft = 126, k3ft = 54;

std::string Row(unsigned row, unsigned op, const char* description, const std::string& result) {
    char head[64];
    std::snprintf(head, sizeof head, "%2u %3u %-30s ", row, op, description);
    return head + result + "\n";
}

std::string Op1Row(const std::string& result) { return Row(1, 1, "Calculate XDUCER error.", result); }

unsigned AbSpacingOf(const std::string& path) {
    return layout::Get(ReadFileBytes(path), 0, layout::wheel::kAbSpacing);
}

}  // namespace

TEST(TransducerError, RailcarTrucksAtFiveFeetRaiseSpacingTo66) {
    TempDir d;
    TrainSpec().Add(kLoco, 6, k7ft, k7ft).Add(kCar, 4, k5ft, k5ft).Add(kCar, 4, k5ft, k5ft).Write(d);
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.012"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(Op1Row("Error=00.11 (AB 60 => 66)")), std::string::npos) << r.out;
    std::vector<uint8_t> after = ReadFileBytes(d.File("T.012"));
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[layout::wheel::kAbSpacing.offset], 66);
    after[layout::wheel::kAbSpacing.offset] = before[layout::wheel::kAbSpacing.offset];
    EXPECT_EQ(after, before) << "only the AB spacing changes";
}

TEST(TransducerError, ReadOnlyLeavesTheWheelFileAlone) {
    TempDir d;
    TrainSpec().Add(kCar, 4, k5ft, k5ft).Write(d);
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.012"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP1", "/R"});
    EXPECT_NE(r.out.find(Op1Row("Error=00.11 (AB not changed)")), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("T.012")), before);
}

TEST(TransducerError, MissingFilesGiveZeroError) {
    TempDir d;
    TrainSpec().Add(kCar, 4, k5ft, k5ft).Write(d);
    std::remove(d.File("T.041").c_str());
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP1"});
    EXPECT_NE(r.out.find(Op1Row("Error=00.00 (AB 60 => 60)")), std::string::npos) << r.out;
    EXPECT_EQ(AbSpacingOf(d.File("T.012")), 60u);

    TempDir empty;
    r = RunTrimwell(empty.Path(), {"T", "/OP1"});
    EXPECT_NE(r.out.find(Op1Row("Error=00.00 ")), std::string::npos) << r.out;
    EXPECT_TRUE(empty.List().empty());
}

TEST(TransducerError, LocomotivesCountOnlyWhenTheyOutnumberRailcars) {
    TempDir d;
    TrainSpec().Add(kLoco, 6, k6ft, k6ft).Add(kLoco, 4, k6ft, k6ft).Write(d);
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP1"});
    // (7 - 6) / 7 = 0.143; against 5.6 ft it would be negative.
    EXPECT_NE(r.out.find(Op1Row("Error=00.14 (AB 60 => 68)")), std::string::npos) << r.out;

    TrainSpec().Add(kLoco, 4, k6ft, k6ft).Add(kCar, 4, k5ft, k5ft).Write(d);
    r = RunTrimwell(d.Path(), {"T", "/OP1", "/R"});
    EXPECT_NE(r.out.find(Op1Row("Error=00.11 (AB not changed)")), std::string::npos) << r.out;
}

TEST(TransducerError, VehiclesThatCannotBeMeasuredArePassedOver) {
    TempDir d;
    TrainSpec t;
    t.Add(kCar, 4, k3ft, k3ft);  // followed by a slow axle: not measured
    t.AddLoose(1, 4 * 8);        // 4 mph
    t.Add(kCar, 4, k5ft, k5ft);  // the one measured vehicle
    t.Add(kCar, 2, k3ft, k3ft);  // two axles
    t.Add(kCar, 3, k3ft, k3ft);  // odd count
    t.Add(kCar, 4, 97, 117);     // 5.39 ft against 6.5 ft: differ by 1 ft or more
    t.Add(14, 4, k3ft, k3ft);    // neither railcar nor locomotive
    t.Write(d);
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP1", "/R"});
    EXPECT_NE(r.out.find(Op1Row("Error=00.11 (AB not changed)")), std::string::npos) << r.out;
}

TEST(TransducerError, AllocationsOutsideTheAxlesAreNotMeasured) {
    TempDir d;
    TrainSpec().Add(kCar, 4, k5ft, k5ft).Add(kCar, 4, k5ft, k5ft).Write(d);
    // A range running backwards (axles 5 to 2 would pair the two 22 ft gaps
    // in the middle of the cars) and one beyond the last axle.
    AllocFileBuilder()
        .Add(AllocRecord({.first = 0, .last = 3, .egc = kCar, .seq = 0}))
        .Add(AllocRecord({.first = 4, .last = 7, .egc = kCar, .seq = 1}))
        .Add(AllocRecord({.first = 5, .last = 2, .egc = kCar, .seq = 2}))
        .Add(AllocRecord({.first = 6, .last = 9, .egc = kCar, .seq = 3}))
        .Write(d.File("T.041"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP1", "/R"});
    EXPECT_NE(r.out.find(Op1Row("Error=00.11 (AB not changed)")), std::string::npos) << r.out;
}

TEST(TransducerError, TrailingPairKeepsItsUnroundedDistance) {
    TempDir d;
    // 82 and 98 ms at 18 ms a foot: 4.56 and 5.44 ft, 5.0 on average. The
    // leading pair is rounded to a float and the trailing one is not, which
    // puts 28 x (1 + error) just above 31 (both rounded: just below).
    TrainSpec t;
    t.abSpacing = 28;
    t.Add(kCar, 4, 82, 98).Write(d);
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP1"});
    EXPECT_NE(r.out.find(Op1Row("Error=00.11 (AB 28 => 31)")), std::string::npos) << r.out;
}

TEST(TransducerError, CorrectedSpacingKeepsItsLowEightBits) {
    TempDir d;
    TrainSpec t;
    t.abSpacing = 250;
    t.Add(kCar, 4, k5ft, k5ft).Write(d);
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP1"});
    EXPECT_NE(r.out.find(Op1Row("Error=00.11 (AB 250 => 276)")), std::string::npos) << r.out;
    EXPECT_EQ(AbSpacingOf(d.File("T.012")), 276u & 0xFF);
}

TEST(RecalcAxleSpeeds, SpeedFromSpacingAndInterval) {
    TempDir d;
    WheelFileBuilder(60)
        .Add(WheelRecord(0, 1000)).Add(WheelRecord(1, 1010))   // 10 ms: 34.09 mph
        .Add(WheelRecord(0, 1501)).Add(WheelRecord(1, 1506))   // 5 ms: 68.18 mph
        .Write(d.File("T.012"));
    AxleFileBuilder()
        .Add(AxleRecord(20 * 8 + 5, 1, 1000, 1, layout::axle::kGapMarker))
        .Add(AxleRecord(20 * 8, 0, 1500, 2))  // one time unit before its event
        .Write(d.File("T.010"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP2"});
    EXPECT_NE(r.out.find(Row(1, 2, "Recalc Axle Speeds.", "OK.")), std::string::npos) << r.out;
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].byte0, (34u << 1) | 1) << "34 mph, direction bit kept";
    EXPECT_EQ(a[0].byte1, 0u) << "0 eighths, marker cleared";
    EXPECT_EQ(a[1].Eighths(), 68u * 8 + 1);
    EXPECT_EQ(a[1].byte0 & 1, 0u);
    EXPECT_EQ(a[1].time, 1500u);
}

TEST(RecalcAxleSpeeds, DifferentTimeScalesMatchInMilliseconds) {
    TempDir d;
    // .012 counts tenths of a millisecond; .010 counts milliseconds.
    WheelFileBuilder(60).TimeScale(1, 1).Add(WheelRecord(0, 10000)).Add(WheelRecord(1, 10100)).Write(d.File("T.012"));
    AxleFileBuilder().Add(AxleRecord(8, 1, 1000, 1)).Write(d.File("T.010"));
    RunTrimwell(d.Path(), {"T", "/OP2"});
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].Eighths(), 34u * 8);
}

TEST(RecalcAxleSpeeds, UnmatchedAxleWritesNothing) {
    TempDir d;
    WheelFileBuilder(60)
        .Add(WheelRecord(0, 1000)).Add(WheelRecord(1, 1010)).Add(WheelRecord(0, 2000))
        .Write(d.File("T.012"));
    AxleFileBuilder().Add(AxleRecord(8, 1, 1000, 1)).Add(AxleRecord(8, 1, 1700, 2)).Write(d.File("T.010"));
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.010"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP2"});
    EXPECT_NE(r.out.find(Row(1, 2, "Recalc Axle Speeds.", "Failed.")), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("OK."), std::string::npos);
    EXPECT_EQ(ReadFileBytes(d.File("T.010")), before);
    // A matched event with nothing after it writes nothing either.
    AxleFileBuilder().Add(AxleRecord(8, 1, 1000, 1)).Add(AxleRecord(8, 1, 2000, 2)).Write(d.File("T.010"));
    const std::vector<uint8_t> lastEvent = ReadFileBytes(d.File("T.010"));
    RunTrimwell(d.Path(), {"T", "/OP2"});
    EXPECT_EQ(ReadFileBytes(d.File("T.010")), lastEvent);
}

TEST(RecalcAxleSpeeds, ZeroIntervalKeepsTheOldSpeed) {
    TempDir d;
    WheelFileBuilder(60)
        .Add(WheelRecord(0, 1000)).Add(WheelRecord(1, 1000))
        .Add(WheelRecord(0, 2000)).Add(WheelRecord(1, 2010))
        .Write(d.File("T.012"));
    AxleFileBuilder()
        .Add(AxleRecord(21 * 8 + 3, 1, 1000, 1)).Add(AxleRecord(8, 1, 2000, 2))
        .Write(d.File("T.010"));
    RunTrimwell(d.Path(), {"T", "/OP2"});
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].Eighths(), 21u * 8 + 3);
    EXPECT_EQ(a[1].Eighths(), 34u * 8);
}

TEST(TrimwellRun, LaterOperationsSeeTheFilesEarlierOnesWrote) {
    TempDir d;
    // 22 axles: five railcars at 5.0 ft and two loose axles; the .012 puts
    // axle 20's B event 20 ms after its A event, all others 10 ms.
    TrainSpec t;
    for (int i = 0; i < 5; ++i) t.Add(kCar, 4, k5ft, k5ft);
    t.AddLoose(2);
    t.Write(d);
    const std::vector<uint32_t> times = t.Times();
    TrainFileBuilder wheel = WheelFileBuilder(60);
    for (size_t j = 0; j < times.size(); ++j)
        wheel.Add(WheelRecord(0, times[j])).Add(WheelRecord(1, times[j] + (j == 20 ? 20 : 10)));
    wheel.Write(d.File("T.012"));

    RunResult r = RunTrimwell(d.Path(), {"T", "/OP1", "/OP2", "/OP3"});
    EXPECT_NE(r.out.find(Op1Row("Error=00.11 (AB 60 => 66)")), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(Row(3, 3, "Smooth speeds (forward).", "OK.")), std::string::npos);
    // OP2 with AB 66: 10 ms give 37.5 mph (with 60 it would be 34.09) and
    // axle 20 18.75 mph; OP3 then gives axle 20 the mean of its neighbours.
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    ASSERT_EQ(a.size(), 22u);
    for (unsigned j = 0; j < 22; ++j) EXPECT_EQ(a[j].Eighths(), 37u * 8 + 4) << "axle " << j;
}

TEST(TransducerError, ASpacingThatCannotBeSavedIsNotShownAsCorrected) {
    TempDir d;
    TrainSpec().Add(kLoco, 6, k7ft, k7ft).Add(kCar, 4, k5ft, k5ft).Add(kCar, 4, k5ft, k5ft).Write(d);
    ::chmod(d.File("T.012").c_str(), 0444);
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.012"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP1"});
    EXPECT_NE(r.out.find(Op1Row("Error=00.11 Error 5 creating file \"T.012\"\n(AB 60 not changed)")),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("=>"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("T.012")), before);
}
