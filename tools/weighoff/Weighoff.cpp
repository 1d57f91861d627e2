#include "Weighoff.h"

#include "Evaluation.h"
#include "Platform.h"
#include "TrainFile.h"

#include <cstdio>
#include <string>

namespace weighoff {

int WeighoffMain(int argc, const char* const* argv) {
    if (argc < 3) {
        std::fputs("Syntax: Weighoff TRAIN1 TRAIN2 <ReportFilename>\r\n\r\n"
                   "Winning train will have a \"BASENAME.WON\" file created.\r\n",
                   stdout);
        return kWeighoffOk;
    }
    const std::string train[2] = {CutTrainName(argv[1]), CutTrainName(argv[2])};
    const std::string won[2] = {train[0] + ".WON", train[1] + ".WON"};
    const bool toFile = argc > 3;
    const std::string reportName = toFile ? argv[3] : "";

    // The report replaces its file: it must not be one the comparison reads
    // or marks.
    if (toFile) {
        for (int t = 0; t < 2; ++t) {
            if (SameFile(reportName, train[t] + ".035") || SameFile(reportName, won[t])) {
                std::printf("Report file \"%s\" is a file of train %s: nothing done.\n", reportName.c_str(),
                            train[t].c_str());
                return kWeighoffReportRefused;
            }
        }
    }

    plat::DeleteFile(won[0]);
    plat::DeleteFile(won[1]);

    const ConsistReport r1 = EvaluateConsist(train[0] + ".035", Scoring::kScored, stdout);
    const ConsistReport r2 = EvaluateConsist(train[1] + ".035", Scoring::kScored, stdout);

    // Train 2 wins when train 1 could not be evaluated, train 1 when train 2
    // could not; otherwise the lower score, train 1 on a tie.
    bool firstWins = false;
    if (!r1.evaluated)
        firstWins = false;
    else if (!r2.evaluated)
        firstWins = true;
    else
        firstWins = !(r2.score < r1.score);
    if (!r1.evaluated && !r2.evaluated)
        std::printf("Neither consist could be evaluated: %s is marked by default.\n", train[1].c_str());

    std::string text = ReportBody(train[0], train[1], r1, r2);
    text += "\n";
    text += "Aggregate Scores\n";
    text += "----------------------\n";
    char line[128];
    std::snprintf(line, sizeof line, "  Method 1............     %-3lu\t   %-3lu\n", static_cast<unsigned long>(r1.score),
                  static_cast<unsigned long>(r2.score));
    text += line;
    text += "                         -------    -------\n";
    text += WinnerLine(firstWins);

    bool ok = true;
    if (toFile)
        ok = WriteReportFile(reportName, text);
    else
        std::fputs(text.c_str(), stdout);

    plat::DeleteFile(won[0]);
    plat::DeleteFile(won[1]);
    if (!WriteMarkerFile(won[firstWins ? 0 : 1])) ok = false;
    return ok ? kWeighoffOk : kWeighoffWriteFailed;
}

}  // namespace weighoff
