// Writes the files a wayside site records for one simulated train, under a
// base name: .007 IO events, .012 wheel events, .060 and .064 tag reads,
// .035 consist, .034 summary, .018 hot-bearing readings, .055 scale
// entries, and the .041 axle allocation of the vehicles.
#pragma once

#include "Simulation.h"
#include "TagDecode.h"

#include <optional>
#include <string>
#include <vector>

namespace trainsim {

// The lead character the site's readers put before the 20 tag characters.
constexpr char kTagLead = '#';

// The decoded tag a vehicle carries: owner, number, length (decimetres),
// axle count and, for extended railcar tags, the value-7 fields. No result
// (and a message) when the vehicle's equipment group code has no numeric tag
// layout or a value does not fit its tag field.
std::optional<DecodedTag> VehicleTag(const VehicleSpec& v, std::string& error);
// Its 20-character tag text.
std::optional<std::string> VehicleTagText(const VehicleSpec& v, std::string& error);

// Vehicle length in decimetres, the unit of the tag's and the consist's
// length fields.
int LengthDecimetres(double feet);

struct WrittenFile {
    std::string name;
    int records = 0;
};

// Writes every file of the site under base (the extension is appended to
// base as given). Returns false with a message when a tag cannot be encoded
// or a file cannot be written.
bool WriteSiteFiles(const Simulation& sim, const std::string& base, std::vector<WrittenFile>& written,
                    std::string& error);

}  // namespace trainsim
