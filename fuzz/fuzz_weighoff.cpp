// Weighoff in-process on a file set of two trains (T and U), writing its
// report into the scratch directory.
#include "FuzzSupport.h"
#include "Weighoff.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SilenceToolOutput();
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T", "U"});
    const std::string report = fuzz::ScratchDir() + "REPORT";
    const char* argv[] = {"Weighoff", set.bases[0].c_str(), set.bases[1].c_str(), report.c_str()};
    weighoff::WeighoffMain(4, argv);
    return 0;
}
