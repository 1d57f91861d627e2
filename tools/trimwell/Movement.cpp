// Movement display (OP7) and the evaluation of a fragment series with its
// Train Movement Detail Report (OP12).
#include "Trimwell.h"

#include "AxleFile.h"
#include "CarListFile.h"
#include "ConsistFile.h"
#include "RecordChecks.h"
#include "TextAppend.h"
#include "TrainSummaryFile.h"
#include "WheelFile.h"

#include <algorithm>
#include <memory>

namespace wh = layout::wheel;

bool ShowMovement(const std::string& base, FILE* out) {
    CWheelFile wheel;
    if (!LoadWalkedFiles(base, {{wheel, wh::kRecordSize, true}}, out)) return false;

    // A cut is a run of "C" events (flagged events of detector A or B) of
    // one detector: wheels that passed in one direction.
    struct Cut {
        unsigned detector;
        unsigned count;
    };
    std::vector<Cut> cuts;
    unsigned total = 0;
    for (int i = 0; i < wheel.GetCount(); ++i) {
        wheel.Seek(i);
        const unsigned d = wheel.GetDetector();
        if (!wheel.HasEventFlag() || (d != wh::kDetectorA && d != wh::kDetectorB)) continue;
        ++total;
        if (!cuts.empty() && cuts.back().detector == d)
            ++cuts.back().count;
        else
            cuts.push_back({d, 1});
    }
    if (cuts.empty()) {
        std::fputs("No \"C\" events found. Cannot process.\r\n", out);
        return false;
    }

    std::fputs("\n\nCut   Dir   #Axles   NetForward\n----  ----  -------  -----------\n", out);
    int net = 0;
    for (size_t i = 0; i < cuts.size(); ++i) {
        const int count = static_cast<int>(cuts[i].count);
        net += cuts[i].detector == cuts[0].detector ? count : -count;
        std::fprintf(out, "%4u   %u     %4u   %4d\n", static_cast<unsigned>(i + 1), cuts[i].detector, cuts[i].count,
                     net);
    }
    std::fprintf(out, "\n%d total forward axles.\n%u total events processed.\n\n", net, total);

    CAxleFile axles;
    if (axles.Load(base.c_str()) && axles.GetRecordLength() == layout::axle::kRecordSize &&
        net != axles.GetCount())
        std::fprintf(out, "Net Axle Error!!! (%d vs %u)\n\n", net, static_cast<unsigned>(axles.GetCount()));
    return true;
}

namespace {

constexpr int kMaxFragments = 29;
constexpr size_t kCellWidth = 46;
constexpr int kLeadInRows = 12;
constexpr int kTrailerRows = 9;
constexpr uint8_t kStatusNoTag = 4;
constexpr uint16_t kRejectMask = 4;  // the A (axle count) exception

// One movement of the train over the detectors: a run of .011 records in
// one direction.
struct Movement {
    int count = 0;      // records
    long start = 0;     // net axle position where it begins
    int gapMs = 0;      // from its last record to the next movement's first
    int durationMs = 0; // from its first record to its last
};

struct MovementAnalysis {
    std::vector<Movement> moves;
    long lowest = 0, highest = 0;
    Movement At(int j) const { return j < static_cast<int>(moves.size()) ? moves[static_cast<size_t>(j)] : Movement{}; }
};

// Splits the .011 into movements at every change of direction and follows
// the net axle position (+1 per record going one way, -1 the other).
MovementAnalysis AnalyseMovement(const std::string& base) {
    MovementAnalysis m;
    CAxleFile mv;
    if (!mv.LoadMovement(base.c_str()) || !HasRecordsOf(mv, layout::axle::kRecordSize)) return m;
    mv.Seek(0);
    int d = mv.GetDirection();
    long step = 1, position = 1;
    m.moves.push_back({1, 0, 0, 0});
    int t0 = mv.GetTime(), previous = t0;
    for (int i = 1; i < mv.GetCount(); ++i) {
        mv.Seek(i);
        const int t = mv.GetTime();
        if (mv.GetDirection() != d) {
            m.moves.back().gapMs = mv.GapToPrev();
            m.moves.back().durationMs = MsDifference(previous, t0);
            d = mv.GetDirection();
            step = -step;
            t0 = t;
            m.moves.push_back({0, position, 0, 0});
        }
        ++m.moves.back().count;
        position += step;
        m.lowest = std::min(m.lowest, position);
        m.highest = std::max(m.highest, position);
        previous = t;
    }
    m.moves.back().durationMs = MsDifference(previous, t0);
    return m;
}

// Seconds of a span shown in the report; a span that runs backwards (a
// malformed movement file) shows as 0.
unsigned long ShownMs(int ms) { return ms < 0 ? 0ul : static_cast<unsigned long>(ms); }

struct Fragment {
    CTrainSummaryFile summary;
    CCarListFile cars;
    CAxleFile axles;
    bool hasSummary = false;
    bool hasAxles = false;
    Movement move;
    long start = 0, end = 0;
    std::vector<int> carOfAxle;  // record of the vehicle holding each axle, -1 for none
    std::vector<int> speeds;     // eighths of a mph of each axle of the .010
    // What the axle lines show of each car-list record, read once for all
    // the axles of its vehicle.
    struct Car {
        bool read = false;
        char readLetter = ' ', tagLetter = ' ';
        unsigned egc = 0;
        int firstAxle = 0, axleCount = 0;
        std::string initials, identity;
    };
    std::vector<Car> carCache;
    bool Forward() const { return hasSummary && summary.Get(layout::summary::kLastWheelB) != 0; }
};

std::string Identity(const CCarListFile& cars) { return cars.GetInitials() + cars.GetCarNumber(); }

// Whether the end of one fragment shows the vehicles the next one starts
// with: up to four vehicles of equal axle count and readable tags compared
// from the facing ends. -1 when an identity differs, else the matches.
int MatchFacingEnds(CCarListFile& a, CCarListFile& b) {
    if (a.GetCount() <= 0 || b.GetCount() <= 0) return 0;
    a.Seek(a.GetCount() - 1);
    b.Seek(0);
    int good = 0;
    for (int k = 0; k < 4; ++k) {
        if (a.GetAxleCount() == b.GetAxleCount() && a.GetStatus() != kStatusNoTag && b.GetStatus() != kStatusNoTag) {
            if (Identity(a) != Identity(b)) return -1;
            ++good;
        }
        if (!a.PrevCar() || !b.NextCar()) break;
    }
    return good;
}

// Appends one report cell: the text, padded with blanks to the cell width.
void AppendCell(std::string& row, std::string_view text) {
    row.append(text);
    if (text.size() < kCellWidth) row.append(kCellWidth - text.size(), ' ');
}

const char* const kBlank = "|";
const char* const kAxleOffsetHeading = "|   AxleOffset                                ";
const char* const kColumnHeading = "| D Frag Car  #Ax Mph  EGC TS TD OwnerInitial ";
const char* const kHeadingUnderline = "| - ---- ---- --- ---- --- -- -- -------------";
const char* const kRule = "| --------------------------------------------";
const char* const kBars = "|   ||  ||  ||  ||  ||  ||  ||  ||  ||  ||    ";
const char* const kDownArrows = "|   \\/  \\/  \\/  \\/  \\/  \\/  \\/  \\/  \\/  \\/    ";
const char* const kUpArrows = "|   /\\  /\\  /\\  /\\  /\\  /\\  /\\  /\\  /\\  /\\    ";
const char* const kRightRiser = "|                                          |  ";
const char* const kRightCorner = "|                                          +--";
const char* const kLeftRiserDown = "|  V                                          ";
const char* const kLeftRiserUp = "|  ^                                          ";
const char* const kLeftCorner = "|--+                                          ";

template <class... A>
std::string Format(const char* fmt, A... args) {
    char buf[128];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

// The pieces of a fragment's lead-in and trailer that carry its data.
struct Pieces {
    const Fragment& f;
    int j, n;
    std::string Start() const {
        return Format("|         START : %8s %8s           ", f.hasSummary ? f.summary.FormatFirstDate().c_str() : "",
                      f.hasSummary ? f.summary.FormatFirstTime().c_str() : "");
    }
    std::string Stop() const {
        return Format("|          STOP : %8s %8s           ", f.hasSummary ? f.summary.FormatLastDate().c_str() : "",
                      f.hasSummary ? f.summary.FormatLastTime().c_str() : "");
    }
    std::string Number() const {
        return Format("|              Fragment #%-10s           ", Format("%u of %u", unsigned(j), unsigned(n)).c_str());
    }
    std::string Duration() const {
        return Format("|          Move Duration: %-8lu (s)        ", ShownMs(f.move.durationMs) / 1000);
    }
    std::string Gap() const { return Format("|        Time to next axle: %-8lu (s)      ", ShownMs(f.move.gapMs) / 1000); }
};

// Row i (0-11) of the twelve above a fragment's first axle.
std::string LeadIn(const Pieces& p, int i) {
    const bool odd = p.j % 2 == 1;
    const bool joined = p.j > 1 && (p.j < p.n || odd);
    const bool lastAlone = p.j == p.n && !joined;
    switch (i) {
    case 0: return !joined ? kBlank : odd ? kLeftCorner : kRightCorner;
    case 1: return !joined ? kBlank : odd ? kLeftRiserDown : kRightRiser;
    case 2: return kRule;
    case 3: return odd ? p.Start() : p.Stop();
    case 4: return p.Number();
    case 5: return odd ? p.Duration() : p.Gap();
    case 6: return kRule;
    case 7: return lastAlone ? kDownArrows : odd ? kBars : kUpArrows;
    case 8: return lastAlone ? kUpArrows : odd ? kDownArrows : kBars;
    case 9: return kAxleOffsetHeading;
    case 10: return kColumnHeading;
    default: return kHeadingUnderline;
    }
}

// Row i (0-8) from a fragment's end on.
std::string Trailer(const Pieces& p, int i) {
    const bool odd = p.j % 2 == 1;
    const bool joined = p.j < p.n || !odd;
    switch (i) {
    case 0: return !joined ? kDownArrows : odd ? kBars : kUpArrows;
    case 1: return !joined ? kUpArrows : odd ? kDownArrows : kBars;
    case 2: return kRule;
    case 3: return odd ? p.Stop() : p.Start();
    case 4: return p.Number();
    case 5: return odd ? p.Gap() : p.Duration();
    case 6: return kRule;
    case 7: return !joined ? kBlank : odd ? kRightRiser : kLeftRiserUp;
    default: return !joined ? kBlank : odd ? kRightCorner : kLeftCorner;
    }
}

// Marks the vehicles of one report row whose identity differs from the
// first well-read locomotive or car drawn on it.
struct RowMark {
    bool haveReference = false;
    std::string reference;
    char MarkFor(char readLetter, unsigned egc, const std::string& initials, const std::string& identity) {
        if (!haveReference) {
            const bool wellRead = std::string_view("GLMR").find(readLetter) != std::string_view::npos;
            const bool vehicle = egc == 5 || egc == 14 || egc == 19 || egc == 147;
            if (wellRead && vehicle && !initials.empty()) {
                haveReference = true;
                reference = identity;
            }
            return ' ';
        }
        return !identity.empty() && identity != reference ? 'X' : ' ';
    }
};

// Appends a net axle position right-aligned in five columns and a blank
// (as "%5ld ").
void AppendNetPosition(std::string& s, long r) {
    std::string text = r < 0 ? "-" : "";
    AppendLeft(text, static_cast<unsigned>(r < 0 ? -r : r), 0);
    if (text.size() < 5) s.append(5 - text.size(), ' ');
    s.append(text);
    s.push_back(' ');
}

// Appends a speed given in eighths of a mph as "%4.1f" prints it: tenths
// rounded to nearest, a tie (a quarter of a tenth times two) to the even
// tenth; 100 mph and more as 99.9.
void AppendSpeed(std::string& s, int eighths) {
    unsigned tenths = 999;
    if (eighths < 800) {
        const unsigned quarters = static_cast<unsigned>(eighths) * 5;  // quarters of a tenth
        tenths = quarters / 4;
        const unsigned rest = quarters % 4;
        if (rest == 3 || (rest == 2 && tenths % 2 == 1)) ++tenths;
    }
    if (tenths < 100) s.push_back(' ');
    AppendLeft(s, tenths / 10, 0);
    s.push_back('.');
    s.push_back(static_cast<char>('0' + tenths % 10));
}

// Appends the axle line of a fragment's axle:
// "|%c%c %-4u %-4u %-3u %4.1f %-3u %c  %c  %-12s%c" with the mark, the
// direction, the axle, its place in its vehicle, the vehicle's axles, the
// speed, EGC, read-status letter, tag status letter, identity and the mark.
void AppendAxleLine(std::string& row, Fragment& f, int axle, RowMark& mark) {
    const int record = f.carOfAxle[static_cast<size_t>(axle)];
    if (f.carCache.size() <= static_cast<size_t>(record)) f.carCache.resize(static_cast<size_t>(record) + 1);
    Fragment::Car& car = f.carCache[static_cast<size_t>(record)];
    if (!car.read) {
        CCarListFile& cars = f.cars;
        cars.Seek(record);
        const unsigned status = static_cast<unsigned>(cars.GetStatus());
        car.readLetter = "GLRMU?"[std::min(status, 5u)];
        car.initials = cars.GetInitials();
        if (status != kStatusNoTag && car.readLetter != 'U') car.identity = Identity(cars);
        car.egc = static_cast<unsigned>(cars.GetEgc());
        car.tagLetter = cars.GetStatusLetter() ? cars.GetStatusLetter() : ' ';
        car.firstAxle = cars.GetFirstAxle();
        car.axleCount = cars.GetAxleCount();
        car.read = true;
    }
    const char readLetter = car.readLetter;
    const std::string& identity = car.identity;
    const unsigned egc = car.egc;
    const char m = mark.MarkFor(readLetter, egc, car.initials, identity);
    const int eighths = axle < static_cast<int>(f.speeds.size()) ? f.speeds[static_cast<size_t>(axle)] : 0;
    const char tagLetter = car.tagLetter;
    const size_t begin = row.size();
    row.push_back('|');
    row.push_back(m);
    row.push_back(f.Forward() ? '>' : '<');
    row.push_back(' ');
    AppendLeft(row, static_cast<unsigned>(axle), 4);
    row.push_back(' ');
    AppendLeft(row, static_cast<unsigned>(axle - car.firstAxle), 4);
    row.push_back(' ');
    AppendLeft(row, static_cast<unsigned>(car.axleCount), 3);
    row.push_back(' ');
    AppendSpeed(row, eighths);
    row.push_back(' ');
    AppendLeft(row, egc, 3);
    row.push_back(' ');
    row.push_back(readLetter);
    row.append(2, ' ');
    row.push_back(tagLetter);
    row.append(2, ' ');
    row.append(identity);
    if (identity.size() < 12) row.append(12 - identity.size(), ' ');
    row.push_back(m);
    if (row.size() - begin < kCellWidth) row.append(kCellWidth - (row.size() - begin), ' ');
}

}  // namespace

std::vector<int> CarOfAxleTable(const CCarListFile& cars) {
    namespace cl = layout::carlist;
    std::vector<int> table;
    for (int i = 0; i < cars.GetCount(); ++i) {
        const uint32_t number = cars.GetFieldAt(i, cl::kVehicleNumber);
        if (i > 0 && cars.GetFieldAt(i - 1, cl::kVehicleNumber) == number) continue;  // not a vehicle's first record
        const size_t first = cars.GetFieldAt(i, cl::kFirstAxle);
        const size_t count = cars.GetFieldAt(i, cl::kAxleCount);
        if (count == 0) continue;
        if (table.size() < first + count) table.resize(first + count, -1);
        for (size_t a = first; a < first + count; ++a)
            if (table[a] < 0) table[a] = i;
    }
    return table;
}

int EvaluateConsistSeries(const std::string& base, FILE* out) {
    const MovementAnalysis moves = AnalyseMovement(base);
    if (base.size() < 2) {
        std::fputs("Error: Filename must contain at minimum 2 digits", out);
        return 0;
    }

    // The fragments are the trains recorded under the base name with its
    // last two digits replaced by 01, 02, ...
    const std::string prefix = base.substr(0, base.size() - 2);
    std::vector<std::unique_ptr<Fragment>> frags;
    for (int nn = 1; nn <= kMaxFragments; ++nn) {
        const std::string name = Format("%s%02d", prefix.c_str(), nn);
        CConsistFile consist;
        if (!consist.Load(name.c_str())) break;
        auto f = std::make_unique<Fragment>();
        f->hasSummary = f->summary.Load(name.c_str()) &&
                        HasRecordsOf(f->summary, static_cast<unsigned>(layout::summary::kRecordSize));
        f->cars.BuildFromConsist(name.c_str(), TagReaderModes{2, 2, 2, 0}, kRejectMask);
        f->hasAxles = f->axles.Load(name.c_str()) && HasRecordsOf(f->axles, layout::axle::kRecordSize);
        f->move = moves.At(static_cast<int>(frags.size()));
        frags.push_back(std::move(f));
    }
    const int n = static_cast<int>(frags.size());
    std::fprintf(out, "Fragments Found: %d.\n", n);
    if (n == kMaxFragments && FileExists(AddExtension(Format("%s%02d", prefix.c_str(), n + 1), ".035")))
        std::fprintf(out, "Only the first %d fragments are evaluated.\n", kMaxFragments);

    for (int j = 1; j <= n; ++j) {
        Fragment& f = *frags[static_cast<size_t>(j - 1)];
        std::fprintf(out, "\nFrag #%d Dir: %s\n-----------------\n", j, f.Forward() ? "->" : "<-");
        f.cars.Print(out);
        if (j < n) std::fprintf(out, "\nTime to Next Wheel: %lu (ms)\n\n", ShownMs(f.move.gapMs));
    }

    for (int j = 1; j < n; ++j) {
        std::fprintf(out, "Frag %d (end) to Frag %d (start) Status: ", j, j + 1);
        const int good = MatchFacingEnds(frags[static_cast<size_t>(j - 1)]->cars, frags[static_cast<size_t>(j)]->cars);
        if (good < 0)
            std::fputs("Bad! This fragment is probably a different train (NOT a fragment of a reversing train).\n", out);
        else
            std::fprintf(out, "Good Matches : %d\n", good);
    }

    // Every second fragment ran the other way: its car list and its axles
    // are turned end for end, and it is drawn from its lower end, so that
    // every fragment covers its net positions in increasing order.
    for (int j = 1; j <= n; ++j) {
        Fragment& f = *frags[static_cast<size_t>(j - 1)];
        f.start = f.move.start;
        if (j % 2 == 0) {
            f.cars.Reverse();
            if (f.hasAxles) f.axles.Reverse();
            f.start -= f.move.count;
        }
        f.end = f.start + f.move.count;
        f.carOfAxle = CarOfAxleTable(f.cars);
        if (f.hasAxles) {
            f.speeds.resize(static_cast<size_t>(f.axles.GetCount()));
            namespace ax = layout::axle;
            for (int a = 0; a < f.axles.GetCount(); ++a)
                f.speeds[static_cast<size_t>(a)] =
                    SpeedEighths(f.axles.GetFieldAt(a, ax::kSpeedWhole), f.axles.GetFieldAt(a, ax::kSpeedEighths));
        }
    }

    std::fputs("\n----------------------------------------\n Train Movement Detail Report, V1.0\n"
               "----------------------------------------\n",
               out);
    std::fputs("\nNet   \nAxle  \n----- \n", out);
    std::string row;
    for (long r = moves.lowest - kLeadInRows; r <= moves.highest + kTrailerRows - 1; ++r) {
        row.clear();
        AppendNetPosition(row, r);
        RowMark mark;
        for (int j = 1; j <= n; ++j) {
            Fragment& f = *frags[static_cast<size_t>(j - 1)];
            const Pieces p{f, j, n};
            const long axle = r - f.start;
            if (axle >= 0 && axle < static_cast<long>(f.carOfAxle.size()) && f.carOfAxle[static_cast<size_t>(axle)] >= 0)
                AppendAxleLine(row, f, static_cast<int>(axle), mark);
            else if (axle < 0 && axle >= -kLeadInRows)
                AppendCell(row, LeadIn(p, static_cast<int>(axle + kLeadInRows)));
            else if (r >= f.end && r - f.end < kTrailerRows)
                AppendCell(row, Trailer(p, static_cast<int>(r - f.end)));
            else
                AppendCell(row, kBlank);
        }
        row += '\n';
        std::fwrite(row.data(), 1, row.size(), out);
    }
    return 1;
}
