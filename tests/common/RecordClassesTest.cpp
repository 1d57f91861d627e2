#include "AllocLayout.h"
#include "AxleLayout.h"
#include "ConsistLayout.h"
#include "DigitizerLayout.h"
#include "EncodedTags.h"
#include "OutputCapture.h"
#include "RecordClasses.h"
#include "Records.h"
#include "SummaryLayout.h"
#include "TestSupport.h"
#include "ToolFrame.h"
#include "WheelLayout.h"
#include "WideText.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace fixture;
using commontest::CaptureOutput;
namespace hdr = layout::header;
namespace cs = layout::consist;

namespace {

std::wstring W(const std::string& s) { return WideFromUtf8(s); }

// A railcar entry with one tag block per text and extra zero bytes after
// them; the length field covers everything unless a length is given.
Record RailcarEntry(uint16_t vehicle, const std::vector<std::string>& tags, size_t extra = 0,
                    std::optional<uint16_t> length = {}) {
    std::vector<TagRead> reads;
    for (const std::string& text : tags) reads.push_back({0, text, 'D'});
    return ConsistEntry({.vehicle = vehicle, .egc = cs::kEgcRailcar, .reads = reads,
                         .after = {std::vector<uint8_t>(extra, 0)}, .lengthField = length});
}

}  // namespace

// ---------------------------------------------------------------------------
// Consist: variable-length stepping

TEST(ConsistWalk, ThirdRecordPastTheEndStopsTheWalk) {
    TempDir d;
    // Four entries claimed; the third reaches 8 bytes beyond the data.
    ConsistFile()
        .Count(4)
        .Add(RailcarEntry(1, {}))
        .Add(RailcarEntry(2, {TagText(19, "ABC", 1)}))
        .Add(RailcarEntry(3, {}, 0, 32))
        .Write(d.File("P.035"));
    CTag035 c;
    ASSERT_EQ(c.OpenAs(W(d.File("P")).c_str()), 1);
    EXPECT_EQ(c.Seek(1), 1);
    auto out = CaptureOutput([&] { EXPECT_EQ(c.Seek(2), 0); });
    EXPECT_EQ(out.out, "Tried to go past end of file " + d.File("P.035") +
                           ", type 0x000, new entry 2, file length old: 168, new: 176. Entry length: 32.\n");
    EXPECT_EQ(c.GetIndex(), 1);  // the cursor stays

    // When the third entry fits, it can be selected and the fourth cannot.
    ConsistFile()
        .Count(4)
        .Add(RailcarEntry(1, {}))
        .Add(RailcarEntry(2, {TagText(19, "ABC", 1)}))
        .Add(RailcarEntry(3, {}))
        .Write(d.File("Q.035"));
    CTag035 q;
    ASSERT_EQ(q.OpenAs(W(d.File("Q")).c_str()), 1);
    EXPECT_EQ(q.Seek(2), 1);
    EXPECT_EQ(q.GetVehicleNumber(), 3);
    out = CaptureOutput([&] { EXPECT_EQ(q.Seek(3), 0); });
    EXPECT_EQ(out.out, "Tried to go past end of file " + d.File("Q.035") +
                           ", type 0x000, new entry 3, file length old: 168, new: 170. Entry length: 0.\n");
    EXPECT_EQ(q.GetIndex(), 2);
    EXPECT_EQ(q.Seek(4), 0);  // beyond the count
}

TEST(ConsistWalk, ForwardFromTheCurrentEntryBackwardFromTheFirst) {
    TempDir d;
    ConsistFile()
        .Add(RailcarEntry(10, {}))
        .Add(RailcarEntry(11, {}))
        .Add(RailcarEntry(12, {}))
        .Add(RailcarEntry(13, {}))
        .Write(d.File("W.035"));
    CTag035 c;
    ASSERT_EQ(c.OpenAs(W(d.File("W")).c_str()), 1);
    ASSERT_EQ(c.Seek(1), 1);
    // Entry 0 now claims 48 bytes: a walk from the first entry lands on
    // entry 2 after one step, a walk from the current entry is not misled.
    layout::Set(c.Data(), 0, cs::kLength, 48);
    ASSERT_EQ(c.Seek(2), 1);
    EXPECT_EQ(c.GetVehicleNumber(), 12);
    ASSERT_EQ(c.Seek(1), 1);  // backwards: walked again from entry 0
    EXPECT_EQ(c.GetVehicleNumber(), 12);
    EXPECT_EQ(c.Prev(), 1);
    EXPECT_EQ(c.GetVehicleNumber(), 10);
    EXPECT_EQ(c.Next(), 1);
    EXPECT_EQ(c.Next(), 1);
    EXPECT_EQ(c.GetVehicleNumber(), 13);
}

TEST(ConsistWalk, EntriesThatCannotBeSteppedPastEndTheWalk) {
    TempDir d;
    ConsistFile().Count(60000).Add(RailcarEntry(1, {})).Add(RailcarEntry(2, {}, 0, 0)).Add(RailcarEntry(3, {}))
        .Write(d.File("Z.035"));
    CTag035 c;
    ASSERT_EQ(c.OpenAs(W(d.File("Z")).c_str()), 1);
    int visited = 1;
    auto out = CaptureOutput([&] {
        while (c.Next()) ++visited;
    });
    EXPECT_EQ(visited, 2);  // the entry of length 0 is reached, nothing after it
    EXPECT_EQ(out.out, "Cannot step past entry 1 of file " + d.File("Z.035") + ", type 0x000: entry length 0.\n");
    EXPECT_EQ(c.GetLength(), 0);
    EXPECT_TRUE(c.GetCurrent().empty());
}

TEST(ConsistEntry, TagsAreDecodedOnEveryStep) {
    TempDir d;
    ConsistFile()
        .Add(RailcarEntry(1, {TagText(19, "TTX", 1234), TagText(19, "BNSF", 99)}))
        .Add(RailcarEntry(2, {}))
        .Add(RailcarEntry(3, {TagText(19, "UP", 7)}, 28))
        .Write(d.File("T.035"));
    CTag035 c;
    CToolContext ctx;
    ctx.m_nStatus = 0;
    ASSERT_EQ(ctx.SetTrainFileName(c, W(d.File("t")).c_str(), L"035"), 1);
    ASSERT_EQ(ctx.OpenTrainFile(c, 0), 1);
    ASSERT_TRUE(c.GetTag(0).IsValid());
    EXPECT_EQ(c.GetTag(0).Owner(), "TTX");
    EXPECT_EQ(c.GetTag(0).CarNumber(), 1234u);
    EXPECT_EQ(c.GetTag(1).Owner(), "BNSF");
    EXPECT_EQ(c.GetTagCount(), 2);
    EXPECT_EQ(c.GetTagBlock(1).size(), cs::kTagBlockSize);

    ASSERT_EQ(c.Next(), 1);
    EXPECT_FALSE(c.GetTag(0).IsValid());  // a 24-byte entry holds no tag text
    EXPECT_FALSE(c.GetTag(1).IsValid());
    EXPECT_TRUE(c.GetTagBlock(0).empty());

    ASSERT_EQ(c.Next(), 1);
    EXPECT_EQ(c.GetLength(), 24 + 32 + 28);
    EXPECT_EQ(c.GetTag(0).Owner(), "UP");
    EXPECT_TRUE(c.GetTagBlock(1).empty());  // one tag read: sub-records follow block 1
    EXPECT_EQ(c.SetTagFlags(0, 0x0006), true);
    EXPECT_EQ(c.GetTagFlags(0), 0x0006);
    EXPECT_EQ(c.SetTagFlags(1, 1), false);
}

TEST(ConsistTags, DecodesFollowTheRecordBytes) {
    // A tag is decoded when asked for; a change to the text under the
    // cursor, however it reaches the bytes, is seen by the next ask, and a
    // record with the same text decodes the same.
    TempDir d;
    ConsistFile()
        .Add(RailcarEntry(1, {TagText(19, "TTX", 1234), TagText(19, "BNSF", 99)}))
        .Add(RailcarEntry(2, {TagText(19, "TTX", 1234)}))
        .Write(d.File("E.035"));
    CTag035 c;
    ASSERT_EQ(c.OpenAs(W(d.File("E.035")).c_str()), 1);
    EXPECT_EQ(c.GetTag(1).Owner(), "BNSF");
    const std::string up = TagText(19, "UP", 5);
    std::copy(up.begin(), up.end(), c.GetTagBlock(1).begin() + cs::kTagTextOffset);
    EXPECT_EQ(c.GetTag(1).Owner(), "UP");
    EXPECT_EQ(c.GetTag(1).CarNumber(), 5u);
    const std::string bad = TagText(19, "UP", 5).replace(0, 1, "!");  // EGC without a layout
    std::copy(bad.begin(), bad.end(), c.Data().begin() + cs::kTagBlock2 + cs::kTagTextOffset);
    EXPECT_FALSE(c.GetTag(1).IsValid());
    ASSERT_EQ(c.Next(), 1);
    EXPECT_EQ(c.GetTag(0).Owner(), "TTX");
    EXPECT_FALSE(c.GetTag(1).IsValid());  // one tag read, no text at block 2
    ASSERT_EQ(c.Seek(0), 1);
    EXPECT_EQ(c.GetTag(0).CarNumber(), 1234u);
    EXPECT_FALSE(c.GetTag(1).IsValid());

    // The tag read classes likewise.
    TrainFileBuilder b;
    b.Format(0x0100).Type(3, 0).Add(Record(64).U32(0, 10).U8(4, 'D').Text(5, TagText(19, "AAA", 1)));
    b.Write(d.File("R.060"));
    CTag060 t;
    ASSERT_EQ(t.OpenAs(W(d.File("R")).c_str(), L".060"), 1);
    EXPECT_EQ(t.GetTag().Owner(), "AAA");
    const std::string bbb = TagText(19, "BBB", 2);
    std::copy(bbb.begin(), bbb.end(), t.GetCurrent().begin() + layout::tagread::kLead.offset + 1);
    EXPECT_EQ(t.GetTag().Owner(), "BBB");
    t.FreeData();
    EXPECT_FALSE(t.GetTag().IsValid());
}

TEST(ConsistEntry, AxleCountUsesBothBytes) {
    TempDir d;
    ConsistFile().Add(RailcarEntry(1, {}).Set(cs::kAxleCount, 4).Set(cs::kAxleCountHigh, 1)
                          .Set(cs::kVehicleLength, 0xFFFF)).Write(d.File("A.035"));
    CTag035 c;
    ASSERT_EQ(c.OpenAs(W(d.File("A.035")).c_str()), 1);
    EXPECT_EQ(c.GetAxleCount(), 260);
    EXPECT_EQ(c.GetVehicleLength(), -1);
}

TEST(ConsistSave, ExtensionsAndCopies) {
    TempDir d;
    ConsistFile().Add(RailcarEntry(1, {})).Write(d.File("S.035"));
    CTag035 c;
    ASSERT_EQ(c.OpenAs(W(d.File("S")).c_str()), 1);
    ASSERT_EQ(c.SaveAs(W(d.File("OUT")).c_str(), kSetLength, 0), 1);
    EXPECT_TRUE(PathExists(d.File("OUT.035")));
    ASSERT_EQ(c.SaveAs(W(d.File("OUT.037")).c_str(), kSetLength, 0), 1);  // an extension is kept
    EXPECT_TRUE(PathExists(d.File("OUT.037")));
    ASSERT_EQ(c.SaveCopyAs(W(d.File("S")).c_str(), L"TMP", kSetLength, 0), 1);
    EXPECT_EQ(c.GetFileName(), W(d.File("S.035")));
    EXPECT_EQ(ReadFileBytes(d.File("S.TMP")), ReadFileBytes(d.File("S.035")));
    std::wstring written;
    ASSERT_EQ(c.SaveCopy(written, W(d.File("S")).c_str(), L".TMQ", kSetLength, 0), 1);
    EXPECT_EQ(written, W(d.File("S.TMQ")));

    // A consist made from scratch carries the library's format word, which
    // the type table does not accept for consist files.
    CTag035 fresh;
    const Record one = RailcarEntry(7, {});
    const Record two = RailcarEntry(8, {TagText(19, "QQ", 5)});
    ASSERT_EQ(fresh.AppendEntry(one.Bytes()), 1);
    ASSERT_EQ(fresh.AppendEntry(two.Bytes()), 1);
    EXPECT_EQ(fresh.GetCount(), 2);
    EXPECT_EQ(fresh.GetHeaderField(hdr::kFileLength), 64u + 80u);
    ASSERT_EQ(fresh.Seek(1), 1);
    EXPECT_EQ(fresh.GetTag(0).Owner(), "QQ");
    EXPECT_EQ(fresh.GetEntryLength(), 0);
    EXPECT_EQ(fresh.GetHeaderField(hdr::kTypeGroup), 3u);
    EXPECT_EQ(fresh.GetHeaderField(hdr::kTypeSubcode), 5u);
    EXPECT_EQ(fresh.GetTimeScale(), 1.0f);
    ASSERT_EQ(fresh.SaveAs(W(d.File("NEW")).c_str(), kSetLength, 0), 1);
    CTag check(W(d.File("NEW.035")).c_str());
    EXPECT_EQ(check.OpenAndIdentify(), 0);
    EXPECT_EQ(check.GetCount(), 2);
    CTag012 fixed;
    EXPECT_EQ(fixed.AppendEntry(one.Bytes()), 0);
}

// ---------------------------------------------------------------------------
// Time doubling and sorting

TEST(TimeDoubling, WheelEventsLoseTheTopBitAndMarkTheHeader) {
    TempDir d;
    TrainFileBuilder b;
    b.Type(1, 2).HeaderU16(32, 0x0001);
    for (uint32_t t : {0x80000001u, 7u, 100u}) b.Add(Record(8).U32(layout::wheel::kTime.offset, t));
    b.Write(d.File("D.012"));
    CTag012 w;
    ASSERT_EQ(w.OpenAs(W(d.File("D")).c_str()), 1);
    EXPECT_EQ(w.DoubleTimes(), 1);
    EXPECT_EQ(w.GetHeaderField(hdr::kWord32), 0x2001u);
    EXPECT_EQ(w.GetIndex(), 2);
    std::vector<uint32_t> times;
    for (int i = 0; i < 3; ++i) times.push_back(w.GetFieldAt(i, layout::wheel::kTime));
    EXPECT_EQ(times, (std::vector<uint32_t>{2u, 14u, 200u}));

    TrainFileBuilder().Type(1, 2).RecordLength(8).Write(d.File("E.012"));
    CTag012 empty;
    ASSERT_EQ(empty.OpenAs(W(d.File("E")).c_str()), 1);
    EXPECT_EQ(empty.DoubleTimes(), 0);
    EXPECT_EQ(empty.GetHeaderField(hdr::kWord32), 0u);
}

TEST(TimeDoubling, TagReadsKeepTheirTags) {
    TempDir d;
    TrainFileBuilder b;
    b.Format(0x0100).Type(3, 0);
    const std::vector<std::pair<std::string, uint32_t>> reads = {{"AAA", 10}, {"BBB", 20}};
    for (const auto& [owner, time] : reads)
        b.Add(Record(64).U32(0, time).U8(4, 'D').Text(5, TagText(19, owner, 1)));
    b.Write(d.File("R.060"));
    CTag060 t;
    ASSERT_EQ(t.OpenAs(W(d.File("R")).c_str(), L".060"), 1);
    EXPECT_EQ(t.GetTag().Owner(), "AAA");
    EXPECT_EQ(t.DoubleTimes(), 1);
    EXPECT_EQ(t.GetTag().Owner(), "BBB");  // the entry the walk ended on
    EXPECT_EQ(t.GetTime(), 40);
    EXPECT_EQ(t.GetAntennaConfig(), 0);
    EXPECT_EQ(t.GetTagText().substr(0, 1), "D");
    CTag060 none;
    EXPECT_EQ(none.GetAntennaConfig(), -1);
}

TEST(Sorting, EarlierEntriesMoveForwardEqualTimesKeepTheirOrder) {
    TempDir d;
    TrainFileBuilder b;
    b.Type(1, 2);
    const uint32_t times[] = {50, 10, 30, 10, 20, 50, 5};
    for (uint8_t i = 0; i < 7; ++i) b.Add(Record(8).U8(0, i).U32(layout::wheel::kTime.offset, times[i]));
    b.Write(d.File("S.012"));
    CTag012 w;
    ASSERT_EQ(w.OpenAs(W(d.File("S")).c_str()), 1);
    ASSERT_EQ(w.SortByTime(), 1);
    std::vector<int> order;
    for (int i = 0; i < 7; ++i) order.push_back(static_cast<int>(w.GetFieldAt(i, {0, 1, ""})));
    EXPECT_EQ(order, (std::vector<int>{6, 1, 3, 4, 2, 0, 5}));
}

// ---------------------------------------------------------------------------
// Summary line and car listing

TEST(Summary, LineWithDatesTextsAndCounts) {
    namespace sm = layout::summary;
    TempDir d;
    Record r(sm::kRecordSize);
    r.Text(2, "TRAIN 7").Set(sm::kFirstDate, 0x12072025).Set(sm::kFirstTime, 0x45001430);
    r.Set(sm::kLastDate, 0x12082025).Set(sm::kLastTime, 0x05000102);
    r.Text(30, "AB").U32(36, 4321).U8(40, 1).U16(86, 0xFFFE);
    const uint16_t words[] = {42, 44, 46, 48, 50, 80, 82, 84, 90, 92, 94, 96};
    for (uint16_t off : words) r.U16(off, off);
    TrainFileBuilder().Format(0x0100).Type(4, 4).Add(r).Write(d.File("S.034"));
    CTag034 s;
    ASSERT_EQ(s.OpenAs(W(d.File("S")).c_str()), 1);
    EXPECT_EQ(s.FormatSummaryLine(),
              "12-07-25 14:30:45 12-08-25 01:02:05 TRAIN 7 AB   00004321 > -2 42 44 46 48 50 80 82 84 90 92 94 96\r\n");
    EXPECT_EQ(s.GetFirstTime().hour, 14);
    EXPECT_EQ(s.GetFirstTime().minute, 30);
    EXPECT_EQ(s.GetFirstTime().second, 45);
    EXPECT_EQ(s.GetFirstTime().month, 11);  // counted from 0
    EXPECT_EQ(s.GetFirstTime().day, 7);
    EXPECT_EQ(s.GetLastTime().year, 2025);

    // Texts without terminators stop at the end of their fields.
    Record full(sm::kRecordSize);
    for (size_t i = 0; i < sm::kRecordSize; ++i) full.U8(i, 'x');
    full.U8(40, 0);
    TrainFileBuilder().Add(full).Write(d.File("F.034"));
    CTag034 f;
    ASSERT_EQ(f.OpenAs(W(d.File("F.034")).c_str()), 1);
    const std::string line = f.FormatSummaryLine();
    EXPECT_NE(line.find(" " + std::string(20, 'x') + " " + std::string(10, 'x') + " "), std::string::npos) << line;
    EXPECT_NE(line.find(" < "), std::string::npos);

    CTag034 fresh;
    EXPECT_EQ(fresh.FormatSummaryLine(), "");
    EXPECT_EQ(fresh.GetEntryLength(), 180);
    EXPECT_EQ(fresh.GetHeaderField(hdr::kTypeGroup), 3u);
}

TEST(CarList, ListingAndCounts) {
    TempDir d;
    TrainFileBuilder()
        .Type(3, 6)
        .Add(CarListRecord({1, 0, 4, 5, 0, "UP", "4021"}))
        .Add(CarListRecord({2, 4, 4, 19, 4, "XX", "99"}))
        .Add(CarListRecord({2, 4, 4, 19, 4, "XX", "99"}))  // second record of vehicle 2
        .Add(CarListRecord({3, 8, 6, 19, 1, "TTX", "123456789012"}))
        .Write(d.File("C.036"));
    CTag036 c;
    ASSERT_EQ(c.OpenAs(W(d.File("C")).c_str()), 1);
    EXPECT_EQ(c.FormatCarListing(),
              "001 005 04    UP     4021\n"
              "002 019 04     0        0\n"
              "003 019 04     0        0\n"
              "004 019 06   TTX 123456789012\n");
    const CarListCounts& n = c.GetCounts();
    EXPECT_EQ(n.locomotives, 1);
    EXPECT_EQ(n.locomotivesRead, 1);
    EXPECT_EQ(n.others, 2);
    EXPECT_EQ(n.othersRead, 1);
    EXPECT_EQ(n.axles, 14);
    EXPECT_EQ(n.status[0], 1);
    EXPECT_EQ(n.status[1], 1);
    EXPECT_EQ(n.status[4], 1);
    EXPECT_EQ(c.GetIndex(), 0);
    EXPECT_EQ(c.GetCarNumber(), "4021");
    EXPECT_EQ(c.GetTime(), static_cast<int64_t>(0));
}

// ---------------------------------------------------------------------------
// The other classes

TEST(Allocation, SavesWithItsExtensionAndAppends) {
    namespace al = layout::alloc;
    TempDir d;
    CTag041 a(W(d.File("A")).c_str(), L"");
    EXPECT_EQ(a.GetHeaderField(hdr::kTypeGroup), 4u);
    EXPECT_EQ(a.GetEntryLength(), 24);
    const Record r1 = AllocRecord({.first = 0, .last = 3, .end = 500, .seq = 0, .part = 255});
    const Record r2 = AllocRecord({.first = 4, .last = 5, .start = 600, .seq = 1, .part = 0});
    const Record r3 = AllocRecord({.first = 6, .last = 7, .end = 900, .seq = 1, .part = 1});
    for (const Record* r : {&r1, &r2, &r3}) ASSERT_EQ(a.AppendAllocation(r->Bytes()), 1);
    EXPECT_EQ(a.GetCount(), 3);
    EXPECT_EQ(a.GetIndex(), 2);
    EXPECT_EQ(a.CountVehicles(), 2);
    EXPECT_EQ(a.VehicleFirstAxle(), 4);
    EXPECT_EQ(a.VehicleAxleCount(), 4);
    EXPECT_EQ(a.VehicleRecordCount(), 2);
    EXPECT_EQ(a.VehicleStartTime(), 600);
    EXPECT_EQ(a.VehicleEndTime(), 900);
    EXPECT_EQ(a.PrevPart(), 1);
    EXPECT_EQ(a.PrevPart(), 0);
    EXPECT_EQ(a.SeekVehicle(0), 1);
    EXPECT_EQ(a.NextVehicle(), 1);
    EXPECT_EQ(a.GetIndex(), 1);
    EXPECT_EQ(a.NextPart(), 1);
    EXPECT_EQ(a.NextPart(), 0);
    // The object's name has no extension; saving adds ".041".
    ASSERT_EQ(a.Save(kSetLength, 0), 1);
    const auto bytes = ReadFileBytes(d.File("A.041"));
    EXPECT_EQ(bytes.size(), 64u + 72u);
    EXPECT_EQ(layout::Get(bytes, 0, hdr::kRecordCount), 3u);
}

TEST(Axles, SpeedsDistancesAndReversal) {
    namespace ax = layout::axle;
    TempDir d;
    TrainFileBuilder b;
    b.Type(1, 0);
    for (uint16_t i = 0; i < 4; ++i)
        b.Add(Record(8).U8(0, 0x51).U8(1, i == 2 ? 0x13 : 0x03).U32(2, 1000u + 180u * i).U16(6, uint16_t(i + 1)));
    b.Write(d.File("X.010"));
    CTag010 a;
    ASSERT_EQ(a.OpenAs(W(d.File("X")).c_str()), 1);
    EXPECT_EQ(a.GetSpeedEighths(), 323);
    EXPECT_EQ(a.GetDirection(), 1);
    EXPECT_EQ(a.MsPerFoot(0, 3), 17u);
    EXPECT_FLOAT_EQ(a.DistanceFeet(3, 0), 540.0f / 17.0f);
    EXPECT_EQ(a.MsPerFoot(2, 9), static_cast<unsigned>(-1));
    ASSERT_EQ(a.Next(), 1);
    EXPECT_EQ(a.GapToPrevious(), 180);
    EXPECT_EQ(a.GapToNext(), 180);
    EXPECT_EQ(a.GetIndex(), 1);
    a.SetSpeed(40.0f);
    EXPECT_EQ(a.GetFieldAt(1, ax::kSpeedWhole), 0x51u);
    EXPECT_EQ(a.GetFieldAt(1, ax::kSpeedEighths), 0u);
    ASSERT_EQ(a.Reverse(), 1);
    EXPECT_EQ(a.GetFieldAt(0, ax::kTime), 1000u);
    EXPECT_EQ(a.GetFieldAt(3, ax::kTime), 1540u);
    EXPECT_EQ(a.GetFieldAt(3, ax::kAxleNumber), 3u);
    // The gap marker of old record 2 (gap to old record 1) now sits on new record 2.
    EXPECT_EQ(a.GetFieldAt(2, ax::kSpeedEighths) & ax::kGapMarker, ax::kGapMarker);
    EXPECT_EQ(a.GetFieldAt(1, ax::kSpeedEighths) & ax::kGapMarker, 0u);
}

TEST(SmallTypes, SixteenBitTimesScaleValuesAndInputStates) {
    TempDir d;
    TrainFileBuilder().Type(2, 4).Add(Record(14).U16(0, 0xFFF0)).Add(Record(14).U16(0, 10)).Write(d.File("E.024"));
    CTag024 e;
    ASSERT_EQ(e.OpenAs(W(d.File("E")).c_str()), 1);
    EXPECT_EQ(e.GapToNext(), 10 - 0xFFF0);

    TrainFileBuilder().Type(5, 5).Add(Record(24).U32(0, 5).U32(4, 7000).U16(20, 9)).Write(d.File("W.055"));
    CTag055 s;
    ASSERT_EQ(s.OpenAs(W(d.File("W")).c_str()), 1);
    EXPECT_EQ(s.GetValue4(), 7000u);
    EXPECT_EQ(s.GetValue20(), 9);

    TrainFileBuilder()
        .Type(1, 10)
        .Add(Record(26).U32(0, 12).U16(4, 0x0300))
        .Add(Record(26).U32(0, 4000000000u).U16(4, 0x8101))
        .Write(d.File("I.01A"));
    CTag01A in;
    ASSERT_EQ(in.OpenAs(W(d.File("I")).c_str()), 1);
    EXPECT_EQ(in.FormatStateListing(0x0300), "        12 1 1 1 1 1\n4000000000 0 1 0 0 1\n");

    TrainFileBuilder().Type(1, 8).HeaderU8(35, 40).Add(Record(16).U16(0, 1).U32(4, 250).U8(8, 'A').U16(9, 300))
        .Write(d.File("H.018"));
    CTag018 h;
    ASSERT_EQ(h.OpenAs(W(d.File("H")).c_str()), 1);
    EXPECT_EQ(h.GetSide1Code(), 'A');
    EXPECT_EQ(h.GetSide1Value(), 300);
    EXPECT_EQ(h.GetMsSincePrevious(), 250u);
    EXPECT_EQ(h.GetFirstSpeed(), 40);
}

TEST(TypedOpen, ANameWithItsExtensionOpensThatFile) {
    TempDir d;
    TrainFileBuilder().Format(0x0000).Type(2, 4).Add(Record(14)).Write(d.File("T.024"));
    // Found files are opened by their bare names, in the train's directory.
    const std::string here = std::filesystem::current_path().string();
    std::filesystem::current_path(d.Path());
    CTag found(L"T.024", L"");
    const int identified = found.OpenAndIdentify();
    CTag024 typed;
    const int opened = typed.OpenAs(found.GetFileName().c_str());
    std::filesystem::current_path(here);
    EXPECT_EQ(identified, 1);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(typed.GetFileName(), L"T.024");
    EXPECT_EQ(typed.GetCount(), 1);
    EXPECT_EQ(typed.GetType(), UnknownTagType());  // the typed object is not identified
}

TEST(Digitizer, BlocksWithoutSamplesAreSkippedAndBackwardTimesRepaired) {
    namespace dg = layout::digitizer;
    TempDir d;
    TrainFileBuilder()
        .Format(0x0100)
        .Type(1, 13)
        .HeaderU16(44, 2)
        .Add(DigitizerBlock(100, 110, {{1, 2}, {3, 4}}, 3, 1))
        .Add(DigitizerBlock(110, 110, {}, 3, 1))
        .Add(DigitizerBlock(130, 120, {{5, 6}}, 3, 1))
        .Add(DigitizerBlock(140, 150, {{7, 8}, {9, 10}}, 3, 1))
        .Write(d.File("X.01D"));
    CTag01D g;
    ASSERT_EQ(g.OpenAs(W(d.File("X.01D")).c_str()), 1);
    EXPECT_EQ(g.GetSampleCount(), 2u);
    EXPECT_EQ(g.GetSample(1, 1), 4);
    EXPECT_EQ(g.GetSample(2, 0), 0);
    ASSERT_EQ(g.NextBlock(), 1);
    EXPECT_EQ(g.GetIndex(), 2);
    ASSERT_EQ(g.NextBlock(), 1);
    EXPECT_EQ(g.NextBlock(), 0);
    EXPECT_EQ(g.GetIndex(), 3);
    ASSERT_EQ(g.PrevBlock(), 1);
    EXPECT_EQ(g.GetIndex(), 2);

    const std::string newName = d.File("NEW.01D");
    auto out = CaptureOutput([&] { EXPECT_EQ(g.DumpAndRepair(stdout, W(newName).c_str()), 1); });
    EXPECT_EQ(out.out,
              "\nOverflows: 2\n\n"
              "\nShowing ALL Records (no filters):\n\n"
              "Rec #   StartMs     EndMs    S    R    O     DiffMs   SampleStart\n"
              "----- ---------- ---------- ---- --- ----- ---------- -----------\n"
              "0     100        110        2    3   1     10         0         \n"
              "1     110        110        0    3   1     0          2         \n"
              "2     130        120        1    3   1     4294967286 2         \n"
              "3     140        150        2    3   1     10         3         \n");
    const auto bytes = ReadFileBytes(newName);
    ASSERT_EQ(bytes.size(), 64u + 20u + 16u + 16u + 20u);
    EXPECT_EQ(layout::Get(bytes, 64 + 36, dg::kBlockLength), 16u);
    EXPECT_EQ(layout::Get(bytes, 0, hdr::kFileLength), bytes.size());
    EXPECT_EQ(ReadFileBytes(d.File("X.01D")).size(), 64u + 20u + 16u + 18u + 20u);

    // A last block too short for its header, with its times running
    // backwards, is kept as it is.
    Record cut = DigitizerBlock(200, 190, {}, 3, 1);
    cut.U16(0, 12);
    const std::vector<uint8_t> cutBytes(cut.Bytes().begin(), cut.Bytes().begin() + 12);
    TrainFileBuilder().Format(0x0100).Type(1, 13).Add(DigitizerBlock(100, 110, {{1, 2}}, 3, 1)).Add(cutBytes)
        .Write(d.File("Y.01D"));
    CTag01D y;
    ASSERT_EQ(y.OpenAs(W(d.File("Y.01D")).c_str()), 1);
    ASSERT_EQ(y.DumpAndRepair(nullptr, W(newName).c_str()), 1);
    EXPECT_EQ(ReadFileBytes(newName), ReadFileBytes(d.File("Y.01D")));

    CTag01D fresh;
    EXPECT_EQ(fresh.GetHeaderField(hdr::kTypeSubcode), 13u);
    EXPECT_NE(fresh.GetHeaderField(hdr::kYear), 0u);
}
