// File times: when a file was last written, in local time, as the recorder's
// file system reports it.
#pragma once

#include "Platform.h"

#include <string>

namespace plat {

// Last-write time of an existing file (name resolved as every other call
// resolves it), converted to local time. False when nothing of that name
// exists or it is a directory; GetLastError tells why.
bool GetLastWriteLocalTime(const std::string& name, LocalTime& out);

}  // namespace plat
