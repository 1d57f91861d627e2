#include "TestSupport.h"
#include "Trimwell.h"

#include <gtest/gtest.h>

using namespace fixture;

namespace {

const char* const kHeader =
    "#  Op#  Description                   Result\n"
    "-- --- ------------------------------ -------------------------\n";

RunResult Trimwell(const std::vector<std::string>& args, const std::string& cwd) {
    return RunProgram(ProgramPath("Trimwell"), args, cwd);
}

ParseOutcome Parse(std::vector<std::string> args, TrimwellSettings& s, std::string* printed = nullptr) {
    args.insert(args.begin(), "Trimwell");
    std::vector<const char*> argv;
    for (auto& a : args) argv.push_back(a.c_str());
    char* buf = nullptr;
    size_t len = 0;
    FILE* out = open_memstream(&buf, &len);
    ParseOutcome o = ParseTrimwellArgs(static_cast<int>(argv.size()), argv.data(), s, out);
    std::fclose(out);
    if (printed) *printed = std::string(buf, len);
    std::free(buf);
    return o;
}

}  // namespace

TEST(TrimwellParse, PrefixesCaseAndOrder) {
    TrimwellSettings s;
    ASSERT_EQ(Parse({"00008901", "/op2", "/OP3", "/OP3", "/Readonly", "/t1=A", "/T2=B", "/S=-500", "/OPX", "junk"}, s),
              ParseOutcome::Run);
    EXPECT_EQ(s.baseName, "00008901");
    EXPECT_EQ(s.operations, (std::vector<unsigned>{2, 3, 3}));
    EXPECT_FALSE(s.writeAbSpacing);
    EXPECT_EQ(s.train1, "A");
    EXPECT_EQ(s.train2, "B");
    EXPECT_EQ(s.timeShiftMs, -500);
}

TEST(TrimwellParse, TimeShiftReadsLikeAtoi) {
    TrimwellSettings s;
    Parse({"T", "/OP17", "/S=  +42ms"}, s);
    EXPECT_EQ(s.timeShiftMs, 42);
    Parse({"T", "/OP17", "/S=abc"}, s);
    EXPECT_EQ(s.timeShiftMs, 0);
    Parse({"T", "/OP17", "/S=-99999999999999"}, s);
    EXPECT_EQ(s.timeShiftMs, INT32_MIN);
}

TEST(TrimwellParse, UsageCases) {
    TrimwellSettings a, b, c, d;
    EXPECT_EQ(Parse({}, a), ParseOutcome::Usage);
    EXPECT_EQ(Parse({"T"}, b), ParseOutcome::Usage);
    EXPECT_EQ(Parse({"T", "/OPX"}, c), ParseOutcome::Usage);
    EXPECT_EQ(Parse({"T", "/OP1", "/?"}, d), ParseOutcome::Usage);
    TrimwellSettings e;
    EXPECT_EQ(Parse({"/OP1", "/OP2"}, e), ParseOutcome::Run);  // first argument is the base name
    EXPECT_EQ(e.baseName, "/OP1");
}

TEST(TrimwellParse, ZeroAndTooMany) {
    TrimwellSettings s;
    std::string printed;
    EXPECT_EQ(Parse({"T", "/OP1", "/OP0", "/OP2"}, s, &printed), ParseOutcome::StoppedZero);
    EXPECT_EQ(printed, "Operations start at 1...\n\n");
    std::vector<std::string> args{"T"};
    for (int i = 0; i < 19; ++i) args.push_back("/OP22");
    TrimwellSettings ok;
    EXPECT_EQ(Parse(args, ok), ParseOutcome::Run);
    EXPECT_EQ(ok.operations.size(), 19u);
    args.push_back("/OP22");
    TrimwellSettings many;
    EXPECT_EQ(Parse(args, many, &printed), ParseOutcome::StoppedTooMany);
    EXPECT_EQ(printed, "Too many operations specified.\n");
}

TEST(TrimwellProgram, UsageTextAndStatus) {
    TempDir d;
    RunResult r = Trimwell({"00008901"}, d.Path());
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, kTrimwellUsage);
    EXPECT_EQ(r.out.rfind("\n---------------------------------------------------\nTrimwell.EXE - Screwy", 0), 0u);
    EXPECT_NE(r.out.find("truck \n       spacing values"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 12), "changed.\n\n\n\n");
    EXPECT_EQ(Trimwell({}, d.Path()).status, 255);
}

TEST(TrimwellProgram, ReportRows) {
    TempDir d;
    RunResult r = Trimwell({"00008901", "/OP18", "/OP22", "/OP13"}, d.Path());
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.out.substr(0, std::string(kHeader).size()), kHeader);
    std::string rows = r.out.substr(std::string(kHeader).size());
    std::string expect = " 1  18 " + std::string(30, ' ') + " ";
    EXPECT_EQ(rows.substr(0, expect.size()), expect);
    EXPECT_NE(rows.find(" 2  22                                Unknown operation.\n"), std::string::npos);
    EXPECT_NE(rows.find(" 3  13 Combining trains..             "
                        "Missing one or both source files (\"/T1=\" or \"/T2=\").\n\n"),
              std::string::npos);
    EXPECT_EQ(rows.substr(rows.size() - 2), "\n\n");
    EXPECT_EQ(r.out.find("OK."), std::string::npos);
}

TEST(TrimwellProgram, ParsingErrorsExitZeroAndRunNothing) {
    TempDir d;
    RunResult r = Trimwell({"T", "/OP2", "/OP0"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Operations start at 1...\n\n");
    RunResult longName = Trimwell({std::string(300, 'N'), "/OP1"}, d.Path());
    EXPECT_EQ(longName.status, 255);
    EXPECT_TRUE(d.List().empty());
}
