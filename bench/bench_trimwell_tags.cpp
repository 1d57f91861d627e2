// Trimwell's tag read operations on the largest simulated train (a .007 of
// 65,535 records, its .010 made by the IO edge decoding), each next to cp
// copying the files the operation reads to as many outputs:
//   OP9  reads .010 and .060, rewrites .060     vs cp of .010 and of .060
//   OP16 reads .060 and .064, writes MERGED.06x vs cp of .060 and of .064
//   OP17 reads .060, writes .S60                vs cp of .060
// The site has two antennas per side, so OP16 has pairs to merge, and the
// .060 is restored before every OP9 run so that each run rewrites it.
// The axle lookup of OP9 is also timed alone, against the walk from the
// front of the train for every read.
#include "BenchSupport.h"
#include "Edgemill.h"
#include "LargeTrainFiles.h"
#include "TagFixups.h"

#include "AxleLayout.h"
#include "HeaderLayout.h"
#include "LargeTrain.h"
#include "Platform.h"
#include "SiteFiles.h"
#include "TagLayout.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

namespace hd = layout::header;

struct Scratch {
    std::string dir, base;
    std::vector<uint8_t> tags060;
    std::vector<int64_t> axleMs, readMs;
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/trimwell_tags_bench_XXXXXX";
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        dir = tmpl;
        base = dir + "/BENCH";
        trainsim::TrainDescription desc = trainsim::LargeTrain(trainsim::kMaxFileRecords, 1);
        desc.site.antennasPerSide = 2;
        const EdgemillConversion c = bench::WriteLargeTrain(desc, base);
        if (!plat::ReadWholeFile(base + ".060", tags060)) throw std::runtime_error("cannot read the .060 back");
        for (size_t off = hd::kSize; off + layout::axle::kRecordSize <= c.axles.size(); off += layout::axle::kRecordSize)
            axleMs.push_back(layout::Get(c.axles, off, layout::axle::kTime));
        for (size_t off = hd::kSize; off + layout::tagread::kRecordSize <= tags060.size();
             off += layout::tagread::kRecordSize)
            readMs.push_back(layout::Get(tags060, off, layout::tagread::kTime));
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    void Restore060() const { plat::WriteNewFile(base + ".060", tags060.data(), tags060.size()); }
};

Scratch& Files() {
    static Scratch s;
    return s;
}

// Runs a program in dir with its output discarded; its exit status.
int Spawn(const std::string& dir, std::vector<std::string> argv) { return bench::Spawn(std::move(argv), true, dir.c_str()); }

void RunTrimwell(benchmark::State& state, const char* op, bool restore) {
    Scratch& s = Files();
    for (auto _ : state) {
        if (restore) {
            state.PauseTiming();
            s.Restore060();
            state.ResumeTiming();
        }
        if (Spawn(s.dir, {TRIMWELL_PROGRAM, "BENCH", op, "/S=-250"}) != 0) state.SkipWithError("Trimwell failed");
    }
}

void Copy(benchmark::State& state, std::initializer_list<const char*> exts) {
    Scratch& s = Files();
    for (auto _ : state) {
        for (const char* ext : exts)
            if (Spawn(s.dir, {"cp", std::string("BENCH") + ext, std::string("COPY") + ext}) != 0)
                state.SkipWithError("cp failed");
    }
}

void BM_Op9SpeedAndDirection(benchmark::State& state) { RunTrimwell(state, "/OP9", true); }
void BM_Op9Cp(benchmark::State& state) { Copy(state, {".010", ".060"}); }
void BM_Op16DualAntenna(benchmark::State& state) { RunTrimwell(state, "/OP16", false); }
void BM_Op16Cp(benchmark::State& state) { Copy(state, {".060", ".064"}); }
void BM_Op17TimeShift(benchmark::State& state) { RunTrimwell(state, "/OP17", false); }
void BM_Op17Cp(benchmark::State& state) { Copy(state, {".060"}); }

void BM_AxleLookupBinarySearch(benchmark::State& state) {
    Scratch& s = Files();
    for (auto _ : state) benchmark::DoNotOptimize(AxleForEachRead(s.axleMs, s.readMs));
    state.counters["axles"] = static_cast<double>(s.axleMs.size());
    state.counters["reads"] = static_cast<double>(s.readMs.size());
}

void BM_AxleLookupWalk(benchmark::State& state) {
    Scratch& s = Files();
    for (auto _ : state) benchmark::DoNotOptimize(AxleForEachReadByWalk(s.axleMs, s.readMs));
}

}  // namespace

BENCHMARK(BM_Op9SpeedAndDirection)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op9Cp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op16DualAntenna)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op16Cp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op17TimeShift)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op17Cp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AxleLookupBinarySearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AxleLookupWalk)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
