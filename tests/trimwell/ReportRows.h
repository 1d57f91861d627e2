// Rows of the Trimwell report as the program prints them, for tests that
// compare whole rows.
#pragma once

#include "TestSupport.h"

#include <cstdio>
#include <string>

namespace fixture {

// The start of a report row: row number, operation number, description.
inline std::string RowStart(unsigned row, unsigned op, const char* description) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%2u %3u %-30s ", row, op, description);
    return buf;
}

// The report rows: everything between the report header and the closing
// line feed.
inline std::string Rows(const RunResult& r) {
    const std::string rule = "-------------------------\n";
    const size_t header = r.out.find(rule);
    if (header == std::string::npos || r.out.size() < header + rule.size() + 1) return r.out;
    const size_t begin = header + rule.size();
    return r.out.substr(begin, r.out.size() - begin - 1);
}

}  // namespace fixture
