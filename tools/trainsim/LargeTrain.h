// Generator of large trains for benchmarks and load tests: two locomotives
// and as many 4-axle railcars of varied lengths as fit a given number of IO
// event records (up to the 65,535 records a 16-bit count allows), running
// through the site at a steady speed.
#pragma once

#include "TrainDescription.h"

#include <cstdint>

namespace trainsim {

constexpr unsigned kMaxFileRecords = 65535;

// A description whose .007 holds at most ioRecords records (and as many as
// the vehicles allow, within a few). ioRecords is limited to 65535; trains
// need at least 54 records (two locomotives and one car).
TrainDescription LargeTrain(unsigned ioRecords, uint64_t seed);

// The IO event records a train of this many axles makes at a steady speed:
// four per axle (leading detector, both, trailing detector, none) and the
// two of the track circuit.
constexpr unsigned SteadyIoRecords(unsigned axles) { return 4 * axles + 2; }

}  // namespace trainsim
