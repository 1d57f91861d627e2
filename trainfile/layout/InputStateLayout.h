// Input state file (.01A): 26-byte entries with a time and the word of input
// states at that time; bytes 23 to 25 are reserved.
#pragma once

#include "FieldLayout.h"

namespace layout::inputstate {

constexpr uint16_t kTypeGroup = 1;
constexpr uint16_t kTypeSubcode = 10;
constexpr size_t kRecordSize = 26;

constexpr Field kTime{0, 4, "raw timestamp"};
constexpr Field kStates{4, 2, "input states"};
constexpr size_t kReservedBegin = 23;
constexpr size_t kReservedEnd = 26;
constexpr Field kRecordFields[] = {kTime, kStates};
constexpr ByteRange kReservedRecord[] = {{kReservedBegin, kReservedEnd}};

// Idle pattern of the input states, and the bits compared with it, in the
// order a state listing prints them.
constexpr uint16_t kDefaultIdle = 0x0300;
constexpr unsigned kListedBits[] = {9, 8, 15, 0, 1};

}  // namespace layout::inputstate
