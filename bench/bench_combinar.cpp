// Combinar on a train of 1,999 axles: 490 cars confirmed by their tags, a
// few cars without tags at the head, and a tail of 15 axles with 8 uncertain
// gaps (all 6,561 combinations, more than 32 of them tied for the best
// score). Timed: the whole first pass (build, checksum and score of every
// combination), one build done the direct way (master re-read, cars found
// by walking, records appended one by one), and the whole program,
// including its 32 candidate saves.
#include "BenchSupport.h"
#include "Combinar.h"
#include "CombinarTrain.h"
#include "LiteralBuild.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>
#include <unordered_set>

using namespace combinar_test;

namespace {

struct BenchTrain {
    TempDir dir;
    std::string base = "BENCH";
    BenchTrain() {
        Axles a;
        TrainFileBuilder master = AllocFileBuilder();
        std::vector<std::vector<uint8_t>> consist;
        int axle = 0;
        auto car = [&](bool tagged) {
            const uint8_t n = uint8_t(consist.size());
            if (axle > 0) a.Feet(20);
            a.Gaps({5, 40, 5});
            const auto& s = a.Specs();
            master.Add(AllocRecord({uint16_t(axle), uint16_t(axle + 3), s[axle].time, s[axle + 3].time, 19, n,
                                    255, 81, uint8_t(consist.size() >> 8)}));
            consist.push_back(TaggedCar(uint16_t(consist.size()), 4, uint16_t(axle), tagged ? 0 : 1));
            axle += 4;
        };
        for (int c = 0; c < 6; ++c) car(false);
        for (int c = 0; c < 490; ++c) car(true);
        a.Gaps({20, 100, 100, 100, 20, 5, 100, 5, 100, 5, 100, 100, 5, 100, 5});
        master.Add(AllocRecord({uint16_t(axle), uint16_t(axle + 14), 0, 0, 19, uint8_t(consist.size()), 255, 81,
                                uint8_t(consist.size() >> 8)}));
        a.File().Write(dir.File(base + ".010"));
        a.Movements(true).Write(dir.File(base + ".011"));
        master.Write(dir.File(base + ".041"));
        ConsistFile(consist).Write(dir.File(base + ".035"));
        if (::chdir(dir.Path().c_str()) != 0) throw std::runtime_error("cannot enter the scratch directory");
    }
};

BenchTrain& Train() {
    static BenchTrain t;
    return t;
}

// The accepted fact table of the train, as the run reaches it.
struct Prepared {
    CAxleFile axles;
    FactTable table;
    Master master;
    std::vector<uint32_t> uncertain;
    Prepared() {
        const std::string& base = Train().base;
        axles.Load(base.c_str());
        table.LoadAxles(axles);
        master = LoadMaster(base);
        const auto anchors = ChooseAnchors(base);
        for (int t = kStartThreshold; t >= 0; --t) {
            table.Build(t, 10);
            table.MarkAnchors(anchors, master);
            uncertain = table.Uncertain();
            if (uncertain.size() <= kMaxUncertain) break;
        }
        if (uncertain.size() != 8) throw std::runtime_error("the bench train should have 8 uncertain axles");
    }
};

void BM_FirstPass(benchmark::State& state) {
    Prepared p;
    Allocation alloc;
    for (auto _ : state) {
        std::unordered_set<uint32_t> seen;
        seen.reserve(6561 * 2);
        int64_t sum = 0;
        for (uint32_t j = 0; j < 6561; ++j) {
            SetCombination(p.table, p.uncertain, j);
            BuildAllocation(p.table, p.master, alloc);
            if (seen.insert(p.table.Checksum(p.master)).second) sum += ScoreAllocation(p.table.Entries(), alloc);
        }
        benchmark::DoNotOptimize(sum);
        state.counters["unique"] = static_cast<double>(seen.size());
    }
    state.counters["records"] = static_cast<double>(alloc.records.size());
}
BENCHMARK(BM_FirstPass)->Unit(benchmark::kMillisecond);

void BM_OneBuildFast(benchmark::State& state) {
    Prepared p;
    Allocation alloc;
    uint32_t j = 0;
    for (auto _ : state) {
        SetCombination(p.table, p.uncertain, j++ % 6561);
        BuildAllocation(p.table, p.master, alloc);
        benchmark::DoNotOptimize(p.table.Checksum(p.master));
    }
}
BENCHMARK(BM_OneBuildFast)->Unit(benchmark::kMicrosecond);

void BM_OneBuildDirect(benchmark::State& state) {
    Prepared p;
    CAllocFile work;
    uint32_t j = 0;
    for (auto _ : state) {
        SetCombination(p.table, p.uncertain, j++ % 6561);
        LiteralBuild(p.table, Train().base, p.axles, work);
        benchmark::DoNotOptimize(PatternChecksum(p.table.Entries()));
    }
}
BENCHMARK(BM_OneBuildDirect)->Unit(benchmark::kMillisecond);

void BM_WholeProgram(benchmark::State& state) {
    // The program's own processor time, next to the wall time that a busy
    // machine stretches.
    const auto childSeconds = [] {
        rusage u{};
        ::getrusage(RUSAGE_CHILDREN, &u);
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
    };
    const double before = childSeconds();
    for (auto _ : state) {
        if (bench::Spawn({COMBINAR_PROGRAM, Train().base}, true) != 0) state.SkipWithError("Combinar failed");
    }
    state.counters["program_cpu_ms"] = (childSeconds() - before) * 1000.0 / static_cast<double>(state.iterations());
    state.counters["candidates"] = static_cast<double>(Train().dir.List().size() - 5);
}
BENCHMARK(BM_WholeProgram)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
