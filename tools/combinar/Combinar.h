// Combinar: regroups the axles of a train that crept or stopped over the
// wheel transducers into cars. The axle fact table gives every gap between
// axles a class (truck, body, coupler) and marks the gaps measured too slowly
// to be trusted as uncertain; cars confirmed by two clean tag reads (anchor
// cars) are taken whole from the train's own allocation (the master .041).
// Every assignment of classes to the uncertain gaps is built into an
// allocation, scored by how implausible its cars are, and the best ones are
// written as candidate allocations CMBN0000.041 onward with a summary in
// COMBINAR.DAT.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Gap classes, as measured, as enumerated and as derived by the car builder.
enum GapClass : int {
    kTruck = 0,         // next axle in the same truck
    kBody = 1,          // next axle across the car body
    kCoupler = 2,       // next axle belongs to the next car
    kLastAxle = 3,      // no step assigns it
    kPlatformBody = 4,  // given to the last axle of the train
    kClass5 = 5,        // treated like BODY by the scoring and the display
    kClass6 = 6,
};
// Whole feet of a distance, toward zero, kept within the 32-bit range.
int32_t WholeFeet(float feet);
const char* GapClassName(int cl);       // "TRUCK", "BODY" ...
const char* GapClassShortName(int cl);  // "T", "B" ...

// Speed threshold (eighths of a mph) the loop starts from, and the limit of
// uncertain axles it accepts.
constexpr int kStartThreshold = 16;
constexpr size_t kMaxUncertain = 8;
constexpr int kMaxOutputFiles = 32;
// The car builder completes a car at this many records: the part number
// of a record is one byte and 255 marks a car written as one record.
constexpr size_t kMaxCarRecords = 255;

struct CombinarOptions {
    bool verbose = false;     // /G
    bool mainline = false;    // /M: truck-gap limit 7 ft instead of 10
    bool standalone = false;  // /S
    int TruckGapLimit() const { return mainline ? 7 : 10; }
};

// One working entry per axle.
struct FactEntry {
    int32_t dist = 0;  // whole feet to the next axle
    int32_t cl = 0;    // gap class, measured or enumerated
    int32_t dcl = 0;   // gap class the car builder derived
    int32_t st = 0;    // slow
    int32_t dc = 0;    // uncertain
    uint32_t speed = 0;  // eighths of a mph
    float fps = 0.0f;    // feet per second
    float accel = 0.0f;  // feet per second per second since the previous axle
    uint32_t time = 0;   // ms
    int32_t stop = 0;    // the train stopped before the next axle
    uint32_t s2stop = 0;  // seconds to stop at the current deceleration
    int32_t anchor = 0;
    int32_t ancPos = 0;
    char ancLetter = 0;
    int32_t ancC = 0;       // car number of the anchor car in the master
    int32_t ancMaster = -1;  // index of that car among the master's cars
    // Axle facts the allocation builder and the type pass use.
    uint8_t wholeMph = 0;
    uint8_t direction = 0;
    float distF = 0.0f;      // distance to the next axle, feet
    uint32_t msPerFoot = 0;  // time per foot over this axle and the next
};

// One record of an allocation under construction.
struct CarRecord {
    uint16_t first = 0, last = 0;
    uint32_t start = 0, end = 0;  // ms
    uint8_t egc = 0;
    uint16_t car = 0;
    uint8_t part = 0;
    uint8_t speed = 0;  // whole mph << 1 | direction bit
    int Axles() const { return int(last) - int(first) + 1; }
};
// The records of one car: [begin, begin + count) of the allocation.
struct CarSpan {
    uint32_t begin = 0, count = 0;
};

// The allocation of one combination.
struct Allocation {
    std::vector<CarRecord> records;
    std::vector<CarSpan> cars;
    void Clear() {
        records.clear();
        cars.clear();
    }
};

// Cars of the master allocation, indexed once: each car's records and, when
// they lie whole inside the train's axles in ascending order, fit to be
// anchored.
struct MasterCar {
    std::vector<CarRecord> records;  // times converted to ms
    int carNumber = 0;               // the key of its records
};
struct Master {
    bool loaded = false;
    std::vector<MasterCar> cars;
};
Master LoadMaster(const std::string& base);

// Direction summary of the axle movement file.
struct DirectionSummary {
    int clearCount = 0;
    int setCount = 0;
    int minSpeed = 90;  // whole mph
    int balance = 0;
    int balanceZero = 0;
};
DirectionSummary ScanDirections(const std::string& base);

struct Anchor {
    int vehicle = 0, first = 0, last = 0;
};
// The consist's anchor cars (empty when the consist does not load).
std::vector<Anchor> ChooseAnchors(const std::string& base);

// The train as the allocation builder walks it: an anchor car (its records
// as the master holds them, after the type pass) or a run of axles between
// anchor cars for the car builder.
struct Segment {
    size_t begin = 0, end = 0;             // axles [begin, end)
    std::vector<CarRecord> anchorRecords;  // empty for a run
};

class CAxleFile;
class CAllocFile;

// Replaces the records of an allocation file by those of a; 0 when they do
// not fit its 16-bit record count.
int FillAllocationFile(const Allocation& a, CAllocFile& file);

class FactTable {
public:
    // Reads the axle facts once (times, speeds, distances).
    void LoadAxles(CAxleFile& axles);
    // Rebuilds the table for a speed threshold; returns the number of axles.
    int Build(int threshold, int truckGapLimit);
    // Marks the anchors the master confirms; returns the anchors marked.
    int MarkAnchors(const std::vector<Anchor>& anchors, const Master& master);
    std::vector<uint32_t> Uncertain() const;
    void Print(int threshold) const;

    // The axle facts alone, before any build.
    const std::vector<FactEntry>& AxleFacts() const { return m_axles; }
    std::vector<FactEntry>& Entries() { return m_e; }
    const std::vector<FactEntry>& Entries() const { return m_e; }
    size_t Size() const { return m_e.size(); }
    int AnchorAxles() const { return m_anchorAxles; }
    // The segments of the marked table (worked out once per marking).
    const std::vector<Segment>& Segments(const Master& master);
    // The pattern checksum of the current derived classes; anchored axles,
    // whose classes never change, are taken a whole stretch at a time.
    uint32_t Checksum(const Master& master);

private:
    std::vector<FactEntry> m_axles;  // the axle facts, as read
    std::vector<FactEntry> m_e;
    int m_anchorAxles = 0;
    // A stretch of anchored axles: the checksum register of its classes
    // from 0, and the operator that carries a register over its length.
    struct FixedStretch {
        size_t begin = 0, end = 0;
        uint32_t crc = 0;
        std::array<uint32_t, 32> shift{};
    };
    std::vector<Segment> m_segments;
    std::vector<FixedStretch> m_fixed;
    bool m_segmentsValid = false;
};

// Builds the allocation of the table's current classes: anchor cars copied
// from the master, every other run of axles through the car builder, then
// the type pass; sets DCl of every axle.
void BuildAllocation(FactTable& table, const Master& master, Allocation& out);

// Groups axles [s, e) into cars from their classes (cl), writing the
// derived classes (dcl). In the standalone form a first truck of eight axles
// or more followed by a gap that is no truck gap ends the car; the sink (may
// be null) hears of every car completed.
struct CarSink {
    virtual ~CarSink() = default;
    virtual void CarCompleted(const Allocation& a, const CarSpan& car) = 0;
};
void BuildCars(std::vector<FactEntry>& t, size_t s, size_t e, bool standalone, Allocation& out, CarSink* sink);
// Equipment group codes of the cars from firstCar on: odd cars, and
// single-record cars of 4 or 6 axles by their truck spacing.
void TypePass(const std::vector<FactEntry>& t, Allocation& a, size_t firstCar = 0);

// CRC-32 (reflected 0xEDB88320, register 0, no final inversion) over the low
// byte of every axle's derived class.
uint32_t PatternChecksum(const std::vector<FactEntry>& t);
// The register after one more byte, and the operator (a 32x32 bit matrix,
// one column per register bit) that carries a register over len zero bytes:
// the register over a stretch is that operator applied to the register
// before it, xor the stretch's own register from 0.
uint32_t ChecksumStep(uint32_t crc, uint8_t byte);
std::array<uint32_t, 32> ChecksumZeroOperator(size_t len);
uint32_t ApplyOperator(const std::array<uint32_t, 32>& op, uint32_t crc);
int ScoreAllocation(const std::vector<FactEntry>& t, const Allocation& a);
std::string PatternText(const std::vector<FactEntry>& t, const Allocation& a);

// COMBINAR.DAT.
struct RunFigures {
    int32_t total = 0;
    int32_t unique = 0;
    int32_t output = -1;
    int32_t uncertain = -1;
    int32_t anchorAxles = 0;
    int32_t axleCount = 0;
    int32_t anchorCars = 0;
    int32_t bestScore = -1;
    int32_t balance = 0;
    int32_t balanceZero = 0;
    std::array<uint8_t, 40> Bytes() const;
};

// Deletes the stale candidate files and COMBINAR.DAT in the current
// directory, never the master of base.
void DeleteStaleOutputs(const std::string& base);

// Tag reads of the consist that carry both the L and the A exception.
int CountLaDisqualifiers(const std::string& base);
// Gives the k-th uncertain axle the k-th base-3 digit of combination j.
void SetCombination(FactTable& table, const std::vector<uint32_t>& uncertain, uint32_t j);

void NormalRun(const std::string& base, const CombinarOptions& opt);
void StandaloneRun(const std::string& base);

bool ParseCombinarArgs(int argc, const char* const* argv, std::string& base, CombinarOptions& opt);
std::string CombinarUsage();
int CombinarMain(int argc, const char* const* argv);
