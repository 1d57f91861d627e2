// Weighpost: attaches the readings of the site's scale (.055) to the train's
// consist (.037 when the train has one, else .035) and rewrites the consist
// in place when that changes its bytes.
#include "CTAG.h"
#include "ScaleAssign.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

using weighpost::ScaleEntry;

// Weighpost reports its open failures one lower than the library.
constexpr int32_t kStatusScaleNameError = kStatusOpenFailed;  // 32763
constexpr int32_t kStatusFileError = kStatusTooShort;         // 32762
constexpr int32_t kStatusFileEmpty = kStatusEmpty - 1;         // 32760
// The consist needed rewriting but could not be written.
constexpr int32_t kStatusSaveFailed = kStatusFileEmpty - 1;    // 32759
constexpr OpenFailureCodes kScaleOpenCodes{kStatusTooShort, kStatusEmpty, kStatusFileEmpty};

struct CWeighpostContext : CToolContext {
    uint32_t m_nWritten = 0;  // 1 once the consist has been rewritten
    CTag035 m_Consist;
    CTag055 m_Scale;
};

// The scale file's entries from the current one on, each copied as a
// 24-byte block (zero-filled where the data ends first).
weighpost::ScaleSource ScaleEntries(CTag055& scale) {
    return [&scale, left = true]() mutable -> std::optional<ScaleEntry> {
        if (!left) return std::nullopt;
        ScaleEntry entry{};
        const std::span<const uint8_t> data = scale.Data();
        const size_t at = std::min(scale.GetCurrentOffset(), data.size());
        const size_t n = std::min(entry.size(), data.size() - at);
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), n, entry.begin());
        left = scale.Next() != 0;
        return entry;
    };
}

// Number of consist records the walk reaches, from record 0 (selected by the
// open) on. Stepping onto a record that runs past the data, or past one too
// short to step over, ends the walk with the consist's own message.
int ReachableRecords(CTag035& consist) {
    int reached = 1;
    while (reached < consist.GetCount() && consist.Next()) ++reached;
    return reached;
}

int32_t RunWeighpost(int argc, wchar_t** argv) {
    CWeighpostContext ctx;
    if (!ctx.ParseBaseNameArgument(argc, argv)) return ctx.m_nStatus;
    if (argc != 2) return kStatusUsage;
    const wchar_t* base = ctx.m_szBaseName.c_str();

    if (!ctx.SetTrainFileName(ctx.m_Scale, base, L".055")) {
        std::printf("\n055 file name format error.\n");
        return kStatusScaleNameError;
    }
    if (!ctx.OpenTrainFile(ctx.m_Scale, 0, kScaleOpenCodes)) return ctx.m_nStatus;

    if (!ctx.m_Consist.OpenAs(base, L".037") && !ctx.m_Consist.OpenAs(base, L".035")) {
        WPrintErr(L"\nFile open error <<<%ls>>>.\n", ctx.m_Consist.GetFileName().c_str());
        return kStatusFileError;
    }
    if (ctx.m_Consist.IsEmpty()) {
        WPrintErr(L"\nEmpty file <<<%ls>>>.\n", ctx.m_Consist.GetFileName().c_str());
        return kStatusFileEmpty;
    }
    WPrintOut(L"\n----------------------------------------\nWeighpost(\"%ls.055\") ...", base);
    int32_t status = kStatusSuccess;

    const std::span<const uint8_t> input = std::as_const(ctx.m_Consist).Data();
    std::vector<uint8_t> output =
        weighpost::AttachScaleEntries(input, ReachableRecords(ctx.m_Consist), ScaleEntries(ctx.m_Scale));
    if (!std::ranges::equal(output, input)) {
        // The rebuilt consist: the input's header over the new records.
        CTag035 image;
        std::ranges::copy(std::as_const(ctx.m_Consist).Header(), image.Header().begin());
        image.SetHeaderField(layout::header::kFileLength,
                             static_cast<uint32_t>(output.size() + layout::header::kSize));
        image.SetData(std::move(output));
        // A failed write has printed its message; the flag still tells that
        // the consist needed rewriting, and the status that it was not.
        if (!image.SaveAs(ctx.m_Consist.GetFileName().c_str(), kSetLength, 0)) status = kStatusSaveFailed;
        ctx.m_nWritten = 1;
    }
    WPrintOut(L" %u\n", ctx.m_nWritten);
    return status;
}

void Describe(const wchar_t* indent) {
    WPrintOut(L"\n%lsAssign 055 scale date to 035 using scale sequence numbers, but skipping distributed power.\n",
              indent);
}

}  // namespace

int main(int argc, char** argv) {
    const UsageText usage{L"\"TRAINFILE BASE NAME\"", Describe, __TIMESTAMP__, nullptr};
    return WideMain(argc, argv, RunWeighpost, usage);
}
