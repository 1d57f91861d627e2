// Idsweep: checks the vehicles of a train's consist (.035) against the
// extended data of their value-7 railcar tags, sets or clears the tag reads'
// axle-count and length exception flags, and writes the consist under the
// output extension (TMP unless given) when any flag changed. The .035 itself
// is never written.
#include "CTAG.h"
#include "Platform.h"
#include "TagScan.h"

#include <memory>
#include <string>

namespace {

constexpr const wchar_t* kDefaultExtension = L"TMP";
constexpr const wchar_t* kConsistExtension = L".035";
constexpr const wchar_t* kConsistExtensionBare = L"035";
constexpr int32_t kStatusSaveFailed = 32760;

struct CIdsweepContext : CToolContext {
    uint32_t m_nChanges = 0;  // tag reads whose flags changed
    std::unique_ptr<CTag035> m_pConsist;
    std::wstring m_szExtension = kDefaultExtension;
};

// The output must not land on the consist itself: ".035" and "035" name it,
// and so does an empty extension (the consist class's save adds ".035" to a
// name without one).
bool IsRefusedExtension(const std::wstring& extension) {
    return extension.empty() || extension == kConsistExtension || extension == kConsistExtensionBare;
}

// Checks the existing tag reads of every entry; returns the number of tag
// reads whose flags changed.
uint32_t ScanConsist(CTag035& consist) {
    uint32_t changes = 0;
    do {
        const int reads = consist.GetTagCount();
        for (int k = 0; k < reads && k <= 1; ++k) changes += idsweep::CheckTagRead(consist.GetCurrent(), k);
    } while (consist.Next());
    return changes;
}

int32_t RunIdsweep(int argc, wchar_t** argv) {
    CIdsweepContext ctx;
    ctx.ParseBaseNameArgument(argc, argv);
    ctx.m_pConsist = std::make_unique<CTag035>();
    if (ctx.m_nStatus != kStatusSuccess) return ctx.m_nStatus;

    if (argc == 3) {
        ctx.m_szExtension = argv[2];
        UpperCaseAscii(ctx.m_szExtension);
        if (IsRefusedExtension(ctx.m_szExtension)) {
            WPrintErr(L"\nOuput extension may not match <<<%ls>>> or <<<%ls>>>.\n", kConsistExtension,
                      kConsistExtensionBare);
            return kStatusUsage;
        }
    } else if (argc != 2) {
        return kStatusUsage;
    }

    CTag035& consist = *ctx.m_pConsist;
    const wchar_t* base = ctx.m_szBaseName.c_str();
    if (!ctx.SetTrainFileName(consist, base, kConsistExtension)) return ctx.m_nStatus;
    if (!ctx.OpenTrainFile(consist, 0)) return ctx.m_nStatus;
    WPrintOut(L"\n----------------------------------------\nIdsweep(\"%ls\") ...", base);

    ctx.m_nChanges = ScanConsist(consist);
    WPrintOut(L" %u\n", ctx.m_nChanges);
    if (ctx.m_nChanges == 0) return ctx.m_nStatus;

    std::wstring output;
    if (consist.SaveCopy(output, base, ctx.m_szExtension.c_str(), kSetLength, 0)) {
        WPrintOut(L"\nFile written(\"%ls\").\n", output.c_str());
    } else {
        WPrintErr(L"\nSave failed %lu, file <<<%ls>>>.\n", static_cast<unsigned long>(plat::GetLastError()),
                  output.c_str());
        ctx.m_nStatus = kStatusSaveFailed;
    }
    return ctx.m_nStatus;
}

void Describe(const wchar_t* indent) {
    WPrintOut(L"\n%lsThe optional output file extension %ls above is the default, .%ls will work the same. Do not use "
              L"035 or .035.\n%lsIf a railcar shows axle or length mismatch in the 035, check to see if it has a "
              L"Value 7 tag in the 03B.\n%lsIf so use the extended data to update those mismatches, and write the "
              L"results to the output file.\n",
              indent, kDefaultExtension, kDefaultExtension, indent, indent);
}

}  // namespace

int main(int argc, char** argv) {
    const UsageText usage{L"\"TRAINFILE BASE NAME\" [TMP]", Describe, __TIMESTAMP__, nullptr};
    return WideMain(argc, argv, RunIdsweep, usage);
}
