#include "TagScan.h"

#include "ConsistLayout.h"
#include "TagDecode.h"

#include <cstdlib>

namespace idsweep {

namespace cs = layout::consist;
namespace aei = layout::aei;

namespace {

// Decoded railcar field 64 holds tag bits 93-101: the value field in its
// top three bits (93-95), then bit 12 of the extended length (96), then the
// high five bits of the extended axle count (97-101).
constexpr unsigned kValueShift = 6;
constexpr uint32_t kValueMask = 0x7;
constexpr uint32_t kExtendedValue = 7;
constexpr unsigned kLengthBit12Shift = 5;
constexpr uint32_t kAxleHighMask = 0x1F;
// Decoded field 40 is tag bits 56-60 plus 1: the low five bits of the count.
constexpr unsigned kAxleLowBits = 5;

constexpr uint16_t kFlagLength = 1u << 1;  // 'L'
constexpr uint16_t kFlagAxles = 1u << 2;   // 'A'

uint16_t WithFlag(uint16_t flags, uint16_t flag, bool set) {
    return static_cast<uint16_t>(set ? flags | flag : flags & ~flag);
}

}  // namespace

std::optional<ExtendedRailcarData> ReadExtendedRailcarData(std::span<const uint8_t> text20) {
    const std::optional<DecodedTag> tag = DecodeTag(text20);
    if (!tag || tag->Egc() != cs::kEgcRailcar) return std::nullopt;
    const uint32_t field64 = tag->Get(aei::kRailcar64);
    if (((field64 >> kValueShift) & kValueMask) != kExtendedValue) return std::nullopt;
    ExtendedRailcarData data;
    // Bits 11-0 are the ordinary 12-bit length (tag bits 90-92 and 47-55).
    data.length = (((field64 >> kLengthBit12Shift) & 1u) << 12) | tag->Get(aei::kRailcar36);
    const uint32_t axlesLow = tag->Get(aei::kRailcar40) - 1;
    data.axles = (((field64 & kAxleHighMask) << kAxleLowBits) | axlesLow) + 1;
    return data;
}

bool LengthMatches(uint32_t tagLength, int32_t vehicleLength) {
    const int64_t difference = std::llabs(static_cast<int64_t>(tagLength) - vehicleLength);
    return difference <= static_cast<int64_t>(tagLength / 5);
}

std::optional<uint16_t> CheckedTagFlags(std::span<const uint8_t> entry, int k) {
    if (k < 0 || k >= EntryTagCount(entry)) return std::nullopt;
    const std::span<const uint8_t> block = EntryTagBlock(entry, k);
    const std::optional<ExtendedRailcarData> data = ReadExtendedRailcarData(TagBlockText(block));
    if (!data) return std::nullopt;
    const uint32_t axles = layout::Get(entry, 0, cs::kAxleCount) + 256 * layout::Get(entry, 0, cs::kAxleCountHigh);
    const int32_t length = static_cast<int16_t>(layout::Get(entry, 0, cs::kVehicleLength));
    uint16_t flags = static_cast<uint16_t>(layout::Get(block, 0, cs::kTagFlags));
    flags = WithFlag(flags, kFlagAxles, axles != data->axles);
    flags = WithFlag(flags, kFlagLength, !LengthMatches(data->length, length));
    return flags;
}

int CheckTagRead(std::span<uint8_t> entry, int k) {
    const std::optional<uint16_t> flags = CheckedTagFlags(entry, k);
    if (!flags) return 0;
    const size_t block = k == 0 ? cs::kTagBlock1 : cs::kTagBlock2;
    const uint32_t old = layout::Get(entry, block, cs::kTagFlags);
    if (old == *flags) return 0;
    layout::Set(entry, block, cs::kTagFlags, *flags);
    return 1;
}

}  // namespace idsweep
