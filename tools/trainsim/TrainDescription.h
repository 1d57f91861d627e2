// The plain-text description of one simulated train: the site it passes,
// its vehicles from the head to the rear, and its speed profile.
//
// The format is line based; README.md documents it in full. In short:
//
//   train  MIXED FREIGHT 4711      identification written to the summary
//   seed   42                      random seed (the command line may override)
//   start  2025-03-14 08:30:00     date and time of the first recorded event
//   ab_spacing 60                  site facts, one per line (keyword value...)
//   loco UP 4455 axles=6           vehicles: kind owner number key=value...
//   car  TTX 912345 count=20       count= repeats a vehicle with rising numbers
//   speed 25                       arrival speed, then profile steps
//   stop at axle 14 +1.5
//   back 2 axles at 3
//   ramp 20 over 400 ft
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trainsim {

enum class VehicleKind { Locomotive, Railcar, Articulated, EndOfTrain };

struct VehicleSpec {
    VehicleKind kind = VehicleKind::Railcar;
    std::string owner;            // AEI owner initials, 1-4 letters
    uint32_t number = 0;          // car number (20 bits)
    int egc = 19;                 // equipment group code of its tags and consist entry
    int axles = 4;
    int platforms = 1;            // articulated units: platforms on shared trucks
    double lengthFt = 60.0;       // over the pulling faces
    double truckCentresFt = 46.0; // between neighbouring truck centres
    double axleSpacingFt = 5.6;   // between neighbouring axles of one truck
    double couplerGapFt = 0.0;    // slack between this vehicle and the next
    double weightTons = 70.0;     // short tons
    bool flipped = false;         // runs with its B end leading
    std::vector<double> axleOffsetsFt;  // explicit axle positions from the front face
    bool tagged = true;           // carries AEI tags
    bool extendedTag = false;     // railcar tag with the value-7 extended length and axle fields
    bool sideTwoTag = true;       // carries its second tag (side 2, near its rear); false: one tag only
    int tagField44 = 0;           // railcar tag: the 3-bit field decoded at offset 44
    uint16_t tagFlags = 0;        // exception flags recorded with its tag reads in the consist
    int line = 0;                 // description line it came from
};

struct MissedEvent {
    int axle = 0;      // 1-based axle of the train
    int detector = 0;  // 0 = A, 1 = B
};

struct HbdAlarm {
    int axle = 0;   // 1-based axle of the train
    int side = 1;   // 1 or 2
    char code = 'A';
    int value = 200;
};

// An axle named by a statement, with the statement's line for messages.
struct AxleNote {
    int axle = 0;  // 1-based axle of the train
    int line = 0;
};

struct SiteFacts {
    int abTenths = 60;             // true distance from detector A to B, tenths of an inch
    int headerAbTenths = -1;       // AB spacing written in the headers; -1: the true one
    bool travelAtoB = true;        // the train runs from detector A towards B
    uint16_t maskA = 0x0200;
    uint16_t maskB = 0x0100;
    uint16_t presenceMask = 0x0001;  // track-circuit input on while the train is at the site; 0: none
    uint8_t recorderVersion = 1;
    uint8_t preprocessed = 1;        // .007 header byte 42
    uint8_t invertDirection = 0;     // .007 header byte 38
    uint32_t scaleNumerator = 1;     // raw x numerator / 10^exponent = ms
    uint16_t scaleExponent = 0;
    double zoneInches = -1.0;        // half-width of a detector's sensing zone; -1: 0.7 x AB spacing
    double edgeJitterInches = 0.0;   // random shift of each detector edge
    double missedEventRate = 0.0;    // chance that a detector misses one wheel
    std::vector<MissedEvent> misses;
    int readers = 2;                 // 0, 1 (.060, side 1) or 2 (.060 side 1, .064 side 2)
    int antennasPerSide = 1;         // 1 or 2
    double readerOffsetFt = 40.0;    // antennas, past the leading detector
    double missedTagRate = 0.0;
    bool hbd = true;
    // The hot-bearing scanners stand at the leading wheel detector, which
    // gates them as at a real site, so each reading falls as its axle
    // crosses the wheel detectors and the reading gaps match the axle gaps
    // even while the train changes speed. Placed further on, a braking or
    // stopping train spaces the readings differently from the axles.
    double hbdOffsetFt = 0.0;
    std::vector<HbdAlarm> alarms;
    std::vector<AxleNote> hbdExtra;  // axles after which the detector makes a spurious reading
    std::vector<AxleNote> hbdMiss;   // axles the detector does not record
    bool scale = true;
    double scaleOffsetFt = 120.0;
    bool allocation = true;          // write the .041 axle allocation of the vehicles
    bool fragments = false;          // also write the series of fragment files, one per movement
    int fragmentsLine = 0;           // description line of the fragments statement
    double splitAtS = -1.0;          // end the recording this many seconds in; -1: one recording
    int splitLine = 0;               // description line of the split statement

    int HeaderAb() const { return headerAbTenths < 0 ? abTenths : headerAbTenths; }
    double ZoneInches() const { return zoneInches < 0 ? 0.7 * abTenths / 10.0 : zoneInches; }
};

// Where a profile step ends: a distance the head travels, or the moment an
// axle stands a given distance past the leading detector.
struct Mark {
    bool isAxle = false;
    double feet = 0.0;    // distance, or the axle's offset past the leading detector
    int axle = 0;         // 1-based
};

enum class StepKind { Cruise, Ramp, Stop, Wait, Back };

struct ProfileStep {
    StepKind kind = StepKind::Cruise;
    double mph = 0.0;      // Ramp: target speed; Back: top speed of the reverse move
    Mark mark;             // Cruise, Ramp, Stop
    double seconds = 0.0;  // Wait
    int backAxles = 0;     // Back: axles to back out over the detectors, or
    double backFeet = 0.0; //       a distance when backAxles is 0
    int line = 0;
};

struct StartTime {
    int year = 2025, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

struct TrainDescription {
    std::string trainId = "SIMULATED";
    uint64_t seed = 1;
    StartTime start;
    SiteFacts site;
    std::vector<VehicleSpec> vehicles;  // head first; count= already expanded
    double arrivalMph = 10.0;
    std::vector<ProfileStep> profile;
};

// Parses a description. On failure returns false and sets error to
// "line N: what is wrong".
bool ParseDescription(const std::string& text, TrainDescription& out, std::string& error);

// Default geometry and equipment group code of a kind of vehicle.
VehicleSpec DefaultVehicle(VehicleKind kind);

}  // namespace trainsim
