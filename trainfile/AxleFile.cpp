#include "AxleFile.h"

namespace ax = layout::axle;

int CAxleFile::Load(const char* name) { return LoadWithExtension(name, ".010"); }

int CAxleFile::LoadMovement(const char* name) { return LoadWithExtension(name, ".011"); }

uint32_t CAxleFile::GetRawTime() const { return GetField(ax::kTime); }

int CAxleFile::GetTime() const { return RawToMs(GetRawTime()); }

int CAxleFile::GetTimeAt(int i) {
    int saved = GetIndex();
    if (!Seek(i)) return 0;
    int t = GetTime();
    Seek(saved);
    return t;
}

void CAxleFile::SetRawTime(uint32_t raw) { SetField(ax::kTime, raw); }

int CAxleFile::GetDirection() const { return GetField(ax::kSpeedWhole) & ax::kDirectionBit; }

int CAxleFile::GetSpeedWhole() const { return static_cast<int>(GetField(ax::kSpeedWhole) >> 1); }

int CAxleFile::GetSpeedEighths() const { return SpeedEighths(GetField(ax::kSpeedWhole), GetField(ax::kSpeedEighths)); }

float CAxleFile::GetSpeed() const { return static_cast<float>(GetSpeedEighths()) * 0.125f; }

void CAxleFile::SetSpeed(float mph) {
    const SpeedBytes bytes = EncodeSpeed(mph, GetField(ax::kSpeedWhole) & ax::kDirectionBit);
    SetField(ax::kSpeedWhole, bytes.whole);
    SetField(ax::kSpeedEighths, bytes.eighths);
}

float CAxleFile::GetSpeedFeetPerSecond() const {
    return static_cast<float>(static_cast<double>(GetSpeed()) * 5280 * 0.00027777778);
}

uint8_t CAxleFile::GetFlags() const { return static_cast<uint8_t>(GetField(ax::kSpeedEighths)); }

uint16_t CAxleFile::GetAxleNumber() const { return static_cast<uint16_t>(GetField(ax::kAxleNumber)); }

void CAxleFile::SetAxleNumber(uint16_t n) { SetField(ax::kAxleNumber, n); }

int CAxleFile::GapToPrev() {
    int i = GetIndex();
    if (i <= 0 || !IsValid(i)) return 0;
    return MsDifference(RawToMs(GetFieldAt(i, ax::kTime)), RawToMs(GetFieldAt(i - 1, ax::kTime)));
}

int CAxleFile::GapToNext() {
    // At the last record the step forward fails, so this yields the gap
    // from the previous record and leaves the cursor there.
    Next();
    int t = GetTime();
    Prev();
    return MsDifference(t, GetTime());
}

unsigned CAxleFile::MsPerFoot(int first, int last) {
    if (!IsValid(first) || !IsValid(last)) return static_cast<unsigned>(-1);
    if (first > last) return static_cast<unsigned>(-1);
    return AxleMsPerFoot(*this, first, last);
}

float CAxleFile::DistanceFeet(int a, int b) { return static_cast<float>(DistanceFeetUnrounded(a, b)); }

double CAxleFile::DistanceFeetUnrounded(int a, int b) {
    const int saved = GetIndex();
    int lo = a < b ? a : b;
    int hi = a < b ? b : a;
    if (lo == hi) return 0.0;
    if (!Seek(lo)) return 0.0;
    const uint32_t tLo = static_cast<uint32_t>(GetTime());
    if (!Seek(hi)) return 0.0;
    const uint32_t tHi = static_cast<uint32_t>(GetTime());
    const unsigned m = MsPerFoot(lo, hi);
    if (m == 0) return 0.0;
    Seek(saved);
    return static_cast<double>(tHi - tLo) / static_cast<double>(m);
}

int CAxleFile::Reverse() { return ReverseAxleRecords(*this, GetCount()); }
