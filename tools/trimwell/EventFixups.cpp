// Orphaned wheel events (OP6) and the IO event timestamp fix-up (OP8).
#include "Trimwell.h"

#include "AxleFile.h"
#include "IoFile.h"
#include "RecordChecks.h"
#include "WheelFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace wh = layout::wheel;

namespace {

// An event is orphaned when its nearest axle lies 3.0 to 8.0 ft from it:
// nearer, the event belongs to that axle; farther, to none the .010 knows.
constexpr float kNearestStartFeet = 1000.0f;
constexpr float kOrphanMinFeet = 3.0f;
constexpr float kOrphanMaxFeet = 8.0f;
constexpr unsigned kTenthsPerFoot = 120;
// No axle farther from an event than 8 ft at the slowest pace of the file
// can be within 8 ft of it; the slowest pace a record can give is 5455 ms
// per foot (1/8 mph).
constexpr uint32_t kMaxSearchWindowMs = 8 * 5455 + 1;
constexpr size_t kMaxRecords = 0xFFFF;  // the header holds a 16-bit count

uint8_t OtherDetector(uint8_t d) { return d == wh::kDetectorA ? wh::kDetectorB : wh::kDetectorA; }

// Distance in feet between two millisecond times at a pace, in single
// precision. The times come from 32-bit counters, so their difference wraps.
float FeetApart(int a, int b, unsigned msPerFoot) {
    const int64_t d = MsDifference(a, b);
    return static_cast<float>(d < 0 ? -d : d) / static_cast<float>(msPerFoot);
}

struct AxleAt {
    uint32_t ms;         // time of the axle (ms, as an unsigned count)
    int index;           // record index in the .010
};

// Nearest axle to an event: the axles sorted by time, and for every axle its
// pace (time per foot at its own speed).
class AxleSearch {
public:
    explicit AxleSearch(CAxleFile& axles) {
        const int n = axles.GetCount();
        m_sorted.reserve(static_cast<size_t>(n));
        m_pace.resize(static_cast<size_t>(n));
        m_ms.resize(static_cast<size_t>(n));
        namespace ax = layout::axle;
        for (int i = 0; i < n; ++i) {
            // Each axle's time and its pace at its own speed, read straight
            // from its record rather than through the cursor.
            const int t = axles.RawToMs(axles.GetFieldAt(i, ax::kTime));
            m_ms[static_cast<size_t>(i)] = t;
            m_pace[static_cast<size_t>(i)] = MsPerFootAtAverage(
                static_cast<uint32_t>(SpeedEighths(axles.GetFieldAt(i, ax::kSpeedWhole), axles.GetFieldAt(i, ax::kSpeedEighths))), 1);
            m_sorted.push_back({static_cast<uint32_t>(t), i});
            m_slowestPace = std::max(m_slowestPace, m_pace[static_cast<size_t>(i)]);
        }
        m_window = std::min(8 * m_slowestPace + 1, kMaxSearchWindowMs);
        // A recording holds its axles in time order: the sort is only
        // needed where the times go back.
        const auto before = [](const AxleAt& a, const AxleAt& b) { return a.ms != b.ms ? a.ms < b.ms : a.index < b.index; };
        if (!std::is_sorted(m_sorted.begin(), m_sorted.end(), before)) std::sort(m_sorted.begin(), m_sorted.end(), before);
    }

    // The axle nearest in feet to an event at time t and its distance: the
    // smallest distance, the lowest record index among equal ones; none
    // (-1) when no axle lies nearer than 1000 ft. The axles are visited
    // outwards in time from t, each way until no axle farther in time can
    // come as near as the best one so far (at the slowest pace of the
    // file), and never beyond 8 ft at that pace: where the nearest axle lies
    // beyond 8 ft, which one it is decides nothing.
    int Nearest(int t, float& best) const {
        best = kNearestStartFeet;
        int nearest = -1;
        const size_t n = m_sorted.size();
        if (n == 0) return nearest;
        const uint32_t ue = static_cast<uint32_t>(t);
        // How far in time an axle may lie and still come as near as the
        // best so far; the margin covers the rounding of the distances.
        // The reach changes only with the best distance, so it is worked
        // out again only then.
        uint32_t reach = m_window;
        auto visit = [&](const AxleAt& a) {
            const float dist = FeetApart(static_cast<int>(a.ms), t, m_pace[static_cast<size_t>(a.index)]);
            if (dist < best || (dist == best && nearest >= 0 && a.index < nearest)) {
                best = dist;
                nearest = a.index;
                const double r = static_cast<double>(best) * m_slowestPace * (1.0 + 1e-5) + 1.0;
                reach = r < m_window ? static_cast<uint32_t>(r) : m_window;
            }
        };
        // Times are read from 32-bit counters: the walk goes round the end
        // of the counter as the distances do.
        const size_t first = FirstNotBefore(ue);
        for (size_t k = 0; k < n; ++k) {
            const AxleAt& a = m_sorted[(first + k) % n];
            if (a.ms - ue > reach) break;
            visit(a);
        }
        for (size_t k = 1; k <= n; ++k) {
            const AxleAt& a = m_sorted[(first + n - k) % n];
            if (ue - a.ms > reach) break;
            visit(a);
        }
        return nearest;
    }

    // Position of the first axle at or after time ue in the sorted axles.
    // The events come in time order, so the answer for the last event, or
    // the one after it, is tried before a binary search.
    size_t FirstNotBefore(uint32_t ue) const {
        const size_t n = m_sorted.size();
        for (size_t h = m_hint; h <= m_hint + 1 && h <= n; ++h) {
            if ((h == n || m_sorted[h].ms >= ue) && (h == 0 || m_sorted[h - 1].ms < ue)) return m_hint = h;
        }
        m_hint = static_cast<size_t>(
            std::lower_bound(m_sorted.begin(), m_sorted.end(), ue, [](const AxleAt& a, uint32_t v) { return a.ms < v; }) -
            m_sorted.begin());
        return m_hint;
    }

    unsigned Pace(int axle) const { return m_pace[static_cast<size_t>(axle)]; }
    int TimeOf(int axle) const { return m_ms[static_cast<size_t>(axle)]; }

private:
    std::vector<AxleAt> m_sorted;
    std::vector<unsigned> m_pace;
    std::vector<int> m_ms;
    unsigned m_slowestPace = 0;  // the most ms per foot of any axle
    uint32_t m_window = 0;       // ms each way from an event that can hold an axle within 8 ft
    mutable size_t m_hint = 0;   // where the last event's search began
};

// One wheel event record with the fields the repair looks at.
struct Event {
    const uint8_t* bytes;
    uint8_t detector;
    uint32_t raw;
};

// The .012 as it stands while the repair walks it: the events already
// passed (with the partners inserted among them) in an output area, then
// the original events from the current one on. The repaired file is the
// output area once the walk is done, built in one pass.
class EventWalk {
public:
    EventWalk(const CWheelFile& wheel, unsigned recordLength)
        : m_wheel(wheel), m_in(wheel.Data()), m_len(recordLength), m_count(static_cast<size_t>(wheel.GetCount())) {
        m_out.reserve(m_in.size() + m_in.size() / 8);
        m_outPos.resize(m_count);
        m_byTime.reserve(m_count);
        for (size_t i = 0; i < m_count; ++i) m_byTime.push_back({Ms(Original(i).raw), i});
        // The events of a recording are in time order already as a rule.
        if (!std::is_sorted(m_byTime.begin(), m_byTime.end())) std::sort(m_byTime.begin(), m_byTime.end());
    }

    size_t Count() const { return m_count; }
    Event Original(size_t i) const {
        const uint8_t* p = m_in.data() + i * m_len;
        return {p, p[wh::kDetector.offset], layout::Get(m_in, i * m_len, wh::kTime)};
    }
    Event Output(size_t i) const {
        const uint8_t* p = m_out.data() + i * m_len;
        return {p, p[wh::kDetector.offset], layout::Get(m_out, i * m_len, wh::kTime)};
    }
    size_t OutputCount() const { return m_out.size() / m_len; }
    int Ms(uint32_t raw) const { return m_wheel.RawToMs(raw); }

    // The event before the current original g in the file as it stands.
    bool Previous(Event& e) const {
        if (OutputCount() == 0) return false;
        e = Output(OutputCount() - 1);
        return true;
    }
    // The event after the current original g.
    bool Following(size_t g, Event& e) const {
        if (g + 1 >= m_count) return false;
        e = Original(g + 1);
        return true;
    }

    // The first event of the file as it stands (current original g) whose
    // time in ms is t, and the event after it.
    bool MatchAndSuccessor(int t, size_t g, Event& match, Event& next, bool& hasNext) const {
        // The first original of that time, and the first partner: whichever
        // stands first in the output; every original before g is there.
        constexpr size_t kNone = static_cast<size_t>(-1);
        const auto it = std::lower_bound(m_byTime.begin(), m_byTime.end(), std::pair<int, size_t>{t, 0});
        const bool original = it != m_byTime.end() && it->first == t;
        size_t at = original && it->second < g ? m_outPos[it->second] : kNone;
        if (const auto p = m_firstPartner.find(t); p != m_firstPartner.end()) at = std::min(at, p->second);
        if (at != kNone) {
            match = Output(at);
            hasNext = true;
            next = at + 1 < OutputCount() ? Output(at + 1) : Original(g);
            return true;
        }
        if (!original) return false;
        match = Original(it->second);
        hasNext = Following(it->second, next);
        return true;
    }

    // Appends original event g as it now stands, or a partner made for it.
    void AppendOriginal(size_t g, const uint8_t* rec) {
        m_outPos[g] = OutputCount();
        m_out.insert(m_out.end(), rec, rec + m_len);
    }
    void AppendPartner(const uint8_t* rec) {
        const size_t at = OutputCount();
        m_out.insert(m_out.end(), rec, rec + m_len);
        m_firstPartner.emplace(Ms(layout::Get(m_out, at * m_len, wh::kTime)), at);
    }

    std::vector<uint8_t> TakeOutput() { return std::move(m_out); }

private:
    const CWheelFile& m_wheel;
    std::span<const uint8_t> m_in;
    unsigned m_len;
    size_t m_count;
    std::vector<uint8_t> m_out;
    std::vector<std::pair<int, size_t>> m_byTime;  // (ms, index) of the originals, sorted
    std::vector<size_t> m_outPos;                   // output index of each original passed
    std::unordered_map<int, size_t> m_firstPartner; // ms -> output index of the first partner
};

void SetRecordTime(std::vector<uint8_t>& rec, uint32_t raw) { layout::Set(rec, 0, wh::kTime, raw); }
void SetRecordFlag(std::vector<uint8_t>& rec, bool on) {
    const uint32_t f = layout::Get(rec, 0, wh::kFlags);
    layout::Set(rec, 0, wh::kFlags, on ? (f | wh::kEventFlag) : (f & ~uint32_t{wh::kEventFlag}));
}

}  // namespace

bool FixOrphanedWheelEvents(const std::string& base, FILE* out) {
    CWheelFile wheel;
    CAxleFile axles;
    if (!LoadWalkedFiles(base, {{wheel, wh::kRecordSize, true}, {axles, layout::axle::kRecordSize}}, out)) return false;
    // The partner of an event lies one AB spacing from it: without a spacing
    // or a usable time scale no partner time can be worked out.
    if (wheel.GetABSpacing() == 0) {
        std::fputs("No AB spacing in the .012. ", out);
        return false;
    }
    if (!HasUsableTimeScale(wheel)) {
        std::fputs("Unusable .012 time scale. ", out);
        return false;
    }

    const unsigned len = wheel.GetRecordLength();
    const unsigned ab = wheel.GetABSpacing();
    const AxleSearch search(axles);
    EventWalk walk(wheel, len);
    const size_t n = walk.Count();

    bool flagged = false;
    for (size_t i = 0; i < n && !flagged; ++i) flagged = (walk.Original(i).bytes[wh::kFlags.offset] & wh::kEventFlag) != 0;
    const uint8_t lead = walk.Original(0).detector;

    unsigned orphans = 0, notCreated = 0;
    int createdA = 0, createdB = 0;
    for (size_t g = 0; g < n; ++g) {
        const Event e = walk.Original(g);
        const int te = walk.Ms(e.raw);
        float best = 0.0f;
        const int nearest = search.Nearest(te, best);
        if (nearest < 0 || best < kOrphanMinFeet || best > kOrphanMaxFeet) {
            walk.AppendOriginal(g, e.bytes);
            continue;
        }
        const unsigned pace = search.Pace(nearest);
        const bool onLead = e.detector == lead;
        // An event whose partner already stands beside it, on the side a
        // partner is inserted, is no orphan: the wheel left both events
        // (the re-passage of an axle that backed out, or a repaired one).
        // So is the second event of the nearest axle's own pair, however
        // long the wheel took between the detectors while the train slowed.
        Event side{};
        const bool hasSide = onLead ? walk.Following(g, side) : walk.Previous(side);
        if (hasSide && side.detector != e.detector &&
            (FeetApart(walk.Ms(side.raw), te, pace) < kOrphanMinFeet || walk.Ms(side.raw) == search.TimeOf(nearest))) {
            walk.AppendOriginal(g, e.bytes);
            continue;
        }
        ++orphans;

        // Partner interval: what the axle's own pair of events took, when
        // the event after the axle's is the other detector's and later;
        // otherwise the time the wheel needs for the AB spacing.
        Event match{}, next{};
        bool hasNext = false;
        uint32_t m;
        if (walk.MatchAndSuccessor(search.TimeOf(nearest), g, match, next, hasNext) && hasNext &&
            next.detector != match.detector && next.raw > match.raw)
            m = next.raw - match.raw;
        else
            m = wheel.MsToRaw(pace * ab / kTenthsPerFoot);

        // The partner must keep the events in time order and within the
        // 32-bit count, and the file within its 16-bit record count.
        uint64_t partnerRaw;
        bool fits;
        if (onLead) {
            partnerRaw = uint64_t(e.raw) + m;
            Event after{};
            fits = partnerRaw <= std::numeric_limits<uint32_t>::max() &&
                   (!walk.Following(g, after) || partnerRaw <= after.raw);
        } else {
            fits = m <= e.raw;
            partnerRaw = fits ? e.raw - m : 0;
            Event before{};
            fits = fits && (!walk.Previous(before) || partnerRaw >= before.raw);
        }
        if (!fits || walk.OutputCount() + (n - g) + 1 > kMaxRecords) {
            if (fits) ++notCreated;
            walk.AppendOriginal(g, e.bytes);
            continue;
        }

        std::vector<uint8_t> self(e.bytes, e.bytes + len), partner(e.bytes, e.bytes + len);
        SetRecordFlag(self, false);
        partner[wh::kDetector.offset] = OtherDetector(e.detector);
        SetRecordTime(partner, static_cast<uint32_t>(partnerRaw));
        if (onLead) {
            walk.AppendOriginal(g, self.data());
            walk.AppendPartner(partner.data());
        } else {
            if (flagged) SetRecordFlag(partner, true);
            walk.AppendPartner(partner.data());
            walk.AppendOriginal(g, self.data());
        }
        (partner[wh::kDetector.offset] == wh::kDetectorA ? createdA : createdB)++;
    }

    bool ok = true;
    if (createdA + createdB > 0) {
        ok = wheel.ReplaceRecords(walk.TakeOutput()) && wheel.Save();
        if (ok) {
            char line[96];
            const int k = std::snprintf(line, sizeof line, "Wheel events created (A/B = %d/%d).\n", createdA, createdB);
            ok = AppendToFile(base + ".FIX", line, static_cast<size_t>(k)) != 0;
        }
    }
    if (notCreated > 0) std::fprintf(out, "Record limit of 65535 reached, %u partner(s) not created. ", notCreated);
    std::fprintf(out, "%u orphan(s) found.", orphans);
    return ok;
}

namespace {

// Record indexes of the rising edges of the bits in mask, in file order. A
// record rises when it has a bit of the mask that the record before it had
// clear; the word before the first record counts as clear.
std::vector<int> RisingEdges(const CIoFile& io, uint16_t mask) {
    std::vector<int> edges;
    uint32_t previous = 0;
    for (int i = 0; i < io.GetCount(); ++i) {
        const uint32_t word = io.GetFieldAt(i, layout::io::kInputs);
        if ((word & mask) && !(previous & mask)) edges.push_back(i);
        previous = word;
    }
    return edges;
}

}  // namespace

bool FixupIoEvents(const std::string& base, FILE* out) {
    CWheelFile wheel;
    CIoFile io;
    if (!LoadWalkedFiles(base, {{wheel, wh::kRecordSize, true}, {io, layout::io::kRecordSize}}, out)) return false;

    if (io.IsPreprocessed()) {
        std::fputs("This file has already been pre-processed...\n", out);
        return true;
    }
    if (io.GetRecorderVersion() != 0) {
        // A later recorder keeps no sticky B latch: its edges need no
        // correction, only the mark.
        io.SetPreprocessed(1);
        if (!io.Save()) return false;
        std::fputs("OK. Sticky B latch logic is not needed in this version.\n", out);
        return true;
    }

    const std::vector<int> edgesA = RisingEdges(io, layout::io::kDefaultMaskA);
    const std::vector<int> edgesB = RisingEdges(io, layout::io::kDefaultMaskB);
    int a = 0, b = 0;
    for (int i = 0; i < wheel.GetCount(); ++i) {
        wheel.Seek(i);
        if (wheel.GetDetector() == wh::kDetectorA) ++a;
        if (wheel.GetDetector() == wh::kDetectorB) ++b;
    }
    const int wda = static_cast<int>(edgesA.size()), wdb = static_cast<int>(edgesB.size());
    if (wda != a || wdb != b) {
        std::fprintf(out, "Cannot update... Edge counts do not match (WDA=%d/%d, WDB=%d/%d)...\n", wda, a, wdb, b);
        return false;
    }

    // Each detector's n-th event gives its time to that detector's n-th
    // rising edge.
    int iA = 0, iB = 0;
    for (int i = 0; i < wheel.GetCount(); ++i) {
        wheel.Seek(i);
        const uint8_t d = wheel.GetDetector();
        if (d != wh::kDetectorA && d != wh::kDetectorB) continue;
        int& k = d == wh::kDetectorA ? iA : iB;
        const std::vector<int>& edges = d == wh::kDetectorA ? edgesA : edgesB;
        if (k >= static_cast<int>(edges.size())) continue;
        io.Seek(edges[static_cast<size_t>(k)]);
        io.SetTime(static_cast<uint32_t>(wheel.GetTime()));
        ++k;
    }
    io.SetPreprocessed(1);
    if (!io.Save()) return false;
    std::fprintf(out, "OK. Timestamps updated (WDA/WDB) (%d/%d). File <BASENAME>.008 created.\n", iA, iB);
    return true;
}
