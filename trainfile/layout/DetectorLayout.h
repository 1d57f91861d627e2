// Hot bearing detector file (.018): one 16-byte record per axle the detector
// saw, with the time since the previous record and the two sides' readings.
#pragma once

#include "FieldLayout.h"

namespace layout::detector {

constexpr uint16_t kTypeGroup = 1;
constexpr uint16_t kTypeSubcode = 8;
constexpr size_t kRecordSize = 16;

// Header fields beyond the common header.
constexpr Field kFirstSpeed{35, 1, "train speed at the first record, whole mph"};
constexpr Field kLastSpeed{36, 1, "train speed at the last record, whole mph"};
constexpr Field kCarried39{39, 1, "carried into the correlator header"};
constexpr Field kHeaderFields[] = {kFirstSpeed, kLastSpeed, kCarried39};

// Record fields.
constexpr Field kRecordNumber{0, 2, "record number, from 1"};
constexpr Field kUnused2{2, 2, "bytes 2-3"};
constexpr Field kMsSincePrevious{4, 4, "ms since the previous record"};
constexpr Field kSide1Code{8, 1, "side 1 (left) code"};
constexpr Field kSide1Value{9, 2, "side 1 value"};
constexpr Field kUnused11{11, 1, "byte 11"};
constexpr Field kSide2Code{12, 1, "side 2 (right) code"};
constexpr Field kSide2Value{13, 2, "side 2 value"};
constexpr Field kUnused15{15, 1, "byte 15"};
constexpr Field kRecordFields[] = {kRecordNumber, kUnused2,   kMsSincePrevious, kSide1Code, kSide1Value,
                                   kUnused11,     kSide2Code, kSide2Value,      kUnused15};

// Side codes that are alarms.
constexpr const char kAlarmCodes[] = "ACD";

}  // namespace layout::detector
