#include "TagDecode.h"

#include "TrainFile.h"

#include <algorithm>
#include <cstring>

namespace aei = layout::aei;
namespace cs = layout::consist;

namespace {

// The 20 six-bit values of a tag text.
using TagValues = std::array<uint8_t, aei::kTextLength>;

void PutBit(TagValues& v, unsigned bit, unsigned value) {
    const uint8_t mask = uint8_t(1u << (aei::kBitsPerChar - 1 - bit % aei::kBitsPerChar));
    uint8_t& c = v[bit / aei::kBitsPerChar];
    c = value ? uint8_t(c | mask) : uint8_t(c & ~mask);
}

void PutRun(TagValues& v, aei::BitRun run, uint64_t value) {
    for (unsigned i = 0; i < run.count; ++i) PutBit(v, run.Last() - i, unsigned((value >> i) & 1u));
}

uint64_t RunMask(aei::BitRun run) { return run.count >= 64 ? ~0ull : (1ull << run.count) - 1; }

// The 120 tag bits packed first bit first into two words (bit b at word
// b / 64, counted from its top), so that a run of bits is read with two
// shifts instead of bit by bit.
struct PackedBits {
    uint64_t word[2] = {0, 0};

    explicit PackedBits(const TagValues& v) {
        // Shift the six-bit values in from the bottom, then move the 120
        // bits up to the top of the two words.
        uint64_t hi = 0, lo = 0;
        for (uint8_t c : v) {
            hi = (hi << aei::kBitsPerChar) | (lo >> (64 - aei::kBitsPerChar));
            lo = (lo << aei::kBitsPerChar) | (c & 0x3Fu);
        }
        constexpr unsigned kUnused = 128 - aei::kTotalBits;
        word[0] = (hi << kUnused) | (lo >> (64 - kUnused));
        word[1] = lo << kUnused;
    }
    // The 64 bits from bit 'first' on (zeros past bit 127).
    uint64_t WindowAt(unsigned first) const {
        if (first >= 128) return 0;
        if (first >= 64) return word[1] << (first - 64);
        if (first == 0) return word[0];
        return (word[0] << first) | (word[1] >> (64 - first));
    }
    unsigned Bit(unsigned bit) const { return static_cast<unsigned>(WindowAt(bit) >> 63); }
    uint64_t Run(aei::BitRun run) const {
        if (run.count == 0) return 0;
        return WindowAt(run.first) >> (64 - run.count);  // runs are at most 64 bits
    }
};
static_assert(aei::kTotalBits == aei::kTextLength * aei::kBitsPerChar && aei::kTotalBits > 64 &&
              aei::kTotalBits < 128);

template <size_t N>
bool Contains(const uint8_t (&codes)[N], uint32_t code) {
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

std::span<const aei::BitMap> LayoutMap(AeiLayout l) {
    if (l == AeiLayout::Locomotive) return aei::kLocomotiveMap;
    if (l == AeiLayout::Railcar) return aei::kRailcarMap;
    return {};
}

bool UsesBit6TagType(AeiLayout l) { return l == AeiLayout::Locomotive || l == AeiLayout::Railcar; }

char IdentifierChar(uint64_t digit) {
    if (digit == 0) return ' ';
    if (digit <= 10) return static_cast<char>(digit + 47);
    return static_cast<char>(digit + 54);
}

// Digit value of an identifier character; -1 when it has none. The leading
// digit of a 42-bit value may exceed 36 and then decodes past 'Z' (up to
// 'd'); it is accepted there so that every decoded identifier encodes again.
int IdentifierDigit(uint8_t c, bool leading) {
    if (c == ' ') return 0;
    if (c >= '0' && c <= '9') return c - 47;
    if (c >= 'A' && c <= (leading ? 'd' : 'Z')) return c - 54;
    return -1;
}

std::optional<DecodedTag> DecodeValues(const TagValues& values) {
    const PackedBits v(values);
    const uint32_t egc = static_cast<uint32_t>(v.Run(aei::kEgcBits));
    const AeiLayout l = LayoutOfEgc(egc);
    if (l == AeiLayout::None) return std::nullopt;

    DecodedTag t;
    t.Set(aei::kEgc, egc);
    if (UsesBit6TagType(l))
        t.Set(aei::kTagType, v.Bit(aei::kTagTypeBit6) ? 2 : 1);
    else
        t.Set(aei::kTagType, static_cast<uint32_t>(v.Run(aei::kTagTypeBits)) + 1);

    uint32_t owner = static_cast<uint32_t>(v.Run(aei::kOwnerBits));
    for (size_t k = 0; k < aei::kOwnerLength; ++k) {
        const uint32_t q = owner / aei::kOwnerDivisors[k];
        owner %= aei::kOwnerDivisors[k];
        uint32_t letter = q + uint32_t(k == 0 ? aei::kOwnerFirstBase : aei::kOwnerNextBase);
        if (UsesBit6TagType(l) && letter < uint32_t('A')) letter = 0;  // end of the initials
        t.bytes[aei::kOwnerOffset + k] = static_cast<uint8_t>(letter);
    }

    char text[aei::kNumberTextLength] = {};
    if (l == AeiLayout::Alphanumeric) {
        uint64_t id = v.Run(aei::kIdentifierBits);
        uint64_t div = aei::kIdentifierTopDivisor;
        for (unsigned i = 0; i < aei::kIdentifierDigits; ++i) {
            text[i] = IdentifierChar(id / div);
            id %= div;
            div /= 37;
        }
    } else {
        const uint32_t number = static_cast<uint32_t>(v.Run(aei::kCarNumberBits));
        t.Set(aei::kCarNumber, number);
        const std::string digits = std::to_string(number);  // at most seven digits for 20 bits
        std::memcpy(text, digits.data(), std::min(digits.size(), sizeof text - 1));
    }
    std::memcpy(t.bytes.data() + aei::kNumberTextOffset, text, sizeof text);

    for (const aei::BitMap& m : LayoutMap(l)) {
        const uint64_t part = (v.Run(m.bits) << m.shift) + m.add;
        t.Set(m.out, t.Get(m.out) + static_cast<uint32_t>(part));
    }
    return t;
}

// Puts the fields of a decoded image into tag values; false when a field
// holds a value its bits cannot carry.
bool EncodeValues(const DecodedTag& t, TagValues& v) {
    v.fill(0);
    const uint32_t egc = t.Egc();
    const AeiLayout l = LayoutOfEgc(egc);
    if (l == AeiLayout::None) return false;
    PutRun(v, aei::kEgcBits, egc);

    const int type = t.TagType();
    if (type < 1 || type > 4) return false;
    PutRun(v, aei::kTagTypeBits, uint64_t(type - 1));

    uint32_t owner = 0;
    for (size_t k = 0; k < aei::kOwnerLength; ++k) {
        const uint8_t c = t.bytes[aei::kOwnerOffset + k];
        uint32_t q;
        if (k == 0) {
            if (c < 'A' || c > 'A' + 26) return false;
            q = c - 'A';
        } else if (c == 0 || c == '@') {
            q = 0;
        } else if (c >= 'A' && c <= 'Z') {
            q = c - '@';
        } else {
            return false;
        }
        owner += q * aei::kOwnerDivisors[k];
    }
    if (owner > RunMask(aei::kOwnerBits)) return false;
    PutRun(v, aei::kOwnerBits, owner);

    if (l == AeiLayout::Alphanumeric) {
        uint64_t id = 0;
        for (unsigned i = 0; i < aei::kIdentifierDigits; ++i) {
            const int d = IdentifierDigit(t.bytes[aei::kNumberTextOffset + i], i == 0);
            if (d < 0) return false;
            id = id * 37 + unsigned(d);
        }
        if (id > RunMask(aei::kIdentifierBits)) return false;
        PutRun(v, aei::kIdentifierBits, id);
    } else {
        const uint32_t number = t.CarNumber();
        if (number > RunMask(aei::kCarNumberBits)) return false;
        PutRun(v, aei::kCarNumberBits, number);
    }

    // Equipment-specific fields. A bit fed from two fields must agree.
    std::array<int8_t, aei::kTotalBits> written;
    written.fill(-1);
    const auto map = LayoutMap(l);
    for (size_t i = 0; i < map.size(); ++i) {
        bool seen = false;
        for (size_t j = 0; j < i; ++j) seen = seen || map[j].out.offset == map[i].out.offset;
        if (seen) continue;
        const uint32_t value = t.Get(map[i].out);
        uint32_t add = 0;
        for (size_t j = i; j < map.size(); ++j)
            if (map[j].out.offset == map[i].out.offset) add += map[j].add;
        if (value < add) return false;
        const uint64_t w = value - add;
        uint64_t rebuilt = 0;
        for (size_t j = i; j < map.size(); ++j) {
            if (map[j].out.offset != map[i].out.offset) continue;
            const uint64_t part = (w >> map[j].shift) & RunMask(map[j].bits);
            rebuilt |= part << map[j].shift;
            for (unsigned b = 0; b < map[j].bits.count; ++b) {
                const unsigned bit = map[j].bits.Last() - b;
                const int8_t val = static_cast<int8_t>((part >> b) & 1u);
                if (written[bit] >= 0 && written[bit] != val) return false;
                written[bit] = val;
                PutBit(v, bit, unsigned(val));
            }
        }
        if (rebuilt != w) return false;
    }
    return true;
}

std::optional<DecodedTag> FromEncoded(const DecodedTag& t) {
    TagValues v;
    if (!EncodeValues(t, v)) return std::nullopt;
    return DecodeValues(v);
}

// Starts an image with the common fields of a layout; the "+1" fields hold
// what zero bits decode to.
DecodedTag StartImage(uint32_t egc, std::string_view owner, int tagType) {
    DecodedTag t;
    t.Set(aei::kEgc, egc);
    t.Set(aei::kTagType, static_cast<uint32_t>(tagType));
    for (size_t k = 0; k < owner.size() && k < aei::kOwnerLength; ++k)
        t.bytes[aei::kOwnerOffset + k] = static_cast<uint8_t>(owner[k]);
    for (const aei::BitMap& m : LayoutMap(LayoutOfEgc(egc)))
        if (m.add) t.Set(m.out, t.Get(m.out) + m.add);
    return t;
}

bool OwnerLengthOk(std::string_view owner) { return !owner.empty() && owner.size() <= aei::kOwnerLength; }

}  // namespace

// ---------------------------------------------------------------------------

AeiLayout LayoutOfEgc(uint32_t egc) {
    if (egc == aei::kEgcLocomotive) return AeiLayout::Locomotive;
    if (Contains(aei::kEgcRailcarCodes, egc)) return AeiLayout::Railcar;
    if (Contains(aei::kEgcPlainCodes, egc)) return AeiLayout::Plain;
    if (Contains(aei::kEgcAlphanumericCodes, egc)) return AeiLayout::Alphanumeric;
    return AeiLayout::None;
}

uint32_t DecodedTag::Get(const layout::Field& f) const { return layout::Get(bytes, 0, f); }

void DecodedTag::Set(const layout::Field& f, uint32_t v) { layout::Set(bytes, 0, f, v); }

std::string DecodedTag::Owner() const { return layout::GetText(bytes, aei::kOwnerOffset, aei::kOwnerLength); }

std::string DecodedTag::NumberText() const {
    return layout::GetText(bytes, aei::kNumberTextOffset, aei::kNumberTextLength);
}

namespace {

// The six-bit values of 20 characters of tag text; nothing when fewer.
std::optional<TagValues> ValuesOf(std::span<const uint8_t> text20) {
    if (text20.size() < aei::kTextLength) return std::nullopt;
    TagValues v;
    for (size_t i = 0; i < aei::kTextLength; ++i) v[i] = uint8_t(text20[i] - aei::kCharBias) & 0x3F;
    return v;
}

}  // namespace

std::optional<DecodedTag> DecodeTag(std::span<const uint8_t> text20) {
    const std::optional<TagValues> v = ValuesOf(text20);
    if (!v) return std::nullopt;
    return DecodeValues(*v);
}

std::optional<uint32_t> TagTextEgc(std::span<const uint8_t> text20) {
    const std::optional<TagValues> v = ValuesOf(text20);
    if (!v) return std::nullopt;
    return static_cast<uint32_t>(PackedBits(*v).Run(aei::kEgcBits));
}

std::optional<DecodedTag> DecodeTag(std::string_view text20) {
    return DecodeTag(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text20.data()), text20.size()));
}

void CDecodedTag::Clear() {
    m_nValid = 0;
    m_Tag = DecodedTag{};
}

int CDecodedTag::Assign(std::span<const uint8_t> textWithLead) {
    Clear();
    if (textWithLead.size() < 1 + aei::kTextLength) return 0;
    if (auto t = DecodeTag(textWithLead.subspan(1, aei::kTextLength))) {
        m_Tag = *t;
        m_nValid = 1;
    }
    return m_nValid;
}

int CDecodedTag::Assign(std::string_view textWithLead) {
    return Assign(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(textWithLead.data()), textWithLead.size()));
}

const CDecodedTag& CTagMemo::Decode(std::span<const uint8_t> textWithLead) const {
    if (textWithLead.size() < 1 + aei::kTextLength) {
        m_bKnown = false;
        m_Tag.Clear();
        return m_Tag;
    }
    // The lead character takes no part in the decoding.
    const std::span<const uint8_t> text = textWithLead.subspan(1, aei::kTextLength);
    if (m_bKnown && std::equal(text.begin(), text.end(), m_Text.begin())) return m_Tag;
    m_Tag.Assign(textWithLead);
    std::copy(text.begin(), text.end(), m_Text.begin());
    m_bKnown = true;
    return m_Tag;
}

std::optional<DecodedTag> MakeDecodedTag(uint32_t egc, std::string_view owner, uint32_t carNumber, int tagType) {
    const AeiLayout l = LayoutOfEgc(egc);
    if (l == AeiLayout::None || l == AeiLayout::Alphanumeric || !OwnerLengthOk(owner)) return std::nullopt;
    DecodedTag t = StartImage(egc, owner, tagType);
    t.Set(aei::kCarNumber, carNumber);
    return FromEncoded(t);
}

std::optional<DecodedTag> MakeAlphanumericTag(uint32_t egc, std::string_view owner, std::string_view identifier,
                                              int tagType) {
    if (LayoutOfEgc(egc) != AeiLayout::Alphanumeric || !OwnerLengthOk(owner) ||
        identifier.size() > aei::kIdentifierDigits)
        return std::nullopt;
    DecodedTag t = StartImage(egc, owner, tagType);
    const size_t pad = aei::kIdentifierDigits - identifier.size();
    for (size_t i = 0; i < aei::kIdentifierDigits; ++i)
        t.bytes[aei::kNumberTextOffset + i] = i < pad ? ' ' : static_cast<uint8_t>(identifier[i - pad]);
    return FromEncoded(t);
}

std::optional<std::string> EncodeTag(const DecodedTag& tag) {
    TagValues v;
    if (!EncodeValues(tag, v)) return std::nullopt;
    std::string text(aei::kTextLength, ' ');
    for (size_t i = 0; i < aei::kTextLength; ++i) text[i] = static_cast<char>(v[i] + aei::kCharBias);
    return text;
}

std::optional<std::string> EncodeTag(const CDecodedTag& tag) {
    if (!tag.IsValid()) return std::nullopt;
    return EncodeTag(tag.Tag());
}

// ---------------------------------------------------------------------------
// Extended railcar data

namespace {

// The extended data of railcar fields 36, 40 and 64.
std::optional<ExtendedRailcarData> ExtendedFromFields(uint32_t field36, uint32_t field40, uint32_t field64) {
    if (aei::kExtValue.Get(field64) != aei::kExtendedValue) return std::nullopt;
    ExtendedRailcarData data;
    data.length = (aei::kExtLengthBit12.Get(field64) << aei::kExtLengthLowBits) | field36;
    const uint32_t axlesLow = field40 - 1;
    data.axles = ((aei::kExtAxlesHigh.Get(field64) << aei::kExtAxlesLowBits) | axlesLow) + 1;
    return data;
}

}  // namespace

std::optional<ExtendedRailcarData> DecodeExtendedRailcar(const DecodedTag& tag) {
    if (tag.Layout() != AeiLayout::Railcar) return std::nullopt;
    return ExtendedFromFields(tag.Get(aei::kRailcar36), tag.Get(aei::kRailcar40), tag.Get(aei::kRailcar64));
}

std::optional<ExtendedRailcarData> DecodeExtendedRailcar(std::span<const uint8_t> text20) {
    const std::optional<TagValues> values = ValuesOf(text20);
    if (!values) return std::nullopt;
    const PackedBits v(*values);
    if (LayoutOfEgc(static_cast<uint32_t>(v.Run(aei::kEgcBits))) != AeiLayout::Railcar) return std::nullopt;
    // A railcar field is the sum of its rows of the layout map, as decoding
    // the whole tag makes it (the fields are four bytes wide and apart).
    auto field = [&](const layout::Field& out) {
        uint32_t sum = 0;
        for (const aei::BitMap& m : aei::kRailcarMap)
            if (m.out.offset == out.offset) sum += static_cast<uint32_t>((v.Run(m.bits) << m.shift) + m.add);
        return sum;
    };
    return ExtendedFromFields(field(aei::kRailcar36), field(aei::kRailcar40), field(aei::kRailcar64));
}

bool EncodeExtendedRailcar(DecodedTag& tag, const ExtendedRailcarData& data) {
    if (tag.Layout() != AeiLayout::Railcar || data.length >> aei::kExtLengthBits != 0 || data.axles == 0 ||
        (data.axles - 1) >> aei::kExtAxlesBits != 0)
        return false;
    const uint32_t lessOne = data.axles - 1;
    const uint32_t lowLength = data.length & ((1u << aei::kExtLengthLowBits) - 1);
    const uint32_t lowAxles = lessOne & ((1u << aei::kExtAxlesLowBits) - 1);
    tag.Set(aei::kRailcar36, lowLength);
    tag.Set(aei::kRailcar40, lowAxles + 1);
    tag.Set(aei::kRailcar64, aei::kExtValue.Put(aei::kExtendedValue) |
                                 aei::kExtLengthBit12.Put(data.length >> aei::kExtLengthLowBits) |
                                 aei::kExtAxlesHigh.Put(lessOne >> aei::kExtAxlesLowBits));
    return true;
}

// ---------------------------------------------------------------------------
// Consist entry tag reads

namespace {

constexpr uint16_t kExceptionBits = 0x013F;  // bits 0-5 and 8
constexpr uint16_t kConsideredBits = 0xC13F;  // bits 0-5, 8, 14 and 15
constexpr uint16_t kBit8 = 0x0100;
constexpr uint16_t kBit14 = 0x4000;
constexpr uint16_t kBit15 = 0x8000;
constexpr uint8_t kMaxValidStatus = 3;
constexpr uint8_t kStatusNewVehicle = 3;

uint32_t EntryField(std::span<const uint8_t> entry, const layout::Field& f) { return layout::Get(entry, 0, f); }

bool HasTagReads(std::span<const uint8_t> entry) { return EntryTagCount(entry) > 0; }

int g_eotMarker = -1;

}  // namespace

uint32_t EntryAxleCount(std::span<const uint8_t> entry) {
    return EntryField(entry, cs::kAxleCount) + 256 * EntryField(entry, cs::kAxleCountHigh);
}

int EntryTagCount(std::span<const uint8_t> entry) {
    const uint32_t stored = EntryField(entry, cs::kTagCount);
    int n = 0;
    const size_t starts[2] = {cs::kTagBlock1, cs::kTagBlock2};
    while (n < 2 && uint32_t(n) < stored && starts[n] + cs::kTagBlockSize <= entry.size()) ++n;
    return n;
}

std::span<const uint8_t> EntryTagBlock(std::span<const uint8_t> entry, int k) {
    if (k < 0 || k >= EntryTagCount(entry)) return {};
    return entry.subspan(k == 0 ? cs::kTagBlock1 : cs::kTagBlock2, cs::kTagBlockSize);
}

std::span<uint8_t> EditableTagBlock(std::span<uint8_t> entry, int k) {
    if (k < 0 || k >= EntryTagCount(entry)) return {};
    return entry.subspan(k == 0 ? cs::kTagBlock1 : cs::kTagBlock2, cs::kTagBlockSize);
}

uint16_t EntryTagFlags(std::span<const uint8_t> entry, int k) {
    return static_cast<uint16_t>(layout::Get(EntryTagBlock(entry, k), 0, cs::kTagFlags));
}

uint16_t EntryCombinedFlags(std::span<const uint8_t> entry) {
    return static_cast<uint16_t>(EntryTagFlags(entry, 0) | EntryTagFlags(entry, 1));
}

std::span<const uint8_t> TagBlockText(std::span<const uint8_t> block) {
    if (block.size() < cs::kTagTextOffset + cs::kTagTextLength) return {};
    return block.subspan(cs::kTagTextOffset, cs::kTagTextLength);
}

std::span<const uint8_t> TagBlockTextWithLead(std::span<const uint8_t> block) {
    if (block.size() < cs::kTagTextOffset + cs::kTagTextLength) return {};
    return block.subspan(cs::kTagLead.offset, cs::kTagTextLength + 1);
}

int IsAcceptedEgc(uint32_t code) { return Contains(aei::kAcceptedEgcs, code & 0xFF) ? 1 : 0; }

int EotMarkerPresent() {
    if (g_eotMarker < 0) g_eotMarker = FileExists("EOT!.DAT") ? 1 : 0;
    return g_eotMarker;
}

void ResetEotMarkerCache() { g_eotMarker = -1; }

int IsTagValid(std::span<const uint8_t> entry, const TagReaderModes& modes, int strict) {
    if (modes.m0 == kModeNotConfigured && modes.m1 == kModeNotConfigured) return 1;
    if (modes.m2 == 0 && modes.m3 == 0) return 0;
    const uint32_t status = EntryField(entry, cs::kReadStatus);
    if (status > kMaxValidStatus) return 0;
    const uint16_t f = EntryCombinedFlags(entry) & kConsideredBits;
    uint8_t m = modes.m0;
    if ((f & kBit14) && modes.m2 != kModeNotConfigured)
        m = modes.m2;
    else if ((f & kBit15) && modes.m1 != kModeNotConfigured)
        m = modes.m1;
    if (m == 0) return 0;
    const uint32_t egc = EntryField(entry, cs::kEgc);
    if (egc == aei::kEgcRestrictedStatus) return status <= 2 ? 1 : 0;
    const bool exceptions = (f & kExceptionBits) != 0;
    if (m == 1) {
        if (egc == aei::kEgcEndOfTrain) return exceptions ? 0 : 1;
        return status == 0 ? 1 : 0;
    }
    if (m == 2) {
        if (exceptions) return (egc != aei::kEgcEndOfTrain && status == 0) ? 1 : 0;
        return (strict && status == kStatusNewVehicle) ? 0 : 1;
    }
    if (egc != aei::kEgcEndOfTrain || !EotMarkerPresent()) return 1;
    return exceptions ? 0 : 1;
}

int IsTagValidReduced(std::span<const uint8_t> entry, const TagReaderModes* modes) {
    if (!modes) return 1;
    const uint32_t status = EntryField(entry, cs::kReadStatus);
    if (status > kMaxValidStatus) return 0;
    if (!HasTagReads(entry)) return 0;
    const uint16_t f = EntryCombinedFlags(entry);
    uint8_t m = (f & kBit14) ? modes->m2 : modes->m0;
    if (f & kBit15) m = modes->m1;
    if (m == 0) return 0;
    const uint32_t egc = EntryField(entry, cs::kEgc);
    if (m == 1 && egc != aei::kEgcEndOfTrain) return status == 0 ? 1 : 0;
    if (m >= 3) return 1;
    if (f & kExceptionBits) return (egc != aei::kEgcEndOfTrain && status == 0) ? 1 : 0;
    return 1;
}

int ClassifyEntry(std::span<const uint8_t> entry, const TagReaderModes& modes, int previousVehicle,
                  int* rejectedPlausible, int strict) {
    int isNew = static_cast<int>(EntryField(entry, cs::kVehicleNumber)) != previousVehicle ? 1 : 0;
    if (!HasTagReads(entry)) return isNew * 4;
    const int valid = IsTagValid(entry, modes, strict);
    int accepted = 0;
    const uint32_t egc = EntryField(entry, cs::kEgc);
    if (valid) {
        accepted = IsAcceptedEgc(egc);
        if (EntryField(entry, cs::kReadStatus) == kStatusNewVehicle) isNew = 1;
    } else if (isNew && IsAcceptedEgc(egc) && !(EntryCombinedFlags(entry) & kBit8)) {
        if (rejectedPlausible) *rejectedPlausible = 1;
    }
    return accepted + 2 * valid + 4 * isNew;
}

int ClassifyEntryReduced(std::span<const uint8_t> entry, const TagReaderModes* modes, int previousVehicle) {
    int isNew = static_cast<int>(EntryField(entry, cs::kVehicleNumber)) != previousVehicle ? 1 : 0;
    if (!HasTagReads(entry)) return isNew * 4;
    const int valid = IsTagValidReduced(entry, modes);
    int accepted = 0;
    if (valid) {
        accepted = IsAcceptedEgc(EntryField(entry, cs::kEgc));
        if (EntryField(entry, cs::kReadStatus) == kStatusNewVehicle) isNew = 1;
    }
    return accepted + 2 * valid + 4 * isNew;
}

char TagStatusLetter(std::span<const uint8_t> entry, int& locomotives, int& railcars, uint16_t mask) {
    const uint16_t f = EntryCombinedFlags(entry) & mask;
    if (f == 0) return 'K';
    const uint32_t egc = EntryField(entry, cs::kEgc);
    if (egc == cs::kEgcRailcar) ++railcars;
    if (egc == cs::kEgcLocomotive) ++locomotives;
    int letters = 0;
    char letter = 'K';
    for (int bit = 0; bit < 16; ++bit) {
        if (f & (1u << bit)) {
            ++letters;
            letter = cs::kTagFlagLetters[bit];
        }
    }
    return letters > 1 ? 'M' : letter;
}
