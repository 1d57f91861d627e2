// Axle event (.010) and axle movement (.011) files: header summary and the
// 8-byte record.
#pragma once

#include "FieldLayout.h"

namespace layout::axle {

constexpr uint16_t kTypeGroup = 1;
constexpr uint16_t kTypeSubcode = 0;
constexpr size_t kRecordSize = 8;

// Event summary the IO-to-axle converter writes into the header.
constexpr Field kRisingA{34, 2, "WDA rising edges"};
constexpr Field kRisingB{36, 2, "WDB rising edges"};
constexpr Field kPassagesAB{38, 2, "passages A then B"};
constexpr Field kPassagesBA{40, 2, "passages B then A"};
constexpr Field kIoWord40{42, 2, "IO header word 40"};
constexpr Field kIoByte39{44, 2, "IO header byte 39"};
constexpr size_t kSummaryZeroBegin = 46;
constexpr size_t kSummaryZeroEnd = 60;
constexpr Field kHeaderFields[] = {kRisingA, kRisingB, kPassagesAB, kPassagesBA, kIoWord40, kIoByte39};
// Reserved header bytes: the rest of the type area after the summary.
constexpr ByteRange kReservedHeader[] = {{kSummaryZeroBegin, kSummaryZeroEnd}};

// Record fields.
constexpr Field kSpeedWhole{0, 1, "direction bit and whole mph"};
constexpr Field kSpeedEighths{1, 1, "eighths, marker and movement flags"};
constexpr Field kTime{2, 4, "raw timestamp"};
constexpr Field kAxleNumber{6, 2, "axle number"};
constexpr Field kRecordFields[] = {kSpeedWhole, kSpeedEighths, kTime, kAxleNumber};

// Bits of byte 0.
constexpr uint8_t kDirectionBit = 0x01;
// Bits of byte 1.
constexpr uint8_t kEighthsMask = 0x07;
constexpr uint8_t kGapMarker = 0x10;
constexpr uint8_t kMoveBackward = 0x20;   // with 0x40: backward passage
constexpr uint8_t kMoveRepass = 0x40;     // alone: forward re-passage
constexpr uint8_t kMoveFirstNew = 0x80;   // first new axle after back-outs
constexpr uint8_t kMovementMask = 0xE0;

}  // namespace layout::axle
