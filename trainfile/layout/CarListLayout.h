// Car list file (.036): one 48-byte record per vehicle, derived from the
// consist with the tags decoded into owner initials and car number.
#pragma once

#include "FieldLayout.h"

namespace layout::carlist {

constexpr uint16_t kTypeGroup = 3;
constexpr uint16_t kTypeSubcode = 6;
constexpr size_t kRecordSize = 48;

constexpr Field kWord0{0, 4, "consist word 12"};
constexpr Field kVehicleNumber{4, 2, "vehicle number"};
constexpr Field kFirstAxle{6, 2, "first axle index"};
constexpr Field kAxleCount{8, 1, "axle count"};
constexpr Field kEgc{9, 1, "equipment group code"};
constexpr Field kReadStatus{10, 1, "read status"};
constexpr Field kOrientation{11, 1, "orientation flag"};
constexpr size_t kInitialsOffset = 12;  // owner initials, terminated
constexpr size_t kInitialsLength = 5;
constexpr Field kZero17{17, 1, "zero"};
constexpr size_t kCarNumberOffset = 18;  // car number as decimal text, terminated
constexpr size_t kCarNumberLength = 12;
constexpr Field kVehicleLength{30, 2, "vehicle length"};
constexpr Field kByte6{32, 1, "consist byte 6"};
constexpr Field kTagByte44{33, 1, "decoded tag byte 44"};
constexpr Field kStatusLetter{34, 1, "tag status letter"};
constexpr size_t kZeroBegin = 35;
constexpr size_t kZeroEnd = 48;
constexpr Field kRecordFields[] = {kWord0,      kVehicleNumber, kFirstAxle, kAxleCount, kEgc,        kReadStatus,
                                   kOrientation, kZero17,       kVehicleLength, kByte6, kTagByte44, kStatusLetter};
constexpr ByteRange kReservedRecord[] = {{kZeroBegin, kZeroEnd}};

// Flags the status letter reports: L and A.
constexpr uint16_t kReportedFlags = 0x0006;

}  // namespace layout::carlist
