// Train files for the Wipezero tests: builders preset with the header words
// the type table accepts for an extension, records full of set bits, and
// the expected images after the reserved areas were zeroed.
#pragma once

#include "../../tools/wipezero/ReservedLayout.h"
#include "ConsistLayout.h"
#include "TagTypes.h"
#include "TestSupport.h"
#include "TrainFileBuilder.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

namespace wipetest {

namespace hdr = layout::header;
namespace rz = layout::reserved;

// Exit statuses as the shell sees them.
constexpr int kShellSuccess = 0;
constexpr int kShellUsage = 32767 & 0xFF;  // 255

// A builder with the format word, type group and subcode of the first type
// table row for the extension (".010"), and every byte of the header's
// type-specific area set.
inline fixture::TrainFileBuilder TypedBuilder(const std::wstring& extension) {
    fixture::TrainFileBuilder b;
    for (const CTagTypeInfo* row = g_TagTypes; row->m_nTypeCode != 0; ++row) {
        if (extension == row->m_szExtension) {
            b.Format(row->m_nFormat).Type(row->m_nTypeGroup, row->m_nTypeSubcode);
            break;
        }
    }
    for (size_t i = hdr::kTypeAreaBegin; i < hdr::kTypeAreaEnd; ++i) b.HeaderU8(i, 0xFF);
    return b;
}

// A record of n bytes, all bits set.
inline fixture::Record Full(size_t n) {
    fixture::Record r(n);
    r.Text(0, std::string(n, '\xFF'));
    return r;
}

// A file of n fixed records of the given length, every byte set.
inline fixture::TrainFileBuilder FixedFile(const std::wstring& extension, size_t length, size_t n) {
    fixture::TrainFileBuilder b = TypedBuilder(extension);
    for (size_t i = 0; i < n; ++i) b.Add(Full(length));
    return b.RecordLength(static_cast<uint16_t>(length));
}

// A consist entry of the given length with its tag count; all other bytes set.
inline fixture::Record FullEntry(size_t length, uint8_t tags) {
    fixture::Record r = Full(length);
    r.Set(layout::consist::kLength, static_cast<uint32_t>(length));
    if (length >= layout::consist::kTagCount.End()) r.Set(layout::consist::kTagCount, tags);
    return r;
}

// Zeroes byte runs of an image area that starts at base.
inline void ZeroAt(std::vector<uint8_t>& image, size_t base, std::span<const rz::Range> ranges) {
    for (const rz::Range& r : ranges)
        for (size_t i = r.begin; i < r.end; ++i) image.at(base + i) = 0;
}

inline void ZeroAt(std::vector<uint8_t>& image, size_t base, const rz::Range& range) {
    ZeroAt(image, base, std::span<const rz::Range>(&range, 1));
}

// Start of fixed-length record i in a file image.
inline size_t RecordAt(size_t i, size_t length) { return hdr::kSize + i * length; }

// One train in a scratch directory, run through the real program.
struct Train {
    fixture::TempDir dir;
    fixture::RunResult run;

    std::string File(const std::string& name) const { return dir.File(name); }
    std::vector<uint8_t> Bytes(const std::string& name) const { return fixture::ReadFileBytes(dir.File(name)); }
    std::vector<uint8_t> Write(const std::string& name, const fixture::TrainFileBuilder& b) const {
        b.Write(dir.File(name));
        return b.Build();
    }
    const fixture::RunResult& Run(const std::vector<std::string>& args = {"00008901"}) {
        run = fixture::RunProgram(fixture::ProgramPath("Wipezero"), args, dir.Path());
        EXPECT_EQ(run.signal, 0) << run.out << run.err;
        return run;
    }
};

// The report line of one file.
inline std::string Zeroed(const std::string& name, const char* type, unsigned count, bool saved = true) {
    return name + ", type " + type + ", is a valid Velmar file. Zeroed " + std::to_string(count) + "." +
           (saved ? " Saved." : "") + "\n";
}

}  // namespace wipetest
