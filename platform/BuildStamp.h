// Build date and time of a program, as its usage banner shows them.
#pragma once

#include <string>

namespace plat {

// Formats the compiler's build date ("Mar 23 2017") and time ("19:17:33") as
// "Thu Mar 23 19:17:33 2017". The defaults are taken where the call is
// compiled, so each program shows its own build time.
std::string BuildTimestamp(const char* date = __DATE__, const char* time = __TIME__);

}  // namespace plat
