#include "LargeTrain.h"

#include "Random.h"

#include <algorithm>

namespace trainsim {

namespace {

constexpr unsigned kLocoAxles = 12;  // two 6-axle locomotives

}  // namespace

TrainDescription LargeTrain(unsigned ioRecords, uint64_t seed) {
    Random rng(seed);
    TrainDescription d;
    d.trainId = "LARGE TRAIN";
    d.seed = seed;
    d.start = {2025, 6, 1, 12, 0, 0};
    d.arrivalMph = double(rng.Integer(20, 45));

    const unsigned limit = std::clamp(ioRecords, 200u, kMaxFileRecords);
    const unsigned stops = LargeTrainStops(limit);
    const unsigned axles = (limit - LargeTrainIoRecords(0, stops)) / 4;
    const unsigned cars = (axles - kLocoAxles) / 4;

    VehicleSpec loco = DefaultVehicle(VehicleKind::Locomotive);
    loco.owner = "LRGX";
    for (uint32_t k = 0; k < 2; ++k) {
        loco.number = 9000 + k;
        d.vehicles.push_back(loco);
    }
    static const char* const kOwners[] = {"TTX", "BNSF", "UP", "CSXT", "NS", "GATX"};
    VehicleSpec car = DefaultVehicle(VehicleKind::Railcar);
    for (unsigned k = 0; k < cars; ++k) {
        car.owner = kOwners[rng.Integer(0, 5)];
        car.number = 100000 + k;
        car.lengthFt = 40.0 + 0.5 * rng.Integer(0, 100);  // 40 to 90 ft
        car.truckCentresFt = car.lengthFt - 14.0;
        car.weightTons = double(rng.Integer(25, 143));
        d.vehicles.push_back(car);
    }

    // Evenly spread stops: each one slows to 10 mph some cars before, stops
    // with a car's leading truck just past the detectors, backs that truck
    // out and leaves at a new speed.
    for (unsigned s = 1; s <= stops; ++s) {
        const int carIndex = int(uint64_t(cars) * s / (stops + 1));
        const int stopAxle = int(kLocoAxles) + 4 * carIndex + 2;  // second axle of the leading truck
        ProfileStep slow, stop, wait, back, leave;
        slow.kind = StepKind::Ramp;
        slow.mph = 10.0;
        slow.mark = {true, 0.0, std::max(1, stopAxle - 8)};
        stop.kind = StepKind::Stop;
        stop.mark = {true, 1.0, stopAxle};
        wait.kind = StepKind::Wait;
        wait.seconds = 5.0;
        back.kind = StepKind::Back;
        back.backAxles = 2;
        back.mph = 2.0;
        leave.kind = StepKind::Ramp;
        leave.mph = double(rng.Integer(20, 45));
        leave.mark = {false, 300.0, 0};
        for (const ProfileStep& st : {slow, stop, wait, back, wait, leave}) d.profile.push_back(st);
    }
    return d;
}

}  // namespace trainsim
