// traindump: looks inside train data files and checks a train's files for
// damage, without changing anything.
#pragma once

#include <cstdio>

namespace traindump {

constexpr int kExitClean = 0;     // dumped, or checked and nothing found
constexpr int kExitFound = 1;     // --check found damage
constexpr int kExitTrouble = 2;   // usage error, or a file that cannot be read

int Run(int argc, char** argv, FILE* out, FILE* err);

}  // namespace traindump
