// Axle allocation file (.041): fixed records that assign ranges of .010
// axles to vehicles. A vehicle is one record (part 255) or several
// consecutive records with the same key and parts 0, 1, 2 ...
#pragma once

#include "FieldLayout.h"

namespace layout::alloc {

constexpr uint16_t kTypeGroup = 4;
constexpr uint16_t kTypeSubcode = 1;
constexpr size_t kRecordSize = 24;
// Older writers use 16-byte records (offsets 0-15 only).
constexpr size_t kShortRecordSize = 16;

constexpr Field kFirstAxle{0, 2, "first axle index"};
constexpr Field kLastAxle{2, 2, "last axle index"};
constexpr Field kStartTime{4, 4, "time of the first axle"};
constexpr Field kEndTime{8, 4, "time of the last axle"};
constexpr Field kEgc{12, 1, "equipment group code"};
constexpr Field kSequence{13, 1, "vehicle sequence number"};
constexpr Field kPart{14, 1, "part number"};
constexpr Field kSpeed{15, 1, "direction bit and whole mph of the last axle"};
constexpr Field kKeyHigh{16, 1, "key high byte"};  // only in 24-byte records
constexpr size_t kZeroBegin = 17;
constexpr size_t kZeroEnd = 24;
constexpr Field kRecordFields[] = {kFirstAxle, kLastAxle, kStartTime, kEndTime, kEgc,
                                   kSequence,  kPart,     kSpeed,     kKeyHigh};
// Reserved bytes of the 24-byte records.
constexpr ByteRange kReservedRecord[] = {{kZeroBegin, kZeroEnd}};

constexpr uint8_t kPartWhole = 255;  // a vehicle written as one record
constexpr uint8_t kDirectionBit = 0x01;
constexpr uint8_t kEgcLocomotive = 5;
constexpr uint8_t kEgcRailcar = 19;

}  // namespace layout::alloc
