// Each program on the demo train in a directory of 400,000 other files (a
// site's archive of trains), next to the same run in a directory holding only
// the train. The programs look up files that are missing (outputs not made
// yet, optional inputs), which must not cost a reading of the directory;
// programs that search with wildcards (Wipezero and traindump visit
// BASE.*, Combinar clears CMBN????.041) read it once. Making the archive
// takes a while (400,000 files); every run restores the train first, outside
// the timed region.
#include "BenchSupport.h"

#include "Platform.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kArchiveFiles = 400000;
const char* const kBase = "00008901";

struct Site {
    bench::ScratchDir root{"bigdir_bench"};
    std::string small = root.File("small");
    std::string big = root.File("big");
    std::map<std::string, std::vector<uint8_t>> pristine;  // by extension

    Site() {
        for (const std::string& d : {small, big})
            if (::mkdir(d.c_str(), 0777) != 0) throw std::runtime_error("cannot make " + d);
        for (int i = 0; i < kArchiveFiles; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/%08d.%03d", 10000000 + i / 8, i % 8 * 7);
            const int fd = ::open((big + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
            if (fd < 0) throw std::runtime_error("cannot fill the archive directory");
            ::close(fd);
        }
        const std::string desc = root.File("demo.train");
        if (bench::Spawn({"/bin/sh", "-c", std::string(PROGRAM_DIR "/trainsim --sample > ") + desc}) != 0 ||
            bench::Spawn({PROGRAM_DIR "/trainsim", desc, kBase}, true, small.c_str()) != 0 ||
            bench::Spawn({PROGRAM_DIR "/edgemill", kBase}, true, small.c_str()) != 0)
            throw std::runtime_error("cannot make the demo train");
        for (const char* ext : {"007", "010", "011", "012", "018", "034", "035", "041", "055", "060", "064"}) {
            std::vector<uint8_t> bytes;
            if (plat::ReadWholeFile(small + "/" + kBase + "." + ext, bytes)) pristine[ext] = bytes;
        }
        plat::ReleaseTrainLocks();
    }

    // Puts the train back as it was made, without the files the programs
    // write, so that every run looks them up missing again.
    void Restore(const std::string& dir, bool withAxles) const {
        for (const auto& [ext, bytes] : pristine) {
            const std::string name = dir + "/" + kBase + "." + ext;
            if (!withAxles && (ext == "010" || ext == "011"))
                ::unlink(name.c_str());
            else
                plat::WriteNewFile(name, bytes.data(), bytes.size());
        }
        for (const char* ext : {"071", "O18", "TMP", "0AP", "0PT", "WON"})
            ::unlink((dir + "/" + kBase + "." + ext).c_str());
        ::unlink((dir + "/COMBINAR.DAT").c_str());
        for (int i = 1; i <= 32; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/CMBN%04d.041", i);
            ::unlink((dir + name).c_str());
        }
        plat::ReleaseTrainLocks();
    }
};

Site& TheSite() {
    static Site s;
    return s;
}

void Run(benchmark::State& state, bool big, std::vector<std::string> args) {
    Site& s = TheSite();
    const std::string& dir = big ? s.big : s.small;
    args[0] = std::string(PROGRAM_DIR "/") + args[0];
    const bool withAxles = args[0].find("edgemill") == std::string::npos;
    for (auto _ : state) {
        state.PauseTiming();
        s.Restore(dir, withAxles);
        state.ResumeTiming();
        if (bench::Spawn(args, true, dir.c_str()) < 0) state.SkipWithError("the program did not run");
    }
}

#define BIG_DIRECTORY_CASE(name, ...)                                                               \
    BENCHMARK_CAPTURE(Run, name##_alone, false, std::vector<std::string>{__VA_ARGS__})               \
        ->Unit(benchmark::kMillisecond)->Iterations(20);                                            \
    BENCHMARK_CAPTURE(Run, name##_in_400000, true, std::vector<std::string>{__VA_ARGS__})            \
        ->Unit(benchmark::kMillisecond)->Iterations(20)

BIG_DIRECTORY_CASE(edgemill, "edgemill", kBase, "/p");
BIG_DIRECTORY_CASE(trimwell_op1_op2_op3, "Trimwell", kBase, "/OP1", "/OP2", "/OP3");
BIG_DIRECTORY_CASE(trimwell_op18, "Trimwell", kBase, "/OP18");
BIG_DIRECTORY_CASE(heatalign, "heatalign", kBase, "2");
BIG_DIRECTORY_CASE(heatlink, "heatlink", "00008901.018", "00008901.035");
BIG_DIRECTORY_CASE(weighpost, "Weighpost", kBase);
BIG_DIRECTORY_CASE(idsweep, "Idsweep", kBase);
BIG_DIRECTORY_CASE(wipezero, "Wipezero", kBase);
BIG_DIRECTORY_CASE(traindump, "traindump", kBase);
BIG_DIRECTORY_CASE(combinar, "Combinar", kBase);

}  // namespace

BENCHMARK_MAIN();
