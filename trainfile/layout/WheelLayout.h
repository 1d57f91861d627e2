// Wheel transducer event file (.012): one record per activation of wheel
// detector A or B, in time order. The header keeps the AB spacing.
#pragma once

#include "FieldLayout.h"
#include "HeaderLayout.h"

namespace layout::wheel {

constexpr uint16_t kTypeGroup = 1;
constexpr uint16_t kTypeSubcode = 2;
// The fields below lie in the first 8 bytes; the record length itself is
// the one stored in the header.
constexpr size_t kRecordSize = 8;

// Header fields beyond the common header.
constexpr Field kAbSpacing{34, 1, "AB spacing (tenths of an inch)"};
// Bytes 35..42 belong to the recorder; they are carried through unchanged.
constexpr size_t kRecorderAreaBegin = 35;
constexpr size_t kRecorderAreaEnd = 43;
constexpr Field kHeaderFields[] = {kAbSpacing};
// Reserved header bytes: the rest of the type area after the recorder's.
constexpr ByteRange kReservedHeader[] = {{kRecorderAreaEnd, header::kTypeAreaEnd}};

// Record fields.
constexpr Field kDetector{0, 1, "detector (0 = A, 1 = B)"};
constexpr Field kFlags{1, 1, "event flags"};
constexpr Field kRecorder2{2, 2, "bytes 2-3 (recorder)"};
constexpr Field kTime{4, 4, "raw timestamp"};
constexpr Field kRecordFields[] = {kDetector, kFlags, kRecorder2, kTime};

constexpr uint8_t kDetectorA = 0;
constexpr uint8_t kDetectorB = 1;
constexpr uint8_t kEventFlag = 0x01;  // bit 0 of byte 1

// Unit conversions for a speed from the AB spacing: tenths of an inch to
// miles (1 / 633600) and milliseconds to hours (1 / 3600000).
constexpr double kTenthInchToMiles = 1.5782828282828283e-6;
constexpr double kMsToHours = 2.7777777777777776e-7;

}  // namespace layout::wheel
