#include "TagFile.h"

#include "Speed.h"

namespace tr = layout::tagread;

int CTagFile::Load(const char* name) { return CTrainFile::Load(name); }

int CTagFile::LoadTyped(const char* base, const char* ext) { return LoadWithExtension(base, ext ? ext : ""); }

int CTagFile::GetTime() const { return RawToMs(GetRawTime()); }

void CTagFile::SetTime(uint32_t ms) { SetRawTime(MsToRaw(ms)); }

std::span<const uint8_t> CTagFile::CurrentRecord() const {
    const unsigned len = GetRecordLength();
    if (len == 0 || !IsValid(GetIndex())) return {};
    return Data().subspan(CurrentOffset(), len);
}

int CTagFile::DecodeCurrent() {
    m_szTagText.clear();
    const std::span<const uint8_t> rec = CurrentRecord();
    if (rec.size() <= tr::kTextAreaBegin) {
        m_Decoded.Clear();
        return 0;
    }
    // The text runs from the lead character to its terminator, which lies
    // before the antenna digit; a missing terminator ends it there.
    m_szTagText = layout::GetText(rec, tr::kTextAreaBegin, tr::kTextAreaEnd - tr::kTextAreaBegin);
    return m_Decoded.Assign(rec.subspan(tr::kTextAreaBegin));
}

int CTagFile::GetAntennaConfig() const {
    if (!IsValid(GetIndex())) return -1;
    return static_cast<int>(GetHeaderField(tr::kAntennaConfig));
}

int CTagFile::GetConfig2() const {
    if (!IsValid(GetIndex())) return -1;
    return static_cast<int>(GetHeaderField(tr::kConfig2));
}

int CTagFile::GetAntennaNumber(std::span<const uint8_t> record) {
    if (!layout::Fits(record.size(), 0, tr::kAntenna)) return -1;
    return static_cast<int>(layout::Get(record, 0, tr::kAntenna)) - '0';
}

int CTagFile::GetAntennaNumber() const { return GetAntennaNumber(CurrentRecord()); }

int CTagFile::GetSpeedEighths() const { return SpeedEighths(GetField(tr::kSpeedWhole), GetField(tr::kSpeedEighths)); }

int CTagFile::GetReadCount() const {
    auto hex = [](uint32_t c) {
        if (c >= '0' && c <= '9') return int(c - '0');
        if (c >= 'A' && c <= 'F') return int(c - 'A' + 10);
        if (c >= 'a' && c <= 'f') return int(c - 'a' + 10);
        return -1;
    };
    const int hi = hex(GetField(tr::kReadCountHigh));
    const int lo = hex(GetField(tr::kReadCountLow));
    if (hi < 0 || lo < 0 || CurrentRecord().empty()) return -1;
    return hi * 16 + lo;
}

int CTagFile::DoubleTimes() {
    // An empty file has no record 0 to start from.
    if (!Seek(0)) return 0;
    do {
        SetRawTime(GetRawTime() * 2u);
    } while (Next());
    // The times are no part of the tag text: the record the walk ends on is
    // the only one whose tag is left decoded, so it is the only one decoded.
    DecodeCurrent();
    return 0;
}
