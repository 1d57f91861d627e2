#include "Platform.h"
#include "TrainLock.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {

constexpr long kDefaultWaitMs = 30000;
constexpr unsigned kPollMs = 10;

struct LockState {
    std::mutex mutex;
    bool enabled = true;
    bool opened = false;
    int fd = -1;
    std::set<off_t> held;
    pid_t owner = 0;  // process that opened fd
};

LockState& State() {
    static LockState s;
    return s;
}

// Record locks belong to the open lock file: a child made by fork shares its
// parent's and must neither use nor release them, so it opens its own.
void AdoptProcess(LockState& s) {
    const pid_t self = ::getpid();
    if (s.owner == self) return;
    if (s.fd >= 0) ::close(s.fd);
    s.fd = -1;
    s.opened = false;
    s.held.clear();
    s.owner = self;
}

long WaitLimitMs() {
    const char* v = std::getenv("TRAIN_LOCK_WAIT_MS");
    if (!v || !*v) return kDefaultWaitMs;
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    return end && *end == '\0' && n >= 0 ? n : kDefaultWaitMs;
}

int OpenLockFile() {
    const char* name = std::getenv("TRAIN_LOCK_FILE");
    const std::string path = name && *name ? name : "/tmp/.train-locks";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return -1;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    // Every user's programs share the file, whatever their umask.
    if (st.st_uid == ::geteuid()) ::fchmod(fd, 0666);
    return fd;
}

// FNV-1a over the directory's device, inode and canonical path and the
// upper-cased base name, folded into the positive range of a record lock
// offset. The path keeps a directory that reuses the inode of a removed one
// (scratch directories do) from meeting a lock still held on the old one.
off_t TrainSlot(dev_t dev, ino_t ino, const std::string& canonicalDir, const std::string& base) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint8_t b) {
        h ^= b;
        h *= 1099511628211ull;
    };
    for (size_t i = 0; i < sizeof dev; ++i) mix(static_cast<uint8_t>(static_cast<uint64_t>(dev) >> (8 * i)));
    for (size_t i = 0; i < sizeof ino; ++i) mix(static_cast<uint8_t>(static_cast<uint64_t>(ino) >> (8 * i)));
    for (char c : canonicalDir) mix(static_cast<uint8_t>(c));
    mix(0);
    for (char c : base) mix(static_cast<uint8_t>(std::toupper(static_cast<unsigned char>(c))));
    return static_cast<off_t>(h & 0x3FFFFFFFFFFFull);
}

bool SetLock(int fd, off_t slot, short type) {
    struct flock fl{};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = slot;
    fl.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

}  // namespace

bool LockTrainOf(const std::string& path) {
    LockState& s = State();
    std::lock_guard<std::mutex> guard(s.mutex);
    AdoptProcess(s);
    if (!s.enabled || path.empty()) return true;
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    base = base.substr(0, base.find('.'));
    struct stat st{};
    if (::stat(dir.c_str(), &st) != 0) return true;  // the call itself reports the missing path
    if (!s.opened) {
        s.fd = OpenLockFile();
        s.opened = true;
    }
    if (s.fd < 0) return true;
    std::string canonical;
    if (char* real = ::realpath(dir.c_str(), nullptr)) {
        canonical = real;
        std::free(real);
    }
    const off_t slot = TrainSlot(st.st_dev, st.st_ino, canonical, base);
    if (s.held.count(slot)) return true;

    const long limit = WaitLimitMs();
    const auto start = std::chrono::steady_clock::now();
    while (!SetLock(s.fd, slot, F_WRLCK)) {
        if (errno != EAGAIN && errno != EACCES) return true;  // no locking on this system
        const long waited = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
        if (waited >= limit) {
            const std::string train = slash == std::string::npos ? base : path.substr(0, slash + 1) + base;
            std::fprintf(stderr, "Train \"%s\" is in use by another program; gave up after %ld ms.\n",
                         train.c_str(), waited);
            std::fflush(stderr);
            SetLastError(kErrSharingViolation);
            return false;
        }
        Sleep(kPollMs);
    }
    s.held.insert(slot);
    return true;
}

void ReleaseTrainLocks() {
    LockState& s = State();
    std::lock_guard<std::mutex> guard(s.mutex);
    AdoptProcess(s);
    for (off_t slot : s.held) SetLock(s.fd, slot, F_UNLCK);
    s.held.clear();
}

namespace testing {
void SetTrainLocking(bool on) {
    ReleaseTrainLocks();
    std::lock_guard<std::mutex> guard(State().mutex);
    State().enabled = on;
}
}  // namespace testing

}  // namespace plat
