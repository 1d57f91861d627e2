// CConsistFile: consist file (.035), one variable-length entry per vehicle
// part: a 24-byte fixed part, up to two 32-byte tag blocks and optional
// sub-records, walked by each entry's length field.
//
// Entries come from recorders and other programs, so the walk trusts an
// entry only when it is whole: its length field is at least 24, covers the
// tag blocks its tag count announces (at most two) and does not reach past
// the record area. The walk stops before the first entry that is not whole
// (a length of 0 would otherwise never advance, a short one would make its
// tag blocks overlap the next entry, a long one would read past the data);
// that entry and everything after it stay in the record area untouched and
// are saved as they were, but no operation addresses them. The entries the
// object addresses are the whole ones, limited by the header's count.
#pragma once

#include "ConsistLayout.h"
#include "TagDecode.h"
#include "TrainFile.h"

#include <span>
#include <string>
#include <vector>

class CConsistFile : public CTrainFile {
public:
    CConsistFile();

    int Load(const char* name) override;    // adds ".035"; positions on entry 0
    int SaveAs(const char* name) override;  // adds ".035"

    // Entries the object addresses (whole entries, limited by the header).
    int GetCount() const { return static_cast<int>(m_Offsets.size()); }
    int IsValid(int i) const { return i >= 0 && i < GetCount() ? 1 : 0; }

    // Moves to entry i; 0 (cursor unchanged) when i is not an entry.
    int SeekEntry(int i);
    int NextEntry() { return SeekEntry(GetIndex() + 1); }
    int PrevEntry() { return SeekEntry(GetIndex() - 1); }
    // The cursor operations of the base act on entries here.
    int Seek(int i) { return SeekEntry(i); }
    int Next() { return NextEntry(); }
    int Prev() { return PrevEntry(); }
    // Forward (backward) to the nearest entry whose vehicle number differs
    // from the current one; 0 and back on the starting entry when none.
    int NextVehicle();
    int PrevVehicle();
    // Moves to the first entry of vehicle n; 0 and the cursor unchanged
    // when no vehicle has that number.
    int FindVehicle(int n);

    // Bytes of the current entry / of entry i (its length field's worth);
    // empty when there is no such entry.
    std::span<uint8_t> Entry() { return EntryAt(GetIndex()); }
    std::span<const uint8_t> Entry() const { return EntryAt(GetIndex()); }
    std::span<uint8_t> EntryAt(int i);
    std::span<const uint8_t> EntryAt(int i) const;
    // Fields of the current entry / entry i, through the consist tables;
    // fields beyond the entry read as 0 and are not written. Writes that
    // would change an entry's length or give it more tag blocks than it
    // holds are refused (false).
    uint32_t GetField(const layout::Field& f) const;
    bool SetField(const layout::Field& f, uint32_t v);
    uint32_t GetFieldAt(int i, const layout::Field& f) const;
    bool SetFieldAt(int i, const layout::Field& f, uint32_t v);

    int GetVehicleNumber() const { return static_cast<int>(GetField(layout::consist::kVehicleNumber)); }
    int GetTagCount() const { return EntryTagCount(Entry()); }
    // Tag block k (0 or 1) of the current entry; empty when k > 1 or the
    // entry has fewer tag reads.
    std::span<uint8_t> GetTagBlock(int k);

    // Decoded tag of block k of the current entry (block 1 for any k but 1),
    // decoded when first asked for; not valid when the entry lacks the block.
    const CDecodedTag& GetDecodedTag(int k) const;
    // Owner initials of decoded tag 1.
    std::string GetTagText() const { return GetDecodedTag(0).Owner(); }

    // Appends one entry after the last entry the object addresses. The
    // bytes must form a whole entry whose length field is len. The cursor
    // does not move.
    int AppendEntry(const uint8_t* bytes, unsigned len);

    const TagReaderModes& GetReaderModes() const { return m_Modes; }
    void SetReaderModes(const TagReaderModes& modes) { m_Modes = modes; }

    // The current entry is a tagged new vehicle with an accepted code under
    // the reduced validity test and this object's reader modes.
    int IsCurrentValid() const;
    // Exception flags W, L, A, E and O set in the tag blocks of a valid
    // current entry; 0 when it is not valid.
    int ExceptionCount() const;
    // Flags of tag block k of the current entry; 0 when there is no entry
    // or no such block.
    int GetTagFlagsAt(int k, uint16_t& out) const;
    // Tag block k exists and has neither W nor O set.
    int IsTagCleanAt(int k) const;

    // Walks the record area again from its start (after the record area was
    // changed through Data()).
    void Reindex();

private:
    bool IsWholeAt(size_t off) const;
    // Start and length of entry i, limited to the record area.
    bool EntryBounds(int i, size_t& off, size_t& len) const;

    std::vector<size_t> m_Offsets;  // start of each addressable entry
    TagReaderModes m_Modes;         // 3, 3, 3 (and 0)
    CTagMemo m_Tags[2];
};
