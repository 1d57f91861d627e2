// OP13 train combination, OP14 allocation overlap fix-up and OP15 wheel
// digitizer listing, run through the real Trimwell.
#include "DigitizerLayout.h"
#include "IoLayout.h"
#include "TagLayout.h"
#include "TrimwellRecords.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace fixture;

namespace {

namespace io = layout::io;
namespace tr = layout::tagread;
namespace wh = layout::wheel;
namespace al = layout::alloc;

// The start of report row 1 of an operation, up to its result.
std::string Row(unsigned op, const char* description) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%2u %3u %-30s ", 1u, op, description);
    return buf;
}

constexpr uint16_t kNoDetector = 0;  // IO record flags of a non-detector record

// The raw times of the records of a file image (time field at timeOffset of
// each record of recordLength bytes).
std::vector<uint32_t> Times(const std::vector<uint8_t>& file, size_t recordLength, size_t timeOffset) {
    std::vector<uint32_t> t;
    for (size_t at = layout::header::kSize; at + recordLength <= file.size(); at += recordLength)
        t.push_back(layout::GetLE(file, at + timeOffset, 4));
    return t;
}
std::vector<uint32_t> IoTimes(const std::string& p) { return Times(ReadFileBytes(p), io::kRecordSize, 0); }
std::vector<uint32_t> TagTimes(const std::string& p) { return Times(ReadFileBytes(p), tr::kRecordSize, 0); }
std::vector<uint32_t> WheelTimes(const std::string& p) { return Times(ReadFileBytes(p), wh::kRecordSize, 4); }

struct IoEvent {
    uint32_t time;
    uint16_t flags = io::kDetectorEventFlag;
};

// One recording: its .007, .060 and .012 under base name `name`.
struct Recording {
    std::vector<IoEvent> io;
    std::vector<uint32_t> tags, wheels;
    uint8_t version = 1;
    uint32_t ioNumerator = 1, tagNumerator = 1;
    uint16_t ioExponent = 0, tagExponent = 0;
    uint16_t tagRecordLength = tr::kRecordSize, wheelRecordLength = wh::kRecordSize;

    void Write(const TempDir& d, const std::string& name) const {
        TrainFileBuilder i = IoFileBuilder({.recorderVersion = version});
        i.TimeScale(ioNumerator, ioExponent).RecordLength(io::kRecordSize);
        for (const IoEvent& e : io) i.Add(IoRecord(e.time, 0x0200, e.flags));
        i.Write(d.File(name + ".007"));
        TrainFileBuilder t = TagReadFileBuilder();
        t.TimeScale(tagNumerator, tagExponent).RecordLength(tagRecordLength);
        for (uint32_t x : tags) t.Add(TagReadRecord({.time = x, .text = "ABCDEFGHIJKLMNOPQRST"}).Resize(tagRecordLength));
        t.Write(d.File(name + ".060"));
        TrainFileBuilder w = WheelFileBuilder();
        w.RecordLength(wheelRecordLength);
        for (uint32_t x : wheels) w.Add(WheelRecord(0, x).Resize(wheelRecordLength));
        w.Write(d.File(name + ".012"));
    }
};

Recording Train1() { return {.io = {{100, kNoDetector}, {200}, {300}}, .tags = {250}, .wheels = {200, 300}}; }
// Its detector events start at raw time 500, after a base record of 120000.
Recording Train2() {
    return {.io = {{7, kNoDetector}, {120000, kNoDetector}, {500}, {600}, {700, kNoDetector}},
            .tags = {550},
            .wheels = {500, 600}};
}

RunResult Combine(const TempDir& d, const std::string& out = "C") {
    return RunTrimwell(d.Path(), {out, "/OP13", "/T1=T1", "/T2=T2"});
}

}  // namespace

TEST(CombineTrains, MovesTrain2OntoTheTimeBaseOfTrain1) {
    TempDir d;
    Train1().Write(d, "T1");
    Train2().Write(d, "T2");
    const auto t1Io = ReadFileBytes(d.File("T1.007")), t2Io = ReadFileBytes(d.File("T2.007"));
    RunResult r = Combine(d);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(Row(13, "Combining trains..") + "\n"), std::string::npos) << r.out;
    // Records before the first detector event keep their times; from it on
    // everything moves by b = 120000.
    EXPECT_EQ(IoTimes(d.File("C.007")), (std::vector<uint32_t>{100, 200, 300, 7, 120000, 120500, 120600, 120700}));
    EXPECT_EQ(TagTimes(d.File("C.060")), (std::vector<uint32_t>{250, 120550}));
    EXPECT_EQ(WheelTimes(d.File("C.012")), (std::vector<uint32_t>{200, 300, 120500, 120600}));
    const auto c = ReadFileBytes(d.File("C.060"));
    EXPECT_EQ(layout::GetLE(c, 64 + 64 + tr::kTextOffset, 4), layout::GetLE(c, 64 + tr::kTextOffset, 4))
        << "the records are appended whole";
    EXPECT_EQ(layout::Get(c, 0, layout::header::kRecordCount), 2u);
    EXPECT_EQ(layout::Get(c, 0, layout::header::kFileLength), c.size());
    EXPECT_EQ(ReadFileBytes(d.File("T1.007")), t1Io) << "sources stay as they were";
    EXPECT_EQ(ReadFileBytes(d.File("T2.007")), t2Io);
}

TEST(CombineTrains, Train2WithoutShiftKeepsAllItsTimes) {
    struct Case {
        const char* name;
        std::vector<IoEvent> io;
        bool message;
    };
    const Case cases[] = {
        {"already adjusted", {{120000, kNoDetector}, {120500}, {120600}}, true},
        {"no detector event", {{120000, kNoDetector}, {500, kNoDetector}}, false},
        {"empty IO file", {}, false},
    };
    for (const Case& c : cases) {
        TempDir d;
        Train1().Write(d, "T1");
        Recording t2 = Train2();
        t2.io = c.io;
        t2.Write(d, "T2");
        RunResult r = Combine(d);
        EXPECT_EQ(r.out.find("Train2's timestamps are already adjusted!\n") != std::string::npos, c.message)
            << c.name << "\n" << r.out;
        std::vector<uint32_t> io{100, 200, 300};
        for (const IoEvent& e : c.io) io.push_back(e.time);
        EXPECT_EQ(IoTimes(d.File("C.007")), io) << c.name;
        EXPECT_EQ(TagTimes(d.File("C.060")), (std::vector<uint32_t>{250, 550})) << c.name;
        EXPECT_EQ(WheelTimes(d.File("C.012")), (std::vector<uint32_t>{200, 300, 500, 600})) << c.name;
    }
}

TEST(CombineTrains, TimeBaseConvertedIntoEachFilesScale) {
    TempDir d;
    Recording t1 = Train1(), t2 = Train2();
    // IO events in tenths of a millisecond, tag reads in milliseconds: the
    // base of 120000 tenths moves the tag reads by 12000 ms.
    for (Recording* t : {&t1, &t2}) t->ioExponent = 1;
    t1.Write(d, "T1");
    t2.Write(d, "T2");
    Combine(d);
    EXPECT_EQ(IoTimes(d.File("C.007")).back(), 120700u);
    EXPECT_EQ(TagTimes(d.File("C.060")), (std::vector<uint32_t>{250, 12550}));
}

TEST(CombineTrains, RefusedCombinationsWriteNothing) {
    struct Case {
        const char* name;
        void (*change)(Recording& t1, Recording& t2, const TempDir& d);
        std::string message;
        std::string out = "C";
    };
    const Case cases[] = {
        {"recorder version 0", [](Recording& t1, Recording&, const TempDir&) { t1.version = 0; },
         "Combiner requires QVX version 1 or greater.\n"},
        {"IO time scales differ", [](Recording&, Recording& t2, const TempDir&) { t2.ioExponent = 1; },
         "Time scales of \"T1.007\" and \"T2.007\" differ.\n"},
        {"tag time scales differ", [](Recording&, Recording& t2, const TempDir&) { t2.tagNumerator = 2; },
         "Time scales of \"T1.060\" and \"T2.060\" differ.\n"},
        {"wheel record lengths differ", [](Recording&, Recording& t2, const TempDir&) { t2.wheelRecordLength = 12; },
         "Record lengths of \"T1.012\" and \"T2.012\" differ.\n"},
        {"tag records too short", [](Recording& t1, Recording&, const TempDir&) { t1.tagRecordLength = 32; },
         "\"T1.060\": records of 32 bytes are not tag read records.\n"},
        {"train 2 without tag reads",
         [](Recording&, Recording&, const TempDir& d) { std::filesystem::remove(d.File("T2.060")); },
         "Cannot open \"T2.060\".\n"},
        {"train 1 without wheel events",
         [](Recording&, Recording&, const TempDir& d) { WriteFileBytes(d.File("T1.012"), {}); },
         "Cannot open \"T1.012\".\n"},
        {"times pass 32 bits",
         [](Recording&, Recording& t2, const TempDir&) { t2.tags = {0xFFFFFF00u}; },
         "Times of \"T2.060\" would pass the 32-bit time range.\n"},
        {"output is train 1", [](Recording&, Recording&, const TempDir&) {},
         "Output \"t1.007\" would replace source \"T1.007\".\n", "t1"},
        {"output is train 2 by another spelling", [](Recording&, Recording&, const TempDir&) {},
         "would replace source \"T2.007\".\n", "./T2"},
    };
    for (const Case& c : cases) {
        TempDir d;
        Recording t1 = Train1(), t2 = Train2();
        c.change(t1, t2, d);  // header changes
        t1.Write(d, "T1");
        t2.Write(d, "T2");
        c.change(t1, t2, d);  // file removals and replacements
        const std::vector<std::string> before = d.List();
        std::vector<std::vector<uint8_t>> bytes;
        for (const std::string& f : before) bytes.push_back(ReadFileBytes(d.File(f)));
        RunResult r = Combine(d, c.out);
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.name << "\n" << r.out;
        ASSERT_EQ(d.List(), before) << c.name << ": no output written";
        for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(ReadFileBytes(d.File(before[i])), bytes[i]) << c.name;
    }
}

TEST(CombineTrains, OutputsWrittenAllOrNone) {
    TempDir d;
    Train1().Write(d, "T1");
    Train2().Write(d, "T2");
    WriteFileBytes(d.File("C.007"), {'o', 'l', 'd'});
    // The last output is read-only: its write fails after the other two.
    WriteFileBytes(d.File("C.012"), {'r', 'o'});
    std::filesystem::permissions(d.File("C.012"), std::filesystem::perms::owner_read);
    RunResult r = Combine(d);
    EXPECT_NE(r.out.find("Error 5 creating file \"C.012\""), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("C.007")), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(PathExists(d.File("C.060")));
    EXPECT_EQ(ReadFileBytes(d.File("C.012")), (std::vector<uint8_t>{'r', 'o'}));

    // An output name taken by a directory is refused before anything is written.
    std::filesystem::permissions(d.File("C.012"), std::filesystem::perms::owner_all);
    std::filesystem::remove(d.File("C.012"));
    std::filesystem::create_directory(d.File("C.060"));
    r = Combine(d);
    EXPECT_NE(r.out.find("Cannot replace \"C.060\".\n"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("C.007")), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_FALSE(PathExists(d.File("C.012")));
}

TEST(CombineTrains, MoreThanACountCanHoldIsRefused) {
    TempDir d;
    Recording t1 = Train1(), t2 = Train2();
    t1.io.assign(40000, {100});
    t2.io.assign(30000, {100});
    t1.Write(d, "T1");
    t2.Write(d, "T2");
    RunResult r = Combine(d);
    EXPECT_NE(r.out.find("\"T1.007\" and \"T2.007\" hold more than 65535 records together.\n"), std::string::npos)
        << r.out.substr(0, 400);
    EXPECT_FALSE(PathExists(d.File("C.007")));
}

// ---------------------------------------------------------------------------

namespace {

// .010 with axle k at raw time 1000 + 100 k, and a .041 of the given ranges.
void WriteAllocTrain(const TempDir& d, const std::vector<std::pair<uint16_t, uint16_t>>& ranges, unsigned axles = 12,
                     size_t recordLength = al::kRecordSize, uint16_t axleExponent = 0) {
    TrainFileBuilder a = AxleFileBuilder();
    a.TimeScale(1, axleExponent);
    for (unsigned k = 0; k < axles; ++k) a.Add(AxleRecord(320, 1, 1000 + 100 * k, uint16_t(k + 1)));
    a.Write(d.File("T.010"));
    TrainFileBuilder b = AllocFileBuilder();
    b.RecordLength(uint16_t(recordLength));
    uint8_t seq = 0;
    for (auto [first, last] : ranges)
        b.Add(AllocRecord({.first = first, .last = last, .start = 1000 + 100u * first, .end = 1000 + 100u * last,
                           .egc = 19, .seq = seq++},
                          recordLength));
    b.Write(d.File("T.041"));
}

struct AllocView {
    uint32_t first, last, start, end;
    bool operator==(const AllocView&) const = default;
};
std::vector<AllocView> Allocs(const std::string& path, size_t recordLength = al::kRecordSize) {
    const auto f = ReadFileBytes(path);
    std::vector<AllocView> v;
    for (size_t at = 64; at + recordLength <= f.size(); at += recordLength)
        v.push_back({layout::Get(f, at, al::kFirstAxle), layout::Get(f, at, al::kLastAxle),
                     layout::Get(f, at, al::kStartTime), layout::Get(f, at, al::kEndTime)});
    return v;
}

RunResult Fixup(const TempDir& d, const std::string& base = "T") { return RunTrimwell(d.Path(), {base, "/OP14"}); }

}  // namespace

TEST(FixupAllocations, SharedAxleGoesToTheLaterRecord) {
    for (size_t len : {al::kRecordSize, al::kShortRecordSize}) {
        TempDir d;
        WriteAllocTrain(d, {{0, 3}, {3, 6}, {7, 10}}, 12, len);
        const auto own = ReadFileBytes(d.File("T.041"));
        RunResult r = Fixup(d);
        EXPECT_NE(r.out.find(Row(14, "Checking axle allocations...") + "1 error found. Writing \"FIXUP.041\".\n"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(Allocs(d.File("FIXUP.041"), len),
                  (std::vector<AllocView>{{0, 2, 1000, 1200}, {3, 6, 1300, 1600}, {7, 10, 1700, 2000}}))
            << len;
        EXPECT_EQ(ReadFileBytes(d.File("T.041")), own) << "the train's own allocation is never changed";
    }
}

TEST(FixupAllocations, EndTimeTakenInTheAllocationsScale) {
    TempDir d;
    WriteAllocTrain(d, {{0, 3}, {3, 6}}, 8, al::kRecordSize, 1);  // axle times in tenths of a ms
    Fixup(d);
    EXPECT_EQ(Allocs(d.File("FIXUP.041"))[0].end, 120u);
}

TEST(FixupAllocations, NothingToFixLeavesNoOutput) {
    struct Case {
        const char* name;
        std::vector<std::pair<uint16_t, uint16_t>> ranges;
        std::string message;
    };
    const Case cases[] = {
        {"no shared axles", {{0, 3}, {4, 7}, {8, 11}}, "No allocation error found.\n"},
        {"no records", {}, "No allocation error found.\n"},
        {"only the shared axle", {{0, 0}, {0, 3}}, "Record 0 holds only the shared axle 0; left unchanged.\n"},
        {"axle beyond the .010", {{0, 20}, {20, 22}}, "Axle 19 is not in \"T.010\"; record 0 left unchanged.\n"},
    };
    for (const Case& c : cases) {
        TempDir d;
        WriteAllocTrain(d, c.ranges);
        WriteFileBytes(d.File("FIXUP.041"), {' '});  // from an earlier train
        RunResult r = Fixup(d);
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.name << "\n" << r.out;
        EXPECT_EQ(r.out.find("No allocation error found.") != std::string::npos,
                  c.message == "No allocation error found.\n")
            << c.name;
        EXPECT_FALSE(PathExists(d.File("FIXUP.041"))) << c.name;
    }
}

TEST(FixupAllocations, UnusableInputsAreReportedAsSuch) {
    struct Case {
        const char* name;
        void (*make)(const TempDir& d);
        std::string message;
    };
    const Case cases[] = {
        {"missing .041", [](const TempDir& d) { std::filesystem::remove(d.File("T.041")); },
         "Cannot open \"T.041\".\n"},
        {"empty .010", [](const TempDir& d) { WriteFileBytes(d.File("T.010"), {}); }, "Cannot open \"T.010\".\n"},
        {"20-byte allocation records",
         [](const TempDir& d) {
             AllocFileBuilder().Add(AllocRecord({.first = 0, .last = 3}, 20)).Add(AllocRecord({.first = 3}, 20))
                 .Write(d.File("T.041"));
         },
         "\"T.041\": records of 20 bytes are not axle allocation records.\n"},
    };
    for (const Case& c : cases) {
        TempDir d;
        WriteAllocTrain(d, {{0, 3}, {3, 6}});
        c.make(d);
        RunResult r = Fixup(d);
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.name << "\n" << r.out;
        EXPECT_EQ(r.out.find("No allocation error found."), std::string::npos) << c.name;
        EXPECT_FALSE(PathExists(d.File("FIXUP.041"))) << c.name;
    }
}

TEST(FixupAllocations, TrainNamedFixupKeepsItsAllocation) {
    TempDir d;
    WriteAllocTrain(d, {{0, 3}, {3, 6}});
    std::filesystem::rename(d.File("T.041"), d.File("FIXUP.041"));
    std::filesystem::rename(d.File("T.010"), d.File("FIXUP.010"));
    const auto own = ReadFileBytes(d.File("FIXUP.041"));
    RunResult r = Fixup(d, "FIXUP");
    EXPECT_NE(r.out.find("\"FIXUP.041\" is the train's own allocation; it is not replaced.\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("FIXUP.041")), own);
}

// ---------------------------------------------------------------------------

namespace {

RunResult Digitize(const TempDir& d) { return RunTrimwell(d.Path(), {"T", "/OP15"}); }

const char* const kDigitizerRow = " 1  15 Processing Wheel Digitizer Data... \n";

std::string Totals(unsigned total, unsigned time, unsigned signals, unsigned samples) {
    return "\n\nTotal Original Samples..." + std::to_string(total) + "\nTotal Time..............." +
           std::to_string(time) + "\nTotal Signals............" + std::to_string(signals) +
           "\nTotal Samples............" + std::to_string(samples) + "\n\n";
}

}  // namespace

TEST(ProcessDigitizerData, IdleSamplesGiveOnlyTheTotals) {
    TempDir d;
    DigitizerFileBuilder()
        .Add(DigitizerBlock(1000, 1004, {{10, 12}, {10, 12}, {10, 12}, {10, 12}}))
        .Add(DigitizerBlock(1004, 1004, {}))
        .Add(DigitizerBlock(1004, 1006, {{10, 12}, {10, 12}}))
        .Write(d.File("T.01d"));
    RunResult r = Digitize(d);
    EXPECT_EQ(r.out.substr(r.out.find(" 1  15")), std::string(kDigitizerRow) + Totals(6, 0, 0, 0) + "\n\n");
}

TEST(ProcessDigitizerData, SignalsListedAndSummed) {
    TempDir d;
    // 1 ms per sample from 1000 ms on; channel 1 alone is enough for a signal.
    DigitizerFileBuilder()
        .Add(DigitizerBlock(1000, 1006, {{10, 12}, {200, 12}, {10, 90}, {10, 12}, {10, 12}, {10, 12}}, 5, 7))
        .Add(DigitizerBlock(1006, 1010, {{10, 12}, {10, 12}, {10, 12}, {150, 160}}, 6, 8))
        .Write(d.File("T.01d"));
    RunResult r = Digitize(d);
    const std::string listing = std::string(kDigitizerRow) +
                                "         0, 1001.000000, 200, 12, 5, 7\n"
                                "         1, 1002.000000, 10, 90, 5, 7\n"
                                "         2, 1009.000000, 150, 160, 6, 8\n" +
                                // The signal still running at the end adds no time.
                                Totals(10, 2, 2, 3) + "\n\n";
    EXPECT_EQ(r.out.substr(r.out.find(" 1  15")), listing);
}

TEST(ProcessDigitizerData, BlocksRunningBackwardsAddNoTime) {
    TempDir d;
    DigitizerFileBuilder()
        .Add(DigitizerBlock(2000, 2004, {{10, 12}, {10, 12}, {10, 12}, {200, 12}}))
        .Add(DigitizerBlock(1000, 1004, {{10, 12}, {10, 12}, {10, 12}, {10, 12}}))
        .Write(d.File("T.01d"));
    RunResult r = Digitize(d);
    EXPECT_NE(r.out.find(Totals(8, 0, 1, 1)), std::string::npos) << r.out;
}

TEST(ProcessDigitizerData, UnusableFilesGiveAnEmptyRow) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"empty file", {}},
        {"header only", DigitizerFileBuilder().Build()},
        {"blocks without samples", DigitizerFileBuilder().Add(DigitizerBlock(1, 2, {})).Add(DigitizerBlock(2, 3, {})).Build()},
        {"block length below its header",
         DigitizerFileBuilder().Add(DigitizerBlock(1, 2, {{200, 200}}, 5, 0, 4)).Build()},
    };
    for (const Case& c : cases) {
        TempDir d;
        WriteFileBytes(d.File("T.01d"), c.bytes);
        RunResult r = Digitize(d);
        EXPECT_EQ(r.status, 0) << c.name;
        EXPECT_NE(r.out.find(" 1  15 Processing Wheel Digitizer Data... \n\n"), std::string::npos) << c.name << r.out;
        EXPECT_EQ(r.out.find("Total"), std::string::npos) << c.name;
    }
    TempDir missing;
    EXPECT_EQ(Digitize(missing).out.find("Total"), std::string::npos);
}
