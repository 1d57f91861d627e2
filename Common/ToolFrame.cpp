#include "ToolFrame.h"

#include "ExceptionGuard.h"
#include "FileAccess.h"
#include "Platform.h"
#include "WideText.h"

#include <clocale>
#include <cstdio>
#include <vector>

int CToolContext::ValidateBaseName(const wchar_t* argument, std::wstring& dest, const wchar_t* label) {
    const std::wstring_view arg(argument ? argument : L"");
    if (!label) label = kBaseNameLabel;
    if (arg.find_first_of(L"?*") != std::wstring_view::npos) {
        WPrintOut(L"\n%ls must not contain (?*) wildcards!\n", label);
        m_nStatus = kStatusWildcard;
        return 0;
    }
    if (arg.find(L'.') != std::wstring_view::npos) {
        WPrintErr(L"\n%ls must not contain extension.\n", label);
        m_nStatus = kStatusExtension;
        return 0;
    }
    dest.assign(arg.substr(0, kMaxNameChars));
    UpperCaseAscii(dest);
    return 1;
}

int CToolContext::ParseBaseNameArgument(int argc, wchar_t** argv) {
    m_nStatus = kStatusUsage;
    m_szBaseName.clear();
    if (argc > 1 && argv && ValidateBaseName(argv[1], m_szBaseName, kBaseNameLabel)) m_nStatus = kStatusSuccess;
    return m_nStatus == kStatusSuccess ? 1 : 0;
}

int CToolContext::SetTrainFileName(CTag& file, const wchar_t* base, const wchar_t* extension) {
    if (!file.SetFileName(base, extension)) {
        WPrintErr(L"\n%ls length plus extension exceeds %u, the max allowed, %ls <<<%ls>>>, extension <<<%ls>>>.\n",
                  kBaseNameLabel, static_cast<unsigned>(kPathChars), kBaseNameLabel, base ? base : L"",
                  extension ? extension : L"");
        m_nStatus = kStatusNameTooLong;
        return 0;
    }
    file.UpperCaseFileName();
    return 1;
}

int CToolContext::OpenTrainFile(CTag& file, int allowEmpty, const OpenFailureCodes& codes) {
    if (!file.Open()) {
        const uint32_t err = plat::GetLastError();
        m_nStatus = codes.openFailed;
        if (file.GetFileSize() >= layout::header::kSize) {
            WPrintErr(L"\nOpen failed %lu, file <<<%ls>>>.\n", static_cast<unsigned long>(err),
                      file.GetFileName().c_str());
        } else {
            // The number shown is the status itself, as the site scripts expect.
            m_nStatus = codes.tooShort;
            WPrintErr(L"\nOpen failed %lu, file <<<%ls>>> length %u less than header length %u.\n",
                      static_cast<unsigned long>(codes.tooShort), file.GetFileName().c_str(), file.GetFileSize(),
                      static_cast<unsigned>(layout::header::kSize));
        }
        return 0;
    }
    if (!allowEmpty && file.IsEmpty()) {
        WPrintErr(L"\nEmpty file <<<%ls>>>.\n", file.GetFileName().c_str());
        m_nStatus = codes.empty;
        return 0;
    }
    file.SelectFirst();
    return 1;
}

void PrintUsage(const wchar_t* programPath, const UsageText& usage) {
    WPrintOut(L"\nUsage: %ls %ls\n", programPath ? programPath : L"", usage.synopsis ? usage.synopsis : L"");
    if (usage.describe) usage.describe(kUsageIndent);
    if (usage.time)
        std::printf("\nBuilt: %s %s\n", usage.date ? usage.date : "", usage.time);
    else
        std::printf("\nBuilt: %s\n", usage.date ? usage.date : "");
}

int32_t WideMain(int argc, char** argv, const ToolRun& run, const UsageText& usage, GuardMode guard) {
    // Narrow text handed to wide formats (%s) is read as UTF-8.
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "");

    std::vector<std::wstring> args;
    for (int i = 0; i < argc && argv && argv[i]; ++i) args.push_back(WideFromUtf8(argv[i]));
    std::vector<wchar_t*> wargv;
    for (auto& a : args) wargv.push_back(a.data());
    wargv.push_back(nullptr);
    const int wargc = static_cast<int>(args.size());

    int32_t status = kStatusUsage;
    if (guard == GuardMode::Guarded)
        status = RunGuarded([&] { return run(wargc, wargv.data()); });
    else
        status = run(wargc, wargv.data());

    if (status == kStatusUsage) PrintUsage(wargc > 0 ? wargv[0] : L"", usage);
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}
