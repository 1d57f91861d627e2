#include "Wipezero.h"

#include "ExceptionGuard.h"
#include "FileAccess.h"
#include "Platform.h"
#include "ReservedAreas.h"
#include "Tag.h"
#include "ToolFrame.h"
#include "WideText.h"

#include <string>

namespace {

// Opens one found file, identifies it from its header and extension and runs
// its type's routine. Files that cannot be opened or identified are passed
// over without a message.
void VisitFile(const std::wstring& path, const std::wstring& foundName) {
    CTag file;
    if (!file.SetFileName(path.c_str(), L"")) return;  // the path is too long to name
    if (!file.OpenAndIdentify()) return;
    CleanReservedAreas(file, foundName);
}

UsageText WipezeroUsage() {
    return UsageText{
        L"\"TRAINFILE BASE NAME\"",
        [](const wchar_t* indent) {
            WPrintOut(L"\n%lsSet the reserved data areas for the Velmar binary files to all zero bytes.\n", indent);
        },
        __DATE__, __TIME__};
}

}  // namespace

int32_t RunWipezero(int argc, wchar_t** argv) {
    if (argc != 2 || !argv || !argv[1]) return kStatusUsage;
    const std::wstring base = argv[1];
    // Wildcards are welcome: they visit the files of every matching train.
    if (base.find(L'.') != std::wstring::npos) {
        WPrintErr(L"\n\"TRAINFILE BASE NAME\" may not contain an extension.\n");
        return kStatusUsage;
    }
    if (base.empty()) {
        WPrintErr(L"\n\"TRAINFILE BASE NAME\" must not be empty.\n");
        return kStatusUsage;
    }

    const std::wstring pattern = base + L".*";
    plat::FindFiles search;
    if (!search.FindFirst(Utf8FromWide(pattern))) {
        WPrintErr(L"\nNo files found matching \"%ls\".\n", pattern.c_str());
        return kStatusUsage;
    }
    // Each file is opened in the directory the search looked in, so a base
    // name with a directory part works from anywhere.
    const std::wstring directory = WideFromUtf8(search.Directory());
    do {
        if (search.IsDirectoryEntry()) continue;
        const std::wstring name = WideFromUtf8(search.Name());
        VisitFile(directory + name, name);
    } while (search.FindNext());
    return kStatusSuccess;
}

int32_t WipezeroMain(int argc, char** argv) {
    return WideMain(argc, argv, RunWipezero, WipezeroUsage(), GuardMode::Guarded);
}
