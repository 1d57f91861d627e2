// Usage text of edgemill with the build date and time.
#include "Edgemill.h"

#include "BuildStamp.h"

std::string EdgemillUsage() {
    return "     edgemill\n"
           "     ======================================================================\n"
           "     BUILD DATE: " + plat::BuildTimestamp() + "\n"
           "     ======================================================================\n"
           "\n"
           "     Useage: edgemill [basename] [optional switches]\n"
           "\n"
           "     Available switches:\n"
           "          /r - process as if the first AB transition is the reverse\n"
           "               direction\n"
           "          /p - print axle direction report\n"
           "          /b - use special WDA WDB bitmasks with transducer number\n"
           "               for example: /b:0x0200:0x0100:1\n"
           "               WDA bitmask=0x0200 WDB bitmask=0x0100 ducer#1\n"
           "\n"
           "     Takes 007 file and generates an 010 and 011 file.\n";
}
