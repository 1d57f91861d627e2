// The current library's allocation walks (vehicle descriptions, next vehicle,
// vehicle count and seek) against the record-by-record walks over the same
// bytes, on random allocation files: well-formed trains, files without a
// vehicle start, long runs of one key, 16-byte records, counts beyond the
// data, and records edited between walks.
#include "AllocFile.h"
#include "RecordClasses.h"

#include <gtest/gtest.h>

#include <random>

namespace al = layout::alloc;
namespace hdr = layout::header;

namespace {

struct Shape {
    const char* name;
    int startPercent;  // records that start a vehicle (part 0 or 255)
    int keys;          // distinct keys drawn from
    int runPercent;    // chance that a record repeats the previous key
};

// The walks done record by record on the raw bytes, as the class did them
// before it had a walk index.
struct LiteralWalk {
    std::span<const uint8_t> data;
    size_t length;
    int n;

    uint32_t Field(int k, const layout::Field& f) const {
        return layout::Get(data.subspan(size_t(k) * length, length), 0, f);
    }
    int Key(int k) const {
        const uint32_t high = length >= al::kRecordSize ? Field(k, al::kKeyHigh) : 0;
        return int(high * 256 + Field(k, al::kSequence));
    }
    RecordRange Vehicle(int i) const {
        return AllocVehicleRecords(i, n, [&](int k) { return Field(k, al::kPart); }, [&](int k) { return Key(k); });
    }
    int NextVehicle(int i) const {
        for (int k = i + 1; k < n; ++k)
            if (Key(k) != Key(i)) return k;
        return -1;
    }
    int CountVehicles() const {
        int count = n > 0 ? 1 : 0;
        for (int k = 1; k < n; ++k) count += Key(k) != Key(k - 1);
        return count;
    }
};

std::vector<uint8_t> RandomRecords(std::mt19937& rng, const Shape& shape, int records, size_t length) {
    std::vector<uint8_t> data(size_t(records) * length, 0);
    int key = 0;
    for (int i = 0; i < records; ++i) {
        const std::span<uint8_t> r(data.data() + size_t(i) * length, length);
        if (int(rng() % 100) >= shape.runPercent) key = int(rng() % unsigned(shape.keys));
        const bool start = int(rng() % 100) < shape.startPercent;
        layout::Set(r, 0, al::kPart, start ? (rng() % 2 ? 0 : al::kPartWhole) : 1 + rng() % 200);
        layout::Set(r, 0, al::kSequence, uint32_t(key) & 0xFF);
        layout::Set(r, 0, al::kKeyHigh, uint32_t(key) >> 8);  // not written into 16-byte records
        layout::Set(r, 0, al::kFirstAxle, uint32_t(rng() % 60000));
        layout::Set(r, 0, al::kLastAxle, uint32_t(rng() % 60000));
        // Times a time scale of 1 carries exactly.
        layout::Set(r, 0, al::kStartTime, rng() % (1u << 24));
        layout::Set(r, 0, al::kEndTime, rng() % (1u << 24));
    }
    return data;
}

void ExpectSameWalks(CTag041& file, const std::string& what) {
    const LiteralWalk walk{std::as_const(file).Data(), file.GetEntryLength(),
                           std::min<int>(file.GetCount(), int(file.GetDataSize() / file.GetEntryLength()))};
    for (int i = 0; i < walk.n; ++i) {
        ASSERT_EQ(file.Seek(i), 1) << what;
        const RecordRange r = walk.Vehicle(i);
        ASSERT_EQ(file.VehicleRecordCount(), r.end - r.begin) << what << " record " << i;
        ASSERT_EQ(file.VehicleFirstAxle(), int(walk.Field(r.begin, al::kFirstAxle))) << what << " record " << i;
        ASSERT_EQ(file.VehicleLastAxle(), int(walk.Field(r.end - 1, al::kLastAxle))) << what << " record " << i;
        ASSERT_EQ(file.VehicleStartTime(), int64_t(walk.Field(r.begin, al::kStartTime))) << what << " record " << i;
        ASSERT_EQ(file.VehicleEndTime(), int64_t(walk.Field(r.end - 1, al::kEndTime))) << what << " record " << i;
        const int next = walk.NextVehicle(i);
        ASSERT_EQ(file.NextVehicle(), next >= 0 ? 1 : 0) << what << " record " << i;
        ASSERT_EQ(file.GetIndex(), next >= 0 ? next : i) << what << " record " << i;
    }
    const int vehicles = walk.CountVehicles();
    ASSERT_EQ(file.CountVehicles(), vehicles) << what;
    // Seeking vehicle v lands where v steps from record 0 end.
    int at = 0;
    for (int v = 0; v < vehicles; ++v) {
        ASSERT_EQ(file.SeekVehicle(v), 1) << what << " vehicle " << v;
        ASSERT_EQ(file.GetIndex(), at) << what << " vehicle " << v;
        at = walk.NextVehicle(at);
    }
    EXPECT_EQ(file.SeekVehicle(vehicles), 0) << what;
    EXPECT_EQ(file.SeekVehicle(-1), 0) << what;
}

}  // namespace

TEST(AllocTagWalk, SameWalksAsRecordByRecordOnRandomFiles) {
    const Shape shapes[] = {
        {"well formed", 60, 200, 30},
        {"no vehicle starts", 0, 5000, 0},
        {"few starts, few keys", 1, 3, 50},
        {"long runs of one key", 2, 4, 98},
        {"one key throughout", 0, 1, 100},
    };
    std::mt19937 rng(20261210);
    for (const Shape& shape : shapes) {
        for (int round = 0; round < 6; ++round) {
            // 16-byte records carry no high key byte; some headers count
            // more records than the data holds (a cut file).
            const size_t length = round % 3 == 2 ? 16 : al::kRecordSize;
            const int records = 1 + int(rng() % 700);
            const int count = round % 2 ? records + int(rng() % 50) : records;
            CTag041 file;
            file.SetHeaderField(hdr::kRecordLength, uint32_t(length));
            file.SetHeaderField(hdr::kRecordCount, uint32_t(count));
            file.SetData(RandomRecords(rng, shape, records, length));
            const std::string what = std::string(shape.name) + " round " + std::to_string(round);
            ExpectSameWalks(file, what);
            // Edits between walks are seen by the next walk, whichever way
            // they reach the records.
            for (int e = 0; e < 12; ++e) {
                const int k = int(rng() % unsigned(records));
                const uint32_t v = rng() % 3;
                if (e % 3 == 0) {
                    file.SetFieldAt(k, e % 2 ? al::kPart : al::kSequence, v);
                } else if (e % 3 == 1) {
                    ASSERT_EQ(file.Seek(k), 1);
                    layout::Set(file.GetCurrent(), 0, al::kPart, v);
                } else {
                    file.Data()[size_t(k) * length + al::kSequence.offset] = uint8_t(v);
                }
                ASSERT_NO_FATAL_FAILURE(ExpectSameWalks(file, what + " edit " + std::to_string(e)));
            }
            // A header that comes to count fewer records ends the walks there.
            file.SetHeaderField(hdr::kRecordCount, uint32_t(records / 2));
            ASSERT_NO_FATAL_FAILURE(ExpectSameWalks(file, what + " shortened"));
        }
    }
}

TEST(AllocTagWalk, PartsStepWithinTheVehicleOfALongRun) {
    // A vehicle of 40 records (parts 0 to 39) inside a file whose first
    // records start nothing: the part steps stop at its ends.
    CTag041 file;
    std::vector<uint8_t> data(size_t(60) * al::kRecordSize, 0);
    for (int i = 0; i < 60; ++i) {
        const std::span<uint8_t> r(data.data() + size_t(i) * al::kRecordSize, al::kRecordSize);
        const bool inVehicle = i >= 10 && i < 50;
        layout::Set(r, 0, al::kPart, inVehicle ? uint32_t(i - 10) : 7);
        layout::Set(r, 0, al::kSequence, inVehicle ? 9 : 3);
    }
    file.SetHeaderField(hdr::kRecordCount, 60);
    file.SetData(std::move(data));
    ASSERT_EQ(file.Seek(10), 1);
    int steps = 0;
    while (file.NextPart()) ++steps;
    EXPECT_EQ(steps, 39);
    EXPECT_EQ(file.GetIndex(), 49);
    EXPECT_EQ(file.VehicleRecordCount(), 40);
    while (file.PrevPart()) --steps;
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(file.GetIndex(), 10);
    ASSERT_EQ(file.Seek(5), 1);  // records before the first start belong to record 0's vehicle
    EXPECT_EQ(file.VehicleRecordCount(), 10);
}
