// Hot-bearing detector file (.018): the common header, then one 16-byte
// record per axle the hot-bearing detector saw, with the two sides' codes
// and readings.
#pragma once

#include "FieldLayout.h"
#include "HeaderLayout.h"

namespace layout::detector {

constexpr uint16_t kFormat = 0x0000;  // the format word detector files carry
constexpr uint16_t kTypeGroup = 1;
constexpr uint16_t kTypeSubcode = 8;
constexpr size_t kRecordSize = 16;

// Header fields beyond the common header.
constexpr Field kFirstSpeed{35, 1, "train speed at the first record, whole mph"};
constexpr Field kLastSpeed{36, 1, "train speed at the last record, whole mph"};
constexpr Field kCarry39{39, 1, "value carried into the correlation header"};
constexpr Field kHeaderFields[] = {kFirstSpeed, kLastSpeed, kCarry39};
// Reserved header bytes: 50 to 59.
constexpr ByteRange kReservedHeader[] = {{50, header::kTypeAreaEnd}};

// Record fields.
constexpr Field kNumber{0, 2, "record number (from 1)"};
constexpr Field kUnused2{2, 2, "bytes 2-3"};
constexpr Field kMsSincePrevious{4, 4, "ms since the previous record"};
constexpr Field kSide1Code{8, 1, "side 1 (left) code"};
constexpr Field kSide1Value{9, 2, "side 1 value"};
constexpr Field kUnused11{11, 1, "byte 11"};
constexpr Field kSide2Code{12, 1, "side 2 (right) code"};
constexpr Field kSide2Value{13, 2, "side 2 value"};
constexpr Field kUnused15{15, 1, "byte 15"};
constexpr Field kRecordFields[] = {kNumber,    kUnused2,   kMsSincePrevious, kSide1Code, kSide1Value,
                                   kUnused11,  kSide2Code, kSide2Value,      kUnused15};
// Reserved record bytes: the unused word at offset 2.
constexpr ByteRange kReservedRecord[] = {{kUnused2.offset, uint16_t(kUnused2.End())}};

// Side codes that report an alarm.
constexpr char kAlarmCodes[] = {'A', 'C', 'D'};

}  // namespace layout::detector
