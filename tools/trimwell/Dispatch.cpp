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


// Result of the operations that rewrite a file: "OK." only when the file
// was written, so a row never reports success for work that was not done.
const char* Outcome(bool written) { return written ? "OK." : "Failed."; }

void PrintRowStart(FILE* out, unsigned row, unsigned op, const char* description) {
    std::fprintf(out, "%2u %3u ", row, op);
    std::fprintf(out, "%-30s ", description);
}

// One dual antenna merge and its result: the records of a file written,
// whatever their number, or why nothing was written.
void PrintMergeResult(FILE* out, const char* output, const std::string& base, const char* ext) {
    bool written = false;
    const int result = MergeDualAntenna(base, output, ext, &written, out);
    if (written)
        std::fprintf(out, "%s: %d recs\n", output, result);
    else if (result < 0)
        std::fprintf(out, "Error %d occurred\n", result);
    else
        std::fputs("No changes; output file not written.\n", out);
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
    case 19: {
        const int found = DetectPassengerTrain(s.baseName, out);
        if (found >= 0) std::fputs(found ? "Done. Passenger train found.\n" : "Done. Not a passenger train.\n", out);
        break;
    }
    case 20:
    case 21: {
        const int written = op == 20 ? RegeneratePassengerAllocation(s.baseName, out)
                                     : FixArticulatedAxleCounts(s.baseName, out);
        if (written > 0)
            std::fprintf(out, "Done. New \"%s.%s\" created...\n", s.baseName.c_str(), op == 20 ? "041" : "035");
        else if (written == 0)
            std::fputs("Done. No change.\n", out);
        break;
    }
    case 13:
        if (s.train1.empty() || s.train2.empty()) {
            std::fputs("Missing one or both source files (\"/T1=\" or \"/T2=\").\n", out);
            break;
        }
        CombineTrains(s.train1, s.train2, s.baseName, out);
        break;
    case 14:
        FixupAllocations(s.baseName, "FIXUP.041", out);
        break;
    case 15:
        ProcessDigitizerData(s.baseName, out);
        break;
    case 9:
        FixupTagSpeedDir(s.baseName, out);
        break;
    case 10:
        CreateTrainSummary(s.baseName, out);
        break;
    case 11:
        CombineConsistSeries(s.baseName, nullptr, out);
        break;
    case 16:
        PrintMergeResult(out, "MERGED.060", s.baseName, ".060");
        std::fputs("\n", out);
        PrintRowStart(out, row + 1, op, "Merging dual antenna 064 file");
        PrintMergeResult(out, "MERGED.064", s.baseName, ".064");
        std::fputs("\n", out);
        return 2;
    case 17:
        if (ShiftTagTimes(s.baseName, s.timeShiftMs, out))
            std::fprintf(out, "Done. Filename \"%s.S60\" created...\n", s.baseName.c_str());
        else
            std::fputs("Failed.\n", out);
        break;
    default:
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
