// The vehicle walk of the allocation class against the record-by-record walk
// on random allocation files: well-formed trains, files without a single
// vehicle start, long runs of one key, and records edited between walks.
#include "AllocFile.h"
#include "Records.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace fixture;
namespace al = layout::alloc;

namespace {

struct Shape {
    const char* name;
    int startPercent;  // records that start a vehicle (part 0 or 255)
    int keys;          // distinct keys drawn from
    int runPercent;    // chance that a record repeats the previous key
};

std::vector<uint8_t> RandomRecords(std::mt19937& rng, const Shape& shape, int n) {
    std::vector<uint8_t> records(size_t(n) * al::kRecordSize, 0);
    int key = 0;
    for (int i = 0; i < n; ++i) {
        std::span<uint8_t> r(records.data() + size_t(i) * al::kRecordSize, al::kRecordSize);
        if (int(rng() % 100) >= shape.runPercent) key = int(rng() % unsigned(shape.keys));
        const bool start = int(rng() % 100) < shape.startPercent;
        layout::Set(r, 0, al::kPart, start ? (rng() % 2 ? 0 : al::kPartWhole) : 1 + rng() % 200);
        layout::Set(r, 0, al::kSequence, uint32_t(key) & 0xFF);
        layout::Set(r, 0, al::kKeyHigh, uint32_t(key) >> 8);
        layout::Set(r, 0, al::kFirstAxle, uint32_t(i * 4));
        layout::Set(r, 0, al::kLastAxle, uint32_t(i * 4 + 3));
        layout::Set(r, 0, al::kStartTime, uint32_t(i * 100));
        layout::Set(r, 0, al::kEndTime, uint32_t(i * 100 + 50));
    }
    return records;
}

// Checks every record's vehicle against the literal walk over the bytes.
void ExpectSameVehicles(CAllocFile& file, const char* shape) {
    const std::span<const uint8_t> data = std::as_const(file).Data();
    const int n = file.GetCount();
    auto field = [&](int k, const layout::Field& f) { return layout::Get(data, size_t(k) * al::kRecordSize, f); };
    auto keyAt = [&](int k) { return int(field(k, al::kKeyHigh) * 256 + field(k, al::kSequence)); };
    for (int i = 0; i < n; ++i) {
        const RecordRange r = AllocVehicleRecords(i, n, [&](int k) { return field(k, al::kPart); }, keyAt);
        ASSERT_TRUE(file.Seek(i));
        ASSERT_EQ(file.VehicleRecordCount(), r.end - r.begin) << shape << " record " << i;
        ASSERT_EQ(file.VehicleFirstAxle(), int(field(r.begin, al::kFirstAxle))) << shape << " record " << i;
        ASSERT_EQ(file.VehicleLastAxle(), int(field(r.end - 1, al::kLastAxle))) << shape << " record " << i;
    }
}

}  // namespace

TEST(AllocVehicleWalk, SameVehiclesAsTheRecordByRecordWalkOnRandomFiles) {
    const Shape shapes[] = {
        {"well formed", 60, 200, 30},
        {"no vehicle starts", 0, 5000, 0},
        {"few starts, few keys", 1, 3, 50},
        {"long runs of one key", 2, 4, 98},
    };
    std::mt19937 rng(20261209);
    TempDir d;
    for (const Shape& shape : shapes) {
        for (int round = 0; round < 4; ++round) {
            const int n = 1 + int(rng() % 1500);
            TrainFileBuilder b = AllocFileBuilder();
            const std::vector<uint8_t> records = RandomRecords(rng, shape, n);
            for (int i = 0; i < n; ++i)
                b.Add(std::vector<uint8_t>(records.begin() + i * al::kRecordSize,
                                           records.begin() + (i + 1) * al::kRecordSize));
            b.Write(d.File("W.041"));
            CAllocFile file;
            ASSERT_TRUE(file.Load(d.File("W").c_str()));
            ExpectSameVehicles(file, shape.name);
            // Edits of parts and keys between walks are seen by the next walk.
            for (int e = 0; e < 20; ++e) {
                const int k = int(rng() % unsigned(n));
                file.SetFieldAt(k, e % 2 ? al::kPart : al::kSequence, rng() % 3);
                ExpectSameVehicles(file, shape.name);
            }
        }
    }
}
