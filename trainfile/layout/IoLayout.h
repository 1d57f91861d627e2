// IO event file (.007): raw input changes of the wayside recorder, among
// them wheel detectors A (WDA) and B (WDB).
#pragma once

#include "FieldLayout.h"

namespace layout::io {

constexpr uint16_t kTypeGroup = 7;
constexpr uint16_t kTypeSubcode = 0;
constexpr size_t kRecordSize = 8;

// Header fields beyond the common header.
constexpr Field kAbSpacing{34, 2, "AB spacing (tenths of an inch)"};
constexpr Field kInversion{38, 1, "direction inversion"};
constexpr Field kCarry39{39, 1, "value for axle header 44"};
constexpr Field kCarry40{40, 2, "value for axle header 42"};
constexpr Field kPreprocessed{42, 1, "pre-processed flag"};
constexpr Field kRecorderVersion{43, 1, "recorder version"};
constexpr Field kHeaderFields[] = {kAbSpacing, kInversion, kCarry39, kCarry40, kPreprocessed, kRecorderVersion};
// Reserved header bytes: byte 50 and bytes 55 to 59.
constexpr ByteRange kReservedHeader[] = {{50, 51}, {55, 60}};

// Record fields.
constexpr Field kTime{0, 4, "raw timestamp"};
constexpr Field kInputs{4, 2, "input word"};
constexpr Field kFlags{6, 2, "record flags"};
constexpr Field kRecordFields[] = {kTime, kInputs, kFlags};

constexpr uint16_t kDefaultMaskA = 0x0200;  // WDA
constexpr uint16_t kDefaultMaskB = 0x0100;  // WDB
constexpr uint16_t kDetectorEventFlag = 0x0100;

}  // namespace layout::io
