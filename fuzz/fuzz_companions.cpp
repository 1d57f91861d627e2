// The companion stand-ins in-process on a file set (train T): the first
// choice byte picks TAGPAIR, TAGPAIR /AB2CARONLY or CONSMEND. Their mains
// are built into this target under the names TagpairEntry and
// ConsmendEntry.
#include "FuzzSupport.h"

int TagpairEntry(int argc, char** argv);
int ConsmendEntry(int argc, char** argv);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::SilenceToolOutput();
    const fuzz::FileSet set = fuzz::WriteFileSet({data, size}, {"T"});
    switch (set.choice[0] % 3) {
        case 0: fuzz::RunEntry(TagpairEntry, {"TAGPAIR", set.bases[0]}); break;
        case 1: fuzz::RunEntry(TagpairEntry, {"TAGPAIR", set.bases[0], "/AB2CARONLY"}); break;
        default: fuzz::RunEntry(ConsmendEntry, {"CONSMEND", set.bases[0]});
    }
    return 0;
}
