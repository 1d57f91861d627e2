#include "Tag.h"

#include "FileAccess.h"
#include "Platform.h"
#include "TrainFile.h"
#include "WideText.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace hdr = layout::header;

namespace {

constexpr const char* kSourceName = "Tag.cpp";
constexpr layout::Field kRawTime32{0, 4, "raw time"};
// Bit 5 of header byte 33 records that the times were doubled.
constexpr layout::Field kFlagsWord32 = hdr::kWord32;
constexpr uint32_t kTimesDoubledFlag = 0x2000;

}  // namespace

CTag::CTag(const wchar_t* base, const wchar_t* extension) : m_pType(UnknownTagType()) {
    SetDefaultHeader(m_Header);
    SetFileName(base, extension);
    ResetType();
}

CTag::~CTag() { FreeData(); }

int CTag::SetFileName(const wchar_t* base, const wchar_t* extension) {
    if (MakeTrainFileName(m_szFileName, base ? base : L"", extension)) return 1;
    // A name cut at the path limit would name another file: keep none.
    m_szFileName.clear();
    return 0;
}

int CTag::IsFileNameSet() const {
    if (!m_szFileName.empty()) return 1;
    std::printf("ERROR: CTag m_szFileName not set.\n");
    return 0;
}

void CTag::UpperCaseFileName() { UpperCaseAscii(m_szFileName); }

void CTag::ResetType() { m_pType = UnknownTagType(); }

void CTag::FreeData() {
    NoteDataEdit();
    m_Data.clear();
    m_Data.shrink_to_fit();
    m_bHasData = false;
    m_nCurrentOffset = 0;
}

int CTag::Open() {
    if (!IsFileNameSet()) return 0;
    std::memset(m_Header, 0, sizeof m_Header);
    m_fTimeScale = 0.0f;
    FreeData();
    m_nCurrent = 0;

    std::vector<uint8_t> bytes;
    uint32_t bytesRead = 0;
    if (!ReadWholeFile(m_szFileName, bytes, bytesRead, 0)) {
        // Missing, unreadable or of zero length.
        m_nFileSize = 0;
        SelectEntry(0, 0);
        OnOpened();
        return 0;
    }
    m_nFileSize = bytesRead;
    if (bytes.size() >= hdr::kSize) {
        std::memcpy(m_Header, bytes.data(), hdr::kSize);
        if (bytes.size() > hdr::kSize) {
            m_Data.assign(bytes.begin() + hdr::kSize, bytes.end());
            NoteDataEdit();
            m_bHasData = true;
        }
    }
    if (m_bHasData) {
        m_fTimeScale = HeaderTimeScale(m_Header);
    } else {
        SetHeaderField(hdr::kRecordCount, 0);
    }
    SelectEntry(0, 0);
    OnOpened();
    return m_nFileSize >= hdr::kSize ? 1 : 0;
}

int CTag::OpenAs(const wchar_t* base, const wchar_t* extension) {
    SetFileName(base, extension);
    return Open();
}

int CTag::OpenAndIdentify() {
    if (!Open()) return 0;
    if (!IsFileNameSet()) return 0;
    return Identify();
}

int CTag::Identify() {
    ResetType();
    if (!IsFileNameSet()) return 0;
    const size_t dot = m_szFileName.find(L'.');
    if (dot == std::wstring::npos) return 0;
    const std::wstring_view ext = std::wstring_view(m_szFileName).substr(dot);
    const uint32_t format = GetHeaderField(hdr::kFormat);
    const uint32_t group = GetHeaderField(hdr::kTypeGroup);
    const uint32_t subcode = GetHeaderField(hdr::kTypeSubcode);
    for (const CTagTypeInfo* row = g_TagTypes; row->m_nTypeCode != 0; ++row) {
        if (row->m_nFormat != format || row->m_nTypeGroup != group || row->m_nTypeSubcode != subcode) continue;
        const std::wstring_view rowExt(row->m_szExtension);
        if (rowExt.size() != ext.size()) continue;
        if (!std::equal(rowExt.begin(), rowExt.end(), ext.begin(),
                        [](wchar_t a, wchar_t b) { return UpperAscii(a) == UpperAscii(b); }))
            continue;
        m_pType = row;
        return 1;
    }
    return 0;
}

int CTag::SaveCopy(std::wstring& dest, const wchar_t* base, const wchar_t* extension, int lengthMode, int force) {
    if (!MakeTrainFileName(dest, base ? base : L"", extension)) return 0;
    return SaveAs(dest.c_str(), lengthMode, force);
}

int CTag::SaveAs(const wchar_t* path, int lengthMode, int force) {
    if (!force && !m_bHasData) return 0;
    if (lengthMode == kLengthByType) lengthMode = static_cast<int>(m_pType->m_nRecompute);
    if (lengthMode != kKeepLength) {
        m_nFileSize = static_cast<uint32_t>(m_Data.size() + hdr::kSize);
        SetHeaderField(hdr::kFileLength, m_nFileSize);
    }
    // Header and data go down in one write, so a failed save leaves the old
    // file whole instead of a file that holds only the new header.
    std::vector<uint8_t> image(m_Header, m_Header + hdr::kSize);
    image.insert(image.end(), m_Data.begin(), m_Data.end());
    return WriteNewFile(path ? std::wstring_view(path) : std::wstring_view(), image.data(), image.size());
}

int CTag::Save(int lengthMode, int force) { return CTag::SaveAs(m_szFileName.c_str(), lengthMode, force); }

uint16_t CTag::GetEntryLength() const { return static_cast<uint16_t>(GetHeaderField(hdr::kRecordLength)); }

int CTag::GetCount() const { return static_cast<int>(GetHeaderField(hdr::kRecordCount)); }

int CTag::IsValid(int index) const { return index >= 0 && index < GetCount() ? 1 : 0; }

int CTag::IsEmpty() const { return GetCount() == 0 || m_Data.size() < GetEntryLength() ? 1 : 0; }

int CTag::EntriesPresent() const {
    const size_t len = GetEntryLength();
    if (len == 0) return 0;
    return static_cast<int>(std::min<size_t>(static_cast<size_t>(GetCount()), m_Data.size() / len));
}

void CTag::SelectEntry(int index, size_t offset) {
    m_nCurrent = index;
    m_nCurrentOffset = offset;
    OnEntrySelected();
}

void CTag::PrintVariableTypeError(unsigned line) const {
    WPrintOut(L"No variable types allowed yet for file %ls, type 0x%03x, source: file %s, line: %u.\n",
              m_szFileName.c_str(), GetTypeCode(), kSourceName, line);
}

void CTag::PrintPastEnd(int index, uint64_t newLength, uint16_t entryLength) const {
    WPrintOut(L"Tried to go past end of file %ls, type 0x%03x, new entry %d, file length old: %u, new: %u. "
              L"Entry length: %hu.\n",
              m_szFileName.c_str(), GetTypeCode(), index, m_nFileSize, static_cast<unsigned>(newLength),
              entryLength);
}

int CTag::Seek(int index) {
    const uint16_t len = GetEntryLength();
    if (len == 0) {
        PrintVariableTypeError(__LINE__);
        return 0;
    }
    if (index < 0 || index >= GetCount()) return 0;
    const uint64_t end = (static_cast<uint64_t>(index) + 1) * len;
    if (end > m_Data.size()) {
        PrintPastEnd(index, end + hdr::kSize, len);
        return 0;
    }
    SelectEntry(index, static_cast<size_t>(index) * len);
    return 1;
}

int CTag::Next() {
    if (!m_bHasData) return 0;
    return Seek(m_nCurrent + 1);
}

int CTag::Prev() {
    if (!m_bHasData || m_nCurrent <= 0) return 0;
    return Seek(m_nCurrent - 1);
}

void CTag::SetData(std::vector<uint8_t> data) {
    m_Data = std::move(data);
    NoteDataEdit();
    m_bHasData = true;
    SelectEntry(0, 0);
}

int CTag::AppendEntry(std::span<const uint8_t> record) {
    if (GetEntryLength() != 0 || GetCount() >= 0xFFFF) return 0;
    m_Data.insert(m_Data.end(), record.begin(), record.end());
    NoteDataEdit();
    m_bHasData = true;
    SetHeaderField(hdr::kRecordCount, static_cast<uint32_t>(GetCount() + 1));
    m_nFileSize = static_cast<uint32_t>(m_Data.size() + hdr::kSize);
    SetHeaderField(hdr::kFileLength, m_nFileSize);
    return 1;
}

int CTag::Grow(unsigned n) {
    const size_t len = GetEntryLength();
    if (len == 0) {
        PrintVariableTypeError(__LINE__);
        return 0;
    }
    const size_t count = static_cast<size_t>(GetCount()) + n;
    if (count > 0xFFFF) return 0;  // the header holds a 16-bit count
    // Resizing in place keeps the counted bytes and zero-fills the new
    // entries; growth is geometric, so entries added one by one cost
    // amortised linear time.
    m_Data.resize(count * len);
    NoteDataEdit();
    m_bHasData = true;
    SetHeaderField(hdr::kRecordCount, static_cast<uint32_t>(count));
    m_nFileSize = static_cast<uint32_t>(m_Data.size() + hdr::kSize);
    SetHeaderField(hdr::kFileLength, m_nFileSize);
    if (count > 0) SelectEntry(static_cast<int>(count - 1), (count - 1) * len);
    return 1;
}

int CTag::Insert(int index, std::span<const uint8_t> entry) {
    const size_t len = GetEntryLength();
    if (len == 0) {
        PrintVariableTypeError(__LINE__);
        return 0;
    }
    const int count = GetCount();
    if (index < 0 || index > count || entry.size() < len) return 0;
    if (!Grow(1)) return 0;
    const size_t at = static_cast<size_t>(index) * len;
    std::copy_backward(m_Data.begin() + at, m_Data.end() - len, m_Data.end());
    std::copy_n(entry.begin(), len, m_Data.begin() + at);
    NoteDataEdit();
    if (m_nCurrent == index) OnEntrySelected();  // the entry under the cursor changed
    return 1;
}

int CTag::Delete(int index) {
    const size_t len = GetEntryLength();
    if (len == 0) {
        PrintVariableTypeError(__LINE__);
        return 0;
    }
    const int count = GetCount();
    if (index < 0 || index >= count) return 0;
    const size_t at = static_cast<size_t>(index) * len;
    if (at < m_Data.size()) m_Data.erase(m_Data.begin() + at, m_Data.begin() + std::min(m_Data.size(), at + len));
    const size_t keep = static_cast<size_t>(count - 1) * len;
    if (m_Data.size() > keep) m_Data.resize(keep);
    NoteDataEdit();
    SetHeaderField(hdr::kRecordCount, static_cast<uint32_t>(count - 1));
    SelectEntry(0, 0);
    return 1;
}

int CTag::Swap(int a, int b) {
    if (a == b) return 1;
    const size_t len = GetEntryLength();
    if (!IsValid(a) || !IsValid(b) || !m_bHasData || len == 0) return 0;
    const size_t oa = static_cast<size_t>(a) * len, ob = static_cast<size_t>(b) * len;
    if (oa + len > m_Data.size() || ob + len > m_Data.size()) return 0;
    std::swap_ranges(m_Data.begin() + oa, m_Data.begin() + oa + len, m_Data.begin() + ob);
    NoteDataEdit();
    if (m_nCurrent == a || m_nCurrent == b) OnEntrySelected();
    return 1;
}

size_t CTag::EntrySizeAt(size_t offset) const {
    const size_t len = GetEntryLength();
    if (len != 0) return len;
    // Variable records begin with their own length.
    return layout::GetLE(m_Data, offset, 2);
}

std::span<uint8_t> CTag::GetCurrent() {
    NoteDataEdit();  // the caller may write through the span
    if (!m_bHasData || m_nCurrentOffset >= m_Data.size()) return {};
    const size_t n = std::min(EntrySizeAt(m_nCurrentOffset), m_Data.size() - m_nCurrentOffset);
    return std::span<uint8_t>(m_Data).subspan(m_nCurrentOffset, n);
}

std::span<const uint8_t> CTag::GetCurrent() const {
    if (!m_bHasData || m_nCurrentOffset >= m_Data.size()) return {};
    const size_t n = std::min(EntrySizeAt(m_nCurrentOffset), m_Data.size() - m_nCurrentOffset);
    return std::span<const uint8_t>(m_Data).subspan(m_nCurrentOffset, n);
}

std::span<uint8_t> CTag::GetEntry(int index) {
    NoteDataEdit();  // the caller may write through the span
    const size_t len = GetEntryLength();
    if (index < 0 || len == 0) return {};
    const size_t at = static_cast<size_t>(index) * len;
    if (at >= m_Data.size()) return {};
    return std::span<uint8_t>(m_Data).subspan(at, std::min(len, m_Data.size() - at));
}

std::span<const uint8_t> CTag::GetEntry(int index) const {
    const size_t len = GetEntryLength();
    if (index < 0 || len == 0) return {};
    const size_t at = static_cast<size_t>(index) * len;
    if (at >= m_Data.size()) return {};
    return std::span<const uint8_t>(m_Data).subspan(at, std::min(len, m_Data.size() - at));
}

uint32_t CTag::GetFieldAtOffset(size_t offset, const layout::Field& f) const {
    if (offset >= m_Data.size()) return 0;
    const size_t n = std::min(EntrySizeAt(offset), m_Data.size() - offset);
    return layout::Get(std::span<const uint8_t>(m_Data).subspan(offset, n), 0, f);
}

bool CTag::SetFieldAtOffset(size_t offset, const layout::Field& f, uint32_t v) {
    NoteDataEdit();
    if (offset >= m_Data.size()) return false;
    const size_t n = std::min(EntrySizeAt(offset), m_Data.size() - offset);
    return layout::Set(std::span<uint8_t>(m_Data).subspan(offset, n), 0, f, v);
}

uint32_t CTag::RawTimeAt(size_t offset) const { return GetFieldAtOffset(offset, kRawTime32); }

void CTag::SetRawTimeAt(size_t offset, uint32_t raw) { SetFieldAtOffset(offset, kRawTime32, raw); }

uint16_t CTag::VariableLengthAt(size_t offset) const {
    return static_cast<uint16_t>(layout::GetLE(m_Data, offset, 2));
}

int CTag::SeekVariable(int index, uint16_t minLength) {
    if (index < 0 || index >= GetCount() || !m_bHasData) return 0;
    int i = 0;
    size_t offset = 0;
    if (m_nCurrent < index && m_nCurrent >= 0) {
        i = m_nCurrent;
        offset = m_nCurrentOffset;
    }
    while (i < index) {
        const uint16_t length = VariableLengthAt(offset);
        if (length < minLength || length < 2) {
            // Stepping by this length would stay on the record for ever.
            WPrintOut(L"Cannot step past entry %d of file %ls, type 0x%03x: entry length %hu.\n", i,
                      m_szFileName.c_str(), GetTypeCode(), length);
            return 0;
        }
        const size_t next = offset + length;
        const bool lengthReadable = next + 2 <= m_Data.size();
        const uint16_t nextLength = lengthReadable ? VariableLengthAt(next) : 0;
        const uint64_t end = static_cast<uint64_t>(next) + (lengthReadable ? nextLength : 2);
        if (end > m_Data.size()) {
            PrintPastEnd(i + 1, end + hdr::kSize, nextLength);
            return 0;
        }
        offset = next;
        ++i;
    }
    SelectEntry(i, offset);
    return 1;
}

int64_t CTag::RawToMs(uint32_t raw) const { return ScaleRawToMs(raw, m_fTimeScale); }

int64_t CTag::GetTime() const {
    if (!m_bHasData) return 0;
    return RawToMs(RawTimeAt(m_nCurrentOffset));
}

int64_t CTag::GapToPrevious() {
    const size_t len = GetEntryLength();
    const int i = m_nCurrent;
    if (len == 0 || i <= 0 || i >= EntriesPresent()) return 0;
    return RawToMs(RawTimeAt(static_cast<size_t>(i) * len)) - RawToMs(RawTimeAt(static_cast<size_t>(i - 1) * len));
}

int64_t CTag::GapToNext() {
    const size_t len = GetEntryLength();
    const int i = m_nCurrent;
    if (len == 0 || i < 0 || i + 1 >= EntriesPresent()) return 0;
    return RawToMs(RawTimeAt(static_cast<size_t>(i + 1) * len)) - RawToMs(RawTimeAt(static_cast<size_t>(i) * len));
}

int CTag::DoubleTimes() {
    if (GetCount() == 0 || !m_bHasData) return 0;
    SetHeaderField(kFlagsWord32, GetHeaderField(kFlagsWord32) | kTimesDoubledFlag);
    if (!Seek(0)) return 1;
    do {
        SetRawTimeAt(m_nCurrentOffset, RawTimeAt(m_nCurrentOffset) << 1);
    } while (Next());
    return 1;
}

int CTag::SortByTime() {
    const size_t len = GetEntryLength();
    const int n = EntriesPresent();
    if (len == 0 || n == 0) return 0;
    // A stable sort gives the same order as repeated neighbour swaps of
    // entries whose successor is earlier, without their quadratic cost.
    std::vector<int64_t> times(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) times[static_cast<size_t>(i)] = RawToMs(RawTimeAt(static_cast<size_t>(i) * len));
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return times[static_cast<size_t>(a)] < times[static_cast<size_t>(b)]; });
    std::vector<uint8_t> sorted(m_Data);
    for (int i = 0; i < n; ++i)
        std::copy_n(m_Data.begin() + static_cast<size_t>(order[static_cast<size_t>(i)]) * len, len,
                    sorted.begin() + static_cast<size_t>(i) * len);
    m_Data.swap(sorted);
    NoteDataEdit();
    OnEntrySelected();
    return 1;
}

void CTag::ZeroReservedHeader() { std::fill(m_Header + hdr::kTypeAreaBegin, m_Header + hdr::kTypeAreaEnd, 0); }

void CTag::InitNewFileHeader(uint16_t entryLength, uint16_t group, uint16_t subcode, const wchar_t* extension) {
    SetHeaderField(layout::header::kRecordLength, entryLength);
    SetHeaderField(layout::header::kTypeGroup, group);
    SetHeaderField(layout::header::kTypeSubcode, subcode);
    SetHeaderField(layout::header::kRecordCount, 0);
    m_fTimeScale = 1.0f;
    m_szDefaultExtension = extension;
}
