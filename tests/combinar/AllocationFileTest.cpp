// The library pieces the candidate allocations are written with: emptying
// an allocation, appending records in bulk, the key setter, and the file
// attributes the stale-output step reads.
#include "AllocFile.h"
#include "FileAttributes.h"
#include "Records.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace fixture;
namespace al = layout::alloc;
namespace hd = layout::header;

TEST(CombinarAllocation, EmptyAppendAndSetKeyRoundTrip) {
    TempDir dir;
    AllocFileBuilder().TimeScale(1, 1).RecordLength(16).Add(AllocRecord({0, 3, 50}, 16)).Write(dir.File("M.041"));
    CAllocFile f;
    ASSERT_TRUE(f.Load(dir.File("M").c_str()));
    f.Empty();
    EXPECT_EQ(f.GetCount(), 0);
    EXPECT_EQ(f.GetRecordLength(), 24u);
    EXPECT_EQ(f.GetTimeScale(), 1.0f);

    std::vector<uint8_t> recs;
    for (uint16_t i = 0; i < 3; ++i) {
        const auto r = AllocRecord({uint16_t(2 * i), uint16_t(2 * i + 1), 1000u * i, 1000u * i + 5}).Bytes();
        recs.insert(recs.end(), r.begin(), r.end());
    }
    ASSERT_TRUE(f.AppendAllocations(recs));
    EXPECT_EQ(f.GetCount(), 3);
    EXPECT_EQ(f.GetIndex(), 2);
    f.SetKey(0x1234);
    f.SetPart(7);
    f.SetSpeedByte(81);
    ASSERT_TRUE(f.SaveAs(dir.File("OUT").c_str()));

    const auto file = ReadFileBytes(dir.File("OUT.041"));
    ASSERT_EQ(file.size(), 64u + 3 * 24);
    EXPECT_EQ(layout::Get(file, 0, hd::kScaleExponent), 0u);
    EXPECT_EQ(layout::Get(file, 0, hd::kFileLength), 64u + 3 * 24);
    const size_t last = 64 + 2 * 24;
    EXPECT_EQ(layout::Get(file, last, al::kStartTime), 2000u);
    EXPECT_EQ(layout::Get(file, last, al::kSequence), 0x34u);
    EXPECT_EQ(layout::Get(file, last, al::kKeyHigh), 0x12u);
    EXPECT_EQ(layout::Get(file, last, al::kPart), 7u);
    EXPECT_EQ(layout::Get(file, last, al::kSpeed), 81u);

    // The header counts at most 65535 records: a bulk append past that
    // adds nothing.
    const std::vector<uint8_t> many(size_t(65533) * 24, 0);
    EXPECT_FALSE(f.AppendAllocations(many));
    EXPECT_EQ(f.GetCount(), 3);
    EXPECT_TRUE(f.AppendAllocations(std::vector<uint8_t>(size_t(65532) * 24, 0)));
    EXPECT_EQ(f.GetCount(), 65535);
}

TEST(CombinarAllocation, FileAttributes) {
    TempDir dir;
    WriteFileBytes(dir.File("plain"), {1});
    WriteFileBytes(dir.File("locked"), {1});
    ::chmod(dir.File("locked").c_str(), 0444);
    ::mkdir(dir.File("sub").c_str(), 0755);
    EXPECT_EQ(plat::GetFileAttributes(dir.File("plain")), plat::kAttrNormal);
    EXPECT_EQ(plat::GetFileAttributes(dir.File("PLAIN")), plat::kAttrNormal);  // any letter case
    EXPECT_EQ(plat::GetFileAttributes(dir.File("locked")), plat::kAttrReadOnly);
    EXPECT_EQ(plat::GetFileAttributes(dir.File("sub")), plat::kAttrDirectory);
    EXPECT_EQ(plat::GetFileAttributes(dir.File("missing")), plat::kInvalidAttributes);
    ASSERT_TRUE(plat::SetFileAttributes(dir.File("locked"), 0));
    EXPECT_EQ(plat::GetFileAttributes(dir.File("locked")), plat::kAttrNormal);
    ASSERT_TRUE(plat::SetFileAttributes(dir.File("plain"), plat::kAttrReadOnly));
    EXPECT_EQ(plat::GetFileAttributes(dir.File("plain")), plat::kAttrReadOnly);
    EXPECT_FALSE(plat::SetFileAttributes(dir.File("missing"), 0));
}
