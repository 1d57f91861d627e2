#include "RecordClasses.h"

#include "AxleFile.h"
#include "AxleLayout.h"
#include "DetectorLayout.h"
#include "Event024Layout.h"
#include "InputStateLayout.h"
#include "IoLayout.h"
#include "ScaleLayout.h"
#include "TrainFile.h"
#include "WheelLayout.h"

#include <algorithm>

namespace hdr = layout::header;
namespace ax = layout::axle;

// ---------------------------------------------------------------------------
// Axle events

CTag010::CTag010(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    SetHeaderField(hdr::kRecordLength, ax::kRecordSize);
    m_szDefaultExtension = L".010";
}

uint32_t CTag010::RawTimeAt(size_t offset) const { return GetFieldAtOffset(offset, ax::kTime); }
void CTag010::SetRawTimeAt(size_t offset, uint32_t raw) { SetFieldAtOffset(offset, ax::kTime, raw); }
uint32_t CTag010::GetRawTime() const { return GetField(ax::kTime); }
void CTag010::SetRawTime(uint32_t raw) { SetField(ax::kTime, raw); }
int CTag010::GetDirection() const { return static_cast<int>(GetField(ax::kSpeedWhole) & ax::kDirectionBit); }
int CTag010::GetSpeedWhole() const { return static_cast<int>(GetField(ax::kSpeedWhole) >> 1); }

int CTag010::GetSpeedEighths() const { return SpeedEighths(GetField(ax::kSpeedWhole), GetField(ax::kSpeedEighths)); }

float CTag010::GetSpeed() const { return static_cast<float>(GetSpeedEighths()) * 0.125f; }

void CTag010::SetSpeed(float mph) {
    const SpeedBytes bytes = EncodeSpeed(mph, GetField(ax::kSpeedWhole) & ax::kDirectionBit);
    SetField(ax::kSpeedWhole, bytes.whole);
    SetField(ax::kSpeedEighths, bytes.eighths);
}

uint8_t CTag010::GetFlags() const { return static_cast<uint8_t>(GetField(ax::kSpeedEighths)); }
uint16_t CTag010::GetAxleNumber() const { return static_cast<uint16_t>(GetField(ax::kAxleNumber)); }
void CTag010::SetAxleNumber(uint16_t number) { SetField(ax::kAxleNumber, number); }

unsigned CTag010::MsPerFoot(int first, int last) const {
    if (first < 0 || first > last || last >= EntriesPresent()) return static_cast<unsigned>(-1);
    return AxleMsPerFoot(*this, first, last);
}

float CTag010::DistanceFeet(int a, int b) const {
    const int lo = std::min(a, b), hi = std::max(a, b);
    if (lo == hi || lo < 0 || hi >= EntriesPresent()) return 0.0f;
    const auto tLo = static_cast<uint32_t>(RawToMs(GetFieldAt(lo, ax::kTime)));
    const auto tHi = static_cast<uint32_t>(RawToMs(GetFieldAt(hi, ax::kTime)));
    const unsigned m = MsPerFoot(lo, hi);
    if (m == 0) return 0.0f;
    return static_cast<float>(static_cast<double>(tHi - tLo) / static_cast<double>(m));
}

int CTag010::Reverse() { return ReverseAxleRecords(*this, EntriesPresent()); }

// ---------------------------------------------------------------------------
// Input states

CTag01A::CTag01A(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    SetHeaderField(hdr::kRecordLength, layout::inputstate::kRecordSize);
    m_szDefaultExtension = L".01A";
}

uint16_t CTag01A::GetStates() const { return static_cast<uint16_t>(GetField(layout::inputstate::kStates)); }

std::string CTag01A::FormatStateListing(uint16_t idle) const {
    namespace is = layout::inputstate;
    std::string out;
    for (int i = 0; i < EntriesPresent(); ++i) {
        const uint32_t states = GetFieldAt(i, is::kStates);
        unsigned same[5];
        for (size_t k = 0; k < 5; ++k) {
            const uint32_t bit = 1u << is::kListedBits[k];
            same[k] = (states & bit) == (idle & bit) ? 1u : 0u;
        }
        char line[80];
        std::snprintf(line, sizeof line, "%10lu %u %u %u %u %u\n",
                      static_cast<unsigned long>(GetFieldAt(i, is::kTime)), same[0], same[1], same[2], same[3],
                      same[4]);
        out += line;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Wheel transducer events

CTag012::CTag012(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    SetHeaderField(hdr::kRecordLength, layout::wheel::kRecordSize);
    m_szDefaultExtension = L".012";
}

uint32_t CTag012::RawTimeAt(size_t offset) const { return GetFieldAtOffset(offset, layout::wheel::kTime); }
void CTag012::SetRawTimeAt(size_t offset, uint32_t raw) { SetFieldAtOffset(offset, layout::wheel::kTime, raw); }
uint32_t CTag012::GetRawTime() const { return GetField(layout::wheel::kTime); }
void CTag012::SetRawTime(uint32_t raw) { SetField(layout::wheel::kTime, raw); }

void CTag012::SetTime(uint32_t ms) { SetRawTime(ScaleMsToRaw(ms, m_fTimeScale)); }

uint8_t CTag012::GetDetector() const { return static_cast<uint8_t>(GetField(layout::wheel::kDetector)); }

int CTag012::HasEventFlag() const {
    return (GetField(layout::wheel::kFlags) & layout::wheel::kEventFlag) ? 1 : 0;
}

uint8_t CTag012::GetABSpacing() const { return static_cast<uint8_t>(GetHeaderField(layout::wheel::kAbSpacing)); }
void CTag012::SetABSpacing(uint8_t tenths) { SetHeaderField(layout::wheel::kAbSpacing, tenths); }

// ---------------------------------------------------------------------------
// IO events

CTag007::CTag007(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    SetHeaderField(hdr::kRecordLength, layout::io::kRecordSize);
    m_szDefaultExtension = L".007";
}

uint16_t CTag007::GetInputs() const { return static_cast<uint16_t>(GetField(layout::io::kInputs)); }
uint16_t CTag007::GetRecordFlags() const { return static_cast<uint16_t>(GetField(layout::io::kFlags)); }

// ---------------------------------------------------------------------------
// Events with a 16-bit time

CTag024::CTag024(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    SetHeaderField(hdr::kRecordLength, layout::event024::kRecordSize);
    m_szDefaultExtension = L".024";
}

uint32_t CTag024::RawTimeAt(size_t offset) const { return GetFieldAtOffset(offset, layout::event024::kTime); }

void CTag024::SetRawTimeAt(size_t offset, uint32_t raw) {
    SetFieldAtOffset(offset, layout::event024::kTime, raw & 0xFFFF);
}

// ---------------------------------------------------------------------------
// Scale entries

CTag055::CTag055(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    SetHeaderField(hdr::kRecordLength, layout::scale::kRecordSize);
    m_szDefaultExtension = L".055";
}

uint32_t CTag055::GetValue4() const { return GetField(layout::scale::kValue4); }
uint32_t CTag055::GetValue8() const { return GetField(layout::scale::kValue8); }
uint32_t CTag055::GetValue12() const { return GetField(layout::scale::kValue12); }
uint16_t CTag055::GetValue16() const { return static_cast<uint16_t>(GetField(layout::scale::kValue16)); }
uint16_t CTag055::GetValue18() const { return static_cast<uint16_t>(GetField(layout::scale::kValue18)); }
uint16_t CTag055::GetValue20() const { return static_cast<uint16_t>(GetField(layout::scale::kValue20)); }

// ---------------------------------------------------------------------------
// Hot bearing detector readings

CTag018::CTag018(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    SetHeaderField(hdr::kRecordLength, layout::detector::kRecordSize);
    m_szDefaultExtension = L".018";
}

namespace dt = layout::detector;
uint16_t CTag018::GetRecordNumber() const { return static_cast<uint16_t>(GetField(dt::kNumber)); }
uint32_t CTag018::GetMsSincePrevious() const { return GetField(dt::kMsSincePrevious); }
char CTag018::GetSide1Code() const { return static_cast<char>(GetField(dt::kSide1Code)); }
uint16_t CTag018::GetSide1Value() const { return static_cast<uint16_t>(GetField(dt::kSide1Value)); }
char CTag018::GetSide2Code() const { return static_cast<char>(GetField(dt::kSide2Code)); }
uint16_t CTag018::GetSide2Value() const { return static_cast<uint16_t>(GetField(dt::kSide2Value)); }
uint8_t CTag018::GetFirstSpeed() const { return static_cast<uint8_t>(GetHeaderField(dt::kFirstSpeed)); }
uint8_t CTag018::GetLastSpeed() const { return static_cast<uint8_t>(GetHeaderField(dt::kLastSpeed)); }
