// File attributes in the recorder platform's bit word: a read-only file, a
// hidden or system file, a directory. On Linux a file is read-only when no
// one may write it (no write bit); hidden and system never apply.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrNormal = 0x80;  // a plain file with no other attribute
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

// Attributes of the file or directory of that name (any letter case);
// kInvalidAttributes, with the last error set, when there is none.
uint32_t GetFileAttributes(const std::string& name);

// Sets or clears the read-only attribute of a file (the other bits cannot
// be changed here). Clearing it gives the owner the write bit back;
// setting it takes every write bit away.
bool SetFileAttributes(const std::string& name, uint32_t attributes);

}  // namespace plat
