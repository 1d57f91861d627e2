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

// The base name of the next recording: its trailing number plus one, in as
// many digits ("00008901" gives "00008902"). None when the name does not
// end in a digit or every trailing digit is 9.
std::optional<std::string> NextBaseName(const std::string& base);

// Fragment number (1-99) of a series: the base name with its last two
// digits replaced by the number ("00008900", 2 gives "00008902"). None when
// the name does not end in two digits or the number is out of range.
std::optional<std::string> FragmentName(const std::string& base, size_t number);

struct WrittenFile {
    std::string name;
    int records = 0;
};

// Writes every file of the site under base (the extension is appended to
// base as given). A split train is written as two recordings, the second
// under NextBaseName(base); neither carries a .035 or .041. With fragments,
// the whole recording also gets its .011 and every movement its fragment
// files (.010, .011, .035, .034) under FragmentName(base, 1, 2, ...).
// Returns false with a message when a tag cannot be encoded, a base name
// does not fit, or a file cannot be written; a name that does not fit is
// found before any file is written.
bool WriteSiteFiles(const Simulation& sim, const std::string& base, std::vector<WrittenFile>& written,
                    std::string& error);

}  // namespace trainsim
