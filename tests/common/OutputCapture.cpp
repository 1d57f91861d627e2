#include "OutputCapture.h"

#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace commontest {

namespace {

std::string ReadAll(int fd) {
    std::string s;
    ::lseek(fd, 0, SEEK_SET);
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
    return s;
}

int TempFd() {
    char name[] = "/tmp/capture_XXXXXX";
    int fd = ::mkstemp(name);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    ::unlink(name);
    return fd;
}

}  // namespace

Captured CaptureOutput(const std::function<void()>& fn) {
    std::fflush(stdout);
    std::fflush(stderr);
    const int outFd = TempFd(), errFd = TempFd();
    const int savedOut = ::dup(1), savedErr = ::dup(2);
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    fn();
    std::fflush(stdout);
    std::fflush(stderr);
    ::dup2(savedOut, 1);
    ::dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);
    Captured c{ReadAll(outFd), ReadAll(errFd)};
    ::close(outFd);
    ::close(errFd);
    return c;
}

ChildResult RunInChild(const std::function<int()>& fn) {
    std::fflush(stdout);
    std::fflush(stderr);
    const int outFd = TempFd();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(outFd, 1);
        const int code = fn();
        std::fflush(stdout);
        ::_exit(code);
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    ChildResult r;
    if (WIFEXITED(st)) r.exitCode = WEXITSTATUS(st);
    if (WIFSIGNALED(st)) r.signal = WTERMSIG(st);
    r.out = ReadAll(outFd);
    ::close(outFd);
    return r;
}

}  // namespace commontest
