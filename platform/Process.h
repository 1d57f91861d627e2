// Starting other programs of the site software without a command processor:
// the program is looked up on PATH and started with an argument vector, so
// no argument is ever interpreted by a shell.
#pragma once

#include <string>
#include <vector>

namespace plat {

// Full name of a program found on PATH: the first absolute PATH element
// holding an executable regular file of that name. Empty and relative
// elements (the current directory among them) are never searched, and a
// name holding a '/' is not looked up at all. "" when nothing is found.
std::string FindOnPath(const std::string& program);

struct ProcessResult {
    bool started = false;  // false: not found on PATH, or it could not be started
    int status = -1;       // exit status when it exited
    int signal = 0;        // terminating signal, 0 when it exited
};

// Flushes the standard streams, starts the program found on PATH with the
// arguments (argv[0] is the program's name) and waits until it has ended.
// The child inherits the standard streams and the current directory.
ProcessResult RunOnPath(const std::string& program, const std::vector<std::string>& args);

}  // namespace plat
