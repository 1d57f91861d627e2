// IO event (.007) files for the edgemill tests: detector states written as
// short sequences, and the axle records read back.
#pragma once

#include "AxleLayout.h"
#include "HeaderLayout.h"
#include "IoLayout.h"
#include "TrainFileBuilder.h"

#include <sstream>
#include <string>
#include <vector>

namespace fixture {

constexpr uint16_t kWda = layout::io::kDefaultMaskA;
constexpr uint16_t kWdb = layout::io::kDefaultMaskB;

inline Record IoRecord(uint32_t time, uint16_t inputs, uint16_t flags = layout::io::kDetectorEventFlag) {
    Record r(layout::io::kRecordSize);
    r.Set(layout::io::kTime, time).Set(layout::io::kInputs, inputs).Set(layout::io::kFlags, flags);
    return r;
}

// An IO file of a later recorder (version 1), AB spacing 6.0 inches.
inline TrainFileBuilder IoFileBuilder() {
    TrainFileBuilder b;
    b.Type(layout::io::kTypeGroup, layout::io::kTypeSubcode);
    b.Header(layout::io::kAbSpacing, 60).Header(layout::io::kRecorderVersion, 1);
    return b;
}

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
    for (size_t base = layout::header::kSize; base + layout::axle::kRecordSize <= file.size();
         base += layout::axle::kRecordSize) {
        unsigned b0 = layout::Get(file, base, layout::axle::kSpeedWhole);
        unsigned b1 = layout::Get(file, base, layout::axle::kSpeedEighths);
        out.push_back({b0 >> 1, b1 & 7u, b0 & 1u, b1 & layout::axle::kMovementMask,
                       layout::Get(file, base, layout::axle::kTime), layout::Get(file, base, layout::axle::kAxleNumber)});
    }
    return out;
}

}  // namespace fixture
