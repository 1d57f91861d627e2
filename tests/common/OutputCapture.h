// Captures what library code prints on standard output and standard error,
// and runs code in a forked child (for faults and for holding file locks
// from another process).
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace commontest {

struct Captured {
    std::string out;
    std::string err;
};

// Runs fn with file descriptors 1 and 2 redirected to temporary files.
Captured CaptureOutput(const std::function<void()>& fn);

struct ChildResult {
    int exitCode = -1;  // low 8 bits of the exit status, -1 when killed
    int signal = 0;
    std::string out;    // the child's standard output
};

// Runs fn in a forked child whose standard output is captured; the child
// exits with fn's result.
ChildResult RunInChild(const std::function<int()>& fn);

}  // namespace commontest
