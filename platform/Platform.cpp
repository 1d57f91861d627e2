#include "Platform.h"
#include "PlatformTesting.h"
#include "TrainLock.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <unordered_map>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <chrono>
#include <unistd.h>

namespace plat {

namespace {

thread_local uint32_t t_lastError = 0;

// Fault injection for tests: the number of bytes a whole-file write may put
// down before it fails as a full disk would; negative means no fault.
long long g_writeFaultAfter = -1;

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    void Reset(int fd) {
        Close();
        m_fd = fd;
    }
    int Get() const { return m_fd; }
    bool Ok() const { return m_fd >= 0; }
    // Gives up ownership of the descriptor.
    int Release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
private:
    int m_fd;
};

bool Fail(uint32_t code) {
    t_lastError = code;
    return false;
}

bool FailErrno(int err) { return Fail(ErrorFromErrno(err)); }

std::string ToSlashes(const std::string& name) {
    std::string s = name;
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

std::string LowerAscii(const char* s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The entries of one directory by their lower-cased names, read once and
// read again only when the directory has changed (its identity or
// modification time differ), so that looking up many missing names in a
// large directory reads it once. A directory changed in the last two seconds
// is read every time: a change within the file system's time granularity
// would not show in its modification time.
struct DirectoryListing {
    dev_t dev = 0;
    ino_t ino = 0;
    timespec mtime{};
    std::unordered_map<std::string, std::string> byLowerName;  // first spelling in byte order
};

// A name is looked up by trying each of its letter-case spellings (2^letters
// of them) instead of reading the directory when that is the cheaper way:
// always for up to six letters (train files are mostly digits:
// "00008901.012" has a single spelling), and for more letters when the
// directory is large enough that reading it would cost more lookups than
// the spellings are. Both ways give the same answer.
constexpr unsigned kAlwaysProbedLetters = 6;
constexpr unsigned kMaxProbedLetters = 16;
// Bytes of directory size per entry a listing has to read, at the least.
constexpr uint64_t kDirectoryBytesPerSpelling = 128;

// Tries every letter-case spelling of comp in dir (whose size in bytes is
// dirSize). True when the spellings were tried; then existing holds those
// that exist, in byte order. False when reading the directory is cheaper.
bool ProbeSpellings(const std::string& dir, const std::string& comp, uint64_t dirSize,
                    std::vector<std::string>& existing) {
    std::vector<size_t> letters;
    for (size_t i = 0; i < comp.size(); ++i)
        if ((comp[i] | 0x20) >= 'a' && (comp[i] | 0x20) <= 'z') letters.push_back(i);  // ASCII letters only
    if (letters.size() > kMaxProbedLetters) return false;
    const uint64_t spellings = uint64_t{1} << letters.size();
    if (letters.size() > kAlwaysProbedLetters && spellings > dirSize / kDirectoryBytesPerSpelling) return false;
    existing.clear();
    const std::string prefix = dir.empty() ? std::string() : dir == "/" ? dir : dir + "/";
    std::string spelling = comp;
    for (uint64_t mask = 0; mask < spellings; ++mask) {
        for (size_t b = 0; b < letters.size(); ++b) {
            const char c = comp[letters[b]];
            spelling[letters[b]] = static_cast<char>((mask >> b) & 1 ? c & ~0x20 : c | 0x20);
        }
        struct stat st{};
        if (::lstat((prefix + spelling).c_str(), &st) == 0) existing.push_back(spelling);
    }
    std::sort(existing.begin(), existing.end());
    return true;
}

// Finds an entry of dir whose name equals comp ignoring ASCII case.
bool FindCaseInsensitive(const std::string& dir, const std::string& comp, std::string& found) {
    static std::mutex mutex;
    static std::map<std::string, DirectoryListing> listings;
    const std::string path = dir.empty() ? "." : dir;
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    std::vector<std::string> spellings;
    if (ProbeSpellings(dir, comp, static_cast<uint64_t>(st.st_size), spellings)) {
        if (spellings.empty()) return false;
        found = spellings.front();
        return true;
    }
    std::lock_guard<std::mutex> guard(mutex);
    DirectoryListing& l = listings[path];
    const bool settled = ::time(nullptr) - st.st_mtim.tv_sec > 2;
    if (!settled || l.byLowerName.empty() || l.dev != st.st_dev || l.ino != st.st_ino ||
        l.mtime.tv_sec != st.st_mtim.tv_sec || l.mtime.tv_nsec != st.st_mtim.tv_nsec) {
        DIR* d = ::opendir(path.c_str());
        if (!d) return false;
        l.byLowerName.clear();
        l.byLowerName.reserve(static_cast<size_t>(st.st_size / 16) + 16);
        l.dev = st.st_dev;
        l.ino = st.st_ino;
        l.mtime = st.st_mtim;
        while (dirent* e = ::readdir(d)) {
            auto [it, added] = l.byLowerName.emplace(LowerAscii(e->d_name), e->d_name);
            // Several spellings of one name can exist on a case-sensitive
            // disk; take the first in byte order so the choice is repeatable.
            if (!added && std::strcmp(e->d_name, it->second.c_str()) < 0) it->second = e->d_name;
        }
        ::closedir(d);
    }
    const auto it = l.byLowerName.find(LowerAscii(comp.c_str()));
    if (it == l.byLowerName.end()) return false;
    found = it->second;
    return true;
}

std::string ParentOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return "";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// After an ENOENT, tells "file not found" from "path not found".
uint32_t MissingCode(const std::string& path) {
    std::string parent = ParentOf(path);
    if (parent.empty()) return kErrFileNotFound;
    struct stat st{};
    if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrPathNotFound;
    return kErrFileNotFound;
}

bool WriteAll(int fd, const uint8_t* p, size_t len, long long* budget) {
    while (len > 0) {
        size_t chunk = len;
        if (budget && *budget >= 0) {
            if (*budget == 0) {
                errno = ENOSPC;
                return false;
            }
            chunk = std::min<size_t>(chunk, static_cast<size_t>(*budget));
        }
        ssize_t n = ::write(fd, p, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (budget && *budget >= 0) *budget -= n;
        p += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

void SyncDirectoryOf(const std::string& path) {
    std::string parent = ParentOf(path);
    Fd d(::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY));
    if (d.Ok()) ::fsync(d.Get());
}

}  // namespace

uint32_t GetLastError() { return t_lastError; }
void SetLastError(uint32_t code) { t_lastError = code; }

uint32_t ErrorFromErrno(int err) {
    switch (err) {
    case 0: return kErrSuccess;
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kErrAccessDenied;
    case EWOULDBLOCK: return kErrSharingViolation;
    case EEXIST: return kErrFileExists;
    case ENOSPC:
    case EDQUOT: return kErrDiskFull;
    case ENAMETOOLONG: return kErrNameTooLong;
    default: return kErrGeneric;
    }
}

std::string ResolvePath(const std::string& name) {
    std::string path = ToSlashes(name);
    if (path.empty()) return path;
    std::string out;
    size_t pos = 0;
    if (path[0] == '/') {
        out = "/";
        pos = 1;
    }
    bool resolving = true;  // stops once a component is missing
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        std::string comp = path.substr(pos, next - pos);
        pos = next + 1;
        if (comp.empty()) {
            if (next == path.size()) break;
            continue;  // doubled separators
        }
        std::string candidate = out.empty() || out == "/" ? out + comp : out + "/" + comp;
        if (resolving && comp != "." && comp != "..") {
            struct stat st{};
            if (::lstat(candidate.c_str(), &st) != 0) {
                std::string found;
                std::string dir = out;
                if (FindCaseInsensitive(dir, comp, found)) {
                    candidate = out.empty() || out == "/" ? out + found : out + "/" + found;
                } else {
                    resolving = false;
                }
            }
        }
        out = candidate;
        if (next == path.size()) break;
    }
    return out;
}

bool ReadWholeFile(const std::string& name, std::vector<uint8_t>& out) {
    out.clear();
    std::string path = ResolvePath(name);
    if (path.empty()) return Fail(kErrFileNotFound);
    if (!LockTrainOf(path)) return false;
    // Non-blocking, so that a pipe or device under a train file's name is
    // refused instead of holding the program forever.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.Ok()) {
        if (errno == ENOENT) return Fail(MissingCode(path));
        return FailErrno(errno);
    }
    struct stat st{};
    if (::fstat(fd.Get(), &st) != 0) return FailErrno(errno);
    if (!S_ISREG(st.st_mode)) return Fail(kErrAccessDenied);
    if (::flock(fd.Get(), LOCK_SH | LOCK_NB) != 0) return FailErrno(errno);
    if (st.st_size <= 0) return Fail(kErrSuccess);
    out.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < out.size()) {
        ssize_t n = ::read(fd.Get(), out.data() + got, out.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            out.clear();
            return FailErrno(errno);
        }
        if (n == 0) break;  // the file shrank while we read it
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    if (out.empty()) return Fail(kErrSuccess);
    t_lastError = 0;
    return true;
}

namespace {

constexpr const char* kSavingTag = ".saving.";
// A file's temporaries are "." + name + ".saving." + a slot number of six
// digits. Saves of one file at once take different slots; a live save holds
// an exclusive lock on its temporary, so a slot whose lock can be taken was
// left by a writer that has gone (killed mid-save). Numbered slots let a save
// find such leftovers by name, without reading the directory.
constexpr int kSaveSlots = 8;

std::string SlotPath(const std::string& parent, const std::string& base, int slot) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06d", slot);
    return (parent.empty() ? std::string() : parent + "/") + "." + base + kSavingTag + digits;
}

// Opens the temporary of a slot and takes its lock. Returns the descriptor,
// or -1 when the slot is held by a live save or cannot be used (err: the
// errno of an open that failed, 0 otherwise). The lock is taken on the file
// the name still links to, so a temporary renamed over its target between
// the open and the lock is never taken for a free slot.
int TakeSlot(const std::string& path, bool create, int& err) {
    err = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (create ? O_CREAT : 0);
        Fd fd(::open(path.c_str(), flags, 0600));
        if (!fd.Ok()) {
            err = errno;
            return -1;
        }
        struct stat st{};
        if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
        if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return -1;  // its writer is still at work
        struct stat now{};
        if (::lstat(path.c_str(), &now) == 0 && now.st_ino == st.st_ino && now.st_dev == st.st_dev)
            return fd.Release();
        if (!create) return -1;
    }
    return -1;
}

// Removes the temporaries of a file (other than the slot in use) whose
// writer has gone.
void RemoveStaleTemporaries(const std::string& parent, const std::string& base, int inUse) {
    for (int slot = 0; slot < kSaveSlots; ++slot) {
        if (slot == inUse) continue;
        const std::string path = SlotPath(parent, base, slot);
        struct stat st{};
        if (::lstat(path.c_str(), &st) != 0) continue;
        int err = 0;
        Fd stale(TakeSlot(path, false, err));
        if (stale.Ok()) ::unlink(path.c_str());
    }
}

}  // namespace

bool PendingSave::Prepare(const std::string& name, const void* bytes, size_t len) {
    Discard();
    std::string path = ResolvePath(name);
    if (path.empty()) return Fail(kErrPathNotFound);

    // Writes through a symbolic link land on the file it names.
    struct stat lst{};
    if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
        char real[4096];
        if (::realpath(path.c_str(), real)) path = real;
    }

    std::string parent = ParentOf(path);
    struct stat pst{};
    if (::stat(parent.empty() ? "." : parent.c_str(), &pst) != 0 || !S_ISDIR(pst.st_mode))
        return Fail(kErrPathNotFound);
    if (!LockTrainOf(path)) return false;

    mode_t mode = 0666;
    {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    Fd old;
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return Fail(kErrAccessDenied);
        // The read-only attribute: no write permission for anybody.
        if ((st.st_mode & 0222) == 0) return Fail(kErrAccessDenied);
        mode = st.st_mode & 07777;
        old.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (!old.Ok()) return FailErrno(errno);
        if (::flock(old.Get(), LOCK_EX | LOCK_NB) != 0) return FailErrno(errno);
    }

    std::string base = path.substr(parent.empty() ? 0 : parent.size() + 1);
    // The temporary's name must stay within the 255 bytes a name may have.
    if (base.size() > 200) base.resize(200);
    Fd tmp;
    std::string tmpPath;
    int slot = 0;
    int openErr = 0;
    for (; slot < kSaveSlots && !tmp.Ok(); ++slot) {
        tmpPath = SlotPath(parent, base, slot);
        int err = 0;
        tmp.Reset(TakeSlot(tmpPath, true, err));
        if (err != 0 && openErr == 0) openErr = err;
    }
    // No temporary could be made (an unwritable directory, a full disk), or
    // every slot is held by a save of this file that is still at work.
    if (!tmp.Ok()) return openErr != 0 ? FailErrno(openErr) : Fail(kErrSharingViolation);
    RemoveStaleTemporaries(parent, base, slot - 1);
    // A slot left by a killed save still holds its bytes.
    if (::ftruncate(tmp.Get(), 0) != 0) {
        const int err = errno;
        ::unlink(tmpPath.c_str());
        return FailErrno(err);
    }

    long long budget = g_writeFaultAfter;
    const bool ok = WriteAll(tmp.Get(), static_cast<const uint8_t*>(bytes), len, &budget) &&
                    ::fchmod(tmp.Get(), mode) == 0 && ::fsync(tmp.Get()) == 0;
    if (!ok) {
        const int err = errno;
        ::unlink(tmpPath.c_str());
        return FailErrno(err);
    }
    m_path = path;
    m_tmpPath = tmpPath;
    m_oldFd = old.Get() >= 0 ? ::dup(old.Get()) : -1;
    m_tmpFd = ::dup(tmp.Get());
    t_lastError = 0;
    return true;
}

bool PendingSave::Commit() {
    if (m_tmpPath.empty()) return Fail(kErrGeneric);
    if (::rename(m_tmpPath.c_str(), m_path.c_str()) != 0) {
        const int err = errno;
        Discard();
        return FailErrno(err);
    }
    SyncDirectoryOf(m_path);
    m_tmpPath.clear();
    Discard();
    t_lastError = 0;
    return true;
}

void PendingSave::Discard() {
    if (!m_tmpPath.empty()) ::unlink(m_tmpPath.c_str());
    m_tmpPath.clear();
    m_path.clear();
    if (m_tmpFd >= 0) ::close(m_tmpFd);
    if (m_oldFd >= 0) ::close(m_oldFd);
    m_tmpFd = m_oldFd = -1;
}

bool CanReplaceFile(const std::string& name) {
    std::string path = ResolvePath(name);
    if (path.empty()) return Fail(kErrPathNotFound);
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) {
        const std::string parent = ParentOf(path);
        struct stat pst{};
        if (::stat(parent.empty() ? "." : parent.c_str(), &pst) != 0 || !S_ISDIR(pst.st_mode))
            return Fail(kErrPathNotFound);
        return true;
    }
    if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0) return Fail(kErrAccessDenied);
    return true;
}

bool WriteNewFile(const std::string& name, const void* bytes, size_t len) {
    PendingSave save;
    return save.Prepare(name, bytes, len) && save.Commit();
}

bool AppendToFile(const std::string& name, const void* bytes, size_t len) {
    std::string path = ResolvePath(name);
    if (path.empty()) return Fail(kErrPathNotFound);
    if (!LockTrainOf(path)) return false;
    struct stat st{};
    if (::stat(path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return Fail(kErrAccessDenied);
        if ((st.st_mode & 0222) == 0) return Fail(kErrAccessDenied);
    }
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!fd.Ok()) {
        if (errno == ENOENT) return Fail(kErrPathNotFound);
        return FailErrno(errno);
    }
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return FailErrno(errno);
    if (!WriteAll(fd.Get(), static_cast<const uint8_t*>(bytes), len, nullptr) || ::fsync(fd.Get()) != 0)
        return FailErrno(errno);
    t_lastError = 0;
    return true;
}

bool FileExists(const std::string& name) {
    std::string path = ResolvePath(name);
    struct stat st{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        t_lastError = path.empty() ? kErrFileNotFound : MissingCode(path);
        return false;
    }
    return true;
}

bool IsDirectory(const std::string& name) {
    std::string path = ResolvePath(name);
    struct stat st{};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& name) {
    std::string path = ResolvePath(name);
    struct stat st{};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return Fail(path.empty() ? kErrFileNotFound : MissingCode(path));
    if (S_ISDIR(st.st_mode)) return Fail(kErrAccessDenied);
    // A read-only file is kept, as a save would keep it.
    if (S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0) return Fail(kErrAccessDenied);
    if (!LockTrainOf(path)) return false;
    if (::unlink(path.c_str()) != 0) return FailErrno(errno);
    t_lastError = 0;
    return true;
}

FileLock::~FileLock() { Release(); }

bool FileLock::Acquire(const std::string& name, bool exclusive) {
    Release();
    std::string path = ResolvePath(name);
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0) return FailErrno(errno);
    if (::flock(m_fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        int err = errno;
        Release();
        return FailErrno(err);
    }
    return true;
}

void FileLock::Release() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    // Iterative match with one backtrack point: linear in practice, never
    // exponential.
    size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    auto eq = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || (pattern[p] != '*' && eq(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool FindFiles::FindFirst(const std::string& pattern) {
    m_names.clear();
    m_isDir.clear();
    m_sizes.clear();
    m_pos = 0;
    std::string pat = ToSlashes(pattern);
    size_t slash = pat.find_last_of('/');
    std::string dirPart = slash == std::string::npos ? "" : pat.substr(0, slash + 1);
    std::string namePart = slash == std::string::npos ? pat : pat.substr(slash + 1);
    m_dir = dirPart.empty() ? "" : ResolvePath(dirPart.size() > 1 ? dirPart.substr(0, dirPart.size() - 1) : dirPart);
    if (!m_dir.empty() && m_dir.back() != '/') m_dir += '/';

    const std::string dirPath = m_dir.empty() ? "." : m_dir;
    struct stat dst{};
    if (::stat(dirPath.c_str(), &dst) != 0)
        return Fail(errno == ENOENT || errno == ENOTDIR ? kErrPathNotFound : ErrorFromErrno(errno));
    if (!S_ISDIR(dst.st_mode)) return Fail(kErrPathNotFound);
    std::vector<std::string> found;
    // A name without wildcards needs only its own spellings, where trying
    // them is cheaper than reading the directory.
    const bool literal = namePart.find_first_of("?*") == std::string::npos && namePart != "." && namePart != "..";
    const std::string probeDir = m_dir.size() > 1 ? m_dir.substr(0, m_dir.size() - 1) : m_dir;
    if (!literal || !ProbeSpellings(probeDir, namePart,
                                    static_cast<uint64_t>(dst.st_size), found)) {
        DIR* d = ::opendir(dirPath.c_str());
        if (!d) return Fail(errno == ENOENT || errno == ENOTDIR ? kErrPathNotFound : ErrorFromErrno(errno));
        // "NAME.*" also matches "NAME" with no extension.
        std::string bare;
        if (namePart.size() >= 2 && namePart.compare(namePart.size() - 2, 2, ".*") == 0)
            bare = namePart.substr(0, namePart.size() - 2);
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n == "." || n == "..") continue;
            if (WildcardMatch(namePart, n) || (!bare.empty() && WildcardMatch(bare, n))) found.push_back(n);
        }
        ::closedir(d);
        std::sort(found.begin(), found.end());
    }
    for (const auto& n : found) {
        struct stat st{};
        std::string full = m_dir + n;
        if (::stat(full.c_str(), &st) != 0) continue;
        m_names.push_back(n);
        m_isDir.push_back(S_ISDIR(st.st_mode));
        m_sizes.push_back(static_cast<uint64_t>(st.st_size));
    }
    if (m_names.empty()) return Fail(kErrFileNotFound);
    t_lastError = 0;
    return true;
}

bool FindFiles::FindNext() {
    if (m_pos + 1 >= m_names.size()) return Fail(18);  // no more files
    ++m_pos;
    return true;
}

LocalTime GetLocalTime() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    ::localtime_r(&ts.tv_sec, &tm);
    return LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                     static_cast<int>(ts.tv_nsec / 1000000), tm.tm_wday};
}

void Sleep(unsigned milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

namespace testing {
void SetWriteFaultAfter(long long bytes) { g_writeFaultAfter = bytes; }
}  // namespace testing

}  // namespace plat
