// Pieces of the tag read fix-ups that the tests and benchmarks reach
// directly: which axle each tag read takes its speed and direction from, and
// how a tag read's hexadecimal read count is taken.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// For each tag read time (ms), the index of the axle whose speed and
// direction the read takes: the axle before the first one that passed later
// than the read, walking from the front of the train. -1 when even the
// first axle passed later, so the read keeps the values the previous read
// took. Binary search over the running maximum of the axle times: the first
// axle later than the read is the first whose running maximum is later.
std::vector<int> AxleForEachRead(std::span<const int64_t> axleMs, std::span<const int64_t> readMs);

// The same by walking the axles from the front for every read; quadratic,
// kept to check the fast form against.
std::vector<int> AxleForEachReadByWalk(std::span<const int64_t> axleMs, std::span<const int64_t> readMs);

// The read count of a tag read: its two characters read as hexadecimal up to
// the first one that is no hexadecimal digit (0 when the first is none).
unsigned ReadCountOf(uint8_t high, uint8_t low);
