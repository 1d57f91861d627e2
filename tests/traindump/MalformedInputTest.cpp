// Malformed files through the whole inspection in-process (identification,
// walk, checks, decoded view, text and JSON output): random headers and
// records of every type, lying counts and lengths, consist entries and
// digitizer blocks of any length. Run under the sanitizers, any read outside
// a buffer or endless walk shows here.
#include "HeaderLayout.h"
#include "FileWalk.h"
#include "Output.h"
#include "Records.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace traindump;

namespace {

// Writes everything the program would write for the file, to nowhere.
void WalkFully(const LoadedFile& f, FILE* sink) {
    const Analysis a = Analyze(f, TrainContext{.axleCount = 4});
    DumpOptions o;
    o.hex = true;
    MakeTextWriter(sink)->File(f, a, o);
    MakeJsonWriter(sink)->File(f, a, o);
    o.records = false;
    MakeTextWriter(sink)->File(f, a, o);
    // Every walked record lies inside the data.
    for (const RecordSpan& r : a.records) ASSERT_LE(64 + r.offset + r.size, f.bytes.size());
}

struct Sink {
    FILE* f = std::fopen("/dev/null", "w");
    ~Sink() {
        if (f) std::fclose(f);
    }
};

const char* const kExtensions[] = {".007", ".010", ".011", ".012", ".018", ".01A", ".01D", ".024", ".034",
                                   ".035", ".036", ".041", ".055", ".060", ".071", ".XYZ", ""};

}  // namespace

TEST(TraindumpMalformed, RandomFilesOfEveryTypeAreWalkedWithinTheirBytes) {
    Sink sink;
    ASSERT_NE(sink.f, nullptr);
    std::mt19937 rng(20261209);
    auto byte = [&] { return uint8_t(rng() & 0xFF); };
    for (const char* ext : kExtensions) {
        for (int round = 0; round < 50; ++round) {
            LoadedFile f;
            f.name = std::string("T") + ext;
            const size_t size = rng() % 400;
            f.bytes.resize(size);
            for (uint8_t& b : f.bytes) b = byte();
            // Half the files carry a header the type table knows, so the
            // walks of the typed layouts run over the random records.
            if (size >= 64 && round % 2 == 0) {
                const uint16_t lengths[] = {0, 1, 2, 3, 8, 16, 24, 48, 64, 180, 65535};
                f.bytes[24] = uint8_t(lengths[rng() % 11]), f.bytes[25] = uint8_t(lengths[rng() % 11] >> 8);
                for (size_t i = 26; i < 34; ++i) f.bytes[i] = 0;
                f.bytes[26] = 1;
            }
            // Variable records of short lengths: 0, 1, up to the tag blocks.
            if (size >= 80 && round % 3 == 0)
                for (size_t at = 64; at + 1 < size; at += 2 + rng() % 40) f.bytes[at] = uint8_t(rng() % 100), f.bytes[at + 1] = 0;
            SCOPED_TRACE(f.name + " round " + std::to_string(round));
            WalkFully(f, sink.f);
        }
    }
}

TEST(TraindumpMalformed, ConsistEntriesOfEveryLengthAndTagCount) {
    Sink sink;
    for (uint16_t len = 0; len < 100; ++len) {
        for (uint8_t tags : {0, 1, 2, 3, 255}) {
            fixture::Record entry(std::max<size_t>(len, 24));
            entry.Resize(len);
            if (len >= 2) entry.U16(0, len);
            if (len > 20) entry.U8(20, tags);
            LoadedFile f;
            f.name = "T.035";
            f.bytes = fixture::ConsistFile({entry.Bytes(), entry.Bytes()}).Build();
            SCOPED_TRACE(std::to_string(len) + " bytes, tag count " + std::to_string(tags));
            WalkFully(f, sink.f);
            const Analysis a = Analyze(f);
            if (len >= 2) {
                EXPECT_EQ(a.records.size(), 2u);
            } else if (len == 1) {
                EXPECT_EQ(a.problems.front().kind, "walk-stops");
            }
        }
    }
}

TEST(TraindumpMalformed, NoFileOrAHeaderAloneShowsWhatIsThere) {
    Sink sink;
    for (size_t size : {size_t(0), size_t(1), size_t(63), size_t(64), size_t(65)}) {
        LoadedFile f;
        f.name = "T.012";
        f.bytes = fixture::WheelFileBuilder().Count(9).Build();
        f.bytes.resize(size, 0xEE);
        WalkFully(f, sink.f);
        const Analysis a = Analyze(f);
        EXPECT_TRUE(a.records.empty());
        EXPECT_FALSE(a.problems.empty()) << size;
    }
}

TEST(TraindumpMalformed, CorrelationCarsOfEveryLengthWalkOnlyWhenTheyAreWholeAxleEntries) {
    Sink sink;
    for (uint16_t len = 0; len < 70; ++len) {
        fixture::Record car(len);
        if (len >= 2) car.U16(0, len);
        LoadedFile f;
        f.name = "T.071";
        f.bytes = fixture::CorrelationFileBuilder().Add(car).Add(car).Build();
        SCOPED_TRACE(std::to_string(len) + " bytes");
        WalkFully(f, sink.f);
        const Analysis a = Analyze(f);
        ASSERT_EQ(a.kind, Kind::Correlation);
        if (len >= 10 && len % 10 == 0) {
            EXPECT_EQ(a.records.size(), 2u);
            EXPECT_TRUE(a.problems.empty()) << a.problems.front().text;
        } else {
            EXPECT_TRUE(a.records.empty());
            ASSERT_FALSE(a.problems.empty());
        }
    }
}
