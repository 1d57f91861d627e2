// The simulated passage of one train over a wayside site: where every axle
// and tag sits in the train, how the train moves, and every event the site's
// devices record (detector edges, wheel events, tag reads, hot-bearing
// readings, scale entries), together with the truth the tests compare the
// tools' results with.
//
// Positions are in feet along the direction of travel, measured from the
// leading wheel detector (the one the train meets first); the trailing
// detector lies one AB spacing further on. Times are seconds from the start
// of the recording.
#pragma once

#include "TrainDescription.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trainsim {

constexpr double kFeetPerSecondPerMph = 5280.0 / 3600.0;

// ---------------------------------------------------------------------------
// Geometry

struct VehiclePlace {
    int firstAxle = 0;       // 0-based axle of the train (the axle count when it has none)
    int axles = 0;
    double frontFt = 0.0;    // distance of its front face behind the head of the train
    bool hasTag[2] = {false, false};
    double tagFt[2] = {0.0, 0.0};  // side 1 and side 2 tags, behind the head
};

struct TrainGeometry {
    std::vector<double> axleFt;      // each axle's distance behind the head
    std::vector<int> axleVehicle;    // vehicle index of each axle
    std::vector<VehiclePlace> vehicles;
    double lengthFt = 0.0;
};

// Places the vehicles and their axles and tags. Fails for geometry the site
// could not record (axles outside their vehicle, axles too close together for
// the detectors to tell them apart, a vehicle with axles that do not share
// out over its trucks).
bool BuildGeometry(const TrainDescription& d, TrainGeometry& g, std::string& error);

// ---------------------------------------------------------------------------
// Motion: the head position as a piecewise constant-acceleration function
// of time. Every segment moves one way only (or stands).

struct Segment {
    double t0 = 0.0, dur = 0.0;  // s
    double p0 = 0.0, v0 = 0.0, a = 0.0;  // ft, ft/s, ft/s^2
    double P(double tau) const { return p0 + v0 * tau + 0.5 * a * tau * tau; }
    double V(double tau) const { return v0 + a * tau; }
    double PEnd() const { return P(dur); }
};

struct Crossing {
    double t = 0.0;
    bool upward = true;  // the head moved forward through the position
};

class Motion {
public:
    std::vector<Segment> segments;
    double startFt = 0.0;
    double endTime = 0.0;

    double PositionAt(double t) const;
    double VelocityAt(double t) const;  // ft/s, negative while backing
    // Every time the head passes position p, in time order.
    void Crossings(double p, std::vector<Crossing>& out) const;
    // The first forward passage of the head through p; -1 when none.
    double FirstForward(double p) const;
};

// Builds the motion from the profile: the head starts before every device
// at the arrival speed and, after the last step, keeps its speed until the
// whole train has cleared the site.
bool BuildMotion(const TrainDescription& d, const TrainGeometry& g, Motion& m, std::string& error);

// ---------------------------------------------------------------------------
// Recorded events

struct IoEvent {
    uint32_t raw = 0;
    uint16_t inputs = 0;
    uint16_t flags = 0;
};

struct WheelEvent {
    uint32_t raw = 0;
    uint8_t detector = 0;  // 0 = A, 1 = B
};

// One wheel passage over both detectors, as the axle's own detector edges
// show it.
struct Passage {
    int axle = 0;            // 0-based
    bool forward = true;     // in the direction of travel
    double tFirst = 0.0;     // the first detector went active
    double tSecond = 0.0;    // the second detector went active
    double tEnd = 0.0;       // both released again
    uint32_t rawFirst = 0;
    uint32_t rawSecond = 0;
    double mph = 0.0;        // the train's true mean speed between the two edges
};

// A record of the net forward axle list the IO-to-axle conversion makes of
// the passages (each axle once, in order, back-outs and re-passages left out).
struct NetAxle {
    int axle = 0;            // 0-based physical axle
    int passage = 0;         // index into passages
    uint32_t raw = 0;
    int eighths = 0;         // speed from the written AB spacing, rounded to 1/8 mph
    bool directionBit = true;
};

struct TagRead {
    uint32_t raw = 0;
    int vehicle = 0;
    int side = 1;            // 1 or 2: the reader (.060 or .064)
    int antenna = 0;         // 0 or 1
    int reads = 1;
    double mph = 0.0;
};

struct HbdReading {
    int axle = 0;            // 0-based; a spurious reading: the axle it follows
    bool spurious = false;   // made by no axle (hbd_extra)
    double t = 0.0;
    uint32_t msSincePrevious = 0;
    double mph = 0.0;
    char code[2] = {'N', 'N'};
    uint16_t value[2] = {0, 0};
};

struct ScaleReading {
    int vehicle = 0;
    uint32_t raw = 0;
    uint32_t grossLb = 0;
    uint32_t leadTruckLb = 0;
    uint32_t trailTruckLb = 0;
    uint16_t eighths = 0;
    uint16_t axles = 0;
    uint16_t sequence = 0;   // 1-based, in weighing order
};

// A run of wheel passages in one direction: one movement of the train over
// the detectors, between direction changes.
struct Movement {
    size_t first = 0;        // index into passages
    size_t count = 0;
    bool forward = true;
};

// At most this many fragment files make one series (two-digit numbers).
constexpr size_t kMaxFragments = 99;

struct Simulation {
    TrainDescription desc;
    TrainGeometry geometry;
    Motion motion;
    std::vector<IoEvent> io;
    std::vector<WheelEvent> wheel;
    std::vector<Passage> passages;   // in order of completion
    std::vector<Movement> movements; // the passages split at every direction change
    std::vector<NetAxle> net;
    std::vector<TagRead> tags;       // in time order, both readers
    std::vector<HbdReading> hbd;
    std::vector<ScaleReading> scale;
    uint32_t lastRaw = 0;            // the end of the recording
    double durationS = 0.0;

    // Raw timestamp of a simulation time with the site's time scale.
    uint32_t Raw(double t) const;
    int ForwardPassages() const;
    int BackwardPassages() const;
};

// Milliseconds of one raw unit for a time scale numerator / 10^exponent.
double RawUnitMs(uint32_t numerator, uint16_t exponent);

// The speed the IO-to-axle conversion gives a wheel that needs dtRaw units
// (taken as milliseconds) to cross an AB spacing of abTenths, in eighths of
// a mile per hour, rounded to the nearest eighth and at least 1/8 mph.
int EdgeSpeedEighths(unsigned abTenths, int64_t dtRaw);

// Runs the whole simulation. Fails with a message for a description the
// site could not record (see BuildGeometry and BuildMotion) or a train too
// long for the 16-bit record counts of the files.
bool Simulate(const TrainDescription& d, Simulation& sim, std::string& error);

}  // namespace trainsim
