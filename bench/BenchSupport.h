// Helpers the benchmarks share: a scratch directory for their files and a
// program run to completion.
#pragma once

#include "TrainLock.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace bench {

// A fresh directory under $TMPDIR (or /tmp), removed with its contents.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix) {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "_XXXXXX";
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        m_path = tmpl;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Runs a program (looked up on PATH when argv[0] has no '/') and waits for
// it, in the directory cwd when one is given; its standard output goes to
// /dev/null when quiet, or into the file stdoutFile when one is named. The
// exit status, or -1 when it could not start or was killed.
inline int Spawn(std::vector<std::string> argv, bool quiet = false, const char* cwd = nullptr,
                 const std::string& stdoutFile = "") {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!stdoutFile.empty())
        posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    else if (quiet)
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (cwd) posix_spawn_file_actions_addchdir_np(&actions, cwd);
    pid_t pid = 0;
    plat::ReleaseTrainLocks();  // the program works on trains this benchmark wrote
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int st = 0;
    ::waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

}  // namespace bench
