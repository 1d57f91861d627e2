// CTrainFile: one train data file held whole in memory (64-byte header plus
// record area), with a record cursor, record editing and whole-file save.
#pragma once

#include "HeaderLayout.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Names are limited as on the recorder: 259 characters plus the terminator.
constexpr size_t kMaxTrainFileName = 260;

// Appends ext to name only when name holds no dot anywhere, so callers may
// pass a base name or a full file name alike.
std::string AddExtension(const std::string& name, const char* ext);

// Whole-file helpers. Write failures print "Error %d creating file \"%s\"\n".
bool ReadWholeFile(const std::string& name, std::vector<uint8_t>& out);
int WriteNewFile(const std::string& name, const void* bytes, size_t len);
int AppendToFile(const std::string& name, const void* bytes, size_t len);
int FileExists(const std::string& name);
// Marker files carry meaning by existence; they hold one space.
int WriteMarkerFile(const std::string& name);

// Packed BCD helpers.
int BcdToInt(uint32_t v);
// The low `digits` decimal digits of v (not negative), one per nibble.
uint32_t IntToBcd(int v, int digits);
// Packed date word (month, day, year) -> "MM-DD-YY".
void FormatBcdDate(const uint32_t& word, char out[9]);
// Packed time word (seconds, -, hours, minutes) -> "HH:MM:SS".
void FormatBcdTime(const uint32_t& word, char out[9]);
std::string FormatBcdDate(uint32_t word);
std::string FormatBcdTime(uint32_t word);

// Float-to-integer truncation toward zero without undefined behaviour:
// NaN gives 0, values beyond the range saturate.
int64_t TruncToInt64(long double v);
// Truncation to a 32-bit value as the recorder's arithmetic stores it:
// truncate toward zero, then keep the low 32 bits.
inline uint32_t TruncToU32(long double v) { return static_cast<uint32_t>(TruncToInt64(v)); }
inline int32_t TruncToI32(long double v) { return static_cast<int32_t>(static_cast<uint32_t>(TruncToInt64(v))); }
// a - b for two millisecond times as the recorder's 32-bit arithmetic gives
// it: the times are read from 32-bit counters, so the difference wraps
// instead of overflowing.
inline int MsDifference(int a, int b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Header and time helpers that every train file class uses, whichever
// library generation it belongs to.

// The header of a new file: zero but for the default format word, type
// group 3, file length 64, record length 64 and a time-scale numerator of 1.
void SetDefaultHeader(std::span<uint8_t> header);
// Writes a date and time into the header's BCD date and time fields.
void SetHeaderDateTime(std::span<uint8_t> header, int year, int month, int day, int hour, int minute, int second);
// The same with the current local date and time.
void StampLocalDateTime(std::span<uint8_t> header);
// Milliseconds per raw time unit: numerator / 10^exponent, kept in single
// precision as the files' readers keep it.
float TimeScaleOf(uint32_t numerator, uint16_t exponent);
// The time scale the header's numerator and exponent give.
float HeaderTimeScale(std::span<const uint8_t> header);
// Raw time x time scale in extended precision, truncated toward zero.
int64_t ScaleRawToMs(uint32_t raw, float timeScale);
// Milliseconds / time scale in extended precision, truncated to 32 bits.
uint32_t ScaleMsToRaw(uint32_t ms, float timeScale);

class CTrainFile {
public:
    CTrainFile();
    virtual ~CTrainFile() = default;
    CTrainFile(const CTrainFile&) = delete;
    CTrainFile& operator=(const CTrainFile&) = delete;

    // Loads a file by the name given. Typed classes add their extension.
    virtual int Load(const char* name);
    // Writes header and records under the name given (atomically).
    virtual int SaveAs(const char* name);
    // Writes under the name last loaded.
    int Save();

    // Number of records the object can address. For fixed-length files this
    // is the header's count limited to the whole records actually present,
    // so a header that claims more than the file holds never leads outside
    // the record area; the stored count itself is kept in the header.
    int GetCount() const;
    int GetStoredCount() const;
    int GetIndex() const { return m_nCurrent; }
    int IsValid(int i) const { return i >= 0 && i < GetCount() ? 1 : 0; }
    int Seek(int i);
    int Next();
    int Prev();

    int Grow(unsigned n);
    int Insert(int i, const uint8_t* rec);
    int Delete(int i);
    int Swap(int a, int b);
    int AppendEntry(const uint8_t* bytes, unsigned len);
    // Appends whole fixed-length records (a multiple of the record length)
    // after the records present, with one allocation; the cursor goes to the
    // last record. 0 and nothing changed when the records are no whole
    // number of records or the 16-bit record count would overflow.
    int AppendRecords(std::span<const uint8_t> records);
    // The records the object addresses: GetCount() records of the record
    // length; empty for variable-length files.
    std::span<const uint8_t> RecordBytes() const;

    float GetTimeScale() const { return m_fTimeScale; }
    bool IsLoaded() const { return m_bLoaded; }
    const char* GetFileName() const { return m_szFileName.c_str(); }
    unsigned GetRecordLength() const;

    // Header access through the field tables.
    std::span<uint8_t> Header() { return m_Header; }
    std::span<const uint8_t> Header() const { return m_Header; }
    uint32_t GetHeaderField(const layout::Field& f) const;
    void SetHeaderField(const layout::Field& f, uint32_t v);

    // Record area.
    std::span<uint8_t> Data() {
        NoteDataEdit();  // the caller may write through the span
        return m_Data;
    }
    std::span<const uint8_t> Data() const { return m_Data; }
    uint32_t GetDataSize() const { return static_cast<uint32_t>(m_Data.size()); }
    // Grows whenever the record area may have changed, so that what a class
    // derives from the records knows when to derive it again.
    uint64_t DataEdits() const { return m_nDataEdits; }
    // Byte offset of the current record in the record area.
    size_t CurrentOffset() const;
    // Bounds-checked fields of the current record / of record i.
    uint32_t GetField(const layout::Field& f) const;
    bool SetField(const layout::Field& f, uint32_t v);
    uint32_t GetFieldAt(int i, const layout::Field& f) const;
    bool SetFieldAt(int i, const layout::Field& f, uint32_t v);

    // Time conversions with this file's scale: raw x scale in extended
    // precision, truncated; ms / scale, truncated.
    int RawToMs(uint32_t raw) const;
    uint32_t MsToRaw(uint32_t ms) const;

protected:
    // Adds ext by the naming rule, then loads.
    int LoadWithExtension(const char* name, const char* ext);
    // Saves under name with ext added by the naming rule.
    int SaveWithExtension(const char* name, const char* ext);
    void SetRecordCount(unsigned n) { SetHeaderField(layout::header::kRecordCount, n); }
    // Replaces the record area (marks the object as holding data).
    void SetData(std::vector<uint8_t> data);
    void Clear();
    void NoteDataEdit() { ++m_nDataEdits; }

    uint8_t m_Header[layout::header::kSize];
    std::vector<uint8_t> m_Data;  // the record area
    bool m_bLoaded = false;       // false: nothing loaded, saving writes nothing
    std::string m_szFileName;
    int m_nCurrent = 0;
    float m_fTimeScale = 1.0f;
    uint64_t m_nDataEdits = 0;
};
