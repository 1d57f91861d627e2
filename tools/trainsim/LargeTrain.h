// Generator of large trains for benchmarks and load tests: two locomotives
// and as many 4-axle railcars of varied lengths as fit a given number of IO
// event records (up to the 65,535 records a 16-bit count allows). The train
// changes speed between 10 and 45 mph and now and then stops, backs two
// axles out over the detectors and pulls forward again.
#pragma once

#include "TrainDescription.h"

#include <cstdint>

namespace trainsim {

constexpr unsigned kMaxFileRecords = 65535;

// A description whose .007 holds at most ioRecords records, and within a few
// records of that many (LargeTrainIoRecords of its axles and stops).
// ioRecords is taken between 200 and 65535.
TrainDescription LargeTrain(unsigned ioRecords, uint64_t seed);

// Stops with a back-out that LargeTrain puts in a train of that many
// records: one per 4000.
constexpr unsigned LargeTrainStops(unsigned ioRecords) { return ioRecords / 4000; }

// The IO event records such a train makes: four per axle (leading detector,
// both, trailing detector, none), sixteen per stop (two axles back out and
// return) and the two of the track circuit.
constexpr unsigned LargeTrainIoRecords(unsigned axles, unsigned stops) { return 4 * axles + 16 * stops + 2; }

}  // namespace trainsim
