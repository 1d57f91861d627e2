// Record classes of the current library: one CTag class per train file type
// it works with. Each constructor writes the entry length (and for some
// classes the type words) into the header; opening a file replaces them
// with the file's own. The record layouts are the shared tables of
// trainfile/layout.
#pragma once

#include "CarListCounters.h"
#include "Tag.h"
#include "TagDecode.h"

#include <cstdio>
#include <string>
#include <vector>

// Axle event file (.010, also .011): 8-byte records.
class CTag010 : public CTag {
public:
    explicit CTag010(const wchar_t* base = L"", const wchar_t* extension = L"");
    using CTag::GapToNext;
    using CTag::GapToPrevious;

    uint32_t GetRawTime() const;
    void SetRawTime(uint32_t raw);
    int GetDirection() const;       // bit 0 of byte 0
    int GetSpeedWhole() const;      // whole mph
    int GetSpeedEighths() const;    // speed in eighths of a mph
    float GetSpeed() const;         // mph
    void SetSpeed(float mph);       // replaces byte 1 whole, keeps the direction bit
    uint8_t GetFlags() const;       // byte 1: eighths, gap marker, movement flags
    uint16_t GetAxleNumber() const;
    void SetAxleNumber(uint16_t number);
    // Average time per foot over entries first..last; -1 for a bad range.
    unsigned MsPerFoot(int first, int last) const;
    // Distance in feet between two axles; the cursor does not move.
    float DistanceFeet(int a, int b) const;
    // Turns the file end for end, mirroring the times; 0 when empty.
    int Reverse();

protected:
    uint32_t RawTimeAt(size_t offset) const override;
    void SetRawTimeAt(size_t offset, uint32_t raw) override;
};

// Input state file (.01A): 26-byte entries.
class CTag01A : public CTag {
public:
    explicit CTag01A(const wchar_t* base = L"", const wchar_t* extension = L"");
    uint16_t GetStates() const;
    // One line per entry: "%10lu %u %u %u %u %u\n" with the raw time and, for
    // input bits 9, 8, 15, 0 and 1, 1 when the bit equals the idle pattern's.
    std::string FormatStateListing(uint16_t idle) const;
};

// Wheel transducer event file (.012): records of the header's length.
class CTag012 : public CTag {
public:
    explicit CTag012(const wchar_t* base = L"", const wchar_t* extension = L"");
    using CTag::DoubleTimes;
    using CTag::SortByTime;

    uint32_t GetRawTime() const;
    void SetRawTime(uint32_t raw);
    void SetTime(uint32_t ms);  // ms / time scale, truncated
    uint8_t GetDetector() const;  // 0 = A, 1 = B
    int HasEventFlag() const;
    uint8_t GetABSpacing() const;
    void SetABSpacing(uint8_t tenthsOfInch);

protected:
    uint32_t RawTimeAt(size_t offset) const override;
    void SetRawTimeAt(size_t offset, uint32_t raw) override;
};

// IO event file (.007): 8-byte records.
class CTag007 : public CTag {
public:
    explicit CTag007(const wchar_t* base = L"", const wchar_t* extension = L"");
    using CTag::GapToNext;
    using CTag::GapToPrevious;
    using CTag::SortByTime;
    uint16_t GetInputs() const;
    uint16_t GetRecordFlags() const;
};

// Event file (.024): 14-byte entries with a 16-bit time.
class CTag024 : public CTag {
public:
    explicit CTag024(const wchar_t* base = L"", const wchar_t* extension = L"");
    using CTag::GapToNext;
    using CTag::GapToPrevious;

protected:
    uint32_t RawTimeAt(size_t offset) const override;
    void SetRawTimeAt(size_t offset, uint32_t raw) override;
};

// Scale file (.055): 24-byte entries.
class CTag055 : public CTag {
public:
    explicit CTag055(const wchar_t* base = L"", const wchar_t* extension = L"");
    using CTag::GapToNext;
    using CTag::GapToPrevious;
    uint32_t GetValue4() const;
    uint32_t GetValue8() const;
    uint32_t GetValue12() const;
    uint16_t GetValue16() const;
    uint16_t GetValue18() const;
    uint16_t GetValue20() const;
};

// Axle allocation file (.041): 24-byte records; saving always adds ".041".
class CTag041 : public CTag {
public:
    explicit CTag041(const wchar_t* base = L"", const wchar_t* extension = L"");
    int SaveAs(const wchar_t* path, int lengthMode, int force) override;
    int Save(int lengthMode, int force) override;

    // Grows the file by one entry and copies the record (24 bytes) into it.
    int AppendAllocation(std::span<const uint8_t> record);

    int GetFirstAxle() const;
    int GetLastAxle() const;
    int64_t GetStartTime() const;  // ms
    int64_t GetEndTime() const;    // ms
    uint8_t GetEgc() const;
    uint8_t GetSequence() const;
    uint8_t GetPart() const;
    uint8_t GetSpeedByte() const;
    // The vehicle key: high byte at 16 (entries of 24 bytes or more) and the
    // sequence number.
    int GetKey() const { return KeyAt(GetIndex()); }

    // Vehicles: consecutive records with one key.
    int NextVehicle();
    int VehicleFirstAxle() const;
    int VehicleLastAxle() const;
    int VehicleAxleCount() const;
    int64_t VehicleStartTime() const;
    int64_t VehicleEndTime() const;
    int VehicleRecordCount() const;
    int PrevPart();
    int NextPart();
    int CountVehicles() const;
    int SeekVehicle(int n);
    // Average time per foot over records first..last from their whole mph.
    unsigned MsPerFoot(int first, int last) const;

private:
    struct Vehicle {
        int first = 0, last = 0, records = 0;
        int64_t start = 0, end = 0;
    };
    // Where every record's vehicle walk ends, for walks longer than a few
    // records: the record that starts its vehicle (back to part 0 or 255),
    // the end of its run of one key, and the first record of every run.
    // Built when a long walk first needs it, again after the entries change.
    struct WalkIndex {
        bool built = false;
        uint64_t edits = 0;
        int entries = 0;
        uint16_t entryLength = 0;
        std::vector<int> start, runEnd, runStarts;
    };
    int KeyAt(int i) const;
    Vehicle DescribeVehicle() const;
    struct Records {
        int begin = 0, end = 0;
    };
    // Records [begin, end) of record i's vehicle among the n present.
    Records VehicleRecords(int i, int n) const;
    const WalkIndex& Walks() const;

    mutable WalkIndex m_Walks;
};

// Tag read files (.060 to .069): 64-byte records; the tag of the record
// under the cursor is decoded when it is first asked for.
class CTag060 : public CTag {
public:
    explicit CTag060(const wchar_t* base = L"", const wchar_t* extension = L"");
    using CTag::DoubleTimes;
    using CTag::SortByTime;

    // The decoded tag of the current record (not valid without one).
    const CDecodedTag& GetTag() const;
    // Lead character and tag text of the current record, up to its terminator.
    std::string GetTagText() const;
    int GetAntennaConfig() const;  // header byte 42, -1 without a current record
    int GetConfig2() const;        // header byte 54, -1 without a current record
    int GetAntennaNumber() const;  // antenna digit minus '0'

private:
    CTagMemo m_Tag;
};

// Consist files (.035, .037, .038): variable-length entries walked by their
// length; the two tag blocks of the entry under the cursor are decoded when
// they are first asked for. Saving always adds ".035" to a bare name.
class CTag035 : public CTag {
public:
    explicit CTag035(const wchar_t* base = L"", const wchar_t* extension = L"");
    int Seek(int index) override;
    int SaveAs(const wchar_t* path, int lengthMode, int force) override;
    // Writes under base + extension through the base SaveAs.
    virtual int SaveCopyAs(const wchar_t* base, const wchar_t* extension, int lengthMode, int force);

    uint16_t GetLength() const;  // entry length field of the current entry
    uint16_t GetVehicleNumber() const;
    int GetAxleCount() const;    // both bytes: 7 and 22
    int16_t GetVehicleLength() const;
    int GetTagCount() const;     // tag reads present (offset 20)
    uint8_t GetEgc() const;
    uint8_t GetReadStatus() const;
    // Tag block k (0 or 1) of the current entry, empty when the entry does
    // not hold it whole.
    std::span<uint8_t> GetTagBlock(int k);
    std::span<const uint8_t> GetTagBlock(int k) const;
    uint16_t GetTagFlags(int k) const;
    bool SetTagFlags(int k, uint16_t flags);
    // Decoded tag of block k of the current entry (block 2 for any k but
    // 0); not valid when the entry is too short to hold its text.
    const CDecodedTag& GetTag(int k) const;

protected:
    // Entries are sized by their own length field, whatever entry length the
    // header carries.
    size_t EntrySizeAt(size_t offset) const override { return VariableLengthAt(offset); }

private:
    CTagMemo m_Tag1, m_Tag2;
};

// Train summary file (.034): one 180-byte record.
class CTag034 : public CTag {
public:
    // Broken-down time of a summary timestamp (month counted from 0), as the
    // classic library's DecodeSummaryTime gives it. A member type, so that it
    // never meets that library's SummaryTime, whose members are named in the
    // plural.
    struct SummaryTime {
        int second = 0, minute = 0, hour = 0, day = 0, month = 0, year = 0;
    };

    explicit CTag034(const wchar_t* base = L"", const wchar_t* extension = L"");
    const SummaryTime& GetFirstTime() const { return m_First; }
    const SummaryTime& GetLastTime() const { return m_Last; }
    // The summary line of the record, ending in "\r\n"; empty without data.
    std::string FormatSummaryLine() const;
    void PrintSummaryLine(FILE* stream) const;

protected:
    void OnOpened() override;

private:
    SummaryTime m_First, m_Last;
};

// Counters over the vehicles of a car list: the classic library's.
using CarListCounts = CarListCounters;

// Car list file (.036): 48-byte records.
class CTag036 : public CTag {
public:
    explicit CTag036(const wchar_t* base = L"", const wchar_t* extension = L"");
    const CarListCounts& GetCounts() const { return m_Counts; }
    // Next record of another vehicle; 0 at the end.
    int NextCar();
    std::string GetInitials() const;
    std::string GetCarNumber() const;
    // One line per record: "%03d %03d %02d %5s %8s\n" (number from 1, EGC,
    // axle count, initials, car number; "0" for both texts with status 4).
    std::string FormatCarListing() const;
    void PrintCarListing(FILE* stream) const;

protected:
    void OnOpened() override;

private:
    void CountVehicles();
    CarListCounts m_Counts;
};

// Hot bearing detector file (.018): 16-byte records.
class CTag018 : public CTag {
public:
    explicit CTag018(const wchar_t* base = L"", const wchar_t* extension = L"");
    uint16_t GetRecordNumber() const;
    uint32_t GetMsSincePrevious() const;
    char GetSide1Code() const;
    uint16_t GetSide1Value() const;
    char GetSide2Code() const;
    uint16_t GetSide2Value() const;
    uint8_t GetFirstSpeed() const;  // header, whole mph
    uint8_t GetLastSpeed() const;
};

// Wheel digitizer file (.01D): variable-length sample blocks, each a 16-byte
// block header and (length - 16) / 2 sample pairs. A block shorter than its
// header ends the walk.
class CTag01D : public CTag {
public:
    // Type group 1, subcode 13, the local date and time; no default extension.
    explicit CTag01D(const wchar_t* base = L"", const wchar_t* extension = L"");
    int Seek(int index) override;
    int SeekBlock(int index) { return Seek(index); }
    // The next (previous) block that has samples; 0 and no move when none.
    int NextBlock();
    int PrevBlock();

    uint32_t GetBlockStartTime() const;  // ms
    uint32_t GetBlockEndTime() const;    // ms
    uint8_t GetBlockConversion() const;  // 2 us units
    uint8_t GetBlockByte13() const;
    // Whole samples of the current block present in the data.
    unsigned GetSampleCount() const;
    // Value of sample i of the current block on channel 0 or 1; 0 outside.
    uint8_t GetSample(unsigned i, int channel) const;

    // Lists every block (with the overflow count of header offset 44 first
    // and the column heading every 25 blocks) on the stream, then writes the
    // file as "NEW.01D" with the samples of every block whose end time lies
    // before its start time removed. Returns the save's result.
    int DumpAndRepair(FILE* stream, const wchar_t* newName = L"NEW.01D");

protected:
    // Blocks are sized by their own length field, like consist entries.
    size_t EntrySizeAt(size_t offset) const override { return VariableLengthAt(offset); }
};
