// Runs the real edgemill program on IO event files composed byte by byte and
// checks the axle files it writes, what it prints and its exit status.
#include "DetectorEdges.h"
#include "Edgemill.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace fixture;
namespace ax = layout::axle;
namespace hd = layout::header;

namespace {

// Exit statuses as the shell sees them.
constexpr int kShellUsage = 255, kShellCannotOpen = 254, kShellNoPassage = 253, kShellNotPreprocessed = 252;

struct Train {
    TempDir dir;
    TrainFileBuilder io = IoFileBuilder();
    RunResult run;
    std::vector<uint8_t> axles, moves;

    RunResult& Run(std::vector<std::string> switches = {}, bool writeIo = true) {
        if (writeIo) io.Write(dir.File("T.007"));
        switches.insert(switches.begin(), "T");
        run = RunProgram(ProgramPath("edgemill"), switches, dir.Path());
        axles = ReadFileBytes(dir.File("T.010"));
        moves = ReadFileBytes(dir.File("T.011"));
        return run;
    }
    bool Has(const std::string& name) const { return PathExists(dir.File(name)); }
};

Axle Fwd(uint32_t time, unsigned number, unsigned flags = 0, unsigned dir = 1) { return {34, 1, dir, flags, time, number}; }

const char* const kNo010 = "\n0 axle events found for 010 file\n";
const char* const kNo011 = "\n0 axle events found for 011 file\n";

}  // namespace

TEST(Edgemill, OneForwardPassageAndOutputHeaders) {
    Train t;
    t.io.Header(hd::kFormat, 0x0100).TimeScale(1, 1).Header(hd::kDay, 0x08).Header(hd::kYear, 0x2026);
    t.io.Header(layout::io::kCarry39, 0x5A).Header(layout::io::kCarry40, 0x1234).HeaderU8(50, 0xEE);
    Edges(t.io, 1000, "A AB B -");  // both active 10 ms after A: 34 1/8 mph
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(t.run.out, "");
    EXPECT_EQ(ReadAxles(t.axles), std::vector<Axle>{Fwd(1000, 1)});
    EXPECT_EQ(ReadAxles(t.moves), std::vector<Axle>{Fwd(1000, 1)});
    for (const auto* file : {&t.axles, &t.moves}) {
        ASSERT_EQ(file->size(), 72u);
        EXPECT_EQ(layout::Get(*file, 0, hd::kFormat), 0x0100u);  // copied from the IO header
        EXPECT_EQ(layout::Get(*file, 0, hd::kTypeGroup), 1u);
        EXPECT_EQ(layout::Get(*file, 0, hd::kTypeSubcode), 0u);
        EXPECT_EQ(layout::Get(*file, 0, hd::kFileLength), 72u);
        EXPECT_EQ(layout::Get(*file, 0, hd::kRecordCount), 1u);
        EXPECT_EQ(layout::Get(*file, 0, hd::kRecordLength), 8u);
        EXPECT_EQ(layout::Get(*file, 0, hd::kYear), 0x2026u);
        EXPECT_EQ(layout::Get(*file, 0, hd::kScaleExponent), 1u);
        EXPECT_EQ(layout::Get(*file, 0, ax::kRisingA), 1u);
        EXPECT_EQ(layout::Get(*file, 0, ax::kRisingB), 1u);
        EXPECT_EQ(layout::Get(*file, 0, ax::kPassagesAB), 1u);
        EXPECT_EQ(layout::Get(*file, 0, ax::kPassagesBA), 0u);
        EXPECT_EQ(layout::Get(*file, 0, ax::kIoWord40), 0x1234u);
        EXPECT_EQ(layout::Get(*file, 0, ax::kIoByte39), 0x5Au);
        EXPECT_EQ(layout::GetLE(*file, 50, 1), 0u);  // rest of the summary area cleared
    }
}

TEST(Edgemill, BackOutSequenceFlagsAndReport) {
    Train t;
    uint32_t at = Edges(t.io, 100, "A AB B -");
    at = Edges(t.io, at, "B AB A -");  // backs out over the detectors
    at = Edges(t.io, at, "A AB B -");  // the same axle comes forward again
    Edges(t.io, at, "A AB B -");       // next new axle
    ASSERT_EQ(t.Run({"/P"}).status, 0);
    EXPECT_EQ(ReadAxles(t.axles), (std::vector<Axle>{Fwd(100, 1), Fwd(220, 2)}));
    EXPECT_EQ(ReadAxles(t.moves), (std::vector<Axle>{Fwd(100, 1), Fwd(140, 1, 0x60, 0), Fwd(180, 1, 0x40),
                                                     Fwd(220, 2, 0x80)}));
    EXPECT_EQ(layout::Get(t.moves, 0, ax::kRisingA), 4u);
    EXPECT_EQ(layout::Get(t.moves, 0, ax::kPassagesBA), 1u);
    EXPECT_EQ(t.run.out,
              "001 -->--> (001)\n"
              "001 <--<-- (000)\n"
              "002 -->--> (002)\n"
              "-----------------------\n"
              "Total forward axles 003\n"
              "Total reverse axles 001\n"
              "Sum axle movement   002\n");
}

TEST(Edgemill, ReverseSwitchTurnsTheFirstWheelIntoABackwardPassage) {
    Train t;
    Edges(t.io, 0, "A AB B -");
    ASSERT_EQ(t.Run({"/r", "/p"}).status, 0);
    EXPECT_EQ(t.run.out, std::string("001 -->--> (001)\n-----------------------\nTotal forward axles 001\n"
                                     "Total reverse axles 000\nSum axle movement   001\n") + kNo010);
    EXPECT_FALSE(t.Has("T.010"));
    EXPECT_EQ(ReadAxles(t.moves), std::vector<Axle>{Fwd(0, 0, 0x60, 1)});
}

TEST(Edgemill, DetectorWithoutTheOtherOrLatchedAtStartGivesNoPassage) {
    Train t;
    uint32_t at = Edges(t.io, 0, "AB B -");  // both active at the start: B alone does not count yet
    at = Edges(t.io, at, "A -");             // A without B: no passage
    Edges(t.io, at, "A AB B -");
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(ReadAxles(t.axles), std::vector<Axle>{Fwd(50, 1)});
    EXPECT_EQ(layout::Get(t.axles, 0, ax::kRisingA), 2u);

    Train only;
    Edges(only.io, 0, "A - A -");
    WriteFileBytes(only.dir.File("T.010"), {1, 2, 3});  // stale outputs of an earlier run
    WriteFileBytes(only.dir.File("t.011"), {1, 2, 3});
    EXPECT_EQ(only.Run().status, kShellNoPassage);
    EXPECT_EQ(only.run.out, std::string(kNo010) + kNo011);
    EXPECT_EQ(only.dir.List(), std::vector<std::string>{"T.007"});
}

TEST(Edgemill, SearchSkipsUnflaggedRecordsOfLaterRecorders) {
    Train t;
    t.io.Add(IoRecord(0, kWdb, 0)).Add(IoRecord(5, 0, 0));  // not detector events
    Edges(t.io, 10, "A AB B -");
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(ReadAxles(t.axles), std::vector<Axle>{Fwd(10, 1)});

    // A first-generation recorder's file (pre-processed) has no such flag:
    // B first sets the direction B to A, and the wheel is a backward passage.
    t.io.Header(layout::io::kRecorderVersion, 0).Header(layout::io::kPreprocessed, 1);
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(t.run.out, kNo010);
    EXPECT_EQ(ReadAxles(t.moves), std::vector<Axle>{Fwd(10, 0, 0x60, 1)});
}

TEST(Edgemill, MaskSwitch) {
    Train t;
    Edges(t.io, 0, "A AB B -", 10, 0x0400, 0x0800);
    ASSERT_EQ(t.Run({"/b:0x0400:0x0800"}).status, 0);
    EXPECT_EQ(ReadAxles(t.axles), std::vector<Axle>{Fwd(0, 1)});
    // A transducer number keeps the default masks, and so does "/B:".
    EXPECT_EQ(t.Run({"/b:0x0400:0x0800:1"}).status, kShellNoPassage);
    EXPECT_EQ(t.Run({"/B:0x0400:0x0800"}).status, kShellNoPassage);
    // Only the first argument naming masks counts.
    EXPECT_EQ(t.Run({"/b:0x0400:0x0800:1", "/b:0x0400:0x0800"}).status, kShellNoPassage);
    EXPECT_EQ(t.Run({"x", "/b:0x0400:0x0800"}).status, 0);
}

TEST(Edgemill, InversionByteFlipsTheDirectionBitInBothOutputs) {
    Train t;
    t.io.Header(layout::io::kInversion, 1);
    uint32_t at = Edges(t.io, 0, "A AB B -");
    at = Edges(t.io, at, "B AB A -");
    Edges(t.io, at, "A AB B -");
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(ReadAxles(t.axles), std::vector<Axle>{Fwd(0, 1, 0, 0)});
    EXPECT_EQ(ReadAxles(t.moves), (std::vector<Axle>{Fwd(0, 1, 0, 0), Fwd(40, 1, 0x60, 1), Fwd(80, 1, 0x40, 0)}));
    t.io.Header(layout::io::kInversion, 2);  // only 1 inverts
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(ReadAxles(t.axles), std::vector<Axle>{Fwd(0, 1)});
}

TEST(Edgemill, TrailingBackOutsAreDroppedFromTheAxleFile) {
    Train t;
    uint32_t at = 0;
    for (int i = 0; i < 5; ++i) at = Edges(t.io, at, "A AB B -");
    for (int i = 0; i < 3; ++i) at = Edges(t.io, at, "B AB A -");
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(ReadAxles(t.axles), (std::vector<Axle>{Fwd(0, 1), Fwd(40, 2)}));
    EXPECT_EQ(layout::Get(t.axles, 0, hd::kRecordCount), 2u);
    EXPECT_EQ(ReadAxles(t.moves).size(), 8u);
    EXPECT_EQ(layout::Get(t.moves, 0, hd::kFileLength), 64u + 8 * 8);

    // All forward axles backed out: the axle file keeps its header with a
    // count of 0, without a message.
    for (int i = 0; i < 2; ++i) at = Edges(t.io, at, "B AB A -");
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_EQ(t.run.out.find(kNo010), std::string::npos);
    ASSERT_TRUE(t.Has("T.010"));
    EXPECT_EQ(layout::Get(t.axles, 0, hd::kRecordCount), 0u);
    EXPECT_EQ(t.axles.size(), 64u);
    EXPECT_EQ(ReadAxles(t.moves).size(), 10u);

    // More backed out than went forward: no forward axle is left and the
    // axle file is removed.
    at = Edges(t.io, at, "B AB A -");
    WriteFileBytes(t.dir.File("T.010"), {1});
    ASSERT_EQ(t.Run().status, 0);
    EXPECT_FALSE(t.Has("T.010"));
    EXPECT_EQ(ReadAxles(t.moves).size(), 11u);
}

TEST(Edgemill, SpeedsRoundToTheNearestEighthWithAMinimum) {
    Train t;
    uint32_t at = Edges(t.io, 0, "A AB B -");          // 34.09 mph: 34 1/8
    at = Edges(t.io, at, "A AB B -", 34);              // 10.03 mph: 10
    at = Edges(t.io, at, "A AB B -", 0);               // no time between the edges
    at = Edges(t.io, at, "A AB B -", 500000);          // crawling: 0.0007 mph
    t.io.Add(IoRecord(at + 100, kWda)).Add(IoRecord(at, kWda | kWdb));  // time runs backwards
    t.io.Add(IoRecord(at + 200, kWdb)).Add(IoRecord(at + 300, 0));
    ASSERT_EQ(t.Run().status, 0);
    auto axles = ReadAxles(t.axles);
    ASSERT_EQ(axles.size(), 5u);
    EXPECT_EQ((std::pair{axles[0].whole, axles[0].eighths}), (std::pair{34u, 1u}));
    EXPECT_EQ((std::pair{axles[1].whole, axles[1].eighths}), (std::pair{10u, 0u}));
    for (size_t i = 2; i < 5; ++i) EXPECT_EQ((std::pair{axles[i].whole, axles[i].eighths}), (std::pair{0u, 1u})) << i;
}

TEST(Edgemill, CommandLineAndFileErrors) {
    Train t;
    Edges(t.io, 0, "A AB B -");
    t.io.Write(t.dir.File("T.007"));
    auto usage = RunProgram(ProgramPath("edgemill"), {}, t.dir.Path());
    EXPECT_EQ(usage.status, kShellUsage);
    EXPECT_NE(usage.out.find("     Useage: edgemill [basename] [optional switches]\n"), std::string::npos);
    EXPECT_EQ(RunProgram(ProgramPath("edgemill"), {"T", "/p", "/p", "/p", "/p"}, t.dir.Path()).status, kShellUsage);
    EXPECT_EQ(RunProgram(ProgramPath("edgemill"), {"t", "/p", "/p", "/p"}, t.dir.Path()).status, 0);

    Train missing;
    WriteFileBytes(missing.dir.File("T.010"), {7});
    EXPECT_EQ(missing.Run({}, false).status, kShellCannotOpen);
    EXPECT_EQ(missing.run.out, "\nCannot open file(s) T.007 or T.010 or T.011\n");
    EXPECT_EQ(missing.axles, std::vector<uint8_t>{7});  // nothing touched

    Train blocked;  // an output name taken by a directory cannot be written
    blocked.io.Write(blocked.dir.File("T.007"));
    ::mkdir(blocked.dir.File("T.011").c_str(), 0755);
    auto r = RunProgram(ProgramPath("edgemill"), {"T"}, blocked.dir.Path());
    EXPECT_EQ(r.status, kShellCannotOpen);
    EXPECT_EQ(r.out, "\nCannot open file(s) T.007 or T.010 or T.011\nError 5 writing file \"T.011\"\n");
    EXPECT_FALSE(blocked.Has("T.010"));

    // A read-only .011 fails the run before anything is written: the .010
    // keeps its contents, or stays absent.
    Train readOnly;
    Edges(readOnly.io, 0, "A AB B -");
    WriteFileBytes(readOnly.dir.File("T.010"), {1, 2, 3});
    WriteFileBytes(readOnly.dir.File("T.011"), {4, 5});
    ::chmod(readOnly.dir.File("T.011").c_str(), 0444);
    EXPECT_EQ(readOnly.Run().status, kShellCannotOpen);
    EXPECT_EQ(readOnly.run.out, "\nCannot open file(s) T.007 or T.010 or T.011\nError 5 writing file \"T.011\"\n");
    EXPECT_EQ(readOnly.axles, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(readOnly.moves, (std::vector<uint8_t>{4, 5}));
    ::chmod(readOnly.dir.File("T.010").c_str(), 0644);
    ::unlink(readOnly.dir.File("T.010").c_str());
    EXPECT_EQ(readOnly.Run().status, kShellCannotOpen);
    EXPECT_FALSE(readOnly.Has("T.010"));
}

TEST(Edgemill, NotPreprocessedRemovesTheOutputs) {
    Train t;
    t.io.Header(layout::io::kRecorderVersion, 0);
    Edges(t.io, 0, "A AB B -");
    WriteFileBytes(t.dir.File("T.010"), {1});
    EXPECT_EQ(t.Run().status, kShellNotPreprocessed);
    EXPECT_EQ(t.run.out, "\nIO File has not been preprocessed\n");
    EXPECT_EQ(t.dir.List(), std::vector<std::string>{"T.007"});
}

// Malformed files end in one of the program's statuses with a clean result.
TEST(Edgemill, BadInput) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int status;
        size_t axles;
    };
    auto passages = [](int n) {
        TrainFileBuilder b = IoFileBuilder();
        for (int i = 0; i < n; ++i) Edges(b, uint32_t(i) * 40, "A AB B -");
        return b;
    };
    TrainFileBuilder allInactive = IoFileBuilder(), stuck = IoFileBuilder();
    for (uint32_t i = 0; i < 20; ++i) allInactive.Add(IoRecord(i, 0x0001));
    for (uint32_t i = 0; i < 20; ++i) stuck.Add(IoRecord(i, kWda | kWdb | uint16_t(i & 1)));
    const std::vector<uint8_t> full = passages(3).Build();
    const std::vector<Case> cases = {
        {"empty", {}, kShellNotPreprocessed, 0},
        {"truncated header", std::vector<uint8_t>(full.begin(), full.begin() + 30), kShellNotPreprocessed, 0},
        {"header only", std::vector<uint8_t>(full.begin(), full.begin() + 64), kShellNoPassage, 0},
        {"count 0", passages(3).Count(0).Build(), 0, 3},
        {"count too large", passages(3).Count(5000).Build(), 0, 3},
        {"count too small", passages(300).Count(2).Build(), 0, 300},
        {"last record cut", std::vector<uint8_t>(full.begin(), full.end() - 3), 0, 2},
        {"all inactive", allInactive.Build(), kShellNoPassage, 0},
        {"both stuck active", stuck.Build(), kShellNoPassage, 0},
    };
    for (const auto& c : cases) {
        Train t;
        WriteFileBytes(t.dir.File("T.007"), c.bytes);
        EXPECT_EQ(t.Run({"/p"}, false).status, c.status) << c.name;
        EXPECT_EQ(t.run.signal, 0) << c.name;
        EXPECT_EQ(ReadAxles(t.axles).size(), c.axles) << c.name;
        if (c.axles) {
            EXPECT_EQ(layout::Get(t.axles, 0, hd::kRecordCount), c.axles) << c.name;
        }
    }
}

// More passages than a 16-bit count can describe: the outputs keep the first
// 65535 records and say so in their headers.
TEST(EdgemillConvert, OutputsStopAtTheLargestCount) {
    TrainFileBuilder b = IoFileBuilder();
    uint32_t at = 0;
    for (int i = 0; i < 0x10000 + 10; ++i) at = Edges(b, at, "A AB B -");
    EdgemillConversion c = ConvertIoEvents(b.Count(0xFFFF).Build(), EdgemillOptions{});
    ASSERT_EQ(c.status, 0);
    ASSERT_EQ(c.axles.size(), 64u + 8 * 0xFFFF);
    EXPECT_EQ(layout::Get(c.axles, 0, hd::kRecordCount), 0xFFFFu);
    EXPECT_EQ(layout::Get(c.axles, 0, hd::kFileLength), c.axles.size());
    EXPECT_EQ(ReadAxles(c.axles).back().number, 0xFFFFu);
    EXPECT_EQ(c.movements.size(), c.axles.size());
}
