// fuzz_seeds OUTDIR: makes the seed corpora of the fuzz targets from trains
// the simulator records (the demo train, the passenger sample when this
// simulator has it, a small large train):
//   OUTDIR/loaders/   one seed per file: [extension index][file bytes]
//   OUTDIR/filesets/  one seed per train and command choice: the packed
//                     file set (as train T, and once more as T and U)
#include "Command.h"
#include "FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <map>
#include <sys/stat.h>

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

int Simulate(const std::vector<std::string>& args, FILE* out, FILE* err = stderr) {
    std::vector<const char*> argv = {"trainsim"};
    for (const auto& a : args) argv.push_back(a.c_str());
    return trainsim::TrainsimMain(static_cast<int>(argv.size()), argv.data(), out, err);
}

// The files of one recorded train by extension.
std::map<std::string, std::vector<uint8_t>> TrainFiles(const std::string& dir, const std::string& base) {
    std::map<std::string, std::vector<uint8_t>> files;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return files;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() == base.size() + 4 && name.compare(0, base.size() + 1, base + ".") == 0)
            files[name.substr(base.size() + 1)] = ReadFile(dir + name);
    }
    ::closedir(d);
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTDIR\n");
        return 1;
    }
    const std::string out = std::string(argv[1]) + "/";
    ::mkdir(out.c_str(), 0777);
    ::mkdir((out + "loaders").c_str(), 0777);
    ::mkdir((out + "filesets").c_str(), 0777);
    const std::string& dir = fuzz::ScratchDir();
    FILE* quiet = std::fopen("/dev/null", "w");

    // Each entry: a simulator command line making train <base> in dir.
    std::vector<std::pair<std::string, std::vector<std::string>>> trains;
    for (const char* sample : {"--sample", "--sample=passenger"}) {
        const std::string desc = dir + (std::string(sample) == "--sample" ? "demo" : "passenger") + "_train";
        FILE* f = std::fopen(desc.c_str(), "w");
        const bool ok = f && Simulate({sample}, f, quiet) == trainsim::kExitOk;
        if (f) std::fclose(f);
        if (ok) trains.push_back({desc.substr(dir.size(), desc.size() - dir.size() - 6), {desc}});
    }
    trains.push_back({"large", {"--large=400"}});

    int seeds = 0;
    std::vector<uint8_t> previous;
    for (auto& [base, args] : trains) {
        args.push_back(dir + base);
        if (Simulate(args, quiet) != trainsim::kExitOk) continue;
        const auto files = TrainFiles(dir, base);
        std::vector<uint8_t> set;
        for (const auto& [ext, bytes] : files) {
            fuzz::AppendFileSetRecord(set, 0, ext, bytes);
            const auto at = std::find(fuzz::kExtensions.begin(), fuzz::kExtensions.end(), ext);
            if (at == fuzz::kExtensions.end()) continue;
            std::vector<uint8_t> seed = {static_cast<uint8_t>(at - fuzz::kExtensions.begin())};
            seed.insert(seed.end(), bytes.begin(), bytes.end());
            WriteFile(out + "loaders/" + base + "_" + ext, seed);
            ++seeds;
        }
        // Command choices 0-20 with no second operation (odd second byte).
        for (uint8_t choice = 0; choice < 21; ++choice) {
            std::vector<uint8_t> seed = {choice, 1};
            seed.insert(seed.end(), set.begin(), set.end());
            WriteFile(out + "filesets/" + base + "_" + std::to_string(choice), seed);
            ++seeds;
        }
        // The same train as T and the previous one as U.
        if (!previous.empty()) {
            std::vector<uint8_t> pair = {0, 1};
            pair.insert(pair.end(), set.begin(), set.end());
            for (size_t i = 0; i < previous.size();) {
                uint32_t len = 0;
                for (int k = 0; k < 4; ++k) len |= uint32_t(previous[i + 4 + k]) << (8 * k);
                std::vector<uint8_t> rec(previous.begin() + long(i), previous.begin() + long(i + 8 + len));
                rec[0] = 1;
                pair.insert(pair.end(), rec.begin(), rec.end());
                i += 8 + len;
            }
            WriteFile(out + "filesets/" + base + "_pair", pair);
            ++seeds;
        }
        previous = set;
    }
    std::fclose(quiet);
    std::printf("%d seeds in %s\n", seeds, out.c_str());
    return seeds > 0 ? 0 : 1;
}
