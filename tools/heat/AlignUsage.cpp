// Usage text of heatalign with the build date and time.
#include "Heatalign.h"

#include "BuildStamp.h"

std::string HeatalignUsage() {
    return "heatalign:  Fix 010 HBD\n"
           "BUILT:     " + plat::BuildTimestamp() + "\n"
           "Give this program the base train name of the train\n"
           "whose 010 and 018 you want matched up\n"
           "                            option 1 OR 2\n"
           "                            |\n"
           "Example: heatalign 00008901 1\n";
}
