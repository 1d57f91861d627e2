// Weighpost run on fixture trains: which consist records receive which
// scale entries, what happens to the sub-records they already carry, when
// the consist is rewritten, and every way the files can fail to open.
#include "ScaleRecords.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace fixture;
namespace cs = layout::consist;
namespace hdr = layout::header;

namespace {

const std::string kBanner = "\n----------------------------------------\nWeighpost(\"T1.055\") ...";

RunResult Weighpost(const TempDir& dir, const std::vector<std::string>& args = {"T1"}) {
    return RunProgram(ProgramPath("Weighpost"), args, dir.Path());
}

// The file the program should leave: the input header with the file length
// of the new data, then the new data.
std::vector<uint8_t> Rewritten(const std::vector<uint8_t>& input, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> file(input.begin(), input.begin() + hdr::kSize);
    layout::Set(file, 0, hdr::kFileLength, uint32_t(hdr::kSize + data.size()));
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

uint32_t HeaderField(const std::vector<uint8_t>& file, const layout::Field& f) { return layout::Get(file, 0, f); }

}  // namespace

TEST(WeighpostAssignment, RailcarsTakeTheScaleEntriesInOrderPassingOverLocomotives) {
    TempDir dir;
    ScaleFile(3).Write(dir.File("T1.055"));
    const auto input = ConsistFile({VehicleEntry(1, 19), VehicleEntry(2, 5), VehicleEntry(3, 14), VehicleEntry(4, 19)})
                           .Build();
    WriteFileBytes(dir.File("T1.035"), input);

    const RunResult r = Weighpost(dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kBanner + " 1\n");
    EXPECT_EQ(r.err, "");
    const auto data = Concat({VehicleEntry(1, 19, 1, {ScaleSubRecord(1)}), VehicleEntry(2, 5),
                              VehicleEntry(3, 14, 1, {ScaleSubRecord(2)}), VehicleEntry(4, 19, 1, {ScaleSubRecord(3)})});
    const auto output = ReadFileBytes(dir.File("T1.035"));
    EXPECT_EQ(output, Rewritten(input, data));
    EXPECT_EQ(HeaderField(output, hdr::kRecordCount), 4u);
    EXPECT_EQ(HeaderField(output, hdr::kFileLength), output.size());
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"T1.035", "T1.055"}));
}

TEST(WeighpostAssignment, TheGroupFlag128IsRemovedOnlyAbove128) {
    TempDir dir;
    ScaleFile(3).Write(dir.File("T1.055"));
    const auto input =
        ConsistFile({VehicleEntry(1, 128), VehicleEntry(2, 147), VehicleEntry(3, 128 + 14), VehicleEntry(4, 128 + 5)})
            .Build();
    WriteFileBytes(dir.File("T1.035"), input);

    EXPECT_EQ(Weighpost(dir).status, 0);
    const auto data = Concat({VehicleEntry(1, 128), VehicleEntry(2, 147, 1, {ScaleSubRecord(1)}),
                              VehicleEntry(3, 128 + 14, 1, {ScaleSubRecord(2)}), VehicleEntry(4, 128 + 5)});
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")), Rewritten(input, data));
}

TEST(WeighpostAssignment, SurplusScaleEntriesAreIgnoredAndSurplusCarsGetNone) {
    TempDir dir;
    ScaleFile(5).Write(dir.File("T1.055"));
    const auto input = ConsistFile({VehicleEntry(1, 19, 0), VehicleEntry(2, 19, 2)}).Build();
    WriteFileBytes(dir.File("T1.035"), input);
    EXPECT_EQ(Weighpost(dir).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")),
              Rewritten(input, Concat({VehicleEntry(1, 19, 0, {ScaleSubRecord(1)}),
                                       VehicleEntry(2, 19, 2, {ScaleSubRecord(2)})})));

    ScaleFile(1).Write(dir.File("T1.055"));
    EXPECT_EQ(Weighpost(dir).out, kBanner + " 1\n");
    // The second car loses the entry it had; nothing takes its place.
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")),
              Rewritten(input, Concat({VehicleEntry(1, 19, 0, {ScaleSubRecord(1)}), VehicleEntry(2, 19, 2)})));
}

TEST(WeighpostSubRecords, OldScaleSubRecordsAreReplacedAndOthersKeptInOrder) {
    TempDir dir;
    ScaleFile(2).Write(dir.File("T1.055"));
    const auto other = SubRecord(9, {1, 2, 3, 4, 5, 6});
    const auto another = SubRecord(0x56, {7, 8});
    const auto input = ConsistFile({VehicleEntry(1, 19, 1, {ScaleSubRecord(7), other, ScaleSubRecord(8), another}),
                                    VehicleEntry(2, 5, 1, {ScaleSubRecord(9), other}),
                                    VehicleEntry(3, 14, 2, {another})})
                           .Build();
    WriteFileBytes(dir.File("T1.035"), input);

    EXPECT_EQ(Weighpost(dir).status, 0);
    const auto data = Concat({VehicleEntry(1, 19, 1, {ScaleSubRecord(1), other, another}),
                              VehicleEntry(2, 5, 1, {other}), VehicleEntry(3, 14, 2, {ScaleSubRecord(2), another})});
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")), Rewritten(input, data));
}

TEST(WeighpostSubRecords, ShortLengthsCountAsFourAndLongOnesAreCutToTheRecord) {
    TempDir dir;
    ScaleFile(1).Write(dir.File("T1.055"));
    // Lengths 0 and 2 step 4 bytes; a remainder of 3 bytes is dropped.
    const auto zero = SubRecord(9, {}, 0);
    const auto two = SubRecord(0x0055, {}, 2);
    const auto input = ConsistFile({VehicleEntry(1, 5, 1, {zero, two, {0xAA, 0xBB, 0xCC}}),
                                    // Claims 200 bytes; only 10 remain in the record.
                                    VehicleEntry(2, 19, 0, {SubRecord(9, {1, 2, 3, 4, 5, 6}, 200)})})
                           .Build();
    WriteFileBytes(dir.File("T1.035"), input);

    EXPECT_EQ(Weighpost(dir).status, 0);
    const auto data = Concat({VehicleEntry(1, 5, 1, {zero}),
                              VehicleEntry(2, 19, 0, {ScaleSubRecord(1), SubRecord(9, {1, 2, 3, 4, 5, 6}, 200)})});
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")), Rewritten(input, data));
}

TEST(WeighpostFiles, TheRepairedConsistIsPreferredAndTheOtherLeftAlone) {
    TempDir dir;
    ScaleFile(1).Write(dir.File("T1.055"));
    const auto original = ConsistFile({VehicleEntry(1, 19)}).Build();
    const auto repaired = ConsistFile({VehicleEntry(1, 5), VehicleEntry(2, 19)}).Build();
    WriteFileBytes(dir.File("T1.035"), original);
    WriteFileBytes(dir.File("T1.037"), repaired);

    EXPECT_EQ(Weighpost(dir).out, kBanner + " 1\n");
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")), original);
    EXPECT_EQ(ReadFileBytes(dir.File("T1.037")),
              Rewritten(repaired, Concat({VehicleEntry(1, 5), VehicleEntry(2, 19, 1, {ScaleSubRecord(1)})})));
}

TEST(WeighpostFiles, ASecondRunFindsNothingToChangeAndDoesNotWrite) {
    TempDir dir;
    ScaleFile(2).Write(dir.File("t1.055"));
    ConsistFile({VehicleEntry(1, 19), VehicleEntry(2, 14)}).Write(dir.File("t1.035"));
    // Lower-case files and base name: the names resolve to the same files.
    EXPECT_EQ(Weighpost(dir, {"t1"}).out, kBanner + " 1\n");
    const auto first = ReadFileBytes(dir.File("t1.035"));

    // A write attempt on a read-only file would be reported.
    ASSERT_EQ(chmod(dir.File("t1.035").c_str(), 0444), 0);
    const RunResult again = Weighpost(dir, {"t1"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, kBanner + " 0\n");
    EXPECT_EQ(ReadFileBytes(dir.File("t1.035")), first);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"t1.035", "t1.055"}));
}

TEST(WeighpostFiles, AFailedWriteIsReportedInTheStatus) {
    TempDir dir;
    ScaleFile(1).Write(dir.File("T1.055"));
    const auto input = ConsistFile({VehicleEntry(1, 19)}).Build();
    WriteFileBytes(dir.File("T1.035"), input);
    ASSERT_EQ(chmod(dir.File("T1.035").c_str(), 0444), 0);
    const RunResult r = Weighpost(dir);
    EXPECT_EQ(r.status, 32759 & 0xFF);
    EXPECT_NE(r.out.find("Error 5 creating file \""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 3), " 1\n");
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")), input);
}

TEST(WeighpostFiles, OpenFailuresAreNumberedOneBelowTheLibrary) {
    TempDir dir;
    RunResult r = Weighpost(dir);  // no .055
    EXPECT_EQ(r.status, 32761 & 0xFF);
    EXPECT_EQ(r.err, "\nOpen failed 32761, file <<<T1.055>>> length 0 less than header length 64.\n");
    EXPECT_EQ(r.out, "");
    r = Weighpost(dir, {""});  // an empty base name names the bare extension
    EXPECT_EQ(r.status, 32761 & 0xFF);
    EXPECT_EQ(r.err, "\nOpen failed 32761, file <<<.055>>> length 0 less than header length 64.\n");
    EXPECT_EQ(r.out, "");

    WriteFileBytes(dir.File("T1.055"), std::vector<uint8_t>(40, 1));
    r = Weighpost(dir);
    EXPECT_EQ(r.status, 32761 & 0xFF);
    EXPECT_EQ(r.err, "\nOpen failed 32761, file <<<T1.055>>> length 40 less than header length 64.\n");

    ScaleFile(0).Write(dir.File("T1.055"));  // exactly 64 bytes
    r = Weighpost(dir);
    EXPECT_EQ(r.status, 32760 & 0xFF);
    EXPECT_EQ(r.err, "\nEmpty file <<<T1.055>>>.\n");

    ScaleFile(1).Write(dir.File("T1.055"));
    WriteFileBytes(dir.File("T1.037"), std::vector<uint8_t>(20, 0));  // too short: the .035 is tried next
    r = Weighpost(dir);
    EXPECT_EQ(r.status, 32762 & 0xFF);
    EXPECT_EQ(r.err, "\nFile open error <<<T1.035>>>.\n");
    EXPECT_EQ(r.out, "");

    ConsistFile({}).Write(dir.File("T1.035"));
    r = Weighpost(dir);
    EXPECT_EQ(r.status, 32760 & 0xFF);
    EXPECT_EQ(r.err, "\nEmpty file <<<T1.035>>>.\n");
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")), ConsistFile({}).Build());
}

TEST(WeighpostCommandLine, ArgumentsAreCheckedBeforeAnyFile) {
    TempDir dir;
    RunResult r = Weighpost(dir, {});
    EXPECT_EQ(r.status, 32767 & 0xFF);
    EXPECT_NE(r.out.find("\nUsage: "), std::string::npos);
    EXPECT_NE(r.out.find(" \"TRAINFILE BASE NAME\"\n\n       Assign 055 scale date to 035 using scale sequence "
                         "numbers, but skipping distributed power.\n\nBuilt: "),
              std::string::npos)
        << r.out;

    r = Weighpost(dir, {"T1", "T2"});
    EXPECT_EQ(r.status, 32767 & 0xFF);
    EXPECT_NE(r.out.find("\nUsage: "), std::string::npos);

    r = Weighpost(dir, {"T1.035"});
    EXPECT_EQ(r.status, 32766 & 0xFF);
    EXPECT_EQ(r.err, "\nTRAINFILE BASE NAME must not contain extension.\n");

    r = Weighpost(dir, {"T*"});
    EXPECT_EQ(r.status, 32765 & 0xFF);
    EXPECT_EQ(r.out, "\nTRAINFILE BASE NAME must not contain (?*) wildcards!\n");

    const std::string longName(257, 'A');
    r = Weighpost(dir, {longName});
    EXPECT_EQ(r.status, 32763 & 0xFF);
    EXPECT_EQ(r.err, "\nTRAINFILE BASE NAME length plus extension exceeds 260, the max allowed, TRAINFILE BASE NAME <<<" +
                         longName + ">>>, extension <<<.055>>>.\n");
    EXPECT_EQ(r.out, "\n055 file name format error.\n");
}

// Malformed consists: nothing is read or written outside the data, and what
// cannot be rebuilt is kept byte for byte.
TEST(WeighpostMalformed, ARecordTooShortForItsTagBlocksKeepsItsBytesAndItsCarsWeighing) {
    TempDir dir;
    ScaleFile(3).Write(dir.File("T1.055"));
    auto shortRecord = VehicleEntry(2, 19, 0, {ScaleSubRecord(7)});
    layout::Set(shortRecord, 0, cs::kTagCount, 2);  // asks for 88 bytes; holds 52
    const auto input = ConsistFile({VehicleEntry(1, 19), shortRecord, VehicleEntry(3, 19)}).Build();
    WriteFileBytes(dir.File("T1.035"), input);

    EXPECT_EQ(Weighpost(dir).status, 0);
    const auto data = Concat(
        {VehicleEntry(1, 19, 1, {ScaleSubRecord(1)}), shortRecord, VehicleEntry(3, 19, 1, {ScaleSubRecord(3)})});
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")), Rewritten(input, data));
}

TEST(WeighpostMalformed, WhatTheWalkCannotReachIsKeptUnchanged) {
    TempDir dir;
    ScaleFile(3).Write(dir.File("T1.055"));
    auto stuck = VehicleEntry(2, 19);
    layout::Set(stuck, 0, cs::kLength, 0);  // cannot be stepped over
    auto cut = VehicleEntry(2, 19);
    layout::Set(cut, 0, cs::kLength, 500);  // runs past the data
    const std::vector<uint8_t> odd = {0x01};  // the next record's length reads 0x3801
    // The walk ends with the consist's message between the banner and the flag.
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {stuck, "Cannot step past entry 1 of file T1.035, type 0x000: entry length 0.\n"},
        {cut, "Tried to go past end of file T1.035, type 0x000, new entry 1, file length old: 232, new: 620. "
              "Entry length: 500.\n"},
        {odd, "Tried to go past end of file T1.035, type 0x000, new entry 1, file length old: 177, new: 14457. "
              "Entry length: 14337.\n"}};
    for (const auto& [tail, message] : cases) {
        const auto input = ConsistFile({VehicleEntry(1, 14)}).Trailing(Concat({tail, VehicleEntry(3, 19)})).Count(3).Build();
        WriteFileBytes(dir.File("T1.035"), input);
        const RunResult r = Weighpost(dir);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.out, kBanner + message + " 1\n");
        EXPECT_EQ(ReadFileBytes(dir.File("T1.035")),
                  Rewritten(input, Concat({VehicleEntry(1, 14, 1, {ScaleSubRecord(1)}), tail, VehicleEntry(3, 19)})));
    }
}

TEST(WeighpostMalformed, BytesAfterTheCountedRecordsAndCountsBeyondTheDataAreHarmless) {
    TempDir dir;
    ScaleFile(3).Write(dir.File("T1.055"));
    const std::vector<uint8_t> extra = {9, 9, 9};
    auto input = ConsistFile({VehicleEntry(1, 19)}).Trailing(Concat({VehicleEntry(2, 19), extra})).Build();
    WriteFileBytes(dir.File("T1.035"), input);
    EXPECT_EQ(Weighpost(dir).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")),
              Rewritten(input, Concat({VehicleEntry(1, 19, 1, {ScaleSubRecord(1)}), VehicleEntry(2, 19), extra})));

    input = ConsistFile({VehicleEntry(1, 19), VehicleEntry(2, 19)}).Count(900).Build();
    WriteFileBytes(dir.File("T1.035"), input);
    const RunResult r = Weighpost(dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kBanner +
                         "Tried to go past end of file T1.035, type 0x000, new entry 2, file length old: 176, new: "
                         "178. Entry length: 0.\n 1\n");
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")),
              Rewritten(input, Concat({VehicleEntry(1, 19, 1, {ScaleSubRecord(1)}),
                                       VehicleEntry(2, 19, 1, {ScaleSubRecord(2)})})));
}

TEST(WeighpostMalformed, ARecordThatWouldOutgrowItsLengthFieldIsKept) {
    TempDir dir;
    ScaleFile(2).Write(dir.File("T1.055"));
    const size_t room = 0xFFFF - cs::kOneTagSize - cs::kSubHeaderSize - 10;
    const auto big = VehicleEntry(1, 19, 1, {SubRecord(9, std::vector<uint8_t>(room, 7))});
    const auto input = ConsistFile({big, VehicleEntry(2, 19)}).Build();
    WriteFileBytes(dir.File("T1.035"), input);
    EXPECT_EQ(Weighpost(dir).status, 0);
    EXPECT_EQ(ReadFileBytes(dir.File("T1.035")),
              Rewritten(input, Concat({big, VehicleEntry(2, 19, 1, {ScaleSubRecord(2)})})));
}

TEST(WeighpostMalformed, ScaleFilesWithOddEntriesNeverCrash) {
    TempDir dir;
    ConsistFile({VehicleEntry(1, 19), VehicleEntry(2, 19), VehicleEntry(3, 19)}).Write(dir.File("T1.035"));
    // Counts more entries than it holds; then entries shorter than 24 bytes;
    // then variable-length entries.
    const std::vector<TrainFileBuilder> scales = {ScaleFile(2).Count(50), ScaleFile(2).RecordLength(10),
                                                  ScaleFile(2).RecordLength(0)};
    for (const auto& scale : scales) {
        scale.Write(dir.File("T1.055"));
        const RunResult r = Weighpost(dir);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
    }
    // Less than one whole entry after the header counts as empty.
    ScaleFile(1).TruncateTo(70).Write(dir.File("T1.055"));
    const RunResult r = Weighpost(dir);
    EXPECT_EQ(r.status, 32760 & 0xFF);
    EXPECT_EQ(r.err, "\nEmpty file <<<T1.055>>>.\n");
}
