#include "Process.h"
#include "TrainLock.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace plat {

std::string FindOnPath(const std::string& program) {
    if (program.empty() || program.find('/') != std::string::npos) return {};
    const char* path = std::getenv("PATH");
    if (!path) return {};
    const std::string list = path;
    size_t begin = 0;
    while (begin <= list.size()) {
        size_t end = list.find(':', begin);
        if (end == std::string::npos) end = list.size();
        const std::string dir = list.substr(begin, end - begin);
        begin = end + 1;
        if (dir.empty() || dir[0] != '/') continue;
        const std::string candidate = dir + (dir.back() == '/' ? "" : "/") + program;
        struct stat st{};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

ProcessResult RunOnPath(const std::string& program, const std::vector<std::string>& args) {
    ProcessResult r;
    const std::string full = FindOnPath(program);
    if (full.empty()) return r;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // The child writes to the same console: what was printed before must
    // come out before what it prints.
    std::fflush(nullptr);
    // The child may work on the trains this program has open.
    ReleaseTrainLocks();
    pid_t pid = 0;
    if (::posix_spawn(&pid, full.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return r;
    r.started = true;
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0) {
        if (errno != EINTR) return r;
    }
    if (WIFEXITED(st)) r.status = WEXITSTATUS(st);
    if (WIFSIGNALED(st)) r.signal = WTERMSIG(st);
    return r;
}

}  // namespace plat
