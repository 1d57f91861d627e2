// Train summary creation (OP10), consist series combination (OP11) and
// damaged input to all tag read operations, run through the real Trimwell.
#include "ConsistLayout.h"
#include "EncodedTags.h"
#include "ReportRows.h"
#include "SummaryLayout.h"
#include "TagLayout.h"
#include "TrimwellRecords.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>

using namespace fixture;
namespace tr = layout::tagread;
namespace hd = layout::header;
namespace sm = layout::summary;

namespace {

const std::string kSummaryRow = RowStart(1, 10, "Checking for missing .034 file.");

// Sets a file's last-write time to a local date and time.
void SetLocalWriteTime(const std::string& path, int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const timespec times[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::vector<uint8_t> Bytes(const std::vector<uint8_t>& data, size_t off, size_t n) {
    return std::vector<uint8_t>(data.begin() + off, data.begin() + off + n);
}

}  // namespace

// --- OP10 ----------------------------------------------------------------------

TEST(CreateTrainSummary, DatesFromTheTagFileCountsFromTheWheelEvents) {
    TempDir d;
    TagReadFileBuilder()
        .Header(hd::kDay, 0x07).Header(hd::kMonth, 0x12).Header(hd::kYear, 0x2025)
        .Header(hd::kHours, 0x14).Header(hd::kMinutes, 0x30).Header(hd::kSeconds, 0x45)
        .Add(TagReadRecord({.time = 1, .text = "ABCDEFGHIJKLMNOPQRST"}))
        .Write(d.File("T.060"));
    SetLocalWriteTime(d.File("T.060"), 2024, 3, 5, 6, 7, 8);
    WheelFileBuilder()
        .Add(WheelRecord(0, 10)).Add(WheelRecord(1, 20)).Add(WheelRecord(0, 30, 1))
        .Add(WheelRecord(1, 40, 1)).Add(WheelRecord(1, 50))
        .Write(d.File("T.012"));
    RunResult r = RunTrimwell(d.Path(), {"T", "/OP10"});
    EXPECT_NE(r.out.find(kSummaryRow + "T.034 created.\n\n"), std::string::npos) << r.out;

    const std::vector<uint8_t> file = ReadFileBytes(d.File("T.034"));
    ASSERT_EQ(file.size(), 64u + 180u);
    // The header words the current library knows a summary by.
    EXPECT_EQ(layout::Get(file, 0, hd::kFormat), 0x0100u);
    EXPECT_EQ(layout::Get(file, 0, hd::kTypeGroup), 4u);
    EXPECT_EQ(layout::Get(file, 0, hd::kTypeSubcode), 4u);
    EXPECT_EQ(layout::Get(file, 0, hd::kRecordCount), 1u);
    EXPECT_EQ(layout::Get(file, 0, hd::kRecordLength), 180u);
    EXPECT_EQ(layout::Get(file, 0, hd::kFileLength), 244u);

    const std::vector<uint8_t> rec = DataOf(file);
    EXPECT_EQ(layout::GetText(rec, sm::kTrainIdOffset, sm::kTrainIdLength), "Unknown");
    EXPECT_EQ(Bytes(rec, 22, 8), (std::vector<uint8_t>{0x25, 0x20, 0x07, 0x12, 0x30, 0x14, 0x00, 0x45}));
    EXPECT_EQ(Bytes(rec, 102, 8), (std::vector<uint8_t>{0x24, 0x20, 0x05, 0x03, 0x07, 0x06, 0x00, 0x08}));
    EXPECT_EQ(layout::Get(rec, 0, sm::kCountB), 3u);
    EXPECT_EQ(layout::Get(rec, 0, sm::kCountA), 2u);
    EXPECT_EQ(layout::Get(rec, 0, sm::kFlaggedB), 1u);
    EXPECT_EQ(layout::Get(rec, 0, sm::kFlaggedA), 1u);
    EXPECT_EQ(layout::Get(rec, 0, sm::kLastWheelB), 1u);

    // A second run finds it and leaves it alone.
    r = RunTrimwell(d.Path(), {"T", "/OP10"});
    EXPECT_NE(r.out.find(kSummaryRow + "T.034 already exists.\n\n"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFileBytes(d.File("T.034")), file);
}

TEST(CreateTrainSummary, WhatIsMissingOrCannotBeUsed) {
    {
        // An empty summary file is a summary file all the same.
        TempDir d;
        TagReadFileBuilder().Write(d.File("T.060"));
        WriteFileBytes(d.File("T.034"), {});
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP10"});
        EXPECT_NE(r.out.find("T.034 already exists.\n"), std::string::npos);
        EXPECT_TRUE(ReadFileBytes(d.File("T.034")).empty());
    }
    {
        // No tag file: nothing to date the summary with, nothing written.
        TempDir d;
        WheelFileBuilder().Add(WheelRecord(0, 10)).Write(d.File("T.012"));
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP10"});
        EXPECT_NE(r.out.find(kSummaryRow + "\n"), std::string::npos) << r.out;
        EXPECT_FALSE(PathExists(d.File("T.034")));
    }
    {
        // No wheel events: the counts stay 0.
        TempDir d;
        TagReadFileBuilder().Header(hd::kYear, 0x1999).Write(d.File("T.060"));
        RunTrimwell(d.Path(), {"T", "/OP10"});
        const std::vector<uint8_t> rec = DataOf(ReadFileBytes(d.File("T.034")));
        ASSERT_EQ(rec.size(), 180u);
        EXPECT_EQ(Bytes(rec, 22, 2), (std::vector<uint8_t>{0x99, 0x19}));
        EXPECT_EQ(Bytes(rec, 90, 8), std::vector<uint8_t>(8, 0));
    }
    {
        // Wheel events of a foreign record length are refused.
        TempDir d;
        TagReadFileBuilder().Write(d.File("T.060"));
        WheelFileBuilder().Add(WheelRecord(0, 10)).Add(WheelRecord(1, 20)).RecordLength(4).Write(d.File("T.012"));
        RunResult r = RunTrimwell(d.Path(), {"T", "/OP10"});
        EXPECT_NE(r.out.find("has records of 4 bytes, not 8. \n"), std::string::npos) << r.out;
        EXPECT_FALSE(PathExists(d.File("T.034")));
    }
}

// --- OP11 ----------------------------------------------------------------------

namespace {

const std::string kSeriesRow = RowStart(1, 11, "Combining 035 files.");

std::vector<uint8_t> Entry(uint16_t vehicle, uint8_t egc, const std::string& owner, uint32_t number, unsigned axles = 4) {
    return ConsistEntry({.vehicle = vehicle, .axles = axles, .firstAxle = uint16_t(4 * (vehicle - 1)), .egc = egc,
                         .reads = {{.text = TagText(egc, owner, number)}}})
        .Bytes();
}

std::vector<std::vector<uint8_t>> Fragment(uint16_t firstVehicle, unsigned n) {
    std::vector<std::vector<uint8_t>> entries;
    for (unsigned i = 0; i < n; ++i) entries.push_back(Entry(uint16_t(firstVehicle + i), 19, "TTX", 1000 + i));
    return entries;
}

std::vector<uint8_t> Concatenated(const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace

TEST(CombineConsistSeries, FragmentsAppendedInOrderUnderTheirFirstHeader) {
    TempDir d;
    const auto first = Fragment(1, 10), second = Fragment(11, 12);
    ConsistFile(first).HeaderU16(32, 0x1234).Write(d.File("T01.035"));
    ConsistFile(second).Write(d.File("T02.035"));
    ConsistFile(Fragment(40, 3)).Write(d.File("T04.035"));  // after the gap: not part of the series
    RunResult r = RunTrimwell(d.Path(), {"T00", "/OP11"});
    EXPECT_EQ(r.out.find(kSeriesRow + "2 files combined.\n\n"), r.out.find(kSeriesRow)) << r.out;

    const std::vector<uint8_t> out = ReadFileBytes(d.File("T00.035"));
    EXPECT_EQ(layout::Get(out, 0, hd::kRecordCount), 22u);
    EXPECT_EQ(layout::Get(out, 0, hd::kFileLength), out.size());
    EXPECT_EQ(layout::Get(out, 0, hd::kFormat), kConsistFormat);
    EXPECT_EQ(layout::Get(out, 0, hd::kWord32), 0x1234u);
    EXPECT_EQ(layout::Get(out, 0, hd::kRecordLength), 0u);
    std::vector<std::vector<uint8_t>> both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(DataOf(out), Concatenated(both));
}

TEST(CombineConsistSeries, ListsTheBaseConsistForwardThenReversed) {
    TempDir d;
    ConsistFile({Entry(1, 5, "UP", 4455, 6), Entry(2, 19, "GATX", 20117),
                 ConsistEntry({.vehicle = 3, .axles = 4, .status = 4, .egc = 19}).Bytes()})
        .Write(d.File("T00.035"));
    RunResult r = RunTrimwell(d.Path(), {"T00", "/OP11"});
    EXPECT_NE(r.out.find(kSeriesRow + "\n"
                                      "001 05 06    UP     4455\n"
                                      "002 19 04  GATX    20117\n"
                                      "003 19 04               \n"
                                      "\n"
                                      "001 19 04               \n"
                                      "002 19 04  GATX    20117\n"
                                      "003 05 06    UP     4455\n"
                                      "0 files combined.\n"),
              std::string::npos)
        << r.out;
}

TEST(CombineConsistSeries, NothingToCombineLeavesTheOutputAlone) {
    struct Case {
        const char* name;
        const char* base;
        std::vector<std::pair<std::string, TrainFileBuilder>> files;
        std::string text;
    };
    std::vector<Case> cases = {
        // The consist of an ordinary train whose name ends in 00.
        {"no fragments", "T00", {}, "0 files combined.\n"},
        {"name too short", "T", {}, "Error: Filename must contain at minimum 2 digits\n"},
        {"fixed records", "T00", {{"T01.035", ConsistFile(Fragment(1, 2)).RecordLength(24)}},
         "has records of 24 bytes, not 0. Nothing combined.\n"},
        {"too many entries", "T00",
         {{"T01.035", ConsistFile(std::vector<std::vector<uint8_t>>(40000, ConsistEntry({.vehicle = 1}).Bytes()))},
          {"T02.035", ConsistFile(std::vector<std::vector<uint8_t>>(30000, ConsistEntry({.vehicle = 2}).Bytes()))}},
         "More than 65535 entries to combine; nothing written.\n"},
    };
    for (Case& c : cases) {
        TempDir d;
        const std::vector<uint8_t> own = ConsistFile(Fragment(1, 3)).Build();
        WriteFileBytes(d.File("T00.035"), own);
        for (auto& [name, file] : c.files) file.Write(d.File(name));
        RunResult r = RunTrimwell(d.Path(), {c.base, "/OP11"});
        EXPECT_NE(r.out.find(c.text + "\n"), std::string::npos) << c.name << ": " << r.out;
        EXPECT_EQ(ReadFileBytes(d.File("T00.035")), own) << c.name;
    }
}

// --- damaged input ---------------------------------------------------------------

TEST(TagAndSeriesOperations, DamagedFilesNeverCrashTheRun) {
    // A sound train, then each of its files cut short, emptied, filled with
    // noise or given a header that claims far more than the file holds.
    const std::string text = TagText(19, "TTX", 1);
    auto tags = [&](uint8_t config) {
        TrainFileBuilder b = TagReadFileBuilder();
        b.Header(tr::kProcessingFlags, tr::kTagPairProcessed).Header(tr::kAntennaConfig, config);
        for (uint32_t i = 0; i < 6; ++i)
            b.Add(TagReadRecord({.time = 1000 * i, .text = text, .antenna = char('0' + i % 2), .readCount = 3}));
        return b.Build();
    };
    std::vector<std::pair<std::string, std::vector<uint8_t>>> sound = {
        {"T00.010", AxleFileBuilder().Add(AxleRecord(80, 1, 10, 1)).Add(AxleRecord(90, 1, 3000, 2)).Build()},
        {"T00.060", tags(3)},
        {"T00.064", tags(4)},
        {"T00.012", WheelFileBuilder().Add(WheelRecord(0, 1)).Add(WheelRecord(1, 2)).Build()},
        {"T00.035", ConsistFile({ConsistEntry({.vehicle = 1, .axles = 4, .egc = 19, .reads = {{.text = text}}}).Bytes()})
                        .Build()},
        {"T01.035", ConsistFile({ConsistEntry({.vehicle = 1, .axles = 4}).Bytes()}).Build()},
    };
    std::mt19937 rng(11);
    std::vector<std::function<std::vector<uint8_t>(std::vector<uint8_t>)>> damage = {
        [](std::vector<uint8_t>) { return std::vector<uint8_t>(); },
        [](std::vector<uint8_t> f) { f.resize(20); return f; },
        [](std::vector<uint8_t> f) { f.resize(64); return f; },
        [](std::vector<uint8_t> f) { f.resize(f.size() - 9); return f; },
        [](std::vector<uint8_t> f) { layout::Set(f, 0, hd::kRecordCount, 0xFFFF); return f; },
        [](std::vector<uint8_t> f) { layout::Set(f, 0, hd::kRecordLength, 1); return f; },
        [](std::vector<uint8_t> f) { layout::Set(f, 0, hd::kScaleNumerator, 0); return f; },
        [&rng](std::vector<uint8_t> f) {
            for (size_t i = 24; i < f.size(); ++i) f[i] = uint8_t(rng());
            return f;
        },
    };
    for (size_t victim = 0; victim < sound.size(); ++victim) {
        for (size_t k = 0; k < damage.size(); ++k) {
            TempDir d;
            for (size_t i = 0; i < sound.size(); ++i)
                WriteFileBytes(d.File(sound[i].first), i == victim ? damage[k](sound[i].second) : sound[i].second);
            RunResult r = RunTrimwell(d.Path(), {"T00", "/OP9", "/OP10", "/OP11", "/OP16", "/OP17", "/S=-1"});
            EXPECT_EQ(r.signal, 0) << sound[victim].first << " damage " << k;
            EXPECT_EQ(r.status, 0) << sound[victim].first << " damage " << k << "\n" << r.err;
        }
    }
}
