// Trains for the Trimwell program tests: a whole train composed vehicle by
// vehicle, the axle records read back, and the program run.
#pragma once

#include "AllocLayout.h"
#include "AxleLayout.h"
#include "Records.h"
#include "TestSupport.h"
#include "WheelLayout.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

inline std::vector<AxleView> ReadAxles(const std::string& path) { return AxleViews(ReadFileBytes(path)); }

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
        TrainFileBuilder axles = AxleFileBuilder(), alloc = AllocFileBuilder(), wheel = WheelFileBuilder(abSpacing);
        const std::vector<uint32_t> t = Times();
        unsigned idx = 0;
        uint8_t seq = 0;
        for (const Vehicle& v : vehicles) {
            if (v.allocated && v.axles > 0)
                alloc.Add(AllocRecord(
                    {.first = uint16_t(idx), .last = uint16_t(idx + v.axles - 1), .egc = v.egc, .seq = seq++}));
            for (unsigned a = 0; a < v.axles; ++a, ++idx) {
                axles.Add(AxleRecord(v.eighths, 1, t[idx], uint16_t(idx + 1), layout::axle::kGapMarker));
                wheel.Add(WheelRecord(layout::wheel::kDetectorA, t[idx]));
                wheel.Add(WheelRecord(layout::wheel::kDetectorB, t[idx] + abMs));
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
