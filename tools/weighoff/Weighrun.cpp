#include "Weighoff.h"

#include "AllocFile.h"
#include "AxleFile.h"
#include "Evaluation.h"
#include "FileCopy.h"
#include "Platform.h"
#include "Process.h"
#include "ScratchFiles.h"
#include "TrainFile.h"

#include <cstdio>
#include <string>
#include <vector>

namespace weighoff {

namespace {

const char* const kScratch[2] = {"METHOD1", "METHOD2"};

// Starts a companion program with the scratch name and waits for it. Its
// exit status is not judged: what it leaves behind is.
void RunCompanion(const char* program, const std::string& scratch, const char* option = nullptr) {
    std::vector<std::string> args{scratch};
    if (option) args.emplace_back(option);
    const plat::ProcessResult r = plat::RunOnPath(program, args);
    if (!r.started)
        std::printf("%s could not be started: no such program on PATH.\n", program);
    else if (r.signal != 0)
        std::printf("%s %s ended by signal %d.\n", program, scratch.c_str(), r.signal);
}

// A fresh scratch copy of the train's typed files, without the files the
// companions are to make.
void PrepareScratch(const std::string& base, const std::string& scratch) {
    DeleteMatching(scratch + ".*");
    for (const CopyFailure& f : CopyTypedFiles(base, scratch))
        std::printf("Error %u copying \"%s\" to \"%s\"\n", f.error, f.source.c_str(), f.target.c_str());
    plat::DeleteFile(scratch + ".010");
    DeleteMatching(scratch + ".04*");
    plat::DeleteFile(scratch + ".035");
    plat::DeleteFile(scratch + ".037");
}

// The mended consist becomes the scratch train's consist. Without a mended
// one the scratch train has no consist at all, so an unmended or stale one
// is never scored.
void TakeMendedConsist(const std::string& scratch) {
    const std::string mended = scratch + ".037";
    const std::string consist = scratch + ".035";
    if (plat::FileExists(mended) && plat::CopyFileBytes(mended, consist)) return;
    plat::DeleteFile(consist);
}

void BuildMethod1(const std::string& base) {
    const std::string s = kScratch[0];
    PrepareScratch(base, s);
    RunCompanion("TAGPAIR", s);
    RunCompanion("CONSMEND", s);
    TakeMendedConsist(s);
}

// METHOD2 pairs the axles with the train turned end for end, then turns the
// allocation back. False when it had to be abandoned.
bool BuildMethod2(const std::string& base) {
    const std::string s = kScratch[1];
    const std::string axleName = s + ".010";
    PrepareScratch(base, s);
    RunCompanion("TAGPAIR", s, "/AB2CARONLY");

    CAxleFile axles;
    std::vector<uint8_t> recorded;
    bool ok = axles.Load(axleName.c_str()) && axles.GetCount() > 0 && ReadWholeFile(axleName, recorded);
    if (!ok) std::printf("METHOD2 abandoned: no axles in \"%s\".\n", axleName.c_str());
    bool turned = false;
    if (ok) {
        ok = axles.Reverse() && axles.SaveAs(axleName.c_str());
        turned = ok;
        if (!ok) std::printf("METHOD2 abandoned: \"%s\" could not be turned end for end.\n", axleName.c_str());
    }
    if (ok) {
        DeleteMatching(s + ".04*");
        RunCompanion("TAGPAIR", s, "/AB2CARONLY");
        const std::string allocName = s + ".041";
        CAllocFile alloc;
        ok = alloc.Load(allocName.c_str()) && alloc.GetCount() > 0 && alloc.Reverse(axles) &&
             alloc.SaveAs(allocName.c_str());
        if (!ok) std::printf("METHOD2 abandoned: \"%s\" could not be turned back.\n", allocName.c_str());
    }
    if (turned) {
        // Back to the recorded order; should that fail, the recorded bytes
        // themselves go back.
        if (!(axles.Reverse() && axles.SaveAs(axleName.c_str()))) {
            ok = false;
            if (!::WriteNewFile(axleName, recorded.data(), recorded.size()))
                std::printf("\"%s\" could not be restored.\n", axleName.c_str());
        }
    }
    if (!ok) {
        plat::DeleteFile(s + ".035");
        return false;
    }
    RunCompanion("TAGPAIR", s);
    RunCompanion("CONSMEND", s);
    TakeMendedConsist(s);
    return true;
}

// 0: METHOD1 wins, 1: METHOD2 wins, -1: neither was evaluated.
int ChooseMethod(const ConsistReport& m1, const ConsistReport& m2) {
    if (!m1.evaluated && !m2.evaluated) return -1;
    if (!m2.evaluated) return 0;
    if (!m1.evaluated) return 1;
    if (m1.axleErrors != m2.axleErrors) return m2.axleErrors < m1.axleErrors ? 1 : 0;
    if (m1.gClean != m2.gClean) return m2.gClean > m1.gClean ? 1 : 0;
    if (m1.shortCars != m2.shortCars) return m2.shortCars < m1.shortCars ? 1 : 0;
    if (m1.totalDisqualifiers != m2.totalDisqualifiers) return m2.totalDisqualifiers < m1.totalDisqualifiers ? 1 : 0;
    return 0;
}

// The directory of a name ("." when it has none) and its last component.
void SplitDirectory(const std::string& name, std::string& dir, std::string& leaf) {
    std::string d;
    SplitName(name, d, leaf);
    dir = d.empty() ? "." : d;
}

// Why the base or report name cannot be used; "" when they can.
std::string Refusal(const std::string& base, const std::string& report, bool toFile) {
    std::string baseDir, baseLeaf;
    SplitDirectory(base, baseDir, baseLeaf);
    if (baseLeaf.empty()) return "The base name is empty.";
    if (HasWildcard(base)) return "The base name \"" + base + "\" holds a wildcard.";
    for (const char* s : kScratch)
        if (SameFile(base, s)) return "The base name \"" + base + "\" is a scratch name of this program.";
    if (toFile) {
        // Compare in the directory of each: a report name that is a typed
        // file of the train or a scratch file would be overwritten.
        std::string reportDir, reportLeaf;
        SplitDirectory(report, reportDir, reportLeaf);
        if (plat::WildcardMatch(baseLeaf + ".0*", reportLeaf) && SameFile(reportDir + "/" + baseLeaf, base))
            return "The report file \"" + report + "\" is a file of the train.";
        for (const char* s : kScratch) {
            if ((plat::WildcardMatch(s, reportLeaf) || plat::WildcardMatch(std::string(s) + ".*", reportLeaf)) &&
                SameFile(reportDir + "/" + s, s))
                return "The report file \"" + report + "\" is a scratch file of this program.";
        }
        for (const std::string& typed : TypedFiles(base))
            if (SameFile(report, typed)) return "The report file \"" + report + "\" is a file of the train.";
    }
    if (TypedFiles(base).empty()) return "No files match \"" + base + ".0*\".";
    return "";
}

}  // namespace

int WeighrunMain(int argc, const char* const* argv) {
    if (argc < 2) return kWeighrunOk;
    const std::string base = CutTrainName(argv[1]);
    const bool toFile = argc > 2;
    const std::string reportName = toFile ? argv[2] : "";

    const std::string refusal = Refusal(base, reportName, toFile);
    if (!refusal.empty()) {
        std::printf("%s Nothing done.\n", refusal.c_str());
        return kWeighrunRefused;
    }
    // The scratch trains live in the current directory: one run at a time.
    plat::FileLock lock;
    if (!lock.Acquire(".", true)) {
        std::printf("The current directory is in use by another comparison. Nothing done.\n");
        return kWeighrunBusy;
    }

    BuildMethod1(base);
    const bool method2Built = BuildMethod2(base);

    const ConsistReport m1 = EvaluateConsist(std::string(kScratch[0]) + ".035", Scoring::kUnscored, stdout);
    const ConsistReport m2 =
        method2Built ? EvaluateConsist(std::string(kScratch[1]) + ".035", Scoring::kUnscored, stdout) : ConsistReport{};
    const int winner = ChooseMethod(m1, m2);

    std::string text = ReportBody(kScratch[0], kScratch[1], m1, m2);
    text += "                         -------    -------\n";
    if (winner >= 0) text += WinnerLine(winner == 0);

    int status = kWeighrunOk;
    if (toFile) {
        if (!WriteReportFile(reportName, text)) status = kWeighrunWriteFailed;
    } else {
        std::fputs(text.c_str(), stdout);
    }
    if (winner < 0) {
        std::printf("Neither method's consist could be evaluated: the train's files are left as they were.\n");
        return kWeighrunNoWinner;
    }
    const auto failures = CopyTypedFiles(kScratch[winner], base);
    for (const CopyFailure& f : failures)
        std::printf("Error %u copying \"%s\" to \"%s\"\n", f.error, f.source.c_str(), f.target.c_str());
    if (!failures.empty()) status = kWeighrunWriteFailed;
    return status;
}

}  // namespace weighoff
