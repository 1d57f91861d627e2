// Platform layer: the file, time and error services the train tools need,
// implemented on POSIX with the behaviour of the recorder's file system.
//
//  * Names resolve case-insensitively, component by component, and accept both
//    '\' and '/' as directory separators. Creating "x.010" where "X.010"
//    exists replaces "X.010"; a new name is created exactly as spelled.
//  * Error numbers are the recorder platform's codes (see ErrorCode). Anything
//    without a counterpart there is reported as kErrGeneric (31).
//  * Readers hold a shared advisory lock, writers an exclusive one, so a
//    writer meeting a reader (or another writer) fails with a sharing
//    violation (32) that the caller may retry.
//  * Whole-file writes never leave a half-written file: the bytes go to a
//    temporary file beside the target, are flushed to disk, and the temporary
//    is renamed over the target. A read-only target is refused with 5.
//    A program killed mid-save leaves its temporary behind; the next save of
//    that file removes it.
//  * Reading, writing or deleting a train's file takes the train's lock for
//    the rest of the program (TrainLock.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

enum ErrorCode : uint32_t {
    kErrSuccess = 0,
    kErrFileNotFound = 2,
    kErrPathNotFound = 3,
    kErrAccessDenied = 5,
    kErrGeneric = 31,            // fallback for errors with no closer code
    kErrSharingViolation = 32,
    kErrFileExists = 80,
    kErrDiskFull = 112,
    kErrNameTooLong = 206,
};

// Last error of this thread, set by every failing call below.
uint32_t GetLastError();
void SetLastError(uint32_t code);
// Maps a POSIX errno value to the recorder platform's code.
uint32_t ErrorFromErrno(int err);

// Converts '\' separators to '/' and resolves every existing component
// case-insensitively. Components that do not exist are kept as spelled.
std::string ResolvePath(const std::string& name);

// Reads a whole existing file (shared lock). Fails on a missing file, a
// directory or anything else that is no regular file (a pipe, a device: 5),
// a file of size 0 or a read error; GetLastError tells why.
bool ReadWholeFile(const std::string& name, std::vector<uint8_t>& out);

// Creates or replaces a file with exactly these bytes, atomically and
// flushed to disk (exclusive lock on the old file while it is replaced).
// A target that exists but is no regular file is refused with 5.
bool WriteNewFile(const std::string& name, const void* bytes, size_t len);

// True when WriteNewFile or DeleteFile could replace or remove the file by
// its attributes: it does not exist (and its directory does), or it is a
// regular file that is not read-only. Otherwise false with the error a save
// would give (3, or 5). Nothing is written.
bool CanReplaceFile(const std::string& name);

// A whole-file write in two steps, for a program that must have several files
// written before any of them replaces its old version. Prepare makes every
// check WriteNewFile makes and puts the bytes into a temporary beside the
// target, flushed to disk; Commit renames it over the target. A save that is
// discarded or destroyed before Commit removes its temporary and leaves the
// target as it was. While it lives the temporary is locked; the next save of
// the same file removes temporaries whose writer has gone (killed mid-save).
class PendingSave {
public:
    PendingSave() = default;
    PendingSave(const PendingSave&) = delete;
    PendingSave& operator=(const PendingSave&) = delete;
    ~PendingSave() { Discard(); }
    bool Prepare(const std::string& name, const void* bytes, size_t len);
    bool Commit();
    void Discard();
private:
    std::string m_path;
    std::string m_tmpPath;
    int m_oldFd = -1;
    int m_tmpFd = -1;
};

// Opens or creates a file and appends bytes at its end (exclusive lock),
// flushed to disk before it returns.
bool AppendToFile(const std::string& name, const void* bytes, size_t len);

// True when a file or directory of that name exists (any letter case).
bool FileExists(const std::string& name);
bool IsDirectory(const std::string& name);

// Removes a file. Fails with 2 when it does not exist, and with 5 for a
// directory or a read-only file (one a save would refuse to replace).
bool DeleteFile(const std::string& name);

// Holds an advisory lock on a file for as long as the object lives; used by
// tests and tools that must keep other programs off a file for a while.
class FileLock {
public:
    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();
    bool Acquire(const std::string& name, bool exclusive);
    void Release();
private:
    int m_fd = -1;
};

// Directory search with '?' and '*' wildcards in the last component,
// matched case-insensitively. A pattern ending in ".*" also matches names
// without an extension, as on the recorder. Entries "." and ".." are never
// returned; results are sorted by name so runs are repeatable.
class FindFiles {
public:
    // Starts a search; false (error 2) when nothing matches or 3 when the
    // directory does not exist.
    bool FindFirst(const std::string& pattern);
    // Next match; false (error 18, no more files) at the end.
    bool FindNext();
    // Name of the current match, without directory.
    const std::string& Name() const { return m_names[m_pos]; }
    // Directory the search looked in, with a trailing '/', or "" for the
    // current directory.
    const std::string& Directory() const { return m_dir; }
    bool IsDirectoryEntry() const { return m_isDir[m_pos]; }
    uint64_t Size() const { return m_sizes[m_pos]; }
private:
    std::string m_dir;
    std::vector<std::string> m_names;
    std::vector<bool> m_isDir;
    std::vector<uint64_t> m_sizes;
    size_t m_pos = 0;
};

// Case-insensitive wildcard match of one name ('?' one character, '*' any run).
bool WildcardMatch(const std::string& pattern, const std::string& name);

struct LocalTime {
    int year, month, day, hour, minute, second, milliseconds, dayOfWeek;
};
LocalTime GetLocalTime();

void Sleep(unsigned milliseconds);

}  // namespace plat
