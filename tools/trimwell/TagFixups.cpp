// Tag read fix-ups (OP9 speed and direction, OP16 dual antenna merge, OP17
// time shift), train summary creation (OP10) and consist series
// combination (OP11).
#include "TagFixups.h"
#include "Trimwell.h"

#include "AxleFile.h"
#include "CarListFile.h"
#include "ConsistFile.h"
#include "FileTimes.h"
#include "Platform.h"
#include "TagFile.h"
#include "TrainSummaryFile.h"
#include "WheelFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string_view>
#include <unordered_set>

namespace tr = layout::tagread;
namespace hdr = layout::header;
namespace sm = layout::summary;
namespace cl = layout::carlist;

namespace {

// A file with records is worked on only when they have the length of its
// type: any other length means the fields would be read from the wrong
// places. A file without records has nothing to misread.
bool HasRecordLength(const CTrainFile& f, unsigned expected, FILE* out) {
    if (f.GetRecordLength() == expected || f.CTrainFile::GetCount() == 0) return true;
    std::fprintf(out, "%s has records of %u bytes, not %u. ", f.GetFileName(), f.GetRecordLength(), expected);
    return false;
}

// A time in ms of a raw count under a file's time scale, without wrapping.
int64_t MsOf(const CTrainFile& f, uint32_t raw) { return ScaleRawToMs(raw, f.GetTimeScale()); }

}  // namespace

std::vector<int> AxleForEachRead(std::span<const int64_t> axleMs, std::span<const int64_t> readMs) {
    std::vector<int64_t> runningMax(axleMs.size());
    int64_t m = INT64_MIN;
    for (size_t i = 0; i < axleMs.size(); ++i) runningMax[i] = m = std::max(m, axleMs[i]);
    std::vector<int> out;
    out.reserve(readMs.size());
    for (const int64_t t : readMs) {
        const auto later = std::upper_bound(runningMax.begin(), runningMax.end(), t);
        out.push_back(static_cast<int>(later - runningMax.begin()) - 1);
    }
    return out;
}

std::vector<int> AxleForEachReadByWalk(std::span<const int64_t> axleMs, std::span<const int64_t> readMs) {
    std::vector<int> out;
    out.reserve(readMs.size());
    for (const int64_t t : readMs) {
        int taken = -1;
        for (size_t j = 0; j < axleMs.size() && axleMs[j] <= t; ++j) taken = static_cast<int>(j);
        out.push_back(taken);
    }
    return out;
}

unsigned ReadCountOf(uint8_t high, uint8_t low) {
    auto hex = [](uint8_t c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    const int h = hex(high);
    if (h < 0) return 0;
    const int l = hex(low);
    return l < 0 ? static_cast<unsigned>(h) : static_cast<unsigned>(h * 16 + l);
}

// --- OP9: speed and direction of the tag reads ------------------------------------

int FixupTagSpeedDir(const std::string& base, FILE* out) {
    CAxleFile axles;
    CTagFile tags;
    if (!axles.Load(base.c_str()) || axles.GetCount() <= 0) return 0;
    if (!tags.LoadTyped(base.c_str(), ".060") || tags.GetCount() <= 0) return 0;
    if (!HasRecordLength(axles, layout::axle::kRecordSize, out) || !HasRecordLength(tags, tr::kRecordSize, out))
        return 0;
    if (!tags.IsTagPairProcessed()) {
        std::fputs("TAGPAIR must be run first.", out);
        return 0;
    }

    const int nAxles = axles.GetCount();
    const int nReads = tags.GetCount();
    std::vector<int64_t> axleMs(static_cast<size_t>(nAxles)), readMs(static_cast<size_t>(nReads));
    for (int i = 0; i < nAxles; ++i) axleMs[size_t(i)] = MsOf(axles, axles.GetFieldAt(i, layout::axle::kTime));
    for (int i = 0; i < nReads; ++i) readMs[size_t(i)] = MsOf(tags, tags.GetFieldAt(i, tr::kTime));
    const std::vector<int> from = AxleForEachRead(axleMs, readMs);

    // The values start as the first axle's, and a read that passed before
    // every axle keeps those of the read before it.
    axles.Seek(0);
    uint32_t dir = static_cast<uint32_t>(axles.GetDirection());
    uint32_t whole = static_cast<uint32_t>(axles.GetSpeedWhole());
    uint32_t eighths = static_cast<uint32_t>(axles.GetSpeedEighths() % 8);
    unsigned long flips = 0, changes = 0;
    for (int r = 0; r < nReads; ++r) {
        if (from[size_t(r)] >= 0) {
            axles.Seek(from[size_t(r)]);
            dir = static_cast<uint32_t>(axles.GetDirection());
            whole = static_cast<uint32_t>(axles.GetSpeedWhole());
            eighths = static_cast<uint32_t>(axles.GetSpeedEighths() % 8);
        }
        uint32_t speedByte = tags.GetFieldAt(r, tr::kSpeedWhole);
        const uint32_t eighthsByte = tags.GetFieldAt(r, tr::kSpeedEighths);
        if ((speedByte & tr::kDirectionBit) != dir) ++flips;
        if (static_cast<uint32_t>(SpeedEighths(speedByte, eighthsByte)) != whole * 8 + eighths) {
            tags.SetFieldAt(r, tr::kSpeedEighths, eighths);
            speedByte = (speedByte & tr::kDirectionBit) | (whole << 1);
            ++changes;
        }
        tags.SetFieldAt(r, tr::kSpeedWhole, (speedByte & ~uint32_t{tr::kDirectionBit}) | dir);
    }
    if (flips == 0 && changes == 0) {
        std::fputs("No change.", out);
        return 1;
    }
    if (!tags.Save()) return 0;
    std::fprintf(out, "Updated:DirFlips=%lu SpeedChgs=%lu", flips, changes);
    return 1;
}

// --- OP10: train summary from the tag reads and wheel events ----------------------

namespace {

// Byte k of a 32-bit word.
uint32_t Byte(uint32_t v, int k) { return v << (8 * k); }

// Packed date word from a four-digit year, a day and a month, each byte BCD.
uint32_t PackDate(int year, uint32_t dayBcd, uint32_t monthBcd) {
    return Byte(IntToBcd(year % 100, 2), 0) | Byte(IntToBcd(year / 100, 2), 1) | Byte(dayBcd & 0xFF, 2) |
           Byte(monthBcd & 0xFF, 3);
}

// Packed time word: minutes, hours, unused, seconds, each byte BCD.
uint32_t PackTime(uint32_t minutesBcd, uint32_t hoursBcd, uint32_t secondsBcd) {
    return Byte(minutesBcd & 0xFF, 0) | Byte(hoursBcd & 0xFF, 1) | Byte(secondsBcd & 0xFF, 3);
}

// The header words the recorder gives a train summary.
constexpr uint16_t kSummaryFormat = 0x0100;
constexpr uint16_t kSummaryTypeGroup = 4;
constexpr uint16_t kSummaryTypeSubcode = 4;

}  // namespace

int CreateTrainSummary(const std::string& base, FILE* out) {
    // Any file of that name counts, even an empty one: it is never replaced.
    if (FileExists(AddExtension(base, ".034"))) {
        std::fprintf(out, "%s.034 already exists.\n", base.c_str());
        return 1;
    }
    CTrainSummaryFile summary;
    CTagFile tags;
    if (!tags.LoadTyped(base.c_str(), ".060")) return 0;
    if (!summary.EnsureRecord()) return 0;

    // First timestamp: the date and time the tag reader stamped its file with.
    const uint32_t firstDate = PackDate(BcdToInt(tags.GetHeaderField(hdr::kYear)), tags.GetHeaderField(hdr::kDay),
                                        tags.GetHeaderField(hdr::kMonth));
    const uint32_t firstTime = PackTime(tags.GetHeaderField(hdr::kMinutes), tags.GetHeaderField(hdr::kHours),
                                        tags.GetHeaderField(hdr::kSeconds));
    summary.Set(sm::kFirstDate, firstDate);
    summary.Set(sm::kFirstTime, firstTime);
    // Last timestamp: when the tag file was last written, else the first.
    uint32_t lastDate = firstDate, lastTime = firstTime;
    plat::LocalTime written{};
    if (plat::GetLastWriteLocalTime(AddExtension(base, ".060"), written)) {
        lastDate = PackDate(written.year, IntToBcd(written.day, 2), IntToBcd(written.month, 2));
        lastTime = PackTime(IntToBcd(written.minute, 2), IntToBcd(written.hour, 2), IntToBcd(written.second, 2));
    }
    summary.Set(sm::kLastDate, lastDate);
    summary.Set(sm::kLastTime, lastTime);
    summary.SetTrainId("Unknown");

    CWheelFile wheel;
    if (wheel.Load(base.c_str()) && wheel.GetCount() > 0) {
        if (!HasRecordLength(wheel, layout::wheel::kRecordSize, out)) return 0;
        uint32_t countA = 0, countB = 0, flaggedA = 0, flaggedB = 0;
        for (int i = 0; i < wheel.GetCount(); ++i) {
            wheel.Seek(i);
            const uint8_t detector = wheel.GetDetector();
            const bool flagged = wheel.HasEventFlag() != 0;
            if (detector == layout::wheel::kDetectorB) {
                ++countB;
                flaggedB += flagged;
            } else if (detector == layout::wheel::kDetectorA) {
                ++countA;
                flaggedA += flagged;
            }
        }
        summary.Set(sm::kCountB, countB);
        summary.Set(sm::kCountA, countA);
        summary.Set(sm::kFlaggedB, flaggedB);
        summary.Set(sm::kFlaggedA, flaggedA);
        summary.Set(sm::kLastWheelB, wheel.GetDetector() == layout::wheel::kDetectorB ? 1 : 0);
    }

    // The words the current library's type table knows a summary by.
    summary.SetHeaderField(hdr::kFormat, kSummaryFormat);
    summary.SetHeaderField(hdr::kTypeGroup, kSummaryTypeGroup);
    summary.SetHeaderField(hdr::kTypeSubcode, kSummaryTypeSubcode);
    if (!summary.SaveAs((base + ".034").c_str())) return 0;
    std::fprintf(out, "%s.034 created.\n", base.c_str());
    return 1;
}

// --- OP11: consist series --------------------------------------------------------

namespace {

// The car list of a consist, one line per vehicle; a vehicle without a
// usable tag shows no initials and no number.
void PrintCarList(const CCarListFile& cars, FILE* out) {
    for (int i = 0; i < cars.GetCount(); ++i) {
        const bool untagged = cars.GetFieldAt(i, cl::kReadStatus) == layout::consist::kStatusNoTag;
        const std::span<const uint8_t> rec = cars.Data().subspan(static_cast<size_t>(i) * cl::kRecordSize);
        const std::string initials = untagged ? "" : layout::GetText(rec, cl::kInitialsOffset, cl::kInitialsLength);
        const std::string number = untagged ? "" : layout::GetText(rec, cl::kCarNumberOffset, cl::kCarNumberLength);
        std::fprintf(out, "%03d %02d %02d %5s %8s\n", i + 1, static_cast<int>(cars.GetFieldAt(i, cl::kEgc)),
                     static_cast<int>(cars.GetFieldAt(i, cl::kAxleCount)), initials.c_str(), number.c_str());
    }
}

constexpr int kMaxFragments = 99;

}  // namespace

bool CombineConsistSeries(const std::string& base, const char* outputName, FILE* out) {
    CCarListFile cars;
    if (cars.BuildFromConsist(base.c_str(), TagReaderModes{3, 3, 3, 0}, 0)) {
        std::fputs("\n", out);
        PrintCarList(cars, out);
        std::fputs("\n", out);
        cars.Reverse();
        PrintCarList(cars, out);
    }
    if (base.size() < 2) {
        std::fputs("Error: Filename must contain at minimum 2 digits", out);
        return false;
    }
    const std::string prefix = base.substr(0, base.size() - 2);
    const std::string output = outputName ? outputName : prefix + "00.035";

    // Every fragment is gathered before the output is touched, so that a
    // series that cannot be combined leaves the file of that name as it was.
    CConsistFile combined;
    unsigned long fragments = 0;
    for (int nn = 1; nn <= kMaxFragments; ++nn) {
        char suffix[4];
        std::snprintf(suffix, sizeof suffix, "%02d", nn);
        CConsistFile part;
        if (!part.Load((prefix + suffix).c_str())) break;
        if (!HasRecordLength(part, 0, out)) {
            std::fputs("Nothing combined.\n", out);
            return false;
        }
        if (fragments == 0) {
            std::memcpy(combined.Header().data(), part.Header().data(), hdr::kSize);
            combined.SetHeaderField(hdr::kRecordCount, 0);
        }
        ++fragments;
        for (int e = 0; e < part.GetCount(); ++e) {
            const std::span<const uint8_t> entry = part.EntryAt(e);
            if (!combined.AppendEntry(entry.data(), static_cast<unsigned>(entry.size()))) {
                std::fputs("More than 65535 entries to combine; nothing written.\n", out);
                return false;
            }
        }
    }
    if (fragments == 0) {
        std::fputs("0 files combined.\n", out);
        return true;
    }
    if (combined.GetCount() > 0 && !combined.SaveAs(output.c_str())) return false;
    std::fprintf(out, "%lu files combined.\n", fragments);
    return true;
}

// --- OP16: dual antenna merge ----------------------------------------------------

namespace {

using TagRecord = std::array<uint8_t, tr::kRecordSize>;

// Lead character and the 20 tag characters: what names a tag read.
constexpr size_t kKeyBegin = tr::kTextAreaBegin;
constexpr size_t kKeyLength = 1 + tr::kTextLength;

constexpr int kLoadFailed = -2;
constexpr int kNoMemory = -12;
constexpr uint8_t kSingleAntennaMaxConfig = 2;
constexpr uint8_t kConfigAntenna0 = 3;
constexpr uint8_t kConfigAntenna1 = 4;
constexpr unsigned kMaxReadCount = 0xFF;

bool IsDeleted(const TagRecord& r) { return r[tr::kLead.offset] == 0; }

// A read whose text stops before its 20 tag characters has no full name: it
// is kept as it is and never merged or taken for a repeat.
bool HasKey(const TagRecord& r) {
    return std::all_of(r.begin() + kKeyBegin, r.begin() + kKeyBegin + kKeyLength, [](uint8_t c) { return c != 0; });
}

std::string_view KeyOf(const TagRecord& r) {
    return std::string_view(reinterpret_cast<const char*>(r.data()) + kKeyBegin, kKeyLength);
}

unsigned ReadCount(const TagRecord& r) { return ReadCountOf(r[tr::kReadCountHigh.offset], r[tr::kReadCountLow.offset]); }

void SetReadCount(TagRecord& r, unsigned n) {
    static const char kHex[] = "0123456789ABCDEF";
    r[tr::kReadCountHigh.offset] = static_cast<uint8_t>(kHex[(n >> 4) & 0xF]);
    r[tr::kReadCountLow.offset] = static_cast<uint8_t>(kHex[n & 0xF]);
}

// Reads of one tag by the two antennas of a side follow each other closely:
// each read takes over the reads of the same tag among the next two records
// that came from the other antenna, adding up the read counts.
void MergePairs(std::vector<TagRecord>& recs) {
    const size_t n = recs.size();
    for (size_t k = 0; k + 1 < n; ++k) {
        TagRecord& a = recs[k];
        if (IsDeleted(a) || !HasKey(a)) continue;
        for (size_t j = k + 1; j <= k + 2 && j < n; ++j) {
            TagRecord& b = recs[j];
            if (IsDeleted(b) || !HasKey(b) || KeyOf(a) != KeyOf(b) || a[tr::kAntenna.offset] == b[tr::kAntenna.offset])
                continue;
            SetReadCount(a, std::min(ReadCount(a) + ReadCount(b), kMaxReadCount));
            b[tr::kLead.offset] = 0;
        }
    }
}

// Later reads of a tag already read are dropped.
void DropRepeats(std::vector<TagRecord>& recs) {
    std::unordered_set<std::string_view> seen;
    seen.reserve(recs.size());
    for (TagRecord& r : recs) {
        if (IsDeleted(r) || !HasKey(r)) continue;
        if (!seen.insert(KeyOf(r)).second) r[tr::kLead.offset] = 0;
    }
}

// Removes the output of an earlier run, which belongs to another train.
void RemoveStale(const std::string& name) {
    if (plat::FileExists(name)) plat::DeleteFile(name);
}

}  // namespace

int MergeDualAntenna(const std::string& base, const char* outputName, const char* ext, bool* written, FILE* out) {
    if (written) *written = false;
    const std::string output = AddExtension(outputName ? outputName : "", ".060");
    CTagFile tags;
    if (!tags.LoadTyped(base.c_str(), ext) || !HasRecordLength(tags, tr::kRecordSize, out)) {
        RemoveStale(output);
        return kLoadFailed;
    }
    const uint8_t config = static_cast<uint8_t>(tags.GetHeaderField(tr::kAntennaConfig));
    if (tags.GetCount() <= 1 || config <= kSingleAntennaMaxConfig) {
        RemoveStale(output);
        return 1;
    }

    std::vector<TagRecord> recs;
    std::vector<uint8_t> image;
    try {
        recs.resize(static_cast<size_t>(tags.GetCount()));
        for (size_t i = 0; i < recs.size(); ++i)
            std::memcpy(recs[i].data(), tags.Data().data() + i * tr::kRecordSize, tr::kRecordSize);
        MergePairs(recs);
        DropRepeats(recs);

        image.assign(tags.Header().begin(), tags.Header().end());
        image.reserve(hdr::kSize + recs.size() * tr::kRecordSize);
        for (TagRecord& r : recs) {
            if (IsDeleted(r)) continue;
            if (config == kConfigAntenna0) r[tr::kAntenna.offset] = '0';
            if (config == kConfigAntenna1) r[tr::kAntenna.offset] = '1';
            image.insert(image.end(), r.begin(), r.end());
        }
    } catch (const std::bad_alloc&) {
        RemoveStale(output);
        return kNoMemory;
    }
    const size_t kept = (image.size() - hdr::kSize) / tr::kRecordSize;
    layout::Set(image, 0, hdr::kRecordCount, static_cast<uint32_t>(kept));
    layout::Set(image, 0, hdr::kFileLength, static_cast<uint32_t>(image.size()));
    if (!WriteNewFile(output, image.data(), image.size())) {
        const uint32_t code = plat::GetLastError();
        RemoveStale(output);
        return -static_cast<int>(code != 0 ? code : plat::kErrGeneric);
    }
    if (written) *written = true;
    return static_cast<int>(kept);
}

// --- OP17: time shift ------------------------------------------------------------

namespace {

constexpr int64_t kMaxTime = 0xFFFFFFFFll;

int64_t Clamp32(int64_t v) { return std::clamp<int64_t>(v, 0, kMaxTime); }

}  // namespace

bool ShiftTagTimes(const std::string& base, int32_t shiftMs, FILE* out) {
    CTagFile tags;
    if (!tags.LoadTyped(base.c_str(), ".060") || !HasRecordLength(tags, tr::kRecordSize, out)) return false;
    // The shift in raw units of the file: a shift of 0 leaves every time as
    // it is whatever the time scale.
    const long double perRaw = static_cast<long double>(tags.GetTimeScale());
    const int64_t rawShift = std::clamp<int64_t>(TruncToInt64(shiftMs / perRaw), -kMaxTime, kMaxTime);
    for (int i = 0; i < tags.GetCount(); ++i) {
        const uint32_t raw = tags.GetFieldAt(i, tr::kTime);
        const int64_t shifted = Clamp32(int64_t{raw} + rawShift);
        const unsigned long oldMs = static_cast<unsigned long>(Clamp32(MsOf(tags, raw)));
        const unsigned long newMs = static_cast<unsigned long>(Clamp32(MsOf(tags, static_cast<uint32_t>(shifted))));
        std::fprintf(out, "Old=%10lu New=%10lu\n", oldMs, newMs);
        tags.SetFieldAt(i, tr::kTime, static_cast<uint32_t>(shifted));
    }
    return tags.SaveAs((base + ".S60").c_str()) != 0;
}
