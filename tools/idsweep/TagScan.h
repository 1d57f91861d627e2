// Checking a consist entry's railcar tag reads against the vehicle. A
// railcar tag whose value field holds 7 carries a 13-bit length and a
// 10-bit axle count; the tag read's axle-count exception ('A') and length
// exception ('L') flags are set or cleared from the comparison with the
// vehicle's axle count and length.
#pragma once

#include "TagDecode.h"

#include <cstdint>
#include <optional>
#include <span>

namespace idsweep {

// The extended data of 20 tag characters, or nothing when the tag is not a
// railcar tag (equipment group 19) with value field 7.
std::optional<ExtendedRailcarData> ReadExtendedRailcarData(std::span<const uint8_t> text20);

// Whether a tag's length is close enough to the vehicle's: a difference of
// at most one fifth of the tag's length (integer division).
bool LengthMatches(uint32_t tagLength, int32_t vehicleLength);

// Tag exception flags of tag read k (0 or 1) of the consist entry after the
// check: 'A' set when the axle counts differ, cleared when they agree; 'L'
// likewise for the lengths. Nothing for a tag read the entry does not hold
// whole, or one that carries no extended data.
std::optional<uint16_t> CheckedTagFlags(std::span<const uint8_t> entry, int k);

// Applies the check to tag read k of the entry in place; 1 when a flag
// changed, else 0.
int CheckTagRead(std::span<uint8_t> entry, int k);

}  // namespace idsweep
