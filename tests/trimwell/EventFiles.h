// Wheel event, axle and IO files for the event fix-up and movement tests:
// written from short lists, read back as lists, and an operation's printed
// text captured when it is called in the test program itself.
#pragma once

#include "TrimwellRecords.h"

#include <cstdio>
#include <functional>

namespace fixture {

struct Ev {
    uint8_t det;
    uint32_t t;
    uint8_t flags = 0;
    bool operator==(const Ev&) const = default;
};

inline void WriteWheel(const std::string& path, const std::vector<Ev>& ev, uint8_t ab = 60, uint32_t num = 1,
                       uint16_t exp = 0) {
    TrainFileBuilder b = WheelFileBuilder(ab);
    b.TimeScale(num, exp);
    for (const Ev& e : ev) b.Add(WheelRecord(e.det, e.t, e.flags));
    b.Write(path);
}

inline std::vector<Ev> ReadWheel(const std::string& path) {
    namespace wh = layout::wheel;
    const std::vector<uint8_t> f = ReadFileBytes(path);
    std::vector<Ev> out;
    for (size_t at = layout::header::kSize; at + wh::kRecordSize <= f.size(); at += wh::kRecordSize)
        out.push_back({uint8_t(layout::Get(f, at, wh::kDetector)), layout::Get(f, at, wh::kTime),
                       uint8_t(layout::Get(f, at, wh::kFlags))});
    return out;
}

// Axles at the given raw times, all at one speed (eighths of a mph) and
// direction bit.
inline void WriteAxles(const std::string& path, const std::vector<uint32_t>& times, unsigned eighths = 320,
                       unsigned dir = 1) {
    TrainFileBuilder b = AxleFileBuilder();
    uint16_t n = 1;
    for (uint32_t t : times) b.Add(AxleRecord(eighths, dir, t, n++));
    b.Write(path);
}

// What fn prints into the stream it is given.
inline std::string Capture(const std::function<void(FILE*)>& fn) {
    char* buf = nullptr;
    size_t len = 0;
    FILE* f = open_memstream(&buf, &len);
    fn(f);
    std::fclose(f);
    std::string s(buf, len);
    std::free(buf);
    return s;
}

// The text of the one report row of a single-operation run, after the
// description column.
inline std::string RowResult(const std::string& out) {
    const size_t header = out.find("-------------------------\n");
    if (header == std::string::npos) return out;
    std::string row = out.substr(header + 26);
    if (row.size() >= 38) row = row.substr(38);
    if (row.size() >= 2 && row.compare(row.size() - 2, 2, "\n\n") == 0) row.resize(row.size() - 2);
    return row;
}

}  // namespace fixture
