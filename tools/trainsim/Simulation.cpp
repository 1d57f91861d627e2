#include "Simulation.h"

#include "Random.h"
#include "TrainFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace trainsim {

namespace {

constexpr unsigned kMaxRecords = 0xFFFF;  // 16-bit record count of a file
constexpr size_t kMaxProfileSteps = 1000;
constexpr double kLeadInFt = 60.0;         // the head starts this far before the first device
constexpr double kRunOutFt = 60.0;         // the rear ends this far past the last device
constexpr double kBackAccel = 1.0 * kFeetPerSecondPerMph;  // 1 mph per second when backing
constexpr double kAntennaStepFt = 1.5;     // second antenna of a side, further on
constexpr double kAntennaFieldFt = 3.0;    // length of track an antenna reads a tag over
constexpr double kReadsPerSecond = 50.0;
constexpr double kTagInsetFt = 3.0;        // tags sit this far in from the vehicle ends
constexpr double kRecordingLeadMs = 1000.0;  // the recorder's clock at the start of the recording

std::string Fmt(const char* f, double a, double b = 0, double c = 0) {
    char buf[256];
    std::snprintf(buf, sizeof buf, f, a, b, c);
    return buf;
}

std::string Line(int line) { return "vehicle on line " + std::to_string(line) + ": "; }

double AbFeet(const SiteFacts& s) { return s.abTenths / 120.0; }
double ZoneFeet(const SiteFacts& s) { return s.ZoneInches() / 12.0; }

}  // namespace

// ---------------------------------------------------------------------------
// Geometry

bool BuildGeometry(const TrainDescription& d, TrainGeometry& g, std::string& error) {
    g = TrainGeometry{};
    double front = 0.0;
    double rear = 0.0;
    for (size_t vi = 0; vi < d.vehicles.size(); ++vi) {
        const VehicleSpec& v = d.vehicles[vi];
        VehiclePlace place;
        place.firstAxle = int(g.axleFt.size());
        place.axles = v.axles;
        place.frontFt = front;
        std::vector<double> local = v.axleOffsetsFt;
        if (local.empty() && v.axles > 0) {
            const int trucks = v.kind == VehicleKind::Articulated ? v.platforms + 1 : 2;
            if (v.axles % trucks != 0) {
                error = Line(v.line) + std::to_string(v.axles) + " axles do not share out over " +
                        std::to_string(trucks) + " trucks (give axles_at=)";
                return false;
            }
            const int per = v.axles / trucks;
            const double first = (v.lengthFt - (trucks - 1) * v.truckCentresFt) / 2.0;
            for (int t = 0; t < trucks; ++t)
                for (int k = 0; k < per; ++k)
                    local.push_back(first + t * v.truckCentresFt + (k - (per - 1) / 2.0) * v.axleSpacingFt);
        }
        if (v.flipped) {
            std::reverse(local.begin(), local.end());
            for (double& x : local) x = v.lengthFt - x;
        }
        if (!local.empty() && (local.front() < 0.0 || local.back() > v.lengthFt)) {
            error = Line(v.line) + "axles lie outside the vehicle (check length, centers and spacing)";
            return false;
        }
        for (double x : local) {
            g.axleFt.push_back(front + x);
            g.axleVehicle.push_back(int(vi));
        }
        if (v.tagged) {
            if (v.kind == VehicleKind::EndOfTrain) {
                place.hasTag[0] = true;
                place.tagFt[0] = front;
            } else {
                const double inset = std::min(kTagInsetFt, v.lengthFt / 4.0);
                place.hasTag[0] = true;
                place.hasTag[1] = v.sideTwoTag;
                place.tagFt[0] = front + (v.flipped ? v.lengthFt - inset : inset);
                place.tagFt[1] = front + (v.flipped ? inset : v.lengthFt - inset);
            }
        }
        g.vehicles.push_back(place);
        rear = front + v.lengthFt;
        front = rear + v.couplerGapFt;
    }
    g.lengthFt = rear;
    if (g.axleFt.empty()) {
        error = "the train has no axles";
        return false;
    }
    // Two wheels must never be over the detectors together: the detectors
    // then could not tell them apart.
    const SiteFacts& s = d.site;
    const double need = AbFeet(s) + 2.0 * ZoneFeet(s) + 4.0 * s.edgeJitterInches / 12.0 + 0.1;
    for (size_t i = 1; i < g.axleFt.size(); ++i) {
        const double gap = g.axleFt[i] - g.axleFt[i - 1];
        if (gap < need) {
            error = Fmt("axles %.0f and %.0f are %.2f ft apart", double(i), double(i + 1), gap) +
                    Fmt("; the detectors need at least %.2f ft between wheels", need);
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Motion

namespace {

// Time within a one-way segment at which the head is at p (p lies within the
// segment's range).
double SolveTau(const Segment& s, double p) {
    const double dp = p - s.p0;
    const double sq = std::sqrt(std::max(0.0, s.v0 * s.v0 + 2.0 * s.a * dp));
    double tau = 0.0;
    if (s.PEnd() >= s.p0) {
        const double den = s.v0 + sq;
        tau = den > 0.0 ? 2.0 * dp / den : 0.0;
    } else {
        const double den = s.v0 - sq;
        tau = den < 0.0 ? 2.0 * dp / den : 0.0;
    }
    return std::clamp(tau, 0.0, s.dur);
}

}  // namespace

double Motion::PositionAt(double t) const {
    if (segments.empty() || t <= segments.front().t0) return startFt;
    auto it = std::upper_bound(segments.begin(), segments.end(), t,
                               [](double v, const Segment& s) { return v < s.t0; });
    const Segment& s = *(it - 1);
    return s.P(std::min(t - s.t0, s.dur));
}

double Motion::VelocityAt(double t) const {
    if (segments.empty()) return 0.0;
    if (t <= segments.front().t0) return segments.front().v0;
    auto it = std::upper_bound(segments.begin(), segments.end(), t,
                               [](double v, const Segment& s) { return v < s.t0; });
    const Segment& s = *(it - 1);
    return s.V(std::min(t - s.t0, s.dur));
}

void Motion::Crossings(double p, std::vector<Crossing>& out) const {
    out.clear();
    for (const Segment& s : segments) {
        if (s.dur <= 0.0) continue;
        const double a = s.p0, b = s.PEnd();
        if (b > a && a < p && p <= b) out.push_back({s.t0 + SolveTau(s, p), true});
        else if (b < a && b < p && p <= a) out.push_back({s.t0 + SolveTau(s, p), false});
    }
}

double Motion::FirstForward(double p) const {
    for (const Segment& s : segments) {
        if (s.dur <= 0.0) continue;
        const double a = s.p0, b = s.PEnd();
        if (b > a && a < p && p <= b) return s.t0 + SolveTau(s, p);
    }
    return -1.0;
}

bool BuildMotion(const TrainDescription& d, const TrainGeometry& g, Motion& m, std::string& error) {
    m = Motion{};
    const SiteFacts& site = d.site;
    const double sFt = AbFeet(site), wFt = ZoneFeet(site);
    double lo = -wFt, hi = sFt + wFt;
    auto device = [&](double p) {
        lo = std::min(lo, p);
        hi = std::max(hi, p);
    };
    if (site.readers > 0) {
        device(site.readerOffsetFt);
        device(site.readerOffsetFt + kAntennaStepFt + kAntennaFieldFt);
    }
    if (site.hbd) device(site.hbdOffsetFt);
    if (site.scale) device(site.scaleOffsetFt);
    m.startFt = lo - kLeadInFt;
    const double endFt = hi + g.lengthFt + kRunOutFt;

    double t = 0.0, p = m.startFt, v = d.arrivalMph * kFeetPerSecondPerMph;
    auto add = [&](double dur, double v0, double a) {
        Segment s;
        s.t0 = t;
        s.dur = dur;
        s.p0 = p;
        s.v0 = v0;
        s.a = a;
        m.segments.push_back(s);
        t += dur;
        p = s.PEnd();
        v = s.V(dur);
    };
    auto fail = [&](const ProfileStep& st, const std::string& what) {
        error = "line " + std::to_string(st.line) + ": " + what;
        return false;
    };
    auto markPos = [&](const ProfileStep& st, double& target) {
        if (!st.mark.isAxle) {
            target = p + st.mark.feet;
            return true;
        }
        if (st.mark.axle > int(g.axleFt.size())) {
            error = "line " + std::to_string(st.line) + ": the train has only " + std::to_string(g.axleFt.size()) +
                    " axles";
            return false;
        }
        target = st.mark.feet + g.axleFt[size_t(st.mark.axle - 1)];
        if (target <= p + 1e-9) {
            error = "line " + std::to_string(st.line) + ": axle " + std::to_string(st.mark.axle) +
                    " has already passed that point";
            return false;
        }
        return true;
    };

    for (const ProfileStep& st : d.profile) {
        double target = 0.0;
        switch (st.kind) {
        case StepKind::Cruise:
            if (v <= 0.0) return fail(st, "cruise needs a moving train (ramp up first)");
            if (!markPos(st, target)) return false;
            add((target - p) / v, v, 0.0);
            break;
        case StepKind::Ramp:
        case StepKind::Stop: {
            const double v1 = st.kind == StepKind::Stop ? 0.0 : st.mph * kFeetPerSecondPerMph;
            if (st.kind == StepKind::Stop && v <= 0.0) return fail(st, "the train is already standing");
            if (v <= 0.0 && v1 <= 0.0) return fail(st, "ramp from a standstill needs a target speed above 0");
            if (!markPos(st, target)) return false;
            const double dist = target - p;
            add(2.0 * dist / (v + v1), v, (v1 * v1 - v * v) / (2.0 * dist));
            v = v1;  // exact, whatever the rounding of the segment end
            break;
        }
        case StepKind::Wait:
            if (v != 0.0) return fail(st, "wait needs a standing train (stop first)");
            add(st.seconds, 0.0, 0.0);
            break;
        case StepKind::Back: {
            if (v != 0.0) return fail(st, "back needs a standing train (stop first)");
            double dist = st.backFeet;
            if (st.backAxles > 0) {
                // Axles wholly past the trailing detector's zone have crossed.
                int crossed = 0;
                while (crossed < int(g.axleFt.size()) && p - g.axleFt[size_t(crossed)] >= sFt + wFt) ++crossed;
                if (crossed < st.backAxles)
                    return fail(st, "only " + std::to_string(crossed) + " axles have crossed the detectors");
                // The first axle to back out must end wholly before the
                // leading detector's zone; the one before it must stay wholly
                // past the trailing detector's zone.
                const size_t a = size_t(crossed - st.backAxles);
                const double lower = p - g.axleFt[a] + wFt;
                if (a == 0) {
                    dist = lower + 2.0;
                } else {
                    const double upper = p - g.axleFt[a - 1] - sFt - wFt;
                    if (upper - lower < 0.2)
                        return fail(st, "axles " + std::to_string(a) + " and " + std::to_string(a + 1) +
                                            " are too close to back out one without the other");
                    dist = (lower + upper) / 2.0;
                }
            }
            const double vb = st.mph * kFeetPerSecondPerMph;
            if (dist >= vb * vb / kBackAccel) {
                const double t1 = vb / kBackAccel;
                const double cruise = dist - vb * vb / kBackAccel;
                add(t1, 0.0, -kBackAccel);
                add(cruise / vb, -vb, 0.0);
                add(t1, -vb, kBackAccel);
            } else {
                const double vp = std::sqrt(dist * kBackAccel);
                const double t1 = vp / kBackAccel;
                add(t1, 0.0, -kBackAccel);
                add(t1, -vp, kBackAccel);
            }
            v = 0.0;
            break;
        }
        }
    }
    if (v <= 0.0) {
        error = "the profile leaves the train standing; end it with 'ramp <mph> over <feet>'";
        return false;
    }
    add(p < endFt ? (endFt - p) / v : 1.0, v, 0.0);
    m.endTime = t;
    return true;
}

// ---------------------------------------------------------------------------
// Recording

double RawUnitMs(uint32_t numerator, uint16_t exponent) {
    // The files' readers keep the scale as a 32-bit float; use the same value.
    return TimeScaleOf(numerator, exponent);
}

uint32_t Simulation::Raw(double t) const {
    const long double ms = kRecordingLeadMs + static_cast<long double>(t) * 1000.0L;
    return TruncToU32(ms / RawUnitMs(desc.site.scaleNumerator, desc.site.scaleExponent));
}

int Simulation::ForwardPassages() const {
    return int(std::count_if(passages.begin(), passages.end(), [](const Passage& p) { return p.forward; }));
}

int Simulation::BackwardPassages() const { return int(passages.size()) - ForwardPassages(); }

int EdgeSpeedEighths(unsigned abTenths, int64_t dtRaw) {
    if (dtRaw <= 0) return 1;
    const long double x = static_cast<long double>(abTenths) * 1.5782828282828283e-6L /
                              (static_cast<long double>(dtRaw) * 2.7777777777777776e-7L) +
                          0.0625L;
    const int whole = int(TruncToInt64(x) & 0x7F);
    const int eighths = int(TruncToInt64(x * 8.0L) & 7);
    const int v = whole * 8 + eighths;
    return v == 0 ? 1 : v;
}

namespace {

// The second recording of a split train starts its clock from 0 at the
// split and carries the first recording's clock at the split in its opening
// record, so that the combiner can put both on one time base. That needs
// whole-millisecond raw units (the tag and wheel files count milliseconds)
// and a first wheel edge before the clock reaches the opening record's time.
bool CheckSplit(const Simulation& sim, std::string& error) {
    const SiteFacts& site = sim.desc.site;
    const std::string where = "line " + std::to_string(site.splitLine) + ": split: ";
    if (site.splitAtS >= sim.durationS) {
        error = where + "the recording lasts only " + Fmt("%.1f", sim.durationS) + " s";
        return false;
    }
    if (site.scaleNumerator != 1 || site.scaleExponent != 0) {
        error = where + "a split recording needs the time scale 1 0 (raw units of 1 ms)";
        return false;
    }
    const uint32_t b = sim.Raw(site.splitAtS);
    for (const IoEvent& e : sim.io)
        if (e.raw >= b && e.flags != 0) {
            if (e.raw - b >= b) {
                error = where + "the second recording's first wheel comes " + Fmt("%.1f", (e.raw - b) / 1000.0) +
                        " s after the split, later than the first recording's clock at the split; split later";
                return false;
            }
            break;
        }
    return true;
}

struct Edge {
    double t;
    int axle;
    int det;   // physical: 0 = A, 1 = B
    bool on;
};

struct Activation {
    double on, off;
};

// Turns a head crossing list for the two zone boundaries of one wheel and
// one detector into the wheel's activations of that detector.
void Activations(const Motion& m, double pLo, double pHi, std::vector<Crossing>& tmp, std::vector<Activation>& out) {
    std::vector<double> times;
    m.Crossings(pLo, tmp);
    for (const Crossing& c : tmp) times.push_back(c.t);
    m.Crossings(pHi, tmp);
    for (const Crossing& c : tmp) times.push_back(c.t);
    std::sort(times.begin(), times.end());
    out.clear();
    // Every crossing of either boundary takes the wheel into or out of the
    // zone; the train starts before it.
    for (size_t i = 0; i + 1 < times.size(); i += 2) out.push_back({times[i], times[i + 1]});
}

}  // namespace

bool Simulate(const TrainDescription& d, Simulation& sim, std::string& error) {
    sim = Simulation{};
    sim.desc = d;
    if (d.vehicles.size() > kMaxRecords) {
        error = "the train has " + std::to_string(d.vehicles.size()) + " vehicles; a consist holds at most 65535";
        return false;
    }
    if (d.profile.size() > kMaxProfileSteps) {
        error = "the profile has " + std::to_string(d.profile.size()) + " steps; at most " +
                std::to_string(kMaxProfileSteps) + " are simulated";
        return false;
    }
    if (!BuildGeometry(d, sim.geometry, error)) return false;
    if (sim.geometry.axleFt.size() > kMaxRecords) {
        error = "the train has " + std::to_string(sim.geometry.axleFt.size()) +
                " axles; a file holds at most 65535 records";
        return false;
    }
    if (!BuildMotion(d, sim.geometry, sim.motion, error)) return false;
    const SiteFacts& site = d.site;
    const TrainGeometry& g = sim.geometry;
    const Motion& m = sim.motion;
    const int axles = int(g.axleFt.size());
    Random rng(d.seed);

    for (const MissedEvent& me : site.misses)
        if (me.axle > axles) {
            error = "miss: the train has only " + std::to_string(axles) + " axles";
            return false;
        }
    for (const HbdAlarm& a : site.alarms)
        if (a.axle > axles) {
            error = "hbd_alarm: the train has only " + std::to_string(axles) + " axles";
            return false;
        }
    for (const auto* notes : {&site.hbdExtra, &site.hbdMiss})
        for (const AxleNote& n : *notes) {
            const char* what = notes == &site.hbdExtra ? "hbd_extra" : "hbd_miss";
            if (!site.hbd) {
                error = "line " + std::to_string(n.line) + ": " + what + " needs a hot-bearing detector (hbd yes)";
                return false;
            }
            if (n.axle > axles) {
                error = "line " + std::to_string(n.line) + ": " + what + ": the train has only " +
                        std::to_string(axles) + " axles";
                return false;
            }
        }
    for (const HbdAlarm& a : site.alarms)
        for (const AxleNote& n : site.hbdMiss)
            if (n.axle == a.axle) {
                error = "line " + std::to_string(n.line) + ": hbd_miss drops axle " + std::to_string(a.axle) +
                        ", which carries an hbd_alarm";
                return false;
            }
    if (m.endTime * 1000.0 + 1000.0 >= 4294967295.0 * RawUnitMs(site.scaleNumerator, site.scaleExponent)) {
        error = "the recording is too long for 32-bit timestamps at this time scale";
        return false;
    }

    // Detector edges of every wheel. Role 0 is the leading detector (at 0),
    // role 1 the trailing one (one AB spacing on).
    const double sFt = AbFeet(site), wFt = ZoneFeet(site), jFt = site.edgeJitterInches / 12.0;
    const int physOfRole[2] = {site.travelAtoB ? 0 : 1, site.travelAtoB ? 1 : 0};
    std::map<std::pair<int, int>, int> explicitMiss;  // (axle, physical detector) -> still to miss
    for (const MissedEvent& me : site.misses) explicitMiss[{me.axle - 1, me.detector}] = 1;

    std::vector<Edge> edges;
    std::vector<std::vector<Edge>> perAxle(static_cast<size_t>(axles));
    std::vector<Crossing> tmp;
    std::vector<Activation> acts;
    for (int j = 0; j < axles; ++j) {
        for (int role = 0; role < 2; ++role) {
            const double centre = role == 0 ? 0.0 : sFt;
            double lo = centre - wFt, hi = centre + wFt;
            if (jFt > 0.0) {
                lo += rng.Uniform(-jFt, jFt);
                hi += rng.Uniform(-jFt, jFt);
            }
            Activations(m, lo + g.axleFt[size_t(j)], hi + g.axleFt[size_t(j)], tmp, acts);
            const int phys = physOfRole[role];
            for (const Activation& a : acts) {
                auto it = explicitMiss.find({j, phys});
                if (it != explicitMiss.end() && it->second > 0) {
                    it->second = 0;
                    continue;
                }
                if (rng.Chance(site.missedEventRate)) continue;
                const Edge on{a.on, j, phys, true}, off{a.off, j, phys, false};
                edges.push_back(on);
                edges.push_back(off);
                perAxle[size_t(j)].push_back(on);
                perAxle[size_t(j)].push_back(off);
            }
        }
    }
    auto byTime = [](const Edge& a, const Edge& b) {
        if (a.t != b.t) return a.t < b.t;
        if (a.on != b.on) return !a.on;  // a release before an activation at the same instant
        return a.axle < b.axle;
    };
    std::sort(edges.begin(), edges.end(), byTime);

    // IO events: one record per change of the input word.
    const uint16_t detFlag = site.recorderVersion >= 1 ? 0x0100 : 0;
    const uint16_t masks[2] = {site.maskA, site.maskB};
    int active[2] = {0, 0};
    uint16_t word = site.presenceMask;
    if (site.presenceMask) sim.io.push_back({sim.Raw(0.0), word, 0});
    for (const Edge& e : edges) {
        active[e.det] += e.on ? 1 : -1;
        uint16_t w = site.presenceMask;
        for (int k = 0; k < 2; ++k)
            if (active[k] > 0) w |= masks[k];
        if (w != word) sim.io.push_back({sim.Raw(e.t), w, detFlag});
        word = w;
        if (e.on) sim.wheel.push_back({sim.Raw(e.t), uint8_t(e.det)});
    }
    if (site.presenceMask) sim.io.push_back({sim.Raw(m.endTime), 0, 0});

    // Passages, wheel by wheel: the detector phases of one wheel (only the
    // leading one, both, only the trailing one, none) as the IO-to-axle
    // conversion follows them.
    for (int j = 0; j < axles; ++j) {
        std::vector<Edge>& ev = perAxle[size_t(j)];
        std::sort(ev.begin(), ev.end(), byTime);
        int on[2] = {0, 0};  // by role
        int state = 0;
        bool lead = false;
        double tFirst = 0.0, tSecond = 0.0;
        for (const Edge& e : ev) {
            const int role = e.det == physOfRole[0] ? 0 : 1;
            on[role] += e.on ? 1 : -1;
            const bool l = on[0] > 0, tr = on[1] > 0;
            if (l && !tr) {
                if (state == 0) {
                    lead = true;
                    tFirst = e.t;
                }
                state = 1;
            } else if (!l && tr) {
                if (state == 0) {
                    lead = false;
                    tFirst = e.t;
                }
                state = 3;
            } else if (l && tr) {
                if (state == 1 || (state == 3 && !lead)) tSecond = e.t;
                state = 2;
            } else {
                const bool fwd = state == 3 && lead, back = state == 1 && !lead;
                if (fwd || back) {
                    Passage ps;
                    ps.axle = j;
                    ps.forward = fwd;
                    ps.tFirst = tFirst;
                    ps.tSecond = tSecond;
                    ps.tEnd = e.t;
                    ps.rawFirst = sim.Raw(tFirst);
                    ps.rawSecond = sim.Raw(tSecond);
                    const double dt = tSecond - tFirst;
                    ps.mph = dt > 0.0 ? std::fabs(m.PositionAt(tSecond) - m.PositionAt(tFirst)) / dt /
                                            kFeetPerSecondPerMph
                                      : std::fabs(m.VelocityAt(tFirst)) / kFeetPerSecondPerMph;
                    sim.passages.push_back(ps);
                }
                state = 0;
            }
        }
    }
    std::stable_sort(sim.passages.begin(), sim.passages.end(),
                     [](const Passage& a, const Passage& b) { return a.tEnd < b.tEnd; });

    // The net forward axle list.
    const bool dirBit = site.travelAtoB != (site.invertDirection == 1);
    int backedOut = 0;
    for (size_t i = 0; i < sim.passages.size(); ++i) {
        const Passage& ps = sim.passages[i];
        if (!ps.forward) {
            ++backedOut;
        } else if (backedOut > 0) {
            --backedOut;
        } else {
            NetAxle n;
            n.axle = ps.axle;
            n.passage = int(i);
            n.raw = ps.rawFirst;
            n.eighths = EdgeSpeedEighths(unsigned(site.HeaderAb()), int64_t(ps.rawSecond) - int64_t(ps.rawFirst));
            n.directionBit = dirBit;
            sim.net.push_back(n);
        }
    }

    // Tag reads.
    const int sides = std::min(site.readers, 2);
    for (size_t vi = 0; vi < g.vehicles.size(); ++vi) {
        const VehiclePlace& vp = g.vehicles[vi];
        for (int side = 1; side <= sides; ++side) {
            if (!vp.hasTag[side - 1]) continue;
            for (int ant = 0; ant < site.antennasPerSide; ++ant) {
                const double t = m.FirstForward(site.readerOffsetFt + ant * kAntennaStepFt + vp.tagFt[side - 1]);
                if (t < 0.0 || rng.Chance(site.missedTagRate)) continue;
                TagRead r;
                r.raw = sim.Raw(t);
                r.vehicle = int(vi);
                r.side = side;
                r.antenna = ant;
                const double fps = std::max(std::fabs(m.VelocityAt(t)), 0.05);
                r.mph = fps / kFeetPerSecondPerMph;
                const double reads = kAntennaFieldFt / fps * kReadsPerSecond * rng.Uniform(0.8, 1.2);
                r.reads = int(std::clamp(reads, 1.0, 255.0));
                sim.tags.push_back(r);
            }
        }
    }
    std::stable_sort(sim.tags.begin(), sim.tags.end(), [](const TagRead& a, const TagRead& b) { return a.raw < b.raw; });

    // Hot-bearing readings: each axle once, as it first rolls over the
    // detector.
    if (site.hbd) {
        std::vector<std::pair<double, int>> seen;
        for (int j = 0; j < axles; ++j) {
            const double t = m.FirstForward(site.hbdOffsetFt + g.axleFt[size_t(j)]);
            if (t >= 0.0) seen.push_back({t, j});
        }
        std::sort(seen.begin(), seen.end());
        auto named = [](const std::vector<AxleNote>& notes, int j) {
            return int(std::count_if(notes.begin(), notes.end(), [j](const AxleNote& n) { return n.axle - 1 == j; }));
        };
        // The readings the detector makes: every axle it does not miss, and
        // after an axle named by hbd_extra a spurious reading halfway to the
        // next axle's (half a second on after the last one; several share
        // the interval evenly).
        struct Pending {
            double t;
            int axle;
            bool spurious;
        };
        std::vector<Pending> made;
        for (size_t k = 0; k < seen.size(); ++k) {
            const auto [t, j] = seen[k];
            if (named(site.hbdMiss, j) == 0) made.push_back({t, j, false});
            const int extra = named(site.hbdExtra, j);
            const double next = k + 1 < seen.size() ? seen[k + 1].first : t + 1.0;
            for (int e = 1; e <= extra; ++e) made.push_back({t + (next - t) * e / (extra + 1.0), j, true});
        }
        double prev = -1.0;
        for (const Pending& p : made) {
            HbdReading h;
            h.axle = p.axle;
            h.spurious = p.spurious;
            h.t = p.t;
            h.msSincePrevious = prev < 0.0 ? 0 : uint32_t(std::lround((p.t - prev) * 1000.0));
            h.mph = std::fabs(m.VelocityAt(p.t)) / kFeetPerSecondPerMph;
            for (int k = 0; k < 2; ++k) h.value[k] = uint16_t(rng.Integer(8, 40));
            for (const HbdAlarm& a : site.alarms)
                if (!p.spurious && a.axle - 1 == p.axle) {
                    h.code[a.side - 1] = a.code;
                    h.value[a.side - 1] = uint16_t(a.value);
                }
            sim.hbd.push_back(h);
            prev = p.t;
        }
    }

    // Scale entries: each railcar once, as its last axle leaves the scale.
    if (site.scale) {
        std::vector<std::pair<double, int>> weighed;
        for (size_t vi = 0; vi < g.vehicles.size(); ++vi) {
            const VehiclePlace& vp = g.vehicles[vi];
            const int egc = d.vehicles[vi].egc;
            if (vp.axles == 0 || (egc != 19 && egc != 14)) continue;
            const double t = m.FirstForward(site.scaleOffsetFt + g.axleFt[size_t(vp.firstAxle + vp.axles - 1)]);
            if (t >= 0.0) weighed.push_back({t, int(vi)});
        }
        std::sort(weighed.begin(), weighed.end());
        uint16_t seq = 0;
        for (const auto& [t, vi] : weighed) {
            ScaleReading s;
            s.vehicle = vi;
            s.raw = sim.Raw(t);
            const double lb = d.vehicles[size_t(vi)].weightTons * 2000.0 * rng.Uniform(0.99, 1.01);
            const double lead = lb * rng.Uniform(0.48, 0.52);
            s.grossLb = uint32_t(std::lround(lb));
            s.leadTruckLb = uint32_t(std::lround(lead));
            s.trailTruckLb = s.grossLb - std::min(s.grossLb, s.leadTruckLb);
            s.eighths = uint16_t(std::lround(std::fabs(m.VelocityAt(t)) / kFeetPerSecondPerMph * 8.0));
            s.axles = uint16_t(g.vehicles[size_t(vi)].axles);
            s.sequence = ++seq;
            sim.scale.push_back(s);
        }
    }

    sim.durationS = m.endTime;
    sim.lastRaw = sim.Raw(m.endTime);

    for (size_t i = 0; i < sim.passages.size(); ++i) {
        if (sim.movements.empty() || sim.movements.back().forward != sim.passages[i].forward)
            sim.movements.push_back({i, 0, sim.passages[i].forward});
        ++sim.movements.back().count;
    }
    if (site.fragments) {
        const std::string where = "line " + std::to_string(site.fragmentsLine) + ": fragments: ";
        if (sim.movements.size() < 2) {
            error = where + "the train never changes direction over the detectors, so it makes no series";
            return false;
        }
        if (sim.movements.size() > kMaxFragments) {
            error = where + "the train makes " + std::to_string(sim.movements.size()) +
                    " movements; a series holds at most 99 fragments";
            return false;
        }
    }
    if (site.splitAtS >= 0.0 && !CheckSplit(sim, error)) return false;

    auto tooMany = [&](size_t n, const char* what) {
        if (n <= kMaxRecords) return false;
        error = "the train makes " + std::to_string(n) + " " + what + "; a file holds at most 65535 records";
        return true;
    };
    size_t perSide[2] = {0, 0};
    for (const TagRead& r : sim.tags) ++perSide[r.side - 1];
    if (tooMany(sim.io.size(), "IO events") || tooMany(sim.wheel.size(), "wheel events") ||
        tooMany(perSide[0], "tag reads on side 1") || tooMany(perSide[1], "tag reads on side 2") ||
        tooMany(sim.hbd.size(), "hot-bearing readings") || tooMany(d.vehicles.size(), "consist entries") ||
        tooMany(sim.net.size(), "axles"))
        return false;
    return true;
}

}  // namespace trainsim
