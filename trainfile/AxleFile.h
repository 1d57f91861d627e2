// CAxleFile: axle event (.010) and axle movement (.011) files.
#pragma once

#include "AxleLayout.h"
#include "Speed.h"
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
    // The same distance as the division gives it, before it is rounded to
    // a float, for callers that keep the quotient as it is.
    double DistanceFeetUnrounded(int a, int b);
    int Reverse();
};

// Axle record logic that the current library's axle event class shares. Both
// classes pass themselves, so each reads and writes through its own
// bounds-checked record accessors (GetFieldAt, SetFieldAt, Swap, Seek).

// Time per foot over records first..last (valid indexes, first <= last)
// from their average speed.
template <class Axles>
unsigned AxleMsPerFoot(const Axles& axles, int first, int last) {
    namespace ax = layout::axle;
    uint32_t sum = 0;
    for (int i = first; i <= last; ++i) {
        const int eighths = SpeedEighths(axles.GetFieldAt(i, ax::kSpeedWhole), axles.GetFieldAt(i, ax::kSpeedEighths));
        sum += static_cast<uint32_t>(eighths);
    }
    return MsPerFootAtAverage(sum, static_cast<uint32_t>(last - first + 1));
}

// Turns the first n records end for end: their order, their times mirrored
// between the first and the last time, axle numbers from 0, and each gap
// marker moved to the record after it so that it stays with its gap. The
// cursor returns to its index; 0 when n is 0.
template <class Axles>
int ReverseAxleRecords(Axles& axles, int n) {
    namespace ax = layout::axle;
    const int saved = axles.GetIndex();
    if (n <= 0) return 0;
    const uint32_t first = axles.GetFieldAt(0, ax::kTime);
    for (int i = 0; i < n / 2; ++i) axles.Swap(i, n - 1 - i);
    const uint32_t last = axles.GetFieldAt(0, ax::kTime);
    uint32_t prevMarker = 0;
    for (int i = 0; i < n; ++i) {
        axles.SetFieldAt(i, ax::kTime, first + last - axles.GetFieldAt(i, ax::kTime));
        axles.SetFieldAt(i, ax::kAxleNumber, static_cast<uint32_t>(i));
        const uint32_t flags = axles.GetFieldAt(i, ax::kSpeedEighths);
        axles.SetFieldAt(i, ax::kSpeedEighths, (flags & ~uint32_t{ax::kGapMarker}) | prevMarker);
        prevMarker = flags & ax::kGapMarker;
    }
    return axles.Seek(saved);
}
