// IO event (.007) files for the edgemill tests: detector states written as
// short sequences, and the axle records read back.
#pragma once

#include "AxleLayout.h"
#include "IoLayout.h"
#include "Records.h"

#include <sstream>
#include <string>
#include <vector>

namespace fixture {

constexpr uint16_t kWda = layout::io::kDefaultMaskA;
constexpr uint16_t kWdb = layout::io::kDefaultMaskB;

// Appends detector states, one record every dt ms from t on: "A" only A
// active, "B" only B, "AB" both, "-" none; e.g. "A AB B -" is one wheel
// passing from A to B. Returns the time after the last record.
inline uint32_t Edges(TrainFileBuilder& b, uint32_t t, const std::string& seq, uint32_t dt = 10,
                      uint16_t maskA = kWda, uint16_t maskB = kWdb) {
    std::istringstream in(seq);
    for (std::string s; in >> s; t += dt) {
        uint16_t w = 0;
        if (s.find('A') != std::string::npos) w |= maskA;
        if (s.find('B') != std::string::npos) w |= maskB;
        b.Add(IoRecord(t, w));
    }
    return t;
}

struct Axle {
    unsigned whole, eighths, dir, flags;
    uint32_t time;
    unsigned number;
    bool operator==(const Axle&) const = default;
};

inline std::vector<Axle> ReadAxles(const std::vector<uint8_t>& file) {
    std::vector<Axle> out;
    for (const AxleView& v : AxleViews(file))
        out.push_back({v.Whole(), v.byte1 & 7u, v.byte0 & 1u, v.byte1 & layout::axle::kMovementMask, v.time, v.axle});
    return out;
}

}  // namespace fixture
