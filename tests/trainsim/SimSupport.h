// Helpers for the simulator tests: descriptions from text, simulated trains
// and their files in a scratch directory.
#pragma once

#include "ConsistLayout.h"
#include "Simulation.h"
#include "SiteFiles.h"
#include "TestSupport.h"
#include "TrainFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

// A site with the true AB spacing in the headers, one reader per side and
// no hot-bearing detector or scale unless a test asks for them.
inline const char* const kPlainSite =
    "ab_spacing 60\n"
    "hbd no\n"
    "scale no\n";

inline trainsim::TrainDescription Describe(const std::string& text) {
    trainsim::TrainDescription d;
    std::string error;
    EXPECT_TRUE(trainsim::ParseDescription(text, d, error)) << error;
    return d;
}

inline trainsim::Simulation Simulated(const std::string& text) {
    trainsim::Simulation sim;
    std::string error;
    EXPECT_TRUE(trainsim::Simulate(Describe(text), sim, error)) << error;
    return sim;
}

// The simulation's error for a description that parses but cannot be run.
inline std::string SimulationError(const std::string& text) {
    trainsim::Simulation sim;
    std::string error;
    EXPECT_FALSE(trainsim::Simulate(Describe(text), sim, error));
    return error;
}

inline trainsim::Simulation WriteTrain(const fixture::TempDir& dir, const std::string& base, const std::string& text) {
    trainsim::Simulation sim = Simulated(text);
    std::vector<trainsim::WrittenFile> written;
    std::string error;
    EXPECT_TRUE(trainsim::WriteSiteFiles(sim, dir.File(base), written, error)) << error;
    return sim;
}

// The entries of a consist file, each as its own bytes.
inline std::vector<std::vector<uint8_t>> ConsistEntries(const CTrainFile& f) {
    namespace cs = layout::consist;
    std::vector<std::vector<uint8_t>> out;
    std::span<const uint8_t> data = f.Data();
    size_t at = 0;
    while (at + cs::kFixedSize <= data.size()) {
        const size_t len = layout::Get(data, at, cs::kLength);
        if (len < cs::kFixedSize || at + len > data.size()) break;
        out.emplace_back(data.begin() + long(at), data.begin() + long(at + len));
        at += len;
    }
    return out;
}

}  // namespace simtest
