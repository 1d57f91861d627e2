// Consist file (.035): one variable-length entry per vehicle part, a 24-byte
// fixed part, up to two 32-byte tag blocks, then optional sub-records
// (u16 length, u16 type, data). Entries are walked by their length field.
#pragma once

#include "FieldLayout.h"

namespace layout::consist {

constexpr uint16_t kTypeGroup = 3;
constexpr uint16_t kTypeSubcode = 5;

constexpr size_t kFixedSize = 24;
constexpr size_t kTagBlockSize = 32;
constexpr size_t kOneTagSize = kFixedSize + kTagBlockSize;        // 56
constexpr size_t kTwoTagSize = kFixedSize + 2 * kTagBlockSize;    // 88
constexpr size_t kTagBlock1 = 24;  // entry offset of tag block 1
constexpr size_t kTagBlock2 = 56;  // entry offset of tag block 2
// Size of an entry's fixed part for its tag count (offset 20): the vehicle
// part and the tag blocks the count announces, two at most.
constexpr size_t FixedPartSize(uint32_t tagCount) { return kFixedSize + (tagCount < 2 ? tagCount : 2) * kTagBlockSize; }

// Entry fields (offsets from the entry start).
constexpr Field kLength{0, 2, "entry length"};
constexpr Field kVehicleNumber{2, 2, "vehicle number"};
constexpr Field kUnused4{4, 1, "byte 4"};
constexpr Field kOrientation{5, 1, "orientation flag"};
constexpr Field kByte6{6, 1, "byte 6"};
constexpr Field kAxleCount{7, 1, "axle count (low byte)"};
constexpr Field kVehicleLength{8, 2, "vehicle length"};
constexpr Field kUnused10{10, 2, "bytes 10-11"};
constexpr Field kWord12{12, 4, "word 12"};
constexpr Field kFirstAxle{16, 2, "first axle index"};
constexpr Field kReadStatus{18, 1, "read status"};
constexpr Field kUnused19{19, 1, "byte 19"};
constexpr Field kTagCount{20, 1, "tag reads present"};
constexpr Field kEgc{21, 1, "equipment group code"};
constexpr Field kAxleCountHigh{22, 1, "axle count (high byte)"};
constexpr Field kReserved23{23, 1, "reserved"};
constexpr Field kEntryFields[] = {kLength,   kVehicleNumber, kUnused4,   kOrientation, kByte6,    kAxleCount,
                                  kVehicleLength, kUnused10, kWord12,    kFirstAxle,   kReadStatus, kUnused19,
                                  kTagCount, kEgc,           kAxleCountHigh, kReserved23};

// Tag block fields (offsets from the block start).
constexpr Field kTagBits0{0, 1, "tag byte 0 (bits 0-2)"};
constexpr Field kTagUnused1{1, 1, "tag byte 1"};
constexpr Field kTagFlags{2, 2, "tag exception flags"};
constexpr Field kTagUnused4{4, 2, "tag bytes 4-5"};
constexpr Field kTagLead{6, 1, "tag lead character"};
constexpr size_t kTagTextOffset = 7;  // 20 characters of AEI tag text
constexpr size_t kTagTextLength = 20;
constexpr Field kTagTerminator{27, 1, "tag text terminator"};
constexpr Field kTagBits28{28, 1, "tag byte 28 (bits 0-4)"};
constexpr Field kTagUnused29{29, 1, "tag byte 29"};
constexpr Field kTagReserved30{30, 2, "tag reserved"};
constexpr Field kTagFields[] = {kTagBits0, kTagUnused1, kTagFlags,      kTagUnused4,  kTagLead,
                                kTagTerminator, kTagBits28, kTagUnused29, kTagReserved30};
// The bits of a tag block that carry meaning: bits 0-2 of byte 0, the
// exception flags but bits 10-13, bits 0-4 of byte 28; bytes 30 and 31 are
// reserved whole.
constexpr UsedBits kTagUsedBits[] = {
    {kTagBits0, 0x07},
    {kTagFlags, 0xC3FF},
    {kTagBits28, 0x1F},
    {kTagReserved30, 0x0000},
};

// Sub-record header (offsets from the sub-record start).
constexpr Field kSubLength{0, 2, "sub-record length"};
constexpr Field kSubType{2, 2, "sub-record type"};
constexpr size_t kSubHeaderSize = 4;

// Read status values and their display letters.
constexpr uint8_t kStatusNoTag = 4;
constexpr const char kStatusLetters[] = "GLRMU?";
// Tag exception flag letters by bit number 0-15.
constexpr const char kTagFlagLetters[] = "WLAEFOMPC?????TI";

// Equipment group codes.
constexpr uint8_t kEgcLocomotive = 5;
constexpr uint8_t kEgcEndOfTrain = 6;
constexpr uint8_t kEgcRailcar = 19;

}  // namespace layout::consist
