// CTagFile: tag read files (.060, and .061 to .067 for further readers), one
// 64-byte record per AEI tag read.
#pragma once

#include "TagDecode.h"
#include "TagLayout.h"
#include "TrainFile.h"

#include <string>

class CTagFile : public CTrainFile {
public:
    // Loads the name as given.
    int Load(const char* name) override;
    // Adds ext (".060", ".064" ...) to a base name by the naming rule, loads.
    int LoadTyped(const char* base, const char* ext);

    // Timestamp of the current record in ms (raw x time scale, truncated);
    // SetTime stores ms / time scale, truncated.
    int GetTime() const;
    void SetTime(uint32_t ms);
    uint32_t GetRawTime() const { return GetField(layout::tagread::kTime); }
    void SetRawTime(uint32_t raw) { SetField(layout::tagread::kTime, raw); }

    // Copies the current record's tag text (lead character included) and
    // decodes its 20 characters; returns the decoded tag's valid flag.
    int DecodeCurrent();
    const std::string& GetTagText() const { return m_szTagText; }
    const CDecodedTag& GetDecoded() const { return m_Decoded; }

    // Header byte 42 / 54, or -1 when no record is current.
    int GetAntennaConfig() const;
    int GetConfig2() const;
    uint16_t GetProcessingFlags() const {
        return static_cast<uint16_t>(GetHeaderField(layout::tagread::kProcessingFlags));
    }
    int IsTagPairProcessed() const { return (GetProcessingFlags() & layout::tagread::kTagPairProcessed) ? 1 : 0; }

    // Antenna digit of the current record minus '0'; -1 without a record.
    int GetAntennaNumber() const;
    // Antenna digit of a record given as bytes, minus '0'; -1 when too short.
    static int GetAntennaNumber(std::span<const uint8_t> record);
    // 1 when the current record's lead character is 0 (a deleted read).
    int IsDeleted() const { return GetField(layout::tagread::kLead) == 0 ? 1 : 0; }
    int GetDirection() const { return static_cast<int>(GetField(layout::tagread::kSpeedWhole) & 1u); }
    // Speed of the current record in eighths of a mph.
    int GetSpeedEighths() const;
    // Number of reads (two hexadecimal digits); -1 when they are not hex.
    int GetReadCount() const;

    // From record 0: doubles every record's raw timestamp, then decodes the
    // last record (the one it ends on). Returns 0.
    int DoubleTimes();

    // The current record's bytes; empty when none is current.
    std::span<const uint8_t> CurrentRecord() const;

private:
    std::string m_szTagText;
    CDecodedTag m_Decoded;
};
