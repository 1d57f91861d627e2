// Scale files and consist entries for the scale assignment tests: every
// scale entry and every tag block byte tells which entry it belongs to.
#pragma once

#include "ConsistLayout.h"
#include "Records.h"
#include "ScaleLayout.h"

#include <cstdint>
#include <vector>

namespace fixture {

// A scale entry whose every byte tells which entry it is.
inline std::vector<uint8_t> ScaleEntry(uint8_t n) {
    return ScaleRecord({.time = 1000u * n,
                        .value4 = 0x11110000u + n,
                        .value8 = 0x22220000u + n,
                        .value12 = 0x33330000u + n,
                        .value16 = uint16_t(0x4400u + n),
                        .value18 = uint16_t(0x5500u + n),
                        .value20 = n,
                        .unused22 = uint16_t(0x6600u + n)})
        .Bytes();
}

// A .055 with entries 1..n.
inline TrainFileBuilder ScaleFile(int n) {
    TrainFileBuilder b = ScaleFileBuilder();
    for (int i = 1; i <= n; ++i) b.Add(ScaleEntry(static_cast<uint8_t>(i)));
    return b;
}

// The sub-record carrying scale entry n.
inline std::vector<uint8_t> ScaleSubRecord(uint8_t n) {
    return SubRecord(layout::scale::kSubRecordType, ScaleEntry(n));
}

// A consist entry: the fixed part with the tag count, a tag block per read
// (up to two) filled with a pattern, then the given sub-records.
inline std::vector<uint8_t> VehicleEntry(uint16_t number, uint8_t egc, uint8_t tags = 1,
                                         const std::vector<std::vector<uint8_t>>& subs = {}) {
    namespace cs = layout::consist;
    const size_t blocks = tags > 2 ? 2 : tags;
    Record r = ConsistEntry({.vehicle = number, .axles = 4, .vehicleLength = uint16_t(600 + number), .egc = egc,
                             .reads = std::vector<TagRead>(blocks), .after = subs, .tagCount = tags});
    for (size_t i = cs::kFixedSize; i < cs::kFixedSize + cs::kTagBlockSize * blocks; ++i)
        r.U8(i, static_cast<uint8_t>(i + number));
    return r.Bytes();
}

inline std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace fixture
