#include "DigitizerFile.h"
#include "IoFile.h"
#include "Records.h"
#include "TagBits.h"
#include "TagFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace fixture;
namespace hdr = layout::header;
namespace tr = layout::tagread;
namespace dg = layout::digitizer;

// --- IO event file -----------------------------------------------------------

TEST(IoFile, LoadAddsExtensionAndConvertsTimes) {
    TempDir d;
    TrainFileBuilder b;
    b.Type(7, 0).TimeScale(1, 1).HeaderU8(43, 2);
    b.Add(IoRecord(12345, 0x0200)).Add(IoRecord(12400, 0x0300, 0));
    b.Write(d.File("T.007"));
    CIoFile f;
    ASSERT_EQ(f.Load(d.File("T").c_str()), 1);
    EXPECT_EQ(f.GetTime(), 1234);
    EXPECT_EQ(f.GetRecorderVersion(), 2);
    ASSERT_EQ(f.Next(), 1);
    EXPECT_EQ(f.IsDetectorEvent(), 0);
    // The scale is held as a 32-bit float (0.1f is a little above 0.1), and
    // both conversions truncate.
    f.SetTime(5000);
    EXPECT_EQ(f.GetRawTime(), 49999u);
    EXPECT_EQ(f.GetTime(), 4999);
}

TEST(IoFile, LyingCountAndTruncatedRecord) {
    TempDir d;
    TrainFileBuilder b;
    b.Type(7, 0).Add(IoRecord(1, 1)).Add(IoRecord(2, 2)).Count(500).TruncateTo(64 + 8 + 5);
    b.Write(d.File("T.007"));
    CIoFile f;
    ASSERT_EQ(f.Load(d.File("T").c_str()), 1);
    EXPECT_EQ(f.GetCount(), 1);
    EXPECT_EQ(f.Next(), 0);
    EXPECT_EQ(f.Seek(1), 0);
    EXPECT_EQ(f.GetRawTime(), 1u);
    CIoFile missing;
    EXPECT_EQ(missing.Load(d.File("NONE").c_str()), 0);
    EXPECT_EQ(missing.GetCount(), 0);
    EXPECT_EQ(missing.GetTime(), 0);
}

// --- tag read file -------------------------------------------------------------

namespace {

TrainFileBuilder TagReads() {
    TrainFileBuilder b;
    b.Type(tr::kTypeGroup, tr::kTypeSubcode).HeaderU8(42, 4).HeaderU8(54, 9).HeaderU16(32, 0x4000);
    b.Add(TagReadRecord({.time = 1000, .text = Tag(19, 0, "TTX", 123456).Text(), .antenna = '0', .readCount = 0x1F,
                         .eighths = 8 * 34 + 1, .dir = 1}));
    b.Add(TagReadRecord({.time = 2000, .text = Tag(5, 0, "UP", 9876).Text(), .antenna = '3', .readCount = 3}));
    b.Add(TagReadRecord(
        {.time = 3000, .text = Tag(7, 0, "XX", 1).Text(), .lead = '\0', .antenna = '1', .readCount = 3}));
    return b;
}

}  // namespace

TEST(TagFile, LoadNamesAndHeaderBytes) {
    TempDir d;
    TagReads().Write(d.File("T.064"));
    CTagFile f;
    EXPECT_EQ(f.GetAntennaConfig(), -1);
    EXPECT_EQ(f.Load(d.File("T").c_str()), 0);  // plain load adds nothing
    EXPECT_EQ(f.GetConfig2(), -1);
    ASSERT_EQ(f.LoadTyped(d.File("T").c_str(), ".064"), 1);
    EXPECT_EQ(f.GetAntennaConfig(), 4);
    EXPECT_EQ(f.GetConfig2(), 9);
    EXPECT_EQ(f.IsTagPairProcessed(), 1);
    EXPECT_EQ(f.GetReadCount(), 0x1F);
    EXPECT_EQ(f.GetSpeedEighths(), 8 * 34 + 1);
    ASSERT_EQ(f.Seek(1), 1);
    EXPECT_EQ(f.GetAntennaNumber(), 3);
    EXPECT_EQ(CTagFile::GetAntennaNumber(f.CurrentRecord().first(50)), -1);
}

TEST(TagFile, DecodeCurrentAndDeletedReads) {
    TempDir d;
    TagReads().Write(d.File("T.060"));
    CTagFile f;
    ASSERT_EQ(f.LoadTyped(d.File("T").c_str(), ".060"), 1);
    ASSERT_EQ(f.DecodeCurrent(), 1);
    EXPECT_EQ(f.GetTagText(), "N" + Tag(19, 0, "TTX", 123456).Text());
    EXPECT_EQ(f.GetDecoded().Owner(), "TTX");
    EXPECT_EQ(f.GetDecoded().NumberText(), "123456");
    ASSERT_EQ(f.Seek(1), 1);
    ASSERT_EQ(f.DecodeCurrent(), 1);
    EXPECT_EQ(f.GetDecoded().Egc(), 5u);
    ASSERT_EQ(f.Seek(2), 1);
    EXPECT_EQ(f.IsDeleted(), 1);
    EXPECT_EQ(f.GetTagText(), "N" + Tag(5, 0, "UP", 9876).Text());  // until decoded again
    EXPECT_EQ(f.DecodeCurrent(), 0);  // EGC 7 has no layout
    EXPECT_EQ(f.GetTagText(), "");
    EXPECT_EQ(f.GetDecoded().IsValid(), 0);
}

TEST(TagFile, TextWithoutTerminatorStopsAtTheAntennaDigit) {
    TempDir d;
    Record r = TagReadRecord({.time = 1, .text = Tag(19, 0, "TTX", 1).Text(), .antenna = '1', .readCount = 3});
    for (size_t off = 25; off < 50; ++off) r.U8(off, 'Z');
    TrainFileBuilder b;
    b.Add(r).Write(d.File("T.060"));
    CTagFile f;
    ASSERT_EQ(f.Load(d.File("T.060").c_str()), 1);
    EXPECT_EQ(f.DecodeCurrent(), 1);
    EXPECT_EQ(f.GetTagText().size(), 46u);
}

TEST(TagFile, DoubleTimesLeavesTheLastRecordDecoded) {
    TempDir d;
    TagReads().Write(d.File("T.060"));
    CTagFile f;
    ASSERT_EQ(f.LoadTyped(d.File("T").c_str(), ".060"), 1);
    ASSERT_EQ(f.Seek(1), 1);
    EXPECT_EQ(f.DoubleTimes(), 0);
    EXPECT_EQ(f.GetIndex(), 2);
    EXPECT_EQ(f.GetDecoded().IsValid(), 0);  // the last record's tag
    for (int i = 0; i < 3; ++i) EXPECT_EQ(f.GetFieldAt(i, tr::kTime), uint32_t(2000 * (i + 1)));

    // Header only, or a header claiming variable-length records: nothing to do.
    TrainFileBuilder empty;
    empty.Write(d.File("E.060"));
    CTagFile e;
    ASSERT_EQ(e.Load(d.File("E.060").c_str()), 1);
    EXPECT_EQ(e.DoubleTimes(), 0);
    EXPECT_EQ(e.DecodeCurrent(), 0);
    TagReads().RecordLength(0).Write(d.File("V.060"));
    CTagFile v;
    ASSERT_EQ(v.Load(d.File("V.060").c_str()), 1);
    EXPECT_EQ(v.DoubleTimes(), 0);
    EXPECT_EQ(v.DecodeCurrent(), 0);
    EXPECT_EQ(v.GetAntennaNumber(), -1);
}

TEST(TagFile, EncodedTagsSurviveSaveAndLoad) {
    TempDir d;
    auto tag = MakeAlphanumericTag(21, "ABCD", "Z9 Q");
    ASSERT_TRUE(tag);
    const auto text = EncodeTag(*tag);
    ASSERT_TRUE(text);
    TrainFileBuilder b;
    b.Add(TagReadRecord({.time = 7, .text = *text, .antenna = '1', .readCount = 3})).Write(d.File("T.060"));
    CTagFile f;
    ASSERT_EQ(f.Load(d.File("T.060").c_str()), 1);
    ASSERT_EQ(f.DecodeCurrent(), 1);
    EXPECT_EQ(f.GetDecoded().Tag(), *tag);
    EXPECT_EQ(f.GetDecoded().NumberText(), "    Z9 Q");
}

// --- digitizer file ------------------------------------------------------------

namespace {

std::vector<Sample> Repeat(Sample s, int n) { return std::vector<Sample>(size_t(n), s); }

// Walks every sample with NextSample from the first; the cap catches a walk
// that never ends.
std::vector<int> WalkSamples(CDigitizerFile& f, int cap = 10000) {
    std::vector<int> seen;
    if (!f.SeekSample(0, 1)) return seen;
    do {
        seen.push_back(f.GetSampleIndex());
        EXPECT_LT(int(seen.size()), cap);
        if (int(seen.size()) >= cap) break;
    } while (f.NextSample());
    return seen;
}

}  // namespace

TEST(DigitizerFile, ConstructorHeader) {
    CDigitizerFile f;
    EXPECT_EQ(f.GetHeaderField(hdr::kTypeGroup), 1u);
    EXPECT_EQ(f.GetHeaderField(hdr::kTypeSubcode), 13u);
    EXPECT_EQ(f.GetRecordLength(), 0u);
    const uint32_t month = f.GetHeaderField(hdr::kMonth);
    EXPECT_TRUE(BcdToInt(month) >= 1 && BcdToInt(month) <= 12) << month;
    EXPECT_GE(BcdToInt(f.GetHeaderField(hdr::kYear)), 2020);
    EXPECT_EQ(f.HasBlock(), 0);
    EXPECT_EQ(f.NextSample(), 0);
    EXPECT_EQ(f.SeekSample(0, 1), 0);
    EXPECT_EQ(f.GetSample(0), 0);
}

TEST(DigitizerFile, BlocksSamplesAndTimes) {
    TempDir d;
    auto b = DigitizerFileBuilder();
    b.Add(DigitizerBlock(1000, 1003, {{1, 2}, {3, 4}, {5, 6}}, 5, 77));
    b.Add(DigitizerBlock(1003, 1003, {}));  // no samples
    b.Add(DigitizerBlock(2000, 2010, {{7, 8}, {9, 10}}, 250, 88));
    b.Write(d.File("T.01d"));
    CDigitizerFile f;
    ASSERT_EQ(f.Load(d.File("T.01d").c_str()), 1);
    EXPECT_EQ(f.CountBlocks(), 3);
    EXPECT_EQ(f.CountSamples(), 5);
    EXPECT_EQ(f.GetBlockIndex(), 0);
    EXPECT_EQ(f.GetSamplesPerBlock(), 3u);
    EXPECT_NEAR(f.GetSamplePeriod(), 0.001, 1e-15);
    EXPECT_NEAR(f.GetSamplesPerSecond(), 1000, 1);
    EXPECT_DOUBLE_EQ(f.GetConversionTime(), 1e-5);
    EXPECT_EQ(f.GetBlockByte13(), 77);
    EXPECT_EQ(f.GetThreshold(), 20);

    EXPECT_EQ(WalkSamples(f), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(f.GetBlockIndex(), 2);
    EXPECT_EQ(f.GetSample(0), 9);
    EXPECT_EQ(f.GetSample(1), 10);
    EXPECT_EQ(f.GetSample(2), 0);
    EXPECT_DOUBLE_EQ(f.GetSampleTime(), 2005.0);
    EXPECT_EQ(f.GetBlockConversion(), 250);

    // Block navigation skips the block without samples; SeekBlock does not.
    EXPECT_EQ(f.PrevBlock(), 1);
    EXPECT_EQ(f.GetBlockIndex(), 0);
    EXPECT_EQ(f.PrevBlock(), 0);
    EXPECT_EQ(f.NextBlock(), 1);
    EXPECT_EQ(f.GetBlockIndex(), 2);
    EXPECT_EQ(f.NextBlock(), 0);
    EXPECT_EQ(f.SeekBlock(1), 1);
    EXPECT_EQ(f.HasSample(), 0);
    EXPECT_EQ(f.GetSample(0), 0);
    EXPECT_EQ(f.SeekBlock(3), 0);
    EXPECT_EQ(f.SeekBlock(-1), 0);
    EXPECT_EQ(f.GetBlockIndex(), 1);
    EXPECT_EQ(f.NextSample(), 1);  // on to the next block with samples
    EXPECT_EQ(f.GetSampleIndex(), 3);
    EXPECT_EQ(f.GetSample(0), 7);
}

TEST(DigitizerFile, SeekSampleBothWaysAndRestoresOnFailure) {
    TempDir d;
    auto b = DigitizerFileBuilder();
    b.Add(DigitizerBlock(0, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    b.Add(DigitizerBlock(4, 4, {}));
    b.Add(DigitizerBlock(10, 12, {{4, 4}, {5, 5}}));
    b.Add(DigitizerBlock(20, 23, {{6, 6}, {7, 7}, {8, 8}}));
    b.Write(d.File("T.01d"));
    CDigitizerFile f;
    ASSERT_EQ(f.Load(d.File("T.01d").c_str()), 1);
    for (int n : {7, 5, 6, 2, 8, 0, 4, 3}) {
        ASSERT_EQ(f.SeekSample(n, 0), 1) << n;
        EXPECT_EQ(f.GetSampleIndex(), n);
        EXPECT_EQ(f.GetSample(0), n);
        EXPECT_EQ(f.GetSample(1), n);
    }
    ASSERT_EQ(f.SeekSample(5, 0), 1);
    EXPECT_EQ(f.SeekSample(9, 0), 0);
    EXPECT_EQ(f.SeekSample(-3, 0), 0);
    EXPECT_EQ(f.GetSampleIndex(), 5);
    EXPECT_EQ(f.GetBlockIndex(), 2);
    EXPECT_EQ(f.GetSampleInBlock(), 1u);
    EXPECT_DOUBLE_EQ(f.GetSampleTime(), 11.0);
    EXPECT_EQ(f.SeekSample(6, 1), 1);  // restart: the first sample, at once
    EXPECT_EQ(f.GetSampleIndex(), 0);
}

TEST(DigitizerFile, IdleLevelsAndBands) {
    TempDir d;
    auto samples = Repeat({100, 30}, 200);
    for (int i = 0; i < 20; ++i) samples.push_back({180, 30});   // passing wheel on channel 0
    for (int i = 0; i < 300; ++i) samples.push_back({220, 31});  // more frequent, but after the drop
    auto b = DigitizerFileBuilder();
    b.Add(DigitizerBlock(0, 520, samples));
    b.Write(d.File("T.01d"));
    CDigitizerFile f;
    ASSERT_EQ(f.Load(d.File("T.01d").c_str()), 1);
    EXPECT_EQ(f.GetHistogram(0, 100), 200u);
    EXPECT_EQ(f.GetHistogram(1, 31), 300u);
    EXPECT_EQ(f.GetIdleLevel(0), 100);  // the walk ends 51 below the maximum
    EXPECT_EQ(f.GetIdleLevel(1), 31);   // 220 at 30, then 300 at 31 right after it
    EXPECT_EQ(f.GetBandHalfWidth(), 0);
    ASSERT_EQ(f.SeekSample(0, 1), 1);
    EXPECT_EQ(f.IsSignal(), 1);  // a band of width 0 holds no value strictly inside
    f.SetBand(5);
    EXPECT_EQ(f.GetBandLow(0), 95);
    EXPECT_EQ(f.GetBandHigh(1), 36);
    EXPECT_EQ(f.IsSignal(), 0);
    ASSERT_EQ(f.SeekSample(200, 0), 1);
    EXPECT_EQ(f.IsSignal(), 1);
    f.SetBand(200);  // 8-bit arithmetic: the band wraps and holds nothing
    EXPECT_EQ(f.GetBandLow(0), uint8_t(100 - 200));
    ASSERT_EQ(f.SeekSample(0, 1), 1);
    EXPECT_EQ(f.IsSignal(), 1);
}

TEST(DigitizerFile, IdleWalkKeepsGoingWhileCountsStayNear) {
    TempDir d;
    auto samples = Repeat({7, 255}, 40);
    for (int i = 0; i < 45; ++i) samples.push_back({8, 255});
    for (int i = 0; i < 45; ++i) samples.push_back({150, 255});  // never 50 below: walk reaches it
    auto b = DigitizerFileBuilder();
    b.Add(DigitizerBlock(0, 130, samples));
    b.Write(d.File("T.01d"));
    CDigitizerFile f;
    ASSERT_EQ(f.Load(d.File("T.01d").c_str()), 1);
    EXPECT_EQ(f.GetIdleLevel(0), 150);  // the later value reaches the maximum again
    EXPECT_EQ(f.GetIdleLevel(1), 254);  // only 255 seen: the walk ends at 254
}

TEST(DigitizerFile, MalformedBlocksEndTheSequenceSafely) {
    TempDir d;
    struct Case {
        const char* name;
        TrainFileBuilder b;
        int blocks;
        int samples;
    };
    std::vector<Case> cases;
    {
        auto b = DigitizerFileBuilder();
        b.Add(DigitizerBlock(0, 2, {{1, 1}, {2, 2}}));
        b.Add(DigitizerBlock(0, 2, {{3, 3}}, 0, 0, 0));  // length 0: would never advance
        b.Add(DigitizerBlock(0, 2, {{4, 4}}));
        cases.push_back({"zero length", b, 1, 2});
    }
    {
        auto b = DigitizerFileBuilder();
        b.Add(DigitizerBlock(0, 2, {{1, 1}}, 0, 0, 10));  // shorter than its header
        cases.push_back({"short length", b, 0, 0});
    }
    {
        auto b = DigitizerFileBuilder();
        b.Add(DigitizerBlock(0, 2, {{1, 1}}));
        b.Add(DigitizerBlock(0, 2, {{1, 1}, {2, 2}}, 0, 0, 60000));  // runs past the data
        cases.push_back({"length past the end", b, 2, 3});
    }
    {
        auto b = DigitizerFileBuilder();
        b.Add(DigitizerBlock(0, 2, {{1, 1}, {2, 2}, {3, 3}}, 0, 0, 21));  // odd length
        b.Add(DigitizerBlock(0, 2, {{4, 4}}));
        // The next block starts on the first block's last sample byte and reads
        // a length of 3 + 256 x 18: it keeps the one whole sample left.
        cases.push_back({"odd length", b, 2, 3});
    }
    {
        auto b = DigitizerFileBuilder();
        b.Add(DigitizerBlock(0, 2, {{1, 1}})).Add(DigitizerBlock(0, 2, {{2, 2}})).Count(9);
        cases.push_back({"count too large", b, 2, 2});
    }
    {
        auto b = DigitizerFileBuilder();
        b.Add(DigitizerBlock(0, 2, {{1, 1}})).Add(DigitizerBlock(0, 2, {{2, 2}})).Count(1);
        cases.push_back({"count too small", b, 1, 1});
    }
    {
        auto b = DigitizerFileBuilder();
        b.Add(DigitizerBlock(0, 2, {{1, 1}, {2, 2}})).TruncateTo(64 + 10);
        cases.push_back({"truncated header", b, 0, 0});
    }
    {
        auto b = DigitizerFileBuilder();
        b.Add(DigitizerBlock(0, 2, {{1, 1}, {2, 2}})).TruncateTo(64 + 16 + 3);
        cases.push_back({"truncated samples", b, 1, 1});
    }
    {
        auto b = DigitizerFileBuilder();
        b.Add(DigitizerBlock(5, 2, {{1, 1}, {2, 2}}));  // end before start
        b.Add(DigitizerBlock(5, 5, {{3, 3}}));         // no time span
        cases.push_back({"times backwards", b, 2, 3});
    }
    {
        auto b = DigitizerFileBuilder();
        cases.push_back({"header only", b, 0, 0});
    }
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.b.Write(d.File("M.01d"));
        CDigitizerFile f;
        ASSERT_EQ(f.Load(d.File("M.01d").c_str()), 1);
        EXPECT_EQ(f.CountBlocks(), c.blocks);
        EXPECT_EQ(f.CountSamples(), c.samples);
        const auto seen = WalkSamples(f);
        EXPECT_EQ(int(seen.size()), c.samples);
        for (int i = 0; i < 4; ++i) (void)f.SeekBlock(i);
        for (int n : {c.samples + 1, c.samples - 1, 0, 1 << 20}) (void)f.SeekSample(n, 0);
        while (f.PrevBlock()) {
        }
        (void)f.GetSample(0);
        (void)f.GetSampleTime();
        (void)f.IsSignal();
        EXPECT_GE(f.GetSamplesPerSecond(), 0);
    }
}
