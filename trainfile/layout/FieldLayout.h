// Field tables and bounds-checked little-endian access for the train files.
//
// Every record type keeps its layout in one table of Field constants (one
// header per record type in this folder). Readers, writers, dumping code and
// tests all go through these tables, and every access is checked against the
// buffer: a field that does not lie wholly inside it reads as 0 and is not
// written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace layout {

struct Field {
    uint16_t offset;
    uint8_t width;  // 1, 2 or 4 bytes (wider areas are byte ranges)
    const char* name;
    constexpr size_t End() const { return size_t(offset) + width; }
};

// A run of bytes [begin, end) of a header or a record that is no field,
// such as a reserved area.
struct ByteRange {
    uint16_t begin;
    uint16_t end;
    constexpr size_t Size() const { return size_t(end) - begin; }
};

// A field of which only the bits in keep carry meaning.
struct UsedBits {
    Field field;
    uint32_t keep;
};

// True when a field at base + f.offset fits inside a buffer of size bytes.
constexpr bool Fits(size_t size, size_t base, const Field& f) {
    return base <= size && f.End() <= size - base;
}

inline uint32_t GetLE(std::span<const uint8_t> bytes, size_t offset, unsigned width) {
    if (width == 0 || width > 4 || offset > bytes.size() || width > bytes.size() - offset) return 0;
    uint32_t v = 0;
    for (unsigned i = 0; i < width; ++i) v |= uint32_t(bytes[offset + i]) << (8 * i);
    return v;
}

inline bool SetLE(std::span<uint8_t> bytes, size_t offset, unsigned width, uint32_t value) {
    if (width == 0 || width > 4 || offset > bytes.size() || width > bytes.size() - offset) return false;
    for (unsigned i = 0; i < width; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
    return true;
}

inline uint32_t Get(std::span<const uint8_t> bytes, size_t base, const Field& f) {
    if (!Fits(bytes.size(), base, f)) return 0;
    return GetLE(bytes, base + f.offset, f.width);
}

inline bool Set(std::span<uint8_t> bytes, size_t base, const Field& f, uint32_t value) {
    if (!Fits(bytes.size(), base, f)) return false;
    return SetLE(bytes, base + f.offset, f.width, value);
}

// Text of a fixed text area of length bytes at offset: up to its first zero
// byte, never past the area or the bytes present.
inline std::string GetText(std::span<const uint8_t> bytes, size_t offset, size_t length) {
    std::string text;
    for (size_t i = offset; i < offset + length && i < bytes.size() && bytes[i] != 0; ++i)
        text.push_back(static_cast<char>(bytes[i]));
    return text;
}

}  // namespace layout
