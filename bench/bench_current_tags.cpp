// The programs on the current library that walk tag reads, on the largest
// simulated train (a .007 of 65,535 records, its .010 made by the IO edge
// decoding), each next to cp of the bytes it reads and writes:
//   Idsweep         reads the .035                      vs cp of the .035
//   Wipezero        reads and rewrites every train file vs cp of every file
//   Trimwell /OP18  reads and rewrites .012, .060, .064 vs cp of those three
// and the current library's vehicle descriptions on a .041 of 65,535 records
// none of which starts a vehicle, through the class and by the walk that
// goes back record by record for every record.
#include "BenchSupport.h"
#include "LargeTrainFiles.h"

#include "AllocFile.h"
#include "AllocLayout.h"
#include "LargeTrain.h"
#include "RecordClasses.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

namespace al = layout::alloc;
namespace hd = layout::header;

struct Train {
    bench::ScratchDir dir{"current_tags_bench"};
    std::vector<std::string> files;  // every file of the train, by name
    Train() {
        bench::WriteLargeTrain(trainsim::LargeTrain(trainsim::kMaxFileRecords, 1), dir.Path() + "/BENCH");
        for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
            files.push_back(e.path().filename().string());
    }
};

Train& Files() {
    static Train t;
    return t;
}

void Run(benchmark::State& state, std::vector<std::string> argv) {
    Train& t = Files();
    for (auto _ : state)
        if (bench::Spawn(argv, true, t.dir.Path().c_str()) != 0) state.SkipWithError("the program failed");
}

void Copy(benchmark::State& state, const std::vector<std::string>& names) {
    Train& t = Files();
    for (auto _ : state)
        for (const std::string& name : names)
            if (bench::Spawn({"cp", name, "COPY_" + name}, true, t.dir.Path().c_str()) != 0)
                state.SkipWithError("cp failed");
}

void BM_Idsweep(benchmark::State& state) { Run(state, {IDSWEEP_PROGRAM, "BENCH"}); }
void BM_IdsweepCp(benchmark::State& state) { Copy(state, {"BENCH.035"}); }
void BM_Wipezero(benchmark::State& state) { Run(state, {WIPEZERO_PROGRAM, "BENCH"}); }
void BM_WipezeroCp(benchmark::State& state) { Copy(state, Files().files); }
void BM_Op18(benchmark::State& state) { Run(state, {TRIMWELL_PROGRAM, "BENCH", "/OP18"}); }
void BM_Op18Cp(benchmark::State& state) { Copy(state, {"BENCH.012", "BENCH.060", "BENCH.064"}); }

// 65,535 records on one key (a railcar described over and over), none of
// which starts a vehicle.
CTag041& NoStartAllocation() {
    static CTag041 file;
    static const bool made = [] {
        const unsigned n = trainsim::kMaxFileRecords;
        std::vector<uint8_t> data(size_t(n) * al::kRecordSize, 0);
        for (unsigned i = 0; i < n; ++i) {
            const std::span<uint8_t> r(data.data() + size_t(i) * al::kRecordSize, al::kRecordSize);
            layout::Set(r, 0, al::kPart, 1);
            layout::Set(r, 0, al::kSequence, 7);
            layout::Set(r, 0, al::kFirstAxle, i);
            layout::Set(r, 0, al::kLastAxle, i);
        }
        file.SetHeaderField(hd::kRecordCount, n);
        file.SetData(std::move(data));
        return true;
    }();
    (void)made;
    return file;
}

void BM_NoStartVehicleDescriptions(benchmark::State& state) {
    CTag041& f = NoStartAllocation();
    for (auto _ : state) {
        int64_t sum = 0;
        for (int i = 0; i < f.GetCount(); ++i) {
            f.Seek(i);
            sum += f.VehicleFirstAxle() + f.VehicleLastAxle() + f.VehicleRecordCount();
        }
        benchmark::DoNotOptimize(sum);
    }
}

void BM_NoStartVehicleDescriptionsRecordByRecord(benchmark::State& state) {
    const CTag041& f = NoStartAllocation();
    const int n = f.GetCount();
    auto part = [&](int k) { return f.GetFieldAt(k, al::kPart); };
    auto key = [&](int k) { return int(f.GetFieldAt(k, al::kKeyHigh) * 256 + f.GetFieldAt(k, al::kSequence)); };
    for (auto _ : state) {
        int64_t sum = 0;
        for (int i = 0; i < n; ++i) {
            const RecordRange r = AllocVehicleRecords(i, n, part, key);
            sum += int(f.GetFieldAt(r.begin, al::kFirstAxle)) + int(f.GetFieldAt(r.end - 1, al::kLastAxle)) +
                   (r.end - r.begin);
        }
        benchmark::DoNotOptimize(sum);
    }
}

}  // namespace

BENCHMARK(BM_Idsweep)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IdsweepCp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Wipezero)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WipezeroCp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op18)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Op18Cp)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_NoStartVehicleDescriptions)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NoStartVehicleDescriptionsRecordByRecord)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
