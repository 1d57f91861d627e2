// Scale file (.055): the common header, then one 24-byte entry per weighed
// car in the order the scale weighed them. Tools that attach the entries to
// the consist copy them whole; the value fields are the scale's own.
#pragma once

#include "FieldLayout.h"

namespace layout::scale {

constexpr uint16_t kFormat = 0x0501;
constexpr uint16_t kTypeGroup = 5;
constexpr uint16_t kTypeSubcode = 5;
constexpr size_t kEntrySize = 24;

constexpr Field kTime{0, 4, "raw timestamp"};
constexpr Field kValue4{4, 4, "value 4 (gross weight, lb)"};
constexpr Field kValue8{8, 4, "value 8 (leading truck weight, lb)"};
constexpr Field kValue12{12, 4, "value 12 (trailing truck weight, lb)"};
constexpr Field kValue16{16, 2, "value 16 (speed, eighths of a mph)"};
constexpr Field kValue18{18, 2, "value 18 (axle count)"};
constexpr Field kValue20{20, 2, "value 20 (scale sequence number)"};
constexpr Field kUnused22{22, 2, "bytes 22-23"};
constexpr Field kEntryFields[] = {kTime, kValue4, kValue8, kValue12, kValue16, kValue18, kValue20, kUnused22};

// Sub-record type of a scale entry attached to a consist entry.
constexpr uint16_t kSubRecordType = 0x0055;

// The entry size under the name the record classes use, and the size of the
// consist sub-record that carries one entry (sub-record header and entry).
constexpr size_t kRecordSize = kEntrySize;
constexpr size_t kSubRecordSize = 4 + kEntrySize;

}  // namespace layout::scale
