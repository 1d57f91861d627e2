// heatlink in-process on a file set (train T): correlates T.018 with T.035
// and writes T.071.
#include "FuzzSupport.h"
#include "Heatlink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SilenceToolOutput();
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T"});
    const std::string readings = set.bases[0] + ".018";
    const std::string consist = set.bases[0] + ".035";
    const char* argv[] = {"heatlink", readings.c_str(), consist.c_str()};
    const fuzz::InScratchDir here;
    HeatlinkMain(3, argv);
    return 0;
}
