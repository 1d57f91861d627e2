// edgemill in-process on a file set (train T); the first choice byte picks
// the switches.
#include "Edgemill.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<std::vector<const char*>> kSwitches = {{}, {"/p"}, {"/r"}, {"/r", "/p"}};
    static FILE* const sink = std::fopen("/dev/null", "w");
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T"});
    std::vector<const char*> argv = {"edgemill", set.bases[0].c_str()};
    for (const char* s : kSwitches[set.choice[0] % kSwitches.size()]) argv.push_back(s);
    EdgemillMain(static_cast<int>(argv.size()), argv.data(), sink);
    return 0;
}
