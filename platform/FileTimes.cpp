#include "FileTimes.h"

#include <cerrno>
#include <ctime>
#include <sys/stat.h>

namespace plat {

bool GetLastWriteLocalTime(const std::string& name, LocalTime& out) {
    const std::string path = ResolvePath(name);
    struct stat st{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        SetLastError(path.empty() ? kErrFileNotFound : ErrorFromErrno(errno));
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    const time_t seconds = st.st_mtim.tv_sec;
    std::tm tm{};
    if (!::localtime_r(&seconds, &tm)) {
        SetLastError(kErrGeneric);
        return false;
    }
    out = LocalTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                    static_cast<int>(st.st_mtim.tv_nsec / 1000000), tm.tm_wday};
    SetLastError(kErrSuccess);
    return true;
}

}  // namespace plat
