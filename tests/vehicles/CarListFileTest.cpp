#include "CarListFile.h"
#include "ConsistFile.h"
#include "ConsistLayout.h"
#include "EncodedTags.h"
#include "TestSupport.h"
#include "VehicleRecords.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace fixture;
namespace cl = layout::carlist;
namespace cs = layout::consist;
namespace hdr = layout::header;

namespace {

struct Car {
    uint32_t egc, status, orientation;
    std::string initials, number;
    char letter;
    uint32_t byte44;
    bool operator==(const Car&) const = default;
};

std::vector<Car> Cars(CCarListFile& f) {
    std::vector<Car> cars;
    for (int i = 0; f.Seek(i); ++i)
        cars.push_back({f.GetField(cl::kEgc), f.GetField(cl::kReadStatus), f.GetField(cl::kOrientation),
                        f.GetInitials(), f.GetCarNumber(), f.GetStatusLetter(), f.GetField(cl::kTagByte44)});
    return cars;
}

// A car list record with the status letter K.
Record CarRecord(uint16_t number, uint16_t firstAxle, uint8_t axles, uint8_t egc, uint8_t status, uint32_t word0 = 0,
                 uint8_t orientation = 0) {
    return CarListRecord({number, firstAxle, axles, egc, status, "", "", word0, orientation, 'K'});
}

// One vehicle of each kind the builder tells apart.
TrainFileBuilder MixedConsist() {
    auto b = ConsistFile({}, hdr::kDefaultFormat);
    b.Add(VehicleEntry({1, 5, 0, 6, 0, {{0, TagText(5, "UP", 8901)}}}));
    b.Add(VehicleEntry({2, 19, 1, 4, 6, {{0x0002, TagText(19, "TTX", 654321, {{layout::aei::kRailcar44, 5}})}}}));  // L
    b.Add(VehicleEntry({3, 40, 0, 4, 10, {{0x0004, TagText(19, "GATX", 12)}, {0x0002, TagText(19, "GATX", 12)}}}));
    b.Add(VehicleEntry({4, 19, 0, 4, 14}));                                      // no read
    b.Add(VehicleEntry({5, 19, 0, 4, 18, {{0, UndecodableText()}}}));            // does not decode
    b.Add(VehicleEntry({6, 18, 0, 4, 22, {{0, TagText(18, "ABC", 1)}}}));        // code not accepted
    b.Add(VehicleEntry({7, 19, 0, 4, 26, {{0x0010, TagText(19, "REJ", 77)}}}));  // rejected by the mask
    b.Add(VehicleEntry({7, 19, 0, 4, 26, {{0, TagText(19, "DUP", 78)}}}));       // same vehicle again
    b.Add(VehicleEntry({8, 19, 4, 4, 30, {{0, TagText(19, "OLD", 5)}}}));        // status 4 already
    return b;
}

std::string Printed(const CCarListFile& f) {
    std::FILE* tmp = std::tmpfile();
    f.Print(tmp);
    std::rewind(tmp);
    std::string out;
    for (int c; (c = std::fgetc(tmp)) != EOF;) out.push_back(static_cast<char>(c));
    std::fclose(tmp);
    return out;
}

}  // namespace

TEST(CarListBuild, FromAMixedConsist) {
    TempDir d;
    MixedConsist().Write(d.File("T.035"));
    const auto consistBefore = ReadFileBytes(d.File("T.035"));
    CCarListFile f;
    ASSERT_EQ(f.BuildFromConsist(d.File("T").c_str(), TagReaderModes{}, 0x0010), 1);
    EXPECT_EQ(f.GetIndex(), 7);  // each record is inserted at the end, where the cursor stays
    EXPECT_EQ(Cars(f), (std::vector<Car>{
                           {5, 0, 1, "UP", "8901", 'K', 0},
                           {19, 1, 1, "TTX", "654321", 'L', 5},
                           {19, 0, 1, "GATX", "12", 'M', 0},  // code 40 replaced by the tag's
                           {19, 4, 0, "", "", 'K', 0},
                           {19, 4, 0, "", "", 'K', 0},
                           {18, 4, 0, "", "", 'K', 0},
                           {19, 4, 1, "REJ", "77", 'K', 0},
                           {19, 4, 0, "", "", 'K', 0},
                       }));
    // Copied fields of the second record.
    ASSERT_EQ(f.Seek(1), 1);
    EXPECT_EQ(f.GetField(cl::kWord0), 2000u);
    EXPECT_EQ(f.GetVehicleNumber(), 2);
    EXPECT_EQ(f.GetFirstAxle(), 6);
    EXPECT_EQ(f.GetAxleCount(), 4);
    EXPECT_EQ(f.GetField(cl::kVehicleLength), 502u);
    EXPECT_EQ(f.GetField(cl::kByte6), 0x62u);
    const auto& c = f.Counters();
    EXPECT_EQ(c.locomotives, 1);
    EXPECT_EQ(c.locomotivesRead, 1);
    EXPECT_EQ(c.others, 7);
    EXPECT_EQ(c.othersRead, 2);
    EXPECT_EQ(c.axles, 34);
    EXPECT_EQ(std::vector<int>(c.status, c.status + 5), (std::vector<int>{2, 1, 0, 0, 5}));
    // The consist's own file is not touched.
    EXPECT_EQ(ReadFileBytes(d.File("T.035")), consistBefore);

    EXPECT_EQ(Printed(f), "001 005 06    UP     8901\n"
                          "002 019 04   TTX   654321\n"
                          "003 019 04  GATX       12\n"
                          "004 019 04              0\n"
                          "005 019 04              0\n"
                          "006 018 04              0\n"
                          "007 019 04              0\n"
                          "008 019 04              0\n");

    ASSERT_EQ(f.SaveAs(d.File("T.036").c_str()), 1);
    CCarListFile g;
    ASSERT_EQ(g.Load(d.File("T").c_str()), 1);
    EXPECT_EQ(g.GetIndex(), 0);
    EXPECT_EQ(g.Counters().othersRead, 2);
    EXPECT_EQ(Cars(g), Cars(f));
}

TEST(CarListBuild, ReaderModesRejectEverything) {
    TempDir d;
    MixedConsist().Write(d.File("T.035"));
    CCarListFile f;
    ASSERT_EQ(f.BuildFromConsist(d.File("T").c_str(), TagReaderModes{3, 3, 0, 0}, 0), 1);
    ASSERT_EQ(f.GetCount(), 8);
    for (const Car& car : Cars(f)) {
        EXPECT_EQ(car.status, 4u);
        EXPECT_EQ(car.initials, "");
    }
    EXPECT_EQ(f.Counters().status[4], 8);
}

TEST(CarListBuild, MissingOrEmptyConsist) {
    TempDir d;
    CarListFileBuilder().Add(CarRecord(1, 0, 4, 19, 0)).Write(d.File("L.036"));
    CCarListFile f;
    ASSERT_EQ(f.Load(d.File("L").c_str()), 1);
    EXPECT_EQ(f.BuildFromConsist(d.File("missing").c_str(), TagReaderModes{}, 0), 0);
    EXPECT_EQ(f.GetCount(), 1);  // kept
    ConsistFile({}, hdr::kDefaultFormat).Write(d.File("E.035"));
    EXPECT_EQ(f.BuildFromConsist(d.File("E").c_str(), TagReaderModes{}, 0), 0);
    EXPECT_EQ(f.GetCount(), 0);  // deleted
    // A damaged consist gives the cars of its whole entries.
    auto b = MixedConsist();
    b.Add(Record(0).Append({0, 0, 1, 0}));
    b.Write(d.File("M.035"));
    EXPECT_EQ(f.BuildFromConsist(d.File("M").c_str(), TagReaderModes{}, 0), 1);
    EXPECT_EQ(f.GetCount(), 8);
}

TEST(CarListBuild, LongConsistInOnePass) {
    // As many vehicles as a 16-bit count allows: one record each, in order,
    // the cursor on the last one, and the file length in step for a save.
    TempDir d;
    auto b = ConsistFile({}, hdr::kDefaultFormat);
    const int n = 0xFFFF;
    for (int i = 0; i < n; ++i)
        b.Add(VehicleEntry({static_cast<uint16_t>(i), 19, 0, 4, static_cast<uint16_t>(4 * i)}));
    b.Write(d.File("T.035"));
    CCarListFile f;
    ASSERT_EQ(f.BuildFromConsist(d.File("T").c_str(), TagReaderModes{}, 0), 1);
    ASSERT_EQ(f.GetCount(), n);
    EXPECT_EQ(f.GetIndex(), n - 1);
    EXPECT_EQ(f.GetVehicleNumber(), n - 1);
    EXPECT_EQ(f.GetFirstAxle(), uint16_t(4 * (n - 1)));
    EXPECT_EQ(f.Counters().status[4], n);
    EXPECT_EQ(f.GetHeaderField(hdr::kFileLength), 64u + 48u * n);
    ASSERT_EQ(f.SaveAs(d.File("T.036").c_str()), 1);
    EXPECT_EQ(ReadFileBytes(d.File("T.036")).size(), 64u + 48u * n);
}

TEST(CarListFile, CarWalks) {
    TempDir d;
    auto b = CarListFileBuilder();
    b.Add(CarRecord(1, 0, 6, 5, 0)).Add(CarRecord(2, 6, 4, 19, 0)).Add(CarRecord(2, 6, 4, 19, 1));
    b.Add(CarRecord(3, 10, 2, 19, 4)).Add(CarRecord(4, 12, 0, 19, 2));
    b.Write(d.File("L.036"));
    CCarListFile f;
    ASSERT_EQ(f.Load(d.File("L").c_str()), 1);
    EXPECT_EQ(f.Counters().others, 3);
    EXPECT_EQ(f.Counters().axles, 12);
    EXPECT_EQ(f.NextCar(), 1);
    EXPECT_EQ(f.GetIndex(), 1);
    EXPECT_EQ(f.NextCar(), 1);
    EXPECT_EQ(f.GetIndex(), 3);
    f.Seek(2);
    EXPECT_EQ(f.PrevCar(), 1);
    EXPECT_EQ(f.GetIndex(), 0);
    f.Seek(3);
    EXPECT_EQ(f.PrevCar(), 1);
    EXPECT_EQ(f.GetIndex(), 1);  // first record of vehicle 2
    EXPECT_EQ(f.PrevCar(), 1);
    EXPECT_EQ(f.PrevCar(), 0);
    EXPECT_EQ(f.GetIndex(), 0);
    EXPECT_EQ(f.FindCarOfAxle(9), 1);
    EXPECT_EQ(f.GetIndex(), 1);
    EXPECT_EQ(f.FindCarOfAxle(11), 1);
    EXPECT_EQ(f.GetIndex(), 3);
    EXPECT_EQ(f.FindCarOfAxle(12), 0);  // vehicle 4 has no axles
    EXPECT_EQ(f.FindCarOfAxle(-1), 0);
    EXPECT_EQ(f.GetIndex(), 3);
    f.Seek(4);
    EXPECT_EQ(f.NextCar(), 0);
    EXPECT_EQ(f.GetIndex(), 4);
}

TEST(CarListFile, ReverseOfOneRecord) {
    TempDir d;
    CarListFileBuilder().Add(CarRecord(1, 7, 4, 19, 0, 123456, 0xFE)).Write(d.File("L.036"));
    CCarListFile f;
    ASSERT_EQ(f.Load(d.File("L").c_str()), 1);
    ASSERT_EQ(f.Reverse(), 1);
    EXPECT_EQ(f.GetField(cl::kWord0), 0u);
    EXPECT_EQ(f.GetField(cl::kFirstAxle), 0u);
    EXPECT_EQ(f.GetField(cl::kOrientation), 1u);  // complement in bit 0, other bits cleared
    ASSERT_EQ(f.Reverse(), 1);
    EXPECT_EQ(f.GetField(cl::kOrientation), 0u);
}

TEST(CarListFile, ReverseOfSeveral) {
    TempDir d;
    auto b = CarListFileBuilder();
    b.Add(CarRecord(1, 0, 6, 5, 0, 100, 1)).Add(CarRecord(2, 6, 4, 19, 0, 300, 0)).Add(CarRecord(3, 10, 2, 19, 0, 700, 1));
    b.Write(d.File("L.036"));
    CCarListFile f;
    ASSERT_EQ(f.Load(d.File("L").c_str()), 1);
    f.Seek(2);
    ASSERT_EQ(f.Reverse(), 1);
    EXPECT_EQ(f.GetIndex(), 0);
    std::vector<uint32_t> numbers, firsts, words, orient;
    for (int i = 0; i < 3; ++i) {
        numbers.push_back(f.GetFieldAt(i, cl::kVehicleNumber));
        firsts.push_back(f.GetFieldAt(i, cl::kFirstAxle));
        words.push_back(f.GetFieldAt(i, cl::kWord0));
        orient.push_back(f.GetFieldAt(i, cl::kOrientation));
    }
    EXPECT_EQ(numbers, (std::vector<uint32_t>{3, 2, 1}));
    EXPECT_EQ(firsts, (std::vector<uint32_t>{0, 2, 6}));
    EXPECT_EQ(words, (std::vector<uint32_t>{0, uint32_t(300 - 700), uint32_t(100 - 700)}));
    EXPECT_EQ(orient, (std::vector<uint32_t>{0, 1, 0}));
    CCarListFile empty;
    EXPECT_EQ(empty.Reverse(), 0);
}

TEST(CarListFile, UnterminatedTextsStayInTheirFields) {
    TempDir d;
    Record r = CarRecord(1, 0, 4, 19, 0);
    r.Text(cl::kInitialsOffset, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456");
    CarListFileBuilder().Add(r).Write(d.File("L.036"));
    CCarListFile f;
    ASSERT_EQ(f.Load(d.File("L").c_str()), 1);
    EXPECT_EQ(f.GetInitials(), "ABCDE");
    EXPECT_EQ(f.GetCarNumber(), "GHIJKLMNOPQR");
    EXPECT_EQ(Printed(f), "001 019 04 ABCDE GHIJKLMNOPQR\n");
}

// The printed list against the same lines through printf formatting, on
// random cars: any EGC and axle count, cars without a tag, texts with
// bytes of every kind (a NUL ends a text as it ends a C string), and lists
// long enough to be written in several pieces.
TEST(CarListFile, PrintMatchesPrintfFormatting) {
    std::mt19937 rng(36);
    auto text = [&](size_t n) {
        std::string t;
        for (size_t i = 0; i < n; ++i) {
            const unsigned k = rng() % 8;
            t.push_back(k == 0 ? '\0' : k == 1 ? static_cast<char>(rng() % 256) : static_cast<char>('A' + rng() % 26));
        }
        return t;
    };
    for (int round = 0; round < 6; ++round) {
        TempDir d;
        TrainFileBuilder b = CarListFileBuilder();
        const int n = round < 3 ? 1 + static_cast<int>(rng() % 20) : 3000 + static_cast<int>(rng() % 3000);
        for (int i = 0; i < n; ++i) {
            const uint8_t status = rng() % 3 == 0 ? static_cast<uint8_t>(cs::kStatusNoTag) : static_cast<uint8_t>(rng() % 8);
            b.Add(CarListRecord({static_cast<uint16_t>(i), 0, static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                                 status, text(rng() % 6), text(rng() % 13), 0, 0, 'K'}));
        }
        b.Write(d.File("R.036"));
        CCarListFile f;
        ASSERT_EQ(f.Load(d.File("R").c_str()), 1);
        std::string expected;
        for (int i = 0; i < f.GetCount(); ++i) {
            const bool noTag = f.GetFieldAt(i, cl::kReadStatus) == cs::kStatusNoTag;
            const std::string initials = noTag ? "" : (f.Seek(i), f.GetInitials());
            const std::string number = noTag ? "0" : (f.Seek(i), f.GetCarNumber());
            char line[64];
            std::snprintf(line, sizeof line, "%03d %03d %02d %5s %8s\n", i + 1, static_cast<int>(f.GetFieldAt(i, cl::kEgc)),
                          static_cast<int>(f.GetFieldAt(i, cl::kAxleCount)), initials.c_str(), number.c_str());
            expected += line;
        }
        ASSERT_EQ(Printed(f), expected) << "round " << round;
    }
}
