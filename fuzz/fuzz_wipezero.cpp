// Wipezero in-process on a file set (train T).
#include "FuzzSupport.h"
#include "Wipezero.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SilenceToolOutput();
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T"});
    fuzz::RunEntry(WipezeroMain, {"Wipezero", set.bases[0]});
    return 0;
}
