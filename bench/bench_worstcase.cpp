// Trimwell's vehicle walks on the worst allocation shapes of legal size, each
// next to the same operation on the well-formed largest simulated train:
//   well formed    the train's own .041 (65,535-record .007)
//   no starts      a .041 of 65,535 records, none of which starts a vehicle
//   overlapping    65,535 records whose vehicles all cover the same axles
// run as /OP1, /OP5 and /OP1 given 19 times; and /OP20 on the well-formed
// train beside a .010 cut short inside its header that declares 65,535
// records of length 0 (found by fuzzing: each vehicle built from those
// axles once copied the whole .041 being built).
#include "BenchSupport.h"
#include "LargeTrainFiles.h"

#include "AllocLayout.h"
#include "HeaderLayout.h"
#include "LargeTrain.h"
#include "Platform.h"
#include "SiteFiles.h"

#include <benchmark/benchmark.h>

namespace {

namespace al = layout::alloc;
namespace hd = layout::header;

struct Trains {
    bench::ScratchDir dir{"worstcase_bench"};
    std::vector<uint8_t> axles, alloc;
    Trains() {
        const std::string base = dir.Path() + "/GOOD";
        axles = bench::WriteLargeTrain(trainsim::LargeTrain(trainsim::kMaxFileRecords, 1), base).axles;
        if (!plat::ReadWholeFile(base + ".041", alloc)) throw std::runtime_error("cannot read the .041 back");
        Write("GOOD", alloc);
        Write("NOSTART", Malformed(false));
        Write("OVERLAP", Malformed(true));
    }
    // 65,535 records of railcars on distinct keys; no record starts a
    // vehicle, or every vehicle covers the train's first 64 axles.
    std::vector<uint8_t> Malformed(bool overlapping) const {
        std::vector<uint8_t> f(alloc.begin(), alloc.begin() + hd::kSize);
        const unsigned n = trainsim::kMaxFileRecords;
        const unsigned axleCount = unsigned((axles.size() - hd::kSize) / 8);
        layout::Set(f, 0, hd::kRecordCount, n);
        layout::Set(f, 0, hd::kRecordLength, al::kRecordSize);
        layout::Set(f, 0, hd::kFileLength, hd::kSize + n * al::kRecordSize);
        for (unsigned i = 0; i < n; ++i) {
            std::vector<uint8_t> r(al::kRecordSize, 0);
            const unsigned first = overlapping ? 0 : (i * 4) % (axleCount - 4);
            layout::Set(r, 0, al::kFirstAxle, first);
            layout::Set(r, 0, al::kLastAxle, overlapping ? 63 : first + 3);
            layout::Set(r, 0, al::kEgc, al::kEgcRailcar);
            layout::Set(r, 0, al::kSequence, i & 0xFF);
            layout::Set(r, 0, al::kKeyHigh, i >> 8);
            layout::Set(r, 0, al::kPart, overlapping ? al::kPartWhole : 1);
            f.insert(f.end(), r.begin(), r.end());
        }
        return f;
    }
    void Write(const std::string& name, const std::vector<uint8_t>& alloc041) const {
        plat::WriteNewFile(dir.Path() + "/" + name + ".041", alloc041.data(), alloc041.size());
        plat::WriteNewFile(dir.Path() + "/" + name + ".010", axles.data(), axles.size());
    }
};

Trains& Files() {
    static Trains t;
    return t;
}

void Run(benchmark::State& state, const char* train, int ops, const char* op) {
    Trains& t = Files();
    std::vector<std::string> args = {TRIMWELL_PROGRAM, t.dir.Path() + "/" + train};
    for (int i = 0; i < ops; ++i) args.push_back(op);
    for (auto _ : state) {
        state.PauseTiming();
        t.Write(train, std::string(train) == "GOOD" ? t.alloc : t.Malformed(std::string(train) == "OVERLAP"));
        state.ResumeTiming();
        if (bench::Spawn(args, true) < 0) state.SkipWithError("Trimwell did not run");
    }
}

// The 40 bytes of the short .010, as found.
constexpr uint8_t kShortAxles[] = {0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x74, 0x6f, 0, 0, 0, 0x01, 0, 0, 0x32,
                                   0x05, 0, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x74, 0, 0, 0, 0x30, 0x32};

void Op20ShortAxles(benchmark::State& state) {
    Trains& t = Files();
    const std::string base = t.dir.Path() + "/SHORT";
    for (auto _ : state) {
        state.PauseTiming();
        plat::WriteNewFile(base + ".010", kShortAxles, sizeof kShortAxles);
        state.ResumeTiming();
        if (bench::Spawn({TRIMWELL_PROGRAM, base, "/OP20"}, true) < 0) state.SkipWithError("Trimwell did not run");
    }
}

}  // namespace

BENCHMARK_CAPTURE(Run, op1_well_formed, "GOOD", 1, "/OP1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, op1_no_starts, "NOSTART", 1, "/OP1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, op1_overlapping, "OVERLAP", 1, "/OP1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, op5_well_formed, "GOOD", 1, "/OP5")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, op5_no_starts, "NOSTART", 1, "/OP5")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, op5_overlapping, "OVERLAP", 1, "/OP5")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, op1_x19_well_formed, "GOOD", 19, "/OP1")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run, op1_x19_no_starts, "NOSTART", 19, "/OP1")->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(Run, op20_well_formed, "GOOD", 1, "/OP20")->Unit(benchmark::kMillisecond);
BENCHMARK(Op20ShortAxles)->Name("op20_short_axle_header")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
