// From the gap classes to cars: the car builder, the allocation of one
// combination (anchor cars copied from the master), the type pass, the
// pattern checksum, the score and the pattern display.
#include "Combinar.h"

#include "AllocLayout.h"
#include "Speed.h"

#include <cstdlib>

namespace al = layout::alloc;

namespace {

constexpr uint8_t kEgcOddAxles = 0x93;

bool IsBodyLike(int cl) { return cl == kBody || cl == kClass5; }

}  // namespace

void BuildCars(std::vector<FactEntry>& t, size_t s, size_t e, bool standalone, Allocation& out, CarSink* sink) {
    uint16_t car = static_cast<uint16_t>(out.cars.size());
    int state = 0;
    int firstTruck = 0, trailing = 0;
    size_t carBegin = out.records.size();

    auto startRecord = [&](size_t a, uint8_t part) {
        CarRecord r;
        r.first = static_cast<uint16_t>(a);
        r.last = static_cast<uint16_t>(a);
        r.car = car;
        r.part = part;
        out.records.push_back(r);
    };
    // Completes the car whose last axle is a: times, code and speed of its
    // records, the coupler after it.
    auto complete = [&](size_t a) {
        t[a].dcl = kCoupler;
        const uint32_t count = static_cast<uint32_t>(out.records.size() - carBegin);
        if (count == 1) out.records[carBegin].part = al::kPartWhole;
        const uint8_t speed = static_cast<uint8_t>((t[a].wholeMph << 1) | (t[a].direction & al::kDirectionBit));
        for (size_t i = carBegin; i < out.records.size(); ++i) {
            CarRecord& r = out.records[i];
            r.start = t[r.first].time;
            r.end = t[r.last].time;
            r.egc = al::kEgcRailcar;
            r.speed = speed;
        }
        out.cars.push_back({static_cast<uint32_t>(carBegin), count});
        if (sink) sink->CarCompleted(out, out.cars.back());
        ++car;
        state = 0;
    };
    // Ends the current record before axle a and starts the next one there.
    auto split = [&](size_t a) {
        out.records.back().last = static_cast<uint16_t>(a - 1);
        if (out.records.size() - carBegin >= kMaxCarRecords) {
            // A part number past 254 would read as a car of one record:
            // the car ends here and the next one goes on from axle a.
            complete(a - 1);
            carBegin = out.records.size();
            startRecord(a, 0);
        } else {
            startRecord(a, static_cast<uint8_t>(out.records.back().part + 1));
        }
        state = 2;
    };

    for (size_t a = s; a < e; ++a) {
        const int g = t[a].cl;
        t[a].dcl = g;
        bool done = false;
        switch (state) {
        case 0:
            carBegin = out.records.size();
            startRecord(a, 0);
            firstTruck = 1;
            if (g == kTruck) {
                state = 1;
            } else {
                t[a].dcl = kBody;
                state = 2;
            }
            break;
        case 1:
            ++firstTruck;
            if (g != kTruck) {
                if (standalone && firstTruck >= 8) {
                    out.records.back().last = static_cast<uint16_t>(a);
                    complete(a);
                    done = true;
                } else {
                    t[a].dcl = kBody;
                    state = 2;
                }
            }
            break;
        case 2:
            trailing = 0;
            state = 3;
            [[fallthrough]];
        default:
            ++trailing;
            if (trailing < firstTruck) {
                if (g != kTruck) {
                    t[a].dcl = kBody;
                    split(a);
                }
            } else if (g == kBody) {
                t[a].dcl = kBody;
                split(a);
            } else {
                out.records.back().last = static_cast<uint16_t>(a);
                complete(a);
                done = true;
            }
            break;
        }
        if (a + 1 == e && !done) {
            out.records.back().last = static_cast<uint16_t>(a);
            complete(a);
        }
    }
}

void TypePass(const std::vector<FactEntry>& t, Allocation& a, size_t firstCar) {
    for (size_t c = firstCar; c < a.cars.size(); ++c) {
        const CarSpan& car = a.cars[c];
        CarRecord& r0 = a.records[car.begin];
        const CarRecord& rl = a.records[car.begin + car.count - 1];
        const int n = int(rl.last) - int(r0.first) + 1;
        if (n % 2 != 0) {
            r0.egc = kEgcOddAxles;
        } else if (car.count == 1 && (n == 4 || n == 6)) {
            const size_t b = r0.first, z = r0.last;
            // The truck spacing is measured where the train ran slower.
            const float spacing = t[b].msPerFoot > t[z - 1].msPerFoot ? t[b].distF : t[z - 1].distF;
            if (spacing >= 7.5f) {
                if (!(n == 4 && t[b + 1].distF >= 35.0f)) r0.egc = al::kEgcLocomotive;
            } else {
                r0.egc = n == 6 ? al::kEgcLocomotive : al::kEgcRailcar;
            }
        }
    }
}

void BuildAllocation(FactTable& table, const Master& master, Allocation& out) {
    out.Clear();
    std::vector<FactEntry>& t = table.Entries();
    for (const Segment& seg : table.Segments(master)) {
        const size_t firstCar = out.cars.size();
        if (!seg.anchorRecords.empty()) {
            // An anchor car as the master holds it, under the next car number.
            const uint32_t begin = static_cast<uint32_t>(out.records.size());
            for (CarRecord r : seg.anchorRecords) {
                r.car = static_cast<uint16_t>(firstCar);
                out.records.push_back(r);
            }
            out.cars.push_back({begin, static_cast<uint32_t>(seg.anchorRecords.size())});
        } else {
            BuildCars(t, seg.begin, seg.end, false, out, nullptr);
            TypePass(t, out, firstCar);
        }
    }
    if (!t.empty()) t.back().dcl = kPlatformBody;
}

namespace {

const std::array<uint32_t, 256>& CrcTable() {
    static const auto table = [] {
        std::array<uint32_t, 256> tab{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            tab[i] = c;
        }
        return tab;
    }();
    return table;
}

// a after b: column i is a applied to column i of b.
std::array<uint32_t, 32> Compose(const std::array<uint32_t, 32>& a, const std::array<uint32_t, 32>& b) {
    std::array<uint32_t, 32> c{};
    for (size_t i = 0; i < 32; ++i) c[i] = ApplyOperator(a, b[i]);
    return c;
}

}  // namespace

uint32_t ChecksumStep(uint32_t crc, uint8_t byte) { return CrcTable()[(crc ^ byte) & 0xFF] ^ (crc >> 8); }

uint32_t ApplyOperator(const std::array<uint32_t, 32>& op, uint32_t crc) {
    uint32_t out = 0;
    for (size_t i = 0; crc != 0; ++i, crc >>= 1)
        if (crc & 1) out ^= op[i];
    return out;
}

std::array<uint32_t, 32> ChecksumZeroOperator(size_t len) {
    std::array<uint32_t, 32> power{}, result{};
    for (size_t i = 0; i < 32; ++i) {
        power[i] = ChecksumStep(uint32_t{1} << i, 0);
        result[i] = uint32_t{1} << i;
    }
    for (; len != 0; len >>= 1) {
        if (len & 1) result = Compose(power, result);
        if (len > 1) power = Compose(power, power);
    }
    return result;
}

uint32_t PatternChecksum(const std::vector<FactEntry>& t) {
    uint32_t crc = 0;
    for (const FactEntry& f : t) crc = ChecksumStep(crc, static_cast<uint8_t>(f.dcl));
    return crc;
}

int ScoreAllocation(const std::vector<FactEntry>& t, const Allocation& a) {
    int A = 0, C = 0, D = 0, F = 0, G = 0, S = 0, U = 0, E = 0, H = 0, T = 0;
    for (const CarSpan& car : a.cars) {
        const CarRecord* recs = &a.records[car.begin];
        const uint32_t m = car.count;
        const int first = recs[0].first;
        const int last = recs[m - 1].last;
        const int n = last - first + 1;
        if (n % 2 != 0) ++A;
        if (m >= 2) {
            const int f = recs[0].Axles();
            bool shape = true;
            int expected = 2;
            if (f == 4) {
                expected = 4;
                if (m <= 2) shape = false;
            } else if (f != 3) {
                shape = false;
            }
            int reference = 0;
            for (uint32_t i = 0; i + 1 < m; ++i) {
                if (i >= 1) {
                    const int size = recs[i].Axles();
                    if (i == 1)
                        reference = size;
                    else if (size != reference)
                        ++F;
                    if (size != expected) shape = false;
                }
                if (!shape) ++C;
            }
            if (recs[0].Axles() != recs[m - 1].Axles())
                ++D;
            else if (m == 2 && f == 2)
                ++S;
            // Body gaps of one car measured at speed should agree.
            bool havePrev = false;
            int64_t prevDist = 0;
            for (int x = first; x < last; ++x) {
                const FactEntry& e = t[static_cast<size_t>(x)];
                if (!IsBodyLike(e.dcl) || e.st != 0) continue;
                if (havePrev && std::llabs(int64_t{e.dist} - prevDist) > 15) {
                    ++G;
                    break;
                }
                prevDist = e.dist;
                havePrev = true;
            }
        } else {
            const CarRecord& r = recs[0];
            if (n == 2) {
                const uint32_t duration = r.end - r.start;
                const unsigned mpf = MsPerFootAtAverage(static_cast<uint32_t>(r.speed >> 1) * 8u, 1);
                if (duration / mpf <= 35) ++E;
            }
            if (n % 2 == 0 && t[static_cast<size_t>(first + n / 2 - 1)].dcl != kBody) ++H;
            int bodies = 0;
            for (int x = first; x <= last; ++x) {
                const FactEntry& e = t[static_cast<size_t>(x)];
                if (e.dc == 0 && e.cl == kBody) ++bodies;
            }
            if (bodies > 1) ++T;
            int front = 1, rear = 1;
            bool inFront = true;
            for (int x = first; x < last; ++x) {
                const FactEntry& e = t[static_cast<size_t>(x)];
                if (e.dc == 0 && e.cl == kTruck) ++(inFront ? front : rear);
                if (e.dcl == kBody) inFront = false;
            }
            if (front > n / 2 || rear > n / 2) ++U;
        }
    }
    return 3 * A + 5 * (C + S + H + D) + G + 2 * (U + T + E + F);
}

std::string PatternText(const std::vector<FactEntry>& t, const Allocation& a) {
    std::string s;
    for (const CarSpan& car : a.cars) {
        s += '[';
        for (uint32_t i = 0; i < car.count; ++i) {
            const CarRecord& r = a.records[car.begin + i];
            for (int x = r.first; x <= r.last; ++x) {
                const int d = t[static_cast<size_t>(x)].dcl;
                if (d == kTruck)
                    s += "O";
                else if (IsBodyLike(d))
                    s += car.count == 1 ? "O===" : "O___";
                else if (d == kCoupler)
                    s += "O]+";
                else if (d == kPlatformBody)
                    s += "O]";
                else
                    s += "?";
            }
        }
    }
    s += '\n';
    return s;
}
