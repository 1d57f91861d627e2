// Trimwell: transducer fix-up tool. Command line, operation table and the
// operations, one source file per group of operations.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
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
// The speeds OP3 gives axles of the given speeds (eighths of a mph), in the
// order they are smoothed: from the 21st axle to the second-to-last, the
// mean of the 20 axles before and up to 20 after, the axle's own left out;
// every other axle keeps its speed.
std::vector<float> SmoothedSpeeds(std::span<const int> eighths);
// OP5: speeds that give every vehicle's trucks their nominal axle spacing.
bool NormalizeTruckSpacing(const std::string& base);
// OP18: doubles the .012 and tag read timestamps; returns the last tag
// file's doubling result (0).
int HalveSpeeds(const std::string& base);

// Passenger trains (Passenger.cpp). The three operations return 1 when they
// did their work, 0 when there was nothing to do (the dispatcher prints the
// "Done. ..." text of either), and -1 when they could not finish; they then
// print why, ending with a line feed, and the dispatcher adds nothing.
//
// Owner codes of a passenger configuration text, in file order: the first
// word within the first 4 characters of each line that is neither empty nor
// a ';' comment once trimmed; only the first 119 characters of a line count.
std::vector<std::string> ParsePassengerCodes(std::string_view text);
// OP19: marks the train with base.0PT when an owner code of "Passengr.cfg"
// (working directory) matches the owner initials of a tag of its .035; an
// old marker is removed first.
int DetectPassengerTrain(const std::string& base, FILE* out = stdout);
// OP20: rebuilds the .041 from the .010 by the passenger-train rules; the
// base.0AP marker is left only for an articulated train.
int RegeneratePassengerAllocation(const std::string& base, FILE* out = stdout);
// OP21: an articulated consist (.035) whose end units were recorded with 3
// axles gets 2, 4 and 2 axles for its first 3-axle unit, the 2-axle unit
// whose tag holds 4 at offset 44 of the decoded image, and its second
// 3-axle unit.
int FixArticulatedAxleCounts(const std::string& base, FILE* out = stdout);
// Tag read fix-ups, train summary creation, consist series combination
// (TagFixups.cpp). Each prints its own messages to out.
// OP9: gives every .060 read the direction and speed of the axle that passed
// last before it; 1 when the .060 was rewritten or needed no change.
int FixupTagSpeedDir(const std::string& base, FILE* out = stdout);
// OP10: creates the .034 from the .060 and .012 when the train has none;
// 1 when it exists or was written.
int CreateTrainSummary(const std::string& base, FILE* out = stdout);
// OP11: appends the consists of the fragments prefix01, prefix02 ... into
// outputName (none: prefix + "00.035"), prefix being the base name without
// its last two characters.
bool CombineConsistSeries(const std::string& base, const char* outputName = nullptr, FILE* out = stdout);
// OP16: merges the reads of one tag by the two antennas of a side and drops
// repeated reads, writing outputName. Returns the records written (and sets
// *written), 1 when there was nothing to merge, -2 when the tag file cannot
// be used, -12 when memory runs out, minus the system error number when the
// output cannot be created.
int MergeDualAntenna(const std::string& base, const char* outputName, const char* ext, bool* written = nullptr,
                     FILE* out = stdout);
// OP17: writes the .060 with every read time shifted by shiftMs under
// base + ".S60"; true when that file was written.
bool ShiftTagTimes(const std::string& base, int32_t shiftMs, FILE* out = stdout);
// Train combiner, allocation overlap fix-up, digitizer listing (Combiner.cpp).
// OP13: appends train 2's IO events, tag reads and wheel events, moved onto
// train 1's time base, to train 1's and writes them as out.007, out.060 and
// out.012. 1 when all three were written; otherwise none is.
int CombineTrains(const std::string& train1, const std::string& train2, const std::string& out, FILE* o = stdout);
// OP14: gives an axle that two neighbouring allocation records claim to the
// later one and writes the result under outName. True when it was written.
bool FixupAllocations(const std::string& base, const std::string& outName, FILE* o = stdout);
// OP15: lists the digitizer samples that carry a signal, then the totals.
// 0 when base.01d cannot be loaded or holds no samples.
int ProcessDigitizerData(const std::string& base, FILE* o = stdout);

// Whole program: returns the exit status.
int TrimwellMain(int argc, const char* const* argv);
