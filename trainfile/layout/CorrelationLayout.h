// HBD correlation file (.071): the common header, then one variable-length
// record per car: a 10-byte car header (length, car number, alarm count,
// first alarmed axle, reported side and code) followed by one 10-byte entry
// per axle with that axle's hot-bearing reading.
#pragma once

#include "FieldLayout.h"
#include "HeaderLayout.h"

namespace layout::correlation {

constexpr uint16_t kFormat = header::kDefaultFormat;
constexpr uint16_t kFileType = 0x0071;  // written as the type subcode (offset 20)
constexpr size_t kCarHeaderSize = 10;
constexpr size_t kAxleEntrySize = 10;

// Header fields beyond the common header.
constexpr Field kCarriedByte{34, 1, "detector header byte 39, carried over"};
constexpr Field kHeaderFields[] = {kCarriedByte};
// Reserved header bytes: 35 to 59.
constexpr ByteRange kReservedHeader[] = {{35, header::kTypeAreaEnd}};

// Car header fields (offsets from the record start).
constexpr Field kRecordLength{0, 2, "record length: 10 + 10 x axles"};
constexpr Field kCarNumber{2, 2, "car number (vehicle number + 1)"};
constexpr Field kAlarmCount{4, 2, "alarmed sides in the car"};
constexpr Field kFirstAlarmAxle{6, 2, "axle of the first alarm (0: none)"};
constexpr Field kAlarmSide{8, 1, "side of the reported alarm ('L', 'R', ' ')"};
constexpr Field kAlarmCode{9, 1, "reported alarm code ('A', 'C', 'D', 'N')"};
constexpr Field kCarFields[] = {kRecordLength, kCarNumber, kAlarmCount, kFirstAlarmAxle, kAlarmSide, kAlarmCode};

// Axle entry fields (offsets from the entry start).
constexpr Field kSide1Code{0, 1, "side 1 code"};
constexpr Field kSide2Code{1, 1, "side 2 code"};
constexpr Field kSide1Value{2, 2, "side 1 value"};
constexpr Field kSide2Value{4, 2, "side 2 value"};
constexpr Field kMsSincePrevious{6, 4, "ms since the previous detector record"};
constexpr Field kAxleFields[] = {kSide1Code, kSide2Code, kSide1Value, kSide2Value, kMsSincePrevious};

constexpr char kNoAlarmCode = 'N';
constexpr char kNoAlarmSide = ' ';
constexpr char kLeftSide = 'L';
constexpr char kRightSide = 'R';

}  // namespace layout::correlation
