#include "AllocFile.h"
#include "TestSupport.h"
#include "VehicleRecords.h"

#include <gtest/gtest.h>

using namespace fixture;
namespace al = layout::alloc;

namespace {

struct Row {
    uint32_t first, last, egc, seq, part;
    bool operator==(const Row&) const = default;
};

std::vector<Row> Rows(const CAllocFile& f) {
    std::vector<Row> rows;
    for (int i = 0; i < f.GetCount(); ++i)
        rows.push_back({f.GetFieldAt(i, al::kFirstAxle), f.GetFieldAt(i, al::kLastAxle), f.GetFieldAt(i, al::kEgc),
                        f.GetFieldAt(i, al::kSequence), f.GetFieldAt(i, al::kPart)});
    return rows;
}

// Locomotive, a vehicle of three parts, a one-record vehicle.
TrainFileBuilder ThreeVehicles(size_t length = al::kRecordSize) {
    auto b = AllocFileBuilder().RecordLength(static_cast<uint16_t>(length));
    b.Add(AllocRecord({0, 3, 100, 400, 5, 0, 255, 40 << 1}, length));
    b.Add(AllocRecord({4, 5, 500, 600, 19, 1, 0, 41 << 1}, length));
    b.Add(AllocRecord({6, 7, 700, 800, 19, 1, 1, 42 << 1}, length));
    b.Add(AllocRecord({8, 9, 900, 1000, 19, 1, 2, 43 << 1}, length));
    b.Add(AllocRecord({10, 13, 1100, 1400, 19, 2, 255, (44 << 1) | 1}, length));
    return b;
}

struct Loaded {
    TempDir dir;
    CAllocFile file;
    explicit Loaded(const TrainFileBuilder& b) {
        b.Write(dir.File("T.041"));
        EXPECT_EQ(file.Load(dir.File("T").c_str()), 1);
    }
};

}  // namespace

TEST(AllocFile, VehicleDescriptionAndParts) {
    Loaded l(ThreeVehicles());
    CAllocFile& f = l.file;
    EXPECT_EQ(f.CountVehicles(), 3);
    EXPECT_EQ(f.GetIndex(), 0);
    ASSERT_EQ(f.Seek(3), 1);  // last part of vehicle 1
    EXPECT_EQ(f.VehicleFirstAxle(), 4);
    EXPECT_EQ(f.VehicleLastAxle(), 9);
    EXPECT_EQ(f.VehicleAxleCount(), 6);
    EXPECT_EQ(f.VehicleStartTime(), 500);
    EXPECT_EQ(f.VehicleEndTime(), 1000);
    EXPECT_EQ(f.VehicleRecordCount(), 3);
    EXPECT_EQ(f.GetIndex(), 3);
    EXPECT_EQ(f.NextPart(), 0);  // part 2 of 3 is the last
    EXPECT_EQ(f.PrevPart(), 1);
    EXPECT_EQ(f.PrevPart(), 1);
    EXPECT_EQ(f.GetIndex(), 1);
    EXPECT_EQ(f.PrevPart(), 0);  // part 0 starts the vehicle
    EXPECT_EQ(f.NextPart(), 1);
    EXPECT_EQ(f.GetIndex(), 2);
    ASSERT_EQ(f.Seek(0), 1);
    EXPECT_EQ(f.NextPart(), 0);  // a one-record vehicle has no parts
    EXPECT_EQ(f.PrevPart(), 0);
    EXPECT_EQ(f.NextVehicle(), 1);
    EXPECT_EQ(f.GetIndex(), 1);
    EXPECT_EQ(f.NextVehicle(), 1);
    EXPECT_EQ(f.GetIndex(), 4);
    EXPECT_EQ(f.NextVehicle(), 0);
    EXPECT_EQ(f.GetIndex(), 4);
    EXPECT_EQ(f.SeekVehicle(1), 1);
    EXPECT_EQ(f.GetIndex(), 1);
    EXPECT_EQ(f.SeekVehicle(3), 0);
    EXPECT_EQ(f.SeekVehicle(-1), 0);
    EXPECT_EQ(f.GetIndex(), 1);
    EXPECT_EQ(f.GetStartTime(), 500);
    EXPECT_EQ(f.GetEndTime(), 600);
    // 40..44 whole mph over all records: 42 mph = 336 eighths -> 17 ms/ft.
    EXPECT_EQ(f.MsPerFoot(0, 4), 5455u / 336 + 1);
    EXPECT_EQ(f.MsPerFoot(0, 5), unsigned(-1));
    EXPECT_EQ(f.MsPerFoot(3, 1), unsigned(-1));
}

TEST(AllocFile, VehiclesSharingAKeyAreDescribedApart) {
    // Sequence numbers are one byte: vehicle 256 of a long train has the
    // key of vehicle 0 again. Each must be described by its own records.
    auto b = AllocFileBuilder();
    b.Add(AllocRecord({0, 3, 0, 30, 5, 0, 255, 40 << 1}));
    b.Add(AllocRecord({4, 7, 40, 70, 19, 1, 255, 40 << 1}));
    b.Add(AllocRecord({8, 11, 80, 110, 19, 0, 255, 40 << 1}));
    Loaded l(b);
    CAllocFile& f = l.file;
    EXPECT_EQ(f.VehicleFirstAxle(), 0);
    f.Seek(2);
    EXPECT_EQ(f.VehicleFirstAxle(), 8);
    EXPECT_EQ(f.VehicleEndTime(), 110);
    // An edited record is described as it is now.
    f.SetLastAxle(12);
    EXPECT_EQ(f.VehicleLastAxle(), 12);
    EXPECT_EQ(f.CountVehicles(), 3);
}

TEST(AllocFile, ReverseMirrorsAndRenumbers) {
    Loaded l(ThreeVehicles());
    CAllocFile& f = l.file;
    const std::vector<uint8_t> original(f.Data().begin(), f.Data().end());
    f.Seek(1);
    ASSERT_EQ(f.Reverse(), 1);
    EXPECT_EQ(f.GetIndex(), 1);
    EXPECT_EQ(Rows(f), (std::vector<Row>{{0, 3, 19, 0, 255},
                                         {4, 5, 19, 1, 0},
                                         {6, 7, 19, 1, 1},
                                         {8, 9, 19, 1, 2},
                                         {10, 13, 5, 2, 255}}));
    // Times mirrored around first start + last end (100 + 1400).
    EXPECT_EQ(f.GetFieldAt(0, al::kStartTime), 100u);
    EXPECT_EQ(f.GetFieldAt(0, al::kEndTime), 400u);
    EXPECT_EQ(f.GetFieldAt(1, al::kStartTime), 500u);
    EXPECT_EQ(f.GetFieldAt(4, al::kEndTime), 1400u);
    EXPECT_EQ(f.GetFieldAt(0, al::kSpeed), (44u << 1) | 1);  // speeds travel with their records
    ASSERT_EQ(f.Reverse(), 1);
    EXPECT_EQ(std::vector<uint8_t>(f.Data().begin(), f.Data().end()), original);
}

TEST(AllocFile, ReverseOfShortRecords) {
    Loaded l(ThreeVehicles(al::kShortRecordSize));
    CAllocFile& f = l.file;
    ASSERT_EQ(f.GetCount(), 5);
    EXPECT_EQ(f.CountVehicles(), 3);
    const std::vector<uint8_t> original(f.Data().begin(), f.Data().end());
    ASSERT_EQ(f.Reverse(), 1);
    EXPECT_EQ(Rows(f)[3], (Row{8, 9, 19, 1, 2}));
    ASSERT_EQ(f.Reverse(), 1);
    EXPECT_EQ(std::vector<uint8_t>(f.Data().begin(), f.Data().end()), original);
    // Records appended to a 16-byte file keep their neighbours whole.
    uint8_t rec[al::kRecordSize];
    std::fill(std::begin(rec), std::end(rec), 0xEE);
    ASSERT_EQ(f.AppendAllocation(rec), 1);
    EXPECT_EQ(f.GetDataSize(), 6 * al::kShortRecordSize);
    EXPECT_EQ(f.GetIndex(), 5);
    CAllocFile empty;
    EXPECT_EQ(empty.Reverse(), 0);
}

TEST(AllocFile, KeyHighByteOnlyInLongRecords) {
    auto b = AllocFileBuilder();
    b.Add(AllocRecord({0, 3, 0, 30, 5, 0, 255, 0, 0}));
    b.Add(AllocRecord({4, 7, 40, 70, 19, 0, 255, 0, 1}));  // key 256
    Loaded l(b);
    EXPECT_EQ(l.file.CountVehicles(), 2);
    EXPECT_EQ(l.file.GetKey(), 0);
    l.file.Seek(1);
    EXPECT_EQ(l.file.GetKey(), 256);
}

TEST(AllocFile, OddFilesDoNotBreakAnyOperation) {
    std::vector<TrainFileBuilder> odd;
    odd.push_back(ThreeVehicles().Count(40));                  // count above the data
    odd.push_back(ThreeVehicles().TruncateTo(64 + 24 * 2 + 7));  // cut mid-record
    odd.push_back(ThreeVehicles(7));                           // 7-byte records
    odd.push_back(ThreeVehicles().RecordLength(0));            // no record length
    odd.push_back(AllocFileBuilder().Trailing({1, 2, 3}));     // stray bytes only
    auto far = AllocFileBuilder();                             // axles far beyond any .010
    far.Add(AllocRecord({65000, 65535, 0xFFFFFFF0, 0xFFFFFFFF, 19, 255, 7, 40 << 1}));
    far.Add(AllocRecord({3, 1, 5, 2, 19, 255, 9, 40 << 1}));
    odd.push_back(far);
    for (size_t k = 0; k < odd.size(); ++k) {
        SCOPED_TRACE(k);
        Loaded l(odd[k]);
        CAllocFile& f = l.file;
        const int n = f.CountVehicles();
        EXPECT_LE(n, std::max(f.GetCount(), 1));
        for (int v = 0; v < n; ++v) {
            f.SeekVehicle(v);
            f.VehicleAxleCount();
            f.VehicleStartTime();
            f.VehicleRecordCount();
            while (f.NextPart()) {
            }
            while (f.PrevPart()) {
            }
        }
        f.MsPerFoot(0, std::max(0, f.GetCount() - 1));
        f.Reverse();
        f.Reverse();
        EXPECT_EQ(f.Save(), 1);
    }
}

// Building allocations from axles.

TEST(AllocFileBuild, OrdinaryFreight) {
    TempDir d;
    AxlesAtFeet(LocoThenTrucks(22, 40, 12)).Write(d.File("F.010"));
    CAllocFile f;
    ASSERT_EQ(f.BuildFromAxles(d.File("F").c_str()), 1);
    EXPECT_EQ(Rows(f), (std::vector<Row>{{0, 3, 5, 0, 255},
                                         {4, 7, 19, 1, 255},
                                         {8, 11, 19, 2, 255},
                                         {12, 15, 19, 3, 255},
                                         {16, 19, 19, 4, 255}}));  // axles 20 and 21 left over
    EXPECT_FALSE(PathExists(d.File("F.0AP")));
    CAllocFile saved;
    ASSERT_EQ(saved.Load(d.File("F").c_str()), 1);
    EXPECT_EQ(Rows(saved), Rows(f));
    const auto bytes = ReadFileBytes(d.File("F.041"));
    EXPECT_EQ(layout::Get(bytes, 0, layout::header::kRecordLength), al::kRecordSize);
    EXPECT_EQ(layout::Get(bytes, 0, layout::header::kTypeGroup), al::kTypeGroup);
    // Times in ms and the last axle's speed byte (40 mph, direction 1).
    saved.Seek(1);
    EXPECT_EQ(saved.GetStartTime(), 1000 + (49 + 12) * 18);
    EXPECT_EQ(saved.GetSpeedByte(), (40 << 1) | 1);
    EXPECT_EQ(saved.GetFieldAt(1, al::kKeyHigh), 0u);
}

TEST(AllocFileBuild, FifteenAxlesNeverArticulated) {
    TempDir d;
    AxlesAtFeet(LocoThenTrucks(15, 50)).Write(d.File("S.010"));  // articulated spacing
    CAxleFile axles;
    ASSERT_EQ(axles.Load(d.File("S").c_str()), 1);
    EXPECT_EQ(HasArticulatedPattern(axles), 0);
    CAllocFile f;
    ASSERT_EQ(f.BuildFromAxles(d.File("S").c_str()), 1);
    EXPECT_EQ(f.GetCount(), 3);
    EXPECT_FALSE(PathExists(d.File("S.0AP")));
}

TEST(AllocFileBuild, ArticulatedTrains) {
    for (int k : {1, 2, 5}) {
        SCOPED_TRACE(k);
        TempDir d;
        const int axles = 4 + 3 + 2 * k + 3 + 4;
        AxlesAtFeet(LocoThenTrucks(axles, 50)).Write(d.File("A.010"));
        CAllocFile f;
        ASSERT_EQ(f.BuildFromAxles(d.File("A").c_str()), 1);
        ASSERT_EQ(f.GetCount(), k + 4);
        std::vector<Row> expect = {{0, 3, 5, 0, 255}, {4, 6, 19, 1, 255}};
        uint32_t next = 7;
        for (int u = 0; u < k; ++u, next += 2) expect.push_back({next, next + 1, 19, uint32_t(2 + u), 255});
        expect.push_back({next, next + 2, 19, uint32_t(k + 2), 255});
        expect.push_back({next + 3, next + 6, 5, uint32_t(k + 3), 255});
        EXPECT_EQ(Rows(f), expect);
        EXPECT_EQ(next + 7, uint32_t(axles));
        EXPECT_EQ(ReadFileBytes(d.File("A.0AP")), std::vector<uint8_t>{0x20});
        EXPECT_TRUE(PathExists(d.File("A.041")));
    }
}

TEST(AllocFileBuild, SlowPairsAreNotJudged) {
    // The coupling gaps of ordinary freight are too short for an
    // articulated train, but at 10 mph they are not judged.
    TempDir d;
    AxlesAtFeet(LocoThenTrucks(18, 50), 80).Write(d.File("A.010"));
    CAxleFile axles;
    ASSERT_EQ(axles.Load(d.File("A").c_str()), 1);
    EXPECT_EQ(HasArticulatedPattern(axles), 1);
    AxlesAtFeet(LocoThenTrucks(18, 40, 12), 80).Write(d.File("B.010"));
    ASSERT_EQ(axles.Load(d.File("B").c_str()), 1);
    EXPECT_EQ(HasArticulatedPattern(axles), 1);
    AxlesAtFeet(LocoThenTrucks(18, 40, 12), 81).Write(d.File("C.010"));
    ASSERT_EQ(axles.Load(d.File("C").c_str()), 1);
    EXPECT_EQ(HasArticulatedPattern(axles), 0);
}

TEST(AllocFileBuild, ArticulatedWithoutItsLastLocomotiveFails) {
    // 17 axles: after the 2-axle units only six remain, so the closing
    // locomotive cannot be made; nothing is saved and no marker written.
    TempDir d;
    AxlesAtFeet(LocoThenTrucks(17, 50)).Write(d.File("A.010"));
    CAllocFile f;
    EXPECT_EQ(f.BuildFromAxles(d.File("A").c_str()), 0);
    EXPECT_EQ(f.GetCount(), 5);  // the records made so far
    EXPECT_FALSE(PathExists(d.File("A.041")));
    EXPECT_FALSE(PathExists(d.File("A.0AP")));
}

TEST(AllocFileBuild, TooFewAxlesOrNoAxleFile) {
    TempDir d;
    AxlesAtFeet({0, 9, 40}).Write(d.File("B.010"));
    CAllocFile f;
    EXPECT_EQ(f.BuildFromAxles(d.File("B").c_str()), 0);
    EXPECT_EQ(f.GetCount(), 0);
    EXPECT_FALSE(PathExists(d.File("B.041")));
    Loaded l(ThreeVehicles());
    EXPECT_EQ(l.file.BuildFromAxles(d.File("missing").c_str()), 0);
    EXPECT_EQ(l.file.GetCount(), 5);  // unchanged
}
