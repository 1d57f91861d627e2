// Tag texts and consist entries for the tag scanner tests: railcar tags
// with the value field and the extended length and axle count, written
// through the library's tag encoder or bit by bit (TagBits.h).
#pragma once

#include "ConsistLayout.h"
#include "EncodedTags.h"
#include "Records.h"
#include "TagBits.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace fixture {

// A railcar-layout tag (EGC 19 unless given) whose value field (tag bits
// 93-95) holds value and whose length and axle count are spread over the
// ordinary and the extended bits.
inline std::string RailcarTag(uint32_t value, uint32_t length, uint32_t axles, uint32_t egc = 19) {
    namespace aei = layout::aei;
    if (axles == 0) throw std::runtime_error("no railcar tag");
    const uint32_t count = axles - 1;
    return TagText(egc, "TTX", 981234,
                   {{aei::kRailcar36, length & 0xFFF},
                    {aei::kRailcar40, (count & 0x1F) + 1},
                    {aei::kRailcar64, ((value & 7) << 6) | (((length >> 12) & 1) << 5) | ((count >> 5) & 0x1F)}});
}

// A consist entry of a vehicle with its axle count (both bytes), length and
// tag reads.
inline std::vector<uint8_t> VehicleEntry(uint16_t number, unsigned axles, int16_t length,
                                         const std::vector<TagRead>& reads, uint8_t egc = 19) {
    return ConsistEntry({.vehicle = number, .axles = axles, .vehicleLength = static_cast<uint16_t>(length), .egc = egc,
                         .reads = reads})
        .Bytes();
}

inline uint16_t FlagsOf(const std::vector<uint8_t>& entry, int k) {
    namespace cs = layout::consist;
    return static_cast<uint16_t>(layout::Get(entry, k == 0 ? cs::kTagBlock1 : cs::kTagBlock2, cs::kTagFlags));
}

inline std::vector<uint8_t> WithFlags(std::vector<uint8_t> entry, int k, uint16_t flags) {
    namespace cs = layout::consist;
    layout::Set(entry, k == 0 ? cs::kTagBlock1 : cs::kTagBlock2, cs::kTagFlags, flags);
    return entry;
}

constexpr uint16_t kFlagL = 1u << 1;
constexpr uint16_t kFlagA = 1u << 2;

}  // namespace fixture
