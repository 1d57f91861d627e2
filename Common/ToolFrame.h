// The frame of a current-library tool: the status word that becomes the exit
// code, the wide-character entry point, the usage text, and the checks and
// file opening every tool performs on its train base name.
#pragma once

#include "Tag.h"

#include <cstdint>
#include <functional>
#include <string>

// Status word values (the exit code of a tool; the shell shows the low 8 bits).
enum ToolStatus : int32_t {
    kStatusSuccess = 0,
    kStatusUsage = 32767,          // wrong command line; the usage text is printed
    kStatusExtension = 32766,      // base name contains an extension
    kStatusWildcard = 32765,       // base name contains a wildcard
    kStatusNameTooLong = 32764,    // base name plus extension too long
    kStatusOpenFailed = 32763,     // open failed
    kStatusTooShort = 32762,       // missing, empty or shorter than the header
    kStatusEmpty = 32761,          // the file has no entries
    kStatusException = 32758,      // a fatal fault ended the run
};

// The label the base-name messages use.
constexpr const wchar_t* kBaseNameLabel = L"TRAINFILE BASE NAME";
// Indent given to the tools' usage descriptions.
constexpr const wchar_t* kUsageIndent = L"       ";

// Status codes OpenTrainFile sets for its three failures. A tool that
// numbers them differently passes its own set.
struct OpenFailureCodes {
    int32_t openFailed = kStatusOpenFailed;
    int32_t tooShort = kStatusTooShort;
    int32_t empty = kStatusEmpty;
};

// The run context of one tool run; tools derive their own contexts from it.
class CToolContext {
public:
    CToolContext() = default;
    virtual ~CToolContext() = default;

    // Checks a command-line base name and stores it upper-cased in dest:
    // wildcards (status 32765, message on standard output) and dots (status
    // 32766, standard error) are refused. At most 259 characters are kept;
    // an empty name is accepted (the files it names are then simply not
    // found).
    int ValidateBaseName(const wchar_t* argument, std::wstring& dest, const wchar_t* label);
    // Resets the context and validates argv[1] into m_szBaseName; status 0
    // when it is a valid base name. Surplus arguments are the tool's concern.
    int ParseBaseNameArgument(int argc, wchar_t** argv);
    // Names a file object from base and extension and upper-cases the whole
    // name; a name of 260 characters or more prints the length message
    // (standard error) and sets status 32764.
    int SetTrainFileName(CTag& file, const wchar_t* base, const wchar_t* extension);
    // Opens a named file object. Failures print their message on standard
    // error and set the status: open failed, shorter than the 64-byte header
    // (also missing or zero-length), or without entries unless allowEmpty.
    // On success the first entry is selected.
    int OpenTrainFile(CTag& file, int allowEmpty, const OpenFailureCodes& codes = OpenFailureCodes());

    int32_t m_nStatus = kStatusUsage;
    std::wstring m_szBaseName;
};

// What a tool's usage text says besides the program path.
struct UsageText {
    const wchar_t* synopsis;                        // e.g. L"\"TRAINFILE BASE NAME\""
    std::function<void(const wchar_t* indent)> describe;  // prints the description
    // Build line: with time set, "\nBuilt: %s %s\n" (date, time); otherwise
    // "\nBuilt: %s\n" (a whole timestamp in date).
    const char* date;
    const char* time;
};

// Prints "\nUsage: PROGRAM SYNOPSIS\n", the description and the build line
// to standard output.
void PrintUsage(const wchar_t* programPath, const UsageText& usage);

// Whether the run is wrapped in the exception guard (ExceptionGuard.h).
enum class GuardMode { None, Guarded };

// The tool's run function receives the command line as wide strings and
// returns the status word.
using ToolRun = std::function<int32_t(int argc, wchar_t** argv)>;

// The wide-character entry point: converts the UTF-8 command line once,
// calls the run function (inside the exception guard when asked), prints the
// usage text with argv[0] when the status is 32767, flushes the output and
// returns the status for main to return.
int32_t WideMain(int argc, char** argv, const ToolRun& run, const UsageText& usage,
                 GuardMode guard = GuardMode::None);
