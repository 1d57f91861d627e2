// Tag read speed and direction fix-up (OP9), dual antenna merge (OP16) and
// tag time shift (OP17), run through the real Trimwell.
#include "ReportRows.h"
#include "TagFixups.h"
#include "TagLayout.h"
#include "TrimwellRecords.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

using namespace fixture;
namespace tr = layout::tagread;
namespace hd = layout::header;

namespace {

// A tag read file as the pairing program leaves it: processed flag set.
TrainFileBuilder TagFile(uint8_t antennaConfig = 1, bool processed = true) {
    TrainFileBuilder b = TagReadFileBuilder();
    b.Header(tr::kProcessingFlags, processed ? tr::kTagPairProcessed : 0).Header(tr::kAntennaConfig, antennaConfig);
    return b;
}

const std::string kTagA = "ABCDEFGHIJKLMNOPQRST";
const std::string kTagB = "BCDEFGHIJKLMNOPQRSTU";
const std::string kTagC = "CDEFGHIJKLMNOPQRSTUV";

struct ReadView {
    uint32_t time;
    std::string key;  // lead and tag text
    char antenna;
    std::string count;
    unsigned byte60, byte61;
};

std::vector<ReadView> Reads(const std::vector<uint8_t>& file) {
    std::vector<ReadView> v;
    const std::vector<uint8_t> data = DataOf(file);
    for (size_t off = 0; off + tr::kRecordSize <= data.size(); off += tr::kRecordSize) {
        const std::span<const uint8_t> rec(data.data() + off, tr::kRecordSize);
        v.push_back({layout::Get(rec, 0, tr::kTime), layout::GetText(rec, tr::kTextAreaBegin, 21),
                     char(rec[tr::kAntenna.offset]), std::string(rec.begin() + 52, rec.begin() + 54), rec[60], rec[61]});
    }
    return v;
}

unsigned HeaderCount(const std::vector<uint8_t>& file) { return layout::Get(file, 0, hd::kRecordCount); }

}  // namespace

// --- OP9 -----------------------------------------------------------------------

TEST(FixupTagSpeedDir, ReadsTakeTheLastAxleAtOrBeforeThem) {
    TempDir d;
    AxleFileBuilder()
        .Add(AxleRecord(320, 1, 1000, 1))  // 40 mph
        .Add(AxleRecord(283, 1, 2000, 2))  // 35 3/8 mph
        .Add(AxleRecord(160, 0, 3000, 3))  // 20 mph, backing
        .Write(d.File("T.010"));
    TagFile()
        .Add(TagReadRecord({.time = 500, .text = kTagA, .eighths = 0, .dir = 0}))     // before every axle
        .Add(TagReadRecord({.time = 1999, .text = kTagA, .eighths = 320, .dir = 1}))  // already right
        .Add(TagReadRecord({.time = 2000, .text = kTagB, .eighths = 100, .dir = 1}))  // at an axle's time
        .Add(TagReadRecord({.time = 9000, .text = kTagC, .eighths = 160, .dir = 1}))  // after the last
        .Write(d.File("T.060"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP9"});
    EXPECT_EQ(Rows(r), RowStart(1, 9, "060 Speed and Dir Fixup.") + "Updated:DirFlips=2 SpeedChgs=2\n");
    const std::vector<ReadView> v = Reads(ReadFileBytes(d.File("T.060")));
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v[0].byte60, (40u << 1) | 1);
    EXPECT_EQ(v[0].byte61, 0u);
    EXPECT_EQ(v[1].byte60, (40u << 1) | 1);
    EXPECT_EQ(v[2].byte60, (35u << 1) | 1);
    EXPECT_EQ(v[2].byte61, 3u);
    EXPECT_EQ(v[3].byte60, 20u << 1);

    // The file now agrees with its axles: nothing to do, nothing written.
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.060"));
    r = RunTrimwell(d.Path(), {"T", "/OP9"});
    EXPECT_EQ(Rows(r), RowStart(1, 9, "060 Speed and Dir Fixup.") + "No change.\n");
    EXPECT_EQ(ReadFileBytes(d.File("T.060")), before);
}

TEST(FixupTagSpeedDir, ReadBeforeEveryAxleKeepsThePreviousReadsValues) {
    TempDir d;
    AxleFileBuilder().Add(AxleRecord(80, 1, 1000, 1)).Add(AxleRecord(240, 0, 2000, 2)).Write(d.File("T.010"));
    // Reads out of time order: the second passed before the first axle and
    // keeps what the first read took (the second axle's), not the first axle's.
    TagFile()
        .Add(TagReadRecord({.time = 2500, .text = kTagA}))
        .Add(TagReadRecord({.time = 100, .text = kTagB}))
        .Write(d.File("T.060"));
    RunTrimwell(d.Path(), {"T", "/OP9"});
    const std::vector<ReadView> v = Reads(ReadFileBytes(d.File("T.060")));
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].byte60, 30u << 1);
    EXPECT_EQ(v[1].byte60, 30u << 1);
}

TEST(FixupTagSpeedDir, FilesItCannotUseAreLeftAlone) {
    struct Case {
        const char* name;
        bool axles;
        TrainFileBuilder tags;
        std::string row;
    };
    const Record read = TagReadRecord({.time = 1500, .text = kTagA, .eighths = 8, .dir = 0});
    std::vector<Case> cases = {
        {"not paired", true, TagFile(1, false).Add(read), "TAGPAIR must be run first."},
        {"no axles", false, TagFile().Add(read), ""},
        {"no reads", true, TagFile(), ""},
        {"records of another length", true, TagFile().Add(read).RecordLength(32),
         "has records of 32 bytes, not 64. "},
        {"count beyond the records", true, TagFile().Add(read).Count(500).TruncateTo(64 + 40), ""},
    };
    for (Case& c : cases) {
        TempDir d;
        if (c.axles) AxleFileBuilder().Add(AxleRecord(320, 1, 1000, 1)).Write(d.File("T.010"));
        c.tags.Write(d.File("T.060"));
        const std::vector<uint8_t> before = ReadFileBytes(d.File("T.060"));
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP9"});
        const std::string rows = Rows(r);
        const std::string start = RowStart(1, 9, "060 Speed and Dir Fixup.");
        EXPECT_EQ(rows.substr(0, start.size()), start) << c.name;
        EXPECT_NE(rows.find(c.row + "\n"), std::string::npos) << c.name << ": " << rows;
        if (c.row.empty()) {
            EXPECT_EQ(rows, start + "\n") << c.name;
        }
        EXPECT_EQ(ReadFileBytes(d.File("T.060")), before) << c.name;
    }
}

TEST(FixupTagSpeedDir, BinarySearchGivesTheWalksAxles) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::uniform_int_distribution<int> count(0, 40), time(0, 5000);
        std::vector<int64_t> axles(static_cast<size_t>(count(rng))), reads(static_cast<size_t>(count(rng)));
        // Mostly rising axle times with some that run backwards.
        int64_t t = time(rng) / 10;
        for (int64_t& a : axles) a = (t += time(rng) / 20 - 30);
        for (int64_t& r : reads) r = time(rng) - 200;
        EXPECT_EQ(AxleForEachRead(axles, reads), AxleForEachReadByWalk(axles, reads)) << "round " << round;
    }
}

// --- OP16 ----------------------------------------------------------------------

namespace {

const std::string kMergeRow1 = RowStart(1, 16, "Merging dual antenna 060 file");
const std::string kMergeRow2 = RowStart(2, 16, "Merging dual antenna 064 file");
const std::string kNothing = "No changes; output file not written.\n";

Record Read(uint32_t time, const std::string& text, char antenna, uint8_t count) {
    return TagReadRecord({.time = time, .text = text, .antenna = antenna, .readCount = count});
}

}  // namespace

TEST(MergeDualAntenna, PairsMergedRepeatsDroppedAntennaDigitsSet) {
    TempDir d;
    TagFile(3)
        .Add(Read(100, kTagA, '0', 0x03))
        .Add(Read(110, kTagA, '1', 0x05))
        .Add(Read(200, kTagB, '1', 0x01))
        .Add(Read(900, kTagA, '0', 0x02))  // a later read of a tag already read
        .Write(d.File("T.060"));
    TagFile(4).Add(Read(100, kTagC, '0', 0x01)).Add(Read(300, kTagB, '0', 0x04)).Write(d.File("T.064"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP16"});
    EXPECT_EQ(Rows(r), kMergeRow1 + "MERGED.060: 2 recs\n\n" + kMergeRow2 + "MERGED.064: 2 recs\n\n");

    const std::vector<uint8_t> merged = ReadFileBytes(d.File("MERGED.060"));
    EXPECT_EQ(HeaderCount(merged), 2u);
    EXPECT_EQ(layout::Get(merged, 0, hd::kFileLength), 3u * 64);
    EXPECT_EQ(layout::Get(merged, 0, tr::kAntennaConfig), 3u);
    const std::vector<ReadView> v = Reads(merged);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0].key, "N" + kTagA);
    EXPECT_EQ(v[0].count, "08");
    EXPECT_EQ(v[0].time, 100u);
    EXPECT_EQ(v[1].key, "N" + kTagB);
    EXPECT_EQ(v[1].count, "01");
    for (const ReadView& x : v) EXPECT_EQ(x.antenna, '0');
    for (const ReadView& x : Reads(ReadFileBytes(d.File("MERGED.064")))) EXPECT_EQ(x.antenna, '1');
}

TEST(MergeDualAntenna, MergeCases) {
    struct Case {
        const char* name;
        TrainFileBuilder tags;
        std::string row;
        std::vector<std::string> counts;  // of the records written
    };
    std::vector<Case> cases = {
        // Counts that add up past two hexadecimal digits stay at the most they hold.
        {"saturated", TagFile(3).Add(Read(1, kTagA, '0', 0xF0)).Add(Read(2, kTagA, '1', 0x20)),
         "MERGED.060: 1 recs\n", {"FF"}},
        // Both of the next two records merge when they qualify.
        {"two partners", TagFile(3).Add(Read(1, kTagA, '0', 1)).Add(Read(2, kTagA, '1', 2)).Add(Read(3, kTagA, '2', 4)),
         "MERGED.060: 1 recs\n", {"07"}},
        // Same antenna: no merge, the repeat is dropped with its count.
        {"same antenna", TagFile(3).Add(Read(1, kTagA, '0', 1)).Add(Read(2, kTagA, '0', 2)),
         "MERGED.060: 1 recs\n", {"01"}},
        // Three records apart: not merged, dropped as a repeat.
        {"too far apart",
         TagFile(3).Add(Read(1, kTagA, '0', 1)).Add(Read(2, kTagB, '0', 1)).Add(Read(3, kTagC, '0', 1))
             .Add(Read(4, kTagA, '1', 1)),
         "MERGED.060: 3 recs\n", {"01", "01", "01"}},
        // Reads without a full tag text are kept as they are.
        {"short texts", TagFile(3).Add(Read(1, "SHORT", '0', 1)).Add(Read(2, "SHORT", '1', 2)),
         "MERGED.060: 2 recs\n", {"01", "02"}},
        // Every read already deleted: a file of no records is still written.
        {"all deleted",
         TagFile(3).Add(TagReadRecord({.text = kTagA, .lead = 0})).Add(TagReadRecord({.text = kTagB, .lead = 0})),
         "MERGED.060: 0 recs\n", {}},
        {"single antenna", TagFile(2).Add(Read(1, kTagA, '0', 1)).Add(Read(2, kTagA, '1', 1)), kNothing, {}},
        {"one read", TagFile(3).Add(Read(1, kTagA, '0', 1)), kNothing, {}},
        {"records of another length", TagFile(3).Add(Read(1, kTagA, '0', 1)).Add(Read(2, kTagA, '1', 1)).RecordLength(48),
         "has records of 48 bytes, not 64. Error -2 occurred\n", {}},
    };
    for (Case& c : cases) {
        TempDir d;
        c.tags.Write(d.File("T.060"));
        // A merged file of an earlier train never survives a run.
        WriteFileBytes(d.File("MERGED.060"), {1, 2, 3});
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP16"});
        const std::string rows = Rows(r);
        const std::string row1 = rows.substr(0, rows.find(kMergeRow2));
        EXPECT_TRUE(row1.starts_with(kMergeRow1) && row1.ends_with(c.row + "\n")) << c.name << ": " << rows;
        EXPECT_NE(rows.find(kMergeRow2 + "Error -2 occurred\n"), std::string::npos) << c.name;
        const bool written = c.row.find("recs") != std::string::npos;
        ASSERT_EQ(PathExists(d.File("MERGED.060")), written) << c.name;
        if (!written) continue;
        std::vector<std::string> counts;
        for (const ReadView& v : Reads(ReadFileBytes(d.File("MERGED.060")))) counts.push_back(v.count);
        EXPECT_EQ(counts, c.counts) << c.name;
    }
}

TEST(MergeDualAntenna, RowsOfTwoEntriesAndACreateFailure) {
    TempDir d;
    TagFile(3).Add(Read(1, kTagA, '0', 1)).Add(Read(2, kTagA, '1', 1)).Write(d.File("T.060"));
    // A directory where the merged file would go cannot be replaced.
    std::filesystem::create_directory(d.File("MERGED.060"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP16", "/OP16"});
    const std::string refused = "Error 5 creating file \"MERGED.060\"\nError -5 occurred\n\n";
    EXPECT_EQ(Rows(r), kMergeRow1 + refused + kMergeRow2 + "Error -2 occurred\n\n" +
                           RowStart(2, 16, "Merging dual antenna 060 file") + refused +
                           RowStart(3, 16, "Merging dual antenna 064 file") + "Error -2 occurred\n\n")
        << r.out;
}

// --- OP17 ----------------------------------------------------------------------

TEST(ShiftTagTimes, ShiftsClampAtBothEnds) {
    TempDir d;
    TagFile()
        .Add(TagReadRecord({.time = 3000, .text = kTagA}))
        .Add(TagReadRecord({.time = 10000, .text = kTagB}))
        .Add(TagReadRecord({.time = 0xFFFFF000u, .text = kTagC}))
        .Write(d.File("T.060"));
    const std::vector<uint8_t> before = ReadFileBytes(d.File("T.060"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP17", "/S=-5000"});
    EXPECT_EQ(Rows(r), RowStart(1, 17, "Shifting 060 timestamps...") +
                           "Old=      3000 New=         0\n"
                           "Old=     10000 New=      5000\n"
                           "Old=4294963200 New=4294958200\n"
                           "Done. Filename \"T.S60\" created...\n\n");
    std::vector<ReadView> v = Reads(ReadFileBytes(d.File("T.S60")));
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].time, 0u);
    EXPECT_EQ(v[1].time, 5000u);
    EXPECT_EQ(ReadFileBytes(d.File("T.060")), before);

    r = RunTrimwell(d.Path(), {"T", "/OP17", "/S=2000000000"});
    v = Reads(ReadFileBytes(d.File("T.S60")));
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[1].time, 2000010000u);
    EXPECT_EQ(v[2].time, 0xFFFFFFFFu);
    EXPECT_NE(r.out.find("Old=4294963200 New=4294967295\n"), std::string::npos);
}

TEST(ShiftTagTimes, ShiftIsTakenInTheFilesTimeUnits) {
    TempDir d;
    // Tenths of a millisecond: 12345 raw is 1234 ms.
    TagFile().TimeScale(1, 1).Add(TagReadRecord({.time = 12345, .text = kTagA})).Write(d.File("T.060"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP17"});
    EXPECT_NE(r.out.find("Old=      1234 New=      1234\n"), std::string::npos) << r.out;
    EXPECT_EQ(Reads(ReadFileBytes(d.File("T.S60")))[0].time, 12345u);
    // 1000 ms are 9999 raw units: the scale is the float nearest 0.1,
    // slightly above it, and the quotient is truncated.
    RunTrimwell(d.Path(), {"T", "/OP17", "/S=1000"});
    EXPECT_EQ(Reads(ReadFileBytes(d.File("T.S60")))[0].time, 12345u + 9999u);
}

TEST(ShiftTagTimes, EmptyMissingAndLyingFiles) {
    TempDir d;
    // No reads: the header is written as it was.
    TagFile().Write(d.File("T.060"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP17", "/S=5"});
    EXPECT_EQ(Rows(r), RowStart(1, 17, "Shifting 060 timestamps...") + "Done. Filename \"T.S60\" created...\n\n");
    EXPECT_EQ(ReadFileBytes(d.File("T.S60")), ReadFileBytes(d.File("T.060")));

    TempDir e;
    r = RunTrimwell(e.Path(), {"T", "/OP17"});
    EXPECT_EQ(Rows(r), RowStart(1, 17, "Shifting 060 timestamps...") + "Failed.\n\n");
    TagFile().Add(TagReadRecord({.time = 1, .text = kTagA})).RecordLength(60).Write(e.File("T.060"));
    r = RunTrimwell(e.Path(), {"T", "/OP17"});
    EXPECT_NE(Rows(r).find("has records of 60 bytes, not 64. Failed.\n"), std::string::npos) << r.out;
    EXPECT_FALSE(PathExists(e.File("T.S60")));
}
