#include "ConsistLayout.h"
#include "FileAccess.h"
#include "RecordClasses.h"
#include "TagLayout.h"

namespace hdr = layout::header;
namespace cs = layout::consist;
namespace tr = layout::tagread;

namespace {

// The tag text as the holders take it: lead character and 20 characters.
constexpr size_t kLeadAndText = 1 + layout::aei::kTextLength;

// The lead character and tag text at an offset of the entry; empty when the
// entry does not hold them whole.
std::span<const uint8_t> LeadAndText(std::span<const uint8_t> entry, size_t leadOffset) {
    if (entry.size() < leadOffset + kLeadAndText) return {};
    return entry.subspan(leadOffset, kLeadAndText);
}

}  // namespace

// ---------------------------------------------------------------------------
// Consist

CTag035::CTag035(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    InitNewFileHeader(0, cs::kTypeGroup, cs::kTypeSubcode, L".035");
}

int CTag035::Seek(int index) { return SeekVariable(index); }

int CTag035::SaveAs(const wchar_t* path, int lengthMode, int force) {
    const std::wstring name = ComposeTrainFileName(path ? path : L"", L".035");
    return CTag::SaveAs(name.c_str(), lengthMode, force);
}

int CTag035::SaveCopyAs(const wchar_t* base, const wchar_t* extension, int lengthMode, int force) {
    std::wstring name;
    if (!MakeTrainFileName(name, base ? base : L"", extension)) return 0;
    return CTag::SaveAs(name.c_str(), lengthMode, force);
}

const CDecodedTag& CTag035::GetTag(int k) const {
    if (k == 0) return m_Tag1.Decode(LeadAndText(GetCurrent(), cs::kTagBlock1 + cs::kTagLead.offset));
    return m_Tag2.Decode(LeadAndText(GetCurrent(), cs::kTagBlock2 + cs::kTagLead.offset));
}

uint16_t CTag035::GetLength() const { return m_bHasData ? VariableLengthAt(m_nCurrentOffset) : 0; }
uint16_t CTag035::GetVehicleNumber() const { return static_cast<uint16_t>(GetField(cs::kVehicleNumber)); }

int CTag035::GetAxleCount() const { return static_cast<int>(EntryAxleCount(GetCurrent())); }

int16_t CTag035::GetVehicleLength() const { return static_cast<int16_t>(GetField(cs::kVehicleLength)); }
int CTag035::GetTagCount() const { return static_cast<int>(GetField(cs::kTagCount)); }
uint8_t CTag035::GetEgc() const { return static_cast<uint8_t>(GetField(cs::kEgc)); }
uint8_t CTag035::GetReadStatus() const { return static_cast<uint8_t>(GetField(cs::kReadStatus)); }

std::span<uint8_t> CTag035::GetTagBlock(int k) { return EditableTagBlock(GetCurrent(), k); }
std::span<const uint8_t> CTag035::GetTagBlock(int k) const { return EntryTagBlock(GetCurrent(), k); }

uint16_t CTag035::GetTagFlags(int k) const {
    return static_cast<uint16_t>(layout::Get(GetTagBlock(k), 0, cs::kTagFlags));
}

bool CTag035::SetTagFlags(int k, uint16_t flags) { return layout::Set(GetTagBlock(k), 0, cs::kTagFlags, flags); }

// ---------------------------------------------------------------------------
// Tag reads

CTag060::CTag060(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    SetHeaderField(hdr::kRecordLength, tr::kRecordSize);
    m_szDefaultExtension = L".060";
}

const CDecodedTag& CTag060::GetTag() const { return m_Tag.Decode(LeadAndText(GetCurrent(), tr::kLead.offset)); }

std::string CTag060::GetTagText() const {
    return layout::GetText(GetCurrent(), tr::kTextAreaBegin, tr::kTextAreaEnd - tr::kTextAreaBegin);
}

int CTag060::GetAntennaConfig() const {
    if (GetIndex() < 0 || GetIndex() >= EntriesPresent()) return -1;
    return static_cast<int>(GetHeaderField(tr::kAntennaConfig));
}

int CTag060::GetConfig2() const {
    if (GetIndex() < 0 || GetIndex() >= EntriesPresent()) return -1;
    return static_cast<int>(GetHeaderField(tr::kConfig2));
}

int CTag060::GetAntennaNumber() const { return static_cast<int>(GetField(tr::kAntenna)) - '0'; }
