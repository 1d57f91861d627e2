// Trains for the hot-bearing tools' tests: an axle file and a detector file
// built from the gaps between axles, as each file sees them.
#pragma once

#include "Records.h"
#include "TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace heattest {

// 40 mph: a gap of 100 ms is 6 ft, 700 ms is 41 ft.
constexpr unsigned kEighths40 = 320;

// An axle file whose axles follow one another by the gaps given (the first
// gap is the first axle's time), all at one speed and direction.
inline fixture::TrainFileBuilder Axles(const std::vector<uint32_t>& gaps, unsigned eighths = kEighths40,
                                       unsigned dir = 1, uint32_t start = 1000) {
    fixture::TrainFileBuilder b = fixture::AxleFileBuilder();
    uint32_t t = start;
    for (size_t i = 0; i < gaps.size(); ++i) {
        t += i ? gaps[i] : 0;
        b.Add(fixture::AxleRecord(eighths, dir, t, uint16_t(i + 1)));
    }
    return b;
}

// A detector file of readings with those times since the previous one.
inline fixture::TrainFileBuilder Readings(const std::vector<uint32_t>& gaps, uint8_t firstMph = 40,
                                          uint8_t lastMph = 40) {
    fixture::TrainFileBuilder b = fixture::DetectorFileBuilder(firstMph, lastMph);
    for (size_t i = 0; i < gaps.size(); ++i) {
        fixture::DetectorReading r;
        r.ms = gaps[i];
        r.value1 = uint16_t(10 + i);
        r.value2 = uint16_t(20 + i);
        b.Add(fixture::DetectorRecord(uint16_t(i + 1), r));
    }
    return b;
}

// The records of a detector file image, by field.
struct ReadingView {
    unsigned number;
    uint32_t ms;
    unsigned code1, code2, value1, value2;
};
std::vector<ReadingView> ReadingViews(const std::vector<uint8_t>& file);

// The car headers of a correlation file image, walked by their lengths.
struct CarView {
    unsigned length, number, alarms, firstAlarm;
    char side, code;
};
std::vector<CarView> CarViews(const std::vector<uint8_t>& file);

}  // namespace heattest
