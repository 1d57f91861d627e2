#include "RecordClasses.h"

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

int CTag010::GetSpeedEighths() const {
    return GetSpeedWhole() * 8 + static_cast<int>(GetField(ax::kSpeedEighths) & ax::kEighthsMask);
}

float CTag010::GetSpeed() const { return static_cast<float>(GetSpeedEighths()) * 0.125f; }

void CTag010::SetSpeed(float mph) {
    // Whole part and eighths are formed in single precision and truncated.
    const auto whole = static_cast<uint32_t>(TruncToInt64(mph));
    const auto eighths = static_cast<uint32_t>(TruncToInt64(mph * 8.0f));
    const uint32_t dir = GetField(ax::kSpeedWhole) & ax::kDirectionBit;
    SetField(ax::kSpeedWhole, ((whole << 1) | dir) & 0xFF);
    SetField(ax::kSpeedEighths, eighths & ax::kEighthsMask);
}

uint8_t CTag010::GetFlags() const { return static_cast<uint8_t>(GetField(ax::kSpeedEighths)); }
uint16_t CTag010::GetAxleNumber() const { return static_cast<uint16_t>(GetField(ax::kAxleNumber)); }
void CTag010::SetAxleNumber(uint16_t number) { SetField(ax::kAxleNumber, number); }

unsigned CTag010::MsPerFoot(int first, int last) const {
    if (first < 0 || first > last || last >= EntriesPresent()) return static_cast<unsigned>(-1);
    uint32_t sum = 0;
    for (int i = first; i <= last; ++i)
        sum += (GetFieldAt(i, ax::kSpeedWhole) >> 1) * 8 + (GetFieldAt(i, ax::kSpeedEighths) & ax::kEighthsMask);
    uint32_t avg = sum / static_cast<uint32_t>(last - first + 1);
    if (avg == 0) avg = 1;
    const uint32_t q = 5455u / avg;  // ms per foot at 1/8 mph, over the average
    return (q >> 8) < (avg >> 1) ? q + 1 : q;
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

int CTag010::Reverse() {
    const int saved = GetIndex();
    const int n = EntriesPresent();
    if (n <= 0) return 0;
    const uint32_t first = GetFieldAt(0, ax::kTime);
    for (int i = 0; i < n / 2; ++i) Swap(i, n - 1 - i);
    const uint32_t last = GetFieldAt(0, ax::kTime);
    // Each gap marker stays with its gap: it moves to the record after it.
    uint32_t prevMarker = 0;
    for (int i = 0; i < n; ++i) {
        SetFieldAt(i, ax::kTime, first + last - GetFieldAt(i, ax::kTime));
        SetFieldAt(i, ax::kAxleNumber, static_cast<uint32_t>(i));
        const uint32_t flags = GetFieldAt(i, ax::kSpeedEighths);
        SetFieldAt(i, ax::kSpeedEighths, (flags & ~uint32_t{ax::kGapMarker}) | prevMarker);
        prevMarker = flags & ax::kGapMarker;
    }
    return Seek(saved);
}

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
