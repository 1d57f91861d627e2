#include "WheelFile.h"

namespace wh = layout::wheel;

double AbSpacingSpeedMph(unsigned tenths, double ms) {
    return (tenths * wh::kTenthInchToMiles) / (ms * wh::kMsToHours);
}

int CWheelFile::Load(const char* name) { return LoadWithExtension(name, ".012"); }

uint8_t CWheelFile::GetABSpacing() const { return static_cast<uint8_t>(GetHeaderField(wh::kAbSpacing)); }

void CWheelFile::SetABSpacing(uint8_t tenths) { SetHeaderField(wh::kAbSpacing, tenths); }

uint32_t CWheelFile::RecordField(const layout::Field& f) const {
    if (f.End() > GetRecordLength() || !IsValid(GetIndex())) return 0;
    return GetField(f);
}

bool CWheelFile::SetRecordField(const layout::Field& f, uint32_t v) {
    if (f.End() > GetRecordLength() || !IsValid(GetIndex())) return false;
    return SetField(f, v);
}

uint8_t CWheelFile::GetDetector() const { return static_cast<uint8_t>(RecordField(wh::kDetector)); }

int CWheelFile::HasEventFlag() const { return (RecordField(wh::kFlags) & wh::kEventFlag) ? 1 : 0; }

void CWheelFile::SetEventFlag(bool on) {
    const uint32_t flags = RecordField(wh::kFlags);
    SetRecordField(wh::kFlags, on ? (flags | wh::kEventFlag) : (flags & ~uint32_t(wh::kEventFlag)));
}

uint32_t CWheelFile::GetRawTime() const { return RecordField(wh::kTime); }

void CWheelFile::SetRawTime(uint32_t raw) { SetRecordField(wh::kTime, raw); }

int CWheelFile::GetTime() const { return RawToMs(GetRawTime()); }

void CWheelFile::SetTime(unsigned ms) { SetRawTime(MsToRaw(ms)); }

int CWheelFile::DoubleTimes() {
    if (!Seek(0)) return 0;
    do {
        SetRawTime(GetRawTime() << 1);
    } while (Next());
    return 0;
}

int CWheelFile::ReplaceRecords(std::vector<uint8_t> area) {
    const unsigned len = GetRecordLength();
    if (len == 0 || area.size() / len > 0xFFFF) return 0;
    area.resize(area.size() / len * len);
    const size_t count = area.size() / len;
    SetData(std::move(area));
    SetRecordCount(static_cast<unsigned>(count));
    SetHeaderField(layout::header::kFileLength, static_cast<uint32_t>(64 + GetDataSize()));
    m_nCurrent = 0;
    return 1;
}
