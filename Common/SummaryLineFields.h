// Fields of the train summary record (.034) that only the summary line of
// the current library prints, beyond the shared table in SummaryLayout.h.
#pragma once

#include "FieldLayout.h"

namespace layout::summaryline {

constexpr size_t kText30Offset = 30;  // text printed left-aligned in four places
constexpr size_t kText30Length = 10;  // up to offset 40
constexpr Field kNumber36{36, 4, "number printed with eight digits"};
constexpr Field kSigned86{86, 2, "signed value at 86"};
// The unsigned 16-bit values the line prints after the one at 86, in order
// (the last four are the wheel-event counts of the shared table).
constexpr Field kWords[] = {{42, 2, "word 42"}, {44, 2, "word 44"}, {46, 2, "word 46"}, {48, 2, "word 48"},
                            {50, 2, "word 50"}, {80, 2, "word 80"}, {82, 2, "word 82"}, {84, 2, "word 84"},
                            {90, 2, "word 90"}, {92, 2, "word 92"}, {94, 2, "word 94"}, {96, 2, "word 96"}};

}  // namespace layout::summaryline
