// Operation table and the run report.
#include "Trimwell.h"

namespace {

const char* const kDescriptions[kHighestOperation + 1] = {
    "",
    "Calculate XDUCER error.",
    "Recalc Axle Speeds.",
    "Smooth speeds (forward).",
    "Smooth speeds (reverse).",
    "Normalize truck spacing.",
    "Locating missing wheel events.",
    "Movement Display.",
    "007 Event Fixup.",
    "060 Speed and Dir Fixup.",
    "Checking for missing .034 file.",
    "Combining 035 files.",
    "Evaluating 035 series.",
    "Combining trains..",
    "Checking axle allocations...",
    "Processing Wheel Digitizer Data...",
    "Merging dual antenna 060 file",
    "Shifting 060 timestamps...",
    "",
    "Checking for passenger train...",
    "Processing as passenger train...",
    "Fixing articulated passenger train axle counts...",
};

// Shown in the row of an operation this build does not carry yet.
const char* const kNotAvailable = "not available in this build";

// Result of the operations that rewrite a file: "OK." only when the file
// was written, so a row never reports success for work that was not done.
const char* Outcome(bool written) { return written ? "OK." : "Failed."; }

void PrintRowStart(FILE* out, unsigned row, unsigned op, const char* description) {
    std::fprintf(out, "%2u %3u ", row, op);
    std::fprintf(out, "%-30s ", description);
}

// Runs one operation; returns the number of rows it used (OP16 uses two).
unsigned RunOperation(const TrimwellSettings& s, unsigned row, unsigned op, FILE* out) {
    PrintRowStart(out, row, op, OperationDescription(op));
    switch (op) {
    case 1: {
        const double error = CalcTransducerError(s.baseName);
        std::fprintf(out, "Error=%05.2f ", error);
        if (s.writeAbSpacing)
            WriteABSpacing(s.baseName, error, out);
        else
            std::fputs("(AB not changed)", out);
        break;
    }
    case 2:
        std::fputs(Outcome(RecalcAxleSpeeds(s.baseName)), out);
        break;
    case 3:
    case 4:
        std::fputs(Outcome(SmoothSpeeds(s.baseName, op == 3 ? 0 : 1)), out);
        break;
    case 5:
        std::fputs(Outcome(NormalizeTruckSpacing(s.baseName)), out);
        break;
    case 6:
        std::fputs(Outcome(FixOrphanedWheelEvents(s.baseName, out)), out);
        break;
    case 7:
        std::fputs(Outcome(ShowMovement(s.baseName, out)), out);
        break;
    case 8:
        std::fputs(Outcome(FixupIoEvents(s.baseName, out)), out);
        break;
    case 12:
        EvaluateConsistSeries(s.baseName, out);
        break;
    case 18:
        HalveSpeeds(s.baseName);
        break;
    case 13:
        if (s.train1.empty() || s.train2.empty()) {
            std::fputs("Missing one or both source files (\"/T1=\" or \"/T2=\").\n", out);
            break;
        }
        std::fputs(kNotAvailable, out);
        break;
    case 16:
        std::fputs(kNotAvailable, out);
        std::fputs("\n", out);
        PrintRowStart(out, row + 1, op, "Merging dual antenna 064 file");
        std::fputs(kNotAvailable, out);
        std::fputs("\n", out);
        return 2;
    default:
        if (op >= 1 && op <= kHighestOperation)
            std::fputs(kNotAvailable, out);
        else
            std::fputs("Unknown operation.", out);
        break;
    }
    std::fputs("\n", out);
    return 1;
}

}  // namespace

const char* OperationDescription(unsigned op) { return op <= kHighestOperation ? kDescriptions[op] : ""; }

void RunTrimwell(const TrimwellSettings& s, FILE* out) {
    std::fputs("#  Op#  Description                   Result\n"
               "-- --- ------------------------------ -------------------------\n",
               out);
    unsigned row = 1;
    for (unsigned op : s.operations) {
        RunOperation(s, row, op, out);
        ++row;
    }
    std::fputs("\n", out);
    std::fflush(out);
}
