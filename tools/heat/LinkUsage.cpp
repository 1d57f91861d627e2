// Usage text of heatlink with the build date and time.
#include "Heatlink.h"

#include "BuildStamp.h"

std::string HeatlinkUsage() {
    return "heatlink:  HBD Correlator\n"
           "BUILT:    " + plat::BuildTimestamp() + "\n\n"
           "On the command line, specify the name of the .018 file and the\n"
           "name of the .035 file to be used (in a distributed AEI system)\n"
           "these files can have different basenames since they can come from\n"
           "different APUs.\n"
           "\n"
           "The basename of the .018 file will be used to create the .071\n"
           "filename.\n"
           "\n"
           "Example: heatlink.exe 00000123.018 C:\\AEI\\INBOUND\\BNSF1234\\00000231.035\n";
}
