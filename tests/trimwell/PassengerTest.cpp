// Passenger trains: owner codes of the configuration, detection and its
// marker (OP19), the passenger allocation (OP20) and the articulated axle
// counts (OP21), run through the real Trimwell.
#include "../vehicles/VehicleRecords.h"
#include "AllocFile.h"
#include "ConsistFile.h"
#include "EncodedTags.h"
#include "TrimwellRecords.h"
#include "Trimwell.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace fixture;
namespace cs = layout::consist;

namespace {

std::vector<std::string> Codes(std::string_view text) { return ParsePassengerCodes(text); }

void WriteText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// A consist of vehicles with one tag each of the given owners (locomotive
// tags for EGC 5, railcar tags otherwise).
void WriteConsist(const TempDir& d, const std::vector<std::string>& owners) {
    std::vector<std::vector<uint8_t>> entries;
    for (size_t i = 0; i < owners.size(); ++i) {
        const uint8_t egc = i == 0 ? cs::kEgcLocomotive : cs::kEgcRailcar;
        entries.push_back(ConsistEntry({.vehicle = uint16_t(i),
                                        .axles = 4,
                                        .firstAxle = uint16_t(4 * i),
                                        .egc = egc,
                                        .reads = {{.text = TagText(egc, owners[i], 100 + uint32_t(i))}}})
                              .Bytes());
    }
    ConsistFile(entries).Write(d.File("T.035"));
}

}  // namespace

// --- configuration ------------------------------------------------------------

TEST(PassengerConfig, LinesGiveTheFirstWordOfTheirFirstFourCharacters) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> codes;
    };
    const std::string longComment = ";" + std::string(118, '-') + "PXR\n";
    const std::string longIndent = std::string(119, ' ') + "PXR\n";
    const Case cases[] = {
        {"comment and lower case", "; owners\npxr\n", {"pxr"}},
        {"six letters", "AMTRAK\n", {"AMTR"}},
        {"word ends at a blank", "AB CD\nVIA\tX\n", {"AB", "VIA"}},
        {"trimmed both ends", "  \t PXR \r\n\r\n   \n", {"PXR"}},
        {"comment after blanks", "   ;PXR\n", {}},
        {"no line feed at the end", "ABC\nDEF", {"ABC", "DEF"}},
        {"tail of a long comment", longComment + "XYZ\n", {"XYZ"}},
        {"tail of a long indent", longIndent, {}},
        {"byte order mark", "\xEF\xBB\xBFPXR\n", {"PXR"}},
        {"binary bytes", std::string("\x01\xFF\x80Z\n\0\0AB\n", 10), {"\x01\xFF\x80Z", std::string("\0\0AB", 4)}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Codes(c.text), c.codes);
    }
}

// --- OP19 ---------------------------------------------------------------------

TEST(DetectPassengerTrain, ListedOwnerMarksTheTrain) {
    struct Case {
        const char* name;
        std::string config;
        std::vector<std::string> owners;
        bool found;
    };
    const Case cases[] = {
        {"lower-case code after a comment", "; passenger owners\n\npxr\n", {"ABC", "PXR"}, true},
        {"6-letter line read as its first 4", "PXRAXX\n", {"BN", "PXRA"}, true},
        {"6-letter line is not its first 3", "PXRAXX\n", {"BN", "PXR"}, false},
        {"code only in the tail of a long comment", ";" + std::string(118, ' ') + "PXR\n", {"PXR"}, false},
        {"no listed owner", "AMTK\nVIA\n", {"BN", "UP"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir d;
        WriteText(d.File("Passengr.cfg"), c.config);
        WriteConsist(d, c.owners);
        WriteText(d.File("T.0PT"), "old");
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP19"});
        EXPECT_EQ(r.status, 0);
        if (c.found) {
            EXPECT_NE(r.out.find("Checking for passenger train... Done. Passenger train found.\n"), std::string::npos)
                << r.out;
            EXPECT_EQ(ReadFileBytes(d.File("T.0PT")), std::vector<uint8_t>{0x20});
        } else {
            EXPECT_NE(r.out.find("Checking for passenger train... Done. Not a passenger train.\n"), std::string::npos)
                << r.out;
            EXPECT_FALSE(PathExists(d.File("T.0PT")));
        }
    }
}

TEST(DetectPassengerTrain, MissingOrBrokenInputs) {
    {  // no configuration: nobody is a passenger operator, the old marker goes
        TempDir d;
        WriteConsist(d, {"PXR"});
        WriteText(d.File("T.0PT"), " ");
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP19"});
        EXPECT_NE(r.out.find("Done. Not a passenger train.\n"), std::string::npos) << r.out;
        EXPECT_FALSE(PathExists(d.File("T.0PT")));
    }
    {  // no consist: the train was not examined, and no old marker says otherwise
        TempDir d;
        WriteText(d.File("Passengr.cfg"), "PXR\n");
        WriteText(d.File("T.0PT"), " ");
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP19"});
        EXPECT_NE(r.out.find("Failed. \"T.035\" cannot be read: train not examined.\n"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Done."), std::string::npos);
        EXPECT_FALSE(PathExists(d.File("T.0PT")));
    }
    {  // a consist that ends in a damaged entry: the whole entries are examined
        TempDir d;
        WriteText(d.File("Passengr.cfg"), "PXR");
        ConsistFile({ConsistEntry({.vehicle = 0,
                                   .axles = 4,
                                   .egc = 5,
                                   .reads = {{.text = TagText(5, "PXR", 1)}}})
                         .Bytes(),
                     ConsistEntry({.vehicle = 1, .lengthField = 0xFFFF}).Bytes()})
            .Write(d.File("T.035"));
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP19"});
        EXPECT_NE(r.out.find("Done. Passenger train found.\n"), std::string::npos) << r.out;
    }
}

TEST(DetectPassengerTrain, MarkerThatCannotBeReplacedIsReported) {
    for (bool listed : {false, true}) {
        SCOPED_TRACE(listed);
        TempDir d;
        WriteText(d.File("Passengr.cfg"), "PXR\n");
        WriteConsist(d, {listed ? "PXR" : "BN"});
        std::filesystem::create_directory(d.File("T.0PT"));
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP19"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.find("Done."), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(listed ? "Failed. Passenger train found, but \"T.0PT\" cannot be written.\n"
                                    : "Failed. Not a passenger train, but the old \"T.0PT\" cannot be deleted"),
                  std::string::npos)
            << r.out;
    }
}

// --- OP20 ---------------------------------------------------------------------

TEST(RegeneratePassengerAllocation, ArticulatedTrainGetsItsMarker) {
    TempDir d;
    AxlesAtFeet(LocoThenTrucks(4 + 3 + 2 * 3 + 3 + 4, 50)).Write(d.File("T.010"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP20"});
    EXPECT_NE(r.out.find("Processing as passenger train... Done. New \"T.041\" created...\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("T.0AP")), std::vector<uint8_t>{0x20});
    CAllocFile alloc;
    ASSERT_EQ(alloc.Load(d.File("T").c_str()), 1);
    EXPECT_EQ(alloc.CountVehicles(), 3 + 4);
}

TEST(RegeneratePassengerAllocation, FreightLosesAStaleMarker) {
    TempDir d;
    AxlesAtFeet(LocoThenTrucks(22, 40, 12)).Write(d.File("T.010"));
    WriteText(d.File("T.0AP"), " ");
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP20"});
    EXPECT_NE(r.out.find("Done. New \"T.041\" created...\n"), std::string::npos) << r.out;
    EXPECT_FALSE(PathExists(d.File("T.0AP")));
    CAllocFile alloc;
    ASSERT_EQ(alloc.Load(d.File("T").c_str()), 1);
    EXPECT_EQ(alloc.CountVehicles(), 5);

    // A stale marker that cannot be removed is reported, not passed over.
    std::filesystem::create_directory(d.File("T.0AP"));
    r = RunTrimwell(d.Path(), {"T", "/OP20"});
    EXPECT_NE(r.out.find("Failed. New \"T.041\" created, but the old \"T.0AP\" cannot be deleted"),
              std::string::npos)
        << r.out;
}

TEST(RegeneratePassengerAllocation, NothingToBuildKeepsTheOldFiles) {
    TempDir d;
    const std::vector<uint8_t> old = {1, 2, 3};
    WriteFileBytes(d.File("T.041"), old);
    WriteText(d.File("T.0AP"), " ");
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP20"});  // no .010
    EXPECT_NE(r.out.find("Done. No change.\n"), std::string::npos) << r.out;
    AxlesAtFeet({0, 9, 40}).Write(d.File("T.010"));  // too few axles for a locomotive
    r = RunTrimwell(d.Path(), {"T", "/OP20"});
    EXPECT_NE(r.out.find("Done. No change.\n"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("T.041")), old);
    EXPECT_TRUE(PathExists(d.File("T.0AP")));
}

TEST(RegeneratePassengerAllocation, MarkerThatCannotBeWrittenIsReported) {
    TempDir d;
    AxlesAtFeet(LocoThenTrucks(18, 50)).Write(d.File("T.010"));
    std::filesystem::create_directory(d.File("T.0AP"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP20"});
    EXPECT_EQ(r.out.find("Done."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Failed. New \"T.041\" created, but \"T.0AP\" cannot be written.\n"), std::string::npos)
        << r.out;
}

// --- OP21 ---------------------------------------------------------------------

namespace {

// One unit of an articulated consist.
struct Unit {
    unsigned axles;
    uint8_t egc;
    uint32_t field44 = 0;  // decoded tag field at offset 44
    uint8_t high = 0;      // axle count high byte
};

// Locomotive, 3-axle unit, 2-axle units, 3-axle unit, locomotive; unit
// `tagged` of the 2-axle units (counted from 0) carries a tag saying 4.
std::vector<Unit> Articulated(int twoAxleUnits, int tagged) {
    std::vector<Unit> u = {{4, 5}, {3, 19}};
    for (int i = 0; i < twoAxleUnits; ++i) u.push_back({2, 19, i == tagged ? 4u : 0u});
    u.push_back({3, 19});
    u.push_back({4, 5});
    return u;
}

// The consist of the units, vehicles numbered from `first`, first axles as
// running sums, every tag with the axle-count (A) and length (L) exceptions.
TrainFileBuilder ArticulatedConsist(const std::vector<Unit>& units, uint16_t first = 0) {
    std::vector<std::vector<uint8_t>> entries;
    uint16_t axle = 0;
    for (size_t i = 0; i < units.size(); ++i) {
        const Unit& u = units[i];
        const std::string text = u.egc == 5 ? TagText(5, "PXR", 1 + uint32_t(i))
                                            : TagText(19, "PXR", 1 + uint32_t(i), {{layout::aei::kRailcar44, u.field44}});
        entries.push_back(ConsistEntry({.vehicle = uint16_t(first + i),
                                        .axles = u.axles + 256u * u.high,
                                        .firstAxle = axle,
                                        .egc = u.egc,
                                        .reads = {{.flags = 0x0006, .text = text}, {.flags = 0x0004, .text = text}}})
                              .Bytes());
        axle = uint16_t(axle + u.axles);
    }
    return ConsistFile(entries);
}

struct EntryView {
    unsigned axles, firstAxle;
    uint16_t flags1, flags2;
    bool operator==(const EntryView&) const = default;
};

std::vector<EntryView> Entries(const std::string& path) {
    CConsistFile c;
    std::vector<EntryView> v;
    if (!c.Load(path.c_str())) return v;
    for (int i = 0; i < c.GetCount(); ++i) {
        c.SeekEntry(i);
        uint16_t f1 = 0, f2 = 0;
        c.GetTagFlagsAt(0, f1);
        c.GetTagFlagsAt(1, f2);
        v.push_back({c.GetField(cs::kAxleCount), c.GetField(cs::kFirstAxle), f1, f2});
    }
    return v;
}

}  // namespace

TEST(FixArticulatedAxleCounts, EndUnitsAndTaggedUnitGetTwoFourTwo) {
    TempDir d;
    ArticulatedConsist(Articulated(4, 2)).Write(d.File("T.035"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP21"});
    EXPECT_NE(r.out.find("Fixing articulated passenger train axle counts... Done. New \"T.035\" created...\n"),
              std::string::npos)
        << r.out;
    // Vehicle 1, d = 4 and e = 6 change; A is cleared from both their tags,
    // L stays, and the first axles are running sums again.
    const std::vector<EntryView> expect = {
        {4, 0, 0x6, 0x4},  {2, 4, 0x2, 0x0},  {2, 6, 0x6, 0x4},  {2, 8, 0x6, 0x4},
        {4, 10, 0x2, 0x0}, {2, 14, 0x6, 0x4}, {2, 16, 0x2, 0x0}, {4, 18, 0x6, 0x4},
    };
    EXPECT_EQ(Entries(d.File("T")), expect);

    // Once corrected the consist no longer has the pattern.
    const auto fixedBytes = ReadFileBytes(d.File("T.035"));
    r = RunTrimwell(d.Path(), {"T", "/OP21"});
    EXPECT_NE(r.out.find("Done. No change.\n"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("T.035")), fixedBytes);
}

TEST(FixArticulatedAxleCounts, LaterTaggedUnitWinsAndNumberingFromOne) {
    TempDir d;
    std::vector<Unit> units = Articulated(3, 0);
    units[4].field44 = 4;  // the last 2-axle unit says 4 as well
    ArticulatedConsist(units, 1).Write(d.File("T.035"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP21"});
    EXPECT_NE(r.out.find("Done. New \"T.035\" created...\n"), std::string::npos) << r.out;
    // The head locomotive (vehicle 1) keeps its 4 axles: the second entry is
    // the first 3-axle unit, whatever its number.
    std::vector<unsigned> axles;
    for (const EntryView& e : Entries(d.File("T"))) axles.push_back(e.axles);
    EXPECT_EQ(axles, (std::vector<unsigned>{4, 2, 2, 2, 4, 2, 4}));
    EXPECT_EQ(Entries(d.File("T"))[4].firstAxle, 10u);
}

TEST(FixArticulatedAxleCounts, ConsistsOutsideThePatternAreNotChanged) {
    struct Case {
        const char* name;
        TrainFileBuilder consist;
    };
    std::vector<Unit> highByte = Articulated(4, 2);
    highByte[3].high = 1;
    std::vector<Unit> extra = Articulated(4, 2);
    extra.push_back({4, 5});
    std::vector<Unit> loco3 = Articulated(4, 2);
    loco3[0].egc = 19;
    std::vector<std::vector<uint8_t>> twoEntries;
    {
        // Vehicle 3 described by two entries.
        CConsistFile c;
        TempDir t;
        ArticulatedConsist(Articulated(4, 2)).Write(t.File("A.035"));
        c.Load(t.File("A").c_str());
        for (int i = 0; i < c.GetCount(); ++i) {
            auto e = c.EntryAt(i);
            std::vector<uint8_t> bytes(e.begin(), e.end());
            if (i >= 4) layout::Set(bytes, 0, cs::kVehicleNumber, uint32_t(i - 1));
            twoEntries.push_back(bytes);
        }
    }
    Case cases[] = {
        {"no unit tagged with 4 axles", ArticulatedConsist(Articulated(4, -1))},
        {"last vehicle number 4", ArticulatedConsist(Articulated(1, 0))},
        {"axle count high byte set", ArticulatedConsist(highByte)},
        {"an entry after the closing locomotive", ArticulatedConsist(extra)},
        {"head is no locomotive", ArticulatedConsist(loco3)},
        {"a vehicle of two entries", ConsistFile(twoEntries)},
        {"damaged bytes after the last entry", ArticulatedConsist(Articulated(4, 2)).Trailing({30, 0, 9, 0})},
        {"no entries", ConsistFile({})},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir d;
        c.consist.Write(d.File("T.035"));
        const auto before = ReadFileBytes(d.File("T.035"));
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP21"});
        EXPECT_NE(r.out.find("Done. No change.\n"), std::string::npos) << r.out;
        EXPECT_EQ(ReadFileBytes(d.File("T.035")), before);
    }
    TempDir none;
    RunResult r = RunTrimwell(none.Path(), {"T", "/OP21"});
    EXPECT_NE(r.out.find("Done. No change.\n"), std::string::npos) << r.out;
}
