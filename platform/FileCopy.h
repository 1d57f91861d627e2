// Byte-for-byte copy of one file onto another name.
#pragma once

#include <string>

namespace plat {

// Copies the bytes of an existing regular file (an empty one included) to
// the target with the atomic whole-file write, so the target is either its
// former self or a full copy. Fails (GetLastError tells why) when the source
// cannot be read or the target cannot be written.
bool CopyFileBytes(const std::string& source, const std::string& target);

}  // namespace plat
