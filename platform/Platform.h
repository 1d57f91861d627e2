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

// Opens or creates a file and appends bytes at its end (exclusive lock),
// flushed to disk before it returns.
bool AppendToFile(const std::string& name, const void* bytes, size_t len);

// True when a file or directory of that name exists (any letter case).
bool FileExists(const std::string& name);
bool IsDirectory(const std::string& name);

// Removes a file. Fails with 2 when it does not exist.
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
