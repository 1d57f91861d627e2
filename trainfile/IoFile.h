// CIoFile: IO event file (.007), the raw input changes of the wayside
// recorder, among them wheel detectors A (WDA) and B (WDB).
#pragma once

#include "IoLayout.h"
#include "TrainFile.h"

class CIoFile : public CTrainFile {
public:
    int Load(const char* name) override;  // adds ".007"

    // Timestamp of the current record in ms (raw x time scale, truncated);
    // SetTime stores ms / time scale, truncated.
    int GetTime() const;
    void SetTime(uint32_t ms);
    uint32_t GetRawTime() const { return GetField(layout::io::kTime); }
    void SetRawTime(uint32_t raw) { SetField(layout::io::kTime, raw); }
    uint16_t GetInputs() const { return static_cast<uint16_t>(GetField(layout::io::kInputs)); }
    void SetInputs(uint16_t w) { SetField(layout::io::kInputs, w); }
    uint16_t GetRecordFlags() const { return static_cast<uint16_t>(GetField(layout::io::kFlags)); }
    void SetRecordFlags(uint16_t w) { SetField(layout::io::kFlags, w); }
    // 1 when the current record carries the detector event flag.
    int IsDetectorEvent() const { return (GetRecordFlags() & layout::io::kDetectorEventFlag) ? 1 : 0; }

    // Header fields.
    uint16_t GetAbSpacing() const { return static_cast<uint16_t>(GetHeaderField(layout::io::kAbSpacing)); }
    void SetAbSpacing(uint16_t tenths) { SetHeaderField(layout::io::kAbSpacing, tenths); }
    int GetInversion() const { return static_cast<int>(GetHeaderField(layout::io::kInversion)); }
    int IsPreprocessed() const { return static_cast<int>(GetHeaderField(layout::io::kPreprocessed)); }
    void SetPreprocessed(uint8_t v) { SetHeaderField(layout::io::kPreprocessed, v); }
    int GetRecorderVersion() const { return static_cast<int>(GetHeaderField(layout::io::kRecorderVersion)); }

    // Detector inputs of interest (WDA and WDB after construction).
    uint16_t GetDetectorMask() const { return m_nDetectorMask; }
    void SetDetectorMask(uint16_t m) { m_nDetectorMask = m; }

private:
    uint16_t m_nDetectorMask = layout::io::kDefaultMaskA | layout::io::kDefaultMaskB;
};
