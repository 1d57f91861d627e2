#include "OutputCapture.h"
#include "PlatformTesting.h"
#include "Tag.h"
#include "TestSupport.h"
#include "TrainFileBuilder.h"
#include "WideText.h"

#include <gtest/gtest.h>

using namespace fixture;
using commontest::CaptureOutput;
namespace hdr = layout::header;

namespace {

std::wstring W(const std::string& s) { return WideFromUtf8(s); }

struct Words {
    const char* ext;
    uint16_t format, group, subcode;
    uint32_t code;  // 0: must not be identified
};

// Header words and extensions as the recorders and tools write them, with
// the type each must be identified as.
const Words kFamilies[] = {
    {".007", 0x0501, 7, 0, 0x007},  {".007", 0x0501, 0, 7, 0x007},  {".007", 0x0100, 7, 0, 0},
    {".010", 0x0501, 1, 0, 0x010},  {".010", 0x0000, 1, 0, 0x010},  {".010", 0x0000, 0, 1, 0},
    {".011", 0x0501, 0, 1, 0x010},  {".011", 0x0000, 1, 0, 0},
    {".012", 0x0501, 1, 2, 0x012},  {".012", 0x0001, 2, 1, 0x012},  {".O12", 0x0501, 2, 1, 0x012},
    {".013", 0x0001, 2, 1, 0x012},  {".014", 0x0001, 1, 2, 0x012},  {".014", 0x0001, 2, 1, 0},
    {".015", 0x0501, 2, 1, 0x012},  {".015", 0x0001, 2, 1, 0},
    {".017", 0x0000, 1, 7, 0x017},  {".018", 0x0000, 1, 8, 0x018},  {".018", 0x0501, 1, 8, 0},
    {".01A", 0x0000, 1, 10, 0x01A}, {".01D", 0x0100, 1, 13, 0x01D}, {".01D", 0x0501, 1, 13, 0},
    {".01F", 0x0000, 1, 15, 0x01F}, {".020", 0x0000, 2, 0, 0x020},  {".021", 0x0000, 2, 1, 0x021},
    {".024", 0x0000, 2, 4, 0x024},  {".031", 0x0000, 3, 1, 0x031},  {".034", 0x0100, 4, 4, 0x034},
    {".034", 0x0100, 3, 4, 0},      {".035", 0x0100, 3, 5, 0x035},  {".035", 0x0100, 5, 3, 0x035},
    {".035", 0x0501, 3, 5, 0},      {".037", 0x0100, 5, 3, 0x035},  {".038", 0x0100, 3, 5, 0x035},
    {".036", 0x0501, 3, 6, 0x036},  {".041", 0x0000, 1, 4, 0x041},  {".041", 0x0501, 4, 1, 0x041},
    {".043", 0x0501, 3, 4, 0x043},  {".043", 0x0000, 4, 3, 0x043},  {".055", 0x0501, 5, 5, 0x055},
    {".060", 0x0100, 3, 0, 0x060},  {".061", 0x0100, 0, 3, 0x060},  {".064", 0x0100, 3, 0, 0x060},
    {".067", 0x0100, 3, 0, 0x060},  {".068", 0x0100, 0, 3, 0x060},  {".069", 0x0100, 3, 0, 0x060},
    {".06A", 0x0100, 3, 0, 0},      {".070", 0x0501, 0, 112, 0x070}, {".071", 0x0501, 0, 113, 0x071},
    {".CL1", 0x0000, 0, 1, 0x001},  {".LOG", 0x0000, 0, 1, 0x001},  {".LOG", 0x0100, 6, 0, 0x001},
    {".120", 0x0001, 2, 0, 0x120},  {".XTR", 0x0100, 1, 0, 0xFFF},  {".TXT", 0x0501, 3, 0, 0},
};

// A file of n entries of 8 bytes; entry i holds its number i + 1 in its last
// byte and its time (u32 at 0) is 100 * (i + 1).
TrainFileBuilder Numbered(int n) {
    TrainFileBuilder b;
    for (int i = 0; i < n; ++i) b.Add(Record(8).U32(0, 100u * static_cast<uint32_t>(i + 1)).U8(7, uint8_t(i + 1)));
    return b;
}

std::vector<uint8_t> Entry(uint8_t number) {
    std::vector<uint8_t> e(8, 0);
    e[7] = number;
    return e;
}

std::vector<int> Numbers(const CTag& t) {
    std::vector<int> v;
    for (int i = 0; i < t.GetCount(); ++i) v.push_back(static_cast<int>(t.GetFieldAt(i, {7, 1, ""})));
    return v;
}

}  // namespace

TEST(TypeTable, SeventyNineRowsEndingInTheTerminator) {
    EXPECT_EQ(UnknownTagType()->m_nTypeCode, 0u);
    EXPECT_STREQ(UnknownTagType()->m_szExtension, L"");
    EXPECT_EQ(UnknownTagType()->m_nRecompute, 0u);
    size_t rows = 0;
    while (g_TagTypes[rows].m_nTypeCode != 0) ++rows;
    EXPECT_EQ(rows + 1, kTagTypeRows);
}

TEST(Identify, EveryExtensionFamilyByItsHeaderWords) {
    TempDir d;
    for (const Words& w : kFamilies) {
        const std::string name = d.File(std::string("T") + w.ext);
        TrainFileBuilder().Format(w.format).Type(w.group, w.subcode).Add(Record(8)).Write(name);
        CTag tag(W(name).c_str());
        EXPECT_EQ(tag.OpenAndIdentify(), w.code != 0 ? 1 : 0) << w.ext << " " << w.format << " " << w.group;
        EXPECT_EQ(tag.GetTypeCode(), w.code) << w.ext;
        if (w.code != 0) {
            EXPECT_EQ(std::wstring(tag.GetType()->m_szExtension), W(w.ext));
        }
    }
}

TEST(Identify, LetterCaseDirectoriesAndLongExtensions) {
    TempDir d;
    TrainFileBuilder().Format(0x0001).Type(2, 1).Write(d.File("00008901.o12"));
    TrainFileBuilder().Format(0x0001).Type(2, 1).Write(d.File("00008901.012X"));
    CTag lower(W(d.File("00008901.o12")).c_str());
    EXPECT_EQ(lower.OpenAndIdentify(), 1);
    EXPECT_EQ(lower.GetTypeCode(), 0x012u);
    CTag longer(W(d.File("00008901.012X")).c_str());
    EXPECT_EQ(longer.OpenAndIdentify(), 0);
    EXPECT_EQ(longer.GetType(), UnknownTagType());

    // The first dot of the name decides the extension, even in a directory.
    TrainFileBuilder().Format(0x0100).Type(3, 5).Write(d.File("00008901.035"));
    const std::string dotted = d.Path() + "/TRAIN.D";
    ASSERT_EQ(::mkdir(dotted.c_str(), 0755), 0);
    TrainFileBuilder().Format(0x0100).Type(3, 5).Write(dotted + "/00008901.035");
    CTag inDir(W(dotted + "/00008901.035").c_str());
    EXPECT_EQ(inDir.Open(), 1);
    EXPECT_EQ(inDir.Identify(), 0);

    // Identification always starts over from the unknown type.
    CTag again(W(d.File("00008901.035")).c_str());
    ASSERT_EQ(again.OpenAndIdentify(), 1);
    again.SetHeaderField(hdr::kFormat, 0x0501);
    EXPECT_EQ(again.Identify(), 0);
    EXPECT_EQ(again.GetTypeCode(), 0u);
}

TEST(Open, SixtyFourByteFileOpensWithoutDataAndIsNotSavedWithoutForce) {
    TempDir d;
    const std::string name = d.File("H.041");
    TrainFileBuilder().Count(3).RecordLength(24).TimeScale(1, 1).Write(name);
    CTag tag(W(name).c_str());
    ASSERT_EQ(tag.Open(), 1);
    EXPECT_EQ(tag.GetCount(), 0);  // forced to 0: no data to hold entries
    EXPECT_FALSE(tag.HasData());
    EXPECT_EQ(tag.IsEmpty(), 1);
    EXPECT_EQ(tag.GetTimeScale(), 0.0f);
    EXPECT_EQ(tag.GetFileSize(), 64u);
    const auto before = ReadFileBytes(name);
    EXPECT_EQ(tag.Save(kSetLength, 0), 0);
    EXPECT_EQ(ReadFileBytes(name), before);
    EXPECT_EQ(tag.Save(kKeepLength, 1), 1);  // forced: the header alone
    EXPECT_EQ(ReadFileBytes(name).size(), 64u);
    EXPECT_EQ(ReadFileBytes(name)[22], 0);
}

TEST(Open, ShortFilesFailWithAZeroHeader) {
    TempDir d;
    WriteFileBytes(d.File("S.007"), std::vector<uint8_t>(63, 0x55));
    CTag tag(W(d.File("S.007")).c_str());
    EXPECT_EQ(tag.Open(), 0);
    EXPECT_EQ(tag.GetFileSize(), 63u);
    EXPECT_EQ(tag.GetHeaderField(hdr::kFormat), 0u);
    EXPECT_FALSE(tag.HasData());
    EXPECT_EQ(tag.Seek(0), 0);
}

TEST(Open, TimeScaleFromTheHeader) {
    TempDir d;
    Numbered(1).TimeScale(1, 1).Write(d.File("T.007"));
    CTag tag(W(d.File("T.007")).c_str());
    ASSERT_EQ(tag.Open(), 1);
    EXPECT_EQ(tag.GetTime(), 10);  // raw 100 at a scale of 0.1
    Numbered(1).TimeScale(3, 0).Write(d.File("T.007"));
    ASSERT_EQ(tag.Open(), 1);
    EXPECT_EQ(tag.GetTime(), 300);
}

TEST(Seek, CountsBeyondTheDataStopWithThePastEndMessage) {
    TempDir d;
    // Ten entries of 16 bytes claimed, 100 data bytes present.
    TrainFileBuilder().Count(10).RecordLength(16).Trailing(std::vector<uint8_t>(100, 1)).Write(d.File("L.010"));
    CTag tag(W(d.File("L.010")).c_str());
    ASSERT_EQ(tag.Open(), 1);
    for (int i = 0; i <= 5; ++i) EXPECT_EQ(tag.Seek(i), 1) << i;
    auto c = CaptureOutput([&] { EXPECT_EQ(tag.Seek(6), 0); });
    EXPECT_EQ(c.out, "Tried to go past end of file " + d.File("L.010") +
                         ", type 0x000, new entry 6, file length old: 164, new: 176. Entry length: 16.\n");
    EXPECT_EQ(tag.GetIndex(), 5);
    EXPECT_EQ(tag.Seek(10), 0);  // beyond the count: no message
    EXPECT_EQ(tag.Seek(-1), 0);
    EXPECT_EQ(tag.GetFieldAt(9, {0, 4, ""}), 0u);

    // Walking with Next stops at the last whole entry.
    tag.Seek(0);
    int steps = 0;
    CaptureOutput([&] {
        while (tag.Next()) ++steps;
    });
    EXPECT_EQ(steps, 5);
    EXPECT_EQ(tag.Prev(), 1);
    EXPECT_EQ(tag.GetIndex(), 4);
}

TEST(Seek, VariableRecordsRefuseFixedLengthOperations) {
    TempDir d;
    TrainFileBuilder().Add(Record(24).U16(0, 24)).Add(Record(30).U16(0, 30)).Write(d.File("V.035"));
    CTag tag(W(d.File("V.035")).c_str());
    ASSERT_EQ(tag.Open(), 1);
    ASSERT_EQ(tag.GetEntryLength(), 0);
    const std::vector<uint8_t> entry(8, 0);
    auto c = CaptureOutput([&] {
        EXPECT_EQ(tag.Seek(1), 0);
        EXPECT_EQ(tag.Grow(1), 0);
        EXPECT_EQ(tag.Insert(0, entry), 0);
        EXPECT_EQ(tag.Delete(0), 0);
        EXPECT_EQ(tag.Swap(0, 1), 0);
    });
    const std::string line = "No variable types allowed yet for file " + d.File("V.035") + ", type 0x000, source: file ";
    size_t found = 0;
    for (size_t at = c.out.find(line); at != std::string::npos; at = c.out.find(line, at + 1)) ++found;
    EXPECT_EQ(found, 4u);
    EXPECT_EQ(tag.GetCount(), 2);
    EXPECT_EQ(tag.GetCurrent().size(), 24u);  // the current record knows its own length
}

TEST(Edit, GrowInsertDeleteAndSwap) {
    TempDir d;
    Numbered(3).Write(d.File("E.012"));
    CTag tag(W(d.File("E.012")).c_str());
    ASSERT_EQ(tag.Open(), 1);
    EXPECT_EQ(tag.Swap(4, 4), 1);  // equal indexes, even invalid ones
    EXPECT_EQ(tag.Swap(0, 3), 0);
    EXPECT_EQ(tag.Swap(0, 2), 1);
    EXPECT_EQ(Numbers(tag), (std::vector<int>{3, 2, 1}));

    EXPECT_EQ(tag.Insert(3, Entry(9)), 1);  // the count itself appends
    EXPECT_EQ(tag.Insert(5, Entry(9)), 0);
    EXPECT_EQ(tag.Insert(0, std::vector<uint8_t>(4, 7)), 0);  // shorter than an entry
    EXPECT_EQ(tag.Insert(1, Entry(7)), 1);
    EXPECT_EQ(Numbers(tag), (std::vector<int>{3, 7, 2, 1, 9}));
    EXPECT_EQ(tag.GetIndex(), 4);  // left on the last entry
    EXPECT_EQ(tag.GetHeaderField(hdr::kFileLength), 64u + 40u);

    EXPECT_EQ(tag.Delete(1), 1);
    EXPECT_EQ(tag.GetIndex(), 0);
    EXPECT_EQ(Numbers(tag), (std::vector<int>{3, 2, 1, 9}));
    EXPECT_EQ(tag.GetDataSize(), 32u);
    EXPECT_EQ(tag.Delete(4), 0);

    EXPECT_EQ(tag.Grow(2), 1);
    EXPECT_EQ(tag.GetCount(), 6);
    EXPECT_EQ(tag.GetIndex(), 5);
    EXPECT_EQ(Numbers(tag), (std::vector<int>{3, 2, 1, 9, 0, 0}));
    EXPECT_EQ(tag.Grow(0xFFFF), 0);  // the count is 16 bits wide
}

TEST(Edit, LyingCountsNeverReachOutsideTheData) {
    TempDir d;
    Numbered(2).Count(9).Write(d.File("X.012"));
    CTag tag(W(d.File("X.012")).c_str());
    ASSERT_EQ(tag.Open(), 1);
    EXPECT_EQ(tag.Swap(0, 5), 0);
    EXPECT_EQ(tag.Delete(7), 1);  // an entry that is not there
    EXPECT_EQ(tag.GetCount(), 8);
    EXPECT_EQ(tag.Delete(0), 1);
    EXPECT_EQ(tag.GetDataSize(), 8u);
    EXPECT_EQ(Numbers(tag)[0], 2);
    EXPECT_EQ(tag.Insert(7, Entry(4)), 1);  // grows over the missing entries
    EXPECT_EQ(tag.GetDataSize(), 8u * 8u);
    EXPECT_EQ(Numbers(tag)[7], 4);
}

TEST(Save, LengthModes) {
    TempDir d;
    struct Case {
        const char* ext;
        uint16_t format, group, subcode;
        bool recomputed;
    };
    const Case cases[] = {{".010", 0x0501, 1, 0, true},  {".035", 0x0100, 3, 5, false},
                          {".036", 0x0501, 3, 6, false}, {".LOG", 0x0100, 6, 0, false},
                          {".XYZ", 0x0501, 1, 0, false}};
    for (const Case& c : cases) {
        const std::string name = d.File(std::string("M") + c.ext);
        Numbered(2).Format(c.format).Type(c.group, c.subcode).FileLength(999).Write(name);
        CTag tag(W(name).c_str());
        ASSERT_EQ(tag.Open(), 1);
        tag.Identify();
        ASSERT_EQ(tag.Save(kLengthByType, 0), 1);
        EXPECT_EQ(layout::Get(ReadFileBytes(name), 0, hdr::kFileLength), c.recomputed ? 80u : 999u) << c.ext;
        EXPECT_EQ(ReadFileBytes(name).size(), 80u);
    }
    const std::string name = d.File("K.010");
    Numbered(2).FileLength(5).Write(name);
    CTag tag(W(name).c_str());
    ASSERT_EQ(tag.Open(), 1);
    ASSERT_EQ(tag.Save(kKeepLength, 0), 1);
    EXPECT_EQ(layout::Get(ReadFileBytes(name), 0, hdr::kFileLength), 5u);
    ASSERT_EQ(tag.Save(kSetLength, 0), 1);
    EXPECT_EQ(layout::Get(ReadFileBytes(name), 0, hdr::kFileLength), 80u);
    EXPECT_EQ(tag.GetFileSize(), 80u);
}

TEST(Save, CopyLeavesTheObjectsNameAlone) {
    TempDir d;
    Numbered(1).Write(d.File("ORIG.035"));
    CTag tag(W(d.File("ORIG")).c_str(), L".035");
    ASSERT_EQ(tag.Open(), 1);
    std::wstring written;
    ASSERT_EQ(tag.SaveCopy(written, W(d.File("ORIG")).c_str(), L"TMP", kSetLength, 0), 1);
    EXPECT_EQ(written, W(d.File("ORIG.TMP")));
    EXPECT_EQ(tag.GetFileName(), W(d.File("ORIG.035")));
    EXPECT_EQ(ReadFileBytes(d.File("ORIG.TMP")), ReadFileBytes(d.File("ORIG.035")));
    EXPECT_EQ(tag.SaveCopy(written, std::wstring(300, L'Z').c_str(), L"TMP", kSetLength, 0), 0);
}

TEST(Save, AFailedWriteKeepsTheOldFile) {
    TempDir d;
    const std::string name = d.File("KEEP.010");
    Numbered(4).Write(name);
    const auto before = ReadFileBytes(name);
    CTag tag(W(name).c_str());
    ASSERT_EQ(tag.Open(), 1);
    tag.SetFieldAt(0, {0, 1, ""}, 0xEE);
    plat::testing::SetWriteFaultAfter(70);
    auto c = CaptureOutput([&] { EXPECT_EQ(tag.Save(kSetLength, 0), 0); });
    plat::testing::SetWriteFaultAfter(-1);
    EXPECT_EQ(c.out, "Error 112 creating file \"" + name + "\"\n");
    EXPECT_EQ(ReadFileBytes(name), before);
}

TEST(Time, GapsAndTheCursor) {
    TempDir d;
    Numbered(3).Write(d.File("G.007"));
    CTag tag(W(d.File("G.007")).c_str());
    ASSERT_EQ(tag.Open(), 1);
    EXPECT_EQ(tag.GetTime(), 100);
    EXPECT_EQ(tag.Next(), 1);
    EXPECT_EQ(tag.GetTime(), 200);
    CTag unnamed;
    EXPECT_EQ(unnamed.GetTime(), 0);
    auto c = CaptureOutput([&] { EXPECT_EQ(unnamed.Open(), 0); });
    EXPECT_EQ(c.out, "ERROR: CTag m_szFileName not set.\n");
}

TEST(Header, ReservedAreaIsBytes34To59) {
    CTag tag;
    for (size_t i = 30; i < 64; ++i) tag.Header()[i] = 0xFF;
    tag.ZeroReservedHeader();
    EXPECT_EQ(tag.Header()[33], 0xFF);
    for (size_t i = 34; i < 60; ++i) EXPECT_EQ(tag.Header()[i], 0) << i;
    EXPECT_EQ(tag.Header()[60], 0xFF);
    // Constructor defaults.
    CTag fresh;
    EXPECT_EQ(fresh.GetHeaderField(hdr::kFormat), 0x0501u);
    EXPECT_EQ(fresh.GetHeaderField(hdr::kTypeGroup), 3u);
    EXPECT_EQ(fresh.GetHeaderField(hdr::kFileLength), 64u);
    EXPECT_EQ(fresh.GetEntryLength(), 64);
    EXPECT_EQ(fresh.GetHeaderField(hdr::kScaleNumerator), 1u);
    EXPECT_EQ(fresh.GetFileSize(), 64u);
}
