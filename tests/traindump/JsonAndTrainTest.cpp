// traindump --json parsed back and compared with the fixture it was run on,
// and the program on the demo train: the summary of its files, a clean
// check, and a JSON dump of every file.
#include "AxleLayout.h"
#include "DumpSupport.h"
#include "EncodedTags.h"
#include "Records.h"

#include <nlohmann/json.hpp>

#include <map>
#include <regex>

using namespace dumptest;
using fixture::TempDir;
using Json = nlohmann::json;

TEST(TraindumpJson, FieldsDecodedValuesAndProblemsMatchTheFixture) {
    TempDir dir;
    fixture::TrainFileBuilder b = fixture::AxleFileBuilder();
    b.TimeScale(5, 1).Add(fixture::AxleRecord(323, 1, 1000, 1)).Add(fixture::AxleRecord(17, 0, 3000, 2)).Count(3);
    b.Write(dir.File("T.010"));
    const fixture::RunResult r = Dump(dir, {"--json", "T.010"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Json j = Json::parse(r.out);
    EXPECT_EQ(j["file"], "T.010");
    EXPECT_EQ(j["identification"]["type"], "0x010");
    EXPECT_EQ(j["identification"]["identified"], true);
    EXPECT_EQ(j["header"]["fields"]["record count"]["value"], 3);
    EXPECT_EQ(j["header"]["fields"]["time-scale numerator"]["value"], 5);
    EXPECT_DOUBLE_EQ(j["header"]["decoded"]["ms_per_raw_unit"].get<double>(), double(5.0f / 10.0f));
    ASSERT_EQ(j["records"].size(), 2u);
    const Json& rec = j["records"][1];
    EXPECT_EQ(rec["index"], 1);
    EXPECT_EQ(rec["offset"], 72);
    EXPECT_EQ(rec["fields"]["raw timestamp"]["value"], 3000);
    EXPECT_EQ(rec["fields"]["raw timestamp"]["offset"], layout::axle::kTime.offset);
    EXPECT_EQ(rec["fields"]["axle number"]["value"], 2);
    EXPECT_EQ(rec["decoded"]["speed_eighths"], 17);
    EXPECT_EQ(rec["decoded"]["speed"], "2 1/8 mph");
    EXPECT_EQ(rec["decoded"]["direction"], 0);
    EXPECT_EQ(rec["decoded"]["time_ms"], 1500);
    EXPECT_EQ(j["summary"]["first_ms"], 500);
    EXPECT_EQ(j["summary"]["last_ms"], 1500);
    ASSERT_EQ(j["problems"].size(), 1u);
    EXPECT_EQ(j["problems"][0]["kind"], "record-count");

    // --fields and --hex reach the JSON too.
    const Json cut = Json::parse(Dump(dir, {"--json", "--hex", "--records=0", "--fields=time", "T.010"}).out);
    ASSERT_EQ(cut["records"].size(), 1u);
    EXPECT_EQ(cut["records"][0]["fields"].size(), 1u);
    EXPECT_EQ(cut["records"][0]["decoded"], Json({{"time_ms", 500}}));
    EXPECT_EQ(cut["records"][0]["hex"], "51 03 e8 03 00 00 01 00");
}

TEST(TraindumpJson, ConsistTagBlocksAndSeveralFilesParseAsAStreamOfObjects) {
    TempDir dir;
    const std::string tag = fixture::TagText(19, "TTX", 9001);
    fixture::ConsistFile({fixture::ConsistEntry({.vehicle = 1, .axles = 4, .status = 2, .egc = 19,
                                                 .reads = {{.flags = 0x4001, .text = tag}}})
                              .Bytes()})
        .Write(dir.File("T.035"));
    fixture::WriteFileBytes(dir.File("B.\xff\x01.035"), {0x00, 0x01, 0x02});
    const fixture::RunResult r = Dump(dir, {"--json", "T.035", "B.\xff\x01.035"});
    ASSERT_EQ(r.status, 0);
    // One object per file, one after the other.
    std::vector<Json> docs;
    std::istringstream whole(r.out);
    while (whole >> std::ws && whole.peek() != EOF) {
        Json doc;
        whole >> doc;
        docs.push_back(doc);
    }
    ASSERT_EQ(docs.size(), 2u);
    const Json& entry = docs[0]["records"][0];
    EXPECT_EQ(entry["decoded"]["status"], "R");
    const Json& block = entry["parts"][0];
    EXPECT_EQ(block["label"], "tag block 1");
    EXPECT_EQ(block["decoded"]["owner"], "TTX");
    EXPECT_EQ(block["decoded"]["number"], "9001");
    EXPECT_EQ(block["decoded"]["egc"], 19);
    EXPECT_EQ(block["decoded"]["exceptions"], "WT");
    EXPECT_EQ(block["decoded"]["tag_text"], tag);
    // A name that is no UTF-8 still gives valid JSON; the short file says why.
    EXPECT_EQ(docs[1]["problems"][1]["kind"], "truncated-header");
}

namespace {

const char* const kBase = "00008901";

// The demo train of the demo script, with its axle files when this build
// has the IO-to-axle converter. Returns the records trainsim and edgemill
// said they wrote, by file name.
std::map<std::string, int> WriteDemoTrain(const TempDir& dir) {
    std::map<std::string, int> written;
    fixture::RunResult r = fixture::RunProgram(fixture::ProgramPath("trainsim"), {"--sample"}, dir.Path());
    EXPECT_EQ(r.status, 0);
    fixture::WriteFileBytes(dir.File(std::string(kBase) + ".train"), std::vector<uint8_t>(r.out.begin(), r.out.end()));
    r = fixture::RunProgram(fixture::ProgramPath("trainsim"), {std::string(kBase) + ".train", kBase}, dir.Path());
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::regex wrote(R"(wrote (\S+) \((\d+) records?\))");
    for (std::sregex_iterator it(r.out.begin(), r.out.end(), wrote), end; it != end; ++it)
        written[(*it)[1]] = std::stoi((*it)[2]);
    if (fixture::PathExists(fixture::ProgramPath("edgemill"))) {
        r = fixture::RunProgram(fixture::ProgramPath("edgemill"), {kBase, "/p"}, dir.Path());
        EXPECT_EQ(r.status, 0) << r.out;
    }
    return written;
}

}  // namespace

TEST(TraindumpDemoTrain, SummaryListsEveryFileWithItsRecordsAndTheCheckPassesClean) {
    TempDir dir;
    const std::map<std::string, int> written = WriteDemoTrain(dir);
    ASSERT_GE(written.size(), 9u);
    fixture::RunResult r = Dump(dir, {"--check", kBase});
    EXPECT_EQ(r.status, 0) << r.out;
    for (const auto& [name, records] : written) {
        const std::string line = LineStarting(r.out, "  " + name + "  ");
        EXPECT_TRUE(Contains(line, " " + std::to_string(records) + " record")) << line;
        EXPECT_TRUE(line.ends_with(" clean")) << line;
    }
    r = Dump(dir, {kBase});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Contains(r.out, "  passed over: 00008901.train\n")) << r.out;
    EXPECT_TRUE(LineStarting(r.out, "== ").empty()) << "the summary alone dumps no file";
    // --all follows the summary with the dump of every file.
    r = Dump(dir, {"--all", kBase});
    EXPECT_EQ(r.status, 0);
    for (const auto& [name, records] : written) EXPECT_TRUE(Contains(r.out, "== " + name + " (")) << name;
}

TEST(TraindumpDemoTrain, JsonOfTheWholeTrainHoldsEveryFileAndRecord) {
    TempDir dir;
    const std::map<std::string, int> written = WriteDemoTrain(dir);
    const fixture::RunResult r = Dump(dir, {"--json", "--all", kBase});
    ASSERT_EQ(r.status, 0);
    const Json j = Json::parse(r.out);
    EXPECT_EQ(j["train"], kBase);
    std::map<std::string, int> seen;
    for (const Json& f : j["files"]) {
        EXPECT_TRUE(f["problems"].empty()) << f["file"] << f["problems"];
        EXPECT_EQ(f["records"].size(), f["summary"]["records"].get<size_t>());
        seen[f["file"].get<std::string>()] = int(f["records"].size());
    }
    for (const auto& [name, records] : written) EXPECT_EQ(seen[name], records) << name;
    // The consist's vehicles carry the decoded owner of their first tag.
    for (const Json& f : j["files"]) {
        if (f["identification"]["type"] != "0x035") continue;
        for (const Json& e : f["records"]) {
            if (!e.contains("parts")) continue;
            EXPECT_FALSE(e["parts"][0]["decoded"]["owner"].get<std::string>().empty());
        }
    }
}
