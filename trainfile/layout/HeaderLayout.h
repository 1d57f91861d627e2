// The 64-byte header every train data file begins with.
#pragma once

#include "FieldLayout.h"

namespace layout::header {

constexpr size_t kSize = 64;

constexpr Field kFormat{0, 2, "format"};
constexpr Field kTypeGroup{2, 2, "type group"};
constexpr Field kFileLength{4, 4, "file length"};
constexpr Field kDay{8, 1, "day (BCD)"};
constexpr Field kMonth{9, 1, "month (BCD)"};
constexpr Field kYear{10, 2, "year (BCD)"};
constexpr Field kDateZero{12, 1, "zero"};
constexpr Field kSeconds{13, 1, "seconds (BCD)"};
constexpr Field kMinutes{14, 1, "minutes (BCD)"};
constexpr Field kHours{15, 1, "hours (BCD)"};
constexpr Field kReserved16{16, 4, "reserved"};
constexpr Field kTypeSubcode{20, 2, "type subcode"};
constexpr Field kRecordCount{22, 2, "record count"};
constexpr Field kRecordLength{24, 2, "record length"};
constexpr Field kScaleNumerator{26, 4, "time-scale numerator"};
constexpr Field kScaleExponent{30, 2, "time-scale exponent"};
constexpr Field kWord32{32, 2, "word 32"};
// Bytes 34..59 are the type-specific area; see the per-type layouts.
constexpr size_t kTypeAreaBegin = 34;
constexpr size_t kTypeAreaEnd = 60;
constexpr Field kWord60{60, 2, "word 60"};
constexpr Field kWord62{62, 2, "word 62"};

constexpr Field kFields[] = {kFormat,      kTypeGroup,      kFileLength,     kDay,        kMonth,
                             kYear,        kDateZero,       kSeconds,        kMinutes,    kHours,
                             kReserved16,  kTypeSubcode,    kRecordCount,    kRecordLength,
                             kScaleNumerator, kScaleExponent, kWord32,        kWord60,     kWord62};

constexpr uint16_t kDefaultFormat = 0x0501;

}  // namespace layout::header
