// Trimwell's event operations on the largest simulated train (a .007 of
// 65,535 records, some 16,000 axles), each next to cp copying the files the
// operation reads and writes: OP6 (orphaned wheel events), OP8 (IO event
// fix-up), OP7 (movement display) and OP12 (fragment series report). The
// detectors miss 2% of the wheels, so OP6 has orphans to repair.
#include "BenchSupport.h"
#include "Edgemill.h"

#include "LargeTrain.h"
#include "Platform.h"
#include "SiteFiles.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

// The train recorded as fragment 01 of the series LG00: its .007, .012,
// .035, .034, and the .010 and .011 edgemill makes of the .007; LG00.011 is
// a copy of the movements. A second .007 (in dir/io) is the same with the
// marks of a first-generation recorder that has not been pre-processed.
struct Scratch {
    bench::ScratchDir scratch{"trimwell_events"};
    std::string dir = scratch.Path(), base, series;
    std::vector<std::string> exts = {".007", ".010", ".011", ".012", ".034", ".035"};
    Scratch() {
        base = dir + "/LG01";
        series = dir + "/LG00";
        trainsim::TrainDescription d = trainsim::LargeTrain(trainsim::kMaxFileRecords, 1);
        d.site.missedEventRate = 0.02;
        trainsim::Simulation sim;
        std::vector<trainsim::WrittenFile> written;
        std::string error;
        if (!trainsim::Simulate(d, sim, error) || !trainsim::WriteSiteFiles(sim, base, written, error))
            throw std::runtime_error("cannot make the train: " + error);
        std::vector<uint8_t> io;
        if (!plat::ReadWholeFile(base + ".007", io)) throw std::runtime_error("cannot read the .007");
        const EdgemillConversion c = ConvertIoEvents(io, EdgemillOptions{});
        if (c.axles.empty() || !plat::WriteNewFile(base + ".010", c.axles.data(), c.axles.size()) ||
            !plat::WriteNewFile(base + ".011", c.movements.data(), c.movements.size()) ||
            !plat::WriteNewFile(series + ".011", c.movements.data(), c.movements.size()))
            throw std::runtime_error("cannot make the axle files");
        fs::create_directory(dir + "/orig");
        for (const std::string& e : exts) fs::copy_file(base + e, dir + "/orig/LG01" + e);
        io[42] = 0;
        io[43] = 0;
        if (!plat::WriteNewFile(dir + "/orig/LG01.007-first", io.data(), io.size()))
            throw std::runtime_error("cannot write the .007");
    }
    // Puts back the files an operation rewrites.
    void Restore(const std::string& ext, const std::string& from = "") const {
        fs::copy_file(dir + "/orig/LG01" + (from.empty() ? ext : from), base + ext,
                      fs::copy_options::overwrite_existing);
    }
    size_t Size(const std::string& ext) const { return fs::file_size(base + ext); }
};

Scratch& Files() {
    static Scratch s;
    return s;
}

// One operation: the files it rewrites are put back (untimed) before each
// run.
void RunOperation(benchmark::State& state, const char* op, const std::string& base,
                  const std::vector<std::pair<std::string, std::string>>& restore) {
    Scratch& s = Files();
    for (auto _ : state) {
        state.PauseTiming();
        for (const auto& [ext, from] : restore) s.Restore(ext, from);
        state.ResumeTiming();
        if (bench::Spawn({TRIMWELL_PROGRAM, base, op}, true) != 0) state.SkipWithError("Trimwell failed");
    }
}

// cp of the given files of the train into a scratch folder.
void Copy(benchmark::State& state, const std::vector<std::string>& exts) {
    Scratch& s = Files();
    fs::create_directory(s.dir + "/copy");
    std::vector<std::string> argv = {"cp"};
    int64_t bytes = 0;
    for (const std::string& e : exts) {
        argv.push_back(s.base + e);
        bytes += static_cast<int64_t>(s.Size(e));
    }
    argv.push_back(s.dir + "/copy/");
    for (auto _ : state)
        if (bench::Spawn(argv, true) != 0) state.SkipWithError("cp failed");
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_Op6_OrphanedWheelEvents(benchmark::State& state) {
    RunOperation(state, "/OP6", Files().base, {{".012", ""}});
}
void BM_Op6_Cp(benchmark::State& state) { Copy(state, {".012", ".010"}); }

void BM_Op8_IoEventFixup(benchmark::State& state) {
    RunOperation(state, "/OP8", Files().base, {{".007", ".007-first"}, {".012", ""}});
}
void BM_Op8_Cp(benchmark::State& state) { Copy(state, {".012", ".007"}); }

void BM_Op7_MovementDisplay(benchmark::State& state) { RunOperation(state, "/OP7", Files().base, {}); }
void BM_Op7_Cp(benchmark::State& state) { Copy(state, {".012", ".010"}); }

void BM_Op12_SeriesReport(benchmark::State& state) { RunOperation(state, "/OP12", Files().series, {}); }
void BM_Op12_Cp(benchmark::State& state) { Copy(state, {".011", ".035", ".034", ".010"}); }

}  // namespace

BENCHMARK(BM_Op6_OrphanedWheelEvents)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op6_Cp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op8_IoEventFixup)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op8_Cp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op7_MovementDisplay)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op7_Cp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op12_SeriesReport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op12_Cp)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
