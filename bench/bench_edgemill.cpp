// edgemill on the largest IO file a 16-bit record count allows (65,535
// records), next to cp copying the same file to two outputs: the program has
// to stay within a few times the cost of merely copying its input twice.
// The input is a simulated train: two locomotives and some four thousand
// cars changing speed between 10 and 45 mph, with stops in which two axles
// back out over the detectors and return.
#include "Edgemill.h"

#include "AxleLayout.h"
#include "HeaderLayout.h"
#include "LargeTrain.h"
#include "Platform.h"
#include "SiteFiles.h"
#include "SpawnProgram.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

namespace hd = layout::header;

constexpr unsigned kRecords = trainsim::kMaxFileRecords;

struct Scratch {
    std::string dir, base, input;
    std::vector<uint8_t> bytes;
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/edgemill_bench_XXXXXX";
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        dir = tmpl;
        base = dir + "/BENCH";
        input = base + ".007";
        trainsim::Simulation sim;
        std::vector<trainsim::WrittenFile> written;
        std::string error;
        if (!trainsim::Simulate(trainsim::LargeTrain(kRecords, 1), sim, error) ||
            !trainsim::WriteSiteFiles(sim, base, written, error))
            throw std::runtime_error("cannot make the train: " + error);
        if (!plat::ReadWholeFile(input, bytes)) throw std::runtime_error("cannot read the input back");
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Scratch& Files() {
    static Scratch s;
    return s;
}

int Spawn(std::vector<std::string> argv) { return bench::SpawnProgram(std::move(argv)); }

void BM_Edgemill(benchmark::State& state) {
    Scratch& s = Files();
    for (auto _ : state) {
        if (Spawn({EDGEMILL_PROGRAM, s.base}) != 0) state.SkipWithError("edgemill failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.bytes.size()));
}

void BM_CpToTwoOutputs(benchmark::State& state) {
    Scratch& s = Files();
    for (auto _ : state) {
        if (Spawn({"cp", s.input, s.dir + "/COPY1"}) != 0 || Spawn({"cp", s.input, s.dir + "/COPY2"}) != 0)
            state.SkipWithError("cp failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * s.bytes.size()));
}

// The conversion alone, without process start and file system.
void BM_ConvertInMemory(benchmark::State& state) {
    Scratch& s = Files();
    size_t passages = 0;
    for (auto _ : state) {
        EdgemillConversion c = ConvertIoEvents(s.bytes, EdgemillOptions{});
        passages = (c.movements.size() - hd::kSize) / layout::axle::kRecordSize;
        benchmark::DoNotOptimize(c);
    }
    state.counters["passages"] = static_cast<double>(passages);
}

}  // namespace

BENCHMARK(BM_Edgemill)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CpToTwoOutputs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ConvertInMemory)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
