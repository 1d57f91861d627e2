// Passenger trains through the real Trimwell: detection and its marker
// (OP19), the passenger allocation (OP20), the articulated axle counts (OP21).
#include "../vehicles/VehicleRecords.h"
#include "ConsistFile.h"
#include "EncodedTags.h"
#include "TrimwellRecords.h"
#include "Trimwell.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace fixture;
namespace cs = layout::consist;

namespace {

void WriteText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool Has(const RunResult& r, const std::string& text) { return r.out.find(text) != std::string::npos; }

// One unit of a consist: axle count (high byte too), EGC, the owner of its
// tags, the decoded field at offset 44 of its tags, and its vehicle number
// (-1: its position plus the first number).
struct Unit {
    unsigned axles;
    uint8_t egc;
    uint32_t field44 = 0;
    int number = -1;
    std::string owner = "PXR";
};

// The consist of the units, first axles as running sums, each unit with two
// tags, the first flagged L and A, the second A.
TrainFileBuilder Consist(const std::vector<Unit>& units, uint16_t first = 0) {
    std::vector<std::vector<uint8_t>> entries;
    uint16_t axle = 0;
    for (size_t i = 0; i < units.size(); ++i) {
        const Unit& u = units[i];
        const std::string text = TagText(u.egc, u.owner, 1 + uint32_t(i),
                                         {{u.egc == 5 ? layout::aei::kLoco44 : layout::aei::kRailcar44, u.field44}});
        entries.push_back(ConsistEntry({.vehicle = uint16_t(u.number >= 0 ? u.number : first + int(i)),
                                        .axles = u.axles,
                                        .firstAxle = axle,
                                        .egc = u.egc,
                                        .reads = {{.flags = 0x6, .text = text}, {.flags = 0x4, .text = text}}})
                              .Bytes());
        axle = uint16_t(axle + (u.axles & 0xFF));
    }
    return ConsistFile(entries);
}

// Locomotive, 3-axle unit, 2-axle units (the one at `tagged` with field 44
// at 4), 3-axle unit, locomotive.
std::vector<Unit> Articulated(int twoAxleUnits, int tagged) {
    std::vector<Unit> u = {{4, 5}, {3, 19}};
    for (int i = 0; i < twoAxleUnits; ++i) u.push_back({2, 19, i == tagged ? 4u : 0u});
    u.push_back({3, 19});
    u.push_back({4, 5});
    return u;
}

// Axle count, first axle and the flags of both tags of every entry.
std::vector<std::array<unsigned, 4>> Entries(const std::string& path) {
    CConsistFile c;
    std::vector<std::array<unsigned, 4>> v;
    for (int i = 0; c.Load(path.c_str()) && i < c.GetCount() && c.SeekEntry(i); ++i) {
        uint16_t f1 = 0, f2 = 0;
        c.GetTagFlagsAt(0, f1);
        c.GetTagFlagsAt(1, f2);
        v.push_back({c.GetField(cs::kAxleCount), c.GetField(cs::kFirstAxle), f1, f2});
    }
    return v;
}

}  // namespace

TEST(PassengerConfig, CodesAreTheFirstWordOfTheFirstFourCharacters) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"AB CD\nVIA\tX\n   ;PXR\n", {"AB", "VIA"}},                 // word ends at a blank; indented comment
        {"  \t PXR \r\n\r\n   \nDEF", {"PXR", "DEF"}},               // trimmed, CR, no final line feed
        {std::string(119, ' ') + "PXR\n", {}},                       // only 119 characters of a line count
        {"\xEF\xBB\xBFPXR\n", {"PXR"}},                              // byte order mark
        {std::string("\x01\xFF\x80Z\n\0AB", 8), {"\x01\xFF\x80Z", std::string("\0AB", 3)}},  // binary
    };
    for (const auto& [text, codes] : cases) EXPECT_EQ(ParsePassengerCodes(text), codes) << text;
}

TEST(DetectPassengerTrain, ListedOwnerWritesTheMarkerAndAnyOtherRemovesIt) {
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"; passenger owners\n\npxr\n", "PXR", true},       // comment line, lower-case code
        {"PXRAXX\n", "PXRA", true},                         // a 6-letter line lists its first 4
        {"PXRAXX\n", "PXR", false},
        {";" + std::string(118, ' ') + "PXR\n", "PXR", false},  // the tail of a long comment is no code
    };
    for (const auto& [config, owner, found] : cases) {
        SCOPED_TRACE(config);
        TempDir d;
        WriteText(d.File("Passengr.cfg"), config);
        Consist({{4, 5, 0, -1, "BN"}, {4, 19, 0, -1, owner}}).Write(d.File("T.035"));
        WriteText(d.File("T.0PT"), "old");
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP19"});
        EXPECT_TRUE(Has(r, found ? "Checking for passenger train... Done. Passenger train found.\n"
                                 : "Checking for passenger train... Done. Not a passenger train.\n"))
            << r.out;
        EXPECT_EQ(PathExists(d.File("T.0PT")), found);
        if (found) {
            EXPECT_EQ(ReadFileBytes(d.File("T.0PT")), std::vector<uint8_t>{0x20});
        }
    }
}

TEST(DetectPassengerTrain, MissingFilesAndMarkersThatCannotBeReplaced) {
    TempDir d;
    Consist({{4, 5}}).Write(d.File("T.035"));
    WriteText(d.File("T.0PT"), " ");
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP19"});  // no configuration
    EXPECT_TRUE(Has(r, "Done. Not a passenger train.\n")) << r.out;
    EXPECT_FALSE(PathExists(d.File("T.0PT")));

    WriteText(d.File("Passengr.cfg"), "PXR");
    std::filesystem::remove(d.File("T.035"));
    WriteText(d.File("T.0PT"), " ");
    r = RunTrimwell(d.Path(), {"T", "/OP19"});
    EXPECT_TRUE(Has(r, " Failed. \"T.035\" cannot be read: train not examined.\n")) << r.out;
    EXPECT_FALSE(PathExists(d.File("T.0PT")));

    std::filesystem::create_directory(d.File("T.0PT"));
    for (const char* owner : {"BN", "PXR"}) {
        Consist({{4, 5, 0, -1, owner}}).Write(d.File("T.035"));
        r = RunTrimwell(d.Path(), {"T", "/OP19"});
        EXPECT_FALSE(Has(r, "Done.")) << r.out;
        EXPECT_TRUE(Has(r, owner[0] == 'B' ? "Failed. Not a passenger train, but the old \"T.0PT\" cannot be deleted"
                                           : "Failed. Passenger train found, but \"T.0PT\" cannot be written.\n"))
            << r.out;
    }
}

TEST(RegeneratePassengerAllocation, MarkerOnlyForArticulatedTrains) {
    TempDir d;
    AxlesAtFeet(LocoThenTrucks(4 + 3 + 2 * 3 + 3 + 4, 50)).Write(d.File("T.010"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP20"});
    EXPECT_TRUE(Has(r, "Processing as passenger train... Done. New \"T.041\" created...\n")) << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("T.0AP")), std::vector<uint8_t>{0x20});
    EXPECT_EQ(ReadFileBytes(d.File("T.041")).size(), 64u + 7 * 24);

    // Freight over the same base name: the stale marker goes.
    AxlesAtFeet(LocoThenTrucks(22, 40, 12)).Write(d.File("T.010"));
    r = RunTrimwell(d.Path(), {"T", "/OP20"});
    EXPECT_TRUE(Has(r, "Done. New \"T.041\" created...\n")) << r.out;
    EXPECT_FALSE(PathExists(d.File("T.0AP")));
    EXPECT_EQ(ReadFileBytes(d.File("T.041")).size(), 64u + 5 * 24);

    // A marker that can be neither removed (freight) nor written (articulated).
    std::filesystem::create_directory(d.File("T.0AP"));
    r = RunTrimwell(d.Path(), {"T", "/OP20"});
    EXPECT_TRUE(Has(r, "Failed. New \"T.041\" created, but the old \"T.0AP\" cannot be deleted")) << r.out;
    AxlesAtFeet(LocoThenTrucks(18, 50)).Write(d.File("T.010"));
    r = RunTrimwell(d.Path(), {"T", "/OP20"});
    EXPECT_TRUE(Has(r, "Failed. New \"T.041\" created, but \"T.0AP\" cannot be written.\n")) << r.out;
}

TEST(RegeneratePassengerAllocation, NothingToBuildKeepsTheOldFiles) {
    TempDir d;
    const std::vector<uint8_t> old = {1, 2, 3};
    WriteFileBytes(d.File("T.041"), old);
    WriteText(d.File("T.0AP"), " ");
    EXPECT_TRUE(Has(RunTrimwell(d.Path(), {"T", "/OP20"}), "Done. No change.\n"));  // no .010
    AxlesAtFeet({0, 9, 40}).Write(d.File("T.010"));  // too few axles for a locomotive
    EXPECT_TRUE(Has(RunTrimwell(d.Path(), {"T", "/OP20"}), "Done. No change.\n"));
    EXPECT_EQ(ReadFileBytes(d.File("T.041")), old);
    EXPECT_TRUE(PathExists(d.File("T.0AP")));
}

TEST(FixArticulatedAxleCounts, EndUnitsAndTaggedUnitGetTwoFourTwo) {
    TempDir d;
    std::vector<Unit> units = Articulated(4, 0);
    units[4].field44 = 4;  // the later of two tagged units counts
    Consist(units).Write(d.File("T.035"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP21"});
    EXPECT_TRUE(Has(r, "Fixing articulated passenger train axle counts... Done. New \"T.035\" created...\n")) << r.out;
    // Vehicles 1, d = 4 and e = 6 lose A from both tags (L stays) and the
    // first axles are running sums again.
    const std::vector<std::array<unsigned, 4>> expect = {
        {4, 0, 6, 4},  {2, 4, 2, 0},  {2, 6, 6, 4},  {2, 8, 6, 4},
        {4, 10, 2, 0}, {2, 14, 6, 4}, {2, 16, 2, 0}, {4, 18, 6, 4},
    };
    EXPECT_EQ(Entries(d.File("T")), expect);
    const auto fixedBytes = ReadFileBytes(d.File("T.035"));
    r = RunTrimwell(d.Path(), {"T", "/OP21"});  // no longer the pattern
    EXPECT_TRUE(Has(r, "Done. No change.\n")) << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("T.035")), fixedBytes);

    // Numbered from 1: the head keeps its 4 axles, the second entry is the
    // first 3-axle unit.
    Consist(Articulated(3, 1), 1).Write(d.File("T.035"));
    RunTrimwell(d.Path(), {"T", "/OP21"});
    std::vector<unsigned> axles;
    for (const auto& e : Entries(d.File("T"))) axles.push_back(e[0]);
    EXPECT_EQ(axles, (std::vector<unsigned>{4, 2, 2, 4, 2, 2, 4}));
}

TEST(FixArticulatedAxleCounts, ConsistsOutsideThePatternAreNotChanged) {
    auto with = [](auto change) {
        std::vector<Unit> u = Articulated(4, 2);
        change(u);
        return Consist(u);
    };
    std::pair<const char*, TrainFileBuilder> cases[] = {
        {"no tagged unit", Consist(Articulated(4, -1))},
        {"last vehicle number 4", Consist(Articulated(1, 0))},
        {"axle count high byte", with([](auto& u) { u[3].axles += 256; })},
        {"entry after the locomotive", with([](auto& u) { u.push_back({4, 5}); })},
        {"head no locomotive", with([](auto& u) { u[0].egc = 19; })},
        {"a vehicle of two entries", with([](auto& u) { u[4].number = 3; })},
        {"damaged bytes after the last entry", Consist(Articulated(4, 2)).Trailing({30, 0, 9, 0})},
        {"no entries", ConsistFile({})},
    };
    for (auto& [name, consist] : cases) {
        SCOPED_TRACE(name);
        TempDir d;
        consist.Write(d.File("T.035"));
        const auto before = ReadFileBytes(d.File("T.035"));
        EXPECT_TRUE(Has(RunTrimwell(d.Path(), {"T", "/OP21"}), "Done. No change.\n"));
        EXPECT_EQ(ReadFileBytes(d.File("T.035")), before);
    }
    TempDir none;
    EXPECT_TRUE(Has(RunTrimwell(none.Path(), {"T", "/OP21"}), "Done. No change.\n"));
}
