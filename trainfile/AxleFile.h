// CAxleFile: axle event (.010) and axle movement (.011) files.
#pragma once

#include "AxleLayout.h"
#include "TrainFile.h"

class CAxleFile : public CTrainFile {
public:
    int Load(const char* name) override;  // adds ".010"
    int LoadMovement(const char* name);   // adds ".011"

    int GetTime() const;                  // ms, truncated
    int GetTimeAt(int i);                 // ms of record i; cursor restored
    uint32_t GetRawTime() const;
    void SetRawTime(uint32_t raw);
    int GetDirection() const;             // bit 0 of byte 0
    int GetSpeedWhole() const;            // whole mph
    int GetSpeedEighths() const;          // speed in eighths of a mph
    float GetSpeed() const;               // mph
    void SetSpeed(float mph);
    float GetSpeedFeetPerSecond() const;
    uint8_t GetFlags() const;             // byte 1 (eighths, marker, movement)
    uint16_t GetAxleNumber() const;
    void SetAxleNumber(uint16_t n);

    int GapToPrev();
    int GapToNext();
    // Average time per foot over records first..last; -1 for a bad index.
    unsigned MsPerFoot(int first, int last);
    float DistanceFeet(int a, int b);
    int Reverse();
};
