#include "AllocFile.h"
#include "DetectorLayout.h"
#include "IoLayout.h"
#include "LargeTrain.h"
#include "SampleTrain.h"
#include "ScaleLayout.h"
#include "SimSupport.h"
#include "TagDecode.h"
#include "TrainSummaryFile.h"
#include "WheelFile.h"

#include <gtest/gtest.h>

#include <set>

using namespace trainsim;
using fixture::TempDir;

namespace hdr = layout::header;
namespace cs = layout::consist;
namespace tr = layout::tagread;
namespace aei = layout::aei;

namespace {

const char* const kBase = "00008901";

class SampleFiles : public ::testing::Test {
protected:
    void SetUp() override { sim = simtest::WriteTrain(dir, kBase, SampleDescription()); }
    std::string File(const char* ext) const { return dir.File(std::string(kBase) + ext); }
    void Load(CTrainFile& f, const char* ext) const { ASSERT_TRUE(f.Load(File(ext).c_str())) << ext; }

    TempDir dir;
    Simulation sim;
};

std::optional<DecodedTag> DecodeText(std::span<const uint8_t> bytes, size_t offset) {
    if (offset + aei::kTextLength > bytes.size()) return std::nullopt;
    return DecodeTag(bytes.subspan(offset, aei::kTextLength));
}

}  // namespace

TEST_F(SampleFiles, HeadersCarryTheSiteFacts) {
    const struct {
        const char* ext;
        uint16_t format, group, subcode, recordLength;
    } types[] = {
        {".007", 0x0501, 7, 0, 8},  {".012", 0x0501, 1, 2, 8},  {".060", 0x0100, 3, 0, 64},
        {".064", 0x0100, 3, 0, 64}, {".035", 0x0100, 3, 5, 0},  {".034", 0x0100, 4, 4, 180},
        {".041", 0x0501, 4, 1, 24}, {".018", 0x0000, 1, 8, 16}, {".055", 0x0501, 5, 5, 24},
    };
    for (const auto& t : types) {
        CTrainFile f;
        Load(f, t.ext);
        EXPECT_EQ(f.GetHeaderField(hdr::kFormat), t.format) << t.ext;
        EXPECT_EQ(f.GetHeaderField(hdr::kTypeGroup), t.group) << t.ext;
        EXPECT_EQ(f.GetHeaderField(hdr::kTypeSubcode), t.subcode) << t.ext;
        EXPECT_EQ(f.GetHeaderField(hdr::kRecordLength), t.recordLength) << t.ext;
        EXPECT_EQ(f.GetHeaderField(hdr::kFileLength), 64 + f.GetDataSize()) << t.ext;
        EXPECT_EQ(f.GetHeaderField(hdr::kYear), 0x2025u) << t.ext;
        EXPECT_EQ(f.GetHeaderField(hdr::kMonth), 0x03u) << t.ext;
        EXPECT_EQ(f.GetHeaderField(hdr::kHours), 0x08u) << t.ext;
    }
    CTrainFile io;
    Load(io, ".007");
    EXPECT_EQ(io.GetCount(), int(sim.io.size()));
    EXPECT_EQ(io.GetHeaderField(layout::io::kAbSpacing), 54u);  // the seeded error, not the true 60
    EXPECT_EQ(io.GetHeaderField(layout::io::kRecorderVersion), 1u);
    EXPECT_EQ(io.GetHeaderField(layout::io::kPreprocessed), 1u);
    EXPECT_EQ(io.GetFieldAt(1, layout::io::kInputs), 0x0201u);

    CWheelFile wheel;
    ASSERT_TRUE(wheel.Load(File("").c_str()));
    EXPECT_EQ(wheel.GetABSpacing(), 54);
    ASSERT_EQ(wheel.GetCount(), int(sim.wheel.size()));
    int a = 0, b = 0;
    for (int i = 0; i < wheel.GetCount(); ++i) {
        wheel.Seek(i);
        (wheel.GetDetector() == 0 ? a : b) += 1;
    }
    // Each axle's forward passage, plus the two backed-out axles' backward
    // passages and the first activation of their returns.
    EXPECT_EQ(a, 88 + 4);
    EXPECT_EQ(b, 88 + 4);

    CTrainSummaryFile summary;
    ASSERT_TRUE(summary.Load(File("").c_str()));
    EXPECT_EQ(summary.GetTrainId(), "MIXED FREIGHT 4711");
    EXPECT_EQ(summary.FormatFirstDate(), "03-14-25");
    EXPECT_EQ(summary.FormatFirstTime(), "08:30:00");
    EXPECT_EQ(summary.FormatLastTime(), "08:33:51");  // 231 s later
    EXPECT_EQ(summary.Get(layout::summary::kCountA), unsigned(a));
    EXPECT_EQ(summary.Get(layout::summary::kCountB), unsigned(b));
    EXPECT_EQ(summary.Get(layout::summary::kLastWheelB), 1u);
}

TEST_F(SampleFiles, EveryTagDecodesToItsVehicle) {
    const auto& vehicles = sim.desc.vehicles;
    for (int side = 1; side <= 2; ++side) {
        CTrainFile f;
        Load(f, side == 1 ? ".060" : ".064");
        EXPECT_EQ(f.GetHeaderField(tr::kProcessingFlags), tr::kTagPairProcessed);
        EXPECT_EQ(f.GetHeaderField(tr::kAntennaConfig), 1u);
        // Side 1 reads every vehicle, the end-of-train device included; side 2
        // every vehicle with two tags (all but the one-tag flatcar and the
        // end-of-train device). The reads come in train order.
        std::vector<size_t> read;
        for (size_t v = 0; v < vehicles.size(); ++v)
            if (side == 1 || (vehicles[v].sideTwoTag && vehicles[v].kind != VehicleKind::EndOfTrain)) read.push_back(v);
        ASSERT_EQ(read.size(), side == 1 ? 20u : 18u);
        ASSERT_EQ(f.GetCount(), int(read.size()));
        for (int i = 0; i < f.GetCount(); ++i) {
            std::span<const uint8_t> rec = f.Data().subspan(size_t(i) * tr::kRecordSize, tr::kRecordSize);
            auto tag = DecodeText(rec, tr::kTextOffset);
            ASSERT_TRUE(tag) << side << " " << i;
            const VehicleSpec& v = vehicles[read[size_t(i)]];
            EXPECT_EQ(tag->Owner(), v.owner);
            EXPECT_EQ(tag->CarNumber(), v.number);
            EXPECT_EQ(int(tag->Egc()), v.egc);
            EXPECT_EQ(rec[tr::kTextOffset + tr::kTextLength], 0);
            EXPECT_EQ(layout::Get(rec, 0, tr::kLead), uint32_t(kTagLead));
            EXPECT_EQ(layout::Get(rec, 0, tr::kAntenna), uint32_t('0'));
            EXPECT_EQ(layout::Get(rec, 0, tr::kSpeedWhole) & 1u, 1u);
            EXPECT_TRUE(isxdigit(rec[tr::kReadCountOffset]) && isxdigit(rec[tr::kReadCountOffset + 1]));
        }
    }
    // Locomotive and railcar tags carry the length in decimetres and the
    // axle count; the extended railcar tag carries value 7 with the longer
    // fields the tag scanner reads.
    std::string error;
    auto loco = VehicleTag(vehicles[0], error);
    ASSERT_TRUE(loco) << error;
    EXPECT_EQ(loco->Get(aei::kLoco36), 226u);  // 74 ft
    EXPECT_EQ(loco->Get(aei::kLoco40), 6u);
    auto flat = VehicleTag(vehicles[2], error);
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->Get(aei::kRailcar36), 271u);  // 89 ft
    EXPECT_EQ(flat->Get(aei::kRailcar40), 4u);
    auto ns = VehicleTag(vehicles[17], error);
    ASSERT_TRUE(ns);
    const uint32_t v64 = ns->Get(aei::kRailcar64);
    EXPECT_EQ(v64 >> 6, 7u);
    EXPECT_EQ(((v64 >> 5 & 1) << 12) | ns->Get(aei::kRailcar36), 158u);   // 52 ft
    EXPECT_EQ(((v64 & 0x1F) << 5 | (ns->Get(aei::kRailcar40) - 1)) + 1, 4u);
}

TEST_F(SampleFiles, ConsistEntries) {
    CTrainFile f;
    Load(f, ".035");
    const auto entries = simtest::ConsistEntries(f);
    ASSERT_EQ(entries.size(), 20u);
    EXPECT_EQ(f.GetStoredCount(), 20);
    int axle = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        const VehicleSpec& v = sim.desc.vehicles[i];
        const bool eot = v.kind == VehicleKind::EndOfTrain;
        EXPECT_EQ(e.size(), eot || !v.sideTwoTag ? cs::kOneTagSize : cs::kTwoTagSize) << i;
        EXPECT_EQ(layout::Get(e, 0, cs::kVehicleNumber), i);  // the head vehicle is 0
        EXPECT_EQ(int(layout::Get(e, 0, cs::kAxleCount)), v.axles);
        EXPECT_EQ(int(layout::Get(e, 0, cs::kFirstAxle)), axle);
        EXPECT_EQ(int(layout::Get(e, 0, cs::kEgc)), v.egc);
        EXPECT_EQ(layout::Get(e, 0, cs::kReadStatus), 0u);
        EXPECT_EQ(layout::Get(e, 0, cs::kOrientation), v.flipped ? 1u : 0u);
        EXPECT_EQ(int(layout::Get(e, 0, cs::kVehicleLength)), LengthDecimetres(v.lengthFt));
        for (int k = 0; k < EntryTagCount(e); ++k) {
            auto tag = DecodeTag(TagBlockText(EntryTagBlock(e, k)));
            ASSERT_TRUE(tag);
            EXPECT_EQ(tag->Owner(), v.owner);
            EXPECT_EQ(tag->CarNumber(), v.number);
            EXPECT_EQ(EntryTagFlags(e, k), v.tagFlags);
        }
        axle += v.axles;
    }
    EXPECT_EQ(EntryTagFlags(entries[17], 0), 0x0002);  // the NS car's length exception
}

TEST_F(SampleFiles, AllocationFollowsTheAxles) {
    CAllocFile f;
    ASSERT_TRUE(f.Load(File("").c_str()));
    ASSERT_EQ(f.CountVehicles(), 19);  // every vehicle but the end-of-train device
    f.Seek(0);
    int expectedFirst = 0, prevEnd = -1;
    for (int v = 0; v < 19; ++v) {
        ASSERT_TRUE(f.SeekVehicle(v));
        EXPECT_EQ(f.VehicleFirstAxle(), expectedFirst);
        EXPECT_EQ(f.VehicleAxleCount(), sim.desc.vehicles[size_t(v)].axles);
        EXPECT_EQ(f.GetEgc(), sim.desc.vehicles[size_t(v)].egc);
        EXPECT_GT(f.VehicleStartTime(), prevEnd);
        EXPECT_EQ(f.GetSpeedByte() & 1, 1);
        prevEnd = f.VehicleEndTime();
        expectedFirst += f.VehicleAxleCount();
    }
}

TEST_F(SampleFiles, HotBearingReadingsAndScaleEntries) {
    namespace dt = layout::detector;
    namespace sc = layout::scale;
    CTrainFile hbd;
    Load(hbd, ".018");
    // One reading per axle and the spurious one after axle 60.
    ASSERT_EQ(hbd.GetCount(), 89);
    EXPECT_EQ(hbd.GetHeaderField(dt::kFirstSpeed), uint32_t(sim.hbd.front().mph));
    EXPECT_EQ(hbd.GetHeaderField(dt::kLastSpeed), 15u);  // the train leaves at 15 mph
    EXPECT_EQ(hbd.GetFieldAt(0, dt::kMsSincePrevious), 0u);
    EXPECT_TRUE(sim.hbd[60].spurious);
    for (int i = 0; i < 89; ++i) {
        EXPECT_EQ(hbd.GetFieldAt(i, dt::kNumber), uint32_t(i + 1));
        const bool alarm = i == 26;
        EXPECT_EQ(hbd.GetFieldAt(i, dt::kSide2Code), alarm ? uint32_t('A') : uint32_t('N')) << i;
        EXPECT_EQ(hbd.GetFieldAt(i, dt::kSide1Code), uint32_t('N'));
        if (alarm) {
            EXPECT_EQ(hbd.GetFieldAt(i, dt::kSide2Value), 210u);
        } else {
            EXPECT_LT(hbd.GetFieldAt(i, dt::kSide2Value), 100u);
        }
    }
    CTrainFile scale;
    Load(scale, ".055");
    // The railcars and the articulated unit, in train order.
    std::vector<size_t> weighed;
    for (size_t v = 0; v < sim.desc.vehicles.size(); ++v)
        if (sim.desc.vehicles[v].egc == 19) weighed.push_back(v);
    ASSERT_EQ(scale.GetCount(), int(weighed.size()));
    for (int i = 0; i < scale.GetCount(); ++i) {
        const VehicleSpec& v = sim.desc.vehicles[weighed[size_t(i)]];
        EXPECT_EQ(scale.GetFieldAt(i, sc::kValue20), uint32_t(i + 1));
        EXPECT_EQ(int(scale.GetFieldAt(i, sc::kValue18)), v.axles);
        EXPECT_NEAR(double(scale.GetFieldAt(i, sc::kValue4)), v.weightTons * 2000.0, v.weightTons * 20.0 + 1);
        EXPECT_EQ(scale.GetFieldAt(i, sc::kValue8) + scale.GetFieldAt(i, sc::kValue12),
                  scale.GetFieldAt(i, sc::kValue4));
        if (i > 0) {
            EXPECT_GT(scale.GetFieldAt(i, sc::kTime), scale.GetFieldAt(i - 1, sc::kTime));
        }
    }
}

TEST(TrainsimFiles, SameSeedSameBytes) {
    TempDir one, two, three;
    simtest::WriteTrain(one, kBase, SampleDescription());
    simtest::WriteTrain(two, kBase, SampleDescription());
    simtest::WriteTrain(three, kBase, std::string(SampleDescription()) + "seed 99\n");
    const std::vector<std::string> names = one.List();
    ASSERT_EQ(names.size(), 9u);
    EXPECT_EQ(names, two.List());
    for (const std::string& n : names)
        EXPECT_EQ(fixture::ReadFileBytes(one.File(n)), fixture::ReadFileBytes(two.File(n))) << n;
    EXPECT_NE(fixture::ReadFileBytes(one.File("00008901.018")), fixture::ReadFileBytes(three.File("00008901.018")));
}

TEST(TrainsimFiles, LargeTrainsUpToTheRecordLimit) {
    Simulation big;
    std::string error;
    ASSERT_TRUE(Simulate(LargeTrain(65535, 3), big, error)) << error;
    EXPECT_LE(big.io.size(), 65535u);
    EXPECT_GE(big.io.size(), 65535u - 20);
    EXPECT_EQ(big.io.size(), LargeTrainIoRecords(unsigned(big.geometry.axleFt.size()), LargeTrainStops(65535)));
    EXPECT_EQ(big.BackwardPassages(), 2 * int(LargeTrainStops(65535)));
    EXPECT_EQ(big.net.size(), big.geometry.axleFt.size());
    Simulation small;
    ASSERT_TRUE(Simulate(LargeTrain(1000, 3), small, error)) << error;
    EXPECT_LE(small.io.size(), 1000u);
    EXPECT_GE(small.io.size(), 1000u - 20);
    // One car more than a file can count is refused.
    EXPECT_NE(simtest::SimulationError(std::string(simtest::kPlainSite) + "car TTX 1 count=4100\n")
                  .find("a file holds at most 65535 records"),
              std::string::npos);
}
