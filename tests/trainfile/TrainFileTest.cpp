#include "PlatformTesting.h"
#include "TestSupport.h"
#include "TrainFile.h"
#include "TrainFileBuilder.h"

#include <gtest/gtest.h>

using namespace fixture;
namespace hdr = layout::header;

namespace {

// A fixed-length file of n records of 4 bytes: record i holds i+1 in byte 0.
TrainFileBuilder Numbered(int n) {
    TrainFileBuilder b;
    for (int i = 0; i < n; ++i) b.Add(Record(4).U8(0, uint8_t(i + 1)));
    return b;
}

std::vector<int> FirstBytes(const CTrainFile& f) {
    std::vector<int> v;
    for (int i = 0; i < f.GetCount(); ++i) v.push_back(f.GetFieldAt(i, {0, 1, ""}));
    return v;
}

}  // namespace

TEST(Naming, ExtensionOnlyWithoutAnyDot) {
    EXPECT_EQ(AddExtension("00008901", ".010"), "00008901.010");
    EXPECT_EQ(AddExtension("00008901.012", ".010"), "00008901.012");
    EXPECT_EQ(AddExtension("./data/00008901", ".010"), "./data/00008901");
    EXPECT_EQ(AddExtension("dir.v2/T", ".010"), "dir.v2/T");
}

TEST(Naming, OverlongNamesAreRefused) {
    TempDir d;
    CTrainFile f;
    std::string longName(300, 'A');
    EXPECT_EQ(f.Load(longName.c_str()), 0);
    EXPECT_EQ(f.GetCount(), 0);
}

TEST(LoadSave, SixtyFourByteFileHasNoRecordsButKeepsStoredCount) {
    TempDir d;
    Numbered(0).Count(7).RecordLength(4).Write(d.File("T.010"));
    CTrainFile f;
    ASSERT_EQ(f.Load(d.File("T.010").c_str()), 1);
    EXPECT_EQ(f.GetDataSize(), 0u);
    EXPECT_EQ(f.GetStoredCount(), 7);
    EXPECT_EQ(f.GetCount(), 0);  // nothing to address
    EXPECT_EQ(f.Seek(0), 0);
}

TEST(LoadSave, EmptyOrMissingFilesFailAndCannotBeSaved) {
    TempDir d;
    WriteFileBytes(d.File("E.010"), {});
    for (const char* n : {"E.010", "missing.010"}) {
        CTrainFile f;
        EXPECT_EQ(f.Load(d.File(n).c_str()), 0);
        EXPECT_EQ(f.GetCount(), 0);
        EXPECT_EQ(f.Save(), 0);
    }
    EXPECT_EQ(ReadFileBytes(d.File("E.010")).size(), 0u);
    EXPECT_FALSE(PathExists(d.File("missing.010")));
}

TEST(LoadSave, HeaderClaimingMoreRecordsThanPresentIsLimited) {
    TempDir d;
    Numbered(3).Count(500).Trailing({0xEE, 0xEE}).Write(d.File("L.010"));
    CTrainFile f;
    ASSERT_EQ(f.Load(d.File("L.010").c_str()), 1);
    EXPECT_EQ(f.GetCount(), 3);
    EXPECT_EQ(f.Seek(3), 0);
    EXPECT_EQ(f.GetFieldAt(100, {0, 4, ""}), 0u);
    // A file shorter than its header loads with what it has.
    WriteFileBytes(d.File("S.010"), {1, 5, 3});
    CTrainFile s;
    ASSERT_EQ(s.Load(d.File("S.010").c_str()), 1);
    EXPECT_EQ(s.GetCount(), 0);
}

TEST(LoadSave, SaveRewritesFileLengthAndKeepsEverythingElse) {
    TempDir d;
    auto bytes = Numbered(2).FileLength(12345).HeaderU8(40, 0x77).Build();
    WriteFileBytes(d.File("F.010"), bytes);
    CTrainFile f;
    ASSERT_EQ(f.Load(d.File("F.010").c_str()), 1);
    ASSERT_EQ(f.Save(), 1);
    auto saved = ReadFileBytes(d.File("F.010"));
    ASSERT_EQ(saved.size(), 72u);
    EXPECT_EQ(layout::Get(saved, 0, hdr::kFileLength), 72u);
    layout::Set(bytes, 0, hdr::kFileLength, 72);
    EXPECT_EQ(saved, bytes);
}

TEST(LoadSave, FailedSaveReportsAndKeepsTheOldFile) {
    TempDir d;
    auto bytes = Numbered(50).Build();
    WriteFileBytes(d.File("F.010"), bytes);
    CTrainFile f;
    ASSERT_EQ(f.Load(d.File("F.010").c_str()), 1);
    f.Delete(0);
    testing::internal::CaptureStdout();
    plat::testing::SetWriteFaultAfter(100);
    int ok = f.Save();
    plat::testing::SetWriteFaultAfter(-1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(out, "Error 112 creating file \"" + d.File("F.010") + "\"\n");
    EXPECT_EQ(ReadFileBytes(d.File("F.010")), bytes);
}

TEST(TimeScale, RawToMillisecondsAndBack) {
    TempDir d;
    Numbered(1).TimeScale(1, 1).Write(d.File("a.010"));
    Numbered(1).TimeScale(1, 0).Write(d.File("b.010"));
    CTrainFile a, b, fresh;
    ASSERT_EQ(a.Load(d.File("a.010").c_str()), 1);
    ASSERT_EQ(b.Load(d.File("b.010").c_str()), 1);
    EXPECT_EQ(a.RawToMs(12345), 1234);
    EXPECT_EQ(b.RawToMs(12345), 12345);
    // 0.1 is held as the float just above it, so 1234 ms is 12339 raw.
    EXPECT_EQ(a.MsToRaw(1234), 12339u);
    EXPECT_FLOAT_EQ(fresh.GetTimeScale(), 1.0f);
}

TEST(Cursor, SeekNextPrevStayInRange) {
    TempDir d;
    Numbered(3).Write(d.File("c.010"));
    CTrainFile f;
    ASSERT_EQ(f.Load(d.File("c.010").c_str()), 1);
    EXPECT_EQ(f.Prev(), 0);
    EXPECT_EQ(f.Seek(2), 1);
    EXPECT_EQ(f.Next(), 0);
    EXPECT_EQ(f.GetIndex(), 2);
    EXPECT_EQ(f.Seek(-1), 0);
    EXPECT_EQ(f.Seek(3), 0);
    EXPECT_EQ(f.GetIndex(), 2);
}

TEST(Cursor, InsertDeleteSwapGrow) {
    TempDir d;
    Numbered(3).Write(d.File("e.010"));
    CTrainFile f;
    ASSERT_EQ(f.Load(d.File("e.010").c_str()), 1);
    const uint8_t rec[4] = {9, 0, 0, 0};
    EXPECT_EQ(f.Insert(4, rec), 0);
    EXPECT_EQ(f.Insert(3, rec), 1);  // appends
    EXPECT_EQ(FirstBytes(f), (std::vector<int>{1, 2, 3, 9}));
    EXPECT_EQ(f.GetIndex(), 3);
    EXPECT_EQ(f.Insert(1, rec), 1);
    EXPECT_EQ(FirstBytes(f), (std::vector<int>{1, 9, 2, 3, 9}));
    EXPECT_EQ(f.Swap(0, 4), 1);
    EXPECT_EQ(f.Swap(7, 7), 1);  // equal indexes succeed even when invalid
    EXPECT_EQ(f.Swap(0, 7), 0);
    EXPECT_EQ(f.Delete(1), 1);
    EXPECT_EQ(FirstBytes(f), (std::vector<int>{9, 2, 3, 1}));
    EXPECT_EQ(f.GetIndex(), 0);
    EXPECT_EQ(f.Grow(2), 1);
    EXPECT_EQ(FirstBytes(f), (std::vector<int>{9, 2, 3, 1, 0, 0}));
    EXPECT_EQ(f.GetIndex(), 5);
    EXPECT_EQ(f.AppendEntry(rec, 4), 0);  // fixed-length file
    ASSERT_EQ(f.Save(), 1);
    auto saved = ReadFileBytes(d.File("e.010"));
    EXPECT_EQ(layout::Get(saved, 0, hdr::kRecordCount), 6u);
    EXPECT_EQ(saved.size(), 64u + 24u);
}

// Records are appended in place: a file's own records can be appended to
// it, bytes beyond the counted records are dropped, and a long run of
// single-record appends keeps every record.
TEST(Cursor, AppendRecordsInPlace) {
    TempDir d;
    Numbered(3).Count(2).Write(d.File("a.010"));
    CTrainFile f;
    ASSERT_EQ(f.Load(d.File("a.010").c_str()), 1);
    ASSERT_EQ(f.AppendRecords(f.RecordBytes()), 1);
    EXPECT_EQ(FirstBytes(f), (std::vector<int>{1, 2, 1, 2}));
    EXPECT_EQ(f.GetDataSize(), 16u);
    for (int i = 0; i < 3000; ++i) {
        const uint8_t rec[4] = {static_cast<uint8_t>(i), 0, 0, 0};
        ASSERT_EQ(f.AppendRecords(rec), 1);
    }
    ASSERT_EQ(f.GetCount(), 3004);
    EXPECT_EQ(f.GetDataSize(), 3004u * 4);
    EXPECT_EQ(f.GetIndex(), 3003);
    const auto records = f.RecordBytes();
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(records[(4 + i) * 4], static_cast<uint8_t>(i)) << i;
}

TEST(Cursor, DeletingTheOnlyRecordLeavesNone) {
    TempDir d;
    Numbered(1).Write(d.File("o.010"));
    CTrainFile f;
    ASSERT_EQ(f.Load(d.File("o.010").c_str()), 1);
    EXPECT_EQ(f.Delete(0), 1);
    EXPECT_EQ(f.GetCount(), 0);
    EXPECT_EQ(f.Delete(0), 0);
}

TEST(Cursor, VariableLengthFilesOnlyAppend) {
    TempDir d;
    TrainFileBuilder().RecordLength(0).Write(d.File("v.035"));
    CTrainFile f;
    ASSERT_EQ(f.Load(d.File("v.035").c_str()), 1);
    const uint8_t rec[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(f.Grow(1), 0);
    EXPECT_EQ(f.Swap(0, 1), 0);
    EXPECT_EQ(f.AppendEntry(rec, 5), 1);
    EXPECT_EQ(f.AppendEntry(rec, 3), 1);
    EXPECT_EQ(f.GetStoredCount(), 2);
    EXPECT_EQ(f.GetDataSize(), 8u);
    EXPECT_EQ(f.GetHeaderField(hdr::kFileLength), 72u);
}

TEST(Bcd, DateTimeAndIntegers) {
    EXPECT_EQ(BcdToInt(0x2025), 2025);
    EXPECT_EQ(FormatBcdDate(0x12072025u), "12-07-25");
    EXPECT_EQ(FormatBcdTime(0x45001430u), "14:30:45");
    char buf[9];
    FormatBcdTime(0u, buf);
    EXPECT_STREQ(buf, "00:00:00");
}

TEST(Markers, MarkerFileHoldsOneSpace) {
    TempDir d;
    ASSERT_EQ(WriteMarkerFile(d.File("EOT!.DAT")), 1);
    EXPECT_EQ(ReadFileBytes(d.File("EOT!.DAT")), std::vector<uint8_t>{0x20});
    EXPECT_EQ(FileExists(d.File("eot!.dat")), 1);
    EXPECT_EQ(FileExists(d.File("none.dat")), 0);
}

TEST(Arithmetic, TruncationNeverOverflows) {
    EXPECT_EQ(TruncToInt64(-2.9L), -2);
    EXPECT_EQ(TruncToInt64(1e30L), INT64_MAX);
    EXPECT_EQ(TruncToInt64(std::numeric_limits<long double>::quiet_NaN()), 0);
    EXPECT_EQ(TruncToU32(4294967296.0L + 5), 5u);
}

TEST(Cursor, GrowOnAFreshObjectBuildsRecordsThatSave) {
    TempDir d;
    CTrainFile f;
    EXPECT_EQ(f.Save(), 0);  // nothing loaded or built: nothing to write
    ASSERT_EQ(f.Grow(2), 1);
    EXPECT_EQ(f.GetCount(), 2);
    EXPECT_EQ(f.GetIndex(), 1);
    ASSERT_EQ(f.SaveAs(d.File("new.dat").c_str()), 1);
    auto saved = ReadFileBytes(d.File("new.dat"));
    EXPECT_EQ(saved.size(), 64u + 128u);
    EXPECT_EQ(layout::Get(saved, 0, hdr::kTypeGroup), 3u);
}
