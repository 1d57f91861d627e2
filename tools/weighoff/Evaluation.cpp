#include "Evaluation.h"

#include "ConsistFile.h"
#include "Platform.h"
#include "TrainFile.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <filesystem>
#include <vector>

namespace weighoff {

namespace cs = layout::consist;

namespace {

// Read statuses of the tag classes.
constexpr uint32_t kStatusGood = 0;
constexpr uint32_t kStatusRight = 1;
constexpr uint32_t kStatusLeft = 2;
constexpr uint32_t kStatusMixed = 3;
constexpr uint32_t kStatusExtra = 5;

// A byte 4 above this marks a weird axle pattern; a length below this
// (in the tag's unit) is a car under 20 ft.
constexpr uint32_t kWeirdAxlePattern = 100;
constexpr uint32_t kShortCarLength = 60;
// The top bit of the length field: an odd axle count is expected then.
constexpr uint32_t kLengthTopBit = 0x8000;

constexpr uint32_t kPointsWeird = 20;
constexpr uint32_t kPointsShort = 50;
constexpr uint32_t kPointsUncleanGood = 10;
constexpr uint32_t kPointsUncleanSide = 20;
constexpr uint32_t kPointsMixed = 30;
constexpr uint32_t kPointsOddMarked = 30;
constexpr uint32_t kPointsOddAxles = 70;

void Appendf(std::string& s, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void Appendf(std::string& s, const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof buf) {
        s.append(buf, static_cast<size_t>(n));
        return;
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    va_start(ap, fmt);
    std::vsnprintf(big.data(), big.size(), fmt, ap);
    va_end(ap);
    s.append(big.data(), static_cast<size_t>(n));
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

size_t LeafStart(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? 0 : slash + 1;
}

// Figures of the car under the consist's cursor (the first entry of a car).
void EvaluateCar(CConsistFile& consist, Scoring scoring, ConsistReport& r) {
    const bool scored = scoring == Scoring::kScored;
    auto points = [&](uint32_t p) {
        if (scored) r.score += p;
    };
    if (consist.GetField(cs::kUnused4) > kWeirdAxlePattern) {
        ++r.weirdAxlePatterns;
        points(kPointsWeird);
    }
    const uint32_t length = consist.GetField(cs::kVehicleLength);
    if (length > 0 && length < kShortCarLength) {
        ++r.shortCars;
        points(kPointsShort);
    }
    if (consist.IsCurrentValid()) {
        ++r.taggedCars;
        const auto disqualifiers = static_cast<uint32_t>(consist.ExceptionCount());
        r.totalDisqualifiers += disqualifiers;
        r.totalTags += consist.GetField(cs::kTagCount);
        switch (consist.GetField(cs::kReadStatus)) {
            case kStatusGood:
                ++r.gCars;
                if (disqualifiers == 0)
                    ++r.gClean;
                else if (!consist.IsTagCleanAt(0) || !consist.IsTagCleanAt(1))
                    points(kPointsUncleanGood);
                break;
            case kStatusRight:
            case kStatusLeft:
                ++r.rlCars;
                if (disqualifiers == 0)
                    ++r.rlClean;
                else if (!consist.IsTagCleanAt(0))
                    points(kPointsUncleanSide);
                break;
            case kStatusMixed:
                ++r.mCars;
                if (disqualifiers == 0)
                    ++r.mClean;
                else
                    points(kPointsMixed);
                break;
            default:
                break;
        }
    }
    ++r.totalCars;
}

}  // namespace

ConsistReport EvaluateConsist(const std::string& consistFile, Scoring scoring, FILE* out) {
    ConsistReport r;
    CConsistFile consist;
    if (!consist.Load(consistFile.c_str()) || consist.GetCount() <= 0) return r;
    const int count = consist.GetCount();

    // The cars: the first entry of each run of entries with one vehicle
    // number, visited forward.
    std::vector<int> cars;
    consist.SeekEntry(0);
    do {
        cars.push_back(consist.GetIndex());
        EvaluateCar(consist, scoring, r);
    } while (consist.NextVehicle());
    r.untaggedCars = r.totalCars - r.taggedCars;

    // "E" reads are counted per entry, whether or not it starts a car.
    for (int i = 0; i < count; ++i) {
        consist.SeekEntry(i);
        if (consist.GetField(cs::kReadStatus) != kStatusExtra) continue;
        ++r.eCars;
        if (consist.ExceptionCount() == 0) ++r.eClean;
    }

    // Odd axle counts, but for the lead vehicle and the last one.
    const uint32_t last = consist.GetFieldAt(count - 1, cs::kVehicleNumber);
    for (const int i : cars) {
        const uint32_t number = consist.GetFieldAt(i, cs::kVehicleNumber);
        const uint32_t axles = consist.GetFieldAt(i, cs::kAxleCount);
        if (number == 0 || number == last || axles % 2 == 0) continue;
        if (consist.GetFieldAt(i, cs::kVehicleLength) & kLengthTopBit) {
            if (scoring == Scoring::kScored) r.score += kPointsOddMarked;
            continue;
        }
        std::fprintf(out, "#%u) Odd axle count! (%u)\n", number + 1, axles);
        ++r.axleErrors;
        if (scoring == Scoring::kScored) r.score += kPointsOddAxles;
    }
    if (r.axleErrors > 0) std::fprintf(out, "\n");
    r.evaluated = true;
    return r;
}

std::string CutTrainName(const std::string& name) {
    const size_t dot = name.find('.', LeafStart(name));
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool HasWildcard(const std::string& name) { return name.find_first_of("*?", LeafStart(name)) != std::string::npos; }

std::string ReportBody(const std::string& name1, const std::string& name2, const ConsistReport& r1,
                       const ConsistReport& r2) {
    std::string s;
    s += "Weighoff Results:\n";
    s += "----------------\n";
    s += "\n";
    Appendf(s, "Consist Report Summary  %-8s  %-8s\n", name1.c_str(), name2.c_str());
    s += "----------------------  --------  --------\n";
    auto row = [&s](const char* label, uint32_t a, uint32_t b) { Appendf(s, "  %s     %-3u       %-3u\n", label, a, b); };
    row("Tagged Cars (Conf+).", r1.taggedCars, r2.taggedCars);
    row("Untagged Cars.......", r1.untaggedCars, r2.untaggedCars);
    row("Total...............", r1.totalCars, r2.totalCars);
    s += "\n";
    struct Block {
        const char* title;
        uint32_t ConsistReport::*cars;
        uint32_t ConsistReport::*clean;
    };
    static constexpr Block kBlocks[] = {
        {"\"G\" Tagged Cars", &ConsistReport::gCars, &ConsistReport::gClean},
        {"\"R/L\" Tagged Cars", &ConsistReport::rlCars, &ConsistReport::rlClean},
        {"\"M\" Tagged Cars", &ConsistReport::mCars, &ConsistReport::mClean},
        {"\"E\" Tagged Cars", &ConsistReport::eCars, &ConsistReport::eClean},
    };
    for (const Block& b : kBlocks) {
        s += b.title;
        s += "\n----------------------\n";
        row("Clean...............", r1.*b.clean, r2.*b.clean);
        row("Not Clean...........", r1.*b.cars - r1.*b.clean, r2.*b.cars - r2.*b.clean);
        s += "\n";
    }
    s += "Misc Items\n";
    s += "----------------------\n";
    row("Total Tags..........", r1.totalTags, r2.totalTags);
    row("Total Disqualifiers.", r1.totalDisqualifiers, r2.totalDisqualifiers);
    row("Axle Errors.........", r1.axleErrors, r2.axleErrors);
    row("Weird Axle Patterns.", r1.weirdAxlePatterns, r2.weirdAxlePatterns);
    row("Cars < 20 ft........", r1.shortCars, r2.shortCars);
    return s;
}

std::string WinnerLine(bool firstWins) {
    return std::string(firstWins ? 25 : 36, ' ') + "WINNER!\n\n\n";
}

void SplitName(const std::string& name, std::string& dir, std::string& leaf) {
    const size_t at = LeafStart(name);
    dir = name.substr(0, at);
    leaf = name.substr(at);
}

bool SameFile(const std::string& a, const std::string& b) {
    auto full = [](const std::string& n) {
        std::error_code ec;
        const std::filesystem::path p = std::filesystem::absolute(plat::ResolvePath(n), ec);
        if (ec) return Lower(n);
        const std::filesystem::path c = std::filesystem::weakly_canonical(p, ec);
        return Lower((ec ? p.lexically_normal() : c).string());
    };
    return full(a) == full(b);
}

bool WriteReportFile(const std::string& name, const std::string& text) {
    plat::DeleteFile(name);
    return ::WriteNewFile(name, text.data(), text.size()) != 0;
}

}  // namespace weighoff
