// Every program of the suite on the largest simulated train (a .007 of
// 65,535 records and the .010 and .011 its IO edges give), each next to cp
// of the same bytes: the files the program reads and the files it writes
// (its outputs as an earlier run made them) copied into a scratch folder,
// then the copies of the written files and their folder flushed to disk, as
// every save of the programs is. A program that writes nothing compares with
// cp of what it reads; traindump's dump goes to a file and counts as written.
// Each run starts from a fresh copy of the train, made outside the timed
// region. At the end a table gives each program's time, the cp time and
// their ratio, with the machine's load.
#include "BenchSupport.h"
#include "LargeTrainFiles.h"

#include "LargeTrain.h"
#include "Platform.h"
#include "SiteFiles.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// One program run: its command line (run in the train's folder), the files
// it reads and writes there, files the run needs beyond the train's own
// (name in the folder, name of the train file it is a copy of), and whether
// its standard output is kept as a written file.
struct Case {
    std::string name;
    std::vector<std::string> argv;
    std::vector<std::string> reads;
    std::vector<std::string> writes;
    std::vector<std::pair<std::string, std::string>> extras = {};
    bool keepOutput = false;
};

constexpr const char* kDumpFile = "dump.txt";

std::vector<std::string> Train(std::initializer_list<const char*> exts) {
    std::vector<std::string> files;
    for (const char* e : exts) files.push_back(std::string("LG01") + e);
    return files;
}

Case Trimwell(unsigned op, std::initializer_list<const char*> reads, std::initializer_list<const char*> writes) {
    return {"Trimwell /OP" + std::to_string(op), {TRIMWELL_PROGRAM, "LG01", "/OP" + std::to_string(op)}, Train(reads),
            Train(writes)};
}

std::vector<Case> Cases() {
    std::vector<Case> c = {
        {"edgemill", {EDGEMILL_PROGRAM, "LG01"}, Train({".007"}), Train({".010", ".011"})},
        Trimwell(1, {".041", ".010", ".012"}, {".012"}),
        Trimwell(2, {".012", ".010"}, {".010"}),
        Trimwell(3, {".010"}, {".010"}),
        Trimwell(4, {".010"}, {".010"}),
        Trimwell(5, {".041", ".010"}, {".010"}),
        Trimwell(6, {".012", ".010"}, {}),  // no orphaned wheel event: nothing to save
        Trimwell(7, {".012"}, {}),
        Trimwell(8, {".012", ".007"}, {}),  // the .007 is marked pre-processed already
        Trimwell(9, {".010", ".060"}, {".060"}),
        Trimwell(10, {".034"}, {}),  // looks for the .034 only
        Trimwell(14, {".041", ".010"}, {}),
        Trimwell(16, {".060", ".064"}, {}),  // one antenna per side: nothing to merge
        Trimwell(17, {".060"}, {".S60"}),
        Trimwell(18, {".012", ".060", ".064"}, {".012", ".060", ".064"}),
        Trimwell(20, {".010"}, {".041"}),
        Trimwell(21, {".035"}, {}),
    };
    // OP11 appends the fragments of the series LG into LG00.035.
    c.push_back({"Trimwell /OP11", {TRIMWELL_PROGRAM, "LG01", "/OP11"}, Train({".035"}), {"LG00.035"}});
    // OP12 evaluates the series LG00 (the one fragment LG01) along the
    // movements of LG00.011.
    c.push_back({"Trimwell /OP12",
                 {TRIMWELL_PROGRAM, "LG00", "/OP12"},
                 {"LG00.011", "LG01.035", "LG01.034", "LG01.010"},
                 {},
                 {{"LG00.011", "LG01.011"}}});
    c.push_back({"Trimwell /OP19", {TRIMWELL_PROGRAM, "LG01", "/OP19"}, {"Passengr.cfg", "LG01.035"}, {}});
    c.push_back({"Wipezero", {WIPEZERO_PROGRAM, "LG01"},
                 Train({".007", ".010", ".011", ".012", ".018", ".034", ".035", ".041", ".055", ".060", ".064"}),
                 Train({".007", ".010", ".011", ".012", ".018", ".034", ".035", ".041", ".055", ".060", ".064"})});
    c.push_back({"Weighpost", {WEIGHPOST_PROGRAM, "LG01"}, Train({".055", ".035"}), Train({".035"})});
    c.push_back({"Idsweep", {IDSWEEP_PROGRAM, "LG01"}, Train({".035"}), {}});  // every tag agrees: no output
    c.push_back({"heatalign 1", {HEATALIGN_PROGRAM, "LG01", "1"}, Train({".010", ".018"}), {}});  // nothing to add
    c.push_back({"heatalign 3", {HEATALIGN_PROGRAM, "LG01", "3"}, Train({".010", ".018"}), {kDumpFile}, {}, true});
    c.push_back({"heatlink", {HEATLINK_PROGRAM, "LG01.018", "LG01.035"}, Train({".018", ".035"}), Train({".071"})});
    c.push_back({"Combinar", {COMBINAR_PROGRAM, "LG01"}, Train({".011", ".010", ".035", ".041"}),
                 {"CMBN0000.041", "COMBINAR.DAT"}});
    c.push_back({"Weighoff", {WEIGHOFF_PROGRAM, "LG01", "LG02"}, {"LG01.035", "LG02.035"}, Train({".WON"}),
                 {{"LG02.035", "LG01.035"}}});
    const std::vector<std::string> all =
        Train({".007", ".010", ".011", ".012", ".018", ".034", ".035", ".041", ".055", ".060", ".064"});
    c.push_back({"traindump --all", {TRAINDUMP_PROGRAM, "--all", "LG01"}, all, {kDumpFile}, {}, true});
    c.push_back({"traindump --check", {TRAINDUMP_PROGRAM, "--check", "LG01"}, all, {}});
    return c;
}

// Runs argv in dir, its standard output into outFile (a name in dir) or
// /dev/null; the exit status, or -1.
int Run(const std::vector<std::string>& argv, const std::string& dir, const char* outFile) {
    return bench::Spawn(argv, true, dir.c_str(), outFile ? dir + "/" + outFile : std::string());
}

bool Flush(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void EmptyDirectory(const std::string& dir) {
    fs::remove_all(dir);
    fs::create_directories(dir);
}

// The train under LG01 in orig/, a passenger list for OP19, and for every
// case the files cp copies (in ref/<case number>/) and the status its
// program gave on the fresh train.
struct Scratch {
    bench::ScratchDir dir{"ratio_bench"};
    std::string orig = dir.File("orig"), work = dir.File("work"), copy = dir.File("copy");
    std::vector<Case> cases = Cases();
    std::vector<int> status;
    std::vector<int64_t> bytes;

    Scratch() {
        fs::create_directories(orig);
        const std::string base = orig + "/LG01";
        const EdgemillConversion c = bench::WriteLargeTrain(trainsim::LargeTrain(trainsim::kMaxFileRecords, 1), base);
        if (!plat::WriteNewFile(base + ".011", c.movements.data(), c.movements.size()))
            throw std::runtime_error("cannot write the .011");
        std::ofstream(orig + "/Passengr.cfg") << "; Passenger train owners\nPXR\n";
        for (size_t i = 0; i < cases.size(); ++i) Prepare(i);
    }

    // A fresh copy of the train, with the case's extra files, in work/.
    void Fresh(const Case& c) const {
        EmptyDirectory(work);
        for (const auto& e : fs::directory_iterator(orig)) fs::copy_file(e.path(), fs::path(work) / e.path().filename());
        for (const auto& [name, from] : c.extras) fs::copy_file(orig + "/" + from, work + "/" + name);
    }

    std::string Ref(size_t i) const { return dir.File("ref/" + std::to_string(i)); }

    // One untimed run: checks that every file the case names is there, and
    // keeps what cp will copy: the fresh files it reads, the files it wrote.
    void Prepare(size_t i) {
        const Case& c = cases[i];
        Fresh(c);
        const std::string ref = Ref(i);
        EmptyDirectory(ref);
        for (const std::string& f : c.reads) {
            if (!fs::exists(work + "/" + f)) throw std::runtime_error(c.name + ": no " + f + " to read");
            fs::copy_file(work + "/" + f, ref + "/" + f);
        }
        status.push_back(Run(c.argv, work, c.keepOutput ? kDumpFile : nullptr));
        const std::set<std::string> read(c.reads.begin(), c.reads.end());
        for (const std::string& f : c.writes) {
            if (!fs::exists(work + "/" + f)) throw std::runtime_error(c.name + ": wrote no " + f);
            if (!read.count(f)) fs::copy_file(work + "/" + f, ref + "/" + f);
        }
        int64_t total = 0;
        for (const auto& e : fs::directory_iterator(ref)) total += static_cast<int64_t>(e.file_size());
        bytes.push_back(total);
    }
};

Scratch& Files() {
    static Scratch s;
    return s;
}

void Program(benchmark::State& state, size_t i) {
    Scratch& s = Files();
    const Case& c = s.cases[i];
    for (auto _ : state) {
        state.PauseTiming();
        s.Fresh(c);
        state.ResumeTiming();
        if (Run(c.argv, s.work, c.keepOutput ? kDumpFile : nullptr) != s.status[i])
            state.SkipWithError("the program ended otherwise than on the first run");
    }
    state.SetBytesProcessed(state.iterations() * s.bytes[i]);
}

void Copy(benchmark::State& state, size_t i) {
    Scratch& s = Files();
    const Case& c = s.cases[i];
    const std::string ref = s.Ref(i);
    std::vector<std::string> argv = {"cp"};
    for (const auto& e : fs::directory_iterator(ref)) argv.push_back(e.path().string());
    argv.push_back(s.copy + "/");
    for (auto _ : state) {
        state.PauseTiming();
        EmptyDirectory(s.copy);
        state.ResumeTiming();
        if (Run(argv, s.dir.Path(), nullptr) != 0) state.SkipWithError("cp failed");
        if (c.writes.empty()) continue;
        bool flushed = true;
        for (const std::string& f : c.writes) flushed = Flush(s.copy + "/" + f) && flushed;
        if (!flushed || !Flush(s.copy)) state.SkipWithError("fsync failed");
    }
    state.SetBytesProcessed(state.iterations() * s.bytes[i]);
}

std::string LoadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

// The console report, then the table of each program against its cp.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                m_ms[r.run_name.function_name] = r.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nload average at the end: %s\n", LoadAverage().c_str());
        std::printf("%-20s %10s %10s %8s %10s\n", "program", "ms", "cp ms", "ratio", "bytes");
        const Scratch& s = Files();
        for (size_t i = 0; i < s.cases.size(); ++i) {
            const std::string& name = s.cases[i].name;
            const auto p = m_ms.find(name), c = m_ms.find(name + " (cp)");
            if (p == m_ms.end() || c == m_ms.end()) continue;
            std::printf("%-20s %10.2f %10.2f %8.2f %10lld\n", name.c_str(), p->second, c->second,
                        p->second / c->second, static_cast<long long>(s.bytes[i]));
        }
    }

private:
    std::map<std::string, double> m_ms;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("load average at the start: %s\n", LoadAverage().c_str());
    const Scratch& s = Files();
    for (size_t i = 0; i < s.cases.size(); ++i) {
        benchmark::RegisterBenchmark(s.cases[i].name.c_str(), Program, i)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark((s.cases[i].name + " (cp)").c_str(), Copy, i)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
