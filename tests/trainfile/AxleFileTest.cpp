#include "AxleFile.h"
#include "AxleLayout.h"
#include "Records.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace fixture;
namespace ax = layout::axle;

namespace {

struct Loaded {
    TempDir dir;
    CAxleFile file;
    explicit Loaded(const TrainFileBuilder& b, const char* name = "T") {
        b.Write(dir.File(std::string(name) + ".010"));
        EXPECT_EQ(file.Load(dir.File(name).c_str()), 1);
    }
};

TrainFileBuilder Steady(int n, unsigned eighths, uint32_t step) {
    auto b = AxleFileBuilder();
    for (int i = 0; i < n; ++i) b.Add(AxleRecord(eighths, 1, 1000 + step * i, uint16_t(i + 1)));
    return b;
}

}  // namespace

TEST(AxleFile, LoadsBothExtensions) {
    TempDir d;
    Steady(2, 320, 100).Write(d.File("A.010"));
    Steady(3, 320, 100).Write(d.File("A.011"));
    CAxleFile f;
    ASSERT_EQ(f.Load(d.File("A").c_str()), 1);
    EXPECT_EQ(f.GetCount(), 2);
    ASSERT_EQ(f.LoadMovement(d.File("A").c_str()), 1);
    EXPECT_EQ(f.GetCount(), 3);
    EXPECT_EQ(std::string(f.GetFileName()), d.File("A.011"));
}

TEST(AxleFile, SpeedFields) {
    auto b = AxleFileBuilder();
    b.Add(Record(8).U8(0, 0x51).U8(1, 0x03));
    b.Add(Record(8).U8(0, 0x51).U8(1, 0x13));
    Loaded l(b);
    CAxleFile& f = l.file;
    EXPECT_EQ(f.GetSpeedWhole(), 40);
    EXPECT_EQ(f.GetSpeedEighths(), 323);
    EXPECT_FLOAT_EQ(f.GetSpeed(), 40.375f);
    EXPECT_EQ(f.GetDirection(), 1);
    ASSERT_EQ(f.Seek(1), 1);
    f.SetSpeed(40.0f);
    EXPECT_EQ(f.GetField(ax::kSpeedEighths), 0x00u);  // marker and flags cleared
    EXPECT_EQ(f.GetField(ax::kSpeedWhole), 0x51u);    // direction bit kept
    f.SetSpeed(34.0f + 5.0f / 8);
    EXPECT_EQ(f.GetSpeedEighths(), 34 * 8 + 5);
    f.SetSpeed(200.0f);  // only seven bits of the whole part fit
    EXPECT_EQ(f.GetSpeedWhole(), 200 & 0x7F);
    f.SetSpeed(-3.0f);   // garbage in, no undefined behaviour
    EXPECT_NEAR(f.GetSpeedFeetPerSecond(), f.GetSpeed() * 5280 / 3600.0, 1e-3);
}

TEST(AxleFile, MsPerFoot) {
    Loaded fast(Steady(4, 320, 50));
    EXPECT_EQ(fast.file.MsPerFoot(0, 3), 18u);
    Loaded slow(Steady(4, 1, 50));
    EXPECT_EQ(slow.file.MsPerFoot(0, 3), 5455u);
    Loaded zero(Steady(2, 0, 50));
    EXPECT_EQ(zero.file.MsPerFoot(0, 1), 5455u);  // an average of 0 counts as 1
    EXPECT_EQ(fast.file.MsPerFoot(0, 4), unsigned(-1));
    // 7 eighths never gets the extra millisecond; 8 does.
    Loaded seven(Steady(1, 7, 50));
    EXPECT_EQ(seven.file.MsPerFoot(0, 0), 5455u / 7);
    Loaded eight(Steady(1, 8, 50));
    EXPECT_EQ(eight.file.MsPerFoot(0, 0), 5455u / 8 + 1);
}

TEST(AxleFile, DistanceFeet) {
    Loaded l(Steady(10, 320, 180));  // 18 ms per foot, 180 ms apart
    CAxleFile& f = l.file;
    f.Seek(2);
    EXPECT_FLOAT_EQ(f.DistanceFeet(5, 5), 0.0f);
    EXPECT_FLOAT_EQ(f.DistanceFeet(3, 4), 10.0f);
    EXPECT_FLOAT_EQ(f.DistanceFeet(7, 3), f.DistanceFeet(3, 7));
    EXPECT_FLOAT_EQ(f.DistanceFeet(3, 7), 40.0f);
    EXPECT_EQ(f.GetIndex(), 2);
    EXPECT_FLOAT_EQ(f.DistanceFeet(3, 70), 0.0f);

    // The float distance is the quotient rounded once; the unrounded one is
    // the quotient itself.
    Loaded odd(AxleFileBuilder().Add(AxleRecord(320, 1, 1000, 1)).Add(AxleRecord(320, 1, 1082, 2)));
    EXPECT_EQ(odd.file.DistanceFeetUnrounded(0, 1), 82.0 / 18.0);
    EXPECT_EQ(odd.file.DistanceFeet(1, 0), static_cast<float>(82.0 / 18.0));
    EXPECT_NE(static_cast<double>(odd.file.DistanceFeet(0, 1)), 82.0 / 18.0);
}

TEST(AxleFile, Gaps) {
    auto b = AxleFileBuilder();
    b.Add(AxleRecord(8, 1, 100, 1)).Add(AxleRecord(8, 1, 130, 2)).Add(AxleRecord(8, 1, 190, 3));
    Loaded l(b);
    CAxleFile& f = l.file;
    EXPECT_EQ(f.GapToPrev(), 0);
    EXPECT_EQ(f.GetIndex(), 0);
    EXPECT_EQ(f.GapToNext(), 30);
    EXPECT_EQ(f.GetIndex(), 0);
    f.Seek(2);
    EXPECT_EQ(f.GapToPrev(), 60);
    EXPECT_EQ(f.GapToNext(), 60);  // at the last record: the previous gap
    EXPECT_EQ(f.GetIndex(), 1);    // and the cursor moved back

    // Gaps across the middle and the end of the 32-bit time range wrap.
    auto w = AxleFileBuilder();
    w.Add(AxleRecord(8, 1, 0x7FFFFFFF, 1)).Add(AxleRecord(8, 1, 0x80000001, 2));
    w.Add(AxleRecord(8, 1, 0xFFFFFFFF, 3)).Add(AxleRecord(8, 1, 4, 4));
    Loaded wrap(w);
    EXPECT_EQ(wrap.file.GapToNext(), 2);
    wrap.file.Seek(1);
    EXPECT_EQ(wrap.file.GapToPrev(), 2);
    wrap.file.Seek(3);
    EXPECT_EQ(wrap.file.GapToPrev(), 5);
}

TEST(AxleFile, TimesFollowTheScale) {
    auto b = AxleFileBuilder().TimeScale(1, 1);
    b.Add(AxleRecord(8, 1, 12345, 1)).Add(AxleRecord(8, 1, 20000, 2));
    Loaded l(b);
    EXPECT_EQ(l.file.GetTime(), 1234);
    EXPECT_EQ(l.file.GetTimeAt(1), 2000);
    EXPECT_EQ(l.file.GetIndex(), 0);
}

TEST(AxleFile, ReverseMirrorsTimesAndMovesMarkers) {
    auto b = AxleFileBuilder();
    b.Add(AxleRecord(80, 1, 1000, 1, ax::kGapMarker));
    b.Add(AxleRecord(88, 1, 1100, 2));
    b.Add(AxleRecord(96, 1, 1300, 3, ax::kGapMarker));
    b.Add(AxleRecord(104, 0, 1600, 4));
    Loaded l(b);
    CAxleFile& f = l.file;
    f.Seek(1);
    ASSERT_EQ(f.Reverse(), 1);
    EXPECT_EQ(f.GetIndex(), 1);
    std::vector<uint32_t> times, axles, markers, speeds;
    for (int i = 0; i < 4; ++i) {
        times.push_back(f.GetFieldAt(i, ax::kTime));
        axles.push_back(f.GetFieldAt(i, ax::kAxleNumber));
        markers.push_back(f.GetFieldAt(i, ax::kSpeedEighths) & ax::kGapMarker);
        speeds.push_back((f.GetFieldAt(i, ax::kSpeedWhole) >> 1) * 8);
    }
    EXPECT_EQ(times, (std::vector<uint32_t>{1000, 1300, 1500, 1600}));
    EXPECT_EQ(axles, (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(speeds, (std::vector<uint32_t>{104, 96, 88, 80}));
    // Markers stay with their gaps: the gap 1100-1300 is now between
    // records 1 and 2, the one before record 0 is dropped.
    EXPECT_EQ(markers, (std::vector<uint32_t>{0, 0, ax::kGapMarker, 0}));
    ASSERT_EQ(f.Reverse(), 1);
    EXPECT_EQ(f.GetFieldAt(0, ax::kTime), 1000u);
    EXPECT_EQ(f.GetFieldAt(3, ax::kTime), 1600u);
    EXPECT_EQ(f.GetFieldAt(2, ax::kSpeedEighths) & ax::kGapMarker, ax::kGapMarker);
    EXPECT_EQ(f.GetFieldAt(0, ax::kSpeedEighths) & ax::kGapMarker, 0u);
}

TEST(AxleFile, ReverseOfOneAndOfNone) {
    auto one = AxleFileBuilder();
    one.Add(AxleRecord(8, 1, 777, 5));
    Loaded l(one);
    ASSERT_EQ(l.file.Reverse(), 1);
    EXPECT_EQ(l.file.GetFieldAt(0, ax::kTime), 777u);
    EXPECT_EQ(l.file.GetFieldAt(0, ax::kAxleNumber), 0u);
    Loaded none(AxleFileBuilder());
    EXPECT_EQ(none.file.Reverse(), 0);
}
