// Trimwell in-process on a file set (train T) with one or two operations:
// the first choice byte picks /OP1 to /OP21, the second adds another when it
// is even. /S= is always given for the time shift.
#include "FuzzSupport.h"
#include "Trimwell.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SilenceToolOutput();
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T"});
    std::vector<std::string> args = {"Trimwell", set.bases[0], "/OP" + std::to_string(set.choice[0] % 21 + 1)};
    if (set.choice[1] % 2 == 0) args.push_back("/OP" + std::to_string(set.choice[1] / 2 % 21 + 1));
    args.push_back("/S=-1500");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    TrimwellMain(static_cast<int>(argv.size()), argv.data());
    return 0;
}
