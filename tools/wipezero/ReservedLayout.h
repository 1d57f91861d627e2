// Reserved areas of the train file types: the header and record bytes that
// carry no meaning and that Wipezero sets to zero. Positions are taken from
// the record layouts wherever a layout table names them; the record types
// that have no layout table of their own (0x017, 0x020, 0x021, 0x031, 0x043,
// 0x071) and the reserved bytes that the IO, HBD, tag read and train summary
// layouts leave unnamed are described here, and only here.
#pragma once

#include "AllocLayout.h"
#include "AxleLayout.h"
#include "CarListLayout.h"
#include "ConsistLayout.h"
#include "DetectorLayout.h"
#include "Event024Layout.h"
#include "FieldLayout.h"
#include "HeaderLayout.h"
#include "InputStateLayout.h"
#include "WheelLayout.h"

#include <cstddef>
#include <cstdint>

namespace layout::reserved {

// A run of bytes [begin, end) of a header or a record.
struct Range {
    uint16_t begin;
    uint16_t end;
    constexpr size_t Size() const { return size_t(end) - begin; }
};

// A field of which only some bits are used; the others are cleared.
struct Mask {
    Field field;
    uint32_t keep;
};

// The type-specific header area every train file has (bytes 34 to 59).
constexpr Range kCommonHeader{header::kTypeAreaBegin, header::kTypeAreaEnd};

// ---- Header areas of the routines that work on the header only.
// IO event file (.007): byte 50 and bytes 55 to 59.
constexpr Range kIoHeader[] = {{50, 51}, {55, 60}};
// Axle files (.010, .011): after the converter's event summary.
constexpr Range kAxleHeader[] = {{axle::kSummaryZeroBegin, axle::kSummaryZeroEnd}};
// Wheel files (.012 family): after the bytes that belong to the recorder.
constexpr Range kWheelHeader[] = {{wheel::kRecorderAreaEnd, header::kTypeAreaEnd}};
// HBD correlation file (.071): everything after byte 34.
constexpr Range k071Header[] = {{35, header::kTypeAreaEnd}};

// ---- Record types.
// Type 0x017: bytes 6 and 7 of each record.
constexpr Range k017Record[] = {{6, 8}};

// Hot bearing detector file (.018): header bytes 50 to 59; the unused word
// at record offset 2.
constexpr Range k018Header[] = {{50, header::kTypeAreaEnd}};
constexpr Range k018Record[] = {{detector::kUnused2.offset, uint16_t(detector::kUnused2.End())}};

// Input state file (.01A): the reserved bytes at the end of each record.
constexpr Range k01ARecord[] = {{inputstate::kReservedBegin, inputstate::kReservedEnd}};

// Type 0x020: a 16-byte text field at offset 3.
constexpr Range k020Text[] = {{3, 19}};

// Type 0x021: a 50-byte text field at offset 8.
constexpr Range k021Text[] = {{8, 58}};

// Event file (.024): the reserved bytes at the end of each record.
constexpr Range k024Record[] = {{event024::kReservedBegin, event024::kReservedEnd}};

// Type 0x031: 22-byte text fields at offsets 8 and 32; the u16 at 54 and byte 63.
constexpr Range k031Text[] = {{8, 30}, {32, 54}};
constexpr Range k031Record[] = {{54, 56}, {63, 64}};

// Train summary (.034): header bytes 42 to 59 (the u16 values at 42 and 44
// and bytes 46 to 59; bytes 34 to 41 are kept). In the record: byte 1 and
// six runs of the bytes after the last timestamp.
constexpr Field k034HeaderWord42{42, 2, "reserved word 42"};
constexpr Field k034HeaderWord44{44, 2, "reserved word 44"};
constexpr Range k034Header[] = {{k034HeaderWord42.offset, uint16_t(k034HeaderWord42.End())},
                                {k034HeaderWord44.offset, uint16_t(k034HeaderWord44.End())},
                                {46, header::kTypeAreaEnd}};
constexpr Range k034Record[] = {{1, 2},     {118, 126}, {130, 136}, {138, 144},
                                {146, 150}, {160, 170}, {172, 180}};

// Car list (.036): the zero bytes at the end of each 48-byte record.
constexpr size_t k036MinEntryLength = carlist::kRecordSize;
constexpr Range k036Record[] = {{carlist::kZeroBegin, carlist::kZeroEnd}};

// Axle allocation (.041): the zero bytes of 24-byte records.
constexpr size_t k041EntryLength = alloc::kRecordSize;
constexpr Range k041Record[] = {{alloc::kZeroBegin, alloc::kZeroEnd}};

// Type 0x043: bytes 60 to 62.
constexpr Range k043Record[] = {{60, 63}};

// Tag reads (.060 to .069): of byte 59 only the low three bits are used.
constexpr Mask k060Record[] = {{{59, 1, "byte 59 (bits 0-2)"}, 0x07}};

// Consist (.035 family): byte 23 of the vehicle part, and in each tag block
// bits 3-7 of byte 0, bits 10-13 of the exception flags, bits 5-7 of byte 28
// and bytes 30 and 31.
constexpr Field k035Reserved = consist::kReserved23;
constexpr Mask k035TagMasks[] = {
    {consist::kTagBits0, 0x07},
    {consist::kTagFlags, 0xC3FF},
    {consist::kTagBits28, 0x1F},
    {consist::kTagReserved30, 0x0000},
};

}  // namespace layout::reserved
