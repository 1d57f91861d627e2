// Scale file (.055): one 24-byte entry per weighed car, in the order the
// scale produced them; the scale assignment copies each entry whole into a
// consist sub-record.
#pragma once

#include "FieldLayout.h"

namespace layout::scale {

constexpr uint16_t kFormat = 0x0501;
constexpr uint16_t kTypeGroup = 5;
constexpr uint16_t kTypeSubcode = 5;
constexpr size_t kRecordSize = 24;

constexpr Field kTime{0, 4, "raw timestamp"};
constexpr Field kValue4{4, 4, "scale value at 4"};
constexpr Field kValue8{8, 4, "scale value at 8"};
constexpr Field kValue12{12, 4, "scale value at 12"};
constexpr Field kValue16{16, 2, "scale value at 16"};
constexpr Field kValue18{18, 2, "scale value at 18"};
constexpr Field kValue20{20, 2, "scale value at 20"};
constexpr Field kUnused22{22, 2, "bytes 22-23"};
constexpr Field kRecordFields[] = {kTime, kValue4, kValue8, kValue12, kValue16, kValue18, kValue20, kUnused22};

// The consist sub-record that carries one scale entry.
constexpr uint16_t kSubRecordType = 0x0055;
constexpr size_t kSubRecordSize = 4 + kRecordSize;  // sub-record header and the entry

}  // namespace layout::scale
