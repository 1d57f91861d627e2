#include "Records.h"
#include "TestSupport.h"
#include "WheelFile.h"
#include "WheelLayout.h"

#include <gtest/gtest.h>

using namespace fixture;
namespace wh = layout::wheel;

TEST(WheelFile, FieldsAndSpacing) {
    TempDir d;
    auto b = WheelFileBuilder(60);
    b.Add(WheelRecord(wh::kDetectorA, 100, 0x00)).Add(WheelRecord(wh::kDetectorB, 110, 0x01));
    b.Write(d.File("T.012"));
    CWheelFile f;
    ASSERT_EQ(f.Load(d.File("T").c_str()), 1);
    EXPECT_EQ(f.GetABSpacing(), 60);
    EXPECT_EQ(f.GetDetector(), wh::kDetectorA);
    EXPECT_EQ(f.HasEventFlag(), 0);
    EXPECT_EQ(f.GetTime(), 100);
    ASSERT_EQ(f.Next(), 1);
    EXPECT_EQ(f.GetDetector(), wh::kDetectorB);
    EXPECT_EQ(f.HasEventFlag(), 1);
    // Speed from the spacing: 6.0 in crossed in 10 ms and in 5 ms.
    EXPECT_NEAR(AbSpacingSpeedMph(60, 10), 34.09, 0.005);
    EXPECT_NEAR(AbSpacingSpeedMph(60, 5), 68.18, 0.005);
}

TEST(WheelFile, SetTimeTruncatesThroughTheFloatScale) {
    TempDir d;
    WheelFileBuilder().TimeScale(1, 1).Add(WheelRecord(0, 0)).Write(d.File("T.012"));
    CWheelFile f;
    ASSERT_EQ(f.Load(d.File("T").c_str()), 1);
    f.SetTime(1234);
    // The scale is the float nearest 0.1, slightly above it.
    EXPECT_EQ(f.GetRawTime(), 12339u);
    EXPECT_EQ(f.GetTime(), 1233);
}

TEST(WheelFile, DoubleTimes) {
    TempDir d;
    WheelFileBuilder().Add(WheelRecord(0, 0x80000001)).Add(WheelRecord(1, 7)).Write(d.File("T.012"));
    CWheelFile f;
    ASSERT_EQ(f.Load(d.File("T").c_str()), 1);
    EXPECT_EQ(f.DoubleTimes(), 0);
    EXPECT_EQ(f.GetIndex(), 1);  // ends on the last record
    EXPECT_EQ(f.GetFieldAt(0, wh::kTime), 0x00000002u);
    EXPECT_EQ(f.GetFieldAt(1, wh::kTime), 14u);

    WheelFileBuilder().Write(d.File("E.012"));
    CWheelFile empty;
    ASSERT_EQ(empty.Load(d.File("E").c_str()), 1);
    EXPECT_EQ(empty.DoubleTimes(), 0);
    EXPECT_EQ(empty.GetDataSize(), 0u);
}

TEST(WheelFile, RecorderBytesSurviveASave) {
    TempDir d;
    auto b = WheelFileBuilder(58);
    for (size_t off = wh::kRecorderAreaBegin; off < wh::kRecorderAreaEnd; ++off) b.HeaderU8(off, uint8_t(0xA0 + off));
    b.Add(WheelRecord(0, 50, 0xFE, 0xBEEF)).Add(WheelRecord(1, 60, 0x01, 0x1234));
    b.Write(d.File("T.012"));
    const auto before = ReadFileBytes(d.File("T.012"));
    CWheelFile f;
    ASSERT_EQ(f.Load(d.File("T").c_str()), 1);
    f.SetABSpacing(61);
    f.DoubleTimes();
    ASSERT_EQ(f.Save(), 1);
    const auto after = ReadFileBytes(d.File("T.012"));
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        if (i == wh::kAbSpacing.offset) {
            EXPECT_EQ(after[i], 61);
            continue;
        }
        const bool isTime = i >= 64 && (i - 64) % 8 >= wh::kTime.offset;
        if (!isTime) {
            EXPECT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
}

TEST(WheelFile, RecordsShorterThanTheirFieldsReadAsZero) {
    // Record length 4: the timestamp field does not fit in a record, so it
    // must neither read nor overwrite the next record.
    TempDir d;
    auto b = WheelFileBuilder().RecordLength(4);
    b.Add(Record(4).U8(0, 1).U8(1, 1).U16(2, 0xAAAA)).Add(Record(4).U8(0, 0).U16(2, 0x5555));
    b.Write(d.File("T.012"));
    CWheelFile f;
    ASSERT_EQ(f.Load(d.File("T").c_str()), 1);
    EXPECT_EQ(f.GetCount(), 2);
    EXPECT_EQ(f.GetDetector(), 1);
    EXPECT_EQ(f.GetRawTime(), 0u);
    f.DoubleTimes();
    f.SetTime(99);
    EXPECT_EQ(f.GetDataSize(), 8u);
    EXPECT_EQ(f.Data()[6], 0x55);
    EXPECT_EQ(f.Data()[7], 0x55);
}
