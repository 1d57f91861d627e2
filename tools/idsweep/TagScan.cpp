#include "TagScan.h"

#include "ConsistLayout.h"

#include <cstdlib>

namespace idsweep {

namespace cs = layout::consist;

namespace {

constexpr uint16_t kFlagLength = 1u << 1;  // 'L'
constexpr uint16_t kFlagAxles = 1u << 2;   // 'A'

uint16_t WithFlag(uint16_t flags, uint16_t flag, bool set) {
    return static_cast<uint16_t>(set ? flags | flag : flags & ~flag);
}

}  // namespace

std::optional<ExtendedRailcarData> ReadExtendedRailcarData(std::span<const uint8_t> text20) {
    // Only the code and the fields of the extended data are read: the rest
    // of the tag plays no part in the check.
    if (TagTextEgc(text20) != cs::kEgcRailcar) return std::nullopt;
    return DecodeExtendedRailcar(text20);
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
    const uint32_t axles = EntryAxleCount(entry);
    const int32_t length = static_cast<int16_t>(layout::Get(entry, 0, cs::kVehicleLength));
    uint16_t flags = static_cast<uint16_t>(layout::Get(block, 0, cs::kTagFlags));
    flags = WithFlag(flags, kFlagAxles, axles != data->axles);
    flags = WithFlag(flags, kFlagLength, !LengthMatches(data->length, length));
    return flags;
}

int CheckTagRead(std::span<uint8_t> entry, int k) {
    const std::optional<uint16_t> flags = CheckedTagFlags(entry, k);
    if (!flags) return 0;
    const std::span<uint8_t> block = EditableTagBlock(entry, k);
    if (layout::Get(block, 0, cs::kTagFlags) == *flags) return 0;
    layout::Set(block, 0, cs::kTagFlags, *flags);
    return 1;
}

}  // namespace idsweep
