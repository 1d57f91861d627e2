// Train summary file (.034): one 180-byte record with the train's first
// and last timestamps (packed BCD date and time words) and wheel-event
// statistics.
#pragma once

#include "FieldLayout.h"

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

}  // namespace layout::summary
