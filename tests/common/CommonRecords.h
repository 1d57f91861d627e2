// Record makers for the tests of the current library's record classes.
#pragma once

#include "CarListLayout.h"
#include "ConsistLayout.h"
#include "SummaryLayout.h"
#include "TagDecode.h"
#include "TrainFileBuilder.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace fixture {

// The 20-character text of a railcar tag with these initials and number.
inline std::string RailcarTagText(const std::string& owner, uint32_t number) {
    const auto tag = MakeDecodedTag(layout::consist::kEgcRailcar, owner, number);
    const auto text = tag ? EncodeTag(*tag) : std::nullopt;
    if (!text) throw std::runtime_error("cannot encode tag " + owner);
    return *text;
}

// A consist entry with one tag block per text and extra bytes after them;
// the length field covers everything unless a length is given.
inline Record ConsistEntry(uint16_t vehicle, const std::vector<std::string>& tags, size_t extra = 0,
                           int length = -1) {
    namespace cs = layout::consist;
    Record r(cs::kFixedSize + cs::kTagBlockSize * tags.size() + extra);
    r.Set(cs::kLength, length >= 0 ? static_cast<uint32_t>(length) : static_cast<uint32_t>(r.Size()));
    r.Set(cs::kVehicleNumber, vehicle);
    r.Set(cs::kTagCount, static_cast<uint32_t>(tags.size()));
    r.Set(cs::kEgc, cs::kEgcRailcar);
    for (size_t k = 0; k < tags.size(); ++k) {
        const size_t block = cs::kTagBlock1 + k * cs::kTagBlockSize;
        r.U8(block + cs::kTagLead.offset, 'D');
        r.Text(block + cs::kTagTextOffset, tags[k]);
    }
    return r;
}

inline TrainFileBuilder ConsistBuilder() {
    TrainFileBuilder b;
    b.Format(0x0100).Type(layout::consist::kTypeGroup, layout::consist::kTypeSubcode).RecordLength(0);
    return b;
}

struct Car {
    uint16_t vehicle;
    uint16_t firstAxle;
    uint8_t axles, egc, status;
    std::string initials, number;
};

inline Record CarListRecord(const Car& c) {
    namespace cl = layout::carlist;
    Record r(cl::kRecordSize);
    r.Set(cl::kVehicleNumber, c.vehicle).Set(cl::kFirstAxle, c.firstAxle).Set(cl::kAxleCount, c.axles);
    r.Set(cl::kEgc, c.egc).Set(cl::kReadStatus, c.status);
    r.Text(cl::kInitialsOffset, c.initials).Text(cl::kCarNumberOffset, c.number);
    return r;
}

}  // namespace fixture
