// Record makers for the scale assignment tests: scale files, consist
// entries with tag blocks and sub-records, and the scale sub-record the
// program attaches.
#pragma once

#include "ConsistLayout.h"
#include "ScaleLayout.h"
#include "TrainFileBuilder.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace fixture {

// A scale entry whose every byte tells which entry it is.
inline std::vector<uint8_t> ScaleEntry(uint8_t n) {
    namespace sc = layout::scale;
    Record r(sc::kRecordSize);
    r.Set(sc::kTime, 1000u * n);
    r.Set(sc::kValue4, 0x11110000u + n).Set(sc::kValue8, 0x22220000u + n).Set(sc::kValue12, 0x33330000u + n);
    r.Set(sc::kValue16, 0x4400u + n).Set(sc::kValue18, 0x5500u + n).Set(sc::kValue20, n);
    r.Set(sc::kUnused22, 0x6600u + n);
    return r.Bytes();
}

// A .055 with entries 1..n.
inline TrainFileBuilder ScaleFile(int n) {
    TrainFileBuilder b;
    b.Format(layout::scale::kFormat).Type(layout::scale::kTypeGroup, layout::scale::kTypeSubcode);
    b.RecordLength(layout::scale::kRecordSize);
    for (int i = 1; i <= n; ++i) b.Add(ScaleEntry(static_cast<uint8_t>(i)));
    return b;
}

// A sub-record: length field, type, then data bytes (the length field is
// the true size unless given).
inline std::vector<uint8_t> SubRecord(uint16_t type, std::vector<uint8_t> data, int lengthField = -1) {
    std::vector<uint8_t> s(layout::consist::kSubHeaderSize + data.size(), 0);
    std::copy(data.begin(), data.end(), s.begin() + layout::consist::kSubHeaderSize);
    layout::Set(s, 0, layout::consist::kSubLength, lengthField < 0 ? uint32_t(s.size()) : uint32_t(lengthField));
    layout::Set(s, 0, layout::consist::kSubType, type);
    return s;
}

// The sub-record carrying scale entry n.
inline std::vector<uint8_t> ScaleSubRecord(uint8_t n) { return SubRecord(layout::scale::kSubRecordType, ScaleEntry(n)); }

// A consist entry: fixed part for the tag count (tag block bytes filled
// with a pattern), then the given sub-records; the length field covers it
// all.
inline std::vector<uint8_t> ConsistEntry(uint16_t number, uint8_t egc, uint8_t tags = 1,
                                         const std::vector<std::vector<uint8_t>>& subs = {}) {
    namespace cs = layout::consist;
    Record r(cs::kFixedSize + cs::kTagBlockSize * (tags > 2 ? 2 : tags));
    for (size_t i = cs::kFixedSize; i < r.Size(); ++i) r.U8(i, static_cast<uint8_t>(i + number));
    r.Set(cs::kVehicleNumber, number).Set(cs::kAxleCount, 4).Set(cs::kVehicleLength, 600 + number);
    r.Set(cs::kTagCount, tags).Set(cs::kEgc, egc);
    for (const auto& s : subs) r.Append(s);
    r.Set(cs::kLength, uint32_t(r.Size()));
    return r.Bytes();
}

// The same entry with sub-records appended (length field updated).
inline std::vector<uint8_t> WithSubRecords(std::vector<uint8_t> entry, const std::vector<std::vector<uint8_t>>& subs) {
    for (const auto& s : subs) entry.insert(entry.end(), s.begin(), s.end());
    layout::Set(entry, 0, layout::consist::kLength, uint32_t(entry.size()));
    return entry;
}

inline TrainFileBuilder ConsistFile(const std::vector<std::vector<uint8_t>>& entries) {
    TrainFileBuilder b;
    b.Format(0x0100).Type(layout::consist::kTypeGroup, layout::consist::kTypeSubcode).RecordLength(0);
    for (const auto& e : entries) b.Add(e);
    return b;
}

// Data area of a train file (everything after the header).
inline std::vector<uint8_t> DataOf(const std::vector<uint8_t>& file) {
    if (file.size() <= layout::header::kSize) return {};
    return std::vector<uint8_t>(file.begin() + layout::header::kSize, file.end());
}

inline std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace fixture
