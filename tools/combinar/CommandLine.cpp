// Command line and usage banner of Combinar.
#include "Combinar.h"

#include "BuildStamp.h"

#include <cstdio>
#include <strings.h>

namespace {

bool IsOption(const char* arg, const char* option) { return ::strncasecmp(arg, option, 2) == 0; }

}  // namespace

std::string CombinarUsage() {
    const std::string dashes(51, '-');
    return "\n" + dashes + "\n"
           "Combinar.EXE - Combinar Tool, v1.02.\n"
           "Build Timestamp: " + plat::BuildTimestamp() + "\n" + dashes + "\n"
           "\n"
           "Format: Combinar <BaseTrainFilename> /G\n"
           "\n"
           "Where :\n"
           "/G - Generate ANSI display of results.\n"
           "/M - Use mainline settings (default = Yard).\n"
           "/S - Standalone version (simplified). Creates train from scratch.\n"
           "\n"
           "\n";
}

// The first argument is always the base name, whatever it looks like: a
// train may be named like an option. "/?" asks for the banner anywhere.
bool ParseCombinarArgs(int argc, const char* const* argv, std::string& base, CombinarOptions& opt) {
    if (argc < 2) return false;
    for (int i = 1; i < argc; ++i)
        if (IsOption(argv[i], "/?")) return false;
    base = argv[1];
    for (int i = 2; i < argc; ++i) {
        if (IsOption(argv[i], "/G"))
            opt.verbose = true;
        else if (IsOption(argv[i], "/M"))
            opt.mainline = true;
        else if (IsOption(argv[i], "/S"))
            opt.standalone = true;
    }
    return true;
}

int CombinarMain(int argc, const char* const* argv) {
    std::string base;
    CombinarOptions opt;
    if (!ParseCombinarArgs(argc, argv, base, opt)) {
        std::printf("%s", CombinarUsage().c_str());
        return 0;
    }
    std::printf("Combinar running on \"%s\"...\r\n", base.c_str());
    if (opt.standalone)
        StandaloneRun(base);
    else
        NormalRun(base, opt);
    std::fflush(stdout);
    return 0;
}
