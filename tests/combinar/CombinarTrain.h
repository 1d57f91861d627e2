// Trains for the Combinar tests: axles placed by their distance in feet (the
// time between two axles follows from their speeds, as the axle file's
// distance rule reads it back), an optional consist and master allocation,
// and a run of the real program in a scratch directory with its outputs read
// back.
#pragma once

#include "AllocLayout.h"
#include "Records.h"
#include "Speed.h"
#include "TestSupport.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace combinar_test {

using namespace fixture;

constexpr unsigned k40Mph = 320;  // eighths: 18 ms per foot

struct AxleSpec {
    unsigned eighths;
    uint32_t time;  // ms
    unsigned dir;
};

class Axles {
public:
    // The first axle, at time 1000 ms.
    explicit Axles(unsigned eighths = k40Mph, unsigned dir = 1) { m_axles.push_back({eighths, 1000, dir}); }
    // The next axle, feet after the last one.
    Axles& Feet(double feet, std::optional<unsigned> eighths = {}) {
        const unsigned s = eighths ? *eighths : m_axles.back().eighths;
        const unsigned mpf = MsPerFootAtAverage(s + m_axles.back().eighths, 2);
        return Ms(static_cast<uint32_t>(std::lround(feet * mpf)), s);
    }
    // The next axle, ms after the last one.
    Axles& Ms(uint32_t ms, std::optional<unsigned> eighths = {}) {
        const AxleSpec& last = m_axles.back();
        m_axles.push_back({eighths ? *eighths : last.eighths, last.time + ms, last.dir});
        return *this;
    }
    Axles& Gaps(const std::vector<double>& feet) {
        for (double f : feet) Feet(f);
        return *this;
    }
    size_t Size() const { return m_axles.size(); }
    TrainFileBuilder File() const {
        TrainFileBuilder b = AxleFileBuilder();
        for (size_t i = 0; i < m_axles.size(); ++i)
            b.Add(AxleRecord(m_axles[i].eighths, m_axles[i].dir, m_axles[i].time, uint16_t(i + 1)));
        return b;
    }
    // The movement file: the same passages, and when asked one backward
    // passage, so that the train counts as having moved both ways.
    TrainFileBuilder Movements(bool backward) const {
        TrainFileBuilder b = File();
        if (backward) b.Add(AxleRecord(m_axles.back().eighths, m_axles.back().dir ^ 1, m_axles.back().time + 500, 1, 0x60));
        return b;
    }
    const std::vector<AxleSpec>& Specs() const { return m_axles; }

private:
    std::vector<AxleSpec> m_axles;
};

// One line of the fact table display.
struct FactRow {
    int index = 0, st = 0, dc = 0, dist = 0;
    std::string cl, dcl, ancC;
    bool stop = false;  // the '*' at the line's end
};

// Every fact table printed in a run's output (one per verbose run).
inline std::vector<FactRow> FactRows(const std::string& out) {
    std::vector<FactRow> rows;
    const std::string rule = "----- --- --- ---- --- --- ---- ------- ------- -------\n";
    size_t pos = out.find(rule);
    if (pos == std::string::npos) return rows;
    pos += rule.size();
    while (pos < out.size()) {
        const size_t end = out.find('\n', pos);
        const std::string line = out.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        FactRow r;
        char cl[8] = {}, dcl[8] = {}, anc[16] = {};
        if (std::sscanf(line.c_str(), "%d %d %d %d %7s %7s %15s", &r.index, &r.st, &r.dc, &r.dist, cl, dcl, anc) != 7)
            break;
        r.cl = cl;
        r.dcl = dcl;
        r.ancC = anc;
        r.stop = !line.empty() && line.back() == '*';
        rows.push_back(r);
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return rows;
}

// COMBINAR.DAT as its ten figures.
inline std::vector<int32_t> DatFigures(const std::vector<uint8_t>& bytes) {
    std::vector<int32_t> v;
    for (size_t off = 0; off + 4 <= bytes.size(); off += 4)
        v.push_back(static_cast<int32_t>(layout::GetLE(bytes, off, 4)));
    return v;
}

// The records of an allocation file image.
inline std::vector<Alloc> AllocRecords(const std::vector<uint8_t>& file) {
    namespace al = layout::alloc;
    std::vector<Alloc> out;
    for (size_t b = layout::header::kSize; b + al::kRecordSize <= file.size(); b += al::kRecordSize) {
        Alloc a;
        a.first = uint16_t(layout::Get(file, b, al::kFirstAxle));
        a.last = uint16_t(layout::Get(file, b, al::kLastAxle));
        a.start = layout::Get(file, b, al::kStartTime);
        a.end = layout::Get(file, b, al::kEndTime);
        a.egc = uint8_t(layout::Get(file, b, al::kEgc));
        a.seq = uint8_t(layout::Get(file, b, al::kSequence));
        a.part = uint8_t(layout::Get(file, b, al::kPart));
        a.speed = uint8_t(layout::Get(file, b, al::kSpeed));
        a.keyHigh = uint8_t(layout::Get(file, b, al::kKeyHigh));
        out.push_back(a);
    }
    return out;
}

// Axle counts of the records of an allocation, "4", "3-2-3" ... per car.
inline std::vector<std::string> CarShapes(const std::vector<Alloc>& recs) {
    std::vector<std::string> cars;
    int key = -1;
    for (const Alloc& a : recs) {
        const int k = a.keyHigh * 256 + a.seq;
        const std::string n = std::to_string(int(a.last) - int(a.first) + 1);
        if (k != key || cars.empty())
            cars.push_back(n);
        else
            cars.back() += "-" + n;
        key = k;
    }
    return cars;
}

struct Train {
    TempDir dir;
    std::string base = "T";
    RunResult run;

    void Write(const std::string& ext, const TrainFileBuilder& b) const { b.Write(dir.File(base + ext)); }
    // The axle file, and a movement file that moved both ways unless asked.
    void WriteAxles(const Axles& a, bool backward = true) const {
        Write(".010", a.File());
        Write(".011", a.Movements(backward));
    }
    RunResult& Run(std::vector<std::string> args = {}) {
        args.insert(args.begin(), base);
        run = RunProgram(ProgramPath("Combinar"), args, dir.Path());
        return run;
    }
    std::vector<uint8_t> Bytes(const std::string& name) const { return ReadFileBytes(dir.File(name)); }
    bool Has(const std::string& name) const { return PathExists(dir.File(name)); }
    std::vector<int32_t> Dat() const { return DatFigures(Bytes("COMBINAR.DAT")); }
    std::vector<Alloc> Candidate(int k) const {
        char name[32];
        std::snprintf(name, sizeof name, "CMBN%04d.041", k);
        return AllocRecords(Bytes(name));
    }
};

// Consist entries for anchors: two clean tag reads, read status 0.
inline std::vector<uint8_t> TaggedCar(uint16_t vehicle, unsigned axles, uint16_t first, uint8_t status = 0,
                                      uint16_t flags1 = 0, uint16_t flags2 = 0, uint8_t egc = 19) {
    ConsistEntrySpec e;
    e.vehicle = vehicle;
    e.axles = axles;
    e.firstAxle = first;
    e.status = status;
    e.egc = egc;
    e.reads = {TagRead{flags1, "", 'N'}, TagRead{flags2, "", 'N'}};
    return ConsistEntry(e).Bytes();
}

}  // namespace combinar_test
