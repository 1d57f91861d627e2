#include "DigitizerFile.h"

#include <algorithm>

namespace dg = layout::digitizer;
namespace hdr = layout::header;

CDigitizerFile::CDigitizerFile() {
    SetHeaderField(hdr::kTypeGroup, dg::kTypeGroup);
    SetHeaderField(hdr::kTypeSubcode, dg::kTypeSubcode);
    SetHeaderField(hdr::kRecordLength, 0);
    StampLocalDateTime(Header());
}

void CDigitizerFile::ResetPosition() {
    m_nBlock = -1;
    m_Block = BlockInfo{};
    m_nBlockFirstSample = 0;
    m_nSamplesPerBlock = 0;
    m_dSamplePeriod = 0.0;
    m_nSamplesPerSecond = 0;
    m_dConversionTime = 0.0;
    m_nSampleInBlock = 0;
    m_nFileSample = 0;
}

int CDigitizerFile::Load(const char* name) {
    const int ok = CTrainFile::Load(name);
    ResetPosition();
    for (auto& h : m_Histogram) h.fill(0);
    m_nIdle.fill(0);
    if (!ok) return 0;
    SetHeaderField(hdr::kRecordLength, 0);
    BuildIdleLevels();
    m_nThreshold = dg::kDefaultThreshold;
    SetBand(0);
    SeekBlock(0);
    return 1;
}

bool CDigitizerFile::BlockAt(size_t offset, BlockInfo& out) const {
    const size_t size = Data().size();
    if (offset > size || size - offset < dg::kBlockHeaderSize) return false;
    const uint32_t len = layout::Get(Data(), offset, dg::kBlockLength);
    if (len < dg::kBlockHeaderSize) return false;  // would never advance
    out.offset = offset;
    out.declared = (len - dg::kBlockHeaderSize) / dg::kSampleSize;
    out.available = std::min<size_t>(out.declared, (size - offset - dg::kBlockHeaderSize) / dg::kSampleSize);
    out.hasNext = len <= size - offset;
    out.next = offset + len;
    return true;
}

void CDigitizerFile::Enter(int index, const BlockInfo& b, int firstSample) {
    m_nBlock = index;
    m_Block = b;
    m_nBlockFirstSample = firstSample;
    m_nSamplesPerBlock = b.declared;
    const uint32_t span = GetBlockEndTime() - GetBlockStartTime();
    m_dSamplePeriod = b.declared ? span * 0.001 / b.declared : 0.0;
    m_nSamplesPerSecond = m_dSamplePeriod > 0.0 ? TruncToI32(1.0 / m_dSamplePeriod) : 0;
    m_dConversionTime = GetBlockConversion() * dg::kConversionUnitSeconds;
    m_nSampleInBlock = 0;
    m_nFileSample = firstSample;
}

int CDigitizerFile::CountBlocks() const {
    const int limit = GetStoredCount();
    BlockInfo b;
    int n = 0;
    size_t off = 0;
    while (n < limit && BlockAt(off, b)) {
        ++n;
        if (!b.hasNext) break;
        off = b.next;
    }
    return n;
}

int CDigitizerFile::CountSamples() const {
    const int limit = GetStoredCount();
    BlockInfo b;
    int n = 0, samples = 0;
    size_t off = 0;
    while (n < limit && BlockAt(off, b)) {
        ++n;
        samples += static_cast<int>(b.available);
        if (!b.hasNext) break;
        off = b.next;
    }
    return samples;
}

int CDigitizerFile::SeekBlock(int i) {
    if (i < 0 || i >= GetStoredCount()) return 0;
    BlockInfo b;
    int idx = 0, first = 0;
    if (m_nBlock >= 0 && i >= m_nBlock && BlockAt(m_Block.offset, b)) {
        idx = m_nBlock;
        first = m_nBlockFirstSample;
    } else if (!BlockAt(0, b)) {
        return 0;
    }
    while (idx < i) {
        BlockInfo nb;
        if (!b.hasNext || !BlockAt(b.next, nb)) return 0;
        first += static_cast<int>(b.available);
        ++idx;
        b = nb;
    }
    Enter(idx, b, first);
    return 1;
}

int CDigitizerFile::NextBlock() {
    BlockInfo b;
    if (m_nBlock < 0 || !BlockAt(m_Block.offset, b)) return 0;
    const int limit = GetStoredCount();
    int idx = m_nBlock, first = m_nBlockFirstSample;
    while (idx + 1 < limit) {
        BlockInfo nb;
        if (!b.hasNext || !BlockAt(b.next, nb)) return 0;
        first += static_cast<int>(b.available);
        ++idx;
        b = nb;
        if (b.available > 0) {
            Enter(idx, b, first);
            return 1;
        }
    }
    return 0;
}

int CDigitizerFile::PrevBlock() {
    if (m_nBlock <= 0) return 0;
    BlockInfo b, found;
    int idx = 0, first = 0, foundIdx = -1, foundFirst = 0;
    if (!BlockAt(0, b)) return 0;
    while (idx < m_nBlock) {
        if (b.available > 0) {
            found = b;
            foundIdx = idx;
            foundFirst = first;
        }
        BlockInfo nb;
        if (!b.hasNext || !BlockAt(b.next, nb)) break;
        first += static_cast<int>(b.available);
        ++idx;
        b = nb;
    }
    if (foundIdx < 0) return 0;
    Enter(foundIdx, found, foundFirst);
    return 1;
}

int CDigitizerFile::HasSample() const { return m_nBlock >= 0 && m_nSampleInBlock < m_Block.available ? 1 : 0; }

int CDigitizerFile::NextSample() {
    if (m_nBlock < 0) return 0;
    if (m_nSampleInBlock + 1 < m_Block.available) {
        ++m_nSampleInBlock;
        ++m_nFileSample;
        return 1;
    }
    return NextBlock();
}

int CDigitizerFile::SeekSample(int n, int restart) {
    if (n == 0 || restart) {
        // The first sample: block 0, or the first block with samples.
        if (!SeekBlock(0)) return 0;
        if (!HasSample() && !NextBlock()) return 0;
        if (restart) return 1;
    }
    if (n < 0) return 0;
    if (n == m_nFileSample && HasSample()) return 1;

    // Walk from the current block when the target is not before it, else
    // from block 0, adding the sample counts of the blocks passed.
    BlockInfo b;
    int idx = 0, first = 0;
    if (m_nBlock >= 0 && n >= m_nBlockFirstSample && BlockAt(m_Block.offset, b)) {
        idx = m_nBlock;
        first = m_nBlockFirstSample;
    } else if (!BlockAt(0, b)) {
        return 0;
    }
    const int limit = GetStoredCount();
    while (n >= first + static_cast<int>(b.available)) {
        BlockInfo nb;
        if (idx + 1 >= limit || !b.hasNext || !BlockAt(b.next, nb)) return 0;  // position unchanged
        first += static_cast<int>(b.available);
        ++idx;
        b = nb;
    }
    if (idx != m_nBlock || first != m_nBlockFirstSample) Enter(idx, b, first);
    m_nSampleInBlock = static_cast<unsigned>(n - first);
    m_nFileSample = n;
    return 1;
}

uint8_t CDigitizerFile::GetSample(int channel) const {
    if (!HasSample() || channel < 0 || channel >= int(dg::kChannels)) return 0;
    const size_t at = m_Block.offset + dg::kBlockHeaderSize + size_t(m_nSampleInBlock) * dg::kSampleSize + channel;
    return at < Data().size() ? Data()[at] : 0;
}

double CDigitizerFile::GetSampleTime() const {
    if (m_nBlock < 0) return 0.0;
    return GetBlockStartTime() + m_nSampleInBlock * m_dSamplePeriod * 1000.0;
}

int CDigitizerFile::IsSignal() const {
    if (!HasSample()) return 0;
    for (int c = 0; c < int(dg::kChannels); ++c) {
        const uint8_t s = GetSample(c);
        if (!(s > m_nBandLow[c] && s < m_nBandHigh[c])) return 1;
    }
    return 0;
}

void CDigitizerFile::SetBand(uint8_t w) {
    m_nBandHalfWidth = w;
    for (size_t c = 0; c < dg::kChannels; ++c) {
        m_nBandLow[c] = static_cast<uint8_t>(m_nIdle[c] - w);
        m_nBandHigh[c] = static_cast<uint8_t>(m_nIdle[c] + w);
    }
}

uint32_t CDigitizerFile::GetBlockStartTime() const {
    return m_nBlock < 0 ? 0 : layout::Get(Data(), m_Block.offset, dg::kStartTime);
}

uint32_t CDigitizerFile::GetBlockEndTime() const {
    return m_nBlock < 0 ? 0 : layout::Get(Data(), m_Block.offset, dg::kEndTime);
}

uint8_t CDigitizerFile::GetBlockConversion() const {
    return m_nBlock < 0 ? 0 : static_cast<uint8_t>(layout::Get(Data(), m_Block.offset, dg::kConversion));
}

uint8_t CDigitizerFile::GetBlockByte13() const {
    return m_nBlock < 0 ? 0 : static_cast<uint8_t>(layout::Get(Data(), m_Block.offset, dg::kByte13));
}

void CDigitizerFile::BuildIdleLevels() {
    for (auto& h : m_Histogram) h.fill(0);
    if (SeekBlock(0)) {
        do {
            for (unsigned i = 0; i < m_Block.available; ++i) {
                const size_t at = m_Block.offset + dg::kBlockHeaderSize + size_t(i) * dg::kSampleSize;
                for (size_t c = 0; c < dg::kChannels; ++c) ++m_Histogram[c][Data()[at + c]];
            }
        } while (NextBlock());
    }
    // The idle level is the most frequent value of the low end: walk up while
    // counts keep near the running maximum.
    for (size_t c = 0; c < dg::kChannels; ++c) {
        uint32_t best = 0;
        uint8_t idle = 0;
        for (unsigned v = 0; v <= dg::kIdleLastValue; ++v) {
            const uint32_t n = m_Histogram[c][v];
            if (best > n && best - n > dg::kIdleDropLimit) break;
            if (n >= best) {
                best = n;
                idle = static_cast<uint8_t>(v);
            }
        }
        m_nIdle[c] = idle;
    }
}

uint8_t CDigitizerFile::GetIdleLevel(int channel) const {
    return channel >= 0 && channel < int(dg::kChannels) ? m_nIdle[channel] : 0;
}

uint32_t CDigitizerFile::GetHistogram(int channel, uint8_t value) const {
    return channel >= 0 && channel < int(dg::kChannels) ? m_Histogram[channel][value] : 0;
}

uint8_t CDigitizerFile::GetBandLow(int channel) const {
    return channel >= 0 && channel < int(dg::kChannels) ? m_nBandLow[channel] : 0;
}

uint8_t CDigitizerFile::GetBandHigh(int channel) const {
    return channel >= 0 && channel < int(dg::kChannels) ? m_nBandHigh[channel] : 0;
}
