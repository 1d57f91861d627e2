// Passenger trains: detection by owner initials (OP19), the passenger
// allocation (OP20) and the axle counts of articulated consists (OP21).
#include "Trimwell.h"

#include "AllocFile.h"
#include "ConsistFile.h"
#include "Platform.h"
#include "TrainFile.h"

#include <unordered_set>

namespace {

namespace cs = layout::consist;

// The configuration file, looked up in the working directory.
const char* const kPassengerConfig = "Passengr.cfg";
// Only this much of a configuration line is read.
constexpr size_t kConfigLineLength = 119;
// An owner code is the first word within this many leading characters.
constexpr size_t kOwnerCodeLength = 4;
// A UTF-8 byte order mark some editors put before the first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char FoldCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

// Removes a marker that exists; false (with the platform's error code) when
// one is still there afterwards.
bool RemoveMarker(const std::string& name, uint32_t& error) {
    error = 0;
    if (!FileExists(name)) return true;
    if (plat::DeleteFile(name)) return true;
    error = plat::GetLastError();
    return false;
}

// Whether entry i of the consist has this flag byte, axle count and
// equipment group code.
bool EntryIs(const CConsistFile& c, int i, uint32_t axles, uint32_t egc) {
    return c.GetFieldAt(i, cs::kAxleCountHigh) == 0 && c.GetFieldAt(i, cs::kAxleCount) == axles &&
           c.GetFieldAt(i, cs::kEgc) == egc;
}

// The entries the consist addresses are the whole record area and each
// carries a vehicle number of its own, so a vehicle number names exactly one
// entry and nothing after the last entry is left unread.
bool OneEntryPerVehicle(CConsistFile& c) {
    const int count = c.GetCount();
    const auto last = c.EntryAt(count - 1);
    const auto data = c.Data();
    if (last.data() + last.size() != data.data() + data.size()) return false;
    std::unordered_set<uint32_t> seen;
    for (int i = 0; i < count; ++i)
        if (!seen.insert(c.GetFieldAt(i, cs::kVehicleNumber)).second) return false;
    return true;
}

// Indexes of the entries an articulated consist corrects.
struct ArticulatedUnits {
    int first3 = 1;    // the 3-axle unit behind the head locomotive
    int tagged4 = -1;  // the last 2-axle unit whose tag holds 4 at offset 44
    int second3 = -1;  // the 3-axle unit before the closing locomotive
};

// Walks the consist for locomotive, 3-axle unit, 2-axle units, 3-axle unit,
// locomotive (the last entry). False when the pattern does not hold to the
// last entry or no 2-axle unit carries a tag that decodes with 4 in the
// field at offset 44 of the decoded image.
bool FindArticulatedUnits(CConsistFile& c, ArticulatedUnits& u) {
    const int count = c.GetCount();
    if (count < 4 || !EntryIs(c, 0, 4, cs::kEgcLocomotive) || !EntryIs(c, 1, 3, cs::kEgcRailcar)) return false;
    int i = 2;
    for (; i < count && EntryIs(c, i, 2, cs::kEgcRailcar); ++i) {
        c.SeekEntry(i);  // decodes the entry's tags
        const CDecodedTag& tag = c.GetDecodedTag(0);
        if (tag.IsValid() && tag.Tag().Get(layout::aei::kRailcar44) == 4) u.tagged4 = i;
    }
    if (i + 2 != count || !EntryIs(c, i, 3, cs::kEgcRailcar) || !EntryIs(c, i + 1, 4, cs::kEgcLocomotive))
        return false;
    u.second3 = i;
    return u.tagged4 >= 0;
}

// Sets entry i's axle count and clears the axle-count exception (A) of each
// of its tag blocks.
void SetUnitAxles(CConsistFile& c, int i, uint32_t axles) {
    constexpr uint16_t kAxleCountException = 1u << 2;
    c.SetFieldAt(i, cs::kAxleCount, axles);
    c.SeekEntry(i);
    for (int k = 0; k < c.GetTagCount(); ++k) {
        const auto block = c.GetTagBlock(k);
        const uint32_t flags = layout::Get(block, 0, cs::kTagFlags);
        layout::Set(block, 0, cs::kTagFlags, flags & ~uint32_t(kAxleCountException));
    }
}

// Moves the first-axle index of entries [begin, end) by delta, as a 16-bit
// field.
void ShiftFirstAxles(CConsistFile& c, int begin, int end, int delta) {
    for (int i = begin; i < end; ++i)
        c.SetFieldAt(i, cs::kFirstAxle, (c.GetFieldAt(i, cs::kFirstAxle) + static_cast<uint32_t>(delta)) & 0xFFFF);
}

}  // namespace

std::vector<std::string> ParsePassengerCodes(std::string_view text) {
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    std::vector<std::string> codes;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // The rest of a long line is not a line of its own.
        line = Trim(line.substr(0, kConfigLineLength));
        if (line.empty() || line.front() == ';') continue;
        line = line.substr(0, kOwnerCodeLength);
        size_t word = 0;
        while (word < line.size() && !IsBlank(line[word])) ++word;
        codes.emplace_back(line.substr(0, word));
    }
    return codes;
}

int DetectPassengerTrain(const std::string& base, FILE* out) {
    // Without a configuration no owner is a passenger operator.
    std::vector<uint8_t> config;
    std::vector<std::string> codes;
    if (ReadWholeFile(kPassengerConfig, config))
        codes = ParsePassengerCodes(std::string_view(reinterpret_cast<const char*>(config.data()), config.size()));

    CConsistFile consist;
    const bool examined = consist.Load(base.c_str()) != 0;
    int matches = 0;
    for (int i = 0; examined && i < consist.GetCount(); ++i) {
        consist.SeekEntry(i);
        if (!consist.GetDecodedTag(0).IsValid()) continue;
        const std::string owner = consist.GetTagText();
        for (const std::string& code : codes) {
            if (EqualIgnoringCase(code, owner)) {
                ++matches;
                break;
            }
        }
    }

    // The marker says what this run found, whatever an earlier one found.
    const std::string marker = base + ".0PT";
    uint32_t error = 0;
    const bool oldGone = RemoveMarker(marker, error);
    if (!examined) {
        std::fprintf(out, "Failed. \"%s\" cannot be read: train not examined.\n",
                     AddExtension(base, ".035").c_str());
        if (!oldGone) std::fprintf(out, "The old \"%s\" cannot be deleted (error %u).\n", marker.c_str(), error);
        return -1;
    }
    if (matches == 0) {
        if (oldGone) return 0;
        std::fprintf(out, "Failed. Not a passenger train, but the old \"%s\" cannot be deleted (error %u).\n",
                     marker.c_str(), error);
        return -1;
    }
    if (!WriteMarkerFile(marker)) {
        std::fprintf(out, "Failed. Passenger train found, but \"%s\" cannot be written.\n", marker.c_str());
        return -1;
    }
    return 1;
}

int RegeneratePassengerAllocation(const std::string& base, FILE* out) {
    CAllocFile alloc;
    const int result = alloc.BuildFromAxles(base.c_str());
    const CAllocFile::BuildReport& r = alloc.LastBuild();
    const std::string allocName = base + ".041";
    const std::string marker = base + ".0AP";
    if (!r.built) return 0;  // no .010, or too few axles for the vehicles: the old .041 stays
    if (!r.saved) {
        std::fprintf(out, "Failed. \"%s\" cannot be written.\n", allocName.c_str());
        return -1;
    }
    if (r.articulated && !r.marker) {
        std::fprintf(out, "Failed. New \"%s\" created, but \"%s\" cannot be written.\n", allocName.c_str(),
                     marker.c_str());
        return -1;
    }
    // A marker left by an earlier build must not call this train articulated.
    uint32_t error = 0;
    if (!r.articulated && !RemoveMarker(marker, error)) {
        std::fprintf(out, "Failed. New \"%s\" created, but the old \"%s\" cannot be deleted (error %u).\n",
                     allocName.c_str(), marker.c_str(), error);
        return -1;
    }
    return result;
}

int FixArticulatedAxleCounts(const std::string& base, FILE* out) {
    CConsistFile c;
    if (!c.Load(base.c_str()) || c.GetCount() <= 0) return 0;
    // Short consists are left alone: the last vehicle's number must be above 4.
    if (c.GetFieldAt(c.GetCount() - 1, cs::kVehicleNumber) <= 4) return 0;
    ArticulatedUnits u;
    if (!OneEntryPerVehicle(c) || !FindArticulatedUnits(c, u)) return 0;

    // Two 3-axle units and one 2-axle unit become two 2-axle units and one
    // 4-axle unit; the axles between them now start one earlier (up to the
    // 4-axle unit) or one later (up to the closing 3-axle unit), so the
    // first-axle indexes stay running sums of the axle counts.
    SetUnitAxles(c, u.first3, 2);
    SetUnitAxles(c, u.tagged4, 4);
    SetUnitAxles(c, u.second3, 2);
    ShiftFirstAxles(c, u.first3 + 1, u.tagged4 + 1, -1);
    ShiftFirstAxles(c, u.tagged4 + 1, u.second3 + 1, +1);

    if (!c.SaveAs(base.c_str())) {
        std::fprintf(out, "Failed. \"%s\" cannot be written.\n", AddExtension(base, ".035").c_str());
        return -1;
    }
    return 1;
}
