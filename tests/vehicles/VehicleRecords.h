// Trains for the wheel, allocation, summary, consist and car list tests:
// axles placed by distance, and consist entries whose fields carry values
// recognisable in the car list.
#pragma once

#include "Records.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

// Axles at 40 mph (18 ms per foot) placed at the given distances in feet
// from the first axle.
inline TrainFileBuilder AxlesAtFeet(const std::vector<double>& feet, unsigned eighths = 320) {
    TrainFileBuilder b = AxleFileBuilder();
    for (size_t i = 0; i < feet.size(); ++i)
        b.Add(AxleRecord(eighths, 1, 1000 + static_cast<uint32_t>(feet[i] * 18), static_cast<uint16_t>(i + 1)));
    return b;
}

// Positions of a locomotive (4 axles) followed by units whose axles pair
// into trucks 5 ft long; truckGap is the distance from one truck to the
// next (articulated trains: 50 ft; ordinary freight alternates with the
// short coupling gap between cars).
inline std::vector<double> LocoThenTrucks(int axles, double truckGap, double couplingGap = -1) {
    std::vector<double> feet = {0, 9, 40, 49};
    double x = 49;
    for (int i = 4; i < axles; ++i) {
        if (i == 4) x += 12;  // locomotive to the first truck
        else if (i % 2 == 1) x += 5;  // within a truck
        else if (couplingGap > 0 && (i - 4) % 4 == 0) x += couplingGap;
        else x += truckGap;
        feet.push_back(x);
    }
    return feet;
}

// A text whose equipment group code (1) has no layout: it never decodes.
inline std::string UndecodableText() { return std::string("\"") + std::string(19, ' '); }

struct Vehicle {
    uint16_t number;
    uint8_t egc;
    uint8_t status = 0;
    uint8_t axles = 4;
    uint16_t firstAxle = 0;
    std::vector<TagRead> reads = {};
    std::vector<std::vector<uint8_t>> subRecords = {};
};

// A consist entry of the vehicle with recognisable values in the fields the
// car list copies.
inline Record VehicleEntry(const Vehicle& v) {
    return ConsistEntry({.vehicle = v.number,
                         .orientation = 1,
                         .byte6 = uint8_t(0x60 + v.number),
                         .axles = v.axles,
                         .vehicleLength = uint16_t(500 + v.number),
                         .word12 = 1000u * v.number,
                         .firstAxle = v.firstAxle,
                         .status = v.status,
                         .egc = v.egc,
                         .reads = v.reads,
                         .after = v.subRecords});
}

}  // namespace fixture
