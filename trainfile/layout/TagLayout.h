// Tag read files (.060, and .061 to .067 for further readers): one 64-byte
// record per AEI tag read. Also the AEI tag text itself: which bits of the
// 20-character text make which field, and where each field lands in the
// decoded tag image.
#pragma once

#include "FieldLayout.h"

namespace layout::tagread {

constexpr uint16_t kTypeGroup = 3;
constexpr uint16_t kTypeSubcode = 0;
constexpr size_t kRecordSize = 64;

// Header fields beyond the common header.
constexpr Field kProcessingFlags{32, 2, "processing flags"};
constexpr Field kAntennaConfig{42, 1, "antenna configuration"};
constexpr Field kConfig2{54, 1, "second configuration byte"};
constexpr Field kHeaderFields[] = {kProcessingFlags, kAntennaConfig, kConfig2};
// Set in the processing flags once the tag-to-car pairing has run.
constexpr uint16_t kTagPairProcessed = 0x4000;

// Record fields.
constexpr Field kTime{0, 4, "raw timestamp"};
constexpr Field kLead{4, 1, "tag lead character (0 = deleted record)"};
constexpr size_t kTextOffset = 5;      // 20 characters of AEI tag text
constexpr size_t kTextLength = 20;
constexpr size_t kTextAreaBegin = 4;   // lead character, text and terminator
constexpr size_t kTextAreaEnd = 50;    // the text is terminated before here
constexpr Field kAntenna{50, 1, "antenna digit"};
constexpr Field kUnused51{51, 1, "byte 51"};
constexpr size_t kReadCountOffset = 52;  // two hexadecimal digits
constexpr Field kReadCountHigh{52, 1, "read count, high hex digit"};
constexpr Field kReadCountLow{53, 1, "read count, low hex digit"};
constexpr Field kSpeedWhole{60, 1, "direction bit and whole mph"};
constexpr Field kSpeedEighths{61, 1, "eighths of a mph"};
constexpr Field kByte59{59, 1, "byte 59 (bits 0-2)"};
constexpr Field kRecordFields[] = {kTime, kLead, kAntenna, kUnused51, kReadCountHigh, kReadCountLow, kSpeedWhole,
                                   kSpeedEighths, kByte59};
// Of byte 59 only the low three bits are used.
constexpr UsedBits kRecordUsedBits[] = {{kByte59, 0x07}};

constexpr uint8_t kDirectionBit = 0x01;
constexpr uint8_t kEighthsMask = 0x07;

}  // namespace layout::tagread

namespace layout::aei {

// The tag text: 20 characters, each a six-bit value stored as value + 32.
// The 120 bits are numbered from 0, character i holding bits 6i..6i+5 with
// the most significant bit of its value first.
constexpr size_t kTextLength = 20;
constexpr unsigned kBitsPerChar = 6;
constexpr unsigned kTotalBits = 120;
constexpr uint8_t kCharBias = 32;

// A run of tag bits read as an unsigned number, first bit most significant.
struct BitRun {
    uint8_t first;
    uint8_t count;
    constexpr unsigned Last() const { return unsigned(first) + count - 1; }
};

// Fields every layout shares.
constexpr BitRun kEgcBits{0, 5};
constexpr BitRun kTagTypeBits{5, 2};
constexpr uint8_t kTagTypeBit6 = 6;  // locomotive and railcar layouts read this bit only
constexpr BitRun kOwnerBits{7, 19};
constexpr BitRun kCarNumberBits{26, 20};
constexpr BitRun kIdentifierBits{26, 42};  // alphanumeric layouts

// Owner code: four base-27 letters, divisors 27^3, 27^2, 27, 1.
constexpr uint32_t kOwnerDivisors[4] = {19683, 729, 27, 1};
constexpr char kOwnerFirstBase = 'A';  // first letter: quotient + 'A'
constexpr char kOwnerNextBase = '@';   // further letters: quotient + '@'

// Alphanumeric identifier: eight base-37 digits, most significant first.
constexpr unsigned kIdentifierDigits = 8;
constexpr uint64_t kIdentifierTopDivisor = 94931877133ull;  // 37^7

// The decoded tag image: 124 bytes and a 16-bit trailer, zero before
// decoding. Equipment-specific fields are named by their offset.
constexpr size_t kDecodedSize = 126;
constexpr Field kEgc{0, 4, "equipment group code"};
constexpr Field kTagType{4, 4, "tag type"};
constexpr size_t kOwnerOffset = 8;  // four letters
constexpr size_t kOwnerLength = 4;
constexpr size_t kNumberTextOffset = 18;  // "%lu" car number or identifier, terminated
constexpr size_t kNumberTextLength = 10;
constexpr Field kCarNumber{28, 4, "car number"};
constexpr Field kTrailer{124, 2, "trailer"};

// Railcar layout (EGC 6, 14, 18, 19, 20).
constexpr Field kRailcar32{32, 4, "railcar field 32"};
constexpr Field kRailcar36{36, 4, "railcar field 36"};
constexpr Field kRailcar40{40, 4, "railcar field 40"};
constexpr Field kRailcar44{44, 4, "railcar field 44"};
constexpr Field kRailcar48{48, 4, "railcar field 48"};
constexpr Field kRailcar52{52, 4, "railcar field 52"};
constexpr Field kRailcar56{56, 4, "railcar field 56"};
constexpr Field kRailcar60{60, 4, "railcar field 60"};
constexpr Field kRailcar64{64, 4, "railcar field 64"};
constexpr Field kRailcar68{68, 4, "railcar field 68"};
constexpr Field kRailcar72{72, 4, "railcar field 72"};

// Locomotive layout (EGC 5).
constexpr Field kLoco32{32, 4, "locomotive field 32"};
constexpr Field kLoco36{36, 4, "locomotive field 36"};
constexpr Field kLoco40{40, 4, "locomotive field 40"};
constexpr Field kLoco44{44, 4, "locomotive field 44"};
constexpr Field kLoco48{48, 1, "locomotive byte 48"};
constexpr Field kLoco49{49, 1, "locomotive byte 49"};
constexpr Field kLoco50{50, 1, "locomotive byte 50"};
constexpr Field kLoco51{51, 1, "locomotive byte 51"};
constexpr Field kLoco52{52, 4, "locomotive field 52"};
constexpr Field kLoco56{56, 4, "locomotive field 56"};
constexpr Field kLoco60{60, 4, "locomotive field 60"};
constexpr Field kLoco70{70, 4, "locomotive field 70"};

// One equipment-specific field: the value of a bit run, shifted left and
// increased, is added into the output field. A field fed by two runs has
// two rows.
struct BitMap {
    Field out;
    BitRun bits;
    uint8_t shift;
    uint8_t add;
};

constexpr BitMap kRailcarMap[] = {
    {kRailcar32, {46, 1}, 0, 0},
    {kRailcar36, {47, 9}, 0, 0},   // bits 8-0 of the value
    {kRailcar36, {90, 3}, 9, 0},   // bits 11-9 of the value
    {kRailcar40, {56, 5}, 0, 1},
    {kRailcar44, {61, 3}, 0, 0},
    {kRailcar48, {64, 4}, 0, 0},
    {kRailcar52, {68, 5}, 0, 0},
    {kRailcar56, {73, 10}, 0, 0},
    {kRailcar60, {83, 7}, 0, 0},
    {kRailcar64, {93, 9}, 0, 0},
    {kRailcar68, {102, 12}, 0, 0},
    {kRailcar72, {114, 6}, 0, 0},
};

// Value-7 extended railcar tags: a railcar tag whose value field holds 7
// carries a 13-bit length and a 10-bit axle count. Railcar field 64 (tag
// bits 93-101) then holds the value field in its top three bits (tag bits
// 93-95), bit 12 of the length (tag bit 96) and bits 9-5 of the axle count
// less one (tag bits 97-101). Field 36 keeps length bits 11-0; field 40 is
// the low five bits of the axle count less one, plus 1 as always.
struct SubField {
    uint8_t shift;
    uint8_t width;
    constexpr uint32_t Mask() const { return (1u << width) - 1; }
    constexpr uint32_t Get(uint32_t word) const { return (word >> shift) & Mask(); }
    constexpr uint32_t Put(uint32_t value) const { return (value & Mask()) << shift; }
};
constexpr SubField kExtValue{6, 3};        // of railcar field 64
constexpr SubField kExtLengthBit12{5, 1};  // of railcar field 64
constexpr SubField kExtAxlesHigh{0, 5};    // of railcar field 64
constexpr uint32_t kExtendedValue = 7;
constexpr unsigned kExtLengthLowBits = 12;  // the length bits of field 36
constexpr unsigned kExtAxlesLowBits = 5;    // the axle count bits of field 40
constexpr unsigned kExtLengthBits = 13;
constexpr unsigned kExtAxlesBits = 10;

constexpr BitMap kLocomotiveMap[] = {
    {kLoco32, {46, 1}, 0, 0},
    {kLoco36, {47, 9}, 0, 0},
    {kLoco40, {56, 5}, 0, 1},
    {kLoco44, {61, 3}, 0, 0},
    {kLoco48, {86, 8}, 0, 0},   // low four bits of character 14 above the high four of character 15
    {kLoco49, {78, 6}, 2, 0},   // character 13 shifted left by 2
    {kLoco50, {70, 2}, 6, 0},   // top two bits
    {kLoco51, {64, 2}, 4, 0},   // bits 4-5
    {kLoco52, {94, 8}, 0, 0},
    {kLoco56, {102, 12}, 0, 0},
    {kLoco60, {114, 6}, 0, 0},
    {kLoco70, {100, 1}, 0, 0},  // repeats one bit of field 52
};

// Equipment group codes and the layout each selects.
constexpr uint8_t kEgcLocomotive = 5;
constexpr uint8_t kEgcRailcarCodes[] = {6, 14, 18, 19, 20};
constexpr uint8_t kEgcPlainCodes[] = {10, 27};
constexpr uint8_t kEgcAlphanumericCodes[] = {17, 21};
// Codes accepted as a vehicle's equipment group (low byte compared).
constexpr uint8_t kAcceptedEgcs[] = {5, 14, 19, 253, 254, 255};
constexpr uint8_t kEgcEndOfTrain = 6;
constexpr uint8_t kEgcRestrictedStatus = 24;  // valid only for read status 0-2

}  // namespace layout::aei
