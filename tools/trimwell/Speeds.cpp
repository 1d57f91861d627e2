// Speed smoothing (OP3/OP4), truck-spacing normalisation (OP5) and speed
// halving (OP18).
#include "Trimwell.h"

#include "AxleFile.h"

#include <new>

namespace {

// Axles on each side of a smoothed axle that enter its mean.
constexpr int kSmoothWindow = 20;

// Adds up to kSmoothWindow speeds from the record under the cursor onwards,
// stepping forward after each one; stops early when a step fails at the end
// of the file. The cursor ends on the record after the last one added (or
// on the last record).
void AddWindow(CAxleFile& axles, double& sum, int& m) {
    for (int added = 1;; ++added) {
        sum += axles.GetSpeed();
        ++m;
        const bool stepped = axles.Next() != 0;
        if (added == kSmoothWindow || !stepped) return;
    }
}

}  // namespace

bool SmoothSpeeds(const std::string& base, int direction) {
    CAxleFile axles;
    if (!axles.Load(base.c_str()) || axles.GetCount() <= 0) return false;
    if (direction == 1) axles.Reverse();

    const int n = axles.GetCount();
    std::vector<float> speeds;
    try {
        speeds.resize(static_cast<size_t>(n));
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (int j = 0; j < n; ++j) {
        axles.Seek(j);
        speeds[j] = axles.GetSpeed();
    }

    // Axle k gets the mean of the 20 axles before it and up to 20 after it,
    // its own speed left out. All speeds are read from the file, which stays
    // unchanged until every mean is known.
    for (int i = 0; i < n; ++i) {
        axles.Seek(i);
        double sum = 0.0;
        int m = 0;
        AddWindow(axles, sum, m);
        const int k = axles.GetIndex();
        if (!axles.Next()) break;  // no axle after k: the walk is over
        AddWindow(axles, sum, m);
        if (m > 0) speeds[k] = static_cast<float>(sum / m);
    }

    for (int j = 0; j < n; ++j) {
        axles.Seek(j);
        axles.SetSpeed(speeds[j]);
    }
    speeds.clear();
    speeds.shrink_to_fit();
    if (direction == 1) axles.Reverse();
    return axles.Save() != 0;
}
