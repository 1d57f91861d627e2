// Train summary file (.034): one 180-byte record with the train's first
// and last timestamps (packed BCD date and time words) and wheel-event
// statistics.
#pragma once

#include "FieldLayout.h"
#include "HeaderLayout.h"

namespace layout::summary {

constexpr uint16_t kTypeGroup = 3;
constexpr uint16_t kTypeSubcode = 4;
constexpr size_t kRecordSize = 180;

constexpr size_t kTrainIdOffset = 2;  // train identification text, terminated
constexpr size_t kTrainIdLength = 20;
constexpr Field kFirstDate{22, 4, "first timestamp, packed date"};
constexpr Field kFirstTime{26, 4, "first timestamp, packed time"};
constexpr Field kLastWheelB{40, 1, "last wheel event from detector B"};
constexpr Field kCountB{90, 2, "detector B events"};
constexpr Field kCountA{92, 2, "detector A events"};
constexpr Field kFlaggedB{94, 2, "detector B events with the event flag"};
constexpr Field kFlaggedA{96, 2, "detector A events with the event flag"};
constexpr Field kLastDate{102, 4, "last timestamp, packed date"};
constexpr Field kLastTime{106, 4, "last timestamp, packed time"};
constexpr Field kRecordFields[] = {kFirstDate, kFirstTime, kLastWheelB, kCountB,  kCountA,
                                   kFlaggedB,  kFlaggedA,  kLastDate,   kLastTime};

// Reserved areas. In the header: the u16 values at 42 and 44 and bytes 46
// to 59 (bytes 34 to 41 carry data). In the record: byte 1 and six runs of
// the bytes after the last timestamp.
constexpr ByteRange kReservedHeader[] = {{42, 44}, {44, 46}, {46, header::kTypeAreaEnd}};
constexpr ByteRange kReservedRecord[] = {{1, 2},     {118, 126}, {130, 136}, {138, 144},
                                         {146, 150}, {160, 170}, {172, 180}};

// Fields other producers fill that only the current library's summary line
// prints.
constexpr size_t kText30Offset = 30;  // text printed left-aligned in four places
constexpr size_t kText30Length = 10;  // up to offset 40
constexpr Field kNumber36{36, 4, "number printed with eight digits"};
constexpr Field kSigned86{86, 2, "signed value at 86"};
// The unsigned 16-bit values the summary line prints after the one at 86, in
// order (the last four are the wheel-event counts above).
constexpr Field kLineWords[] = {{42, 2, "word 42"}, {44, 2, "word 44"}, {46, 2, "word 46"}, {48, 2, "word 48"},
                                {50, 2, "word 50"}, {80, 2, "word 80"}, {82, 2, "word 82"}, {84, 2, "word 84"},
                                kCountB,            kCountA,            kFlaggedB,          kFlaggedA};

}  // namespace layout::summary
