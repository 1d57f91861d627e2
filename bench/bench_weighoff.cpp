// Weighoff on two consists of 65,535 entries (the most a 16-bit count
// allows), next to cp copying the same two files: the comparison walks each
// consist forward car by car, so it has to stay within a few times the cost
// of copying its inputs. Also the evaluation of one consist in memory, and
// the same evaluation with every car looked up again from the first entry
// (how a walk by vehicle number would go) on a consist of 4,000 entries.
#include "BenchSupport.h"
#include "ConsistFile.h"
#include "ConsistLayout.h"
#include "Evaluation.h"
#include "HeaderLayout.h"
#include "Platform.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <stdexcept>

namespace {

namespace cs = layout::consist;
namespace hd = layout::header;

// A consist of n cars, vehicle numbers from 0, one tag read each; every
// 7th car has an odd axle count and every 11th an unclean tag.
std::vector<uint8_t> LargeConsist(unsigned n) {
    std::vector<uint8_t> file(hd::kSize, 0);
    layout::Set(file, 0, hd::kFormat, 0x0100);
    layout::Set(file, 0, hd::kTypeGroup, cs::kTypeGroup);
    layout::Set(file, 0, hd::kTypeSubcode, cs::kTypeSubcode);
    layout::Set(file, 0, hd::kRecordCount, n);
    for (unsigned i = 0; i < n; ++i) {
        std::vector<uint8_t> e(cs::kOneTagSize, 0);
        layout::Set(e, 0, cs::kLength, static_cast<uint32_t>(e.size()));
        layout::Set(e, 0, cs::kVehicleNumber, i);
        layout::Set(e, 0, cs::kAxleCount, i % 7 == 3 ? 3 : 4);
        layout::Set(e, 0, cs::kTagCount, 1);
        layout::Set(e, 0, cs::kEgc, i == 0 ? 5 : 19);
        layout::Set(e, cs::kTagBlock1, cs::kTagFlags, i % 11 == 5 ? 0x01 : 0);
        file.insert(file.end(), e.begin(), e.end());
    }
    layout::Set(file, 0, hd::kFileLength, static_cast<uint32_t>(file.size()));
    return file;
}

struct Scratch {
    bench::ScratchDir scratch{"weighoff_bench"};
    std::string dir = scratch.Path();
    size_t bytes = 0;
    Scratch() {
        const auto large = LargeConsist(0xFFFF);
        bytes = large.size();
        if (!plat::WriteNewFile(dir + "/T1.035", large.data(), large.size()) ||
            !plat::WriteNewFile(dir + "/T2.035", large.data(), large.size()))
            throw std::runtime_error("cannot write the consists");
        const auto small = LargeConsist(4000);
        if (!plat::WriteNewFile(dir + "/S.035", small.data(), small.size()))
            throw std::runtime_error("cannot write the small consist");
    }
};

Scratch& Files() {
    static Scratch s;
    return s;
}

int Spawn(std::vector<std::string> argv) { return bench::Spawn(std::move(argv), true); }

void BM_Weighoff(benchmark::State& state) {
    Scratch& s = Files();
    for (auto _ : state) {
        if (Spawn({WEIGHOFF_PROGRAM, s.dir + "/T1", s.dir + "/T2", s.dir + "/report"}) != 0)
            state.SkipWithError("Weighoff failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2 * s.bytes));
}

void BM_CpBothConsists(benchmark::State& state) {
    Scratch& s = Files();
    for (auto _ : state) {
        if (Spawn({"cp", s.dir + "/T1.035", s.dir + "/COPY1"}) != 0 ||
            Spawn({"cp", s.dir + "/T2.035", s.dir + "/COPY2"}) != 0)
            state.SkipWithError("cp failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 2 * s.bytes));
}

void BM_EvaluateForward(benchmark::State& state) {
    Scratch& s = Files();
    const std::string name = s.dir + (state.range(0) ? "/T1.035" : "/S.035");
    FILE* sink = std::fopen("/dev/null", "w");
    for (auto _ : state) benchmark::DoNotOptimize(weighoff::EvaluateConsist(name, weighoff::Scoring::kScored, sink));
    std::fclose(sink);
}

// The cars found by looking each vehicle number up from the first entry.
void BM_CarsLookedUpFromTheStart(benchmark::State& state) {
    Scratch& s = Files();
    for (auto _ : state) {
        CConsistFile consist;
        consist.Load((s.dir + "/S.035").c_str());
        unsigned cars = 0;
        for (int n = 0; consist.FindVehicle(n); ++n) ++cars;
        benchmark::DoNotOptimize(cars);
    }
}

}  // namespace

BENCHMARK(BM_Weighoff)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CpBothConsists)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EvaluateForward)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CarsLookedUpFromTheStart)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
