// OP3/OP4 speed smoothing, run through the real Trimwell.
#include "TrimwellRecords.h"

#include <gtest/gtest.h>

using namespace fixture;

namespace {

constexpr uint8_t kMarkerAndFlags = layout::axle::kGapMarker | layout::axle::kMoveFirstNew;

// Writes T.010 with the given speeds (eighths), rising times, axle numbers
// 1..n, direction bit on odd axles and marker/flag bits on every record.
void WriteAxles(const TempDir& d, const std::vector<unsigned>& eighths) {
    TrainFileBuilder b = AxleFileBuilder();
    for (size_t j = 0; j < eighths.size(); ++j)
        b.Add(AxleRecord(eighths[j], j & 1, 1000 + 50 * uint32_t(j), uint16_t(j + 1), kMarkerAndFlags));
    b.Write(d.File("T.010"));
}

std::vector<unsigned> Ramp(unsigned n) {  // axle j at 20 + j mph
    std::vector<unsigned> v;
    for (unsigned j = 0; j < n; ++j) v.push_back((20 + j) * 8);
    return v;
}

}  // namespace

TEST(SmoothSpeeds, ForwardOn22AxlesChangesOnlyAxle20) {
    TempDir d;
    WriteAxles(d, Ramp(22));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP3"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" 1   3 Smooth speeds (forward).       OK.\n"), std::string::npos) << r.out;
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    ASSERT_EQ(a.size(), 22u);
    for (unsigned j = 0; j < 22; ++j) {
        // Mean of axles 0-19 and 21: (590 + 41) / 21 = 30.05 mph, stored 30 0/8.
        const unsigned want = j == 20 ? 30 * 8 : (20 + j) * 8;
        EXPECT_EQ(a[j].Eighths(), want) << "axle " << j;
        EXPECT_EQ(a[j].byte0 & 1, j & 1) << "direction bit kept";
        EXPECT_EQ(a[j].byte1 & ~7u, 0u) << "marker and movement bits cleared";
        EXPECT_EQ(a[j].time, 1000 + 50 * j);
        EXPECT_EQ(a[j].axle, j + 1);
    }
}

TEST(SmoothSpeeds, ReverseOn22AxlesChangesOnlyAxle1AndNumbersFromZero) {
    TempDir d;
    WriteAxles(d, Ramp(22));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP4"});
    EXPECT_NE(r.out.find(" 1   4 Smooth speeds (reverse).       OK.\n"), std::string::npos) << r.out;
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    ASSERT_EQ(a.size(), 22u);
    for (unsigned j = 0; j < 22; ++j) {
        // Mean of axles 2-21 and 0: (630 + 20) / 21 = 30.95 mph, stored 30 7/8.
        const unsigned want = j == 1 ? 30 * 8 + 7 : (20 + j) * 8;
        EXPECT_EQ(a[j].Eighths(), want) << "axle " << j;
        EXPECT_EQ(a[j].byte0 & 1, j & 1);
        EXPECT_EQ(a[j].byte1 & ~7u, 0u);
        EXPECT_EQ(a[j].time, 1000 + 50 * j) << "times mirrored back";
        EXPECT_EQ(a[j].axle, j) << "numbers 0-based after the double reversal";
    }
}

TEST(SmoothSpeeds, OwnSpeedLeftOutOfTheMean) {
    TempDir d;
    std::vector<unsigned> v(41, 30 * 8);
    v[20] = 50 * 8;
    WriteAxles(d, v);
    RunTrimwell(d.Path(), {"T", "/OP3"});
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    ASSERT_EQ(a.size(), 41u);
    EXPECT_EQ(a[20].Eighths(), 30u * 8);      // the 50 mph is not its own neighbour
    EXPECT_EQ(a[21].Eighths(), 30u * 8 + 4);  // (19 x 30 + 50 + 19 x 30) / 39 = 30.51
    for (unsigned j = 0; j < 20; ++j) EXPECT_EQ(a[j].Eighths(), 30u * 8) << j;
    EXPECT_EQ(a[40].Eighths(), 30u * 8);      // the last axle keeps its speed
}

TEST(SmoothSpeeds, ShortOrMissingFiles) {
    TempDir d;
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP3", "/OP4"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(" 2   4 Smooth speeds (reverse).       Failed.\n"), std::string::npos);
    EXPECT_TRUE(d.List().empty());

    // 21 axles: speeds unchanged, markers cleared.
    WriteAxles(d, Ramp(21));
    RunTrimwell(d.Path(), {"T", "/OP3", "/OP4"});
    std::vector<AxleView> a = ReadAxles(d.File("T.010"));
    ASSERT_EQ(a.size(), 21u);
    for (unsigned j = 0; j < 21; ++j) {
        EXPECT_EQ(a[j].Eighths(), (20 + j) * 8);
        EXPECT_EQ(a[j].byte1, 0u);
    }
}
