// The stand-in companions on their own: which files they make, keep and
// refuse.
#include "AllocLayout.h"
#include "ConsistLayout.h"
#include "ComparisonFiles.h"
#include "TagLayout.h"

#include <gtest/gtest.h>

using namespace fixture;
using namespace weighoff_test;
namespace cs = layout::consist;

namespace {

RunResult Companion(const TempDir& dir, const std::string& program, const std::vector<std::string>& args) {
    return RunProgram(ProgramPath("../companions/" + program), args, dir.Path());
}

// Twelve axles: a locomotive and two railcars.
void WriteAxles(const TempDir& dir, const std::string& name) {
    TrainFileBuilder b = AxleFileBuilder();
    for (uint16_t i = 0; i < 12; ++i) b.Add(AxleRecord(240, 0, 1000u + 300u * i, uint16_t(i + 1)));
    b.Write(dir.File(name + ".010"));
}

void WriteTagReads(const TempDir& dir, const std::string& name, int n) {
    TrainFileBuilder b = TagReadFileBuilder();
    for (int i = 0; i < n; ++i) b.Add(TagReadRecord({.time = uint32_t(900 + 1000 * i), .text = "ABCDEFGHIJKLMNOPQRST"}));
    b.Write(dir.File(name + ".060"));
}

}  // namespace

TEST(TagpairStandIn, PairsOneConsistEntryWithEachVehicleAndMarksTheReads) {
    TempDir dir;
    WriteAxles(dir, "M");
    WriteTagReads(dir, "M", 2);
    const RunResult r = Companion(dir, "TAGPAIR", {"M"});
    ASSERT_EQ(r.status, 0) << r.out;
    const auto alloc = DataOf(ReadFileBytes(dir.File("M.041")));
    EXPECT_EQ(alloc.size(), 3 * layout::alloc::kRecordSize);
    const auto consist = DataOf(ReadFileBytes(dir.File("M.035")));
    // Two tagged entries (status 0) and one without a read (status 4).
    ASSERT_EQ(consist.size(), 2 * cs::kOneTagSize + cs::kFixedSize);
    const size_t at[3] = {0, cs::kOneTagSize, 2 * cs::kOneTagSize};
    const uint32_t status[3] = {0, 0, cs::kStatusNoTag};
    for (int v = 0; v < 3; ++v) {
        EXPECT_EQ(layout::Get(consist, at[v], cs::kReadStatus), status[v]);
        EXPECT_EQ(layout::Get(consist, at[v], cs::kAxleCount), 4u);
        EXPECT_EQ(layout::Get(consist, at[v], cs::kFirstAxle), uint32_t(4 * v));
    }
    const auto tags = ReadFileBytes(dir.File("M.060"));
    EXPECT_EQ(layout::Get(tags, 0, layout::tagread::kProcessingFlags), layout::tagread::kTagPairProcessed);
}

// Tag reads of a malformed .060 whose records are shorter than a tag read
// are paired with what they hold and zeros for the rest, never read past
// their record.
TEST(TagpairStandIn, PairsShortTagReadRecordsWithZerosForTheMissingBytes) {
    TempDir dir;
    WriteAxles(dir, "M");
    TagReadFileBuilder().RecordLength(7).Add({0x84, 0x03, 0, 0, 'A', 'B', 'C'}).Write(dir.File("M.060"));
    const RunResult r = Companion(dir, "TAGPAIR", {"M"});
    ASSERT_EQ(r.status, 0) << r.out;
    const auto consist = DataOf(ReadFileBytes(dir.File("M.035")));
    ASSERT_EQ(consist.size(), cs::kOneTagSize + 2 * cs::kFixedSize);
    EXPECT_EQ(layout::Get(consist, 0, cs::kReadStatus), 0u);
    EXPECT_EQ(layout::Get(consist, 0, cs::kWord12), 900u);
    const size_t text = cs::kTagBlock1 + cs::kTagTextOffset;
    EXPECT_EQ(std::vector<uint8_t>(consist.begin() + text, consist.begin() + text + cs::kTagTextLength),
              (std::vector<uint8_t>{'B', 'C', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(TagpairStandIn, KeepsTheAxlesItFindsAndRebuildsTheAllocationForCarsOnly) {
    TempDir dir;
    WriteAxles(dir, "M");
    const auto axles = ReadFileBytes(dir.File("M.010"));
    WriteFileBytes(dir.File("M.041"), {'o', 'l', 'd'});
    ASSERT_EQ(Companion(dir, "TAGPAIR", {"M", "/ab2caronly"}).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("M.010")), axles);
    EXPECT_EQ(DataOf(ReadFileBytes(dir.File("M.041"))).size(), 3 * layout::alloc::kRecordSize);
    EXPECT_FALSE(PathExists(dir.File("M.035")));
}

TEST(TagpairStandIn, WithoutAxlesOrIoEventsItMakesNothing) {
    TempDir dir;
    RunResult r = Companion(dir, "TAGPAIR", {"M"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(dir.List().empty());
    r = Companion(dir, "TAGPAIR", {});
    EXPECT_EQ(r.status, 2);
}

TEST(ConsmendStandIn, WritesTheMendedConsistOnlyFromAConsistWithEntries) {
    TempDir dir;
    EXPECT_EQ(Companion(dir, "CONSMEND", {"M"}).status, 1);
    ConsistFile({}).Write(dir.File("M.035"));
    EXPECT_EQ(Companion(dir, "CONSMEND", {"M"}).status, 1);
    EXPECT_FALSE(PathExists(dir.File("M.037")));
    WriteConsist(dir.File("M.035"), CleanTrain(3));
    EXPECT_EQ(Companion(dir, "CONSMEND", {"M"}).status, 0);
    EXPECT_EQ(DataOf(ReadFileBytes(dir.File("M.037"))), DataOf(ReadFileBytes(dir.File("M.035"))));
}
