// CDigitizerFile: wheel digitizer file (.01D), blocks of sampled analogue
// values of the two wheel detectors, with block and sample navigation, the
// idle level of each channel and the band around it.
//
// Blocks are walked by their length field. A block shorter than its 16-byte
// header, or the first one that does not fit in the record area, ends the
// sequence; a block whose samples run past the end of the record area keeps
// the whole samples present. The header's record count limits the blocks.
#pragma once

#include "DigitizerLayout.h"
#include "TrainFile.h"

#include <array>

class CDigitizerFile : public CTrainFile {
public:
    // Type group 1, subcode 13, variable-length records, current local date
    // and time.
    CDigitizerFile();

    // Loads the name as given, builds the histograms and idle levels, sets the
    // default threshold and a band half-width of 0 and goes to block 0.
    int Load(const char* name) override;

    // Block navigation. SeekBlock lands on any block, even one without
    // samples; NextBlock and PrevBlock step to the next (previous) block that
    // has samples. All return 0 and leave the position alone when there is no
    // such block.
    int SeekBlock(int i);
    int NextBlock();
    int PrevBlock();
    int GetBlockIndex() const { return m_nBlock; }
    int HasBlock() const { return m_nBlock >= 0 ? 1 : 0; }
    // Number of blocks the record area holds (limited by the header count).
    int CountBlocks() const;
    // Total number of samples in those blocks.
    int CountSamples() const;

    // Sample navigation over the whole file.
    int NextSample();
    // Positions on file sample index n; with restart (or n = 0) starts from
    // the first sample, and with restart returns at once.
    int SeekSample(int n, int restart);
    // 1 when a sample is current (the current block has samples).
    int HasSample() const;
    int GetSampleIndex() const { return m_nFileSample; }
    unsigned GetSampleInBlock() const { return m_nSampleInBlock; }
    // The current sample's value on channel 0 or 1; 0 without a sample.
    uint8_t GetSample(int channel) const;
    // Time of the current sample in ms.
    double GetSampleTime() const;
    // 0 when both channels lie strictly inside their idle bands, else 1.
    int IsSignal() const;
    // Band half-width w: band c = (idle c - w, idle c + w) in 8-bit arithmetic.
    void SetBand(uint8_t w);

    // Current block header.
    uint32_t GetBlockStartTime() const;
    uint32_t GetBlockEndTime() const;
    uint8_t GetBlockConversion() const;  // byte 12, in 2 us units
    uint8_t GetBlockByte13() const;
    unsigned GetSamplesPerBlock() const { return m_nSamplesPerBlock; }
    double GetSamplePeriod() const { return m_dSamplePeriod; }
    int GetSamplesPerSecond() const { return m_nSamplesPerSecond; }
    double GetConversionTime() const { return m_dConversionTime; }

    // Idle levels, histograms and band.
    uint8_t GetIdleLevel(int channel) const;
    uint32_t GetHistogram(int channel, uint8_t value) const;
    uint8_t GetBandLow(int channel) const;
    uint8_t GetBandHigh(int channel) const;
    uint8_t GetBandHalfWidth() const { return m_nBandHalfWidth; }
    uint8_t GetThreshold() const { return m_nThreshold; }
    void SetThreshold(uint8_t t) { m_nThreshold = t; }

private:
    struct BlockInfo {
        size_t offset = 0;
        unsigned declared = 0;   // samples the length field announces
        unsigned available = 0;  // whole samples present in the record area
        size_t next = 0;         // offset of the following block
        bool hasNext = false;
    };
    bool BlockAt(size_t offset, BlockInfo& out) const;
    // Makes the block current (reads its header); the sample index in the
    // block goes to 0 and the file index to the block's first sample.
    void Enter(int index, const BlockInfo& b, int firstSample);
    void BuildIdleLevels();
    void ResetPosition();

    int m_nBlock = -1;  // -1: no current block
    BlockInfo m_Block;
    int m_nBlockFirstSample = 0;
    unsigned m_nSamplesPerBlock = 0;
    double m_dSamplePeriod = 0.0;
    int m_nSamplesPerSecond = 0;
    double m_dConversionTime = 0.0;
    unsigned m_nSampleInBlock = 0;
    int m_nFileSample = 0;
    std::array<std::array<uint32_t, 256>, layout::digitizer::kChannels> m_Histogram{};
    std::array<uint8_t, layout::digitizer::kChannels> m_nIdle{};
    uint8_t m_nBandHalfWidth = 0;
    uint8_t m_nThreshold = 0;
    std::array<uint8_t, layout::digitizer::kChannels> m_nBandLow{};
    std::array<uint8_t, layout::digitizer::kChannels> m_nBandHigh{};
};
