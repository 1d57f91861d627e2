// Consist evaluation shared by Weighoff and Weighrun: the figures of one
// train's consist, its penalty score, and the side-by-side report of two
// trains.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace weighoff {

struct ConsistReport {
    bool evaluated = false;  // the consist loaded and held at least one entry
    uint32_t axleErrors = 0;
    uint32_t totalCars = 0;
    uint32_t taggedCars = 0;
    uint32_t totalTags = 0;
    uint32_t totalDisqualifiers = 0;
    uint32_t untaggedCars = 0;
    uint32_t weirdAxlePatterns = 0;
    uint32_t shortCars = 0;
    uint32_t gCars = 0, gClean = 0;
    uint32_t rlCars = 0, rlClean = 0;
    uint32_t eCars = 0, eClean = 0;
    uint32_t mCars = 0, mClean = 0;
    uint32_t score = 0;  // penalty points, lower is better (scored evaluation only)
};

// Scored: Weighoff's evaluation, with penalty points and odd axle counts of
// cars with the top length bit counted as points. Unscored: Weighrun's,
// where no points are given and such a car is simply no error.
enum class Scoring { kScored, kUnscored };

// Evaluates the consist file of that name (the full file name). The odd
// axle messages go to out. A consist that does not load or holds no whole
// entry leaves every figure 0 and evaluated false.
ConsistReport EvaluateConsist(const std::string& consistFile, Scoring scoring, FILE* out);

// The train name used up to the first '.' of its last path component, so
// that an extension is dropped but a dot in a directory name is kept.
std::string CutTrainName(const std::string& name);

// True when the last path component of name holds '*' or '?'.
bool HasWildcard(const std::string& name);

// The lines of the report that both programs print: from "Weighoff
// Results:" through "  Cars < 20 ft........" with the two columns' names.
std::string ReportBody(const std::string& name1, const std::string& name2, const ConsistReport& r1,
                       const ConsistReport& r2);

// The WINNER line under the first (25 blanks) or second (36 blanks)
// column, followed by an empty line.
std::string WinnerLine(bool firstWins);

// Full names of two files, compared after resolving letter case, '.' and
// '..' components and symbolic links of the directories: true when both
// name the same file (whether or not it exists yet).
bool SameFile(const std::string& a, const std::string& b);

// The directory part and the last component of a name ("" and the name
// when it has no directory).
void SplitName(const std::string& name, std::string& dir, std::string& leaf);

// Writes the report text to the named file, replacing it. The library
// prints its message when the file cannot be written; false then.
bool WriteReportFile(const std::string& name, const std::string& text);

}  // namespace weighoff
