// Wheel digitizer file (.01D): a sequence of sample blocks, each a 16-byte
// block header followed by sample pairs (channel 0, channel 1).
#pragma once

#include "FieldLayout.h"

namespace layout::digitizer {

constexpr uint16_t kTypeGroup = 1;
constexpr uint16_t kTypeSubcode = 13;

// Header fields beyond the common header.
constexpr Field kOverflows{44, 2, "overflow count"};
constexpr Field kHeaderFields[] = {kOverflows};

// Block header (offsets from the block start).
constexpr Field kBlockLength{0, 2, "block length"};
constexpr Field kUnused2{2, 2, "bytes 2-3"};
constexpr Field kStartTime{4, 4, "time of the first sample (ms)"};
constexpr Field kEndTime{8, 4, "time after the last sample (ms)"};
constexpr Field kConversion{12, 1, "conversion value (2 us units)"};
constexpr Field kByte13{13, 1, "byte 13"};
constexpr Field kUnused14{14, 2, "bytes 14-15"};
constexpr Field kBlockFields[] = {kBlockLength, kUnused2, kStartTime, kEndTime, kConversion, kByte13, kUnused14};

constexpr size_t kBlockHeaderSize = 16;
constexpr size_t kSampleSize = 2;  // byte 0 channel 0, byte 1 channel 1
constexpr unsigned kChannels = 2;
constexpr double kConversionUnitSeconds = 2e-6;
constexpr uint8_t kDefaultThreshold = 20;
// Idle level search: the walk ends where a count falls this far below the
// running maximum, or at this value.
constexpr uint32_t kIdleDropLimit = 50;
constexpr unsigned kIdleLastValue = 254;

}  // namespace layout::digitizer
