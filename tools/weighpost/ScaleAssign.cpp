#include "ScaleAssign.h"

#include "ConsistLayout.h"

#include <algorithm>

namespace weighpost {

namespace cs = layout::consist;
namespace sc = layout::scale;

namespace {

constexpr uint8_t kEgcFlag = 128;
constexpr uint8_t kEgcRailcar14 = 14;
constexpr size_t kMaxRecordLength = 0xFFFF;  // the length field is 16 bits

void Append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

// The record's sub-records (after its fixed part) without the scale ones.
// A sub-record's length is taken as at least 4 and at most what remains of
// the record; a remainder of 1 to 3 bytes cannot hold a sub-record and is
// dropped.
void AppendKeptSubRecords(std::vector<uint8_t>& out, std::span<const uint8_t> record, size_t fixed) {
    size_t p = fixed;
    while (p < record.size() && record.size() - p >= cs::kSubHeaderSize) {
        const std::span<const uint8_t> rest = record.subspan(p);
        size_t length = layout::Get(rest, 0, cs::kSubLength);
        length = std::clamp<size_t>(length, cs::kSubHeaderSize, rest.size());
        if (layout::Get(rest, 0, cs::kSubType) != sc::kSubRecordType) Append(out, rest.first(length));
        p += length;
    }
}

}  // namespace

uint8_t PlainEgc(uint8_t egc) { return egc > kEgcFlag ? static_cast<uint8_t>(egc - kEgcFlag) : egc; }

bool IsWeighedGroup(uint8_t plainEgc) { return plainEgc == cs::kEgcRailcar || plainEgc == kEgcRailcar14; }

std::vector<uint8_t> AttachScaleEntries(std::span<const uint8_t> data, int recordCount, const ScaleSource& next) {
    std::vector<uint8_t> out;
    out.reserve(data.size() + sc::kSubRecordSize * static_cast<size_t>(std::max(recordCount, 0)));
    bool scaleLeft = static_cast<bool>(next);
    auto takeEntry = [&]() -> std::optional<ScaleEntry> {
        if (!scaleLeft) return std::nullopt;
        std::optional<ScaleEntry> entry = next();
        if (!entry) scaleLeft = false;
        return entry;
    };

    size_t off = 0;
    for (int i = 0; i < recordCount && off < data.size(); ++i) {
        const std::span<const uint8_t> rest = data.subspan(off);
        const size_t length = layout::Get(rest, 0, cs::kLength);
        if (length < cs::kLength.End() || length > rest.size()) break;  // cannot be stepped over whole
        const std::span<const uint8_t> record = rest.first(length);
        off += length;

        const bool egcReadable = layout::Fits(record.size(), 0, cs::kEgc);
        const bool weighed = egcReadable && IsWeighedGroup(PlainEgc(static_cast<uint8_t>(layout::Get(record, 0, cs::kEgc))));
        const size_t fixed = cs::FixedPartSize(layout::Get(record, 0, cs::kTagCount));
        if (!egcReadable || fixed > record.size()) {
            // Malformed: its fixed part would reach into the next record.
            if (weighed) takeEntry();
            Append(out, record);
            continue;
        }

        const size_t start = out.size();
        Append(out, record.first(fixed));
        if (weighed) {
            if (std::optional<ScaleEntry> entry = takeEntry()) {
                uint8_t header[cs::kSubHeaderSize] = {};
                layout::Set(header, 0, cs::kSubLength, sc::kSubRecordSize);
                layout::Set(header, 0, cs::kSubType, sc::kSubRecordType);
                Append(out, header);
                Append(out, *entry);
            }
        }
        AppendKeptSubRecords(out, record, fixed);
        const size_t newLength = out.size() - start;
        if (newLength > kMaxRecordLength) {
            // The new length would not fit its field: keep the record as it was.
            out.resize(start);
            Append(out, record);
            continue;
        }
        layout::Set(std::span<uint8_t>(out).subspan(start), 0, cs::kLength, static_cast<uint32_t>(newLength));
    }
    // Whatever the walk did not reach is kept unchanged.
    Append(out, data.subspan(off));
    return out;
}

}  // namespace weighpost
