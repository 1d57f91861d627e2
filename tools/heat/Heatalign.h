// heatalign: lines up a train's axle file (.010) with its hot-bearing
// detector file (.018) when they disagree on the number of axles by a few,
// inserting dummy axles or dummy readings, or removing extra readings.
#pragma once

#include "AxleFile.h"
#include "DetectorFile.h"

#include <string>

// Exit statuses of the program.
constexpr int kAlignChanged = 1;      // both files were changed and saved
constexpr int kAlignUnchanged = 0;    // nothing to change, refused, option 3, or no .018
constexpr int kAlignUsage = -1;
constexpr int kAlignCannotLoad = -2;
constexpr int kAlignBadOption = -3;
constexpr int kAlignSaveFailed = -4;  // backup or save failed; the train's files are as they were

// The two files of one train as the alignment sees them, by position.
struct AlignFiles {
    CAxleFile axles;
    CDetectorFile detector;

    // Milliseconds from axle i-1 to axle i (0 for the first axle), as the
    // 32-bit times give it.
    uint32_t AxleTime(int i) const;
    float AxleSpeed(int i) const;  // mph
    int AxleDistance(int i) const;
};

// The option as a decimal number, read like the recorder's tools read it
// (leading blanks, a sign, digits up to the first other character; 0 when
// there are none), saturated at the int range instead of overflowing.
int ParseAlignOption(const char* text);

// True when two gaps part by more than limit of their mean (a mean of 0
// never parts).
bool GapsPart(uint64_t a, uint64_t b, double limit);

// The side-by-side comparison table with its summary lines.
std::string ComparisonTable(const AlignFiles& files);

enum class AlignOutcome { NoChange, Changed, BackupFailed };
// Runs the alignment walk for option 1 or 2, printing its messages; the
// backup <base>.O18 is written from original (the .018 as read).
AlignOutcome AlignTrain(AlignFiles& files, const std::string& base, int option, const std::vector<uint8_t>& original);

std::string HeatalignUsage();

// Whole program: prints to standard output and returns the exit status.
int HeatalignMain(int argc, const char* const* argv);
