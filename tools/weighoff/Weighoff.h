// Weighoff compares two processed versions of one train by their consists
// and marks the better one with a <base>.WON file. Weighrun makes the two
// versions itself, in the scratch trains METHOD1 and METHOD2, through the
// companion programs TAGPAIR and CONSMEND, and copies the better one back.
#pragma once

namespace weighoff {

// Exit statuses of Weighoff.
constexpr int kWeighoffOk = 0;
constexpr int kWeighoffWriteFailed = 1;     // the report or the .WON file could not be written
constexpr int kWeighoffReportRefused = 2;   // the report name is a file of a compared train

// Exit statuses of Weighrun.
constexpr int kWeighrunOk = 0;
constexpr int kWeighrunNoWinner = 1;        // neither method's consist could be evaluated
constexpr int kWeighrunWriteFailed = 2;     // a file copied back, or the report, could not be written
constexpr int kWeighrunRefused = 3;         // the base or report name was refused; nothing changed
constexpr int kWeighrunBusy = 4;            // another run holds the scratch directory

// Whole programs: console output on stdout; the result is the exit status.
int WeighoffMain(int argc, const char* const* argv);
int WeighrunMain(int argc, const char* const* argv);

}  // namespace weighoff
