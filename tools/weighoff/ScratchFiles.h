// The file commands of the automatic comparison, carried out directly on
// the file system (never through a command processor): deleting the files
// of a scratch train, and copying a train's typed files onto another base.
#pragma once

#include <string>
#include <vector>

namespace weighoff {

// Deletes every file (not directory) the wildcard search matches.
void DeleteMatching(const std::string& pattern);

// Names of the files (not directories) of the train whose extension begins
// with "0": the files of "<base>.0*", with their directories.
std::vector<std::string> TypedFiles(const std::string& base);

struct CopyFailure {
    std::string source, target;
    uint32_t error = 0;
};

// Copies each file of "<source>.0*" byte for byte to the target base with
// the same extension, each with the atomic write. Returns the copies that
// failed (the others are done).
std::vector<CopyFailure> CopyTypedFiles(const std::string& source, const std::string& target);

}  // namespace weighoff
