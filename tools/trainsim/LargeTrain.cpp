#include "LargeTrain.h"

#include "Random.h"

#include <algorithm>
#include <cmath>

namespace trainsim {

TrainDescription LargeTrain(unsigned ioRecords, uint64_t seed) {
    Random rng(seed);
    TrainDescription d;
    d.trainId = "LARGE TRAIN";
    d.seed = seed;
    d.start = {2025, 6, 1, 12, 0, 0};
    d.arrivalMph = double(rng.Integer(20, 50));
    d.site.hbdOffsetFt = 60.0;

    const unsigned limit = std::clamp(ioRecords, SteadyIoRecords(16), kMaxFileRecords);
    const unsigned axles = (limit - 2) / 4;
    VehicleSpec loco = DefaultVehicle(VehicleKind::Locomotive);
    loco.owner = "LRGX";
    for (int k = 0; k < 2; ++k) {
        loco.number = 9000 + uint32_t(k);
        d.vehicles.push_back(loco);
    }
    const unsigned cars = (axles - 12) / 4;
    VehicleSpec car = DefaultVehicle(VehicleKind::Railcar);
    for (unsigned k = 0; k < cars; ++k) {
        static const char* const kOwners[] = {"TTX", "BNSF", "UP", "CSXT", "NS", "GATX"};
        car.owner = kOwners[rng.Integer(0, 5)];
        car.number = 100000 + k;
        car.lengthFt = 40.0 + 0.5 * rng.Integer(0, 100);  // 40 to 90 ft
        car.truckCentresFt = car.lengthFt - 14.0;
        car.weightTons = double(rng.Integer(25, 143));
        d.vehicles.push_back(car);
    }
    return d;
}

}  // namespace trainsim
