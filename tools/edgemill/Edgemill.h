// edgemill: turns the IO events of wheel detectors A and B (.007) into the
// axle event file (.010, net forward axles) and the axle movement file (.011,
// every wheel passage in either direction, with back-out flags).
#pragma once

#include "IoLayout.h"

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

struct EdgemillOptions {
    bool reverse = false;  // /r: take the first AB transition as the reverse direction
    bool report = false;   // /p: print the axle direction report
    uint32_t maskA = layout::io::kDefaultMaskA;  // WDA bit(s) of the input word
    uint32_t maskB = layout::io::kDefaultMaskB;  // WDB bit(s) of the input word
};

// Exit statuses of the program.
constexpr int kEdgemillOk = 0;
constexpr int kEdgemillUsage = -1;
constexpr int kEdgemillCannotOpen = -2;
constexpr int kEdgemillNoPassage = -3;
constexpr int kEdgemillNotPreprocessed = -4;

// Parses argv (argv[0] is the program). False when the argument count calls
// for the usage text.
bool ParseEdgemillArgs(int argc, const char* const* argv, std::string& baseName, EdgemillOptions& opt);

// The usage text, with the program's build date.
std::string EdgemillUsage();

// Result of converting one IO event file held in memory.
struct EdgemillConversion {
    int status = kEdgemillOk;        // 0, -3 or -4
    std::string console;             // everything the run prints
    std::vector<uint8_t> axles;      // whole .010 file; empty: no .010 is kept
    std::vector<uint8_t> movements;  // whole .011 file; empty: no .011 is kept
};

// Converts the bytes of a .007 file (header and records; a short file reads
// as zeros where its header is missing, a partial last record is ignored).
EdgemillConversion ConvertIoEvents(std::span<const uint8_t> io, const EdgemillOptions& opt);

// Whole program: reads <base>.007, writes <base>.010 and <base>.011, prints
// to out and returns the exit status.
int EdgemillMain(int argc, const char* const* argv, FILE* out);
