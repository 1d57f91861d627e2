// OP3/OP4 speed smoothing, run through the real Trimwell.
#include "Speed.h"
#include "Trimwell.h"
#include "TrimwellRecords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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

// The smoothing as an axle cursor walks it, one window sum per axle: from
// each axle up to 20 speeds forward, stepping after each; the axle the cursor
// then stands on is the one smoothed, with up to 20 speeds after it. A walk
// that reaches the last axle ends the smoothing.
std::vector<float> CursorWalkSmoothing(const std::vector<int>& eighths) {
    const int n = int(eighths.size());
    std::vector<float> out;
    for (int e : eighths) out.push_back(float(e) * 0.125f);
    auto addWindow = [&](int& cur, double& sum, int& m) {
        for (int added = 1;; ++added) {
            sum += float(eighths[size_t(cur)]) * 0.125f;
            ++m;
            const bool stepped = cur + 1 < n;
            if (stepped) ++cur;
            if (added == 20 || !stepped) return;
        }
    };
    for (int i = 0; i < n; ++i) {
        int cur = i;
        double sum = 0.0;
        int m = 0;
        addWindow(cur, sum, m);
        const int k = cur;
        if (cur + 1 >= n) break;
        ++cur;
        addWindow(cur, sum, m);
        out[size_t(k)] = float(sum / m);
    }
    return out;
}

// Random speeds over the whole range the two speed bytes hold (0 to 127
// 7/8 mph), with runs of the extremes, where a mean is most likely to
// round differently.
std::vector<int> RandomEighths(std::mt19937& rng, int n) {
    std::vector<int> v(static_cast<size_t>(n));
    for (int& e : v) {
        const unsigned r = rng() % 10;
        e = r == 0 ? 0 : r == 1 ? 1023 : int(rng() % 1024);
    }
    return v;
}

}  // namespace

TEST(SmoothSpeeds, RunningSumsGiveTheCursorWalksMeans) {
    std::mt19937 rng(20261209);
    for (int round = 0; round < 400; ++round) {
        const int n = round < 50 ? round : 1 + int(rng() % 3000);
        const std::vector<int> eighths = RandomEighths(rng, n);
        const std::vector<float> want = CursorWalkSmoothing(eighths);
        const std::vector<float> got = SmoothedSpeeds(eighths);
        ASSERT_EQ(got.size(), want.size());
        for (int k = 0; k < n; ++k)
            ASSERT_EQ(got[size_t(k)], want[size_t(k)]) << "axle " << k << " of " << n;
    }
}

// The whole operation on random trains: every axle stores the cursor walk's
// speed in its two bytes (direction bit kept) and its time, forward and, for
// OP4, on the train turned end for end, after which the axles count from 0.
TEST(SmoothSpeeds, RandomTrainsStoreTheCursorWalksSpeeds) {
    std::mt19937 rng(7);
    TempDir d;
    for (int round = 0; round < 6; ++round) {
        const int n = 1 + int(rng() % 900);
        const std::vector<int> eighths = RandomEighths(rng, n);
        for (int direction = 0; direction < 2; ++direction) {
            WriteAxles(d, std::vector<unsigned>(eighths.begin(), eighths.end()));
            RunTrimwell(d.Path(), {"T", direction == 0 ? "/OP3" : "/OP4"});
            std::vector<int> order = eighths;
            if (direction == 1) std::reverse(order.begin(), order.end());
            std::vector<float> want = CursorWalkSmoothing(order);
            if (direction == 1) std::reverse(want.begin(), want.end());
            const std::vector<AxleView> a = ReadAxles(d.File("T.010"));
            ASSERT_EQ(a.size(), size_t(n));
            for (int j = 0; j < n; ++j) {
                const SpeedBytes b = EncodeSpeed(want[size_t(j)], unsigned(j) & 1);
                ASSERT_EQ(a[size_t(j)].byte0, b.whole) << "direction " << direction << " axle " << j << " of " << n;
                ASSERT_EQ(a[size_t(j)].byte1, b.eighths) << "direction " << direction << " axle " << j << " of " << n;
                ASSERT_EQ(a[size_t(j)].time, 1000 + 50 * uint32_t(j)) << "direction " << direction << " axle " << j;
                ASSERT_EQ(a[size_t(j)].axle, unsigned(j) + (direction == 0 ? 1 : 0)) << "direction " << direction;
            }
        }
    }
}

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
