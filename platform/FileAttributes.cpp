#include "FileAttributes.h"

#include "Platform.h"

#include <cerrno>
#include <sys/stat.h>

namespace plat {

uint32_t GetFileAttributes(const std::string& name) {
    const std::string path = ResolvePath(name);
    struct stat st{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        SetLastError(path.empty() ? kErrFileNotFound : ErrorFromErrno(errno));
        return kInvalidAttributes;
    }
    uint32_t attrs = 0;
    if (S_ISDIR(st.st_mode)) attrs |= kAttrDirectory;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attrs |= kAttrReadOnly;
    return attrs == 0 ? kAttrNormal : attrs;
}

bool SetFileAttributes(const std::string& name, uint32_t attributes) {
    const std::string path = ResolvePath(name);
    struct stat st{};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        SetLastError(path.empty() ? kErrFileNotFound : ErrorFromErrno(errno));
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttrReadOnly)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else
        mode |= S_IWUSR;
    if (::chmod(path.c_str(), mode) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return false;
    }
    SetLastError(kErrSuccess);
    return true;
}

}  // namespace plat
