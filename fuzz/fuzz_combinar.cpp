// Combinar in-process on a file set (train T); the first choice byte picks
// the switches: bit 0 /M (mainline settings), bit 1 /G (display of results),
// bit 2 /S (standalone run).
#include "Combinar.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SilenceToolOutput();
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T"});
    std::vector<const char*> argv = {"Combinar", set.bases[0].c_str()};
    if (set.choice[0] & 1) argv.push_back("/M");
    if (set.choice[0] & 2) argv.push_back("/G");
    if (set.choice[0] & 4) argv.push_back("/S");
    const fuzz::InScratchDir here;
    CombinarMain(static_cast<int>(argv.size()), argv.data());
    return 0;
}
