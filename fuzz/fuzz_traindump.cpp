// traindump in-process on a file set (train T). The first choice byte picks
// the mode: every file of the train as text or JSON, the damage check as text
// or JSON, or the train's files named one by one with hex bytes and a record
// range; the second choice byte picks the file for the last mode.
#include "FuzzSupport.h"
#include "Traindump.h"

#include <algorithm>
#include <dirent.h>

namespace {

// The scratch files of train T, sorted so the choice byte picks the same
// file for the same input.
std::vector<std::string> TrainFiles(const std::string& base) {
    std::vector<std::string> files;
    const std::string& dir = fuzz::ScratchDir();
    const std::string prefix = base.substr(dir.size()) + ".";
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* e = ::readdir(d))
            if (std::string(e->d_name).rfind(prefix, 0) == 0) files.push_back(dir + e->d_name);
        ::closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FILE* const sink = std::fopen("/dev/null", "w");
    fuzz::SilenceToolOutput();
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T"});
    std::vector<std::string> args = {"traindump"};
    switch (set.choice[0] % 5) {
        case 0: args.insert(args.end(), {"--all", set.bases[0]}); break;
        case 1: args.insert(args.end(), {"--all", "--json", set.bases[0]}); break;
        case 2: args.insert(args.end(), {"--check", set.bases[0]}); break;
        case 3: args.insert(args.end(), {"--check", "--json", set.bases[0]}); break;
        default: {
            const std::vector<std::string> files = TrainFiles(set.bases[0]);
            if (files.empty()) return 0;
            args.insert(args.end(), {"--hex", "--records=1-40", files[set.choice[1] % files.size()]});
            if (set.choice[1] & 0x80) args.insert(args.begin() + 1, "--json");
        }
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    traindump::Run(static_cast<int>(args.size()), argv.data(), sink, sink);
    return 0;
}
