#include "ConsistFile.h"

#include <algorithm>
#include <bit>

namespace cs = layout::consist;
namespace hdr = layout::header;

namespace {

// Exception flags counted by ExceptionCount: W, L, A, E and O.
constexpr uint16_t kCountedExceptions = 0x002F;
// Flags that make a tag block unclean: W and O.
constexpr uint16_t kUncleanFlags = 0x0021;

bool Overlaps(const layout::Field& a, const layout::Field& b) {
    return a.offset < b.End() && b.offset < a.End();
}

}  // namespace

CConsistFile::CConsistFile() {
    SetHeaderField(hdr::kTypeGroup, cs::kTypeGroup);
    SetHeaderField(hdr::kTypeSubcode, cs::kTypeSubcode);
    SetHeaderField(hdr::kRecordLength, 0);
}

int CConsistFile::Load(const char* name) {
    const int ok = LoadWithExtension(name, ".035");
    Reindex();
    m_nCurrent = 0;
    return ok;
}

int CConsistFile::SaveAs(const char* name) { return SaveWithExtension(name, ".035"); }

bool CConsistFile::IsWholeAt(size_t off) const {
    const size_t size = m_Data.size();
    if (off > size || size - off < cs::kFixedSize) return false;
    const size_t len = layout::Get(m_Data, off, cs::kLength);
    return len >= cs::FixedPartSize(layout::Get(m_Data, off, cs::kTagCount)) && len <= size - off;
}

void CConsistFile::Reindex() {
    m_Offsets.clear();
    const size_t stored = static_cast<size_t>(std::max(GetStoredCount(), 0));
    size_t off = 0;
    // Every whole entry is at least 24 bytes, so the walk always ends.
    while (m_Offsets.size() < stored && IsWholeAt(off)) {
        m_Offsets.push_back(off);
        off += layout::Get(m_Data, off, cs::kLength);
    }
    if (!IsValid(m_nCurrent)) m_nCurrent = 0;
}

bool CConsistFile::EntryBounds(int i, size_t& off, size_t& len) const {
    if (!IsValid(i)) return false;
    off = m_Offsets[static_cast<size_t>(i)];
    if (off >= m_Data.size()) return false;
    len = std::min<size_t>(layout::Get(m_Data, off, cs::kLength), m_Data.size() - off);
    return true;
}

std::span<uint8_t> CConsistFile::EntryAt(int i) {
    size_t off = 0, len = 0;
    if (!EntryBounds(i, off, len)) return {};
    return std::span<uint8_t>(m_Data).subspan(off, len);
}

std::span<const uint8_t> CConsistFile::EntryAt(int i) const {
    size_t off = 0, len = 0;
    if (!EntryBounds(i, off, len)) return {};
    return std::span<const uint8_t>(m_Data).subspan(off, len);
}

uint32_t CConsistFile::GetField(const layout::Field& f) const { return layout::Get(Entry(), 0, f); }

bool CConsistFile::SetField(const layout::Field& f, uint32_t v) { return SetFieldAt(GetIndex(), f, v); }

uint32_t CConsistFile::GetFieldAt(int i, const layout::Field& f) const { return layout::Get(EntryAt(i), 0, f); }

bool CConsistFile::SetFieldAt(int i, const layout::Field& f, uint32_t v) {
    const auto entry = EntryAt(i);
    const uint32_t old = layout::Get(entry, 0, f);
    const uint32_t oldLength = layout::Get(entry, 0, cs::kLength);
    if (!layout::Set(entry, 0, f, v)) return false;
    if (!Overlaps(f, cs::kLength) && !Overlaps(f, cs::kTagCount)) return true;
    // The length and the tag count hold the walk together: a write that
    // would move the next entry or announce tag blocks the entry lacks is
    // refused.
    const size_t off = m_Offsets[static_cast<size_t>(i)];
    if (IsWholeAt(off) && layout::Get(entry, 0, cs::kLength) == oldLength) return true;
    layout::Set(entry, 0, f, old);
    return false;
}

int CConsistFile::SeekEntry(int i) {
    if (!IsValid(i)) return 0;
    m_nCurrent = i;
    return 1;
}

int CConsistFile::NextVehicle() {
    const int start = GetIndex();
    if (!IsValid(start)) return 0;
    const uint32_t number = GetFieldAt(start, cs::kVehicleNumber);
    for (int i = start + 1; i < GetCount(); ++i)
        if (GetFieldAt(i, cs::kVehicleNumber) != number) return SeekEntry(i);
    SeekEntry(start);
    return 0;
}

int CConsistFile::PrevVehicle() {
    const int start = GetIndex();
    if (!IsValid(start)) return 0;
    const uint32_t number = GetFieldAt(start, cs::kVehicleNumber);
    for (int i = start - 1; i >= 0; --i)
        if (GetFieldAt(i, cs::kVehicleNumber) != number) return SeekEntry(i);
    SeekEntry(start);
    return 0;
}

int CConsistFile::FindVehicle(int n) {
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        const uint32_t number = GetFieldAt(i, cs::kVehicleNumber);
        // Only the first entry of each vehicle is compared.
        if (i > 0 && GetFieldAt(i - 1, cs::kVehicleNumber) == number) continue;
        if (static_cast<int>(number) == n) return SeekEntry(i);
    }
    SeekEntry(GetIndex());
    return 0;
}

std::span<uint8_t> CConsistFile::GetTagBlock(int k) { return EditableTagBlock(Entry(), k); }

const CDecodedTag& CConsistFile::GetDecodedTag(int k) const {
    const int block = k == 1 ? 1 : 0;
    // A block the entry does not hold gives an empty text, so a cleared tag.
    return m_Tags[block].Decode(TagBlockTextWithLead(EntryTagBlock(Entry(), block)));
}

int CConsistFile::AppendEntry(const uint8_t* bytes, unsigned len) {
    if (GetRecordLength() != 0 || !bytes || len < cs::kFixedSize || len > 0xFFFF) return 0;
    const std::span<const uint8_t> entry(bytes, len);
    if (layout::Get(entry, 0, cs::kLength) != len || len < cs::FixedPartSize(layout::Get(entry, 0, cs::kTagCount)))
        return 0;
    if (GetCount() >= 0xFFFF) return 0;
    // The new entry goes right after the last addressable one, so that it
    // is reachable even when a damaged tail follows (which is kept after it).
    size_t at = 0;
    if (GetCount() > 0) {
        const size_t last = m_Offsets.back();
        at = last + layout::Get(m_Data, last, cs::kLength);
    }
    m_Data.insert(m_Data.begin() + static_cast<std::ptrdiff_t>(at), bytes, bytes + len);
    m_bLoaded = true;
    SetRecordCount(static_cast<unsigned>(GetCount() + 1));
    SetHeaderField(hdr::kFileLength, static_cast<uint32_t>(m_Data.size() + 64));
    // The entries before it are unchanged and the count now ends the walk
    // right after it, so the index only gains its offset.
    m_Offsets.push_back(at);
    return 1;
}

int CConsistFile::IsCurrentValid() const {
    if (!IsValid(GetIndex())) return 0;
    return ClassifyEntryReduced(Entry(), &m_Modes, -1) == kClassTagged ? 1 : 0;
}

int CConsistFile::ExceptionCount() const {
    if (!IsCurrentValid()) return 0;
    const auto entry = Entry();
    int count = std::popcount(static_cast<unsigned>(EntryTagFlags(entry, 0) & kCountedExceptions));
    if (EntryTagCount(entry) == 2)
        count += std::popcount(static_cast<unsigned>(EntryTagFlags(entry, 1) & kCountedExceptions));
    return count;
}

int CConsistFile::GetTagFlagsAt(int k, uint16_t& out) const {
    if (!IsValid(GetIndex()) || k < 0 || k >= EntryTagCount(Entry())) return 0;
    out = EntryTagFlags(Entry(), k);
    return 1;
}

int CConsistFile::IsTagCleanAt(int k) const {
    uint16_t flags = 0;
    return GetTagFlagsAt(k, flags) && (flags & kUncleanFlags) == 0 ? 1 : 0;
}
