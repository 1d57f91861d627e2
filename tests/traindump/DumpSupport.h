// Helpers for the traindump tests: running the real program in a scratch
// directory, the text a record line starts with (built from a layout table),
// and finding lines in the output.
#pragma once

#include "FieldLayout.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace dumptest {

inline fixture::RunResult Dump(const fixture::TempDir& dir, const std::vector<std::string>& args) {
    return fixture::RunProgram(fixture::ProgramPath("traindump"), args, dir.Path());
}

// How the text dump shows a raw field value: decimal, and from 10 on also
// hex with two digits per byte of the field.
inline std::string RawText(uint32_t v, unsigned width) {
    if (v < 10) return std::to_string(v);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u (0x%0*x)", v, int(width * 2), v);
    return buf;
}

// "name = value; name = value..." for every field of a table read from the
// record's bytes: what a record line shows first.
inline std::string FieldsText(std::span<const layout::Field> fields, std::span<const uint8_t> record) {
    std::string s;
    for (const layout::Field& f : fields) {
        if (!s.empty()) s += "; ";
        s += std::string(f.name) + " = " + RawText(layout::Get(record, 0, f), f.width);
    }
    return s;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The first line that starts with prefix; empty when there is none.
inline std::string LineStarting(const std::string& text, const std::string& prefix) {
    for (const std::string& l : Lines(text))
        if (l.rfind(prefix, 0) == 0) return l;
    return {};
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace dumptest
