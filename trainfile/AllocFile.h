// CAllocFile: axle allocation file (.041). Each record assigns a range of
// .010 axles to a vehicle; a vehicle is one record (part 255) or several
// consecutive records with the same key (parts 0, 1, 2 ...). Records are 24
// bytes; files with 16-byte records are read as well (their key high byte
// counts as 0).
#pragma once

#include "AllocLayout.h"
#include "AxleFile.h"
#include "TrainFile.h"

#include <vector>

// True when the axles look like an articulated train: from axle 4 on, the
// axles pair into trucks (below 11 ft apart) at least 40 ft from the next
// truck. Pairs where either axle runs at 10 mph or slower are not judged.
// Trains of fewer than 16 axles never pass.
int HasArticulatedPattern(CAxleFile& axles);

// Records [begin, end) of the vehicle that record i of n belongs to: back to
// the record that starts it (part 0 or 255), then forward over the records
// with record i's key. partAt(k) and keyAt(k) read record k through the
// calling class's own accessors; this library's allocation class and the
// current library's share the walk.
struct RecordRange {
    int begin = 0;
    int end = 0;
};
template <class PartAt, class KeyAt>
RecordRange AllocVehicleRecords(int i, int n, PartAt partAt, KeyAt keyAt) {
    const int key = keyAt(i);
    RecordRange r{i, i + 1};
    while (r.begin > 0) {
        const uint32_t part = partAt(r.begin);
        if (part == 0 || part == layout::alloc::kPartWhole) break;
        --r.begin;
    }
    r.end = r.begin + 1;
    while (r.end < n && keyAt(r.end) == key) ++r.end;
    return r;
}

class CAllocFile : public CTrainFile {
public:
    // The record length new files get; the train comparison builds its
    // allocations with the 16-byte form.
    explicit CAllocFile(uint16_t recordLength = layout::alloc::kRecordSize);

    int Load(const char* name) override;    // adds ".041", seeks record 0
    int SaveAs(const char* name) override;  // adds ".041"

    // Appends one record (the first record-length bytes of a 24-byte
    // record) and makes it current. 0 when the file cannot grow.
    int AppendAllocation(const uint8_t* record);
    // Empties the allocation: no records, 24-byte records whose times are
    // plain milliseconds (time scale 1), ready to be filled and saved.
    void Empty();
    // Appends whole 24-byte records in one step (their first record-length
    // bytes each); the last one becomes current. 0, and nothing appended,
    // when the count would exceed the header's 16-bit record count.
    int AppendAllocations(std::span<const uint8_t> records);

    // Fields of the current record. Fields beyond the file's record length
    // read as 0 and are not written.
    int GetFirstAxle() const;
    int GetLastAxle() const;
    void SetFirstAxle(uint16_t axle);
    void SetLastAxle(uint16_t axle);
    uint32_t GetRawStartTime() const;
    uint32_t GetRawEndTime() const;
    void SetRawStartTime(uint32_t raw);
    void SetRawEndTime(uint32_t raw);
    int GetStartTime() const;  // raw x time scale, truncated
    int GetEndTime() const;
    uint8_t GetEgc() const;
    void SetEgc(uint8_t egc);
    uint8_t GetSequence() const;
    uint8_t GetPart() const;
    uint8_t GetSpeedByte() const;  // direction bit and whole mph << 1
    void SetPart(uint8_t part);
    void SetSpeedByte(uint8_t speed);
    // Writes a vehicle key: the sequence byte and, in 24-byte records, the
    // key high byte.
    void SetKey(int key);
    // Vehicle key: key high byte (24-byte records only) x 256 + sequence.
    int GetKey() const { return KeyAt(GetIndex()); }

    // Moves to the next record whose key differs and describes that
    // vehicle; 0 at the end (the cursor then stays where it was).
    int NextVehicle();
    // The vehicle the current record belongs to (always described afresh).
    int VehicleFirstAxle();
    int VehicleLastAxle();
    int VehicleAxleCount();
    int VehicleStartTime();
    int VehicleEndTime();
    int VehicleRecordCount();
    // Steps to the previous / next record of a vehicle of several records.
    int PrevPart();
    int NextPart();
    // Number of vehicles from record 0; the cursor is restored.
    int CountVehicles();
    // Moves to the first record of vehicle n (0-based); 0 when n is not a
    // vehicle of the file.
    int SeekVehicle(int n);
    // Average time per foot over records first..last from the whole mph of
    // offset 15 (as CAxleFile::MsPerFoot); -1 for a bad index.
    unsigned MsPerFoot(int first, int last) const;

    // Builds the allocations from the train's .010 and saves them as
    // base.041; writes the base.0AP marker for an articulated train.
    int BuildFromAxles(const char* base);
    // What the last BuildFromAxles did, for callers that must tell a train
    // that could not be allocated from a file or marker that could not be
    // written: the .010 was read, the vehicles were all made, they follow
    // the articulated pattern, the .041 was saved, the marker was written.
    struct BuildReport {
        bool axlesRead = false;
        bool built = false;
        bool articulated = false;
        bool saved = false;
        bool marker = false;
    };
    const BuildReport& LastBuild() const { return m_Build; }
    // Turns the allocation end for end: order, times, axle indexes,
    // sequence numbers and part numbers. The cursor index is kept.
    int Reverse();
    // The same turn about the axle file the allocation was built from: axle
    // indexes mirror about its last axle and times about its first and last
    // axle times, so axles left unallocated at either end keep every vehicle
    // in place. Identical to Reverse() when the allocation covers every axle.
    int Reverse(CAxleFile& axles);

private:
    struct VehicleCache {
        int key = -1;  // -1: nothing described
        // The record, record area edit count, count and record length the
        // description was made for; the next question about the same
        // vehicle is answered from it.
        int index = -1;
        uint64_t edits = 0;
        int count = 0;
        unsigned recordLength = 0;
        int firstAxle = 0;
        int lastAxle = 0;
        int startTime = 0;
        int endTime = 0;
        int records = 0;
    };

    // For every record, where the walk back from it stops and where the run
    // of records with its key ends, built in one pass; valid while the
    // records, their count and length are as they were when it was built.
    struct WalkIndex {
        bool built = false;
        uint64_t edits = 0;
        int count = 0;
        unsigned recordLength = 0;
        std::vector<int> start;
        std::vector<int> runEnd;
    };

    // The records the file addresses, read through the bounds-checked field
    // access: a record outside them, or a field beyond the record length,
    // reads as 0. Walks over many records take one view and read through it.
    struct RecordView {
        std::span<const uint8_t> bytes;
        unsigned length = 0;
        uint32_t Field(int i, const layout::Field& f) const {
            if (i < 0 || f.End() > length) return 0;
            return layout::Get(bytes, static_cast<size_t>(i) * length, f);
        }
        // Key high byte (24-byte records only) x 256 + sequence.
        int Key(int i) const {
            const uint32_t high = length >= layout::alloc::kRecordSize ? Field(i, layout::alloc::kKeyHigh) : 0;
            return static_cast<int>(high * 256 + Field(i, layout::alloc::kSequence));
        }
    };
    RecordView View() const { return RecordView{RecordBytes(), GetRecordLength()}; }

    uint32_t FieldAt(int i, const layout::Field& f) const;
    bool SetFieldAtChecked(int i, const layout::Field& f, uint32_t v);
    int KeyAt(int i) const;
    void DescribeVehicle();
    // The records of record i's vehicle, as AllocVehicleRecords finds them.
    // Walks of a few records go record by record; a longer one (a file whose
    // vehicles have no start record, or long runs of one key) finishes
    // through the walk index, so every vehicle costs the same.
    RecordRange VehicleRecords(int i);
    const WalkIndex& Walks();
    bool WalksCurrent() const;
    // Reverse with the mirror time (raw units, first + last) and mirror axle.
    int ReverseAbout(uint32_t mirror, uint32_t lastAxle);
    // Makes one vehicle of k axles from axle next on; advances next.
    bool MakeVehicle(CAxleFile& axles, int& next, int k, uint8_t egc, uint8_t seq);

    VehicleCache m_Vehicle;
    BuildReport m_Build;
    WalkIndex m_Walks;
};
