// File identity and groups of whole-file writes that land all or none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// True when both names lead to one existing file system object, whatever the
// spelling: letter case, separators, "." and ".." components or links.
bool SameFile(const std::string& a, const std::string& b);

// Undo record of a group of whole-file writes. Keep each file of the group
// before it is written; when a later write of the group fails, Restore gives
// every kept file its former contents back, and removes those that did not
// exist, so the group is written whole or not at all.
class FileRollback {
public:
    // Notes what the file holds now. False (nothing noted) when it exists
    // but cannot be read back; writing it could then not be undone.
    bool Keep(const std::string& name);
    void Restore();

private:
    struct Kept {
        std::string name;
        bool existed = false;
        std::vector<uint8_t> bytes;
    };
    std::vector<Kept> m_kept;
};

}  // namespace plat
