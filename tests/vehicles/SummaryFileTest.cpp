#include "SummaryLayout.h"
#include "TestSupport.h"
#include "TrainFileBuilder.h"
#include "TrainSummaryFile.h"

#include <gtest/gtest.h>

using namespace fixture;
namespace sm = layout::summary;

TEST(TrainSummaryFile, DecodesAndFormatsTheTimestamps) {
    TempDir d;
    TrainFileBuilder b;
    b.Type(sm::kTypeGroup, sm::kTypeSubcode);
    b.Add(Record(sm::kRecordSize)
              .Text(sm::kTrainIdOffset, "Q123")
              .Set(sm::kFirstDate, 0x12072025)
              .Set(sm::kFirstTime, 0x45001430)
              .Set(sm::kLastDate, 0x01012026)
              .Set(sm::kLastTime, 0x09000105));
    b.Write(d.File("T.034"));
    CTrainSummaryFile f;
    ASSERT_EQ(f.Load(d.File("T").c_str()), 1);
    EXPECT_EQ(f.GetTrainId(), "Q123");
    EXPECT_EQ(f.FormatFirstTime(), "14:30:45");
    EXPECT_EQ(f.FormatFirstDate(), "12-07-25");
    EXPECT_EQ(f.FormatLastDate(), "01-01-26");
    EXPECT_EQ(f.FormatLastTime(), "01:05:09");
    const SummaryTime& t = f.First();
    EXPECT_EQ(t.hours, 14);
    EXPECT_EQ(t.minutes, 30);
    EXPECT_EQ(t.seconds, 45);
    EXPECT_EQ(t.day, 7);
    EXPECT_EQ(t.month, 11);
    EXPECT_EQ(t.year, 2025);
    EXPECT_EQ(f.Last().month, 0);
    EXPECT_EQ(f.Last().year, 2026);
    EXPECT_EQ(f.EnsureRecord(), 0);
    EXPECT_EQ(f.GetCount(), 1);
}

TEST(TrainSummaryFile, EnsureRecordCreatesOneRecord) {
    TempDir d;
    CTrainSummaryFile f;
    EXPECT_EQ(f.Record().size(), 0u);
    ASSERT_EQ(f.EnsureRecord(), 1);
    EXPECT_EQ(f.EnsureRecord(), 0);
    ASSERT_EQ(f.Record().size(), sm::kRecordSize);
    f.SetTrainId("Unknown");
    f.Set(sm::kLastTime, 0x45001430);
    f.Set(sm::kCountA, 321);
    ASSERT_EQ(f.SaveAs(d.File("S.034").c_str()), 1);
    const auto bytes = ReadFileBytes(d.File("S.034"));
    ASSERT_EQ(bytes.size(), 64 + sm::kRecordSize);
    EXPECT_EQ(layout::Get(bytes, 0, layout::header::kTypeSubcode), sm::kTypeSubcode);
    EXPECT_EQ(layout::Get(bytes, 0, layout::header::kRecordCount), 1u);
    CTrainSummaryFile g;
    ASSERT_EQ(g.Load(d.File("S").c_str()), 1);
    EXPECT_EQ(g.GetTrainId(), "Unknown");
    EXPECT_EQ(g.Last().seconds, 45);
    EXPECT_EQ(g.Get(sm::kCountA), 321u);
    // An identification too long for its field keeps its terminator.
    g.SetTrainId(std::string(40, 'X'));
    EXPECT_EQ(g.GetTrainId(), std::string(19, 'X'));
}

TEST(TrainSummaryFile, ShortRecordReadsMissingFieldsAsZero) {
    TempDir d;
    TrainFileBuilder b;
    b.Type(sm::kTypeGroup, sm::kTypeSubcode);
    b.Add(Record(sm::kRecordSize).Set(sm::kFirstTime, 0x45001430).Set(sm::kLastTime, 0x45001430));
    b.TruncateTo(64 + 100);
    b.Write(d.File("T.034"));
    CTrainSummaryFile f;
    ASSERT_EQ(f.Load(d.File("T").c_str()), 1);
    EXPECT_EQ(f.GetCount(), 0);  // no whole record
    EXPECT_EQ(f.FormatFirstTime(), "14:30:45");
    EXPECT_EQ(f.FormatLastTime(), "00:00:00");
    EXPECT_EQ(f.Set(sm::kLastTime, 1), false);
}
