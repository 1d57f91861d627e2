#include "FuzzSupport.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fuzz {

const std::vector<std::string> kExtensions = {"007", "010", "011", "012", "018", "01A", "01D", "024", "034",
                                              "035", "036", "037", "041", "055", "060", "061", "064", "0PT", "070"};

namespace {

std::string g_scratch;

// Removes every file in the directory dir (ending in '/').
void RemoveFilesIn(const std::string& dir) {
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
            const std::string path = dir + e->d_name;
            ::chmod(path.c_str(), 0600);
            ::unlink(path.c_str());
        }
        ::closedir(d);
    }
}

void RemoveScratchFiles() {
    if (!g_scratch.empty()) RemoveFilesIn(g_scratch);
}

void RemoveScratch() {
    RemoveScratchFiles();
    if (!g_scratch.empty()) ::rmdir(g_scratch.c_str());
}

// A fuzzer stopped by a signal or a crash exits without its clean-up, so
// each new process removes the scratch directories (trainfuzz_<pid>_...)
// of processes that no longer exist.
void RemoveStaleScratch(const std::string& parent) {
    DIR* d = ::opendir(parent.c_str());
    if (!d) return;
    std::vector<std::string> stale;
    constexpr const char* kPrefix = "trainfuzz_";
    const size_t prefixLen = std::strlen(kPrefix);
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefixLen, kPrefix) != 0) continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefixLen, &end, 10);
        if (end == name.c_str() + prefixLen || *end != '_' || pid <= 0) continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) stale.push_back(parent + name + "/");
    }
    ::closedir(d);
    for (const auto& dir : stale) {
        RemoveFilesIn(dir);
        ::rmdir(dir.c_str());
    }
}

char MapExtensionChar(uint8_t c) {
    static const char kChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return static_cast<char>(c);
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    return kChars[c % 36];
}

}  // namespace

const std::string& ScratchDir() {
    if (g_scratch.empty()) {
        // No dot in the path: the tools refuse base names that carry one.
        struct stat st{};
        const std::string parent = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm/" : "/tmp/";
        RemoveStaleScratch(parent);
        const std::string tmpl = parent + "trainfuzz_" + std::to_string(::getpid()) + "_XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        g_scratch = std::string(buf.data()) + "/";
        std::atexit(RemoveScratch);
    }
    return g_scratch;
}

void ClearScratch() {
    ScratchDir();
    RemoveScratchFiles();
}

std::string WriteScratchFile(const std::string& name, std::span<const uint8_t> bytes) {
    const std::string path = ScratchDir() + name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return path;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return path;
}

FileSet WriteFileSet(std::span<const uint8_t> input, const std::vector<std::string>& bases) {
    ClearScratch();
    FileSet set;
    for (const auto& b : bases) set.bases.push_back(ScratchDir() + b);
    size_t at = 0;
    for (; at < 2 && at < input.size(); ++at) set.choice[at] = input[at];
    while (at + 8 <= input.size() && !bases.empty()) {
        const std::string& base = bases[input[at] % bases.size()];
        std::string ext;
        for (int i = 1; i <= 3; ++i) ext.push_back(MapExtensionChar(input[at + i]));
        uint32_t len = 0;
        std::memcpy(&len, input.data() + at + 4, 4);
        at += 8;
        const size_t n = std::min<size_t>(len, input.size() - at);
        WriteScratchFile(base + "." + ext, input.subspan(at, n));
        at += n;
    }
    return set;
}

void AppendFileSetRecord(std::vector<uint8_t>& out, uint8_t train, const std::string& extension,
                         std::span<const uint8_t> bytes) {
    out.push_back(train);
    for (size_t i = 0; i < 3; ++i) out.push_back(i < extension.size() ? static_cast<uint8_t>(extension[i]) : '0');
    const uint32_t len = static_cast<uint32_t>(bytes.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(len >> (8 * i)));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void SilenceToolOutput() {
    static bool done = false;
    if (done) return;
    done = true;
    std::fflush(stdout);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) return;
    ::dup2(null, STDOUT_FILENO);
    ::close(null);
}

}  // namespace fuzz
