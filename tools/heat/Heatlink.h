// heatlink: joins the hot-bearing detector readings (.018) to the train's
// consist (.035) car by car and writes the correlation file (.071) in the
// current directory, named after the .018.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Exit statuses of the program.
constexpr int kLinkOk = 0;
constexpr int kLinkUsage = -1;
constexpr int kLinkCannotOpen = -2;     // an input is missing or no regular file
constexpr int kLinkShortInput = -3;     // a header, a consist record or a reading is cut short
constexpr int kLinkMismatch = -4;       // the readings do not match the consist's axles
constexpr int kLinkCannotCreate = -5;
constexpr int kLinkWriteFailed = -6;
constexpr int kLinkSizeMismatch = -7;

// True when the text from the last '.' of name is exactly ext.
bool HasExtension(const std::string& name, const char* ext);
// The output name: the part of the .018 name after its directory (ended by
// '\' or '/') and before its last '.', with ".071".
std::string CorrelationFileName(const std::string& detectorName);

// Result of correlating the two inputs held in memory.
struct Correlation {
    int status = kLinkOk;
    uint16_t cars = 0;
    uint32_t axles = 0;
    std::vector<uint8_t> records;  // car headers, each followed by its axle entries
};
// Correlates whole .018 and .035 file images.
Correlation CorrelateReadings(std::span<const uint8_t> detector, std::span<const uint8_t> consist);

// The whole .071 image: header (local time of writing, counts, the
// detector header's byte 39) and the records.
std::vector<uint8_t> CorrelationFileImage(const Correlation& c, uint8_t carriedByte);

std::string HeatlinkUsage();

// Whole program: returns the exit status (only the usage is printed).
int HeatlinkMain(int argc, const char* const* argv);
