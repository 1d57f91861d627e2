#include "ConsistFile.h"
#include "ConsistLayout.h"
#include "EncodedTags.h"
#include "TestSupport.h"
#include "VehicleRecords.h"

#include <gtest/gtest.h>

using namespace fixture;
namespace cs = layout::consist;
namespace hdr = layout::header;

namespace {

const std::string kLoco = TagText(5, "UP", 8901);
const std::string kCar = TagText(19, "TTX", 654321);

// Vehicle 1 (locomotive, one read), vehicle 2 (no read, 24 bytes),
// vehicle 3 as two entries (two reads and a sub-record; then one read),
// vehicle 4 (one read).
TrainFileBuilder Train() {
    auto b = ConsistFile({}, hdr::kDefaultFormat);
    b.Add(VehicleEntry({1, 5, 0, 6, 0, {{0, kLoco}}}));
    b.Add(VehicleEntry({2, 19, 4, 4, 6}));
    b.Add(VehicleEntry({3, 19, 0, 4, 10, {{0, kCar}, {0x0002, kCar}}, {SubRecord(9, std::vector<uint8_t>(8))}}));
    b.Add(VehicleEntry({3, 19, 1, 4, 10, {{0, TagText(19, "ABCD", 7)}}}));
    b.Add(VehicleEntry({4, 19, 0, 4, 14, {{0, TagText(19, "GATX", 99)}}}));
    return b;
}

struct Loaded {
    TempDir dir;
    CConsistFile file;
    explicit Loaded(const TrainFileBuilder& b) {
        b.Write(dir.File("T.035"));
        EXPECT_EQ(file.Load(dir.File("T").c_str()), 1);
    }
};

std::vector<uint8_t> Prefix(const Record& r, size_t n) {
    return std::vector<uint8_t>(r.Bytes().begin(), r.Bytes().begin() + static_cast<std::ptrdiff_t>(n));
}

std::vector<int> VehicleNumbers(CConsistFile& f) {
    std::vector<int> v;
    for (int i = 0; f.SeekEntry(i); ++i) v.push_back(f.GetVehicleNumber());
    return v;
}

}  // namespace

TEST(ConsistFile, WalksEntriesByTheirLength) {
    Loaded l(Train());
    CConsistFile& f = l.file;
    ASSERT_EQ(f.GetCount(), 5);
    EXPECT_EQ(f.GetIndex(), 0);
    EXPECT_EQ(f.GetTagText(), "UP");  // decoded on load
    EXPECT_EQ(VehicleNumbers(f), (std::vector<int>{1, 2, 3, 3, 4}));
    ASSERT_EQ(f.SeekEntry(2), 1);
    EXPECT_EQ(f.Entry().size(), 88u + 12u);  // two tag blocks and a sub-record
    EXPECT_EQ(f.GetField(cs::kFirstAxle), 10u);
    EXPECT_EQ(f.GetTagCount(), 2);
    EXPECT_EQ(f.GetTagText(), "TTX");
    EXPECT_EQ(f.GetDecodedTag(1).CarNumber(), 654321u);
    ASSERT_EQ(f.NextEntry(), 1);
    EXPECT_EQ(f.GetTagText(), "ABCD");  // refreshed by the seek
    EXPECT_EQ(f.GetDecodedTag(1).IsValid(), 0);
    ASSERT_EQ(f.PrevEntry(), 1);
    EXPECT_EQ(f.GetIndex(), 2);
    EXPECT_EQ(f.GetTagText(), "TTX");
    EXPECT_EQ(f.SeekEntry(5), 0);
    EXPECT_EQ(f.SeekEntry(-1), 0);
    EXPECT_EQ(f.GetIndex(), 2);
    ASSERT_EQ(f.SeekEntry(0), 1);
    EXPECT_EQ(f.PrevEntry(), 0);
    EXPECT_EQ(f.GetIndex(), 0);
}

TEST(ConsistFile, EntryWithoutTagBlocks) {
    Loaded l(Train());
    CConsistFile& f = l.file;
    ASSERT_EQ(f.SeekEntry(1), 1);
    EXPECT_EQ(f.Entry().size(), cs::kFixedSize);
    EXPECT_TRUE(f.GetTagBlock(0).empty());
    EXPECT_EQ(f.GetTagText(), "");
    EXPECT_EQ(f.GetDecodedTag(0).IsValid(), 0);
    uint16_t flags = 0xFFFF;
    EXPECT_EQ(f.GetTagFlagsAt(0, flags), 0);
    EXPECT_EQ(flags, 0xFFFF);
    EXPECT_EQ(f.IsTagCleanAt(0), 0);
    EXPECT_EQ(f.IsCurrentValid(), 0);
    EXPECT_EQ(f.ExceptionCount(), 0);
    // Fields beyond the entry are not there.
    EXPECT_EQ(f.GetField(cs::kTagFlags), f.GetFieldAt(1, cs::kTagFlags));
    EXPECT_FALSE(f.SetField(layout::Field{24, 2, ""}, 1));
    ASSERT_EQ(f.SeekEntry(2), 1);
    EXPECT_EQ(f.GetTagBlock(1).size(), cs::kTagBlockSize);
    EXPECT_TRUE(f.GetTagBlock(2).empty());
    EXPECT_EQ(f.GetTagBlock(1)[cs::kTagLead.offset], 'N');
}

TEST(ConsistFile, VehicleWalks) {
    Loaded l(Train());
    CConsistFile& f = l.file;
    EXPECT_EQ(f.NextVehicle(), 1);
    EXPECT_EQ(f.GetIndex(), 1);
    EXPECT_EQ(f.NextVehicle(), 1);
    EXPECT_EQ(f.GetIndex(), 2);
    EXPECT_EQ(f.NextVehicle(), 1);
    EXPECT_EQ(f.GetIndex(), 4);  // skips vehicle 3's second entry
    EXPECT_EQ(f.NextVehicle(), 0);
    EXPECT_EQ(f.GetIndex(), 4);
    EXPECT_EQ(f.PrevVehicle(), 1);
    EXPECT_EQ(f.GetIndex(), 3);  // nearest entry of the previous vehicle
    EXPECT_EQ(f.PrevVehicle(), 1);
    EXPECT_EQ(f.GetIndex(), 1);
    f.SeekEntry(0);
    EXPECT_EQ(f.PrevVehicle(), 0);
    EXPECT_EQ(f.GetIndex(), 0);

    ASSERT_EQ(f.FindVehicle(3), 1);
    EXPECT_EQ(f.GetIndex(), 2);
    EXPECT_EQ(f.GetTagText(), "TTX");
    f.SeekEntry(1);
    EXPECT_EQ(f.FindVehicle(77), 0);
    EXPECT_EQ(f.GetIndex(), 1);
    EXPECT_EQ(f.FindVehicle(-1), 0);
    EXPECT_EQ(f.GetIndex(), 1);
}

TEST(ConsistFile, ValidityAndExceptionFlags) {
    auto b = ConsistFile({}, hdr::kDefaultFormat);
    b.Add(VehicleEntry({1, 19, 0, 4, 0, {{0x0000, kCar}}}));
    b.Add(VehicleEntry({2, 19, 0, 4, 4, {{0x0023, kCar}, {0x010E, kCar}}}));  // W L O ; L A E C
    b.Add(VehicleEntry({3, 19, 4, 4, 8, {{0x0000, kCar}}}));                  // status 4
    b.Add(VehicleEntry({4, 6, 0, 4, 12, {{0x0001, kCar}}}));                  // EGC not accepted
    b.Add(VehicleEntry({5, 19, 1, 4, 16, {{0x8000, kCar}}}));                 // bit 15 selects m1
    Loaded l(b);
    CConsistFile& f = l.file;
    EXPECT_EQ(f.IsCurrentValid(), 1);
    EXPECT_EQ(f.ExceptionCount(), 0);
    EXPECT_EQ(f.IsTagCleanAt(0), 1);
    f.SeekEntry(1);
    EXPECT_EQ(f.IsCurrentValid(), 1);
    EXPECT_EQ(f.ExceptionCount(), 3 + 3);  // bit 8 (C) is not counted
    uint16_t flags = 0;
    ASSERT_EQ(f.GetTagFlagsAt(1, flags), 1);
    EXPECT_EQ(flags, 0x010E);
    EXPECT_EQ(f.IsTagCleanAt(0), 0);
    EXPECT_EQ(f.IsTagCleanAt(1), 1);
    EXPECT_EQ(f.GetTagFlagsAt(2, flags), 0);
    f.SeekEntry(2);
    EXPECT_EQ(f.IsCurrentValid(), 0);
    EXPECT_EQ(f.IsTagCleanAt(0), 1);  // cleanliness looks at the flags only
    f.SeekEntry(3);
    EXPECT_EQ(f.IsCurrentValid(), 0);
    EXPECT_EQ(f.ExceptionCount(), 0);
    f.SeekEntry(4);
    EXPECT_EQ(f.IsCurrentValid(), 1);
    f.SetReaderModes({3, 1, 3, 0});  // strict m1: only status 0
    EXPECT_EQ(f.IsCurrentValid(), 0);
    f.SetReaderModes({3, 0, 3, 0});
    EXPECT_EQ(f.IsCurrentValid(), 0);
}

TEST(ConsistFile, SaveAddsItsExtension) {
    Loaded l(Train());
    const auto original = ReadFileBytes(l.dir.File("T.035"));
    ASSERT_EQ(l.file.SaveAs(l.dir.File("C").c_str()), 1);
    EXPECT_EQ(ReadFileBytes(l.dir.File("C.035")), original);
    ASSERT_EQ(l.file.SaveAs(l.dir.File("C.BAK").c_str()), 1);
    EXPECT_EQ(ReadFileBytes(l.dir.File("C.BAK")), original);
    EXPECT_EQ(l.file.Save(), 1);
    EXPECT_EQ(ReadFileBytes(l.dir.File("T.035")), original);
}

TEST(ConsistFile, AppendBuildsANewConsist) {
    TempDir d;
    CConsistFile f;
    const auto e1 = VehicleEntry({1, 5, 0, 6, 0, {{0, kLoco}}}).Bytes();
    const auto e2 = VehicleEntry({2, 19, 0, 4, 6}).Bytes();
    ASSERT_EQ(f.AppendEntry(e1.data(), unsigned(e1.size())), 1);
    ASSERT_EQ(f.AppendEntry(e2.data(), unsigned(e2.size())), 1);
    EXPECT_EQ(f.GetCount(), 2);
    // An entry whose length field disagrees, or that is too short for its
    // tag blocks, would break the walk: refused.
    auto bad = e1;
    bad[0] = 57;
    EXPECT_EQ(f.AppendEntry(bad.data(), unsigned(bad.size())), 0);
    auto shortTags = e2;
    shortTags[cs::kTagCount.offset] = 1;
    EXPECT_EQ(f.AppendEntry(shortTags.data(), unsigned(shortTags.size())), 0);
    EXPECT_EQ(f.AppendEntry(e1.data(), 10), 0);
    ASSERT_EQ(f.SaveAs(d.File("N").c_str()), 1);
    CConsistFile g;
    ASSERT_EQ(g.Load(d.File("N").c_str()), 1);
    EXPECT_EQ(VehicleNumbers(g), (std::vector<int>{1, 2}));
    EXPECT_EQ(g.GetHeaderField(hdr::kTypeSubcode), cs::kTypeSubcode);
    EXPECT_EQ(g.GetRecordLength(), 0u);
}

TEST(ConsistFile, WritesKeepTheWalkWhole) {
    Loaded l(Train());
    CConsistFile& f = l.file;
    f.SeekEntry(1);
    EXPECT_FALSE(f.SetField(cs::kLength, 56));    // would swallow the next entry
    EXPECT_FALSE(f.SetField(cs::kTagCount, 1));   // 24 bytes hold no tag block
    EXPECT_EQ(f.GetField(cs::kTagCount), 0u);
    f.SeekEntry(2);
    EXPECT_TRUE(f.SetField(cs::kTagCount, 1));    // fewer reads are fine
    EXPECT_TRUE(f.SetField(cs::kEgc, 14));
    EXPECT_EQ(f.GetCount(), 5);
    EXPECT_EQ(VehicleNumbers(f), (std::vector<int>{1, 2, 3, 3, 4}));
}

// Malformed entries: the walk stops before the first entry that is not
// whole; nothing is read or written outside the record area, and saving
// keeps every byte.
TEST(ConsistFileMalformed, WalkStopsAtTheLastWholeEntry) {
    struct Case {
        const char* what;
        Record bad;
        bool cutData;  // the bad entry is the end of the file
    };
    auto withLength = [](uint16_t len) {
        Record r = VehicleEntry({9, 19, 0, 4, 20, {{0, kCar}}});
        r.Set(cs::kLength, len);
        return r;
    };
    std::vector<Case> cases = {
        {"length 0", withLength(0), false},
        {"length below 24", withLength(23), false},
        {"length 1", withLength(1), false},
        {"two reads in 56 bytes", VehicleEntry({9, 19, 0, 4, 20, {{0, kCar}}}).Set(cs::kTagCount, 2), false},
        {"one read in 24 bytes", VehicleEntry({9, 19, 0, 4, 20}).Set(cs::kTagCount, 1), false},
        {"length past the data", withLength(0xFFFF), false},
        {"cut inside the fixed part", Record(0).Append(std::vector<uint8_t>(10, 0x38)), true},
        {"cut inside a tag block", Record(0).Append(Prefix(VehicleEntry({9, 19, 0, 4, 20, {{0, kCar}}}), 40)), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto b = ConsistFile({}, hdr::kDefaultFormat);
        b.Add(VehicleEntry({1, 5, 0, 6, 0, {{0, kLoco}}}));
        b.Add(VehicleEntry({2, 19, 0, 4, 6}));
        b.Add(c.bad);
        if (!c.cutData) b.Add(VehicleEntry({4, 19, 0, 4, 24, {{0, kCar}}}));
        Loaded l(b);
        CConsistFile& f = l.file;
        EXPECT_EQ(f.GetCount(), 2);
        EXPECT_EQ(VehicleNumbers(f), (std::vector<int>{1, 2}));
        f.SeekEntry(0);
        while (f.NextVehicle()) {
        }
        EXPECT_EQ(f.GetIndex(), 1);
        while (f.PrevVehicle()) {
        }
        EXPECT_EQ(f.FindVehicle(9), 0);
        EXPECT_EQ(f.FindVehicle(4), 0);
        EXPECT_EQ(f.SeekEntry(2), 0);
        // Appending puts the new entry where the walk reaches it; the
        // damaged bytes are kept after it.
        const auto e = VehicleEntry({5, 19, 0, 4, 28}).Bytes();
        ASSERT_EQ(f.AppendEntry(e.data(), unsigned(e.size())), 1);
        EXPECT_EQ(VehicleNumbers(f), (std::vector<int>{1, 2, 5}));
        ASSERT_EQ(f.Save(), 1);
        const auto saved = ReadFileBytes(l.dir.File("T.035"));
        const auto built = b.Build();
        ASSERT_EQ(saved.size(), built.size() + e.size());
        const size_t at = 64 + VehicleEntry({1, 5, 0, 6, 0, {{0, kLoco}}}).Size() + cs::kFixedSize;
        EXPECT_TRUE(std::equal(built.begin() + at, built.end(), saved.begin() + at + e.size()));
    }
}

TEST(ConsistFileMalformed, HeaderCountsThatLie) {
    // More entries claimed than present: the walk stops at the data's end.
    Loaded more(Train().Count(60));
    EXPECT_EQ(more.file.GetCount(), 5);
    EXPECT_EQ(more.file.GetStoredCount(), 60);
    // Fewer claimed: only those are addressed.
    Loaded fewer(Train().Count(2));
    EXPECT_EQ(fewer.file.GetCount(), 2);
    EXPECT_EQ(fewer.file.NextVehicle(), 1);
    EXPECT_EQ(fewer.file.NextVehicle(), 0);
    // An entry appended to it follows the addressed ones.
    const auto e = VehicleEntry({8, 19, 0, 4, 0}).Bytes();
    ASSERT_EQ(fewer.file.AppendEntry(e.data(), unsigned(e.size())), 1);
    EXPECT_EQ(VehicleNumbers(fewer.file), (std::vector<int>{1, 2, 8}));
    // Header only, and a missing file.
    Loaded empty(ConsistFile({}, hdr::kDefaultFormat).Count(3));
    EXPECT_EQ(empty.file.GetCount(), 0);
    EXPECT_EQ(empty.file.NextVehicle(), 0);
    EXPECT_EQ(empty.file.FindVehicle(1), 0);
    EXPECT_EQ(empty.file.IsCurrentValid(), 0);
    EXPECT_TRUE(empty.file.Entry().empty());
    CConsistFile missing;
    EXPECT_EQ(missing.Load(empty.dir.File("none").c_str()), 0);
    EXPECT_EQ(missing.GetCount(), 0);
    EXPECT_EQ(missing.Save(), 0);
}
