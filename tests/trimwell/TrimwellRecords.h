// Record makers for the Trimwell program tests: axle events (.010).
#pragma once

#include "AxleLayout.h"
#include "TestSupport.h"
#include "TrainFileBuilder.h"

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

inline RunResult RunTrimwell(const std::string& dir, const std::vector<std::string>& args) {
    return RunProgram(ProgramPath("Trimwell"), args, dir);
}

}  // namespace fixture
