// CTrainSummaryFile: train summary file (.034), a single record.
#pragma once

#include "SummaryLayout.h"
#include "TrainFile.h"

#include <string>

// A timestamp decoded from a packed date word and a packed time word.
struct SummaryTime {
    int seconds = 0;
    int minutes = 0;
    int hours = 0;
    int day = 0;
    int month = 0;  // 0-based (January = 0)
    int year = 0;   // four digits
};

// Decodes a packed date word (month, day, four-digit year) and a packed
// time word (seconds, -, hours, minutes), all BCD.
SummaryTime DecodeSummaryTime(uint32_t dateWord, uint32_t timeWord);
// The packed date word and time word of a timestamp (the inverse).
uint32_t PackSummaryDate(const SummaryTime& t);
uint32_t PackSummaryTime(const SummaryTime& t);

class CTrainSummaryFile : public CTrainFile {
public:
    CTrainSummaryFile();
    // Adds ".034", loads and decodes the two timestamps.
    int Load(const char* name) override;
    // Creates the record when the file has none (1); 0 when one exists or
    // it cannot be made.
    int EnsureRecord();
    // The record: the start of the record area (empty when there is none).
    std::span<uint8_t> Record();
    uint32_t Get(const layout::Field& f) const;
    bool Set(const layout::Field& f, uint32_t v);
    std::string GetTrainId() const;
    // Stores at most 19 characters and the terminator.
    void SetTrainId(const std::string& id);

    // Refreshes the decoded timestamps from the record.
    void DecodeTimes();
    const SummaryTime& First() const { return m_First; }
    const SummaryTime& Last() const { return m_Last; }

    std::string FormatFirstDate() const;  // "MM-DD-YY"
    std::string FormatFirstTime() const;  // "HH:MM:SS"
    std::string FormatLastDate() const;
    std::string FormatLastTime() const;

private:
    SummaryTime m_First;
    SummaryTime m_Last;
};
