// Speeds as the train files store them: the direction bit and the whole mph
// (bits 1-7) in one byte, the eighths of a mph (bits 0-2) in the next; and
// the time a train at such a speed takes for one foot (5455 ms at 1/8 mph).
#pragma once

#include <cstdint>

// Speed in eighths of a mph from the whole-mph byte and the eighths byte.
inline int SpeedEighths(uint32_t wholeByte, uint32_t eighthsByte) {
    return static_cast<int>(wholeByte >> 1) * 8 + static_cast<int>(eighthsByte & 0x07);
}

// The two bytes for a speed in mph: the whole part and the eighths are
// formed in single precision and truncated, and only their low bits fit the
// bytes. directionBit (0 or 1) goes into bit 0 of the first byte; the second
// byte holds the eighths alone.
struct SpeedBytes {
    uint32_t whole;
    uint32_t eighths;
};
SpeedBytes EncodeSpeed(float mph, uint32_t directionBit);

// Milliseconds per foot at the average of speedSum (eighths of a mph) over
// count records; an average of 0 (or no record) counts as 1/8 mph. The
// quotient is rounded up when its high part stays below half the average.
unsigned MsPerFootAtAverage(uint32_t speedSum, uint32_t count);
