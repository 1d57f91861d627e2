// Counters over the vehicles of a car list (.036), shared by this library's
// CCarListFile and the current library's car list class.
#pragma once

#include "CarListLayout.h"
#include "ConsistLayout.h"

#include <cstdint>

// Counts over the vehicles of a car list (first record of each vehicle).
struct CarListCounters {
    int locomotives = 0;      // EGC 5
    int locomotivesRead = 0;  // EGC 5 with a read status other than 4
    int others = 0;
    int othersRead = 0;
    int axles = 0;            // first axle + axle count of the last vehicle
    int status[5] = {};       // vehicles with read status 0..4
};

// Adds the vehicle whose first record is the current record of list. The
// class passes itself, so the fields are read through its own accessors.
template <class CarList>
void CountCarListVehicle(CarListCounters& counters, const CarList& list) {
    namespace cl = layout::carlist;
    namespace cs = layout::consist;
    const uint32_t status = list.GetField(cl::kReadStatus);
    const bool read = status != cs::kStatusNoTag;
    if (list.GetField(cl::kEgc) == cs::kEgcLocomotive) {
        ++counters.locomotives;
        if (read) ++counters.locomotivesRead;
    } else {
        ++counters.others;
        if (read) ++counters.othersRead;
    }
    counters.axles = static_cast<int>(list.GetField(cl::kFirstAxle) + list.GetField(cl::kAxleCount));
    if (status <= cs::kStatusNoTag) ++counters.status[status];
}
