// Weighpost in-process on a file set (train T). The program's main is built
// into this target under the name WeighpostEntry.
#include "FuzzSupport.h"

int WeighpostEntry(int argc, char** argv);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SilenceToolOutput();
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T"});
    fuzz::RunEntry(WeighpostEntry, {"Weighpost", set.bases[0]});
    return 0;
}
