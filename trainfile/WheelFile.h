// CWheelFile: wheel transducer event file (.012), one record per detector
// A or B event, with the AB spacing in the header.
#pragma once

#include "TrainFile.h"
#include "WheelLayout.h"

// Speed in mph of a wheel that crosses an AB spacing of tenths (tenths of an
// inch) in ms milliseconds.
double AbSpacingSpeedMph(unsigned tenths, double ms);

class CWheelFile : public CTrainFile {
public:
    int Load(const char* name) override;  // adds ".012"

    uint8_t GetABSpacing() const;
    void SetABSpacing(uint8_t tenths);  // written by a later Save

    uint8_t GetDetector() const;        // 0 = A, 1 = B
    int HasEventFlag() const;           // bit 0 of byte 1
    void SetEventFlag(bool on);
    uint32_t GetRawTime() const;
    void SetRawTime(uint32_t raw);
    int GetTime() const;                // ms: raw x time scale, truncated
    void SetTime(unsigned ms);          // raw = ms / time scale, truncated
    // Doubles every record's raw timestamp (shift left, top bit lost), which
    // halves every speed. The cursor ends on the last record. Returns 0.
    int DoubleTimes();
    // Replaces the record area by whole records of the header's record
    // length (a trailing partial record is dropped) and counts them; the
    // cursor goes to record 0. 0 when the record length is 0 or more than
    // 65,535 records are given.
    int ReplaceRecords(std::vector<uint8_t> area);

private:
    // Fields of the current record, limited to the header's record length:
    // a record shorter than a field reads it as 0 and is not written.
    uint32_t RecordField(const layout::Field& f) const;
    bool SetRecordField(const layout::Field& f, uint32_t v);
};
