// edgemill on the largest IO file a 16-bit record count allows (65,535
// records), next to cp copying the same file to two outputs: the program has
// to stay within a few times the cost of merely copying its input twice.
#include "Edgemill.h"

#include "AxleLayout.h"
#include "HeaderLayout.h"
#include "IoLayout.h"
#include "Platform.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>

extern char** environ;

namespace {

namespace io = layout::io;
namespace hd = layout::header;

constexpr size_t kRecords = 0xFFFF;

// A long freight train over the detectors: 50-ft cars with axles at 0, 5.6,
// 40 and 45.6 ft, speeding up from walking pace to 40 mph and slowing again,
// a few stops in which the last two axles roll back over the detectors and
// return, and changes of another input (train presence) between wheels.
std::vector<uint8_t> BuildIoFile() {
    std::vector<uint8_t> f(hd::kSize, 0);
    layout::Set(f, 0, hd::kFormat, hd::kDefaultFormat);
    layout::Set(f, 0, hd::kTypeGroup, io::kTypeGroup);
    layout::Set(f, 0, hd::kRecordLength, io::kRecordSize);
    layout::Set(f, 0, hd::kScaleNumerator, 1);
    layout::Set(f, 0, io::kAbSpacing, 60);  // 6.0 inches
    layout::Set(f, 0, io::kRecorderVersion, 1);
    size_t count = 0;
    uint16_t presence = 0x0001;
    auto add = [&](double t, uint16_t detectors, uint16_t flags = io::kDetectorEventFlag) {
        if (count == kRecords) return;
        const size_t base = f.size();
        f.resize(base + io::kRecordSize);
        layout::Set(f, base, io::kTime, static_cast<uint32_t>(t));
        layout::Set(f, base, io::kInputs, presence | detectors);
        layout::Set(f, base, io::kFlags, flags);
        ++count;
    };
    // One wheel crossing: edges 6 in (A to B) and 10 in (detector length) apart.
    auto wheel = [&](double t, double inchesPerMs, bool forward) {
        const uint16_t first = forward ? io::kDefaultMaskA : io::kDefaultMaskB;
        const uint16_t second = forward ? io::kDefaultMaskB : io::kDefaultMaskA;
        add(t, first);
        add(t + 6 / inchesPerMs, first | second);
        add(t + 10 / inchesPerMs, second);
        add(t + 16 / inchesPerMs, 0);
    };
    const double axleFeet[] = {0, 5.6, 40, 45.6};
    double t = 1000;
    for (unsigned car = 0; count < kRecords; ++car) {
        const double mph = 5 + 35 * std::fabs(std::sin(car / 150.0));
        const double inchesPerMs = mph * 5280 * 12 / 3600000;
        for (int a = 0; a < 4; ++a) {
            const double gap = a == 0 ? 50 - 45.6 : axleFeet[a] - axleFeet[a - 1];
            t += gap * 12 / inchesPerMs;
            wheel(t, inchesPerMs, true);
        }
        if (car % 97 == 96) {  // stops, rolls back two axles, pulls forward again
            for (int i = 0; i < 2; ++i) wheel(t += 3000, 0.05, false);
            for (int i = 0; i < 2; ++i) wheel(t += 3000, 0.05, true);
        }
        if (car % 13 == 0) {
            presence ^= 0x0001;
            add(t + 1, 0, 0);
        }
    }
    layout::Set(f, 0, hd::kRecordCount, static_cast<uint32_t>(count));
    layout::Set(f, 0, hd::kFileLength, static_cast<uint32_t>(f.size()));
    return f;
}

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
        bytes = BuildIoFile();
        if (!plat::WriteNewFile(input, bytes.data(), bytes.size())) throw std::runtime_error("cannot write input");
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

int Spawn(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    int st = 0;
    ::waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

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
