// Idsweep run on fixture consists: the axle-count and length checks of
// value-7 railcar tags, the change count, the output name and the refusals.
#include "TestSupport.h"
#include "ValueSevenTags.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace fixture;
namespace cs = layout::consist;

namespace {

const std::string kBanner = "\n----------------------------------------\nIdsweep(\"T1\") ...";
const std::string kWritten = "\nFile written(\"T1.TMP\").\n";

RunResult Idsweep(const TempDir& dir, const std::vector<std::string>& args = {"T1"}) {
    return RunProgram(ProgramPath("Idsweep"), args, dir.Path());
}

// Writes the consist, runs the scanner and returns the data of T1.TMP.
struct Scan {
    RunResult run;
    std::vector<uint8_t> output;
};

Scan ScanConsist(const TempDir& dir, const std::vector<uint8_t>& consist) {
    WriteFileBytes(dir.File("T1.035"), consist);
    Scan s{Idsweep(dir), {}};
    if (PathExists(dir.File("T1.TMP"))) s.output = ReadFileBytes(dir.File("T1.TMP"));
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")), consist) << "the consist itself is never written";
    return s;
}

}  // namespace

TEST(IdsweepCheck, AMatchingAxleCountClearsTheAxleFlag) {
    TempDir dir;
    const auto entry = VehicleEntry(1, 4, 600, {{kFlagA | 0x8000, RailcarTag(7, 600, 4)}});
    const auto input = ConsistFile({VehicleEntry(1, 6, 700, {}, 5), entry}).Build();
    const Scan s = ScanConsist(dir, input);
    EXPECT_EQ(s.run.status, 0);
    EXPECT_EQ(s.run.out, kBanner + " 1\n" + kWritten);
    EXPECT_EQ(s.run.err, "");
    EXPECT_EQ(s.output, ConsistFile({VehicleEntry(1, 6, 700, {}, 5), WithFlags(entry, 0, 0x8000)}).Build());
}

TEST(IdsweepCheck, LengthsWithinOneFifthOfTheTagsLengthMatch) {
    TempDir dir;
    const std::string tag150 = RailcarTag(7, 150, 4);
    const auto close = VehicleEntry(1, 4, 121, {{kFlagL, tag150}});    // 29 below 150: clear
    const auto far = VehicleEntry(2, 4, 119, {{0, tag150}});           // 31 below 150: set
    const auto edge = VehicleEntry(3, 4, 180, {{0, tag150}});          // 30 above: stays clear
    const auto negative = VehicleEntry(4, 4, -150, {{kFlagL, tag150}});  // stays set
    const auto input = ConsistFile({close, far, edge, negative}).Build();
    const Scan s = ScanConsist(dir, input);
    EXPECT_EQ(s.run.out, kBanner + " 2\n" + kWritten);
    EXPECT_EQ(s.output, ConsistFile({WithFlags(close, 0, 0), WithFlags(far, 0, kFlagL), edge, negative}).Build());
}

TEST(IdsweepCheck, EachTagReadWhoseFlagsChangeCountsOnce) {
    TempDir dir;
    // Both reads of one vehicle change; a third read changes both of its flags.
    const auto pair = VehicleEntry(1, 4, 600, {{kFlagA, RailcarTag(7, 600, 4)}, {0, RailcarTag(7, 600, 6)}});
    const auto both = VehicleEntry(2, 4, 600, {{0x0001, RailcarTag(7, 900, 8)}});
    const auto input = ConsistFile({pair, both}).Build();
    const Scan s = ScanConsist(dir, input);
    EXPECT_EQ(s.run.out, kBanner + " 3\n" + kWritten);
    EXPECT_EQ(s.output,
              ConsistFile({WithFlags(WithFlags(pair, 0, 0), 1, kFlagA), WithFlags(both, 0, 0x0001 | kFlagA | kFlagL)})
                  .Build());
}

TEST(IdsweepCheck, ExtendedBitsCarryLongLengthsAndManyAxles) {
    TempDir dir;
    // 5000 needs length bit 12; 300 axles need the high five count bits and
    // the axle count's high byte.
    const std::string tag = RailcarTag(7, 5000, 300);
    const auto right = VehicleEntry(1, 300, 5000, {{kFlagA | kFlagL, tag}});
    const auto lowByteOnly = VehicleEntry(2, 300 & 0xFF, 5000 - 1000, {{0, tag}});
    const Scan s = ScanConsist(dir, ConsistFile({right, lowByteOnly}).Build());
    EXPECT_EQ(s.run.out, kBanner + " 2\n" + kWritten);
    // 4000 is exactly one fifth below 5000: only the axle count differs.
    EXPECT_EQ(s.output, ConsistFile({WithFlags(right, 0, 0), WithFlags(lowByteOnly, 0, kFlagA)}).Build());
}

TEST(IdsweepCheck, TheExtendedFieldsSitAtTheirTagBits) {
    TagBits bits;
    bits.Put(0, 4, 19);      // railcar
    bits.Put(93, 95, 7);     // value 7
    bits.Put(96, 96, 1);     // length bit 12
    bits.Put(90, 92, 2);     // length bits 11-9
    bits.Put(47, 47, 1);     // length bit 8
    bits.Put(48, 55, 5);     // length bits 7-0
    bits.Put(97, 101, 1);    // axle count bits 9-5
    bits.Put(56, 60, 3);     // axle count bits 4-0
    const std::string tag = bits.Text();
    const unsigned length = 4096 + 1024 + 256 + 5, axles = 32 + 3 + 1;

    TempDir dir;
    const auto exact = VehicleEntry(1, axles, length, {{kFlagA | kFlagL, tag}});
    const auto offByOne = VehicleEntry(2, axles + 1, length, {{0, tag}});
    const Scan s = ScanConsist(dir, ConsistFile({exact, offByOne}).Build());
    EXPECT_EQ(s.run.out, kBanner + " 2\n" + kWritten);
    EXPECT_EQ(s.output, ConsistFile({WithFlags(exact, 0, 0), WithFlags(offByOne, 0, kFlagA)}).Build());
}

TEST(IdsweepCheck, OtherTagsAreLeftAloneAndNothingIsWritten) {
    TempDir dir;
    const auto input = ConsistFile({VehicleEntry(1, 4, 600, {{kFlagL, RailcarTag(6, 100, 9)}}),
                                    VehicleEntry(2, 4, 600, {{0, RailcarTag(7, 100, 9, 14)}}, 14),
                                    VehicleEntry(3, 4, 600, {{kFlagA, RailcarTag(0, 100, 9)}}),
                                    VehicleEntry(4, 4, 600, {{0, std::string(20, ' ')}})})
                           .Build();
    const Scan s = ScanConsist(dir, input);
    EXPECT_EQ(s.run.status, 0);
    EXPECT_EQ(s.run.out, kBanner + " 0\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"T1.035"});
}

TEST(IdsweepOutput, TheExtensionIsUpperCasedAndMayCarryItsDot) {
    TempDir dir;
    const auto input = ConsistFile({VehicleEntry(1, 4, 600, {{0, RailcarTag(7, 600, 5)}})}).Build();
    WriteFileBytes(dir.File("T1.035"), input);
    RunResult r = Idsweep(dir, {"t1", "tmp"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kBanner + " 1\n" + kWritten);
    r = Idsweep(dir, {"T1", ".out"});
    EXPECT_EQ(r.out, kBanner + " 1\n\nFile written(\"T1.OUT\").\n");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"T1.035", "T1.OUT", "T1.TMP"}));
    // Scanning the same consist again gives the same file.
    EXPECT_EQ(ReadFileBytes(dir.File("T1.OUT")), ReadFileBytes(dir.File("T1.TMP")));
    EXPECT_EQ(FlagsOf(DataOf(ReadFileBytes(dir.File("T1.TMP"))), 0), kFlagA);
}

TEST(IdsweepOutput, TheConsistsOwnExtensionIsRefusedBeforeAnyFileIsOpened) {
    TempDir dir;  // no consist at all: an open would be reported
    for (const std::string ext : {".035", "035", ""}) {
        const RunResult r = Idsweep(dir, {"T1", ext});
        EXPECT_EQ(r.status, 32767 & 0xFF) << ext;
        EXPECT_EQ(r.err, "\nOuput extension may not match <<<.035>>> or <<<035>>>.\n");
        EXPECT_EQ(r.out.rfind("\nUsage: ", 0), 0u) << r.out;
    }
    EXPECT_TRUE(dir.List().empty());
}

TEST(IdsweepOutput, AnOutputThatCannotBeWrittenIsReported) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("T1.TMP").c_str(), 0755), 0);
    WriteFileBytes(dir.File("T1.035"), ConsistFile({VehicleEntry(1, 4, 600, {{0, RailcarTag(7, 600, 5)}})}).Build());
    const RunResult r = Idsweep(dir);
    EXPECT_EQ(r.status, 32760 & 0xFF);
    EXPECT_EQ(r.err, "\nSave failed 5, file <<<T1.TMP>>>.\n");
    EXPECT_EQ(r.out.rfind(kBanner + " 1\n", 0), 0u) << r.out;
}

TEST(IdsweepCommandLine, UsageAndNameAndOpenFailures) {
    TempDir dir;
    RunResult r = Idsweep(dir, {});
    EXPECT_EQ(r.status, 32767 & 0xFF);
    EXPECT_NE(r.out.find(" \"TRAINFILE BASE NAME\" [TMP]\n\n       The optional output file extension TMP above is the "
                         "default, .TMP will work the same. Do not use 035 or .035.\n       If a railcar shows"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("write the results to the output file.\n\nBuilt: "), std::string::npos);

    EXPECT_EQ(Idsweep(dir, {"T1", "TMP", "X"}).status, 32767 & 0xFF);
    EXPECT_EQ(Idsweep(dir, {"T1.035"}).status, 32766 & 0xFF);
    EXPECT_EQ(Idsweep(dir, {"T?"}).status, 32765 & 0xFF);
    r = Idsweep(dir, {std::string(257, 'B')});
    EXPECT_EQ(r.status, 32764 & 0xFF);
    EXPECT_NE(r.err.find("length plus extension exceeds 260"), std::string::npos);

    r = Idsweep(dir);
    EXPECT_EQ(r.status, 32762 & 0xFF);
    EXPECT_EQ(r.err, "\nOpen failed 32762, file <<<T1.035>>> length 0 less than header length 64.\n");
    EXPECT_EQ(r.out, "");
    // An empty base name names the bare extension, which is not there.
    r = Idsweep(dir, {""});
    EXPECT_EQ(r.status, 32762 & 0xFF);
    EXPECT_EQ(r.err, "\nOpen failed 32762, file <<<.035>>> length 0 less than header length 64.\n");
    EXPECT_EQ(r.out, "");

    ConsistFile({}).Write(dir.File("T1.035"));
    r = Idsweep(dir);
    EXPECT_EQ(r.status, 32761 & 0xFF);
    EXPECT_EQ(r.err, "\nEmpty file <<<T1.035>>>.\n");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"T1.035"});
}

TEST(IdsweepMalformed, OnlyWholeTagBlocksAndWalkableEntriesAreScanned) {
    TempDir dir;
    const std::string tag = RailcarTag(7, 600, 5);
    auto claimsTwo = VehicleEntry(1, 4, 600, {{0, tag}});
    layout::Set(claimsTwo, 0, cs::kTagCount, 200);  // holds one block only
    auto cutShort = VehicleEntry(3, 4, 600, {{0, tag}});
    layout::Set(cutShort, 0, cs::kLength, 400);  // runs past the data
    const auto whole = VehicleEntry(2, 4, 600, {{0, tag}});
    const auto input = ConsistFile({claimsTwo, whole, cutShort}).Build();
    const Scan s = ScanConsist(dir, input);
    EXPECT_EQ(s.run.signal, 0);
    EXPECT_EQ(s.run.status, 0);
    EXPECT_NE(s.run.out.find(" 2\n"), std::string::npos) << s.run.out;
    EXPECT_EQ(s.output,
              ConsistFile({WithFlags(claimsTwo, 0, kFlagA), WithFlags(whole, 0, kFlagA), cutShort}).Build());

    auto stuck = VehicleEntry(2, 4, 600, {{0, tag}});
    layout::Set(stuck, 0, cs::kLength, 0);
    const Scan t = ScanConsist(dir, ConsistFile({VehicleEntry(1, 4, 600, {{0, tag}}), stuck}).Count(3).Build());
    EXPECT_EQ(t.run.signal, 0);
    EXPECT_EQ(t.run.status, 0);
    EXPECT_NE(t.run.out.find(" 1\n"), std::string::npos) << t.run.out;
}

TEST(IdsweepMalformed, AFixedEntryLengthInTheHeaderDoesNotHideTagBlocks) {
    TempDir dir;
    // Consist entries are walked by their own lengths whatever the header's
    // entry length field says.
    const auto entry = VehicleEntry(1, 4, 600, {{0, RailcarTag(7, 600, 5)}});
    const auto input = ConsistFile({entry, entry}).RecordLength(40).Build();
    const Scan s = ScanConsist(dir, input);
    EXPECT_EQ(s.run.out, kBanner + " 2\n" + kWritten);
    EXPECT_EQ(s.output, ConsistFile({WithFlags(entry, 0, kFlagA), WithFlags(entry, 0, kFlagA)}).RecordLength(40).Build());
}
