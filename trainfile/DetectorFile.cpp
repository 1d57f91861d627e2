#include "DetectorFile.h"

#include <algorithm>

namespace dt = layout::detector;

int HbdDistanceFeet(uint32_t ms, float mph) {
    const double feet = ms * 0.001 * mph * 5280 * 0.00027777778 + 0.5;
    return static_cast<int>(TruncToInt64(feet));
}

double HbdMsForDistance(int feet, float mph) {
    const float perHour = mph * 5280;
    return feet / (perHour * 0.00027777778) * 1000;
}

bool IsHbdAlarm(uint8_t code) {
    return std::find(std::begin(dt::kAlarmCodes), std::end(dt::kAlarmCodes), static_cast<char>(code)) !=
           std::end(dt::kAlarmCodes);
}

CDetectorFile::CDetectorFile() {
    SetHeaderField(layout::header::kRecordLength, dt::kRecordSize);
}

int CDetectorFile::Load(const char* name) { return LoadWithExtension(name, ".018"); }

uint16_t CDetectorFile::GetRecordNumber() const { return static_cast<uint16_t>(GetField(dt::kNumber)); }
void CDetectorFile::SetRecordNumber(uint16_t n) { SetField(dt::kNumber, n); }
uint32_t CDetectorFile::GetMsSincePrevious() const { return GetField(dt::kMsSincePrevious); }
void CDetectorFile::SetMsSincePrevious(uint32_t ms) { SetField(dt::kMsSincePrevious, ms); }
uint8_t CDetectorFile::GetSide1Code() const { return static_cast<uint8_t>(GetField(dt::kSide1Code)); }
uint16_t CDetectorFile::GetSide1Value() const { return static_cast<uint16_t>(GetField(dt::kSide1Value)); }
uint8_t CDetectorFile::GetSide2Code() const { return static_cast<uint8_t>(GetField(dt::kSide2Code)); }
uint16_t CDetectorFile::GetSide2Value() const { return static_cast<uint16_t>(GetField(dt::kSide2Value)); }

uint8_t CDetectorFile::GetFirstSpeed() const { return static_cast<uint8_t>(GetHeaderField(dt::kFirstSpeed)); }
uint8_t CDetectorFile::GetLastSpeed() const { return static_cast<uint8_t>(GetHeaderField(dt::kLastSpeed)); }
uint8_t CDetectorFile::GetByte39() const { return static_cast<uint8_t>(GetHeaderField(dt::kCarry39)); }

uint32_t CDetectorFile::GetDetectorTime(int i) const { return GetFieldAt(i, dt::kMsSincePrevious); }

float CDetectorFile::GetInterpolatedSpeed(int i) const {
    const int count = GetCount();
    const float first = GetFirstSpeed();
    if (count <= 0) return first;
    const int rise = (i + 1) * (int(GetLastSpeed()) - int(GetFirstSpeed()));
    return first + static_cast<float>(rise) / static_cast<float>(count);
}

int CDetectorFile::GetDetectorDistance(int i) const {
    return HbdDistanceFeet(GetDetectorTime(i), GetInterpolatedSpeed(i));
}

void CDetectorFile::Renumber() {
    const int n = GetCount();
    for (int i = 0; i < n; ++i) SetFieldAt(i, dt::kNumber, static_cast<uint32_t>(i + 1));
}
