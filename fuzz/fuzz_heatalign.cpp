// heatalign in-process on a file set (train T); the first choice byte picks
// option 1 (add dummy axles), 2 (remove extra readings) or 3 (table only).
#include "FuzzSupport.h"
#include "Heatalign.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SilenceToolOutput();
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T"});
    const std::string option = std::to_string(set.choice[0] % 3 + 1);
    const char* argv[] = {"heatalign", set.bases[0].c_str(), option.c_str()};
    HeatalignMain(3, argv);
    return 0;
}
