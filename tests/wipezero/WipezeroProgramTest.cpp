// Runs the real Wipezero: its command line and usage text, which files of a
// train it visits and which it leaves alone, repeated runs, save failures
// and malformed files.
#include "AxleLayout.h"
#include "ConsistLayout.h"
#include "DetectorLayout.h"
#include "SummaryLayout.h"
#include "WideText.h"
#include "WipezeroFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

using namespace wipetest;
using fixture::TrainFileBuilder;
namespace cs = layout::consist;

namespace {

const char kUsageDescription[] =
    "\n       Set the reserved data areas for the Velmar binary files to all zero bytes.\n\nBuilt: ";

}  // namespace

TEST(WipezeroCommandLine, WrongArgumentsPrintTheUsageAndExit255) {
    Train t;
    const std::vector<uint8_t> before = t.Write("00008901.010", FixedFile(L".010", 8, 1));
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"00008901", "00008901"}}) {
        ASSERT_EQ(t.Run(args).status, kShellUsage);
        EXPECT_EQ(t.run.out.rfind("\nUsage: ", 0), 0u) << t.run.out;
        EXPECT_NE(t.run.out.find(" \"TRAINFILE BASE NAME\"\n"), std::string::npos);
        EXPECT_NE(t.run.out.find(kUsageDescription), std::string::npos);
    }

    ASSERT_EQ(t.Run({"00008901.010"}).status, kShellUsage);
    EXPECT_EQ(t.run.err, "\n\"TRAINFILE BASE NAME\" may not contain an extension.\n");
    EXPECT_NE(t.run.out.find(kUsageDescription), std::string::npos);

    ASSERT_EQ(t.Run({"00008902"}).status, kShellUsage);
    EXPECT_EQ(t.run.err, "\nNo files found matching \"00008902.*\".\n");
    EXPECT_NE(t.run.out.find("\nUsage: "), std::string::npos);

    ASSERT_EQ(t.Run({""}).status, kShellUsage);
    EXPECT_EQ(t.Bytes("00008901.010"), before);
}

TEST(WipezeroSearch, UnknownAndUnidentifiedFilesAreLeftAloneSilently) {
    Train t;
    const std::map<std::string, std::vector<uint8_t>> left = {
        {"00008901.TXT", t.Write("00008901.TXT", FixedFile(L".010", 8, 2))},
        {"00008901.01D", t.Write("00008901.01D", FixedFile(L".01D", 0, 0))},
        {"00008901.LOG", t.Write("00008901.LOG", FixedFile(L".LOG", 8, 1))},
        {"00008901.XTR", t.Write("00008901.XTR", FixedFile(L".XTR", 8, 1))},
        // Header words that the extension's rows do not accept.
        {"00008901.011", t.Write("00008901.011", FixedFile(L".011", 8, 2).Type(9, 9))},
        {"00008901.012", t.Write("00008901.012", FixedFile(L".012", 8, 2).TruncateTo(40))},
        {"00008901.013", t.Write("00008901.013", TrainFileBuilder().TruncateTo(0))},
        {"00008901", t.Write("00008901", FixedFile(L".010", 8, 1))},
    };
    std::filesystem::create_directory(t.File("00008901.007"));
    t.Write("00008901.010", FixedFile(L".010", 8, 1));
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_EQ(t.run.out, Zeroed("00008901.010", "0x010", 1));
    EXPECT_EQ(t.run.err, "");
    for (const auto& [name, bytes] : left) EXPECT_EQ(t.Bytes(name), bytes) << name;
}

TEST(WipezeroSearch, WildcardsLetterCaseAndADirectoryPart) {
    Train t;
    t.Write("00008901.010", FixedFile(L".010", 8, 1));
    t.Write("00008902.o12", FixedFile(L".O12", 8, 1));  // extensions match in any letter case
    t.Write("00008999.010", FixedFile(L".010", 8, 1));
    ASSERT_EQ(t.Run({"0000890?"}).status, kShellSuccess);
    EXPECT_EQ(t.run.out, Zeroed("00008901.010", "0x010", 1) + Zeroed("00008902.o12", "0x012", 1));

    // A lower-case base name finds the upper-case files.
    t.Write("TRAINX.036", FixedFile(L".036", 48, 1));
    ASSERT_EQ(t.Run({"trainx"}).status, kShellSuccess);
    EXPECT_EQ(t.run.out, Zeroed("TRAINX.036", "0x036", 2));

    // A base name with a directory part: the files are opened and rewritten
    // in that directory, whatever the current directory is.
    std::filesystem::create_directory(t.File("sub"));
    std::vector<uint8_t> expect = t.Write("sub/00008901.010", FixedFile(L".010", 8, 1));
    t.Write("00008901.010", FixedFile(L".010", 8, 1));
    const std::vector<uint8_t> here = t.Bytes("00008901.010");
    ASSERT_EQ(t.Run({"sub/00008901"}).status, kShellSuccess);
    EXPECT_EQ(t.run.out, Zeroed("00008901.010", "0x010", 1));
    ZeroAt(expect, 0, rz::Range{layout::axle::kSummaryZeroBegin, layout::axle::kSummaryZeroEnd});
    EXPECT_EQ(t.Bytes("sub/00008901.010"), expect);
    EXPECT_EQ(t.Bytes("00008901.010"), here);

    fixture::TempDir elsewhere;
    t.Write("sub/00008902.010", FixedFile(L".010", 8, 1));
    t.run = fixture::RunProgram(fixture::ProgramPath("Wipezero"), {t.File("sub/0000890*")}, elsewhere.Path());
    EXPECT_EQ(t.run.status, kShellSuccess);
    EXPECT_EQ(t.run.out, Zeroed("00008901.010", "0x010", 1) + Zeroed("00008902.010", "0x010", 1));
}

TEST(WipezeroRepeat, ASecondRunChangesNoByteAndReportsTheSameCounts) {
    Train t;
    const char* const names[] = {"00008901.007", "00008901.010", "00008901.012", "00008901.017", "00008901.034",
                                 "00008901.035", "00008901.036", "00008901.041", "00008901.060"};
    t.Write(names[0], FixedFile(L".007", 8, 3));
    t.Write(names[1], FixedFile(L".010", 8, 3));
    t.Write(names[2], FixedFile(L".012", 8, 3));
    t.Write(names[3], FixedFile(L".017", 8, 3).FileLength(5));
    t.Write(names[4], FixedFile(L".034", 180, 1));
    t.Write(names[5], TypedBuilder(L".035").Add(FullEntry(88, 2)).Add(FullEntry(56, 1)).RecordLength(0));
    t.Write(names[6], FixedFile(L".036", 48, 3));
    t.Write(names[7], FixedFile(L".041", 24, 3));
    t.Write(names[8], FixedFile(L".060", 64, 3));
    ASSERT_EQ(t.Run().status, kShellSuccess);
    const std::string firstOut = t.run.out;
    std::vector<std::vector<uint8_t>> first;
    for (const char* n : names) first.push_back(t.Bytes(n));

    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_EQ(t.run.out, firstOut);
    for (size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(t.Bytes(names[i]), first[i]) << names[i];
    EXPECT_NE(firstOut.find(Zeroed("00008901.035", "0x035", 3)), std::string::npos);
}

TEST(WipezeroSaving, AFileThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
    Train t;
    const std::vector<uint8_t> before = t.Write("00008901.010", FixedFile(L".010", 8, 1));
    t.Write("00008901.012", FixedFile(L".012", 8, 1));
    ASSERT_EQ(::chmod(t.File("00008901.010").c_str(), 0444), 0);
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_EQ(t.run.out,
              "00008901.010, type 0x010, is a valid Velmar file. Zeroed 1.Error 5 creating file \"00008901.010\"\n"
              " Error saving 00008901.010.\n" +
                  Zeroed("00008901.012", "0x012", 1));
    EXPECT_EQ(t.Bytes("00008901.010"), before);
}

TEST(WipezeroMalformed, CountsBeyondTheDataStopAtTheLastWholeRecord) {
    Train t;
    // Five records announced, two and a half present.
    std::vector<uint8_t> expect =
        t.Write("00008901.017", FixedFile(L".017", 8, 3).Count(5).TruncateTo(hdr::kSize + 20));
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_EQ(t.run.out,
              "Tried to go past end of file 00008901.017, type 0x017, new entry 2, file length old: 84, new: 88. "
              "Entry length: 8.\n" +
                  Zeroed("00008901.017", "0x017", 3));
    ZeroAt(expect, 0, rz::kCommonHeader);
    for (size_t i = 0; i < 2; ++i) ZeroAt(expect, RecordAt(i, 8), rz::k017Record);
    layout::Set(expect, 0, hdr::kFileLength, static_cast<uint32_t>(expect.size()));
    EXPECT_EQ(t.Bytes("00008901.017"), expect);  // the half record is kept as it was
}

TEST(WipezeroMalformed, OddEntryLengthsAndEmptyFilesNeverReachOutsideTheData) {
    Train t;
    // Entry length 0 in a fixed-length type; a detector file whose only
    // record is cut short; a summary of 100-byte records; an allocation
    // announcing more records than it holds; a header alone.
    std::vector<uint8_t> noLength = t.Write("00008901.017", FixedFile(L".017", 8, 2).RecordLength(0));
    std::vector<uint8_t> cut = t.Write("00008901.018", FixedFile(L".018", 16, 1).TruncateTo(hdr::kSize + 10));
    std::vector<uint8_t> summary = t.Write("00008901.034", FixedFile(L".034", 100, 1));
    t.Write("00008901.041", FixedFile(L".041", 24, 2).Count(9));
    t.Write("00008901.043", FixedFile(L".043", 64, 0).Count(7));
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_NE(t.run.out.find("No variable types allowed yet for file 00008901.017, type 0x017"), std::string::npos);
    EXPECT_NE(t.run.out.find(Zeroed("00008901.017", "0x017", 2)), std::string::npos) << t.run.out;
    EXPECT_NE(t.run.out.find(Zeroed("00008901.018", "0x018", 2)), std::string::npos);
    // The record under the cursor is cleaned as far as its bytes are there:
    // without an entry length it runs to the end of the data.
    ZeroAt(noLength, 0, rz::kCommonHeader);
    ZeroAt(noLength, hdr::kSize, rz::k017Record);
    layout::Set(noLength, 0, hdr::kFileLength, static_cast<uint32_t>(noLength.size()));
    EXPECT_EQ(t.Bytes("00008901.017"), noLength);
    ZeroAt(cut, 0, layout::detector::kReservedHeader);
    ZeroAt(cut, hdr::kSize, layout::detector::kReservedRecord);
    layout::Set(cut, 0, hdr::kFileLength, static_cast<uint32_t>(cut.size()));
    EXPECT_EQ(t.Bytes("00008901.018"), cut);
    EXPECT_NE(t.run.out.find(Zeroed("00008901.034", "0x034", 2)), std::string::npos);
    EXPECT_NE(t.run.out.find("new entry 2"), std::string::npos);
    EXPECT_NE(t.run.out.find(Zeroed("00008901.041", "0x041", 3)), std::string::npos);
    EXPECT_NE(t.run.out.find(Zeroed("00008901.043", "0x043", 1)), std::string::npos);
    // Of the summary record's reserved runs only those inside 100 bytes.
    ZeroAt(summary, 0, layout::summary::kReservedHeader);
    ZeroAt(summary, hdr::kSize, layout::summary::kReservedRecord[0]);
    EXPECT_EQ(t.Bytes("00008901.034"), summary);
    EXPECT_EQ(t.Bytes("00008901.043").size(), hdr::kSize);
}

TEST(WipezeroMalformed, ConsistRecordsOfZeroLengthOrRunningPastTheEnd) {
    Train t;
    // A zero-length record in the middle: it is reported, and the walk
    // cannot step past it.
    std::vector<uint8_t> zero = t.Write(
        "00008901.035",
        TypedBuilder(L".035").Add(FullEntry(56, 1)).Add(FullEntry(24, 0).U16(0, 0)).Add(FullEntry(24, 0)));
    // A first record longer than the whole data.
    std::vector<uint8_t> longer = t.Write(
        "00008901.037", TypedBuilder(L".037").Add(FullEntry(56, 1).U16(0, 400)).Add(FullEntry(24, 0)));
    ASSERT_EQ(t.Run().status, kShellSuccess);
    EXPECT_NE(t.run.out.find("035 Entry Length Error, file 00008901.035, record 1, length of 0 less than 24.\n"),
              std::string::npos)
        << t.run.out;
    EXPECT_NE(t.run.out.find(Zeroed("00008901.035", "0x035", 3)), std::string::npos);
    EXPECT_NE(t.run.out.find("Tried to go past end of file 00008901.037, type 0x000, new entry 1"), std::string::npos);
    EXPECT_NE(t.run.out.find(Zeroed("00008901.037", "0x035", 2)), std::string::npos);
    // The records after the zero-length one keep their bytes.
    const std::vector<uint8_t> after = t.Bytes("00008901.035");
    EXPECT_TRUE(std::equal(after.begin() + hdr::kSize + 56, after.end(), zero.begin() + hdr::kSize + 56));
    // The overlong record is cleaned where its bytes are present; the record
    // after it is never reached.
    ZeroAt(longer, 0, rz::kCommonHeader);
    layout::Set(longer, hdr::kSize, cs::kReserved23, 0);
    for (const auto& m : cs::kTagUsedBits)
        layout::Set(longer, hdr::kSize + cs::kTagBlock1, m.field,
                    layout::Get(longer, hdr::kSize + cs::kTagBlock1, m.field) & m.keep);
    EXPECT_EQ(t.Bytes("00008901.037"), longer);
}
