// Record makers for the Trimwell program tests: axle events (.010), wheel
// events (.012), axle allocations (.041) and tag reads (.060 - .067).
#pragma once

#include "AllocLayout.h"
#include "AxleLayout.h"
#include "TagLayout.h"
#include "WheelLayout.h"
#include "TestSupport.h"
#include "TrainFileBuilder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

// An .010 record: speed in eighths of a mph, direction bit, raw time,
// axle number and extra bits for byte 1 (marker, movement flags).
inline Record AxleRec(unsigned eighths, unsigned dir, uint32_t time, uint16_t axle, uint8_t flags = 0) {
    Record r(layout::axle::kRecordSize);
    r.Set(layout::axle::kSpeedWhole, ((eighths / 8) << 1) | (dir & 1));
    r.Set(layout::axle::kSpeedEighths, (eighths & 7) | flags);
    r.Set(layout::axle::kTime, time);
    r.Set(layout::axle::kAxleNumber, axle);
    return r;
}

inline TrainFileBuilder AxleFile() {
    TrainFileBuilder b;
    b.Type(layout::axle::kTypeGroup, layout::axle::kTypeSubcode);
    return b;
}

// A .012 record: detector (0 = A, 1 = B) and raw time.
inline Record WheelRec(uint8_t detector, uint32_t time, uint8_t flags = 0) {
    Record r(layout::wheel::kRecordSize);
    r.Set(layout::wheel::kDetector, detector);
    r.Set(layout::wheel::kFlags, flags);
    r.Set(layout::wheel::kTime, time);
    return r;
}

inline TrainFileBuilder WheelFile(uint8_t abSpacing) {
    TrainFileBuilder b;
    b.Type(layout::wheel::kTypeGroup, layout::wheel::kTypeSubcode);
    b.Header(layout::wheel::kAbSpacing, abSpacing);
    return b;
}

// A .041 record of a vehicle written as one record (part 255).
inline Record AllocRec(uint16_t first, uint16_t last, uint8_t egc, uint8_t seq) {
    Record r(layout::alloc::kRecordSize);
    r.Set(layout::alloc::kFirstAxle, first);
    r.Set(layout::alloc::kLastAxle, last);
    r.Set(layout::alloc::kEgc, egc);
    r.Set(layout::alloc::kSequence, seq);
    r.Set(layout::alloc::kPart, layout::alloc::kPartWhole);
    return r;
}

inline TrainFileBuilder AllocFile() {
    TrainFileBuilder b;
    b.Type(layout::alloc::kTypeGroup, layout::alloc::kTypeSubcode);
    return b;
}

// A .060 - .067 record with a raw time and a lead character.
inline Record TagRec(uint32_t time) {
    Record r(layout::tagread::kRecordSize);
    r.Set(layout::tagread::kTime, time);
    r.Set(layout::tagread::kLead, 'X');
    return r;
}

inline TrainFileBuilder TagFile() {
    TrainFileBuilder b;
    b.Type(layout::tagread::kTypeGroup, layout::tagread::kTypeSubcode);
    return b;
}

// One axle record as read back from a file image.
struct AxleView {
    unsigned byte0 = 0, byte1 = 0;
    uint32_t time = 0;
    unsigned axle = 0;
    unsigned Eighths() const { return (byte0 >> 1) * 8 + (byte1 & 7); }
    unsigned Whole() const { return byte0 >> 1; }
};

inline std::vector<AxleView> ReadAxles(const std::string& path) {
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::vector<AxleView> out;
    for (size_t off = layout::header::kSize; off + layout::axle::kRecordSize <= bytes.size();
         off += layout::axle::kRecordSize) {
        AxleView v;
        v.byte0 = layout::Get(bytes, off, layout::axle::kSpeedWhole);
        v.byte1 = layout::Get(bytes, off, layout::axle::kSpeedEighths);
        v.time = layout::Get(bytes, off, layout::axle::kTime);
        v.axle = layout::Get(bytes, off, layout::axle::kAxleNumber);
        out.push_back(v);
    }
    return out;
}

// A whole train "T" composed vehicle by vehicle: the .010 (axles at 40 mph
// unless given otherwise, so 18 ms make one foot), the .041 of the vehicles
// marked allocated, and a .012 with an A event at every axle time and a B
// event abMs later.
struct TrainSpec {
    struct Vehicle {
        uint8_t egc;
        unsigned axles;
        uint32_t leadGap;   // ms between the first two axles
        uint32_t trailGap;  // ms between the last two axles
        bool allocated = true;
        unsigned eighths = 320;
    };
    std::vector<Vehicle> vehicles;
    uint8_t abSpacing = 60;
    uint32_t abMs = 10;
    uint32_t start = 1000;

    TrainSpec& Add(uint8_t egc, unsigned axles, uint32_t lead, uint32_t trail) {
        vehicles.push_back({egc, axles, lead, trail});
        return *this;
    }
    TrainSpec& AddLoose(unsigned axles, unsigned eighths = 320) {  // axles of no vehicle
        vehicles.push_back({0, axles, 400, 400, false, eighths});
        return *this;
    }

    // Axle times in order.
    std::vector<uint32_t> Times() const {
        std::vector<uint32_t> t;
        uint32_t now = start;
        for (const Vehicle& v : vehicles) {
            for (unsigned a = 0; a < v.axles; ++a) {
                if (a > 0) now += a == 1 ? v.leadGap : a + 1 == v.axles ? v.trailGap : 400;
                t.push_back(now);
            }
            now += 300;
        }
        return t;
    }

    void Write(const TempDir& d) const {
        TrainFileBuilder axles = AxleFile(), alloc = AllocFile(), wheel = WheelFile(abSpacing);
        const std::vector<uint32_t> t = Times();
        unsigned idx = 0;
        uint8_t seq = 0;
        for (const Vehicle& v : vehicles) {
            if (v.allocated && v.axles > 0)
                alloc.Add(AllocRec(uint16_t(idx), uint16_t(idx + v.axles - 1), v.egc, seq++));
            for (unsigned a = 0; a < v.axles; ++a, ++idx) {
                axles.Add(AxleRec(v.eighths, 1, t[idx], uint16_t(idx + 1), layout::axle::kGapMarker));
                wheel.Add(WheelRec(layout::wheel::kDetectorA, t[idx]));
                wheel.Add(WheelRec(layout::wheel::kDetectorB, t[idx] + abMs));
            }
        }
        axles.Write(d.File("T.010"));
        if (seq > 0) alloc.Write(d.File("T.041"));
        wheel.Write(d.File("T.012"));
    }
};

inline RunResult RunTrimwell(const std::string& dir, const std::vector<std::string>& args) {
    return RunProgram(ProgramPath("Trimwell"), args, dir);
}

}  // namespace fixture
