// Runs the real Wipezero on one file of each kind and compares the whole
// file with the expected image: the reserved bytes of its type zeroed,
// every other byte as it was.
#include "AllocLayout.h"
#include "AxleLayout.h"
#include "CarListLayout.h"
#include "ConsistLayout.h"
#include "DetectorLayout.h"
#include "Event024Layout.h"
#include "InputStateLayout.h"
#include "IoLayout.h"
#include "ScaleLayout.h"
#include "SummaryLayout.h"
#include "TagLayout.h"
#include "WheelLayout.h"
#include "WideText.h"
#include "WipezeroFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace wipetest;
using fixture::Record;
using fixture::TrainFileBuilder;
namespace cs = layout::consist;

namespace {

void MaskAt(std::vector<uint8_t>& image, size_t base, std::span<const rz::Mask> masks) {
    for (const rz::Mask& m : masks) layout::Set(image, base, m.field, layout::Get(image, base, m.field) & m.keep);
}

}  // namespace

TEST(WipezeroHeaderRoutines, AxleFileChangesOnlyBytes46To59) {
    Train t;
    std::vector<uint8_t> expect = t.Write("00008901.010", FixedFile(L".010", layout::axle::kRecordSize, 3));
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_EQ(t.run.out, Zeroed("00008901.010", "0x010", 1));
    EXPECT_EQ(t.run.err, "");
    // The converter's event summary (34 to 45) stays.
    ZeroAt(expect, 0, rz::Range{layout::axle::kSummaryZeroBegin, layout::axle::kSummaryZeroEnd});
    EXPECT_EQ(t.Bytes("00008901.010"), expect);
}

TEST(WipezeroHeaderRoutines, EachHeaderTypeZeroesItsOwnBytesAndNoRecord) {
    const rz::Range common[] = {rz::kCommonHeader};
    struct Case {
        const char* extension;
        const char* type;
        std::span<const rz::Range> zeroed;
    } cases[] = {
        {".007", "0x007", layout::io::kReservedHeader},    {".011", "0x010", layout::axle::kReservedHeader},
        {".012", "0x012", layout::wheel::kReservedHeader}, {".O12", "0x012", layout::wheel::kReservedHeader},
        {".015", "0x012", layout::wheel::kReservedHeader}, {".071", "0x071", rz::k071Header},
        {".055", "0x055", common},           {".070", "0x070", common},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        Train t;
        const std::string name = std::string("00008901") + c.extension;
        std::vector<uint8_t> expect = t.Write(name, FixedFile(WideFromUtf8(c.extension), 8, 2));
        ASSERT_EQ(t.Run().status, kShellSuccess);
        EXPECT_EQ(t.run.out, Zeroed(name, c.type, 1));
        ZeroAt(expect, 0, c.zeroed);
        EXPECT_EQ(t.Bytes(name), expect);
    }
}

TEST(WipezeroRecordRoutines, EachRecordTypeZeroesHeaderAndEveryRecord) {
    struct Case {
        const char* extension;
        const char* type;
        size_t length;
        std::span<const rz::Range> header;  // header bytes zeroed
        std::span<const rz::Range> record;  // bytes zeroed in every record
    };
    const rz::Range common[] = {rz::kCommonHeader};
    const Case cases[] = {
        {".017", "0x017", 8, common, rz::k017Record},
        {".018", "0x018", 16, layout::detector::kReservedHeader, layout::detector::kReservedRecord},
        {".01A", "0x01a", 26, common, layout::inputstate::kReservedRecord},
        {".024", "0x024", 14, common, layout::event024::kReservedRecord},
        {".043", "0x043", 64, common, rz::k043Record},
        {".034", "0x034", 180, layout::summary::kReservedHeader, layout::summary::kReservedRecord},
        {".036", "0x036", 48, common, layout::carlist::kReservedRecord},
        {".041", "0x041", 24, common, layout::alloc::kReservedRecord},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        Train t;
        const std::string name = std::string("00008901") + c.extension;
        std::vector<uint8_t> expect = t.Write(name, FixedFile(WideFromUtf8(c.extension), c.length, 3));
        ASSERT_EQ(t.Run().status, kShellSuccess);
        EXPECT_EQ(t.run.out, Zeroed(name, c.type, 4));
        ZeroAt(expect, 0, c.header);
        for (size_t i = 0; i < 3; ++i) ZeroAt(expect, RecordAt(i, c.length), c.record);
        EXPECT_EQ(t.Bytes(name), expect);
    }
}

TEST(WipezeroRecordRoutines, SummaryKeepsHeaderBytes34To41) {
    Train t;
    std::vector<uint8_t> before = t.Write("00008901.034", FixedFile(L".034", 180, 1));
    ASSERT_EQ(t.Run().status, kShellSuccess);
    const std::vector<uint8_t> after = t.Bytes("00008901.034");
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = hdr::kTypeAreaBegin; i < hdr::kTypeAreaEnd; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(after[i], i < layout::summary::kReservedHeader[0].begin ? 0xFF : 0);
    }
    EXPECT_EQ(layout::summary::kReservedHeader[0].begin, 42u);
}

TEST(WipezeroRecordRoutines, CarListAndAllocationOfOtherEntryLengthsKeepTheirRecords) {
    // A car list of 40-byte entries and an allocation of 12-byte entries:
    // only the common header area, count 1.
    struct Case {
        const char* extension;
        const char* type;
        size_t length;
    } cases[] = {{".036", "0x036", 40}, {".041", "0x041", 12}, {".041", "0x041", 48}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.extension) + " " + std::to_string(c.length));
        Train t;
        const std::string name = std::string("00008901") + c.extension;
        std::vector<uint8_t> expect = t.Write(name, FixedFile(WideFromUtf8(c.extension), c.length, 3));
        ASSERT_EQ(t.Run().status, kShellSuccess);
        EXPECT_EQ(t.run.out, Zeroed(name, c.type, 1));
        ZeroAt(expect, 0, rz::kCommonHeader);
        EXPECT_EQ(t.Bytes(name), expect);
    }
}

TEST(WipezeroRecordRoutines, TextFieldsAreClearedAfterTheirFirstZeroByte) {
    struct Case {
        const char* extension;
        const char* type;
        size_t length;
        std::span<const rz::Range> text;
        std::span<const rz::Range> zero;
    } cases[] = {
        {".020", "0x020", 20, rz::k020Text, {}},
        {".021", "0x021", 60, rz::k021Text, {}},
        {".031", "0x031", 64, rz::k031Text, rz::k031Record},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        // Record 0: each field holds "AB", a zero, then set bytes. Record 1:
        // fields without a zero byte, kept whole.
        Record cut = Full(c.length);
        for (const rz::Range& f : c.text) cut.Text(f.begin, std::string("AB\0", 3));
        Train t;
        const std::string name = std::string("00008901") + c.extension;
        TrainFileBuilder b = TypedBuilder(WideFromUtf8(c.extension));
        std::vector<uint8_t> expect = t.Write(name, b.Add(cut).Add(Full(c.length)));
        ASSERT_EQ(t.Run().status, kShellSuccess);
        EXPECT_EQ(t.run.out, Zeroed(name, c.type, 3));
        ZeroAt(expect, 0, rz::kCommonHeader);
        for (const rz::Range& f : c.text) ZeroAt(expect, RecordAt(0, c.length), rz::Range{uint16_t(f.begin + 2), f.end});
        for (size_t i = 0; i < 2; ++i) ZeroAt(expect, RecordAt(i, c.length), c.zero);
        EXPECT_EQ(t.Bytes(name), expect);
        EXPECT_EQ(expect[RecordAt(0, c.length) + c.text[0].begin + 1], 'B');
    }
}

TEST(WipezeroTagReadRoutine, FiveRecordsKeepThreeBitsOfByte59AndTheHeader) {
    Train t;
    // The stored file length is wrong: the tag read object is not identified,
    // so its save keeps the field as read.
    std::vector<uint8_t> expect = t.Write("00008901.060", FixedFile(L".060", 64, 5).FileLength(12345));
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_EQ(t.run.out, Zeroed("00008901.060", "0x060", 5));
    for (size_t i = 0; i < 5; ++i) MaskAt(expect, RecordAt(i, 64), layout::tagread::kRecordUsedBits);
    EXPECT_EQ(t.Bytes("00008901.060"), expect);
    EXPECT_EQ(expect[RecordAt(4, 64) + layout::tagread::kRecordUsedBits[0].field.offset], 0x07);
    EXPECT_EQ(layout::Get(expect, 0, hdr::kRecordCount), 5u);
}

TEST(WipezeroTagReadRoutine, WithoutRecordsNothingIsSaved) {
    Train t;
    const std::vector<uint8_t> before = t.Write("00008901.069", FixedFile(L".069", 64, 0));
    // Read-only: an attempt to save would be reported.
    ASSERT_EQ(::chmod(t.File("00008901.069").c_str(), 0444), 0);
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_EQ(t.run.out, Zeroed("00008901.069", "0x060", 0, false));
    EXPECT_EQ(t.Bytes("00008901.069"), before);
}

TEST(WipezeroConsistRoutine, ShortRecordsOneAndTwoTagBlocksAndSubRecords) {
    Record subRecords = FullEntry(cs::kTwoTagSize, 1);  // one tag block, then two sub-records
    for (size_t at : {cs::kOneTagSize, cs::kOneTagSize + 16}) {
        subRecords.U16(at + cs::kSubLength.offset, 16);
        subRecords.U16(at + cs::kSubType.offset, layout::scale::kSubRecordType);
    }
    const Record entries[] = {FullEntry(20, 0), FullEntry(cs::kFixedSize, 0), FullEntry(60, 1),
                              FullEntry(cs::kTwoTagSize, 2), subRecords};
    TrainFileBuilder b = TypedBuilder(L".035");
    for (const Record& e : entries) b.Add(e);
    b.RecordLength(0).FileLength(999);  // kept: the consist object is not identified

    Train t;
    std::vector<uint8_t> expect = t.Write("00008901.035", b);
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_EQ(t.run.out, "035 Entry Length Error, file 00008901.035, record 0, length of 20 less than 24.\n" +
                             Zeroed("00008901.035", "0x035", 6));

    ZeroAt(expect, 0, rz::kCommonHeader);
    size_t at = hdr::kSize + entries[0].Size();  // the 20-byte entry is left as it is
    for (size_t i = 1; i < 5; ++i) {
        layout::Set(expect, at, cs::kReserved23, 0);
        const size_t blocks = i == 3 ? 2 : i == 1 ? 0 : 1;
        if (blocks >= 1) MaskAt(expect, at + cs::kTagBlock1, cs::kTagUsedBits);
        if (blocks >= 2) MaskAt(expect, at + cs::kTagBlock2, cs::kTagUsedBits);
        at += entries[i].Size();
    }
    const std::vector<uint8_t> after = t.Bytes("00008901.035");
    EXPECT_EQ(after, expect);

    // The 60-byte entry: first block cleaned, the bytes after it kept.
    const size_t e60 = hdr::kSize + 20 + 24;
    EXPECT_EQ(after[e60 + 24], 0x07);
    EXPECT_EQ(after[e60 + 27], 0xC3);
    EXPECT_EQ(after[e60 + 52], 0x1F);
    EXPECT_EQ(after[e60 + 54], 0);
    EXPECT_EQ(after[e60 + 56], 0xFF);
    EXPECT_EQ(layout::Get(after, 0, hdr::kFileLength), 999u);
}

TEST(WipezeroConsistRoutine, FollowersOfTheConsistUseTheSameRules) {
    Train t;
    for (const char* ext : {".037", ".038"})
        t.Write(std::string("00008901") + ext, TypedBuilder(WideFromUtf8(ext)).Add(FullEntry(cs::kOneTagSize, 1)));
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_EQ(t.run.out, Zeroed("00008901.037", "0x035", 2) + Zeroed("00008901.038", "0x035", 2));
    const std::vector<uint8_t> after = t.Bytes("00008901.038");
    EXPECT_EQ(after[hdr::kSize + cs::kReserved23.offset], 0);
    EXPECT_EQ(after[hdr::kSize + cs::kTagBlock1 + cs::kTagReserved30.offset], 0);
}

TEST(WipezeroLengthFields, IdentifiedTypesRecomputeTheFileLengthUnlessTheTableSaysNot) {
    Train t;
    t.Write("00008901.017", FixedFile(L".017", 8, 2).FileLength(7));
    t.Write("00008901.036", FixedFile(L".036", 48, 2).FileLength(7));
    t.Write("00008901.041", FixedFile(L".041", 24, 2).FileLength(7));
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_EQ(layout::Get(t.Bytes("00008901.017"), 0, hdr::kFileLength), 64u + 16u);
    EXPECT_EQ(layout::Get(t.Bytes("00008901.036"), 0, hdr::kFileLength), 7u);
    EXPECT_EQ(layout::Get(t.Bytes("00008901.041"), 0, hdr::kFileLength), 7u);  // typed object: kept
}
