// The axle fact table: per-axle speeds, accelerations, stops and gap
// classes, the uncertain gaps, the direction summary of the movement file
// and the anchor cars taken from the consist and the master allocation.
#include "Combinar.h"

#include "AllocFile.h"
#include "AxleFile.h"
#include "ConsistFile.h"
#include "Speed.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace ax = layout::axle;
namespace cs = layout::consist;

namespace {

const char* const kClassNames[] = {"TRUCK", "BODY", "COUPLER", "LASTAXLE", "PLATFORMBODY", "5", "6"};
const char* const kShortNames[] = {"T", "B", "C", "L", "P", "5", "6"};
const char kPositionLetters[] = "TBC??";

// Gap class given to the k-th of the n axles of an anchor car's record.
int AnchorPosition(int n, int k, bool onlyRecord, bool lastRecord) {
    if (n == 2) return k == 0 ? kBody : kTruck;
    if (n % 2 == 0) {
        if (k == n / 2 - 1) return kBody;
        return k == n - 1 ? kCoupler : kTruck;
    }
    if (onlyRecord) return k == n / 2 ? kBody : kTruck;
    if (lastRecord) {
        if (k == n - 1) return kCoupler;
        return k == 0 ? kBody : kTruck;
    }
    return (k % 2 == 1 && k == n / 2) ? kBody : kTruck;
}

// Flags that keep a tag read from confirming its car: W, L, A, O and C.
constexpr uint16_t kAnchorRejectFlags = 0x01 | 0x02 | 0x04 | 0x20 | 0x100;
constexpr uint8_t kNoTagStatus = 4;

}  // namespace

int32_t WholeFeet(float feet) {
    if (!(feet == feet)) return 0;
    if (feet >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (feet <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(feet);
}

const char* GapClassName(int cl) { return cl >= 0 && cl <= 6 ? kClassNames[cl] : "?"; }
const char* GapClassShortName(int cl) { return cl >= 0 && cl <= 6 ? kShortNames[cl] : "?"; }

DirectionSummary ScanDirections(const std::string& base) {
    DirectionSummary d;
    CAxleFile moves;
    if (!moves.LoadMovement(base.c_str())) return d;
    const int n = moves.GetCount();
    if (n <= 0) return d;
    // Whole mph and direction bit share one byte: read it once per passage.
    const int firstDir = static_cast<int>(moves.GetFieldAt(0, ax::kSpeedWhole) & ax::kDirectionBit);
    for (int i = 0; i < n; ++i) {
        const uint32_t wholeByte = moves.GetFieldAt(i, ax::kSpeedWhole);
        d.minSpeed = std::min(d.minSpeed, static_cast<int>(wholeByte >> 1));
        const int dir = static_cast<int>(wholeByte & ax::kDirectionBit);
        if (dir)
            ++d.setCount;
        else
            ++d.clearCount;
        if (dir == firstDir) {
            ++d.balance;
        } else {
            if (d.balance == 0) d.balanceZero = i;
            --d.balance;
        }
    }
    return d;
}

std::vector<Anchor> ChooseAnchors(const std::string& base) {
    struct Car {
        int vehicle, axles, first, status, tags;
        uint16_t flags[2];
        bool flagsRead;
    };
    std::vector<Anchor> anchors;
    CConsistFile consist;
    if (!consist.Load(base.c_str()) || consist.GetCount() <= 0) return anchors;
    std::vector<Car> cars;
    consist.SeekEntry(0);
    do {
        Car c{};
        c.vehicle = consist.GetVehicleNumber();
        c.axles = static_cast<int>(consist.GetField(cs::kAxleCount) + 256 * consist.GetField(cs::kAxleCountHigh));
        c.first = static_cast<int16_t>(consist.GetField(cs::kFirstAxle));
        c.status = static_cast<int>(consist.GetField(cs::kReadStatus));
        c.tags = static_cast<int>(consist.GetField(cs::kTagCount));
        c.flagsRead = consist.GetTagFlagsAt(0, c.flags[0]) && consist.GetTagFlagsAt(1, c.flags[1]);
        cars.push_back(c);
    } while (consist.NextVehicle());

    int prevAxles = 10, prevStatus = 0;
    for (size_t i = 0; i < cars.size(); ++i) {
        const Car& c = cars[i];
        const bool clean = c.flagsRead && !(c.flags[0] & kAnchorRejectFlags) && !(c.flags[1] & kAnchorRejectFlags);
        const bool prevUntagged = prevAxles <= 2 && prevStatus == kNoTagStatus;
        const bool nextUntagged =
            i + 1 < cars.size() && cars[i + 1].axles <= 2 && cars[i + 1].status == kNoTagStatus;
        if (c.status == 0 && c.tags == 2 && clean && !prevUntagged && !nextUntagged)
            anchors.push_back({c.vehicle, c.first, c.first + c.axles - 1});
        prevAxles = c.axles;
        prevStatus = c.status;
    }
    return anchors;
}

Master LoadMaster(const std::string& base) {
    Master m;
    CAllocFile file;
    if (!file.Load(base.c_str())) return m;
    m.loaded = true;
    const int n = file.GetCount();
    for (int i = 0; i < n; ++i) {
        file.Seek(i);
        const int key = file.GetKey();
        if (i == 0 || key != m.cars.back().carNumber) {
            m.cars.emplace_back();
            m.cars.back().carNumber = key;
        }
        CarRecord r;
        r.first = static_cast<uint16_t>(file.GetFirstAxle());
        r.last = static_cast<uint16_t>(file.GetLastAxle());
        r.start = static_cast<uint32_t>(file.GetStartTime());
        r.end = static_cast<uint32_t>(file.GetEndTime());
        r.egc = file.GetEgc();
        r.part = file.GetPart();
        r.speed = file.GetSpeedByte();
        m.cars.back().records.push_back(r);
    }
    return m;
}

void FactTable::LoadAxles(CAxleFile& axles) {
    const int n = axles.GetCount();
    m_axles.assign(n > 0 ? static_cast<size_t>(n) : 0, FactEntry{});
    // Each record's fields are read by index, and its two speed bytes once:
    // its speed in eighths, feet per second, whole mph and direction bit all
    // come from them, as the axle file's own speed getters compute them.
    for (int i = 0; i < n; ++i) {
        FactEntry& f = m_axles[static_cast<size_t>(i)];
        const uint32_t wholeByte = axles.GetFieldAt(i, ax::kSpeedWhole);
        const int eighths = SpeedEighths(wholeByte, axles.GetFieldAt(i, ax::kSpeedEighths));
        const float mph = static_cast<float>(eighths) * 0.125f;
        f.time = static_cast<uint32_t>(axles.RawToMs(axles.GetFieldAt(i, ax::kTime)));
        f.speed = static_cast<uint32_t>(eighths);
        f.fps = static_cast<float>(static_cast<double>(mph) * 5280 * 0.00027777778);
        f.wholeMph = static_cast<uint8_t>(wholeByte >> 1);
        f.direction = static_cast<uint8_t>(wholeByte & ax::kDirectionBit);
    }
    // The gap to the next axle from the two axles' times and average speed,
    // taken from the facts just read rather than from the file again: the
    // same time per foot and the same quotient, rounded to a float, that the
    // axle file's distance between two neighbouring axles gives.
    for (int i = 0; i + 1 < n; ++i) {
        FactEntry& f = m_axles[static_cast<size_t>(i)];
        const FactEntry& next = m_axles[static_cast<size_t>(i) + 1];
        f.msPerFoot = MsPerFootAtAverage(f.speed + next.speed, 2);
        f.distF = f.msPerFoot == 0
                      ? 0.0f
                      : static_cast<float>(static_cast<double>(next.time - f.time) / static_cast<double>(f.msPerFoot));
    }
    m_e.clear();
}

int FactTable::Build(int threshold, int truckGapLimit) {
    m_e = m_axles;  // every working field back to zero
    const size_t n = m_e.size();
    const uint32_t t = threshold < 0 ? 0 : static_cast<uint32_t>(threshold);
    for (size_t i = 0; i < n; ++i) {
        FactEntry& f = m_e[i];
        FactEntry* prev = i > 0 ? &m_e[i - 1] : nullptr;
        if (prev) {
            const uint32_t dt = f.time - prev->time;
            // No time between two axles gives no acceleration rather than
            // an infinite one.
            f.accel = dt == 0 ? 0.0f : static_cast<float>(static_cast<double>(f.fps - prev->fps) / (dt * 0.001));
            if (f.accel < 0) {
                const float toStop = f.fps / std::fabs(f.accel);
                f.s2stop = toStop < 10001.0f ? static_cast<uint32_t>(toStop) : 0;
            }
        }
        f.dist = i + 1 < n ? WholeFeet(f.distF) : 0;
        f.cl = 0;
        f.stop = 0;
        f.dc = 0;
        if (f.s2stop != 0 && i + 1 < n &&
            uint64_t{m_e[i + 1].time} >= uint64_t{f.time} + 1000ull * f.s2stop)
            f.stop = 1;
        if (f.speed > t) {
            if (f.stop && prev) prev->st = prev->dc = 1;
        } else {
            f.st = 1;
            if (prev && prev->speed <= 2 * t && prev->st == 0 && prev->cl != kTruck) prev->st = prev->dc = 1;
        }
        f.dc = f.st;
        if (f.dist >= 100) f.dc = 1;
        if (f.dist < truckGapLimit) {
            f.cl = kTruck;
            f.dc = 0;
        } else {
            f.cl = f.dist <= 26 ? kCoupler : kBody;
        }
    }
    if (n > 0) m_e[n - 1].cl = kPlatformBody;
    m_anchorAxles = 0;
    m_segmentsValid = false;
    return static_cast<int>(n);
}

int FactTable::MarkAnchors(const std::vector<Anchor>& anchors, const Master& master) {
    m_anchorAxles = 0;
    m_segmentsValid = false;
    if (!master.loaded) return 0;
    const size_t n = m_e.size();
    int marked = 0;
    for (const Anchor& a : anchors) {
        if (a.vehicle < 0 || static_cast<size_t>(a.vehicle) >= master.cars.size()) continue;
        const MasterCar& car = master.cars[static_cast<size_t>(a.vehicle)];
        // The master must place the car on axles of this train, record after
        // record, on axles no other anchor holds.
        bool fits = !car.records.empty();
        for (size_t j = 0; fits && j < car.records.size(); ++j) {
            const CarRecord& r = car.records[j];
            fits = r.first <= r.last && r.last < n && (j == 0 || r.first == car.records[j - 1].last + 1);
            for (size_t e = r.first; fits && e <= r.last; ++e) fits = !m_e[e].anchor;
        }
        if (!fits) continue;
        const size_t m = car.records.size();
        for (size_t j = 0; j < m; ++j) {
            const CarRecord& r = car.records[j];
            const int axles = r.Axles();
            for (int k = 0; k < axles; ++k) {
                FactEntry& f = m_e[r.first + static_cast<size_t>(k)];
                const int c = AnchorPosition(axles, k, m == 1, j + 1 == m);
                f.ancC = car.carNumber;
                f.ancMaster = a.vehicle;
                f.ancPos = c;
                f.ancLetter = kPositionLetters[c];
                f.anchor = 1;
                f.cl = f.dcl = c;
                f.dc = 0;
                ++m_anchorAxles;
            }
        }
        ++marked;
    }
    return marked;
}

const std::vector<Segment>& FactTable::Segments(const Master& master) {
    if (m_segmentsValid) return m_segments;
    m_segments.clear();
    const size_t n = m_e.size();
    // One scratch allocation for the type pass of every anchor car.
    Allocation car;
    for (size_t a = 0; a < n;) {
        Segment seg;
        seg.begin = a;
        if (m_e[a].anchor) {
            const int idx = m_e[a].ancMaster;
            car.records = master.cars[static_cast<size_t>(idx)].records;
            car.cars.assign(1, {0, static_cast<uint32_t>(car.records.size())});
            TypePass(m_e, car);
            seg.anchorRecords = car.records;
            for (++a; a < n && m_e[a].anchor && m_e[a].ancMaster == idx; ++a) {
            }
        } else {
            while (a < n && !m_e[a].anchor) ++a;
        }
        seg.end = a;
        m_segments.push_back(std::move(seg));
    }
    // Stretches of anchored axles; the train's last axle is left out, as
    // every build gives it its own class.
    m_fixed.clear();
    for (size_t a = 0; a + 1 < n;) {
        if (!m_e[a].anchor) {
            ++a;
            continue;
        }
        FixedStretch f;
        f.begin = a;
        while (a + 1 < n && m_e[a].anchor) f.crc = ChecksumStep(f.crc, static_cast<uint8_t>(m_e[a++].dcl));
        f.end = a;
        f.shift = ChecksumZeroOperator(f.end - f.begin);
        m_fixed.push_back(f);
    }
    m_segmentsValid = true;
    return m_segments;
}

uint32_t FactTable::Checksum(const Master& master) {
    Segments(master);
    uint32_t crc = 0;
    size_t k = 0;
    for (size_t a = 0; a < m_e.size();) {
        if (k < m_fixed.size() && m_fixed[k].begin == a) {
            crc = ApplyOperator(m_fixed[k].shift, crc) ^ m_fixed[k].crc;
            a = m_fixed[k++].end;
        } else {
            crc = ChecksumStep(crc, static_cast<uint8_t>(m_e[a++].dcl));
        }
    }
    return crc;
}

std::vector<uint32_t> FactTable::Uncertain() const {
    std::vector<uint32_t> list;
    for (size_t i = 0; i < m_e.size(); ++i)
        if (m_e[i].dc == 1) list.push_back(static_cast<uint32_t>(i));
    return list;
}

void FactTable::Print(int threshold) const {
    std::printf("\nAxle Fact Table (Using Speed Threshold: %d (eighths)\n", threshold);
    std::printf("%s", std::string(108, '-').c_str());
    std::printf("\n#     St  DC  Dist Cl  DCl AncC  MPH     Accel  S2Stop\n"
                "----- --- --- ---- --- --- ---- ------- ------- -------\n");
    for (size_t i = 0; i < m_e.size(); ++i) {
        const FactEntry& f = m_e[i];
        char anc[16], mph[64], accel[64], s2stop[16];
        if (f.anchor)
            std::snprintf(anc, sizeof anc, "%4d", f.ancC);
        else
            std::snprintf(anc, sizeof anc, "????");
        std::snprintf(mph, sizeof mph, "%3.3f", f.speed * 0.125);
        std::snprintf(accel, sizeof accel, "%4.3f", static_cast<double>(f.accel));
        if (f.accel < 0)
            std::snprintf(s2stop, sizeof s2stop, "%lu", static_cast<unsigned long>(f.s2stop));
        else
            std::snprintf(s2stop, sizeof s2stop, " ---");
        const unsigned long secs = i > 0 ? (f.time - m_e[i - 1].time) / 1000u : 0;
        std::printf("%-5d  %d   %d  %-4d  %s   %s  %s %7s %7s %4s    %lu %c\n", static_cast<int>(i), f.st, f.dc,
                    f.dist, GapClassShortName(f.cl), GapClassShortName(f.dcl), anc, mph, accel, s2stop, secs,
                    f.stop ? '*' : ' ');
    }
}
