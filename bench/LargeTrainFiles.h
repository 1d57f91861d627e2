// The largest simulated train recorded under a base name, with its .010 made
// by the IO edge decoding; for benchmarks that link trainsim_core and
// edgemill_core.
#pragma once

#include "Edgemill.h"
#include "LargeTrain.h"
#include "Platform.h"
#include "SiteFiles.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

// Writes the site's files of desc under base and base.010; returns the
// conversion that made the .010.
inline EdgemillConversion WriteLargeTrain(const trainsim::TrainDescription& desc, const std::string& base) {
    trainsim::Simulation sim;
    std::vector<trainsim::WrittenFile> written;
    std::string error;
    if (!trainsim::Simulate(desc, sim, error) || !trainsim::WriteSiteFiles(sim, base, written, error))
        throw std::runtime_error("cannot make the train: " + error);
    std::vector<uint8_t> io;
    if (!plat::ReadWholeFile(base + ".007", io)) throw std::runtime_error("cannot read the .007 back");
    EdgemillConversion c = ConvertIoEvents(io, EdgemillOptions{});
    if (c.axles.empty() || !plat::WriteNewFile(base + ".010", c.axles.data(), c.axles.size()))
        throw std::runtime_error("cannot write the .010");
    return c;
}

}  // namespace bench
