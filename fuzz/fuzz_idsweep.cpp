// Idsweep in-process on a file set (train T); an odd first choice byte gives
// the output extension OUT. The program's main is built into this target
// under the name IdsweepEntry.
#include "FuzzSupport.h"

int IdsweepEntry(int argc, char** argv);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SilenceToolOutput();
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T"});
    if (set.choice[0] % 2) fuzz::RunEntry(IdsweepEntry, {"Idsweep", set.bases[0], "OUT"});
    else fuzz::RunEntry(IdsweepEntry, {"Idsweep", set.bases[0]});
    return 0;
}
