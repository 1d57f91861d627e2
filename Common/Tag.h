// CTag: one train data file held whole in memory (the 64-byte header and the
// data area of entries), with its name, a cursor on one entry and the type
// the file was identified as. Base of every record class of the current
// library.
//
// Every access to the header and the entries is bounds-checked: a header
// whose counts exceed the data, or an entry that runs past the end, never
// leads outside the data area.
#pragma once

#include "FieldLayout.h"
#include "HeaderLayout.h"
#include "TagTypes.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Length modes of the save operations.
enum SaveLengthMode : int {
    kKeepLength = 0,       // the header's file-length field is written as it is
    kSetLength = 1,        // the field becomes the data length plus 64
    kLengthByType = 2,     // as the identified type says (unknown types keep it)
};

class CTag {
public:
    // Names the object from base and extension (both may be empty: record
    // classes are named later). The header gets the library defaults.
    explicit CTag(const wchar_t* base = L"", const wchar_t* extension = L"");
    virtual ~CTag();
    CTag(const CTag&) = delete;
    CTag& operator=(const CTag&) = delete;

    // Writes the file under base + extension (MakeTrainFileName into dest)
    // through SaveAs; the object's own name is not changed.
    virtual int SaveCopy(std::wstring& dest, const wchar_t* base, const wchar_t* extension, int lengthMode,
                         int force);
    // Writes header and data to the named file. Without force nothing is
    // written when the object holds no data.
    virtual int SaveAs(const wchar_t* path, int lengthMode, int force);
    // Writes under the object's own name (the base SaveAs).
    virtual int Save(int lengthMode, int force);

    int SetFileName(const wchar_t* base, const wchar_t* extension);
    // 1 when a name is set; otherwise prints "ERROR: CTag m_szFileName not set."
    int IsFileNameSet() const;
    // Loads the named file; 1 when at least a whole header was read.
    int Open();
    int OpenAs(const wchar_t* base, const wchar_t* extension);
    // OpenAs with the class's own extension (a base that already carries an
    // extension opens that very file).
    int OpenAs(const wchar_t* base) { return OpenAs(base, m_szDefaultExtension); }
    const wchar_t* GetDefaultExtension() const { return m_szDefaultExtension; }
    int OpenAndIdentify();
    // Finds the type table row for the header words and the extension.
    int Identify();
    void ResetType();
    void FreeData();
    // Puts the cursor on the first entry without checking it.
    void SelectFirst() { SelectEntry(0, 0); }
    // Upper-cases the stored file name (letters a to z).
    void UpperCaseFileName();

    // 1 when the count is 0 or the data is shorter than one entry.
    int IsEmpty() const;
    int GetCount() const;  // header entry count (16 bits)
    int IsValid(int index) const;
    int GetIndex() const { return m_nCurrent; }

    // Moves the cursor to an entry (fixed-length entries here; the consist
    // and digitizer classes step through their variable-length records).
    virtual int Seek(int index);
    int Next();
    int Prev();

    // Replaces the whole data area (the header is left as it is; callers set
    // its count); the cursor goes to the first entry.
    void SetData(std::vector<uint8_t> data);
    // Appends one variable-length record (entry length 0 only): the count
    // grows by one and the file length follows. The cursor does not move.
    int AppendEntry(std::span<const uint8_t> record);

    // Edits of a fixed-length data area.
    int Grow(unsigned n);
    int Insert(int index, std::span<const uint8_t> entry);
    int Delete(int index);
    int Swap(int a, int b);

    // Raw time of the current entry times the time scale, truncated (ms).
    int64_t GetTime() const;
    // Clears the type-specific header area (bytes 34 to 59).
    void ZeroReservedHeader();

    // State.
    const std::wstring& GetFileName() const { return m_szFileName; }
    const CTagTypeInfo* GetType() const { return m_pType; }
    uint32_t GetTypeCode() const { return m_pType->m_nTypeCode; }
    uint16_t GetEntryLength() const;
    uint32_t GetFileSize() const { return m_nFileSize; }
    uint32_t GetDataSize() const { return static_cast<uint32_t>(m_Data.size()); }
    bool HasData() const { return m_bHasData; }
    // Grows whenever the data area may have changed (every edit, and every
    // writable span handed out), so that what a class derives from the
    // entries knows when to derive it again.
    uint64_t DataEdits() const { return m_nDataEdits; }
    float GetTimeScale() const { return m_fTimeScale; }

    // Header image and data area.
    std::span<uint8_t> Header() { return m_Header; }
    std::span<const uint8_t> Header() const { return m_Header; }
    // The writable data area; counts as an edit, since the caller may write
    // through the span.
    std::span<uint8_t> Data() {
        NoteDataEdit();
        return m_Data;
    }
    std::span<const uint8_t> Data() const { return m_Data; }
    uint32_t GetHeaderField(const layout::Field& f) const { return layout::Get(Header(), 0, f); }
    void SetHeaderField(const layout::Field& f, uint32_t v) { layout::Set(Header(), 0, f, v); }

    // The current entry: from the cursor for the entry length (for variable
    // records, the length in the record's first two bytes), cut at the end
    // of the data. Empty when there is no data under the cursor.
    size_t GetCurrentOffset() const { return m_nCurrentOffset; }
    std::span<uint8_t> GetCurrent();
    std::span<const uint8_t> GetCurrent() const;
    // Fixed-length entry i, cut at the end of the data.
    std::span<uint8_t> GetEntry(int index);
    std::span<const uint8_t> GetEntry(int index) const;
    // Fields of the current entry / of fixed-length entry i; a field outside
    // the entry reads as 0 and is not written.
    uint32_t GetField(const layout::Field& f) const { return layout::Get(GetCurrent(), 0, f); }
    bool SetField(const layout::Field& f, uint32_t v) { return layout::Set(GetCurrent(), 0, f, v); }
    uint32_t GetFieldAt(int index, const layout::Field& f) const { return layout::Get(GetEntry(index), 0, f); }
    bool SetFieldAt(int index, const layout::Field& f, uint32_t v) { return layout::Set(GetEntry(index), 0, f, v); }

protected:
    // Header of a file this class creates from nothing: entry length, type
    // group and subcode, no entries, time scale 1; names its extension.
    void InitNewFileHeader(uint16_t entryLength, uint16_t group, uint16_t subcode, const wchar_t* extension);
    // Called whenever the cursor lands on an entry, so that classes with
    // decoded members refresh them.
    virtual void OnEntrySelected() {}
    // Called at the end of every Open, so that classes with members derived
    // from the whole file compute them.
    virtual void OnOpened() {}
    // Cursor walk through variable-length records, each led by its own u16
    // length: forward from the current record when the target lies beyond
    // it, otherwise from record 0. A record that would run past the data
    // stops the walk with the past-end message; so does a record too short
    // to hold its own length (below minLength bytes).
    int SeekVariable(int index, uint16_t minLength = 2);
    // Length field of the variable record at a data offset; 0 when the
    // field itself lies beyond the data.
    uint16_t VariableLengthAt(size_t offset) const;
    // Field of the entry that starts at a data offset, within that entry.
    uint32_t GetFieldAtOffset(size_t offset, const layout::Field& f) const;
    bool SetFieldAtOffset(size_t offset, const layout::Field& f, uint32_t v);
    // Raw timestamp of the entry at a data offset, and its replacement; the
    // record classes name their own time field.
    virtual uint32_t RawTimeAt(size_t offset) const;
    virtual void SetRawTimeAt(size_t offset, uint32_t raw);
    int64_t RawToMs(uint32_t raw) const;

    // Time differences to the neighbouring entries (0 when there is none);
    // the cursor is left where it was.
    int64_t GapToPrevious();
    int64_t GapToNext();
    // Doubles every entry's raw time and sets bit 5 of header byte 33;
    // 0 for a file without entries.
    int DoubleTimes();
    // Orders the entries by time; entries with equal times keep their order.
    int SortByTime();

    void SelectEntry(int index, size_t offset);
    // Number of whole fixed-length entries the data holds, limited to the count.
    int EntriesPresent() const;
    // Prints the message for a fixed-length operation on variable records.
    void PrintVariableTypeError(unsigned line) const;
    void PrintPastEnd(int index, uint64_t newLength, uint16_t entryLength) const;
    // Size of the entry that starts at a data offset: the header's entry
    // length, or for variable-length records the record's own length.
    virtual size_t EntrySizeAt(size_t offset) const;
    void NoteDataEdit() { ++m_nDataEdits; }

    uint8_t m_Header[layout::header::kSize];
    std::vector<uint8_t> m_Data;  // the data area
    bool m_bHasData = false;      // false: no data area at all
    uint32_t m_nFileSize = 64;
    std::wstring m_szFileName;
    int m_nCurrent = 0;
    float m_fTimeScale = 0.0f;
    size_t m_nCurrentOffset = 0;  // start of the current entry in the data
    const CTagTypeInfo* m_pType;
    const wchar_t* m_szDefaultExtension = L"";
    uint64_t m_nDataEdits = 0;
};
