// traindump --check: each kind of damage the loaders would tolerate or
// repair silently is reported (status 1), clean files pass (0), and files
// that cannot be read or a bad command line give 2.
#include "AxleLayout.h"
#include "ConsistLayout.h"
#include "DumpSupport.h"
#include "EncodedTags.h"
#include "Records.h"

#include <sys/stat.h>

#include <filesystem>

using namespace dumptest;
using fixture::TempDir;
using fixture::TrainFileBuilder;

namespace {

std::vector<uint8_t> Axles(int n, TrainFileBuilder b = fixture::AxleFileBuilder()) {
    for (int i = 0; i < n; ++i) b.Add(fixture::AxleRecord(80, 1, 100u * i, uint16_t(i + 1)));
    return b.Build();
}

std::vector<uint8_t> Consist(std::vector<fixture::ConsistEntrySpec> specs) {
    std::vector<std::vector<uint8_t>> entries;
    for (const auto& s : specs) entries.push_back(fixture::ConsistEntry(s).Bytes());
    return fixture::ConsistFile(entries).Build();
}

const fixture::ConsistEntrySpec kLoco{.vehicle = 1, .axles = 4, .egc = 5};

struct DamageCase {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string line;  // the problem line the check prints
    std::vector<std::pair<std::string, std::vector<uint8_t>>> siblings = {};
};

std::vector<DamageCase> DamageCases() {
    using namespace fixture;
    std::vector<DamageCase> c;
    TrainFileBuilder lengthLie = AxleFileBuilder();
    c.push_back({"T.010", Axles(1, lengthLie.FileLength(999)), "  file-length: header file length 999, the file has 72 bytes"});
    TrainFileBuilder countLie = AxleFileBuilder();
    c.push_back({"T.010", Axles(2, countLie.Count(5)),
                 "  record-count: header counts 5 records, the data holds 2 whole records"});
    TrainFileBuilder partial = AxleFileBuilder();
    partial.Trailing({1, 2, 3});
    c.push_back({"T.010", Axles(2, partial), "  partial-record: partial last record: 3 of 8 bytes at offset 80"});
    TrainFileBuilder noLength = AxleFileBuilder();
    c.push_back({"T.010", Axles(2, noLength.RecordLength(0)),
                 "  record-length: record length 0 in a file of fixed records; walked as 8-byte records"});
    std::vector<uint8_t> truncated = Axles(1);
    truncated.resize(30);
    c.push_back({"T.010", truncated,
                 "  truncated-header: truncated header: 30 of 64 bytes"});
    c.push_back({"T.010", {}, "  empty: empty file: no header"});
    for (uint16_t len : {0, 1}) {
        fixture::ConsistEntrySpec bad = kLoco;
        bad.vehicle = 2;
        bad.lengthField = len;
        c.push_back({"T.035", Consist({kLoco, bad}),
                     "  walk-stops: walk stops at entry 1 (offset 88): length " + std::to_string(len) +
                         "; 24 bytes after it are not reached"});
    }
    fixture::ConsistEntrySpec longer = kLoco;
    longer.lengthField = 500;
    c.push_back({"T.035", Consist({kLoco, longer}),
                 "  walk-stops: walk stops at entry 1 (offset 88): length 500, only 24 bytes left"});
    fixture::ConsistEntrySpec shortTags = kLoco;
    shortTags.reads = {{.text = TagText(5, "UP", 1)}};
    shortTags.tagCount = 2;
    c.push_back({"T.035", Consist({shortTags}),
                 "  entry-short: entry 0 is 56 bytes, its vehicle part and 2 tag block(s) need 88"});
    fixture::ConsistEntrySpec junkTag = kLoco;
    junkTag.reads = {{.text = "????????????????????"}};
    c.push_back({"T.035", Consist({kLoco, junkTag}),
                 "  tag-text: entry 1 tag 1: \"????????????????????\" does not decode"});
    std::vector<uint8_t> wrongFormat = Consist({kLoco});
    wrongFormat[0] = 0x01, wrongFormat[1] = 0x05;
    c.push_back({"T.035", wrongFormat,
                 "  not-identified: not identified: .035 names type 0x035, but format word 0x0100 expected, 0x0501 "
                 "found"});
    c.push_back({"T.012", WheelFileBuilder().Add(WheelRecord(0, 10)).Add(WheelRecord(1, 5)).Build(),
                 "  time-order: record 1 at raw time 5, before 10"});
    c.push_back({"T.060",
                 TagReadFileBuilder().Format(0x0100).Add(TagReadRecord({.text = "????????????????????"})).Build(),
                 "  tag-text: record 0: \"????????????????????\" does not decode"});
    c.push_back({"T.041",
                 AllocFileBuilder().Add(AllocRecord({.first = 0, .last = 3})).Add(AllocRecord({.first = 3, .last = 6}))
                     .Build(),
                 "  alloc-overlap: record 1: axles 3-6 overlap the previous record's, which ends at 3"});
    c.push_back({"T.041",
                 AllocFileBuilder().Add(AllocRecord({.first = 0, .last = 3})).Add(AllocRecord({.first = 4, .last = 9}))
                     .Build(),
                 "  alloc-outside: record 1: axles 4-9, the .010 holds 8 axles", {{"T.010", Axles(8)}}});
    c.push_back({"T.041", AllocFileBuilder().Add(AllocRecord({.first = 5, .last = 2})).Build(),
                 "  alloc-range: record 0: first axle 5 after last axle 2"});
    // An extension the type table does not know, over the header of no
    // known type either.
    std::vector<uint8_t> stranger = Axles(1);
    stranger[0] = 0x77, stranger[2] = 0x77;
    c.push_back({"T.XYZ", stranger,
                 "  not-identified: not identified: the extension .XYZ is not in the type table and the header "
                 "words match no type"});
    // Correlation cars: a car of 2 axles (30 bytes) at offset 64, then a
    // second car of 2 axles whose length field lies.
    const fixture::CorrelationCarSpec twoAxles{.car = 1, .axles = {{}, {}}};
    auto cars = [&](std::optional<uint16_t> secondLength, TrainFileBuilder b = CorrelationFileBuilder()) {
        fixture::CorrelationCarSpec second = twoAxles;
        second.car = 2;
        second.length = secondLength;
        return b.Add(CorrelationCar(twoAxles)).Add(CorrelationCar(second));
    };
    for (uint16_t len : {0, 9})
        c.push_back({"T.071", cars(len).Build(),
                     "  walk-stops: walk stops at car 1 (offset 94): length " + std::to_string(len) +
                         "; 30 bytes after it are not reached"});
    c.push_back({"T.071", cars(25).Build(),
                 "  walk-stops: walk stops at car 1 (offset 94): length 25, not 10 + 10 x n; 30 bytes after it are "
                 "not reached"});
    c.push_back({"T.071", cars(40).Build(), "  walk-stops: walk stops at car 1 (offset 94): length 40, only 30 bytes left"});
    c.push_back({"T.071", cars({}).Count(3).Build(), "  record-count: header counts 3 cars, 2 walked"});
    c.push_back({"T.071", cars({}, CorrelationFileBuilder().FileLength(64)).Build(),
                 "  file-length: header file length 64, the file has 124 bytes"});
    c.push_back({"T.071", cars({}, CorrelationFileBuilder().Trailing({0x0a})).Build(),
                 "  partial-record: 1 byte after the last car at offset 124"});
    return c;
}

}  // namespace

TEST(TraindumpCheck, EachKindOfDamageIsReportedWithStatus1) {
    for (DamageCase& c : DamageCases()) {
        SCOPED_TRACE(c.line);
        TempDir dir;
        fixture::WriteFileBytes(dir.File(c.name), c.bytes);
        for (const auto& [name, bytes] : c.siblings) fixture::WriteFileBytes(dir.File(name), bytes);
        const fixture::RunResult r = Dump(dir, {"--check", c.name});
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(Contains(r.out, c.line + "\n")) << r.out;
        // The dump itself shows the same finding and succeeds.
        const fixture::RunResult d = Dump(dir, {c.name});
        EXPECT_EQ(d.status, 0);
        EXPECT_TRUE(Contains(d.out, c.line + "\n")) << d.out;
    }
}

TEST(TraindumpCheck, CleanFilesPassAndOddNamesAreIdentifiedByTheirHeaderWords) {
    TempDir dir;
    fixture::WriteFileBytes(dir.File("T.010"), Axles(3));
    fixture::WriteFileBytes(dir.File("T.0AP"), {' '});
    fixture::WriteFileBytes(dir.File("T.TMP"), Consist({kLoco}));
    fixture::RunResult r = Dump(dir, {"--check", "T.010", "T.0AP", "T.TMP"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "T.010: clean\nT.0AP: clean\nT.TMP: clean\n");
    r = Dump(dir, {"T.TMP"});
    EXPECT_TRUE(Contains(r.out, "type: type 0x035 by its header words (.035); the extension .TMP is not in the type "
                                "table\n"))
        << r.out;
    EXPECT_FALSE(LineStarting(r.out, "entry 0 @64: ").empty());

    // Trains and files mix on one command line; damage in any gives 1.
    fixture::WriteFileBytes(dir.File("U.010"), Axles(2, fixture::AxleFileBuilder().Count(7)));
    EXPECT_EQ(Dump(dir, {"--check", "T", "T.010"}).status, 0);
    r = Dump(dir, {"--check", "T", "U"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Contains(r.out, "train T: 3 files\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "train U: 1 file\n")) << r.out;
}

TEST(TraindumpCheck, UnreadableFilesAndBadCommandLinesGiveStatus2) {
    TempDir dir;
    fixture::WriteFileBytes(dir.File("T.010"), Axles(3));
    std::filesystem::create_directory(dir.File("D.010"));
    ASSERT_EQ(::mkfifo(dir.File("P.010").c_str(), 0600), 0);

    fixture::RunResult r = Dump(dir, {"--check", "T.010", "MISSING.010"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "traindump: MISSING.010: no such file\n");
    EXPECT_EQ(r.out, "T.010: clean\n");
    r = Dump(dir, {"D.010"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "traindump: D.010: is a directory\n");
    r = Dump(dir, {"--check", "P.010"});  // a pipe nobody writes: refused, not waited on
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Contains(r.err, "P.010: cannot be read")) << r.err;
    r = Dump(dir, {"NOTRAIN"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "traindump: no files of the train NOTRAIN\n");
    r = Dump(dir, {});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Contains(r.err, "traindump: no file or train named\n"));
}
