// OP7 movement display and OP12 fragment series evaluation with its Train
// Movement Detail Report, through the real Trimwell.
#include "CarListFile.h"
#include "EncodedTags.h"
#include "EventFiles.h"
#include "SummaryLayout.h"
#include "Trimwell.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

using namespace fixture;

namespace {

constexpr uint8_t A = layout::wheel::kDetectorA;
constexpr uint8_t B = layout::wheel::kDetectorB;
constexpr uint8_t C = layout::wheel::kEventFlag;

// "C" events in runs: detector, number of wheels.
std::vector<Ev> Runs(const std::vector<std::pair<uint8_t, int>>& runs) {
    std::vector<Ev> ev;
    uint32_t t = 1000;
    for (auto [det, n] : runs)
        for (int i = 0; i < n; ++i) {
            ev.push_back({det, t += 100, C});
            ev.push_back({uint8_t(det ^ 1), t + 10});  // the wheel's second event, no flag
        }
    return ev;
}

std::string Op7(const TempDir& d) { return RowResult(RunTrimwell(d.Path(), {"T", "/OP7"}).out); }

// A report row that holds the net axle position alone.
std::string Format5(long r) {
    char b[16];
    std::snprintf(b, sizeof b, "%5ld \n", r);
    return b;
}

}  // namespace

TEST(ShowMovement, CutsAndNetForwardAxles) {
    TempDir d;
    std::vector<Ev> ev = Runs({{A, 10}, {B, 3}, {A, 5}});
    ev.push_back({2, 99999, C});  // a third input's event is not a wheel
    WriteWheel(d.File("T.012"), ev);
    WriteAxles(d.File("T.010"), std::vector<uint32_t>(12, 1000));
    const std::string table = "\n\nCut   Dir   #Axles   NetForward\n----  ----  -------  -----------\n"
                              "   1   0       10     10\n"
                              "   2   1        3      7\n"
                              "   3   0        5     12\n"
                              "\n12 total forward axles.\n18 total events processed.\n\n";
    EXPECT_EQ(Op7(d), table + "OK.");

    WriteAxles(d.File("T.010"), std::vector<uint32_t>(13, 1000));
    EXPECT_EQ(Op7(d), table + "Net Axle Error!!! (12 vs 13)\n\nOK.");
}

TEST(ShowMovement, BackwardTrainsAndLongRecordings) {
    TempDir d;
    // More wheels backed out than went forward: the net is negative.
    WriteWheel(d.File("T.012"), Runs({{A, 2}, {B, 5}}));
    EXPECT_EQ(Op7(d), "\n\nCut   Dir   #Axles   NetForward\n----  ----  -------  -----------\n"
                      "   1   0        2      2\n"
                      "   2   1        5     -3\n"
                      "\n-3 total forward axles.\n7 total events processed.\n\nOK.");

    // 600 cuts: the table grows as needed.
    std::vector<std::pair<uint8_t, int>> runs;
    for (int i = 0; i < 600; ++i) runs.push_back({uint8_t(i % 2), 1});
    WriteWheel(d.File("T.012"), Runs(runs));
    const std::string out = Op7(d);
    EXPECT_NE(out.find(" 600   1        1      0\n\n0 total forward axles.\n600 total events"), std::string::npos);
}

TEST(ShowMovement, NothingToShow) {
    TempDir d;
    EXPECT_EQ(Op7(d), "Failed.");  // no .012
    WriteWheel(d.File("T.012"), {{A, 1000}, {B, 1010}});
    EXPECT_EQ(Op7(d), "No \"C\" events found. Cannot process.\r\nFailed.");
    WheelFileBuilder().Add(WheelRecord(A, 1000, C)).RecordLength(0).Write(d.File("T.012"));
    EXPECT_EQ(Op7(d), "Unusable record length. Failed.");
}

// ---------------------------------------------------------------------------
// OP12

namespace {

struct Car {
    std::string owner;  // empty: no tag read
    uint32_t number = 0;
    unsigned axles = 4;
    uint8_t egc = 19;
};

void WriteConsist(const std::string& path, const std::vector<Car>& cars) {
    std::vector<std::vector<uint8_t>> entries;
    uint16_t first = 0, vehicle = 1;
    for (const Car& c : cars) {
        ConsistEntrySpec e{.vehicle = vehicle++, .axles = c.axles, .firstAxle = first, .egc = c.egc};
        if (c.owner.empty())
            e.status = 4;
        else
            e.reads = {TagRead{.text = TagText(c.egc, c.owner, c.number)}};
        entries.push_back(ConsistEntry(e).Bytes());
        first = uint16_t(first + c.axles);
    }
    ConsistFile(entries).Write(path);
}

void WriteSummary(const std::string& path, bool forward, uint32_t firstDate, uint32_t firstTime, uint32_t lastDate,
                  uint32_t lastTime) {
    namespace sm = layout::summary;
    Record r(sm::kRecordSize);
    r.Set(sm::kLastWheelB, forward).Set(sm::kFirstDate, firstDate).Set(sm::kFirstTime, firstTime);
    r.Set(sm::kLastDate, lastDate).Set(sm::kLastTime, lastTime);
    TrainFileBuilder().Type(sm::kTypeGroup, sm::kTypeSubcode).Add(r).Write(path);
}

// A movement file: runs of records with one direction bit each, 100 ms
// apart, and the given pause before each run after the first.
void WriteMovement(const std::string& path, const std::vector<std::pair<unsigned, int>>& runs,
                   const std::vector<uint32_t>& pauses = {}) {
    TrainFileBuilder b = AxleFileBuilder();
    uint32_t t = 1000;
    for (size_t k = 0; k < runs.size(); ++k) {
        if (k > 0) t += k - 1 < pauses.size() ? pauses[k - 1] : 100;
        for (int i = 0; i < runs[k].second; ++i, t += 100) b.Add(AxleRecord(320, runs[k].first, t, 1));
        t -= 100;
    }
    b.Write(path);
}

std::string Op12(const TempDir& d, const std::string& base) { return RunTrimwell(d.Path(), {base, "/OP12"}).out; }

std::string Between(const std::string& s, const std::string& from, const std::string& to) {
    const size_t a = s.find(from);
    if (a == std::string::npos) return "(missing " + from + ")";
    const size_t b = s.find(to, a + from.size());
    return s.substr(a, b == std::string::npos ? std::string::npos : b - a);
}

}  // namespace

TEST(EvaluateConsistSeries, NamesAndMissingFragments) {
    TempDir d;
    std::string out = Op12(d, "7");
    EXPECT_NE(out.find("Evaluating 035 series.         Error: Filename must contain at minimum 2 digits\n"),
              std::string::npos);
    EXPECT_EQ(out.find("Fragments Found"), std::string::npos);

    // No fragment and no movement file: the net axle column alone, 12 rows
    // above position 0 and 8 below.
    out = Op12(d, "T00");
    std::string rows;
    for (int r = -12; r <= 8; ++r) rows += Format5(r);
    EXPECT_NE(out.find("Fragments Found: 0.\n\n----------------------------------------\n"
                       " Train Movement Detail Report, V1.0\n----------------------------------------\n"
                       "\nNet   \nAxle  \n----- \n" +
                       rows + "\n"),
              std::string::npos)
        << out;
}

TEST(EvaluateConsistSeries, FacingEndsMatchOrNot) {
    const std::vector<Car> first = {{"UP", 1, 6, 5}, {"", 0, 6}, {"TTX", 3}, {"TTX", 4}, {"TTX", 5}};
    const struct {
        const char* what;
        std::vector<Car> second;
        const char* status;
    } cases[] = {
        {"the same three cars come back; the fourth pair differs in axles",
         {{"TTX", 5}, {"TTX", 4}, {"TTX", 3}, {"GATX", 9}},
         "Good Matches : 3\n"},
        {"another car", {{"TTX", 5}, {"BNSF", 4}}, "Bad! This fragment is probably a different train (NOT a fragment of a reversing train).\n"},
        {"an untagged car is no evidence", {{"", 0}, {"TTX", 4}}, "Good Matches : 1\n"},
        {"a fragment without vehicles", {}, "Good Matches : 0\n"},
    };
    for (const auto& c : cases) {
        TempDir d;
        WriteConsist(d.File("T01.035"), first);
        WriteConsist(d.File("T02.035"), c.second);
        const std::string out = Op12(d, "T00");
        EXPECT_NE(out.find("Fragments Found: 2.\n"), std::string::npos) << c.what;
        EXPECT_NE(out.find(std::string("Frag 1 (end) to Frag 2 (start) Status: ") + c.status), std::string::npos)
            << c.what << "\n" << out;
    }
}

TEST(EvaluateConsistSeries, ListsEachFragment) {
    TempDir d;
    WriteConsist(d.File("T01.035"), {{"UP", 4455, 6, 5}, {"", 0, 4}, {"TTX", 912345}});
    WriteConsist(d.File("T02.035"), {{"TTX", 912345}});
    WriteSummary(d.File("T01.034"), true, 0, 0, 0, 0);
    WriteMovement(d.File("T00.011"), {{1, 3}, {0, 2}}, {4500});
    const std::string out = Op12(d, "T00");
    EXPECT_EQ(Between(out, "\nFrag #1", "Frag 1 (end)"),
              "\nFrag #1 Dir: ->\n-----------------\n"
              "001 005 06    UP     4455\n"
              "002 019 04              0\n"
              "003 019 04   TTX   912345\n"
              "\nTime to Next Wheel: 4500 (ms)\n\n"
              "\nFrag #2 Dir: <-\n-----------------\n"
              "001 019 04   TTX   912345\n");
}

namespace {

// The report as its layout rules draw it, painted cell by cell: every cell
// blank, then each fragment's lead-in and trailer, then its axle lines on
// top of them.
struct FragView {
    long start = 0, end = 0;
    std::vector<Car> cars;       // in drawing order (reversed for even fragments)
    std::vector<float> speeds;   // per drawn axle
    char dir = '<';
    std::string firstDate, firstTime, lastDate, lastTime;
    long durationS = 0, gapS = 0;
};

std::string Pad(std::string s) {
    s.resize(46, ' ');
    return s;
}

std::string ExpectedReport(const std::vector<FragView>& f, long lowest, long highest) {
    const int n = int(f.size());
    std::map<std::pair<long, int>, std::string> cell;
    auto fmt = [](const char* format, auto... v) {
        char b[128];
        std::snprintf(b, sizeof b, format, v...);
        return std::string(b);
    };
    const std::string bars = "|   ||  ||  ||  ||  ||  ||  ||  ||  ||  ||    ";
    const std::string down = "|   \\/  \\/  \\/  \\/  \\/  \\/  \\/  \\/  \\/  \\/    ";
    const std::string up = "|   /\\  /\\  /\\  /\\  /\\  /\\  /\\  /\\  /\\  /\\    ";
    const std::string rule = "| --------------------------------------------";
    const std::string blank = Pad("|");
    for (int j = 1; j <= n; ++j) {
        const FragView& v = f[size_t(j - 1)];
        const bool odd = j % 2 == 1;
        const bool L = j > 1 && (j < n || odd), T = j < n || !odd;
        const std::string start = fmt("|         START : %8s %8s           ", v.firstDate.c_str(), v.firstTime.c_str());
        const std::string stop = fmt("|          STOP : %8s %8s           ", v.lastDate.c_str(), v.lastTime.c_str());
        const std::string number = fmt("|              Fragment #%-10s           ", fmt("%d of %d", j, n).c_str());
        const std::string duration = fmt("|          Move Duration: %-8ld (s)        ", v.durationS);
        const std::string gap = fmt("|        Time to next axle: %-8ld (s)      ", v.gapS);
        const bool alone = j == n && !L;
        const std::vector<std::string> lead = {
            !L ? blank : odd ? "|--+                                          " : "|                                          +--",
            !L ? blank : odd ? "|  V                                          " : "|                                          |  ",
            rule, odd ? start : stop, number, odd ? duration : gap, rule,
            alone ? down : odd ? bars : up, alone ? up : odd ? down : bars,
            "|   AxleOffset                                ", "| D Frag Car  #Ax Mph  EGC TS TD OwnerInitial ",
            "| - ---- ---- --- ---- --- -- -- -------------"};
        const std::vector<std::string> trail = {
            !T ? down : odd ? bars : up, !T ? up : odd ? down : bars, rule, odd ? stop : start, number,
            odd ? gap : duration, rule,
            !T ? blank : odd ? "|                                          |  " : "|  ^                                          ",
            !T ? blank : odd ? "|                                          +--" : "|--+                                          "};
        for (int i = 0; i < 12; ++i) cell[{v.start - 12 + i, j}] = lead[size_t(i)];
        for (int i = 0; i < 9; ++i) cell[{v.end + i, j}] = trail[size_t(i)];
    }
    // Axle lines, with the marks of each row decided left to right.
    std::map<long, std::string> reference;
    for (long r = lowest - 12; r <= highest + 8; ++r)
        for (int j = 1; j <= n; ++j) {
            const FragView& v = f[size_t(j - 1)];
            long axle = r - v.start, first = 0;
            if (axle < 0) continue;
            for (const Car& c : v.cars) {
                if (axle < first + long(c.axles)) {
                    const std::string id = c.owner.empty() ? "" : c.owner + std::to_string(c.number);
                    char mark = ' ';
                    if (!reference.count(r)) {
                        if (!c.owner.empty()) reference[r] = id;
                    } else if (!id.empty() && id != reference[r]) {
                        mark = 'X';
                    }
                    const float mph = size_t(axle) < v.speeds.size() ? std::min(v.speeds[size_t(axle)], 99.9f) : 0.0f;
                    cell[{r, j}] = fmt("|%c%c %-4ld %-4ld %-3u %4.1f %-3u %c  %c  %-12s%c", mark, v.dir, axle,
                                       axle - first, c.axles, double(mph), unsigned(c.egc), c.owner.empty() ? 'U' : 'G',
                                       'K', id.c_str(), mark);
                    break;
                }
                first += long(c.axles);
            }
        }
    std::string out = "\n----------------------------------------\n Train Movement Detail Report, V1.0\n"
                      "----------------------------------------\n\nNet   \nAxle  \n----- \n";
    for (long r = lowest - 12; r <= highest + 8; ++r) {
        out += fmt("%5ld ", r);
        for (int j = 1; j <= n; ++j) out += cell.count({r, j}) ? Pad(cell[{r, j}]) : blank;
        out += "\n";
    }
    return out;
}

// Axles at the given speeds in eighths of a mph.
void WriteSpeeds(const std::string& path, const std::vector<unsigned>& eighths) {
    TrainFileBuilder b = AxleFileBuilder();
    uint16_t n = 1;
    for (unsigned v : eighths) b.Add(AxleRecord(v, 1, 1000u + n, n)), ++n;
    b.Write(path);
}

std::vector<float> Mph(const std::vector<unsigned>& eighths) {
    std::vector<float> v;
    for (unsigned e : eighths) v.push_back(float(e) * 0.125f);
    return v;
}

}  // namespace

// A train that passed 6 axles forward, backed 4 out and came forward with
// 8, recorded as three fragments.
TEST(EvaluateConsistSeries, ReportOfATrainThatReversedTwice) {
    TempDir d;
    WriteMovement(d.File("R00.011"), {{1, 6}, {0, 4}, {1, 8}}, {5100, 7100});
    const std::vector<Car> cars1 = {{"TTX", 1}, {"TTX", 2, 2}};
    const std::vector<Car> cars2 = {{"TTX", 7, 2}, {"TTX", 1, 2}};  // as recorded, backing
    const std::vector<Car> cars3 = {{"TTX", 1}, {"TTX", 2, 2}, {"", 0, 2}};
    WriteConsist(d.File("R01.035"), cars1);
    WriteConsist(d.File("R02.035"), cars2);
    WriteConsist(d.File("R03.035"), cars3);
    WriteSummary(d.File("R01.034"), true, 0x03142025, 0x45001430, 0x03142025, 0x12001431);
    WriteSummary(d.File("R02.034"), false, 0x03142025, 0x05001432, 0x03142025, 0x30001432);
    // Speeds that round to a tenth every way, ties to the even tenth.
    const std::vector<unsigned> speeds1 = {320, 321, 322, 323, 326, 327};
    const std::vector<unsigned> speeds3 = {80, 832, 799, 104, 112, 120, 128};  // one axle short
    WriteSpeeds(d.File("R01.010"), speeds1);
    WriteSpeeds(d.File("R02.010"), {8, 16, 24, 32});
    WriteSpeeds(d.File("R03.010"), speeds3);

    std::vector<FragView> views(3);
    // Movements: 6 records from position 0, 4 back from 6 (drawn from 2),
    // 8 forward from 2; the pauses make the gaps 5.1 s and 7.1 s.
    views[0] = {0, 6, cars1, Mph(speeds1), '>', "03-14-25", "14:30:45", "03-14-25", "14:31:12", 0, 5};
    views[1] = {2, 6, {cars2[1], cars2[0]}, {4, 3, 2, 1}, '<', "03-14-25", "14:32:05", "03-14-25", "14:32:30", 0, 7};
    views[2] = {2, 10, cars3, Mph(speeds3), '<', "", "", "", "", 0, 0};
    const std::string out = Op12(d, "R00");
    const std::string report = out.substr(std::min(out.size(), out.find("\n----------------------------------------\n")));
    std::istringstream got(report), want(ExpectedReport(views, 0, 10) + "\n\n");
    std::string g, w;
    int line = 0;
    while (std::getline(want, w)) {
        ++line;
        ASSERT_TRUE(std::getline(got, g)) << "report ends before line " << line;
        EXPECT_EQ(g, w) << "line " << line;
    }
    EXPECT_FALSE(std::getline(got, g)) << "more lines than expected: " << g;

    // Spot checks of what the rules above give: the reversed fragment's
    // axle 0 is its last wheel at 4 mph, a different car on the row of
    // another is marked, 104 mph is drawn as 99.9, and an axle past the
    // .010 as 0.0.
    EXPECT_NE(report.find("| < 0    0    2    4.0 19  G  K  TTX1         "), std::string::npos);
    EXPECT_NE(report.find("|X< 2    0    2    2.0 19  G  K  TTX7        X"), std::string::npos);
    EXPECT_NE(report.find("| < 1    1    4   99.9 19  G  K  TTX1         "), std::string::npos);
    EXPECT_NE(report.find("| < 7    1    2    0.0 19  U  K               "), std::string::npos);
}

TEST(EvaluateConsistSeries, MalformedMovementsStayInTheReport) {
    TempDir d;
    // 33 movements (more than the 29 fragments and their 30 slots) whose
    // times run backwards: gaps and durations show as 0.
    TrainFileBuilder b = AxleFileBuilder();
    uint32_t t = 900000;
    for (int k = 0; k < 33; ++k)
        for (int i = 0; i < 3; ++i, t -= 1000) b.Add(AxleRecord(320, unsigned(k % 2), t, 1));
    b.Write(d.File("T00.011"));
    for (int k = 1; k <= 9; ++k) WriteConsist(d.File("T0" + std::to_string(k) + ".035"), {{"TTX", uint32_t(k)}});
    for (int k = 10; k <= 30; ++k) WriteConsist(d.File("T" + std::to_string(k) + ".035"), {{"TTX", uint32_t(k)}});
    const RunResult r = RunTrimwell(d.Path(), {"T00", "/OP12"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Fragments Found: 29.\nOnly the first 29 fragments are evaluated.\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nTime to Next Wheel: 0 (ms)\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Time to Next Wheel: 4"), std::string::npos);
    EXPECT_NE(r.out.find("|          Move Duration: 0        (s)        "), std::string::npos);
    EXPECT_NE(r.out.find("|        Time to next axle: 0        (s)      "), std::string::npos);
}

TEST(EvaluateConsistSeries, AxleTableFindsWhatTheCarSearchFinds) {
    std::mt19937 rng(12);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int trial = 0; trial < 200; ++trial) {
        // Car lists with gaps, overlaps and repeated vehicle numbers.
        TrainFileBuilder b = CarListFileBuilder();
        uint16_t vehicle = 1, first = 0;
        for (int i = pick(0, 12); i > 0; --i) {
            if (pick(0, 4) > 0) ++vehicle;
            first = uint16_t(std::max(0, first + pick(-3, 6)));
            b.Add(CarListRecord({.vehicle = vehicle, .firstAxle = first, .axles = uint8_t(pick(0, 6))}));
        }
        TempDir d;
        b.Write(d.File("T.036"));
        CCarListFile cars;
        cars.Load(d.File("T").c_str());
        const std::vector<int> table = CarOfAxleTable(cars);
        for (int a = 0; a < 90; ++a) {
            cars.Seek(0);
            const int found = cars.FindCarOfAxle(a) ? cars.GetIndex() : -1;
            const int listed = a < int(table.size()) ? table[size_t(a)] : -1;
            EXPECT_EQ(listed, found) << "trial " << trial << " axle " << a;
        }
    }
}

TEST(EvaluateConsistSeries, LyingFilesAndGapsInTheSeries) {
    TempDir d;
    // A movement file whose record length is 0, a summary cut short, a
    // .010 whose record length is 0, and no fragment 02 before 03.
    AxleFileBuilder().Add(AxleRecord(320, 1, 1000, 1)).Add(AxleRecord(320, 0, 1100, 1)).RecordLength(0).Write(
        d.File("T00.011"));
    WriteConsist(d.File("T01.035"), {{"TTX", 1}});
    WriteSummary(d.File("T01.034"), true, 0x03142025, 0x45001430, 0x03142025, 0x12001431);
    WriteFileBytes(d.File("T01.034"), [&] {
        std::vector<uint8_t> b = ReadFileBytes(d.File("T01.034"));
        b.resize(100);
        return b;
    }());
    AxleFileBuilder().Add(AxleRecord(800, 1, 1000, 1)).RecordLength(0).Write(d.File("T01.010"));
    WriteConsist(d.File("T03.035"), {{"TTX", 3}});
    const RunResult r = RunTrimwell(d.Path(), {"T00", "/OP12"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Fragments Found: 1.\n\nFrag #1 Dir: <-\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("    0 | < 0    0    4    0.0 19  G  K  TTX1         \n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("   -9 |         START :                             \n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("    8 |" + std::string(45, ' ') + "\n\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("    9 "), std::string::npos);
}
