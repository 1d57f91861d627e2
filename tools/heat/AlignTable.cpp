// The side-by-side comparison table of heatalign: each position's distance
// and time as the axle file and the detector file see them, then summary
// lines over the positions both files have.
#include "Heatalign.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

namespace {

// Appends v right-aligned in at least three columns, as "%3d" prints it.
void Column(std::string& out, long long v) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    const auto len = static_cast<size_t>(end - digits);
    if (len < 3) out.append(3 - len, ' ');
    out.append(digits, len);
}

// One line of the table: the position, then distance 010, 018 and their
// difference, then the same for the times; a value one file lacks is "---".
using Cell = std::optional<long long>;
void Row(std::string& out, long long position, const Cell (&cells)[6]) {
    Column(out, position);
    for (int k = 0; k < 6; ++k) {
        out += k == 3 ? "  ||  " : "   ";
        if (cells[k])
            Column(out, *cells[k]);
        else
            out += "---";
    }
    out += '\n';
}

long long AbsDiff(long long a, long long b) { return a > b ? a - b : b - a; }

// Running figures over one column pair (distances or times).
struct Differences {
    long long sum = 0;       // of the absolute differences
    long long differing = 0; // positions where the two differ
    long long biggest = 0;
    double biggestRatio = 0; // biggest difference relative to the mean of the two

    void Add(long long a, long long b) {
        const long long diff = AbsDiff(a, b);
        if (diff == 0) return;
        sum += diff;
        ++differing;
        biggest = std::max(biggest, diff);
        // Both values 0 or 1 give a mean of 0: no ratio.
        const long long mean = (a + b) / 2;
        if (mean > 0) biggestRatio = std::max(biggestRatio, static_cast<double>(diff) / static_cast<double>(mean));
    }
    double Quotient() const { return differing ? static_cast<double>(sum) / static_cast<double>(differing) : 0.0; }
};

// The three summary lines of one column pair.
void Summary(std::string& out, const char* label, const Differences& d, const char* after) {
    char lines[320];
    std::snprintf(lines, sizeof lines,
                  "%s %lld/%lld  =  %f\n"
                  "                   BIGGEST DIFFERENCE   %lld\n"
                  "                   BIGGEST DIFFERENCE %f\n%s",
                  label, d.sum, d.differing, d.Quotient(), d.biggest, d.biggestRatio, after);
    out += lines;
}

}  // namespace

std::string ComparisonTable(const AlignFiles& f) {
    const int axleCount = f.axles.GetCount();
    const int readingCount = f.detector.GetCount();
    const int common = std::min(axleCount, readingCount);
    std::string out;
    out.reserve(static_cast<size_t>(std::max(axleCount, readingCount)) * 48 + 1024);
    out += "            DIS            TIME\n"
           "      010   018   Dif      010   018   Dif\n"
           "      ===============      ===============\n";
    Differences dis, time;
    double total = 0;
    for (int i = 0; i < common; ++i) {
        const uint32_t axleMs = f.AxleTime(i), readingMs = f.detector.GetDetectorTime(i);
        const long long at = axleMs, dtime = readingMs;
        const long long ad = HbdDistanceFeet(axleMs, f.AxleSpeed(i));
        const long long dd = HbdDistanceFeet(readingMs, f.detector.GetInterpolatedSpeed(i));
        dis.Add(ad, dd);
        time.Add(at, dtime);
        if (dis.biggestRatio > total && time.biggestRatio > total) total = std::min(dis.biggestRatio, time.biggestRatio);
        Row(out, i + 1, {ad, dd, AbsDiff(ad, dd), at, dtime, AbsDiff(at, dtime)});
    }
    for (int i = common; i < axleCount; ++i) Row(out, i + 1, {f.AxleDistance(i), {}, {}, f.AxleTime(i), {}, {}});
    for (int i = common; i < readingCount; ++i)
        Row(out, i + 1, {{}, f.detector.GetDetectorDistance(i), {}, {}, f.detector.GetDetectorTime(i), {}});
    out += "      ===============      ===============\n";
    Summary(out, "DISTANCE", dis, "");
    Summary(out, "TIME    ", time, "\n");
    char line[80];
    std::snprintf(line, sizeof line, "TOTAL              BIGGEST DIFFERENCE %f\n", total);
    out += line;
    out += "\n\n";
    return out;
}
