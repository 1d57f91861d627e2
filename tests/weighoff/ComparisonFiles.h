// Consists for the train comparison tests: cars described by what the
// comparison looks at, and the figures read back from a report.
#pragma once

#include "Records.h"
#include "TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace weighoff_test {

// A car with what the scoring reads. Tagged cars get one tag read per flag
// word given; an untagged car has none.
struct Car {
    uint16_t vehicle = 0;
    unsigned axles = 4;
    uint8_t status = 0;
    uint8_t egc = 19;
    std::vector<uint16_t> tagFlags = {0};
    uint16_t length = 0;
    uint8_t byte4 = 0;
};

inline std::vector<uint8_t> CarEntry(const Car& c) {
    fixture::ConsistEntrySpec e;
    e.vehicle = c.vehicle;
    e.axles = c.axles;
    e.status = c.status;
    e.egc = c.egc;
    e.vehicleLength = c.length;
    for (uint16_t f : c.tagFlags) e.reads.push_back({f, "ABCDEFGHIJKLMNOPQRST"});
    auto bytes = fixture::ConsistEntry(e).Bytes();
    bytes[4] = c.byte4;
    return bytes;
}

inline void WriteConsist(const std::string& path, const std::vector<Car>& cars) {
    std::vector<std::vector<uint8_t>> entries;
    for (const Car& c : cars) entries.push_back(CarEntry(c));
    fixture::ConsistFile(entries).Write(path);
}

// A clean train: locomotive 0, railcars 1 .. n-1, all tagged and clean.
inline std::vector<Car> CleanTrain(int n) {
    std::vector<Car> cars;
    for (int i = 0; i < n; ++i) cars.push_back({.vehicle = uint16_t(i), .egc = uint8_t(i == 0 ? 5 : 19)});
    return cars;
}

// The two columns of a report line that begins with label ("" when absent).
inline std::pair<std::string, std::string> Columns(const std::string& report, const std::string& label) {
    const size_t at = report.find("  " + label);
    if (at == std::string::npos) return {};
    const size_t end = report.find('\n', at);
    std::string rest = report.substr(at + 2 + label.size(), end - at - 2 - label.size());
    std::string a, b;
    size_t i = rest.find_first_not_of(" \t");
    size_t j = rest.find_first_of(" \t", i);
    a = rest.substr(i, j - i);
    i = rest.find_first_not_of(" \t", j);
    j = rest.find_first_of(" \t", i);
    b = rest.substr(i, j == std::string::npos ? std::string::npos : j - i);
    return {a, b};
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin <= text.size()) {
        const size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            if (begin < text.size()) lines.push_back(text.substr(begin));
            break;
        }
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return lines;
}

}  // namespace weighoff_test
