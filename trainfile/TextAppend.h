// Numbers and texts appended to a line being built, laid out as printf's
// conversions would lay them out, without printf's cost per call: reports of
// thousands of lines are built this way.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

// Appends v in decimal, left-aligned in width columns (as "%-<width>u").
inline void AppendLeft(std::string& s, unsigned v, size_t width) {
    char digits[12];
    size_t at = sizeof digits;
    do {
        digits[--at] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    const size_t n = sizeof digits - at;
    s.append(digits + at, n);
    if (n < width) s.append(width - n, ' ');
}

// Appends v in decimal, zero-padded to width digits (as "%0<width>u").
inline void AppendZeroPadded(std::string& s, unsigned v, size_t width) {
    const size_t start = s.size();
    AppendLeft(s, v, 0);
    const size_t n = s.size() - start;
    if (n < width) s.insert(start, width - n, '0');
}

// Appends the text up to its first NUL, right-aligned in width columns (as
// "%<width>s" prints a C string).
inline void AppendRight(std::string& s, const std::string& text, size_t width) {
    const size_t n = std::strlen(text.c_str());
    if (n < width) s.append(width - n, ' ');
    s.append(text.data(), n);
}
