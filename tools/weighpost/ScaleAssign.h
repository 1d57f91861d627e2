// Attaching scale entries to the records of a consist: every record of a
// weighed equipment group (railcars 19 and 14) receives the next scale
// entry, in the order the scale weighed them, as a sub-record of type
// 0x0055 after its fixed part. Scale sub-records attached by an earlier run
// are dropped first, so attaching the same entries again gives the same
// bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "ScaleLayout.h"

namespace weighpost {

using ScaleEntry = std::array<uint8_t, layout::scale::kRecordSize>;

// Hands out the scale entries in order: the next entry, or nothing once the
// scale file has run out (it is not asked again after that).
using ScaleSource = std::function<std::optional<ScaleEntry>()>;

// Equipment group code with the flag 128 removed from values above 128.
uint8_t PlainEgc(uint8_t egc);

// Whether the scale weighs vehicles of this (plain) equipment group.
bool IsWeighedGroup(uint8_t plainEgc);

// The consist data (the records after the 64-byte header, recordCount of
// them) with the scale entries attached.
//
// Records that cannot be rebuilt safely keep their bytes: a record whose
// length field is smaller than its fixed part, or too small to reach the
// equipment group, or whose new length would not fit the 16-bit length
// field. A railcar among them still takes its scale entry, so the cars
// after it stay paired with their own weighings. A record whose length runs
// past the data, or is too small to step over (0 or 1), ends the walk; the
// bytes from there on, like any bytes after the counted records, are kept
// as they are.
std::vector<uint8_t> AttachScaleEntries(std::span<const uint8_t> data, int recordCount, const ScaleSource& next);

}  // namespace weighpost
