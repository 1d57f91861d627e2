// The side-by-side comparison table of heatalign: each position's distance
// and time as the axle file and the detector file see them, then summary
// lines over the positions both files have.
#include "Heatalign.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace {

// Appends v right-aligned in at least three columns, as "%3d" prints it.
void Column(std::string& out, long long v) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    const auto len = static_cast<size_t>(end - digits);
    if (len < 3) out.append(3 - len, ' ');
    out.append(digits, len);
}

// Running figures over one column pair (distances or times).
struct Differences {
    long long sum = 0;       // of the absolute differences
    long long differing = 0; // positions where the two differ
    long long biggest = 0;
    double biggestRatio = 0; // biggest difference relative to the mean of the two

    void Add(long long a, long long b) {
        const long long diff = a > b ? a - b : b - a;
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

void Appendf(std::string& out, const char* format, long long a, long long b, double q) {
    char line[160];
    std::snprintf(line, sizeof line, format, a, b, q);
    out += line;
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
        const long long ad = f.AxleDistance(i), dd = f.detector.GetDetectorDistance(i);
        const long long at = f.AxleTime(i), dtime = f.detector.GetDetectorTime(i);
        dis.Add(ad, dd);
        time.Add(at, dtime);
        if (dis.biggestRatio > total && time.biggestRatio > total) total = std::min(dis.biggestRatio, time.biggestRatio);
        Column(out, i + 1);
        out += "   ";
        Column(out, ad);
        out += "   ";
        Column(out, dd);
        out += "   ";
        Column(out, ad > dd ? ad - dd : dd - ad);
        out += "  ||  ";
        Column(out, at);
        out += "   ";
        Column(out, dtime);
        out += "   ";
        Column(out, at > dtime ? at - dtime : dtime - at);
        out += '\n';
    }
    for (int i = common; i < axleCount; ++i) {
        Column(out, i + 1);
        out += "   ";
        Column(out, f.AxleDistance(i));
        out += "   ---   ---  ||  ";
        Column(out, f.AxleTime(i));
        out += "   ---   ---\n";
    }
    for (int i = common; i < readingCount; ++i) {
        Column(out, i + 1);
        out += "   ---   ";
        Column(out, f.detector.GetDetectorDistance(i));
        out += "   ---  ||  ---   ";
        Column(out, f.detector.GetDetectorTime(i));
        out += "   ---\n";
    }
    out += "      ===============      ===============\n";
    Appendf(out, "DISTANCE %lld/%lld  =  %f\n", dis.sum, dis.differing, dis.Quotient());
    char line[160];
    std::snprintf(line, sizeof line, "                   BIGGEST DIFFERENCE   %lld\n", dis.biggest);
    out += line;
    std::snprintf(line, sizeof line, "                   BIGGEST DIFFERENCE %f\n", dis.biggestRatio);
    out += line;
    Appendf(out, "TIME     %lld/%lld  =  %f\n", time.sum, time.differing, time.Quotient());
    std::snprintf(line, sizeof line, "                   BIGGEST DIFFERENCE   %lld\n", time.biggest);
    out += line;
    std::snprintf(line, sizeof line, "                   BIGGEST DIFFERENCE %f\n\n", time.biggestRatio);
    out += line;
    std::snprintf(line, sizeof line, "TOTAL              BIGGEST DIFFERENCE %f\n", total);
    out += line;
    out += "\n\n";
    return out;
}
