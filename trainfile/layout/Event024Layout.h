// Event file (.024): 14-byte entries led by a 16-bit raw timestamp; bytes 8
// to 13 are reserved.
#pragma once

#include "FieldLayout.h"

namespace layout::event024 {

constexpr uint16_t kTypeGroup = 2;
constexpr uint16_t kTypeSubcode = 4;
constexpr size_t kRecordSize = 14;

constexpr Field kTime{0, 2, "raw timestamp (16 bits)"};
constexpr size_t kReservedBegin = 8;
constexpr size_t kReservedEnd = 14;
constexpr Field kRecordFields[] = {kTime};
constexpr ByteRange kReservedRecord[] = {{kReservedBegin, kReservedEnd}};

}  // namespace layout::event024
