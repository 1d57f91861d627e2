// CONSMEND stand-in: writes the mended consist <name>.037 from the
// consist <name>.035. Its entries are taken over as they are.
//
// Exit status 0 when the .037 was written; 1 when the .035 is missing or
// has no entries (nothing is written) or the .037 cannot be written; 2 for
// the usage text.
#include "ConsistFile.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("Syntax: CONSMEND <BASE NAME>\n");
        return 2;
    }
    const std::string name = argv[1];
    CConsistFile consist;
    if (!consist.Load((name + ".035").c_str()) || consist.GetCount() <= 0) {
        std::printf("CONSMEND: \"%s.035\" has no entries.\n", name.c_str());
        return 1;
    }
    return consist.SaveAs((name + ".037").c_str()) ? 0 : 1;
}
