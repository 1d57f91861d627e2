// Tag texts and consist entries for the tag scanner tests: railcar tags
// with the value field and the extended length and axle count, written
// through the library's tag encoder or bit by bit.
#pragma once

#include "ConsistLayout.h"
#include "TagDecode.h"
#include "TrainFileBuilder.h"

#include <bitset>
#include <stdexcept>
#include <string>
#include <vector>

namespace fixture {

// A railcar-layout tag (EGC 19 unless given) whose value field (tag bits
// 93-95) holds value and whose length and axle count are spread over the
// ordinary and the extended bits.
inline std::string RailcarTag(uint32_t value, uint32_t length, uint32_t axles, uint32_t egc = 19) {
    namespace aei = layout::aei;
    auto tag = MakeDecodedTag(egc, "TTX", 981234);
    if (!tag || axles == 0) throw std::runtime_error("no railcar tag");
    const uint32_t count = axles - 1;
    tag->Set(aei::kRailcar36, length & 0xFFF);
    tag->Set(aei::kRailcar40, (count & 0x1F) + 1);
    tag->Set(aei::kRailcar64, ((value & 7) << 6) | (((length >> 12) & 1) << 5) | ((count >> 5) & 0x1F));
    auto text = EncodeTag(*tag);
    if (!text) throw std::runtime_error("tag does not encode");
    return *text;
}

// Tag text from its 120 bits, bit 0 first (most significant bit of the
// first character).
inline std::string TagFromBits(const std::bitset<120>& bits) {
    std::string text;
    for (unsigned c = 0; c < 20; ++c) {
        unsigned v = 0;
        for (unsigned b = 0; b < 6; ++b) v = (v << 1) | (bits[6 * c + b] ? 1u : 0u);
        text.push_back(static_cast<char>(v + 32));
    }
    return text;
}

// Sets the run of tag bits first..first+count-1 to value, first bit most
// significant.
inline void SetTagBits(std::bitset<120>& bits, unsigned first, unsigned count, uint32_t value) {
    for (unsigned i = 0; i < count; ++i) bits[first + i] = ((value >> (count - 1 - i)) & 1) != 0;
}

struct TagRead {
    std::string text;
    uint16_t flags = 0;
};

// A consist entry of a vehicle with its axle count (both bytes), length and
// tag reads.
inline std::vector<uint8_t> VehicleEntry(uint16_t number, unsigned axles, int16_t length,
                                         const std::vector<TagRead>& reads, uint8_t egc = 19) {
    namespace cs = layout::consist;
    Record r(cs::kFixedSize + cs::kTagBlockSize * reads.size());
    r.Set(cs::kLength, uint32_t(r.Size())).Set(cs::kVehicleNumber, number);
    r.Set(cs::kAxleCount, axles & 0xFF).Set(cs::kAxleCountHigh, axles >> 8);
    r.Set(cs::kVehicleLength, static_cast<uint16_t>(length));
    r.Set(cs::kTagCount, uint32_t(reads.size())).Set(cs::kEgc, egc);
    for (size_t k = 0; k < reads.size(); ++k) {
        const size_t block = k == 0 ? cs::kTagBlock1 : cs::kTagBlock2;
        r.U16(block + cs::kTagFlags.offset, reads[k].flags);
        r.U8(block + cs::kTagLead.offset, 'N');
        r.Text(block + cs::kTagTextOffset, reads[k].text);
    }
    return r.Bytes();
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

// Data area of a train file (everything after the header).
inline std::vector<uint8_t> DataOfFile(const std::vector<uint8_t>& file) {
    if (file.size() <= layout::header::kSize) return {};
    return std::vector<uint8_t>(file.begin() + layout::header::kSize, file.end());
}

inline TrainFileBuilder Consist(const std::vector<std::vector<uint8_t>>& entries) {
    TrainFileBuilder b;
    b.Format(0x0100).Type(layout::consist::kTypeGroup, layout::consist::kTypeSubcode).RecordLength(0);
    for (const auto& e : entries) b.Add(e);
    return b;
}

constexpr uint16_t kFlagL = 1u << 1;
constexpr uint16_t kFlagA = 1u << 2;

}  // namespace fixture
