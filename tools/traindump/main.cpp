#include "Traindump.h"

#include <cstdio>

int main(int argc, char** argv) {
    // Output is written in large blocks; dumps of big files stream through it.
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    const int status = traindump::Run(argc, argv, stdout, stderr);
    std::fflush(stdout);
    return status;
}
