// Records and texts for the tag, IO and digitizer tests. Tag texts are put
// together bit by bit at literal positions, independently of the library's
// own bit tables, so the tests check those tables.
#pragma once

#include "ConsistLayout.h"
#include "DigitizerLayout.h"
#include "IoLayout.h"
#include "TagLayout.h"
#include "TrainFileBuilder.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

// A 120-bit AEI tag built from runs of bits (first bit most significant).
class TagBits {
public:
    TagBits& Put(unsigned first, unsigned last, uint64_t value) {
        for (unsigned b = last + 1; b-- > first;) {
            m_bits[b] = value & 1u;
            value >>= 1;
        }
        return *this;
    }
    std::string Text() const {
        std::string s;
        for (unsigned c = 0; c < 20; ++c) {
            unsigned v = 0;
            for (unsigned j = 0; j < 6; ++j) v = (v << 1) | m_bits[6 * c + j];
            s += static_cast<char>(v + 32);
        }
        return s;
    }
private:
    std::array<uint8_t, 120> m_bits{};
};

// Owner code of up to four letters: first letter - 'A', further letters - '@'.
inline uint32_t OwnerCode(const std::string& s) {
    const uint32_t div[4] = {19683, 729, 27, 1};
    uint32_t code = 0;
    for (size_t i = 0; i < s.size() && i < 4; ++i) code += uint32_t(s[i] - (i == 0 ? 'A' : '@')) * div[i];
    return code;
}

// Common fields of a tag.
inline TagBits Tag(unsigned egc, unsigned typeBits, const std::string& owner, uint32_t number) {
    TagBits t;
    t.Put(0, 4, egc).Put(5, 6, typeBits).Put(7, 25, OwnerCode(owner)).Put(26, 45, number);
    return t;
}

struct TagRead {
    uint16_t flags = 0;
    std::string text;  // 20 characters
};

// A consist entry: 24-byte vehicle part plus one tag block per read.
inline Record ConsistEntry(uint16_t vehicle, uint8_t egc, uint8_t status, const std::vector<TagRead>& tags = {}) {
    namespace cs = layout::consist;
    Record r(cs::kFixedSize + cs::kTagBlockSize * tags.size());
    r.Set(cs::kLength, uint32_t(r.Size()));
    r.Set(cs::kVehicleNumber, vehicle);
    r.Set(cs::kReadStatus, status);
    r.Set(cs::kTagCount, uint32_t(tags.size()));
    r.Set(cs::kEgc, egc);
    for (size_t k = 0; k < tags.size(); ++k) {
        const size_t base = k == 0 ? cs::kTagBlock1 : cs::kTagBlock2;
        r.U16(base + cs::kTagFlags.offset, tags[k].flags);
        r.U8(base + cs::kTagLead.offset, 'N');
        r.Text(base + cs::kTagTextOffset, tags[k].text);
    }
    return r;
}

// A .060 record: raw time, lead character and 20-character text (the text is
// terminated right after), antenna digit, read count and speed.
inline Record TagReadRecord(uint32_t time, const std::string& text, char antenna = '1', uint8_t reads = 3,
                            unsigned eighths = 0, unsigned dir = 0, char lead = 'N') {
    namespace tr = layout::tagread;
    Record r(tr::kRecordSize);
    r.Set(tr::kTime, time);
    r.Set(tr::kLead, uint8_t(lead));
    r.Text(tr::kTextOffset, text);
    r.Set(tr::kAntenna, uint8_t(antenna));
    const char hex[] = "0123456789ABCDEF";
    r.Set(tr::kReadCountHigh, uint8_t(hex[reads >> 4]));
    r.Set(tr::kReadCountLow, uint8_t(hex[reads & 15]));
    r.Set(tr::kSpeedWhole, ((eighths / 8) << 1) | (dir & 1));
    r.Set(tr::kSpeedEighths, eighths & 7);
    return r;
}

// A .007 record.
inline Record IoRecord(uint32_t time, uint16_t inputs, uint16_t flags = layout::io::kDetectorEventFlag) {
    Record r(layout::io::kRecordSize);
    r.Set(layout::io::kTime, time);
    r.Set(layout::io::kInputs, inputs);
    r.Set(layout::io::kFlags, flags);
    return r;
}

// A .01D sample block; the length field covers header and samples unless
// lengthOverride says otherwise.
struct Sample {
    uint8_t c0, c1;
};
inline Record DigitizerBlock(uint32_t start, uint32_t end, const std::vector<Sample>& samples, uint8_t conversion = 5,
                             uint8_t byte13 = 0, int lengthOverride = -1) {
    namespace dg = layout::digitizer;
    Record r(dg::kBlockHeaderSize + dg::kSampleSize * samples.size());
    r.Set(dg::kBlockLength, lengthOverride >= 0 ? uint32_t(lengthOverride) : uint32_t(r.Size()));
    r.Set(dg::kStartTime, start);
    r.Set(dg::kEndTime, end);
    r.Set(dg::kConversion, conversion);
    r.Set(dg::kByte13, byte13);
    for (size_t i = 0; i < samples.size(); ++i) {
        r.U8(dg::kBlockHeaderSize + 2 * i, samples[i].c0);
        r.U8(dg::kBlockHeaderSize + 2 * i + 1, samples[i].c1);
    }
    return r;
}

inline TrainFileBuilder DigitizerFileBuilder() {
    TrainFileBuilder b;
    b.Type(layout::digitizer::kTypeGroup, layout::digitizer::kTypeSubcode).RecordLength(0);
    return b;
}

}  // namespace fixture
