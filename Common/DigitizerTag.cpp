#include "DigitizerLayout.h"
#include "RecordClasses.h"
#include "TrainFile.h"

#include <algorithm>
#include <vector>

namespace hdr = layout::header;
namespace dg = layout::digitizer;

namespace {

constexpr const char kDumpHeading[] =
    "\nShowing ALL Records (no filters):\n\n"
    "Rec #   StartMs     EndMs    S    R    O     DiffMs   SampleStart\n"
    "----- ---------- ---------- ---- --- ----- ---------- -----------\n";

}  // namespace

CTag01D::CTag01D(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    SetHeaderField(hdr::kRecordLength, 0);
    SetHeaderField(hdr::kTypeGroup, dg::kTypeGroup);
    SetHeaderField(hdr::kTypeSubcode, dg::kTypeSubcode);
    StampLocalDateTime(Header());
    SetHeaderField(hdr::kWord32, 0);
}

int CTag01D::Seek(int index) { return SeekVariable(index, dg::kBlockHeaderSize); }

unsigned CTag01D::GetSampleCount() const {
    const std::span<const uint8_t> block = GetCurrent();
    if (block.size() < dg::kBlockHeaderSize) return 0;
    return static_cast<unsigned>((block.size() - dg::kBlockHeaderSize) / dg::kSampleSize);
}

int CTag01D::NextBlock() {
    const int saved = GetIndex();
    const size_t savedOffset = GetCurrentOffset();
    for (int i = saved + 1; i < GetCount(); ++i) {
        if (!Seek(i)) break;
        if (GetSampleCount() > 0) return 1;
    }
    SelectEntry(saved, savedOffset);
    return 0;
}

int CTag01D::PrevBlock() {
    const int saved = GetIndex();
    const size_t savedOffset = GetCurrentOffset();
    // Record offsets only run forward: find the blocks before this one in
    // one walk from the start.
    int found = -1;
    size_t foundOffset = 0;
    if (saved > 0 && Seek(0)) {
        do {
            if (GetIndex() >= saved) break;
            if (GetSampleCount() > 0) {
                found = GetIndex();
                foundOffset = GetCurrentOffset();
            }
        } while (Next());
    }
    if (found < 0) {
        SelectEntry(saved, savedOffset);
        return 0;
    }
    SelectEntry(found, foundOffset);
    return 1;
}

uint32_t CTag01D::GetBlockStartTime() const { return GetField(dg::kStartTime); }
uint32_t CTag01D::GetBlockEndTime() const { return GetField(dg::kEndTime); }
uint8_t CTag01D::GetBlockConversion() const { return static_cast<uint8_t>(GetField(dg::kConversion)); }
uint8_t CTag01D::GetBlockByte13() const { return static_cast<uint8_t>(GetField(dg::kByte13)); }

uint8_t CTag01D::GetSample(unsigned i, int channel) const {
    if (channel < 0 || channel > 1 || i >= GetSampleCount()) return 0;
    return GetCurrent()[dg::kBlockHeaderSize + i * dg::kSampleSize + static_cast<size_t>(channel)];
}

int CTag01D::DumpAndRepair(FILE* stream, const wchar_t* newName) {
    if (stream) std::fprintf(stream, "\nOverflows: %u\n\n", static_cast<unsigned>(GetHeaderField(dg::kOverflows)));
    // The repaired data area: every block whole, or reduced to its header when
    // its times run backwards.
    std::vector<uint8_t> repaired;
    repaired.reserve(m_Data.size());
    unsigned long sampleStart = 0;
    int listed = 0;
    if (m_bHasData && GetCount() > 0 && Seek(0)) {
        do {
            const std::span<const uint8_t> block = GetCurrent();
            const uint32_t start = GetBlockStartTime(), end = GetBlockEndTime();
            const unsigned samples = GetSampleCount();
            if (stream) {
                if (listed % 25 == 0) std::fputs(kDumpHeading, stream);
                std::fprintf(stream, "%-5d %-10lu %-10lu %-4u %-3u %-5u %-10lu %-10lu\n", GetIndex(),
                             static_cast<unsigned long>(start), static_cast<unsigned long>(end), samples,
                             static_cast<unsigned>(GetBlockConversion()), static_cast<unsigned>(GetBlockByte13()),
                             static_cast<unsigned long>(end - start), sampleStart);
            }
            ++listed;
            sampleStart += samples;
            // A block cut short (the file's last, or its first, which the
            // walk does not measure) keeps what it has.
            const size_t keep = end < start ? std::min(dg::kBlockHeaderSize, block.size()) : block.size();
            const size_t at = repaired.size();
            repaired.insert(repaired.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(keep));
            layout::Set(repaired, at, dg::kBlockLength, static_cast<uint32_t>(keep));
        } while (Next());
    }
    // Written from a copy so this object keeps the file as it was read.
    CTag01D out;
    std::copy(m_Header, m_Header + hdr::kSize, out.m_Header);
    out.m_Data = std::move(repaired);
    out.m_bHasData = true;
    out.SetHeaderField(hdr::kRecordCount, static_cast<uint32_t>(listed));
    return out.CTag::SaveAs(newName, kSetLength, 1);
}
