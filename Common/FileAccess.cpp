#include "FileAccess.h"

#include "Platform.h"
#include "WideText.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Writers meeting another process's hold on the file wait up to one second.
constexpr int kShareRetries = 100;
constexpr unsigned kShareRetryMs = 10;

// Converts a wide name for the platform layer; names beyond the path limit
// are refused as the file system would (error 206).
bool PlatformName(std::wstring_view name, std::string& out) {
    if (name.size() > kMaxNameChars) {
        plat::SetLastError(plat::kErrNameTooLong);
        return false;
    }
    out = Utf8FromWide(name);
    return true;
}

template <typename WriteFn>
int WriteWithRetry(std::wstring_view name, WriteFn write) {
    std::string path;
    bool ok = PlatformName(name, path);
    for (int attempt = 0; ok; ++attempt) {
        if (write(path)) break;
        if (plat::GetLastError() != plat::kErrSharingViolation || attempt + 1 >= kShareRetries) {
            ok = false;
            break;
        }
        plat::Sleep(kShareRetryMs);
    }
    if (!ok) {
        const uint32_t err = plat::GetLastError();
        std::printf("Error %d creating file \"%s\"\n", static_cast<int>(err), Utf8FromWide(name).c_str());
        plat::SetLastError(err);
        return 0;
    }
    return 1;
}

std::string& LogFileName() {
    static std::string name = "DEFAULT.LOG";
    return name;
}

int AppendLogText(const char* fileName, bool stamped, const char* format, va_list args) {
    const std::string& target = fileName ? std::string(fileName) : LogFileName();
    FILE* f = std::fopen(plat::ResolvePath(target).c_str(), "a+");
    if (!f) return 0;
    if (stamped) {
        const plat::LocalTime t = plat::GetLocalTime();
        std::fprintf(f, "%02d/%02d/%02d %02d:%02d:%02d ", t.month, t.day, t.year % 100, t.hour, t.minute, t.second);
    }
    if (format) std::vfprintf(f, format, args);
    std::fclose(f);
    return 1;
}

}  // namespace

std::wstring ComposeTrainFileName(std::wstring_view base, const wchar_t* extension) {
    const bool baseHasDot = base.find(L'.') != std::wstring_view::npos;
    std::wstring_view ext = (baseHasDot || !extension) ? std::wstring_view() : std::wstring_view(extension);
    const bool separator = !ext.empty() && ext.front() != L'.';
    std::wstring name;
    name.reserve(base.size() + ext.size() + 1);
    name.append(base);
    if (separator) name.push_back(L'.');
    name.append(ext);
    return name;
}

int MakeTrainFileName(std::wstring& dest, std::wstring_view base, const wchar_t* extension) {
    std::wstring name = ComposeTrainFileName(base, extension);
    if (name.size() > kMaxNameChars) {
        name.resize(kMaxNameChars);
        dest = std::move(name);
        return 0;
    }
    dest = std::move(name);
    return 1;
}

int ReadWholeFile(std::wstring_view name, std::vector<uint8_t>& buffer, uint32_t& bytesRead, size_t extra) {
    buffer.clear();
    std::string path;
    if (!PlatformName(name, path)) return 0;
    std::vector<uint8_t> bytes;
    if (!plat::ReadWholeFile(path, bytes) || bytes.empty()) return 0;
    // Lengths are 32-bit in the file header; a larger file is not a train file.
    if (bytes.size() > UINT32_MAX - extra) {
        plat::SetLastError(8);  // not enough memory
        return 0;
    }
    bytesRead = static_cast<uint32_t>(bytes.size());
    bytes.resize(bytes.size() + extra, 0);
    buffer.swap(bytes);
    return 1;
}

int WriteNewFile(std::wstring_view name, const void* bytes, size_t count) {
    return WriteWithRetry(name, [&](const std::string& path) { return plat::WriteNewFile(path, bytes, count); });
}

int AppendToFile(std::wstring_view name, const void* bytes, size_t count) {
    return WriteWithRetry(name, [&](const std::string& path) { return plat::AppendToFile(path, bytes, count); });
}

int ReadFileInto(std::wstring_view name, void* buffer, size_t count, size_t* bytesRead) {
    if (bytesRead) *bytesRead = 0;
    std::string path;
    std::vector<uint8_t> bytes;
    bool ok = PlatformName(name, path) && plat::ReadWholeFile(path, bytes);
    // A file of zero length exists and reads as nothing.
    if (!ok && !path.empty() && plat::GetLastError() == plat::kErrSuccess && !plat::IsDirectory(path) &&
        plat::FileExists(path))
        ok = true;
    if (!ok) {
        std::printf("Error %d opening file \"%s\"\n", static_cast<int>(plat::GetLastError()),
                    Utf8FromWide(name).c_str());
        return 0;
    }
    const size_t n = std::min(count, bytes.size());
    if (n > 0 && buffer) std::memcpy(buffer, bytes.data(), n);
    if (bytesRead) *bytesRead = buffer ? n : 0;
    return 1;
}

int FileExists(std::wstring_view name) {
    std::string path;
    if (!PlatformName(name, path)) return 0;
    return plat::FileExists(path) ? 1 : 0;
}

int WriteLog(const char* fileName, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int r = AppendLogText(fileName, true, format, args);
    va_end(args);
    return r;
}

int WriteLogRaw(const char* fileName, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int r = AppendLogText(fileName, false, format, args);
    va_end(args);
    return r;
}

void SetLogFileName(const char* name) {
    // The name buffer holds a path: 259 characters at most.
    std::string n = name ? name : "";
    if (n.size() > kMaxNameChars) n.resize(kMaxNameChars);
    LogFileName() = n;
}

const char* GetLogFileName() { return LogFileName().c_str(); }

void DebugTrace(const char* format, ...) {
    const char* dest = std::getenv(kDebugTraceVariable);
    if (!dest || !*dest || !format) return;
    char text[500];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (std::strcmp(dest, "stderr") == 0 || std::strcmp(dest, "-") == 0) {
        std::fputs(text, stderr);
        std::fflush(stderr);
        return;
    }
    FILE* f = std::fopen(plat::ResolvePath(dest).c_str(), "a");
    if (!f) return;
    std::fputs(text, f);
    std::fclose(f);
}
