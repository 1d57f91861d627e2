// Axle records for the trainfile tests.
#pragma once

#include "AxleLayout.h"
#include "TrainFileBuilder.h"

namespace fixture {

// An .010/.011 record: speed in eighths of a mph, direction bit, raw time,
// axle number and extra flag bits for byte 1.
inline Record AxleRecord(unsigned eighths, unsigned dir, uint32_t time, uint16_t axle, uint8_t flags = 0) {
    Record r(layout::axle::kRecordSize);
    r.Set(layout::axle::kSpeedWhole, ((eighths / 8) << 1) | (dir & 1));
    r.Set(layout::axle::kSpeedEighths, (eighths & 7) | flags);
    r.Set(layout::axle::kTime, time);
    r.Set(layout::axle::kAxleNumber, axle);
    return r;
}

inline TrainFileBuilder AxleFileBuilder() {
    TrainFileBuilder b;
    b.Type(layout::axle::kTypeGroup, layout::axle::kTypeSubcode);
    return b;
}

}  // namespace fixture
