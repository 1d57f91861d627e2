// AB spacing error (OP1), AB spacing correction and axle speed regeneration
// from the wheel transducer events (OP2).
#include "Trimwell.h"

#include "AllocFile.h"
#include "AxleFile.h"
#include "WheelFile.h"

#include <cmath>
#include <cstdint>

namespace {

// Nominal axle spacing within a truck, in feet, and the reciprocals the
// error is scaled by. The railcar values are the single-precision 5.6.
constexpr double kRailcarTruckFeet = 5.599999904632568;
constexpr double kRailcarTruckFeetInv = 0.17857143161248193;
constexpr double kLocoTruckFeet = 7.0;
constexpr double kLocoTruckFeetInv = 0.14285714285714285;
// A vehicle whose leading and trailing truck differ by this much or more is
// not trusted.
constexpr double kMaxTruckDifferenceFeet = 1.0;
// Axles slower than this (whole mph) give unreliable distances.
constexpr int kMinMeasureMph = 5;

constexpr uint8_t kEgcLocomotive = layout::alloc::kEgcLocomotive;
constexpr uint8_t kEgcRailcar = layout::alloc::kEgcRailcar;

// Index of the last axle slower than kMinMeasureMph, -1 when there is none.
// A vehicle is measured only when the train kept its pace from the vehicle's
// first axle to the end, that is when the vehicle starts after this axle.
int LastSlowAxle(CAxleFile& axles) {
    int last = -1;
    for (int i = 0; i < axles.GetCount(); ++i) {
        axles.Seek(i);
        if (axles.GetSpeedWhole() < kMinMeasureMph) last = i;
    }
    return last;
}

}  // namespace

double CalcTransducerError(const std::string& base) {
    CAllocFile alloc;
    CAxleFile axles;
    if (!alloc.Load(base.c_str()) || alloc.GetCount() <= 0) return 0.0;
    if (!axles.Load(base.c_str()) || axles.GetCount() <= 0) return 0.0;

    const int lastSlow = LastSlowAxle(axles);
    double carSum = 0.0, locoSum = 0.0;
    unsigned carCount = 0, locoCount = 0;
    alloc.Seek(0);
    do {
        const unsigned egc = alloc.GetEgc();
        if (egc != kEgcRailcar && egc != kEgcLocomotive) continue;
        const int count = alloc.VehicleAxleCount();
        if (count % 2 != 0 || count == 2) continue;
        const int first = alloc.VehicleFirstAxle();
        const int last = alloc.VehicleLastAxle();
        // A vehicle whose axles are not all in the .010 cannot be measured.
        if (first < 0 || last <= first || !axles.IsValid(last)) continue;
        if (first <= lastSlow) continue;
        // The leading pair is kept as a float, the trailing pair as the
        // division gives it; the error depends on that last bit of rounding.
        const float lead = axles.DistanceFeet(first, first + 1);
        const double trail = axles.DistanceFeetUnrounded(last - 1, last);
        if (std::fabs(double(lead) - trail) >= kMaxTruckDifferenceFeet) continue;
        if (egc == kEgcRailcar) {
            carSum += double(lead) + trail;
            carCount += 2;
        } else {
            locoSum += double(lead) + trail;
            locoCount += 2;
        }
    } while (alloc.NextVehicle());

    const double carError = carCount > 0 ? (kRailcarTruckFeet - carSum / carCount) * kRailcarTruckFeetInv : 0.0;
    const double locoError = locoCount > 0 ? (kLocoTruckFeet - locoSum / locoCount) * kLocoTruckFeetInv : 0.0;
    return locoCount > carCount ? locoError : carError;
}

bool WriteABSpacing(const std::string& base, double error, FILE* out) {
    CWheelFile wheel;
    if (!wheel.Load(base.c_str())) return false;
    const unsigned oldSpacing = wheel.GetABSpacing();
    const uint32_t newSpacing = TruncToU32(static_cast<long double>(oldSpacing * (error + 1.0)));
    wheel.SetABSpacing(static_cast<uint8_t>(newSpacing));  // the field holds one byte
    // The corrected spacing is shown only once it is in the file; a failed
    // save has printed its error number.
    if (!wheel.Save()) {
        std::fprintf(out, "(AB %02u not changed)", oldSpacing);
        return false;
    }
    std::fprintf(out, "(AB %02u => %02u)", oldSpacing, static_cast<unsigned>(newSpacing));
    return true;
}

bool RecalcAxleSpeeds(const std::string& base) {
    CWheelFile wheel;
    CAxleFile axles;
    if (!wheel.Load(base.c_str()) || wheel.GetCount() <= 0) return false;
    if (!axles.Load(base.c_str()) || axles.GetCount() <= 0) return false;

    // Raw timestamps compare directly only when both files count time alike;
    // otherwise both are compared in milliseconds.
    namespace hdr = layout::header;
    const bool sameScale = wheel.GetHeaderField(hdr::kScaleNumerator) == axles.GetHeaderField(hdr::kScaleNumerator) &&
                           wheel.GetHeaderField(hdr::kScaleExponent) == axles.GetHeaderField(hdr::kScaleExponent);
    const double miles = wheel.GetABSpacing() * layout::wheel::kTenthInchToMiles;
    const double scale = wheel.GetTimeScale();

    wheel.Seek(0);
    axles.Seek(0);
    do {
        const int64_t c = sameScale ? int64_t(axles.GetRawTime()) : int64_t(axles.GetTime());
        // The wheel's first detector event lies within one time unit of the
        // axle's timestamp; the event after it is the same wheel reaching
        // the other detector.
        for (;;) {
            const int64_t t = sameScale ? int64_t(wheel.GetRawTime()) : int64_t(wheel.GetTime());
            if (t - c <= 1 && c - t <= 1) break;
            if (!wheel.Next()) return false;
        }
        const uint32_t t0 = wheel.GetRawTime();
        if (!wheel.Next()) return false;
        const uint32_t delta = wheel.GetRawTime() - t0;
        const double hours = delta * scale * layout::wheel::kMsToHours;
        // Two events at the same instant give no speed: the axle keeps its
        // old one.
        if (hours > 0.0) axles.SetSpeed(static_cast<float>(miles / hours));
    } while (axles.Next());
    return axles.Save() != 0;
}
