#include "FileCopy.h"

#include "Platform.h"

#include <cstdint>
#include <vector>

namespace plat {

bool CopyFileBytes(const std::string& source, const std::string& target) {
    std::vector<uint8_t> bytes;
    // The whole-file read refuses an empty file with "no error": that one is
    // copied as it is.
    if (!ReadWholeFile(source, bytes) && GetLastError() != kErrSuccess) return false;
    static const uint8_t kNothing = 0;
    return WriteNewFile(target, bytes.empty() ? &kNothing : bytes.data(), bytes.size());
}

}  // namespace plat
