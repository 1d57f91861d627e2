// The real traindump on fixture files of every type: record lines field by
// field from the layout tables, values in the domain's units, the header,
// consist entries with tag blocks and sub-records, digitizer samples, and
// the options that cut a dump down.
#include "AllocLayout.h"
#include "AxleLayout.h"
#include "CarListLayout.h"
#include "ConsistLayout.h"
#include "DetectorLayout.h"
#include "DigitizerLayout.h"
#include "DumpSupport.h"
#include "EncodedTags.h"
#include "Event024Layout.h"
#include "HeaderLayout.h"
#include "InputStateLayout.h"
#include "IoLayout.h"
#include "Records.h"
#include "ScaleLayout.h"
#include "SummaryLayout.h"
#include "TagLayout.h"
#include "WheelLayout.h"

using namespace dumptest;
using fixture::Record;
using fixture::TempDir;
using fixture::TrainFileBuilder;

namespace {

struct TypeCase {
    const char* file;
    TrainFileBuilder builder;   // the file without its record
    Record record;              // its only record
    std::span<const layout::Field> fields;
    std::vector<std::string> decoded;  // parts of the line after the fields
};

std::vector<TypeCase> TypeCases() {
    using namespace fixture;
    std::vector<TypeCase> cases;
    cases.push_back({"T.010", AxleFileBuilder().TimeScale(1, 1), AxleRecord(323, 1, 1000, 7, layout::axle::kGapMarker),
                     layout::axle::kRecordFields,
                     {"| speed: 40 3/8 mph; speed_eighths: 323; direction: 1; time_ms: 100; gap_marker: 1"}});
    cases.push_back({"T.011", AxleFileBuilder(), AxleRecord(16, 0, 50, 18, 0x60), layout::axle::kRecordFields,
                     {"speed: 2 mph", "movement: backward"}});
    cases.push_back({"T.012", WheelFileBuilder(54), WheelRecord(1, 5000, 1), layout::wheel::kRecordFields,
                     {"| detector: B; event_flag: 1; time_ms: 5000"}});
    cases.push_back({"T.007", IoFileBuilder(), IoRecord(2000, 0x0300), layout::io::kRecordFields,
                     {"| time_ms: 2000; WDA: 1; WDB: 1; detector_event: 1"}});
    cases.push_back({"T.041", AllocFileBuilder(),
                     AllocRecord({.first = 4, .last = 7, .start = 100, .end = 400, .egc = 19, .seq = 1,
                                  .speed = (20 << 1) | 1}),
                     layout::alloc::kRecordFields,
                     {"| vehicle: 1; axles: 4; start_ms: 100; end_ms: 400; part: whole vehicle; speed: 20 mph; direction: 1"}});
    cases.push_back({"T.036", CarListFileBuilder(),
                     CarListRecord({.vehicle = 2, .firstAxle = 4, .axles = 4, .egc = 19, .status = 1,
                                    .initials = "TTX", .number = "100", .statusLetter = 'K'}),
                     layout::carlist::kRecordFields,
                     {"| initials: TTX; car_number: 100; status: L; tag_status: K"}});
    cases.push_back({"T.060", TagReadFileBuilder().Format(0x0100),
                     TagReadRecord({.time = 700, .text = TagText(19, "TTX", 100), .antenna = '1', .readCount = 0x1A,
                                    .eighths = 200, .dir = 1}),
                     layout::tagread::kRecordFields,
                     {"| time_ms: 700; tag_text: ", "; owner: TTX; number: 100; egc: 19; tag_type: 1; antenna: 1; "
                                                   "reads: 26; speed: 25 mph; speed_eighths: 200; direction: 1"}});
    cases.push_back({"T.055", ScaleFileBuilder(), ScaleRecord({.time = 900, .value4 = 120000, .value16 = 84}),
                     layout::scale::kEntryFields, {"| time_ms: 900; speed: 10 4/8 mph"}});
    Record summary(layout::summary::kRecordSize);
    summary.Text(layout::summary::kTrainIdOffset, "TRAIN 1")
        .Set(layout::summary::kFirstDate, 0x03142025)
        .Set(layout::summary::kFirstTime, 0x45001430)
        .Set(layout::summary::kLastDate, 0x03142025)
        .Set(layout::summary::kLastTime, 0x00001431);
    cases.push_back({"T.034", TrainFileBuilder().Format(0x0100).Type(4, 4), summary, layout::summary::kRecordFields,
                     {"| train_id: TRAIN 1; first: 03-14-25 14:30:45; last: 03-14-25 14:31:00"}});
    Record hbd(layout::detector::kRecordSize);
    hbd.Set(layout::detector::kNumber, 1).Set(layout::detector::kSide1Code, 'A').Set(layout::detector::kSide2Value, 300);
    cases.push_back({"T.018", TrainFileBuilder().Format(0).Type(1, 8), hbd, layout::detector::kRecordFields,
                     {"| side_1_code: A; side_2_code: 0x00"}});
    Record ev(layout::event024::kRecordSize);
    ev.Set(layout::event024::kTime, 65000);
    cases.push_back({"T.024", TrainFileBuilder().Format(0).Type(2, 4), ev, layout::event024::kRecordFields,
                     {"| time_ms: 65000", "; bytes 2-13: 00 00 00"}});
    Record st(layout::inputstate::kRecordSize);
    st.Set(layout::inputstate::kTime, 12).Set(layout::inputstate::kStates, 0x0300);
    cases.push_back({"T.01A", TrainFileBuilder().Format(0).Type(1, 10), st, layout::inputstate::kRecordFields,
                     {"| time_ms: 12"}});
    return cases;
}

}  // namespace

TEST(TraindumpText, OneRecordOfEachTypeShowsItsTableFieldByFieldAndItsDecodedValues) {
    for (TypeCase& c : TypeCases()) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        c.builder.Add(c.record).Write(dir.File(c.file));
        const fixture::RunResult r = Dump(dir, {c.file});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(Contains(r.out, "problems: none\n")) << r.out;
        const std::string line = LineStarting(r.out, "record 0 @64: ");
        ASSERT_FALSE(line.empty()) << r.out;
        EXPECT_EQ(line.rfind("record 0 @64: " + FieldsText(c.fields, c.record.Bytes()), 0), 0u) << line;
        for (const std::string& part : c.decoded) EXPECT_TRUE(Contains(line, part)) << line << "\nwanted: " << part;
    }
}

TEST(TraindumpText, HeaderShowsCommonAndTypeFieldsDateTimeScaleAndTheTypeAreaAsHex) {
    TempDir dir;
    fixture::WheelFileBuilder(54)
        .TimeScale(1, 1)
        .HeaderU8(layout::header::kDay.offset, 0x14)
        .HeaderU8(layout::header::kMonth.offset, 0x03)
        .HeaderU16(layout::header::kYear.offset, 0x2025)
        .HeaderU8(layout::header::kHours.offset, 0x08)
        .HeaderU8(layout::header::kMinutes.offset, 0x30)
        .HeaderU8(40, 0xAB)
        .Add(fixture::WheelRecord(0, 10))
        .Write(dir.File("T.012"));
    const fixture::RunResult r = Dump(dir, {"T.012"});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.out, "type: type 0x012 (.012)\n"));
    EXPECT_TRUE(Contains(r.out, "  @0  format = 1281 (0x0501)\n"));
    EXPECT_TRUE(Contains(r.out, "  @22 record count = 1\n"));
    EXPECT_TRUE(Contains(r.out, "  @34 AB spacing (tenths of an inch) = 54 (0x36)\n"));
    EXPECT_TRUE(Contains(r.out, "  @35 bytes 35-59: 00 00 00 00 00 ab 00")) << r.out;
    EXPECT_TRUE(Contains(r.out, "  decoded: format: 0x0501; date: 03-14-2025; time: 08:30:00; real_size: 72; "
                                "records_present: 1; ms_per_raw_unit: 0.1\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "records: 1 counted, 1 present, 8 bytes each\n"));
}

TEST(TraindumpText, ConsistEntryShowsTagBlocksWithDecodedTagsAndItsScaleSubRecord) {
    namespace cs = layout::consist;
    TempDir dir;
    const std::string tag = fixture::TagText(19, "GATX", 7);
    fixture::ScaleValues scale{.time = 50, .value4 = 98000, .value16 = 40};
    const Record entry = fixture::ConsistEntry(
        {.vehicle = 3, .axles = 4, .firstAxle = 8, .status = 1, .egc = 19,
         .reads = {{.flags = 0x0005, .text = tag}, {.text = "????????????????????"}},
         .after = {fixture::SubRecord(layout::scale::kSubRecordType, fixture::ScaleRecord(scale).Bytes())}});
    fixture::ConsistFile({entry.Bytes()}).Write(dir.File("T.035"));
    const fixture::RunResult r = Dump(dir, {"T.035"});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::vector<uint8_t>& b = entry.Bytes();
    const std::string line = LineStarting(r.out, "entry 0 @64: ");
    EXPECT_EQ(line, "entry 0 @64: " + FieldsText(cs::kEntryFields, b) + " | axles: 4; status: L") << r.out;
    const std::string t1 = LineStarting(r.out, "    tag block 1 @88: ");
    EXPECT_EQ(t1.rfind("    tag block 1 @88: " +
                           FieldsText(cs::kTagFields, std::span<const uint8_t>(b).subspan(cs::kTagBlock1, 32)) +
                           " | exceptions: WA; tag_text: " + tag + "; owner: GATX; number: 7; egc: 19",
                       0),
              0u)
        << t1;
    const std::string t2 = LineStarting(r.out, "    tag block 2 @120: ");
    EXPECT_TRUE(Contains(t2, "| exceptions: none; tag_text: ????????????????????; tag: does not decode")) << t2;
    EXPECT_TRUE(Contains(r.out, "    sub-record @152: sub-record length = 28 (0x001c); sub-record type = 85 (0x0055)\n"))
        << r.out;
    EXPECT_TRUE(Contains(LineStarting(r.out, "        scale entry @156: "), "| time_ms: 50; speed: 5 mph")) << r.out;
    // The undecodable second tag is damage the check reports.
    EXPECT_TRUE(Contains(r.out, "  tag-text: entry 0 tag 2: \"????????????????????\" does not decode\n")) << r.out;
}

TEST(TraindumpText, DigitizerBlocksShowTheirSamplesPerChannel) {
    TempDir dir;
    fixture::DigitizerFileBuilder()
        .Format(0x0100)
        .Add(fixture::DigitizerBlock(100, 104, {{10, 200}, {11, 201}, {12, 202}}, 5))
        .Add(fixture::DigitizerBlock(104, 104, {}))
        .Write(dir.File("T.01D"));
    const fixture::RunResult r = Dump(dir, {"T.01D"});
    ASSERT_EQ(r.status, 0);
    const std::string b0 = LineStarting(r.out, "block 0 @64: ");
    EXPECT_TRUE(Contains(b0, "block length = 22 (0x0016); bytes 2-3 = 0; time of the first sample (ms) = 100 (0x00000064)"))
        << b0;
    EXPECT_TRUE(Contains(b0, "| samples: 3; conversion_us: 10; channel_0: 10 11 12; channel_1: 200 201 202")) << b0;
    EXPECT_TRUE(Contains(LineStarting(r.out, "block 1 @86: "), "| samples: 0;")) << r.out;
    EXPECT_TRUE(Contains(r.out, "problems: none\n")) << r.out;
}

TEST(TraindumpText, RecordsFieldsAndHexOptionsCutAndWidenTheDump) {
    TempDir dir;
    TrainFileBuilder b = fixture::AxleFileBuilder();
    for (uint16_t i = 0; i < 6; ++i) b.Add(fixture::AxleRecord(80, 1, 100u * i, i + 1));
    b.Write(dir.File("T.010"));

    fixture::RunResult r = Dump(dir, {"--records=2-3", "T.010"});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(LineStarting(r.out, "record 1 ").empty());
    EXPECT_FALSE(LineStarting(r.out, "record 2 @80: ").empty());
    EXPECT_FALSE(LineStarting(r.out, "record 3 @88: ").empty());
    EXPECT_TRUE(LineStarting(r.out, "record 4 ").empty());
    EXPECT_TRUE(Contains(Dump(dir, {"--records=5-", "T.010"}).out, "record 5 @104:"));

    r = Dump(dir, {"--records=4", "--fields=time,axle number", "T.010"});
    EXPECT_EQ(LineStarting(r.out, "record 4"), "record 4 @96: raw timestamp = 400 (0x00000190); axle number = 5 | time_ms: 400");

    r = Dump(dir, {"--records=0", "--hex", "T.010"});
    EXPECT_TRUE(Contains(r.out, "record 0 @64: ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n    +0000  15 00 00 00 00 00 01 00\n")) << r.out;

    for (const char* bad : {"--records=3-1", "--records=x", "--records=-", "--fields=", "--colour"}) {
        r = Dump(dir, {bad, "T.010"});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_TRUE(Contains(r.err, "usage: traindump")) << bad;
    }
    r = Dump(dir, {"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.out, "traindump, built ")) << r.out;
}

TEST(TraindumpText, TextFromTheFileReachesTheTerminalWithoutControlCharacters) {
    TempDir dir;
    fixture::CarListFileBuilder()
        .Add(fixture::CarListRecord({.initials = "\x1b[2J", .number = "12\a3"}))
        .Write(dir.File("T.036"));
    const fixture::RunResult r = Dump(dir, {"T.036"});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.out, "| initials: .[2J; car_number: 12.3;")) << r.out;
    EXPECT_FALSE(Contains(r.out, "\x1b")) << r.out;
}
