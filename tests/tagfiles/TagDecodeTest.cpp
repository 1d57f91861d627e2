#include "Records.h"
#include "TagBits.h"
#include "TagDecode.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <unistd.h>

using namespace fixture;
namespace aei = layout::aei;

namespace {

DecodedTag MustDecode(const std::string& text) {
    auto t = DecodeTag(text);
    EXPECT_TRUE(t.has_value()) << text;
    return t.value_or(DecodedTag{});
}

std::span<const uint8_t> Bytes(const Record& r) { return r.Bytes(); }

// Runs a block with the current directory switched to a fresh one and the
// end-of-train marker cache forgotten before and after.
class InTempDir {
public:
    explicit InTempDir(bool withEotMarker) {
        char buf[4096];
        m_old = getcwd(buf, sizeof buf) ? buf : ".";
        if (withEotMarker) WriteFileBytes(m_dir.File("EOT!.DAT"), {' '});
        EXPECT_EQ(chdir(m_dir.Path().c_str()), 0);
        ResetEotMarkerCache();
    }
    ~InTempDir() {
        EXPECT_EQ(chdir(m_old.c_str()), 0);
        ResetEotMarkerCache();
    }
private:
    TempDir m_dir;
    std::string m_old;
};

}  // namespace

// --- decoding --------------------------------------------------------------

TEST(TagDecode, RailcarFieldsAtTheirBits) {
    TagBits b = Tag(19, 1, "TTX", 123456);
    b.Put(46, 46, 1).Put(47, 55, 421).Put(56, 60, 7).Put(61, 63, 5).Put(64, 67, 9).Put(68, 72, 17);
    b.Put(73, 82, 777).Put(83, 89, 100).Put(90, 92, 6).Put(93, 101, 300).Put(102, 113, 4000).Put(114, 119, 45);
    const DecodedTag t = MustDecode(b.Text());
    EXPECT_EQ(t.Egc(), 19u);
    EXPECT_EQ(t.TagType(), 2);
    EXPECT_EQ(t.Owner(), "TTX");
    EXPECT_EQ(t.bytes[aei::kOwnerOffset + 3], 0);
    EXPECT_EQ(t.CarNumber(), 123456u);
    EXPECT_EQ(t.NumberText(), "123456");
    EXPECT_EQ(t.Get(aei::kRailcar32), 1u);
    EXPECT_EQ(t.Get(aei::kRailcar36), (6u << 9) | 421u);
    EXPECT_EQ(t.Get(aei::kRailcar40), 8u);
    EXPECT_EQ(t.Get(aei::kRailcar44), 5u);
    EXPECT_EQ(t.Get(aei::kRailcar48), 9u);
    EXPECT_EQ(t.Get(aei::kRailcar52), 17u);
    EXPECT_EQ(t.Get(aei::kRailcar56), 777u);
    EXPECT_EQ(t.Get(aei::kRailcar60), 100u);
    EXPECT_EQ(t.Get(aei::kRailcar64), 300u);
    EXPECT_EQ(t.Get(aei::kRailcar68), 4000u);
    EXPECT_EQ(t.Get(aei::kRailcar72), 45u);
    EXPECT_EQ(t.Get(aei::kTrailer), 0u);
    for (uint32_t egc : {6u, 14u, 18u, 20u}) {
        b.Put(0, 4, egc);
        EXPECT_EQ(MustDecode(b.Text()).Get(aei::kRailcar72), 45u) << egc;
    }
}

TEST(TagDecode, RailcarAndLocomotiveTagTypeFollowsBit6Only) {
    // '+' is value 11: EGC 5 and bit 5 set; the type then follows bit 6.
    const std::string loco2 = Tag(5, 3, "UP", 1).Text();
    ASSERT_EQ(loco2[0], '+');
    EXPECT_EQ(MustDecode(loco2).Egc(), 5u);
    EXPECT_EQ(MustDecode(loco2).TagType(), 2);
    const std::string loco1 = Tag(5, 2, "UP", 1).Text();
    ASSERT_EQ(loco1[0], '+');
    EXPECT_EQ(MustDecode(loco1).TagType(), 1);
    EXPECT_EQ(MustDecode(Tag(19, 2, "A", 1).Text()).TagType(), 1);
    EXPECT_EQ(MustDecode(Tag(19, 1, "A", 1).Text()).TagType(), 2);
    // Plain and alphanumeric layouts read both bits.
    EXPECT_EQ(MustDecode(Tag(10, 2, "A", 1).Text()).TagType(), 3);
    EXPECT_EQ(MustDecode(Tag(21, 3, "A", 1).Text()).TagType(), 4);
}

TEST(TagDecode, LocomotiveFieldsAtTheirBits) {
    TagBits b = Tag(5, 0, "UP", 9876);
    b.Put(46, 46, 0).Put(47, 55, 300).Put(56, 60, 31).Put(61, 63, 2).Put(64, 65, 3).Put(70, 71, 2);
    b.Put(78, 83, 0x2B).Put(86, 89, 0xA).Put(90, 93, 0x5).Put(94, 101, 0xB6).Put(102, 113, 2047).Put(114, 119, 63);
    // Bits no locomotive field reads.
    b.Put(66, 69, 0xF).Put(72, 77, 0x3F).Put(84, 85, 3);
    const DecodedTag t = MustDecode(b.Text());
    EXPECT_EQ(t.Owner(), "UP");
    EXPECT_EQ(t.bytes[aei::kOwnerOffset + 2], 0);
    EXPECT_EQ(t.NumberText(), "9876");
    EXPECT_EQ(t.Get(aei::kLoco32), 0u);
    EXPECT_EQ(t.Get(aei::kLoco36), 300u);
    EXPECT_EQ(t.Get(aei::kLoco40), 32u);
    EXPECT_EQ(t.Get(aei::kLoco44), 2u);
    EXPECT_EQ(t.Get(aei::kLoco48), 0xA5u);
    EXPECT_EQ(t.Get(aei::kLoco49), 0x2Bu << 2);
    EXPECT_EQ(t.Get(aei::kLoco50), 0x80u);
    EXPECT_EQ(t.Get(aei::kLoco51), 0x30u);
    EXPECT_EQ(t.Get(aei::kLoco52), 0xB6u);
    EXPECT_EQ(t.Get(aei::kLoco56), 2047u);
    EXPECT_EQ(t.Get(aei::kLoco60), 63u);
    EXPECT_EQ(t.Get(aei::kLoco70), 1u);  // bit 100
    for (size_t off = 64; off < 70; ++off) EXPECT_EQ(t.bytes[off], 0) << off;
    b.Put(100, 100, 0);
    EXPECT_EQ(MustDecode(b.Text()).Get(aei::kLoco70), 0u);
}

TEST(TagDecode, OwnerCodeZeroAndLetterCutting) {
    // Railcar: 'A' then three zero bytes; plain: 'A' then three '@'.
    const DecodedTag rc = MustDecode(Tag(19, 0, "A", 0).Text());
    EXPECT_EQ(rc.Owner(), "A");
    for (int k = 1; k < 4; ++k) EXPECT_EQ(rc.bytes[aei::kOwnerOffset + k], 0);
    EXPECT_EQ(rc.NumberText(), "0");
    const DecodedTag plain = MustDecode(Tag(10, 0, "A", 0).Text());
    EXPECT_EQ(plain.Owner(), "A@@@");
    // A gap inside the initials is cut in the numeric vehicle layouts only.
    EXPECT_EQ(MustDecode(Tag(19, 0, "A@B", 5).Text()).Owner(), "A");
    EXPECT_EQ(MustDecode(Tag(19, 0, "A@B", 5).Text()).bytes[aei::kOwnerOffset + 2], 'B');
    EXPECT_EQ(MustDecode(Tag(27, 0, "ZZZZ", 1048575).Text()).Owner(), "ZZZZ");
    EXPECT_EQ(MustDecode(Tag(27, 0, "ZZZZ", 1048575).Text()).NumberText(), "1048575");
    // The largest 19-bit code: first letter past 'Z'.
    TagBits big;
    big.Put(0, 4, 10).Put(7, 25, 0x7FFFF);
    EXPECT_EQ(MustDecode(big.Text()).Owner(), std::string("[QEA"));
}

TEST(TagDecode, PlainLayoutHasCommonFieldsOnly) {
    TagBits b = Tag(10, 0, "CSXT", 4242);
    b.Put(46, 119, 0);
    b.Put(46, 60, 0x7FFF).Put(100, 119, 0xFFFFF);
    const DecodedTag t = MustDecode(b.Text());
    EXPECT_EQ(t.NumberText(), "4242");
    for (size_t off = 32; off < aei::kDecodedSize; ++off) EXPECT_EQ(t.bytes[off], 0) << off;
}

TEST(TagDecode, AlphanumericIdentifier) {
    TagBits one;
    one.Put(0, 4, 17).Put(7, 25, OwnerCode("A")).Put(26, 67, 1).Put(68, 119, 0xFFFF);
    const DecodedTag t = MustDecode(one.Text());
    EXPECT_EQ(t.NumberText(), "       0");
    EXPECT_EQ(t.bytes[aei::kNumberTextOffset + 8], 0);
    EXPECT_EQ(t.CarNumber(), 0u);
    EXPECT_EQ(t.Owner(), "A@@@");  // letters are not cut
    for (size_t off = 32; off < aei::kDecodedSize; ++off) EXPECT_EQ(t.bytes[off], 0) << off;

    // "AB12 XYZ": digits 11 12 2 3 0 34 35 36 in base 37.
    uint64_t v = 0;
    for (uint64_t d : {11, 12, 2, 3, 0, 34, 35, 36}) v = v * 37 + d;
    TagBits b;
    b.Put(0, 4, 21).Put(26, 67, v);
    EXPECT_EQ(MustDecode(b.Text()).NumberText(), "AB12 XYZ");
    // Values of 37^8 and above give a first digit beyond 'Z', never more text.
    b.Put(26, 67, (1ull << 42) - 1);
    EXPECT_EQ(MustDecode(b.Text()).NumberText().size(), 8u);
}

TEST(TagDecode, DispatchAndMalformedText) {
    for (unsigned egc = 0; egc < 32; ++egc) {
        const bool known = egc == 5 || egc == 6 || egc == 10 || egc == 14 || egc == 17 || egc == 18 || egc == 19 ||
                           egc == 20 || egc == 21 || egc == 27;
        EXPECT_EQ(DecodeTag(Tag(egc, 0, "A", 1).Text()).has_value(), known) << egc;
    }
    const std::string ok = Tag(19, 0, "TTX", 1).Text();
    EXPECT_FALSE(DecodeTag(ok.substr(0, 19)).has_value());
    EXPECT_FALSE(DecodeTag(std::string_view()).has_value());
    // '!' is value 1: the last character alone sets railcar field 72 to 1.
    std::string bang = ok;
    bang[19] = '!';
    EXPECT_EQ(MustDecode(bang).Get(aei::kRailcar72), 1u);
    // Characters outside ' '..'_' keep their low six bits: 0x80 + 'S' reads as 'S'.
    std::string high = ok;
    for (char& c : high) c = static_cast<char>(static_cast<unsigned char>(c) | 0x80);
    high[0] = ok[0];
    EXPECT_EQ(MustDecode(high), MustDecode(ok));
}

TEST(TagDecode, HolderSkipsLeadAndClearsOnFailure) {
    CDecodedTag h;
    EXPECT_EQ(h.IsValid(), 0);
    const std::string text = Tag(19, 0, "TTX", 77).Text();
    EXPECT_EQ(h.Assign("N" + text), 1);
    EXPECT_EQ(h.Owner(), "TTX");
    EXPECT_EQ(h.CarNumber(), 77u);
    EXPECT_EQ(h.Assign("N" + Tag(7, 0, "TTX", 77).Text()), 0);
    EXPECT_EQ(h.IsValid(), 0);
    EXPECT_EQ(h.Tag(), DecodedTag{});
    EXPECT_EQ(h.Assign("N" + text.substr(0, 19)), 0);  // too short: nothing read past the end
}

TEST(TagDecode, RandomTextsDecodeAsTheBitByBitReaderDid) {
    // Digest of the images (and of which texts decode at all) that the
    // reader taking the tag bits one at a time gave for these texts; any
    // byte of any image read differently changes it. Texts include bytes
    // outside ' '..'_', which reduce to their low six bits.
    std::mt19937 rng(20240611);
    uint64_t digest = 1469598103934665603ull;
    auto mix = [&](uint8_t b) { digest = (digest ^ b) * 1099511628211ull; };
    int decoded = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text(20, ' ');
        for (char& c : text) c = static_cast<char>(i % 4 == 0 ? rng() & 0xFF : 32 + rng() % 64);
        const auto t = DecodeTag(text);
        mix(t ? 1 : 0);
        if (!t) continue;
        ++decoded;
        for (uint8_t b : t->bytes) mix(b);
    }
    EXPECT_EQ(decoded, 62134);
    EXPECT_EQ(digest, 4681463309195777349ull);
}

TEST(TagDecode, ExtendedDataFromTextMatchesTheWholeDecode) {
    // Railcar codes, value-7 tags among them, and texts of every code.
    std::mt19937 rng(77);
    int extended = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text(20, ' ');
        for (char& c : text) c = static_cast<char>(i % 5 == 0 ? rng() & 0xFF : 32 + rng() % 64);
        TagBits head;
        if (i % 3 != 0) head.Put(0, 4, i % 2 ? 19 : 6);
        if (i % 3 == 1) head.Put(93, 95, 7);
        if (i % 3 != 0) {
            text[15] = head.Text()[15];  // bits 90-95: the value field at 93-95
            text[0] = static_cast<char>((head.Text()[0] & ~1) | (text[0] & 1));
        }
        const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        const auto tag = DecodeTag(text);
        const auto whole = tag ? DecodeExtendedRailcar(*tag) : std::nullopt;
        const auto direct = DecodeExtendedRailcar(bytes);
        ASSERT_EQ(direct.has_value(), whole.has_value()) << text;
        if (direct) {
            ++extended;
            EXPECT_EQ(direct->length, whole->length) << text;
            EXPECT_EQ(direct->axles, whole->axles) << text;
        }
        if (tag) {
            EXPECT_EQ(TagTextEgc(bytes), tag->Egc()) << text;
        }
    }
    EXPECT_GT(extended, 1000);
    EXPECT_FALSE(DecodeExtendedRailcar(std::span<const uint8_t>()));
    EXPECT_FALSE(TagTextEgc(std::span<const uint8_t>()));
}

// --- encoding --------------------------------------------------------------

TEST(TagEncode, MatchesTextsBuiltBitByBit) {
    auto rc = MakeDecodedTag(19, "TTX", 123456, 2);
    ASSERT_TRUE(rc);
    rc->Set(aei::kRailcar36, (6u << 9) | 421u);
    rc->Set(aei::kRailcar40, 8);
    rc->Set(aei::kRailcar72, 45);
    TagBits b = Tag(19, 1, "TTX", 123456);
    b.Put(47, 55, 421).Put(90, 92, 6).Put(56, 60, 7).Put(114, 119, 45);
    EXPECT_EQ(EncodeTag(*rc), b.Text());
    EXPECT_EQ(MustDecode(b.Text()), *rc);

    auto loco = MakeDecodedTag(5, "UP", 9876, 1);
    ASSERT_TRUE(loco);
    loco->Set(aei::kLoco48, 0xA5);
    loco->Set(aei::kLoco49, 0x2B << 2);
    loco->Set(aei::kLoco50, 0x80);
    loco->Set(aei::kLoco51, 0x30);
    loco->Set(aei::kLoco52, 0xB6);
    loco->Set(aei::kLoco70, 1);
    TagBits l = Tag(5, 0, "UP", 9876);
    l.Put(56, 60, 0).Put(86, 93, 0xA5).Put(78, 83, 0x2B).Put(70, 71, 2).Put(64, 65, 3).Put(94, 101, 0xB6);
    EXPECT_EQ(EncodeTag(*loco), l.Text());
    EXPECT_EQ(MustDecode(l.Text()), *loco);

    auto plain = MakeDecodedTag(27, "AB", 1048575, 4);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->Owner(), "AB@@");
    EXPECT_EQ(EncodeTag(*plain), Tag(27, 3, "AB", 1048575).Text());

    auto alnum = MakeAlphanumericTag(17, "MSDR", "AB12 XYZ");
    ASSERT_TRUE(alnum);
    uint64_t v = 0;
    for (uint64_t d : {11, 12, 2, 3, 0, 34, 35, 36}) v = v * 37 + d;
    TagBits a = Tag(17, 0, "MSDR", 0);
    a.Put(26, 67, v);
    EXPECT_EQ(EncodeTag(*alnum), a.Text());
    EXPECT_EQ(MakeAlphanumericTag(21, "A", "0")->NumberText(), "       0");
}

TEST(TagEncode, RoundTripsEveryLayout) {
    std::mt19937 rng(12345);
    const unsigned codes[] = {5, 6, 10, 14, 17, 18, 19, 20, 21, 27};
    for (int i = 0; i < 2000; ++i) {
        std::string text(20, ' ');
        for (char& c : text) c = static_cast<char>(32 + rng() % 64);
        TagBits head;
        head.Put(0, 4, codes[i % 10]);
        text[0] = static_cast<char>((head.Text()[0] & ~1) | (text[0] & 1));
        auto first = DecodeTag(text);
        ASSERT_TRUE(first) << text;
        // The first owner letter may be '[' only up to the 19-bit limit.
        auto encoded = EncodeTag(*first);
        ASSERT_TRUE(encoded) << text;
        ASSERT_EQ(encoded->size(), 20u);
        for (char c : *encoded) ASSERT_TRUE(c >= 32 && c <= 95);
        EXPECT_EQ(DecodeTag(*encoded), first) << text;
    }
    CDecodedTag h;
    ASSERT_EQ(h.Assign("N" + Tag(6, 0, "EOTX", 31).Text()), 1);
    EXPECT_EQ(EncodeTag(h), Tag(6, 0, "EOTX", 31).Text());
    EXPECT_FALSE(EncodeTag(CDecodedTag{}));
}

TEST(TagEncode, RefusesValuesTheBitsCannotCarry) {
    const DecodedTag rc = *MakeDecodedTag(19, "TTX", 1);
    const DecodedTag loco = *MakeDecodedTag(5, "UP", 1);
    struct Bad {
        const DecodedTag& base;
        layout::Field field;
        uint32_t value;
    };
    const Bad bad[] = {
        {rc, aei::kRailcar44, 8},            // three bits
        {rc, aei::kRailcar40, 0},            // decodes as bits + 1
        {rc, aei::kRailcar40, 33},
        {rc, aei::kRailcar36, 1u << 12},
        {rc, aei::kCarNumber, 1u << 20},
        {loco, aei::kLoco49, 0x01},          // only character 13 shifted left by 2
        {loco, aei::kLoco50, 0x20},
        {loco, aei::kLoco52, 0x02},          // bit 100 set but field 70 says 0
    };
    for (const Bad& b : bad) {
        DecodedTag t = b.base;
        t.Set(b.field, b.value);
        EXPECT_FALSE(EncodeTag(t)) << b.field.name << " " << b.value;
    }
    DecodedTag agree = loco;
    agree.Set(aei::kLoco52, 0x02);
    agree.Set(aei::kLoco70, 1);
    EXPECT_TRUE(EncodeTag(agree));

    EXPECT_FALSE(MakeDecodedTag(7, "A", 1));
    EXPECT_FALSE(MakeDecodedTag(17, "A", 1));  // alphanumeric needs an identifier
    for (const char* owner : {"ttx", "", "ABCDE", "[QEB"}) EXPECT_FALSE(MakeDecodedTag(19, owner, 1)) << owner;
    EXPECT_TRUE(MakeDecodedTag(19, "[QEA", 1));  // the largest 19-bit owner code
    EXPECT_FALSE(MakeDecodedTag(19, "A", 1, 0));
    EXPECT_FALSE(MakeDecodedTag(19, "A", 1, 5));
    EXPECT_FALSE(MakeAlphanumericTag(17, "A", "abc"));
    EXPECT_FALSE(MakeAlphanumericTag(17, "A", "123456789"));
    EXPECT_FALSE(MakeAlphanumericTag(19, "A", "1"));
}

// --- validity and classification --------------------------------------------

namespace {

const std::string kRailcarText = Tag(19, 0, "TTX", 1).Text();
const std::string kEotText = Tag(6, 0, "EOTX", 2).Text();

Record Entry(uint8_t egc, uint8_t status, uint16_t flags1, int tags = 1, uint16_t flags2 = 0, uint16_t vehicle = 1) {
    std::vector<TagRead> reads;
    if (tags >= 1) reads.push_back({flags1, kRailcarText});
    if (tags >= 2) reads.push_back({flags2, kRailcarText});
    return ConsistEntry({.vehicle = vehicle, .status = status, .egc = egc, .reads = reads});
}

int Valid(const Record& e, TagReaderModes m, int strict = 0) { return IsTagValid(Bytes(e), m, strict); }

}  // namespace

TEST(TagValidity, NotConfiguredAndRejectModes) {
    // 255, 255, x: every entry is valid, whatever its status.
    for (uint8_t status : {0, 3, 4, 200}) EXPECT_EQ(Valid(Entry(19, status, 0xFFFF), {255, 255, 0, 0}), 1);
    EXPECT_EQ(Valid(Entry(19, 0, 0), {3, 3, 0, 0}), 0);     // m2 and the byte after it 0
    EXPECT_EQ(Valid(Entry(19, 0, 0), {3, 3, 0, 1}), 1);
    EXPECT_EQ(Valid(Entry(19, 4, 0), {3, 3, 3, 0}), 0);     // no usable tag
    EXPECT_EQ(Valid(Entry(19, 0, 0), {0, 3, 3, 0}), 0);
}

TEST(TagValidity, ModeSelectionByFlagBits14And15) {
    const TagReaderModes modes{3, 0, 1, 0};
    EXPECT_EQ(Valid(Entry(19, 1, 0), modes), 1);                  // m0 = 3
    EXPECT_EQ(Valid(Entry(19, 1, 0x8000), modes), 0);             // bit 15: m1 = 0
    EXPECT_EQ(Valid(Entry(19, 1, 0x4000), modes), 0);             // bit 14: m2 = 1, status 1
    EXPECT_EQ(Valid(Entry(19, 0, 0xC000), modes), 1);             // bit 14 wins: m2 = 1, status 0
    EXPECT_EQ(Valid(Entry(19, 1, 0, 2, 0x8000), modes), 0);       // flags of tag 2 count
    EXPECT_EQ(Valid(Entry(19, 1, 0x4000), {3, 0, 255, 0}), 1);    // m2 not configured: m0
    EXPECT_EQ(Valid(Entry(19, 1, 0xC000), {3, 0, 255, 0}), 0);    // then bit 15 picks m1
    EXPECT_EQ(Valid(Entry(19, 1, 0x8000), {3, 255, 3, 0}), 1);    // m1 not configured: m0
    // Bits outside 0-5, 8, 14, 15 are ignored.
    EXPECT_EQ(Valid(Entry(19, 1, 0x3EC0), {2, 2, 2, 0}), 1);
}

TEST(TagValidity, StrictMediumAndLenient) {
    const TagReaderModes strict1{1, 1, 1, 0}, medium{2, 2, 2, 0}, lenient{3, 3, 3, 0};
    EXPECT_EQ(Valid(Entry(19, 0, 0x0001), strict1), 1);
    EXPECT_EQ(Valid(Entry(19, 1, 0), strict1), 0);
    EXPECT_EQ(Valid(Entry(6, 2, 0x0080), strict1), 1);   // EGC 6: only the exception bits matter
    EXPECT_EQ(Valid(Entry(6, 0, 0x0100), strict1), 0);
    EXPECT_EQ(Valid(Entry(19, 0, 0x0020), medium), 1);
    EXPECT_EQ(Valid(Entry(19, 1, 0x0020), medium), 0);
    EXPECT_EQ(Valid(Entry(6, 0, 0x0020), medium), 0);
    EXPECT_EQ(Valid(Entry(19, 3, 0), medium), 1);
    EXPECT_EQ(Valid(Entry(19, 3, 0), medium, 1), 0);       // strict flag refuses status 3
    EXPECT_EQ(Valid(Entry(19, 2, 0), medium, 1), 1);
    EXPECT_EQ(Valid(Entry(19, 3, 0x013F), lenient), 1);
    EXPECT_EQ(Valid(Entry(19, 3, 0x013F), {255, 3, 3, 0}), 1);  // 255 in m0 alone is lenient
    // EGC 24 only with status 0-2, whatever the mode.
    EXPECT_EQ(Valid(Entry(24, 2, 0x013F), strict1), 1);
    EXPECT_EQ(Valid(Entry(24, 3, 0), lenient), 0);
}

TEST(TagValidity, EndOfTrainMarkerUnderLenientModes) {
    const Record eot = ConsistEntry({.vehicle = 1, .egc = 6, .reads = {{0x0001, kEotText}}});
    {
        InTempDir d(false);
        EXPECT_EQ(EotMarkerPresent(), 0);
        EXPECT_EQ(IsTagValid(Bytes(eot), {3, 3, 3, 0}, 0), 1);
    }
    {
        InTempDir d(true);
        EXPECT_EQ(EotMarkerPresent(), 1);
        EXPECT_EQ(IsTagValid(Bytes(eot), {3, 3, 3, 0}, 0), 0);
        const Record clean = ConsistEntry({.vehicle = 1, .egc = 6, .reads = {{0x0080, kEotText}}});
        EXPECT_EQ(IsTagValid(Bytes(clean), {3, 3, 3, 0}, 0), 1);
    }
    {
        // The answer is kept for the run: a marker appearing later is not seen.
        TempDir other;
        char buf[4096];
        const std::string old = getcwd(buf, sizeof buf) ? buf : ".";
        ASSERT_EQ(chdir(other.Path().c_str()), 0);
        ResetEotMarkerCache();
        EXPECT_EQ(EotMarkerPresent(), 0);
        WriteFileBytes(other.File("EOT!.DAT"), {' '});
        EXPECT_EQ(EotMarkerPresent(), 0);
        ASSERT_EQ(chdir(old.c_str()), 0);
        ResetEotMarkerCache();
    }
}

TEST(TagValidity, ReducedForm) {
    const TagReaderModes lenient{3, 3, 3, 0}, modes{2, 1, 0, 0};
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 9, 0, 0)), nullptr), 1);  // no table
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 0, 0, 0)), &lenient), 0);  // no tag reads
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 4, 0)), &lenient), 0);
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 3, 0xFFFF)), &lenient), 1);
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(24, 3, 0)), &lenient), 1);     // no EGC 24 rule
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 0, 0x4000)), &modes), 0);  // m2 = 0
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 0, 0xC000)), &modes), 1);  // bit 15 wins: m1 = 1
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 1, 0x8000)), &modes), 0);
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(6, 1, 0x8000)), &modes), 1);   // EGC 6 under m1 goes on as m2
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(6, 0, 0x8001)), &modes), 0);
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 0, 0x0100)), &modes), 1);  // m0 = 2, status 0
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 2, 0x0100)), &modes), 0);
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 3, 0x0200)), &modes), 1);
    const TagReaderModes none{255, 255, 255, 0};
    EXPECT_EQ(IsTagValidReduced(Bytes(Entry(19, 3, 0)), &none), 1);        // 255 counts as lenient
}

TEST(TagClassify, ResultBitsAndOutFlag) {
    const TagReaderModes lenient{3, 3, 3, 0};
    int out = 0;
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(19, 0, 0, 0, 0, 7)), lenient, 6, &out, 0), 4);
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(19, 0, 0, 0, 0, 7)), lenient, 7, &out, 0), 0);
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(19, 0, 0, 1, 0, 7)), lenient, -1, &out, 0), 7);
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(19, 0, 0, 1, 0, 7)), lenient, 7, &out, 0), 3);
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(19, 3, 0, 1, 0, 7)), lenient, 7, &out, 0), 7);  // status 3: new
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(6, 0, 0, 1, 0, 7)), lenient, -1, &out, 0), 6);  // EGC 6 not accepted
    EXPECT_EQ(out, 0);
    const TagReaderModes strict1{1, 1, 1, 0};
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(19, 1, 0, 1, 0, 7)), strict1, -1, &out, 0), 4);
    EXPECT_EQ(out, 1);  // new, accepted EGC, no bit 8
    out = 0;
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(19, 1, 0x0100, 1, 0, 7)), strict1, -1, &out, 0), 4);
    EXPECT_EQ(out, 0);
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(19, 1, 0, 2, 0x0100, 7)), strict1, -1, &out, 0), 4);
    EXPECT_EQ(out, 0);  // bit 8 of the second tag counts too
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(19, 1, 0, 1, 0, 7)), strict1, 7, &out, 0), 0);
    EXPECT_EQ(out, 0);  // not new
    EXPECT_EQ(ClassifyEntry(Bytes(Entry(19, 1, 0, 1, 0, 7)), strict1, -1, nullptr, 0), 4);
    // Accepted codes compare the low byte only.
    for (uint32_t c : {5u, 14u, 19u, 253u, 254u, 255u, 0x105u}) EXPECT_EQ(IsAcceptedEgc(c), 1) << c;
    for (uint32_t c : {0u, 6u, 10u, 18u, 20u, 24u, 252u}) EXPECT_EQ(IsAcceptedEgc(c), 0) << c;
}

TEST(TagClassify, ReducedMatchesConsistModes) {
    // With the consist modes 3, 3, 3 an entry is "tagged" (7) exactly when it
    // has tag reads, status 0-3 and an accepted EGC.
    const TagReaderModes consist{3, 3, 3, 0};
    for (uint8_t egc : {5, 6, 14, 19, 24, 253}) {
        for (uint8_t status : {0, 3, 4}) {
            for (int tags : {0, 1, 2}) {
                const Record e = Entry(egc, status, 0xFFFF, tags);
                const bool tagged = tags > 0 && status <= 3 && IsAcceptedEgc(egc);
                EXPECT_EQ(ClassifyEntryReduced(Bytes(e), &consist, -1) == 7, tagged)
                    << int(egc) << " " << int(status) << " " << tags;
            }
        }
    }
    EXPECT_EQ(ClassifyEntryReduced(Bytes(Entry(19, 0, 0, 1, 0, 3)), &consist, 3), 3);
    EXPECT_EQ(ClassifyEntryReduced(Bytes(Entry(19, 3, 0, 1, 0, 3)), &consist, 3), 7);
    EXPECT_EQ(ClassifyEntryReduced(Bytes(Entry(19, 4, 0, 1, 0, 3)), &consist, 2), 4);
}

TEST(TagStatus, LettersAndCounters) {
    int locos = 0, cars = 0;
    EXPECT_EQ(TagStatusLetter(Bytes(Entry(19, 0, 0x0001)), locos, cars, 6), 'K');
    EXPECT_EQ(TagStatusLetter(Bytes(Entry(19, 0, 0x0002)), locos, cars, 6), 'L');
    EXPECT_EQ(TagStatusLetter(Bytes(Entry(5, 0, 0x0004)), locos, cars, 6), 'A');
    EXPECT_EQ(TagStatusLetter(Bytes(Entry(19, 0, 0x0002, 2, 0x0004)), locos, cars, 6), 'M');
    EXPECT_EQ(TagStatusLetter(Bytes(Entry(14, 0, 0x0006)), locos, cars, 6), 'M');
    EXPECT_EQ(locos, 1);
    EXPECT_EQ(cars, 2);
    EXPECT_EQ(TagStatusLetter(Bytes(Entry(19, 0, 0x8000)), locos, cars, 0xFFFF), 'I');
    EXPECT_EQ(TagStatusLetter(Bytes(Entry(19, 0, 0x4000)), locos, cars, 0xFFFF), 'T');
    EXPECT_EQ(TagStatusLetter(Bytes(Entry(19, 0, 0x0200)), locos, cars, 0xFFFF), '?');
    EXPECT_EQ(TagStatusLetter(Bytes(Entry(19, 0, 0x0100)), locos, cars, 0xFFFF), 'C');
    // A second tag block is read only when the entry has two tags.
    Record one = Entry(19, 0, 0, 2, 0x0002);
    one.Set(layout::consist::kTagCount, 1);
    EXPECT_EQ(TagStatusLetter(Bytes(one), locos, cars, 6), 'K');
}

TEST(TagEntry, ShortAndLyingEntriesReadNothingBeyondTheirBytes) {
    const TagReaderModes lenient{3, 3, 3, 0};
    // Tag count 2 but bytes for one block: only that block is read.
    Record e = Entry(19, 0, 0x0002, 1);
    e.Set(layout::consist::kTagCount, 2);
    EXPECT_EQ(EntryTagCount(Bytes(e)), 1);
    EXPECT_TRUE(EntryTagBlock(Bytes(e), 1).empty());
    EXPECT_EQ(EntryCombinedFlags(Bytes(e)), 0x0002);
    // Tag count 1 on a 24-byte entry: no tag reads at all.
    Record bare = Entry(19, 0, 0, 0);
    bare.Set(layout::consist::kTagCount, 1);
    EXPECT_EQ(EntryTagCount(Bytes(bare)), 0);
    int out = 0;
    EXPECT_EQ(ClassifyEntry(Bytes(bare), lenient, -1, &out, 0), 4);
    // Tag count above 2 counts two blocks.
    Record many = Entry(19, 0, 0x0001, 2, 0x0004);
    many.Set(layout::consist::kTagCount, 9);
    EXPECT_EQ(EntryTagCount(Bytes(many)), 2);
    EXPECT_EQ(EntryCombinedFlags(Bytes(many)), 0x0005);
    // Entries cut short anywhere never fault.
    const Record full = Entry(6, 3, 0x4101, 2, 0x8020, 9);
    for (size_t n = 0; n <= full.Size(); ++n) {
        std::span<const uint8_t> cut(full.Bytes().data(), n);
        int l = 0, c = 0;
        (void)IsTagValid(cut, {1, 2, 3, 0}, 1);
        (void)IsTagValidReduced(cut, &lenient);
        (void)ClassifyEntry(cut, lenient, -1, &out, 1);
        (void)ClassifyEntryReduced(cut, &lenient, -1);
        (void)TagStatusLetter(cut, l, c, 0xFFFF);
        EXPECT_LE(EntryTagCount(cut), 2);
        EXPECT_TRUE(TagBlockText(EntryTagBlock(cut, 0)).empty() || n >= 56);
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(TagBlockText(EntryTagBlock(Bytes(full), 1)).data()), 20),
              kRailcarText);
    EXPECT_EQ(TagBlockTextWithLead(EntryTagBlock(Bytes(full), 0))[0], 'N');
}
