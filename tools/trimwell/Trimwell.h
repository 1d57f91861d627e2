// Trimwell: transducer fix-up tool. Command line, operation table and the
// operations, one source file per group of operations.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern const char* const kTrimwellUsage;

// Room for 20 operations; the twentieth /OP option is refused, so at most
// 19 run.
constexpr unsigned kMaxOperations = 20;
constexpr unsigned kHighestOperation = 21;

struct TrimwellSettings {
    std::string baseName;
    std::vector<unsigned> operations;  // command-line order, repeats allowed
    bool writeAbSpacing = true;        // cleared by /R
    std::string train1;                // /T1=
    std::string train2;                // /T2=
    int32_t timeShiftMs = 0;           // /S=
    bool usageRequested = false;       // /?
};

enum class ParseOutcome {
    Run,          // print the report and run the operations
    Usage,        // print the usage text, exit -1
    StoppedZero,  // "/OP0": message printed, exit 0
    StoppedTooMany,  // twentieth /OP: message printed, exit 0
    NameTooLong,  // a name argument of 260 characters or more
};

// Parses argv[1..argc-1]. Prints the two parsing-error messages itself.
ParseOutcome ParseTrimwellArgs(int argc, const char* const* argv, TrimwellSettings& s, FILE* out);

// Prints the report header, one row per operation and the closing line feed.
void RunTrimwell(const TrimwellSettings& s, FILE* out);

// Description printed in a row for an operation number ("" for none).
const char* OperationDescription(unsigned op);

// AB spacing and axle speed regeneration (AbSpacing.cpp).
// OP1: relative AB spacing error measured on the trucks of railcars and
// locomotives; positive when the stored spacing is too small, 0.0 when
// nothing could be measured.
double CalcTransducerError(const std::string& base);
// Rewrites the .012 AB spacing corrected by the error; prints
// "(AB %02u => %02u)". False when the .012 could not be loaded or saved.
bool WriteABSpacing(const std::string& base, double error, FILE* out = stdout);
// OP2: recomputes every .010 axle speed from the .012 wheel events.
bool RecalcAxleSpeeds(const std::string& base);

// Orphaned wheel events and the IO event fix-up (EventFixups.cpp); each
// prints its messages into the row and returns whether it did its work (or
// had none to do): false when an input is missing or unusable, a check
// fails or a save fails.
// OP6: inserts the missing partner of every wheel event that lies 3 to 8 ft
// from its nearest axle, saves the .012 and logs the count in the .FIX file;
// prints "%u orphan(s) found.".
bool FixOrphanedWheelEvents(const std::string& base, FILE* out = stdout);
// OP8: copies the wheel event times onto the detectors' rising edges in the
// .007 and marks it pre-processed (once).
bool FixupIoEvents(const std::string& base, FILE* out = stdout);

// Movement display and fragment evaluation (Movement.cpp).
// OP7: the cuts of "C" events, their net forward axles and the check
// against the .010.
bool ShowMovement(const std::string& base, FILE* out = stdout);
// OP12: lists the fragments BASE01..BASE29, matches their facing ends and
// prints the Train Movement Detail Report; 0 for a base name shorter than
// two characters, else 1.
int EvaluateConsistSeries(const std::string& base, FILE* out = stdout);
class CCarListFile;
// For every axle index, the car list record of the first vehicle whose
// axle range holds it (-1 for none): what FindCarOfAxle finds, for all axles
// at once.
std::vector<int> CarOfAxleTable(const CCarListFile& cars);

// Speed smoothing, truck-spacing normalisation, speed halving (Speeds.cpp).
// OP3 (direction 0, front to rear) and OP4 (direction 1, rear to front).
bool SmoothSpeeds(const std::string& base, int direction);
// OP5: speeds that give every vehicle's trucks their nominal axle spacing.
bool NormalizeTruckSpacing(const std::string& base);
// OP18: doubles the .012 and tag read timestamps; returns the last tag
// file's doubling result (0).
int HalveSpeeds(const std::string& base);

// Whole program: returns the exit status.
int TrimwellMain(int argc, const char* const* argv);
