// The trainsim command line: simulate a train from its description and
// write the site's files, print the demo train's description, or make a
// large train for load tests.
#pragma once

#include "Simulation.h"
#include "SiteFiles.h"

#include <cstdio>
#include <string>
#include <vector>

namespace trainsim {

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitDescription = 2;  // unreadable, malformed or unrecordable description
constexpr int kExitWrite = 3;        // a file could not be written

// Prints what was simulated and written; with truth, also every passage
// and every vehicle with its axles.
void PrintReport(const Simulation& sim, const std::vector<WrittenFile>& written, bool truth, FILE* out);

// Runs the program; messages go to out (report) and err (errors, usage).
int TrainsimMain(int argc, const char* const* argv, FILE* out, FILE* err);

}  // namespace trainsim
