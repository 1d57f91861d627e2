// Reserved areas of the train file types without a record layout of their
// own (0x017, 0x020, 0x021, 0x031, 0x043): the header and record bytes
// that carry no meaning and that Wipezero sets to zero. The reserved areas of
// the other types are part of their layout tables in trainfile/layout
// (kReservedHeader, kReservedRecord and the used-bits tables).
#pragma once

#include "CorrelationLayout.h"
#include "FieldLayout.h"
#include "HeaderLayout.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace layout::reserved {

// A run of bytes [begin, end) of a header or a record.
using Range = ByteRange;
// A field of which only some bits are used; the others are cleared.
using Mask = UsedBits;

// The type-specific header area every train file has (bytes 34 to 59).
constexpr Range kCommonHeader{header::kTypeAreaBegin, header::kTypeAreaEnd};

// HBD correlation file (.071): header bytes after byte 34, from its layout table.
constexpr std::span<const Range> k071Header{correlation::kReservedHeader};

// Type 0x017: bytes 6 and 7 of each record.
constexpr Range k017Record[] = {{6, 8}};

// Type 0x020: a 16-byte text field at offset 3.
constexpr Range k020Text[] = {{3, 19}};

// Type 0x021: a 50-byte text field at offset 8.
constexpr Range k021Text[] = {{8, 58}};

// Type 0x031: 22-byte text fields at offsets 8 and 32; the u16 at 54 and byte 63.
constexpr Range k031Text[] = {{8, 30}, {32, 54}};
constexpr Range k031Record[] = {{54, 56}, {63, 64}};

// Type 0x043: bytes 60 to 62.
constexpr Range k043Record[] = {{60, 63}};

}  // namespace layout::reserved
