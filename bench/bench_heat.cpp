// heatalign and heatlink on the largest train a 16-bit record count allows
// (65,535 axles and as many hot-bearing readings), next to cp copying the
// same bytes: each program has to stay within a few times the cost of
// merely copying its inputs. heatalign runs on equal counts (nothing to do
// but load), on one missed reading (both tables printed, a dummy reading
// inserted, both files saved) and with option 3 (the table only); heatlink
// correlates the readings with a consist of 16,384 cars.
#include "AxleFile.h"
#include "ConsistLayout.h"
#include "DetectorFile.h"
#include "Platform.h"
#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

namespace ax = layout::axle;
namespace dt = layout::detector;
namespace cs = layout::consist;
namespace hd = layout::header;

constexpr int kRecords = 65535;

// Axle gaps of 4-axle cars at 40 mph: 95 ms within a truck, 500 ms between
// trucks and 200 ms between cars.
uint32_t GapOf(int i) {
    if (i == 0) return 0;
    switch (i % 4) {
    case 1: return 95;
    case 2: return 500;
    case 3: return 95;
    default: return 200;
    }
}

std::vector<uint8_t> Image(const CTrainFile& f) {
    std::vector<uint8_t> v(f.Header().begin(), f.Header().end());
    v.insert(v.end(), f.Data().begin(), f.Data().end());
    v.resize(hd::kSize + f.GetRecordLength() * f.GetCount());
    layout::Set(v, 0, hd::kFileLength, static_cast<uint32_t>(v.size()));
    return v;
}

std::vector<uint8_t> AxleImage() {
    CAxleFile f;
    f.SetHeaderField(hd::kRecordLength, ax::kRecordSize);
    f.Grow(kRecords);
    uint32_t t = 1000;
    for (int i = 0; i < kRecords; ++i) {
        t += GapOf(i);
        f.SetFieldAt(i, ax::kSpeedWhole, (40 << 1) | 1);
        f.SetFieldAt(i, ax::kTime, t);
        f.SetFieldAt(i, ax::kAxleNumber, static_cast<uint32_t>(i + 1));
    }
    return Image(f);
}

// Readings of every axle; with a missed one its gap goes to the next.
std::vector<uint8_t> ReadingImage(int missed) {
    CDetectorFile f;
    f.SetHeaderField(dt::kFirstSpeed, 40);
    f.SetHeaderField(dt::kLastSpeed, 40);
    const int n = missed >= 0 ? kRecords - 1 : kRecords;
    f.Grow(static_cast<unsigned>(n));
    for (int i = 0, k = 0; i < kRecords; ++i) {
        if (i == missed) continue;
        const uint32_t gap = GapOf(i) + (i == missed + 1 ? GapOf(missed) : 0);
        f.SetFieldAt(k, dt::kNumber, static_cast<uint32_t>(k + 1));
        f.SetFieldAt(k, dt::kMsSincePrevious, gap);
        f.SetFieldAt(k, dt::kSide1Code, 'N');
        f.SetFieldAt(k, dt::kSide2Code, i % 1000 == 7 ? 'A' : 'N');
        ++k;
    }
    return Image(f);
}

// 16,383 cars of 4 axles and one of 3: 65,535 axles.
std::vector<uint8_t> ConsistImage() {
    std::vector<uint8_t> v(hd::kSize, 0);
    constexpr int kCars = 16384;
    layout::Set(v, 0, hd::kFormat, 0x0100);
    layout::Set(v, 0, hd::kTypeGroup, cs::kTypeGroup);
    layout::Set(v, 0, hd::kTypeSubcode, cs::kTypeSubcode);
    layout::Set(v, 0, hd::kRecordCount, kCars);
    for (int c = 0; c < kCars; ++c) {
        const size_t at = v.size();
        v.resize(at + cs::kOneTagSize, 0);
        layout::Set(v, at, cs::kLength, cs::kOneTagSize);
        layout::Set(v, at, cs::kVehicleNumber, static_cast<uint32_t>(c));
        layout::Set(v, at, cs::kAxleCount, c == kCars - 1 ? 3 : 4);
        layout::Set(v, at, cs::kTagCount, 1);
    }
    layout::Set(v, 0, hd::kFileLength, static_cast<uint32_t>(v.size()));
    return v;
}

struct Scratch {
    std::string dir;
    std::vector<uint8_t> axles, readings, missedReadings, consist;
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/heat_bench_XXXXXX";
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        dir = tmpl;
        axles = AxleImage();
        readings = ReadingImage(-1);
        missedReadings = ReadingImage(kRecords / 2);
        consist = ConsistImage();
        Put("EQUAL.010", axles);
        Put("EQUAL.018", readings);
        Put("LINK.018", readings);
        Put("LINK.035", consist);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    void Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
        if (!plat::WriteNewFile(Path(name), bytes.data(), bytes.size())) throw std::runtime_error("cannot write " + name);
    }
};

Scratch& Files() {
    static Scratch s;
    return s;
}

// Runs a program in the scratch directory with its output thrown away.
int Spawn(std::vector<std::string> argv) { return bench::Spawn(std::move(argv), true, Files().dir.c_str()); }

void BM_HeatalignEqualCounts(benchmark::State& state) {
    Scratch& s = Files();
    for (auto _ : state)
        if (Spawn({HEATALIGN_PROGRAM, "EQUAL", "1"}) != 0) state.SkipWithError("heatalign failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (s.axles.size() + s.readings.size())));
}

void BM_HeatalignTableOnly(benchmark::State& state) {
    for (auto _ : state)
        if (Spawn({HEATALIGN_PROGRAM, "EQUAL", "3"}) != 0) state.SkipWithError("heatalign failed");
}

// One missed reading: backup, two tables, one dummy reading, both saves.
void BM_HeatalignOneDummy(benchmark::State& state) {
    Scratch& s = Files();
    for (auto _ : state) {
        state.PauseTiming();
        s.Put("MISS.010", s.axles);
        s.Put("MISS.018", s.missedReadings);
        state.ResumeTiming();
        if (Spawn({HEATALIGN_PROGRAM, "MISS", "1"}) != 1) state.SkipWithError("heatalign did not align");
    }
}

// What heatalign's files cost to copy: both inputs read, both written.
void BM_CpAlignFiles(benchmark::State& state) {
    for (auto _ : state)
        if (Spawn({"cp", "EQUAL.010", "COPY.010"}) != 0 || Spawn({"cp", "EQUAL.018", "COPY.018"}) != 0)
            state.SkipWithError("cp failed");
}

// The same copies made durable as heatalign makes its writes when it
// aligns (the backup and both files, each flushed to disk).
void BM_CpSyncAlignFiles(benchmark::State& state) {
    for (auto _ : state)
        if (Spawn({"cp", "EQUAL.018", "COPY.O18"}) != 0 || Spawn({"cp", "EQUAL.010", "COPY.010"}) != 0 ||
            Spawn({"cp", "EQUAL.018", "COPY.018"}) != 0 || Spawn({"sync", "COPY.O18", "COPY.010", "COPY.018"}) != 0)
            state.SkipWithError("cp failed");
}

void BM_Heatlink(benchmark::State& state) {
    for (auto _ : state)
        if (Spawn({HEATLINK_PROGRAM, "LINK.018", "LINK.035"}) != 0) state.SkipWithError("heatlink failed");
}

// heatlink's inputs copied: the readings and the consist.
void BM_CpLinkFiles(benchmark::State& state) {
    for (auto _ : state)
        if (Spawn({"cp", "LINK.018", "COPY.018"}) != 0 || Spawn({"cp", "LINK.035", "COPY.035"}) != 0)
            state.SkipWithError("cp failed");
}

}  // namespace

BENCHMARK(BM_HeatalignEqualCounts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HeatalignTableOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HeatalignOneDummy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CpAlignFiles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CpSyncAlignFiles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Heatlink)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CpLinkFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
