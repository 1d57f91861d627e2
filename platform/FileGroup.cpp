#include "FileGroup.h"

#include "Platform.h"

#include <cstdint>
#include <sys/stat.h>

namespace plat {

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa{}, sb{};
    const std::string pa = ResolvePath(a), pb = ResolvePath(b);
    if (pa.empty() || pb.empty() || ::stat(pa.c_str(), &sa) != 0 || ::stat(pb.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool FileRollback::Keep(const std::string& name) {
    Kept k;
    k.name = name;
    k.existed = FileExists(name);
    if (k.existed) {
        if (IsDirectory(name)) return false;
        // An empty file reads as no bytes but is still restored as a file.
        if (!ReadWholeFile(name, k.bytes) && GetLastError() != kErrSuccess) return false;
    }
    m_kept.push_back(std::move(k));
    return true;
}

void FileRollback::Restore() {
    const uint32_t error = GetLastError();  // the failure the caller reports
    for (auto it = m_kept.rbegin(); it != m_kept.rend(); ++it) {
        if (it->existed)
            WriteNewFile(it->name, it->bytes.data(), it->bytes.size());
        else if (FileExists(it->name))
            DeleteFile(it->name);
    }
    m_kept.clear();
    SetLastError(error);
}

}  // namespace plat
