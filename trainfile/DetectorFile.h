// CDetectorFile: hot-bearing detector file (.018), one 16-byte record per
// axle the detector saw: record number, milliseconds since the previous
// reading, and each side's code and value. The header keeps the train speed
// at the first and at the last reading.
#pragma once

#include "DetectorLayout.h"
#include "TrainFile.h"

#include <cstdint>

// Feet covered in ms milliseconds at mph, rounded to whole feet:
// ms x 0.001 x mph x 5280 x 0.00027777778 + 0.5 in double precision,
// truncated. The hot-bearing tools measure both files' gaps this way.
int HbdDistanceFeet(uint32_t ms, float mph);
// Milliseconds a wheel at mph needs for feet:
// feet / (mph x 5280 x 0.00027777778) x 1000, the first product in single
// precision. Only meaningful for a positive speed.
double HbdMsForDistance(int feet, float mph);
// True when a side code reports an alarm ('A', 'C' or 'D').
bool IsHbdAlarm(uint8_t code);

class CDetectorFile : public CTrainFile {
public:
    CDetectorFile();
    int Load(const char* name) override;  // adds ".018"

    // Current record.
    uint16_t GetRecordNumber() const;
    void SetRecordNumber(uint16_t n);
    uint32_t GetMsSincePrevious() const;
    void SetMsSincePrevious(uint32_t ms);
    uint8_t GetSide1Code() const;
    uint16_t GetSide1Value() const;
    uint8_t GetSide2Code() const;
    uint16_t GetSide2Value() const;

    // Header: train speed at the first and last reading (whole mph), and the
    // byte the correlator carries into its own header.
    uint8_t GetFirstSpeed() const;
    uint8_t GetLastSpeed() const;
    uint8_t GetByte39() const;

    // Values at position i (0 when i is no record): the reading's time since
    // the previous one, the train speed interpolated between the header's
    // first and last speed, first + (i + 1) x (last - first) / count, and the
    // distance the two give.
    uint32_t GetDetectorTime(int i) const;
    float GetInterpolatedSpeed(int i) const;
    int GetDetectorDistance(int i) const;

    // Numbers every record by its position, from 1.
    void Renumber();
};
