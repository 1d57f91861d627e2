// Speed smoothing (OP3/OP4), truck-spacing normalisation (OP5) and speed
// halving (OP18).
#include "Trimwell.h"

#include "AllocFile.h"
#include "AxleFile.h"
#include "TagFile.h"
#include "WheelFile.h"

#include <algorithm>
#include <new>

namespace {

// Axles on each side of a smoothed axle that enter its mean.
constexpr int kSmoothWindow = 20;

}  // namespace

std::vector<float> SmoothedSpeeds(std::span<const int> eighths) {
    const int n = static_cast<int>(eighths.size());
    std::vector<float> speeds(eighths.size());
    // below[i]: the sum of the first i speeds, in eighths, so that the sum of
    // any run of axles is one subtraction. Eighths are whole numbers and a
    // train's sum stays far inside 64 bits, so the sums are exact and every
    // mean comes out as adding the speeds one by one gives it.
    std::vector<int64_t> below(eighths.size() + 1, 0);
    for (int j = 0; j < n; ++j) {
        below[static_cast<size_t>(j) + 1] = below[static_cast<size_t>(j)] + eighths[static_cast<size_t>(j)];
        speeds[static_cast<size_t>(j)] = static_cast<float>(eighths[static_cast<size_t>(j)]) * 0.125f;
    }
    // Axle k gets the mean of the kSmoothWindow axles before it and up to
    // kSmoothWindow after it, its own speed left out: from the axle after
    // the first full window to the second-to-last axle. The means are all
    // taken from the speeds as they were.
    for (int k = kSmoothWindow; k + 1 < n; ++k) {
        const int afterEnd = std::min(k + 1 + kSmoothWindow, n);
        const int64_t sum = below[static_cast<size_t>(k)] - below[static_cast<size_t>(k - kSmoothWindow)] +
                            below[static_cast<size_t>(afterEnd)] - below[static_cast<size_t>(k) + 1];
        const int m = kSmoothWindow + (afterEnd - (k + 1));
        speeds[static_cast<size_t>(k)] = static_cast<float>(static_cast<double>(sum) * 0.125 / m);
    }
    return speeds;
}

bool SmoothSpeeds(const std::string& base, int direction) {
    CAxleFile axles;
    if (!axles.Load(base.c_str()) || axles.GetCount() <= 0) return false;
    // Turning a train of whole axle records end for end and back gives every
    // record its own bytes again, but for its axle number, which then counts
    // from 0, and its gap marker, which the smoothing clears anyway. Such a
    // train is smoothed in reverse by reading and writing it back to front;
    // records of another length take the two turns.
    const bool backToFront = direction == 1 && axles.GetRecordLength() == layout::axle::kRecordSize;
    if (direction == 1 && !backToFront) axles.Reverse();

    const int n = axles.GetCount();
    auto record = [&](int j) { return backToFront ? n - 1 - j : j; };
    std::vector<float> speeds;
    try {
        std::vector<int> eighths(static_cast<size_t>(n));
        for (int j = 0; j < n; ++j) {
            axles.Seek(record(j));
            eighths[static_cast<size_t>(j)] = axles.GetSpeedEighths();
        }
        speeds = SmoothedSpeeds(eighths);
    } catch (const std::bad_alloc&) {
        return false;
    }

    // Every axle is written back, so the marker and movement bits that share
    // the eighths byte are cleared on all of them.
    for (int j = 0; j < n; ++j) {
        axles.Seek(record(j));
        axles.SetSpeed(speeds[static_cast<size_t>(j)]);
    }
    speeds.clear();
    speeds.shrink_to_fit();
    if (backToFront) {
        for (int i = 0; i < n; ++i) axles.SetFieldAt(i, layout::axle::kAxleNumber, static_cast<uint32_t>(i));
    } else if (direction == 1) {
        axles.Reverse();
    }
    return axles.Save() != 0;
}

namespace {

// Nominal truck axle spacing in miles: 7 ft for a locomotive, the
// single-precision 5.6 ft for every other vehicle.
constexpr double kLocoTruckMiles = 0.0013257575757575758;
constexpr double kOtherTruckMiles = 0.001060606042544047;
constexpr double kHoursPerMs = layout::wheel::kMsToHours;
constexpr unsigned kEgcLocomotive = layout::alloc::kEgcLocomotive;

// Speeds the vehicles give their axles, kept aside until every vehicle is
// done and then stored into the working copy. The reference times are read
// once: the vehicles of a malformed allocation may overlap, and each walks
// its whole axle range. A later vehicle's speed replaces an earlier one's,
// as storing them one after the other would.
struct VehicleSpeeds {
    std::vector<int> refMs;       // reference axle times
    std::vector<float> speed;     // speed given to each axle
    std::vector<uint8_t> given;   // 1 where a vehicle gave a speed
    void Give(int a, double mph) {
        speed[static_cast<size_t>(a)] = static_cast<float>(mph);
        given[static_cast<size_t>(a)] = 1;
    }
};

// Gives one vehicle's truck axles the speeds that make each truck measure
// its nominal spacing in the reference times, and interpolates the axles in
// between by time. Axles whose speed cannot be computed are left at 0 for
// the fill pass: two axles at the same instant (or in reverse order, which
// would give a negative speed that the speed bytes cannot hold), first and
// last axle at the same time, or an interpolation that does not come out
// positive. Time differences wrap as the recorder's 32-bit times do.
void NormalizeVehicle(CAxleFile& ref, VehicleSpeeds& out, int f, int l, unsigned egc) {
    ref.Seek(f);
    const int gap1 = ref.GapToNext();
    const int tf = out.refMs[static_cast<size_t>(f)];
    ref.Seek(l);
    const int gap2 = ref.GapToPrev();
    const int tl = out.refMs[static_cast<size_t>(l)];

    const double d = egc == kEgcLocomotive ? kLocoTruckMiles : kOtherTruckMiles;
    const bool firstOk = gap1 > 0;
    const bool lastOk = gap2 > 0;
    const double vf = firstOk ? d / (gap1 * kHoursPerMs) : 0.0;
    const double vl = lastOk ? d / (gap2 * kHoursPerMs) : 0.0;
    if (firstOk) out.Give(f, vf);
    if (lastOk) out.Give(l, vl);
    if (!firstOk || !lastOk || tl == tf) return;

    const double slope = (vl - vf) / MsDifference(tl, tf);
    for (int a = f + 1; a < l; ++a) {
        const double v = MsDifference(out.refMs[static_cast<size_t>(a)], tf) * slope + vf;
        if (v > 0.0) out.Give(a, v);
    }
}

// Gives every axle still at 0 the speed of its nearer neighbour (by time),
// or the last non-zero speed met when that neighbour has none.
void FillFromNeighbours(CAxleFile& work) {
    const int n = work.GetCount();
    float last = 0.0f;
    for (int i = 0; i < n; ++i) {
        work.Seek(i);
        const float own = work.GetSpeed();
        if (own != 0.0f) {
            last = own;
            continue;
        }
        const int gn = work.GapToNext();
        work.Seek(i);
        const int gp = work.GapToPrev();
        int from;
        if (gn == 0)
            from = i - 1;
        else if (gp == 0)
            from = i + 1;
        else if (gp < gn)
            from = i - 1;
        else
            from = i + 1;
        float v = 0.0f;
        if (work.Seek(from)) v = work.GetSpeed();
        work.Seek(i);
        work.SetSpeed(v != 0.0f ? v : last);
    }
}

}  // namespace

bool NormalizeTruckSpacing(const std::string& base) {
    CAllocFile alloc;
    CAxleFile ref, work;
    if (!alloc.Load(base.c_str()) || alloc.GetCount() <= 0) return false;
    if (!ref.Load(base.c_str()) || ref.GetCount() <= 0) return false;
    if (!work.Load(base.c_str()) || work.GetCount() <= 0) return false;

    for (int i = 0; i < work.GetCount(); ++i) {
        work.Seek(i);
        work.SetSpeed(0.0f);
    }
    const int n = ref.GetCount();
    VehicleSpeeds speeds;
    speeds.refMs.resize(static_cast<size_t>(n));
    speeds.speed.assign(static_cast<size_t>(n), 0.0f);
    speeds.given.assign(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) speeds.refMs[static_cast<size_t>(i)] = ref.GetTimeAt(i);
    alloc.Seek(0);
    do {
        const int count = alloc.VehicleAxleCount();
        if (count % 2 != 0 || count == 2) continue;
        const int f = alloc.VehicleFirstAxle();
        const int l = alloc.VehicleLastAxle();
        // A vehicle whose axles are not all in the .010 is left to the fill.
        if (f < 0 || l <= f || !ref.IsValid(l)) continue;
        NormalizeVehicle(ref, speeds, f, l, alloc.GetEgc());
    } while (alloc.NextVehicle());
    for (int i = 0; i < n; ++i) {
        if (!speeds.given[static_cast<size_t>(i)] || !work.Seek(i)) continue;
        work.SetSpeed(speeds.speed[static_cast<size_t>(i)]);
    }
    FillFromNeighbours(work);
    return work.Save() != 0;
}

int HalveSpeeds(const std::string& base) {
    CWheelFile wheel;
    if (wheel.Load(base.c_str())) {
        wheel.DoubleTimes();
        wheel.Save();
    }
    int result = 0;
    // Every tag reader's file; there is no .066 among them.
    for (const char* ext : {".060", ".061", ".062", ".063", ".064", ".065", ".067"}) {
        CTagFile tags;
        if (!tags.LoadTyped(base.c_str(), ext)) continue;
        result = tags.DoubleTimes();
        tags.Save();
    }
    return result;
}
