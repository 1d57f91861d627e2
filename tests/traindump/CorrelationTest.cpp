// traindump on HBD correlation files: each car field by field from the
// correlation layout with its axle entries as parts, the same values in
// JSON, the options that cut the dump, and a file written by the real
// heatlink dumped and checked clean.
#include "CorrelationLayout.h"
#include "DumpSupport.h"
#include "Records.h"

#include <nlohmann/json.hpp>

using namespace dumptest;
using fixture::TempDir;
using Json = nlohmann::json;
namespace co = layout::correlation;

namespace {

// A car whose second axle alarms on both sides, and a quiet one.
const fixture::CorrelationCarSpec kAlarmed{
    .car = 3,
    .alarms = 2,
    .firstAlarm = 2,
    .side = 'L',
    .code = 'A',
    .axles = {{.value1 = 90, .value2 = 91, .ms = 100}, {.code1 = 'A', .code2 = 'C', .value1 = 412, .value2 = 385, .ms = 95}}};
const fixture::CorrelationCarSpec kQuiet{.car = 4, .axles = {{.value1 = 11, .value2 = 12, .ms = 700}}};

void WriteTwoCars(const TempDir& dir, const std::string& name) {
    fixture::CorrelationFileBuilder(7)
        .Add(fixture::CorrelationCar(kAlarmed))
        .Add(fixture::CorrelationCar(kQuiet))
        .Write(dir.File(name));
}

}  // namespace

TEST(TraindumpCorrelation, CarsShowTheirFieldsAndDecodedValuesWithEachAxleEntryBelow) {
    TempDir dir;
    WriteTwoCars(dir, "T.071");
    const fixture::RunResult r = Dump(dir, {"T.071"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "type: type 0x071 (.071)\nlayout: HBD correlation cars\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "  @34 " + std::string(co::kCarriedByte.name) + " = 7\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "  @35 bytes 35-59: 00 00")) << r.out;
    EXPECT_TRUE(Contains(r.out, "records: 2 counted, 2 present\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "problems: none\n")) << r.out;

    const std::vector<uint8_t> car = fixture::CorrelationCar(kAlarmed).Bytes();
    const std::span<const uint8_t> b(car);
    EXPECT_EQ(LineStarting(r.out, "car 0 @64: "),
              "car 0 @64: " + FieldsText(co::kCarFields, b) +
                  " | car: 3; vehicle: 2; axles: 2; alarms: 2; first_alarm_axle: 2; alarm_side: L; alarm_code: A");
    EXPECT_EQ(LineStarting(r.out, "    axle entry 1 @74: "),
              "    axle entry 1 @74: " + FieldsText(co::kAxleFields, b.subspan(10, 10)) +
                  " | side_1_code: N; side_2_code: N; side_1_value: 90; side_2_value: 91; ms: 100; alarmed_sides: 0");
    EXPECT_EQ(LineStarting(r.out, "    axle entry 2 @84: "),
              "    axle entry 2 @84: " + FieldsText(co::kAxleFields, b.subspan(20, 10)) +
                  " | side_1_code: A; side_2_code: C; side_1_value: 412; side_2_value: 385; ms: 95; alarmed_sides: 2");
    // The second car follows the first's 30 bytes; no alarm shows as a blank
    // side and code N.
    EXPECT_TRUE(Contains(LineStarting(r.out, "car 1 @94: "),
                         "| car: 4; vehicle: 3; axles: 1; alarms: 0; first_alarm_axle: 0; alarm_side: none; "
                         "alarm_code: N"))
        << r.out;
    EXPECT_TRUE(Contains(LineStarting(r.out, "    axle entry 1 @104: "), "; ms: 700; alarmed_sides: 0")) << r.out;
}

TEST(TraindumpCorrelation, RecordsFieldsAndHexCutAndWidenTheCars) {
    TempDir dir;
    WriteTwoCars(dir, "T.071");
    fixture::RunResult r = Dump(dir, {"--records=1", "--fields=code", "T.071"});
    ASSERT_EQ(r.status, 0);
    EXPECT_TRUE(LineStarting(r.out, "car 0 ").empty()) << r.out;
    EXPECT_EQ(LineStarting(r.out, "car 1 "), "car 1 @94: " + std::string(co::kAlarmCode.name) +
                                                 " = 78 (0x4e) | alarm_code: N");
    EXPECT_EQ(LineStarting(r.out, "    axle entry 1 "),
              "    axle entry 1 @104: side 1 code = 78 (0x4e); side 2 code = 78 (0x4e) | side_1_code: N; "
              "side_2_code: N");

    r = Dump(dir, {"--records=1", "--hex", "T.071"});
    EXPECT_TRUE(Contains(r.out, "\n    +0000  14 00 04 00 00 00 00 00 20 4e 4e 4e 0b 00 0c 00\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n        +0000  4e 4e 0b 00 0c 00 bc 02 00 00\n")) << r.out;
}

TEST(TraindumpCorrelation, JsonHoldsEachCarWithItsAxleEntriesAsParts) {
    TempDir dir;
    WriteTwoCars(dir, "T.071");
    const fixture::RunResult r = Dump(dir, {"--json", "T.071"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Json j = Json::parse(r.out);
    EXPECT_EQ(j["identification"]["type"], "0x071");
    EXPECT_EQ(j["summary"]["layout"], "HBD correlation cars");
    EXPECT_EQ(j["header"]["fields"][co::kCarriedByte.name]["value"], 7);
    ASSERT_EQ(j["records"].size(), 2u);
    const Json& car = j["records"][0];
    EXPECT_EQ(car["label"], "car");
    EXPECT_EQ(car["size"], 30);
    EXPECT_EQ(car["fields"][co::kRecordLength.name]["value"], 30);
    EXPECT_EQ(car["fields"][co::kFirstAlarmAxle.name]["offset"], co::kFirstAlarmAxle.offset);
    EXPECT_EQ(car["decoded"], Json::parse(R"({"car":3,"vehicle":2,"axles":2,"alarms":2,"first_alarm_axle":2,
                                              "alarm_side":"L","alarm_code":"A"})"));
    ASSERT_EQ(car["parts"].size(), 2u);
    const Json& axle = car["parts"][1];
    EXPECT_EQ(axle["label"], "axle entry");
    EXPECT_EQ(axle["index"], 2);
    EXPECT_EQ(axle["offset"], 84);
    EXPECT_EQ(axle["fields"][co::kSide2Value.name]["value"], 385);
    EXPECT_EQ(axle["decoded"]["side_2_code"], "C");
    EXPECT_EQ(axle["decoded"]["ms"], 95);
    EXPECT_EQ(j["records"][1]["decoded"]["alarm_side"], "none");
    EXPECT_TRUE(j["problems"].empty());
}

TEST(TraindumpCorrelation, HeatlinkOutputDumpsCleanWithTheReadingsOfEachCar) {
    TempDir dir;
    // Two cars of 4 and 2 axles; the fifth reading alarms on side 2.
    fixture::TrainFileBuilder hbd = fixture::DetectorFileBuilder(40, 40);
    hbd.HeaderU8(39, 0x5A);
    for (uint16_t i = 0; i < 6; ++i) {
        fixture::DetectorReading x{.ms = 100u + i, .value1 = uint16_t(10 + i), .value2 = uint16_t(20 + i)};
        if (i == 4) x.code2 = 'D';
        hbd.Add(fixture::DetectorRecord(uint16_t(i + 1), x));
    }
    hbd.Write(dir.File("A.018"));
    fixture::ConsistFile({fixture::ConsistEntry({.vehicle = 4, .axles = 4}).Bytes(),
                          fixture::ConsistEntry({.vehicle = 5, .axles = 2}).Bytes()})
        .Write(dir.File("B.035"));
    const fixture::RunResult link = fixture::RunProgram(fixture::ProgramPath("heatlink"), {"A.018", "B.035"}, dir.Path());
    ASSERT_EQ(link.status, 0) << link.out;

    fixture::RunResult r = Dump(dir, {"--check", "A.071"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "A.071: clean\n");
    r = Dump(dir, {"A"});
    const std::string listed = LineStarting(r.out, "  A.071  ");
    EXPECT_TRUE(Contains(listed, " 0x071   HBD correlation cars ")) << r.out;
    EXPECT_TRUE(Contains(listed, " 2 records ")) << r.out;
    EXPECT_TRUE(listed.ends_with(" clean")) << r.out;

    const Json j = Json::parse(Dump(dir, {"--json", "A.071"}).out);
    EXPECT_EQ(j["header"]["fields"][co::kCarriedByte.name]["value"], 0x5A);
    ASSERT_EQ(j["records"].size(), 2u);
    const Json& second = j["records"][1];
    EXPECT_EQ(second["decoded"]["car"], 6);
    EXPECT_EQ(second["decoded"]["axles"], 2);
    EXPECT_EQ(second["decoded"]["alarms"], 1);
    EXPECT_EQ(second["decoded"]["first_alarm_axle"], 2);
    EXPECT_EQ(second["decoded"]["alarm_side"], "R");
    EXPECT_EQ(second["decoded"]["alarm_code"], "D");
    // The readings follow one another through the cars in detector order.
    unsigned reading = 0;
    for (const Json& car : j["records"])
        for (const Json& axle : car["parts"]) {
            EXPECT_EQ(axle["decoded"]["ms"], 100 + reading) << reading;
            EXPECT_EQ(axle["decoded"]["side_1_value"], 10 + reading) << reading;
            ++reading;
        }
    EXPECT_EQ(reading, 6u);
}
