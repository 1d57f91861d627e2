// Trimwell's train combination (OP13) of two simulated trains of 32,767 IO
// event records each (the combined .007 then holds 65,534 of the 65,535
// records a 16-bit count allows), next to one cp copying the same six
// source files: the same bytes read and the same number written.
#include "Trimwell.h"

#include "BenchSupport.h"
#include "LargeTrain.h"
#include "SiteFiles.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <sys/stat.h>

namespace {

constexpr unsigned kRecordsPerTrain = 32767;
const char* const kExtensions[] = {".007", ".060", ".012"};

struct Trains {
    bench::ScratchDir dir{"trimwell_combine_bench"};
    std::string t1 = dir.File("T1"), t2 = dir.File("T2"), out = dir.File("C");
    int64_t bytes = 0;  // of the six source files
    Trains() {
        for (auto [base, seed] : {std::pair{t1, 1}, std::pair{t2, 2}}) {
            trainsim::Simulation sim;
            std::vector<trainsim::WrittenFile> written;
            std::string error;
            if (!trainsim::Simulate(trainsim::LargeTrain(kRecordsPerTrain, uint64_t(seed)), sim, error) ||
                !trainsim::WriteSiteFiles(sim, base, written, error))
                throw std::runtime_error("cannot make the train: " + error);
            for (const char* ext : kExtensions) {
                struct stat st{};
                if (::stat((base + ext).c_str(), &st) != 0) throw std::runtime_error("missing " + base + ext);
                bytes += st.st_size;
            }
        }
        std::filesystem::create_directory(dir.File("copy"));
    }
};

Trains& Files() {
    static Trains t;
    return t;
}

void BM_CombineTrains(benchmark::State& state) {
    Trains& t = Files();
    for (auto _ : state) {
        if (bench::Spawn({TRIMWELL_PROGRAM, t.out, "/OP13", "/T1=" + t.t1, "/T2=" + t.t2}, true) != 0)
            state.SkipWithError("Trimwell failed");
    }
    if (!std::filesystem::exists(t.out + ".012")) state.SkipWithError("no combined .012");
    state.SetBytesProcessed(state.iterations() * t.bytes);
}

void BM_CpSameBytes(benchmark::State& state) {
    Trains& t = Files();
    std::vector<std::string> argv{"cp"};
    for (const std::string& base : {t.t1, t.t2})
        for (const char* ext : kExtensions) argv.push_back(base + ext);
    argv.push_back(t.dir.File("copy"));
    for (auto _ : state) {
        if (bench::Spawn(argv) != 0) state.SkipWithError("cp failed");
    }
    state.SetBytesProcessed(state.iterations() * t.bytes);
}

// The combination alone, without process start.
void BM_CombineInProcess(benchmark::State& state) {
    Trains& t = Files();
    FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) {
        if (!CombineTrains(t.t1, t.t2, t.out, sink)) state.SkipWithError("combination failed");
    }
    std::fclose(sink);
    state.SetBytesProcessed(state.iterations() * t.bytes);
}

}  // namespace

BENCHMARK(BM_CombineTrains)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CpSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CombineInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
