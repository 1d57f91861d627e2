// AEI tag logic shared by the tag read, consist and car list classes and the
// tools: decoding and encoding of the 20-character tag text, the validity
// test of a consist entry's tag reads under the reader modes, the vehicle
// classification built on it, the tag status letter and the end-of-train
// marker file.
//
// Functions that look at a consist entry take the entry's bytes (its length
// field's worth, or less when the record area ends first) and read them
// through the consist field table; fields or tag blocks that lie beyond the
// bytes given read as absent.
#pragma once

#include "ConsistLayout.h"
#include "TagLayout.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// ---------------------------------------------------------------------------
// Decoded tag

enum class AeiLayout { None, Locomotive, Railcar, Plain, Alphanumeric };

// Layout an equipment group code selects; None for codes without one.
AeiLayout LayoutOfEgc(uint32_t egc);

// The decoded tag image (layout::aei field table): EGC, tag type, owner
// initials, car number as text and number, equipment-specific fields.
struct DecodedTag {
    std::array<uint8_t, layout::aei::kDecodedSize> bytes{};

    uint32_t Get(const layout::Field& f) const;
    void Set(const layout::Field& f, uint32_t v);

    uint32_t Egc() const { return Get(layout::aei::kEgc); }
    int TagType() const { return static_cast<int>(Get(layout::aei::kTagType)); }
    // Owner initials up to the first zero byte (at most four letters).
    std::string Owner() const;
    // Car number as decimal text, or the alphanumeric identifier.
    std::string NumberText() const;
    uint32_t CarNumber() const { return Get(layout::aei::kCarNumber); }
    AeiLayout Layout() const { return LayoutOfEgc(Egc()); }

    bool operator==(const DecodedTag&) const = default;
};

// Decodes 20 characters of tag text. No result for an equipment group code
// without a layout, or when fewer than 20 characters are given. Characters
// outside ' '..'_' are reduced to their low six bits after the bias.
std::optional<DecodedTag> DecodeTag(std::string_view text20);
std::optional<DecodedTag> DecodeTag(std::span<const uint8_t> text20);

// Holder of one decoded tag with its valid flag.
class CDecodedTag {
public:
    // Clears itself and decodes the 20 characters after the lead character
    // of text; returns the valid flag (1 after a successful decode).
    int Assign(std::string_view textWithLead);
    int Assign(std::span<const uint8_t> textWithLead);
    void Clear();

    int IsValid() const { return m_nValid; }
    const DecodedTag& Tag() const { return m_Tag; }
    uint32_t Egc() const { return m_Tag.Egc(); }
    std::string Owner() const { return m_Tag.Owner(); }
    std::string NumberText() const { return m_Tag.NumberText(); }
    uint32_t CarNumber() const { return m_Tag.CarNumber(); }

private:
    int m_nValid = 0;
    DecodedTag m_Tag;  // trailer included (last two bytes)
};

// A decoded tag worked out from its text only when it is asked for, and kept
// with the text it came from: asking again for the same text costs one
// comparison, text that has changed since (the record was edited, the
// cursor moved to another record) is decoded afresh.
class CTagMemo {
public:
    // The decoded tag of a lead character and 20 tag characters; a cleared
    // tag when fewer bytes are given.
    const CDecodedTag& Decode(std::span<const uint8_t> textWithLead) const;

private:
    mutable bool m_bKnown = false;
    mutable std::array<uint8_t, layout::aei::kTextLength> m_Text{};
    mutable CDecodedTag m_Tag;
};

// ---------------------------------------------------------------------------
// Encoding (the inverse of DecodeTag)

// The decoded image of a tag with these common fields and every other bit
// zero: what DecodeTag gives for the text EncodeTag makes of it. Owner: one
// to four letters 'A'-'Z' (the first may also be '['); tag type 1-4 (the
// locomotive and railcar layouts decode types 3 and 4 as 1 and 2). No result
// when the code has no layout, is alphanumeric, or a value does not fit.
std::optional<DecodedTag> MakeDecodedTag(uint32_t egc, std::string_view owner, uint32_t carNumber, int tagType = 1);
// The same for the alphanumeric layouts: identifier of up to eight
// characters ' ', '0'-'9', 'A'-'Z', right-aligned (padded with spaces).
std::optional<DecodedTag> MakeAlphanumericTag(uint32_t egc, std::string_view owner, std::string_view identifier,
                                              int tagType = 1);

// The 20-character tag text of a decoded image: EGC, tag type, owner letters,
// car number (numeric layouts, from the number field) or identifier
// (alphanumeric layouts, from the eight characters of the text; the leading
// one may also be one of the characters past 'Z' that identifiers of 37^8 and
// above decode to), and the equipment-specific fields of its layout. No
// result when the code has no layout or a field holds a value its bits
// cannot carry (two fields fed by one bit must agree); bits no field reads
// are written as zero, so decoding the text gives the image back.
std::optional<std::string> EncodeTag(const DecodedTag& tag);
std::optional<std::string> EncodeTag(const CDecodedTag& tag);

// ---------------------------------------------------------------------------
// Extended railcar data (value-7 railcar tags)

// The length (13 bits, in the unit of the vehicle length field) and the axle
// count (a 10-bit count less one, plus 1) of a value-7 railcar tag.
struct ExtendedRailcarData {
    uint32_t length = 0;
    uint32_t axles = 0;
};

// The extended data of a railcar-layout tag whose value field holds 7;
// nothing for any other tag.
std::optional<ExtendedRailcarData> DecodeExtendedRailcar(const DecodedTag& tag);
// The same straight from 20 characters of tag text, reading only the fields
// the extended data is made of; nothing when fewer characters are given.
std::optional<ExtendedRailcarData> DecodeExtendedRailcar(std::span<const uint8_t> text20);
// The equipment group code of 20 characters of tag text (whether or not it
// has a layout); nothing when fewer characters are given.
std::optional<uint32_t> TagTextEgc(std::span<const uint8_t> text20);
// Makes a railcar-layout tag a value-7 tag with this length and axle count
// (fields 36, 40 and 64; the rest of field 64 becomes zero). False, and the
// tag unchanged, for another layout, a length beyond 13 bits, or an axle
// count of 0 or one whose count less one needs more than 10 bits.
bool EncodeExtendedRailcar(DecodedTag& tag, const ExtendedRailcarData& data);

// ---------------------------------------------------------------------------
// Consist entry tag reads

// Reader modes of the validity test: 0 reject, 1 strict, 2 medium, 3 or more
// lenient; 255 in m1 or m2 means not configured. m3 normally 0.
struct TagReaderModes {
    uint8_t m0 = 3, m1 = 3, m2 = 3, m3 = 0;
};
constexpr uint8_t kModeNotConfigured = 255;

// The vehicle's axle count: the low byte at 7 and the high byte at 22.
uint32_t EntryAxleCount(std::span<const uint8_t> entry);
// Number of tag blocks the entry holds: the tag count (offset 20), limited to
// two and to the blocks that lie wholly inside the bytes given.
int EntryTagCount(std::span<const uint8_t> entry);
// Tag block k (0 or 1) of the entry; empty when absent.
std::span<const uint8_t> EntryTagBlock(std::span<const uint8_t> entry, int k);
// The same block of an entry the caller may change, for editing its flags.
std::span<uint8_t> EditableTagBlock(std::span<uint8_t> entry, int k);
// Exception flags of tag block k; 0 when absent.
uint16_t EntryTagFlags(std::span<const uint8_t> entry, int k);
// Flags of tag block 1, OR those of tag block 2 when the entry has two.
uint16_t EntryCombinedFlags(std::span<const uint8_t> entry);
// The 20 tag characters of a tag block (lead character excluded); empty
// when the block is too short.
std::span<const uint8_t> TagBlockText(std::span<const uint8_t> block);
// The lead character and the 20 tag characters of a tag block.
std::span<const uint8_t> TagBlockTextWithLead(std::span<const uint8_t> block);

// 1 when the code's low byte is 5, 14, 19, 253, 254 or 255.
int IsAcceptedEgc(uint32_t code);

// Whether "EOT!.DAT" exists in the current directory; checked the first
// time it is needed and kept for the rest of the run.
int EotMarkerPresent();
// Forgets the cached answer so the next call looks again (tests only).
void ResetEotMarkerCache();

// Validity test of the entry's tag reads under the reader modes.
int IsTagValid(std::span<const uint8_t> entry, const TagReaderModes& modes, int strict);
// Reduced form used with a consist object's mode table; null: no table.
int IsTagValidReduced(std::span<const uint8_t> entry, const TagReaderModes* modes);

// Classification bits.
constexpr int kClassAcceptedEgc = 1;
constexpr int kClassTagValid = 2;
constexpr int kClassNewVehicle = 4;
constexpr int kClassTagged = kClassAcceptedEgc | kClassTagValid | kClassNewVehicle;  // 7

// bit 2 new vehicle (vehicle number differs from previousVehicle), bit 1 tag
// valid, bit 0 accepted EGC. rejectedPlausible (may be null) is set to 1 when
// a new vehicle with an accepted EGC fails the test without flag bit 8; it is
// left alone otherwise.
int ClassifyEntry(std::span<const uint8_t> entry, const TagReaderModes& modes, int previousVehicle,
                  int* rejectedPlausible, int strict);
// The same with the reduced validity test and no out flag.
int ClassifyEntryReduced(std::span<const uint8_t> entry, const TagReaderModes* modes, int previousVehicle);

// 'K' when no flag of the combined flags AND mask is set, 'M' for more than
// one, else that flag's letter. With any letter, an EGC 19 entry counts one
// railcar and an EGC 5 entry one locomotive.
char TagStatusLetter(std::span<const uint8_t> entry, int& locomotives, int& railcars, uint16_t mask);
