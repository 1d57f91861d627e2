#include "FileWalk.h"

#include "AllocLayout.h"
#include "AxleLayout.h"
#include "CarListLayout.h"
#include "ConsistLayout.h"
#include "CorrelationLayout.h"
#include "DetectorLayout.h"
#include "DigitizerLayout.h"
#include "Event024Layout.h"
#include "HeaderLayout.h"
#include "InputStateLayout.h"
#include "IoLayout.h"
#include "Platform.h"
#include "ScaleLayout.h"
#include "Speed.h"
#include "SummaryLayout.h"
#include "TagDecode.h"
#include "TagLayout.h"
#include "TrainFile.h"
#include "WheelLayout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace traindump {

namespace {

namespace hdr = layout::header;
using layout::ByteRange;
using layout::Field;

std::string Format(const char* fmt, auto... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

std::string Narrow(const wchar_t* w) {
    std::string s;
    for (; *w; ++w) s.push_back(static_cast<char>(*w));
    return s;
}

// What a record layout adds to the common header and how its records are
// laid out.
struct KindLayout {
    std::span<const Field> headerFields;
    std::span<const Field> recordFields;
    size_t recordSize;  // 0: variable-length records
    // Text areas of a record: shown as text, not as unknown bytes.
    std::span<const ByteRange> textAreas;
};

constexpr ByteRange kSummaryText[] = {{layout::summary::kTrainIdOffset,
                                       uint16_t(layout::summary::kTrainIdOffset + layout::summary::kTrainIdLength)},
                                      {layout::summary::kText30Offset,
                                       uint16_t(layout::summary::kText30Offset + layout::summary::kText30Length)}};
constexpr ByteRange kCarListText[] = {
    {layout::carlist::kInitialsOffset,
     uint16_t(layout::carlist::kInitialsOffset + layout::carlist::kInitialsLength)},
    {layout::carlist::kCarNumberOffset,
     uint16_t(layout::carlist::kCarNumberOffset + layout::carlist::kCarNumberLength)}};
constexpr ByteRange kTagReadText[] = {
    {layout::tagread::kTextOffset, uint16_t(layout::tagread::kTextOffset + layout::tagread::kTextLength)}};
constexpr ByteRange kTagBlockText[] = {
    {layout::consist::kTagTextOffset,
     uint16_t(layout::consist::kTagTextOffset + layout::consist::kTagTextLength)}};

KindLayout LayoutOf(Kind k) {
    switch (k) {
        case Kind::Io: return {layout::io::kHeaderFields, layout::io::kRecordFields, layout::io::kRecordSize, {}};
        case Kind::Axle:
            return {layout::axle::kHeaderFields, layout::axle::kRecordFields, layout::axle::kRecordSize, {}};
        case Kind::Wheel:
            return {layout::wheel::kHeaderFields, layout::wheel::kRecordFields, layout::wheel::kRecordSize, {}};
        case Kind::InputState: return {{}, layout::inputstate::kRecordFields, layout::inputstate::kRecordSize, {}};
        case Kind::Detector:
            return {layout::detector::kHeaderFields, layout::detector::kRecordFields,
                    layout::detector::kRecordSize, {}};
        case Kind::Digitizer: return {layout::digitizer::kHeaderFields, layout::digitizer::kBlockFields, 0, {}};
        case Kind::Event024: return {{}, layout::event024::kRecordFields, layout::event024::kRecordSize, {}};
        case Kind::Summary: return {{}, layout::summary::kRecordFields, layout::summary::kRecordSize, kSummaryText};
        case Kind::Consist: return {{}, layout::consist::kEntryFields, 0, {}};
        case Kind::CarList: return {{}, layout::carlist::kRecordFields, layout::carlist::kRecordSize, kCarListText};
        case Kind::Alloc: return {{}, layout::alloc::kRecordFields, layout::alloc::kRecordSize, {}};
        case Kind::Scale: return {{}, layout::scale::kEntryFields, layout::scale::kEntrySize, {}};
        case Kind::TagRead:
            return {layout::tagread::kHeaderFields, layout::tagread::kRecordFields, layout::tagread::kRecordSize,
                    kTagReadText};
        case Kind::Correlation: return {layout::correlation::kHeaderFields, layout::correlation::kCarFields, 0, {}};
        case Kind::Generic: break;
    }
    return {{}, {}, 0, {}};
}

std::span<const uint8_t> DataOf(const LoadedFile& f) {
    if (f.bytes.size() <= hdr::kSize) return {};
    return std::span<const uint8_t>(f.bytes).subspan(hdr::kSize);
}

std::span<const uint8_t> HeaderOf(const LoadedFile& f) {
    return std::span<const uint8_t>(f.bytes).first(std::min(f.bytes.size(), hdr::kSize));
}

// The time field of a record layout, when its records carry one.
std::optional<Field> TimeField(Kind k) {
    switch (k) {
        case Kind::Io: return layout::io::kTime;
        case Kind::Axle: return layout::axle::kTime;
        case Kind::Wheel: return layout::wheel::kTime;
        case Kind::InputState: return layout::inputstate::kTime;
        case Kind::Event024: return layout::event024::kTime;
        case Kind::Scale: return layout::scale::kTime;
        case Kind::TagRead: return layout::tagread::kTime;
        case Kind::Alloc: return layout::alloc::kStartTime;
        default: return std::nullopt;
    }
}

bool IsDeletedTagRead(std::span<const uint8_t> rec) {
    return layout::Fits(rec.size(), 0, layout::tagread::kLead) && layout::Get(rec, 0, layout::tagread::kLead) == 0;
}

// Bytes as text, with bytes that are no printable ASCII shown as '.', so
// that junk in a file never reaches the terminal as control characters.
std::string Printable(std::span<const uint8_t> text) {
    std::string s;
    for (uint8_t c : text) s.push_back(c >= 32 && c < 127 ? char(c) : '.');
    return s;
}

// A text area of a record up to its terminator, printable.
std::string TextArea(std::span<const uint8_t> bytes, size_t offset, size_t length) {
    const std::string s = layout::GetText(bytes, offset, length);
    return Printable(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
}

std::string FlagLetters(uint16_t flags) {
    std::string s;
    for (unsigned bit = 0; bit < 16; ++bit)
        if (flags & (1u << bit)) s.push_back(layout::consist::kTagFlagLetters[bit]);
    return s;
}

char StatusLetter(uint32_t status) {
    return status < 5 ? layout::consist::kStatusLetters[status] : layout::consist::kStatusLetters[5];
}

std::string SpeedText(int eighths) {
    const int whole = eighths / 8, rest = eighths % 8;
    if (rest == 0) return Format("%d mph", whole);
    return Format("%d %d/8 mph", whole, rest);
}

// Collects problems of one kind and reports them once, with the first case.
struct Tally {
    explicit Tally(std::string k) : kind(std::move(k)) {}
    std::string kind;
    size_t count = 0;
    std::string first;
    void Add(std::string text) {
        if (count++ == 0) first = std::move(text);
    }
    void Report(std::vector<Problem>& out, const char* what) const {
        if (count == 0) return;
        if (count == 1)
            out.push_back({kind, first});
        else
            out.push_back({kind, Format("%zu %s, the first: ", count, what) + first});
    }
};

void WalkFixed(const LoadedFile& f, Analysis& a, const KindLayout& lay) {
    const auto data = DataOf(f);
    const uint32_t lengthField = layout::Get(HeaderOf(f), 0, hdr::kRecordLength);
    size_t size = lengthField;
    if (size == 0) {
        if (lay.recordSize == 0) {
            if (!data.empty()) a.notes.push_back("record length 0: the data area is shown as bytes");
            a.walkedEnd = 0;
            return;
        }
        size = lay.recordSize;
        a.problems.push_back({"record-length", Format("record length 0 in a file of fixed records; walked as %zu-byte "
                                                      "records",
                                                      size)});
    } else if (a.kind == Kind::Alloc && size != layout::alloc::kRecordSize &&
               size != layout::alloc::kShortRecordSize) {
        a.notes.push_back(Format("allocation records of %zu bytes (24 or 16 expected)", size));
    }
    a.recordSize = size;
    const size_t whole = data.size() / size;
    a.records.reserve(whole);
    for (size_t i = 0; i < whole; ++i) a.records.push_back({i * size, size});
    a.walkedEnd = whole * size;
    const size_t rest = data.size() - a.walkedEnd;
    if (a.countField != whole)
        a.problems.push_back({"record-count", Format("header counts %u records, the data holds %zu whole records",
                                                     a.countField, whole)});
    if (rest != 0)
        a.problems.push_back({"partial-record", Format("partial last record: %zu of %zu bytes at offset %zu", rest,
                                                       size, hdr::kSize + a.walkedEnd)});
}

// Variable records led by a u16 length that covers the record: consist
// entries, digitizer blocks and correlation cars. minLength is the smallest
// length that can be walked past; with a unit, a length must be minLength
// plus a whole number of units (a car header and its axle entries), and a
// length that is not cannot be trusted to lead to the next record.
void WalkVariable(const LoadedFile& f, Analysis& a, const Field& lengthField, size_t minLength, const char* what,
                  size_t unit = 1) {
    const auto data = DataOf(f);
    size_t off = 0;
    while (off < data.size()) {
        const size_t left = data.size() - off;
        if (left < lengthField.End()) {
            a.problems.push_back({"partial-record", Format("%zu byte after the last %s at offset %zu", left, what,
                                                           hdr::kSize + off)});
            break;
        }
        const size_t len = layout::Get(data, off, lengthField);
        if (len < minLength) {
            a.problems.push_back({"walk-stops", Format("walk stops at %s %zu (offset %zu): length %zu; %zu bytes "
                                                       "after it are not reached",
                                                       what, a.records.size(), hdr::kSize + off, len, left)});
            break;
        }
        if ((len - minLength) % unit != 0) {
            a.problems.push_back({"walk-stops", Format("walk stops at %s %zu (offset %zu): length %zu, not %zu + "
                                                       "%zu x n; %zu bytes after it are not reached",
                                                       what, a.records.size(), hdr::kSize + off, len, minLength, unit,
                                                       left)});
            break;
        }
        if (len > left) {
            a.problems.push_back({"walk-stops", Format("walk stops at %s %zu (offset %zu): length %zu, only %zu "
                                                       "bytes left",
                                                       what, a.records.size(), hdr::kSize + off, len, left)});
            break;
        }
        a.records.push_back({off, len});
        off += len;
    }
    a.walkedEnd = off;
}

void CheckConsist(const LoadedFile& f, Analysis& a) {
    namespace cs = layout::consist;
    const auto data = DataOf(f);
    Tally shortEntries{"entry-short"}, tags{"tag-text"}, tagCounts{"tag-count"};
    for (size_t i = 0; i < a.records.size(); ++i) {
        const auto entry = data.subspan(a.records[i].offset, a.records[i].size);
        const uint32_t tagCount = layout::Get(entry, 0, cs::kTagCount);
        if (tagCount > 2) tagCounts.Add(Format("entry %zu announces %u tag reads (2 at most)", i, tagCount));
        if (entry.size() < cs::FixedPartSize(tagCount))
            shortEntries.Add(Format("entry %zu is %zu bytes, its vehicle part and %u tag block(s) need %zu", i,
                                    entry.size(), std::min<uint32_t>(tagCount, 2), cs::FixedPartSize(tagCount)));
        for (int k = 0; k < EntryTagCount(entry); ++k) {
            const auto text = TagBlockText(EntryTagBlock(entry, k));
            if (!DecodeTag(text))
                tags.Add(Format("entry %zu tag %d: \"%s\" does not decode", i, k + 1, Printable(text).c_str()));
        }
    }
    shortEntries.Report(a.problems, "entries shorter than their tag blocks");
    tagCounts.Report(a.problems, "entries announce more than two tag reads");
    tags.Report(a.problems, "tag texts do not decode");
}

void CheckTagReads(const LoadedFile& f, Analysis& a) {
    const auto data = DataOf(f);
    Tally tags{"tag-text"};
    for (size_t i = 0; i < a.records.size(); ++i) {
        const auto rec = data.subspan(a.records[i].offset, a.records[i].size);
        if (IsDeletedTagRead(rec)) continue;
        if (rec.size() < layout::tagread::kTextOffset + layout::tagread::kTextLength) continue;
        const auto text = rec.subspan(layout::tagread::kTextOffset, layout::tagread::kTextLength);
        if (!DecodeTag(text)) tags.Add(Format("record %zu: \"%s\" does not decode", i, Printable(text).c_str()));
    }
    tags.Report(a.problems, "tag texts do not decode");
}

void CheckAllocations(const LoadedFile& f, Analysis& a, const TrainContext& ctx) {
    namespace al = layout::alloc;
    const auto data = DataOf(f);
    Tally reversed{"alloc-range"}, overlap{"alloc-overlap"}, outside{"alloc-outside"};
    std::optional<uint32_t> prevLast;
    for (size_t i = 0; i < a.records.size(); ++i) {
        const auto rec = data.subspan(a.records[i].offset, a.records[i].size);
        const uint32_t first = layout::Get(rec, 0, al::kFirstAxle), last = layout::Get(rec, 0, al::kLastAxle);
        if (first > last) reversed.Add(Format("record %zu: first axle %u after last axle %u", i, first, last));
        if (prevLast && first <= *prevLast)
            overlap.Add(Format("record %zu: axles %u-%u overlap the previous record's, which ends at %u", i, first,
                               last, *prevLast));
        if (ctx.axleCount && std::max(first, last) >= *ctx.axleCount)
            outside.Add(Format("record %zu: axles %u-%u, the .010 holds %u axles", i, first, last, *ctx.axleCount));
        prevLast = std::max(first, last);
    }
    reversed.Report(a.problems, "records run backwards");
    overlap.Report(a.problems, "records overlap");
    outside.Report(a.problems, "records lie outside the .010");
    if (!ctx.axleCount && !a.records.empty()) a.notes.push_back("no .010 beside the file: axle ranges not compared");
}

void CheckTimeOrder(const LoadedFile& f, Analysis& a) {
    const auto tf = TimeField(a.kind);
    if (!tf) return;
    const auto data = DataOf(f);
    Tally order{"time-order"};
    std::optional<uint32_t> prev;
    bool any = false;
    for (size_t i = 0; i < a.records.size(); ++i) {
        const auto rec = data.subspan(a.records[i].offset, a.records[i].size);
        if (!layout::Fits(rec.size(), 0, *tf)) continue;
        if (a.kind == Kind::TagRead && IsDeletedTagRead(rec)) continue;
        const uint32_t t = layout::Get(rec, 0, *tf);
        if (prev && t < *prev) order.Add(Format("record %zu at raw time %u, before %u", i, t, *prev));
        prev = t;
        const int64_t ms = ScaleRawToMs(t, a.timeScale);
        if (!any) a.firstMs = ms;
        a.lastMs = ms;
        any = true;
    }
    if (a.kind == Kind::Alloc && any) {
        // An allocation spans from its first vehicle's start to its last one's end.
        const auto last = data.subspan(a.records.back().offset, a.records.back().size);
        a.lastMs = ScaleRawToMs(layout::Get(last, 0, layout::alloc::kEndTime), a.timeScale);
    }
    order.Report(a.problems, "records out of time order");
}

void CheckDigitizer(const LoadedFile& f, Analysis& a) {
    namespace dz = layout::digitizer;
    const auto data = DataOf(f);
    Tally odd{"block-odd"}, order{"time-order"};
    std::optional<uint32_t> prevStart;
    for (size_t i = 0; i < a.records.size(); ++i) {
        const auto block = data.subspan(a.records[i].offset, a.records[i].size);
        if ((block.size() - dz::kBlockHeaderSize) % dz::kSampleSize)
            odd.Add(Format("block %zu: %zu bytes, an odd byte after its samples", i, block.size()));
        const uint32_t start = layout::Get(block, 0, dz::kStartTime);
        if (prevStart && start < *prevStart) order.Add(Format("block %zu starts at %u ms, before %u", i, start, *prevStart));
        prevStart = start;
        if (i == 0) a.firstMs = start;
        a.lastMs = layout::Get(block, 0, dz::kEndTime);
    }
    if (a.countField != a.records.size())
        a.notes.push_back(Format("header counts %u blocks, %zu walked", a.countField, a.records.size()));
    odd.Report(a.problems, "blocks end in an odd byte");
    order.Report(a.problems, "blocks out of time order");
}

}  // namespace

LoadedFile LoadFile(const std::string& name) {
    LoadedFile f;
    f.name = name;
    if (plat::ReadWholeFile(name, f.bytes)) return f;
    const uint32_t err = plat::GetLastError();
    if (err == plat::kErrSuccess) return f;  // an empty file
    if (plat::IsDirectory(name))
        f.readError = "is a directory";
    else if (err == plat::kErrFileNotFound || err == plat::kErrPathNotFound)
        f.readError = "no such file";
    else if (err == plat::kErrAccessDenied)
        f.readError = "cannot be read (no regular file, or access denied)";
    else if (err == plat::kErrSharingViolation)
        f.readError = "is being written by another program";
    else
        f.readError = Format("cannot be read (error %u)", err);
    return f;
}

const char* KindName(Kind k) {
    switch (k) {
        case Kind::Generic: return "records shown as bytes";
        case Kind::Io: return "IO events";
        case Kind::Axle: return "axle events";
        case Kind::Wheel: return "wheel detector events";
        case Kind::InputState: return "input states";
        case Kind::Detector: return "hot-bearing readings";
        case Kind::Digitizer: return "wheel digitizer blocks";
        case Kind::Event024: return "events of type 0x024";
        case Kind::Summary: return "train summary";
        case Kind::Consist: return "consist entries";
        case Kind::CarList: return "car list";
        case Kind::Alloc: return "axle allocation";
        case Kind::Scale: return "scale entries";
        case Kind::TagRead: return "tag reads";
        case Kind::Correlation: return "HBD correlation cars";
    }
    return "";
}

Kind KindOfTypeCode(uint32_t code) {
    switch (code) {
        case 0x007: return Kind::Io;
        case 0x010: return Kind::Axle;
        case 0x012: return Kind::Wheel;
        case 0x01A: return Kind::InputState;
        case 0x018: return Kind::Detector;
        case 0x01D: return Kind::Digitizer;
        case 0x024: return Kind::Event024;
        case 0x034: return Kind::Summary;
        case 0x035: return Kind::Consist;
        case 0x036: return Kind::CarList;
        case 0x041: return Kind::Alloc;
        case 0x055: return Kind::Scale;
        case 0x060: return Kind::TagRead;
        case 0x071: return Kind::Correlation;
        default: return Kind::Generic;
    }
}

Identification Identify(const LoadedFile& f) {
    Identification id;
    const size_t slash = f.name.find_last_of('/');
    const std::string base = slash == std::string::npos ? f.name : f.name.substr(slash + 1);
    const size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) id.extension = base.substr(dot);
    const std::string ext = Upper(id.extension);
    const auto header = HeaderOf(f);
    const bool whole = header.size() == hdr::kSize;
    const uint32_t format = layout::Get(header, 0, hdr::kFormat), group = layout::Get(header, 0, hdr::kTypeGroup),
                   subcode = layout::Get(header, 0, hdr::kTypeSubcode);
    auto matches = [&](const CTagTypeInfo& r) {
        return r.m_nFormat == format && r.m_nTypeGroup == group && r.m_nTypeSubcode == subcode;
    };

    const CTagTypeInfo* closest = nullptr;
    int closestMisses = 4;
    for (const CTagTypeInfo* r = g_TagTypes; r->m_nTypeCode != 0; ++r) {
        if (Upper(Narrow(r->m_szExtension)) != ext) continue;
        const int misses = (r->m_nFormat != format) + (r->m_nTypeGroup != group) + (r->m_nTypeSubcode != subcode);
        if (whole && misses == 0) {
            id.row = r;
            id.typeCode = r->m_nTypeCode;
            id.identified = true;
            id.text = Format("type 0x%03x (%s)", r->m_nTypeCode, Narrow(r->m_szExtension).c_str());
            return id;
        }
        if (misses < closestMisses) closest = r, closestMisses = misses;
    }
    if (closest) {
        id.typeCode = closest->m_nTypeCode;
        if (!whole) {
            id.text = Format("not identified: the header is incomplete (%zu of 64 bytes); the extension names type "
                             "0x%03x",
                             header.size(), closest->m_nTypeCode);
            return id;
        }
        std::string why;
        auto say = [&](const char* word, uint32_t want, uint32_t have) {
            if (want == have) return;
            if (!why.empty()) why += ", ";
            why += Format("%s 0x%04x expected, 0x%04x found", word, want, have);
        };
        say("format word", closest->m_nFormat, format);
        say("type group", closest->m_nTypeGroup, group);
        say("type subcode", closest->m_nTypeSubcode, subcode);
        id.text = Format("not identified: %s names type 0x%03x, but %s", Narrow(closest->m_szExtension).c_str(),
                         closest->m_nTypeCode, why.c_str());
        return id;
    }
    if (f.bytes.size() == 1 && f.bytes[0] == ' ') {
        id.marker = true;
        id.text = "marker file (one space byte)";
        return id;
    }
    if (whole) {
        for (const CTagTypeInfo* r = g_TagTypes; r->m_nTypeCode != 0; ++r) {
            if (!matches(*r)) continue;
            id.row = r;
            id.typeCode = r->m_nTypeCode;
            id.byHeader = true;
            id.text = Format("type 0x%03x by its header words (%s); the extension %s is not in the type table",
                             r->m_nTypeCode, Narrow(r->m_szExtension).c_str(),
                             id.extension.empty() ? "(none)" : id.extension.c_str());
            return id;
        }
    }
    id.text = Format("not identified: the extension %s is not in the type table and %s",
                     id.extension.empty() ? "(none)" : id.extension.c_str(),
                     whole ? "the header words match no type" : "the header is incomplete");
    return id;
}

TrainContext ContextFor(const std::string& fileName) {
    TrainContext ctx;
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return ctx;
    std::vector<uint8_t> bytes;
    if (!plat::ReadWholeFile(fileName.substr(0, dot) + ".010", bytes) || bytes.size() < hdr::kSize) return ctx;
    const size_t size = std::max<uint32_t>(1, layout::Get(bytes, 0, hdr::kRecordLength));
    const size_t present = (bytes.size() - hdr::kSize) / size;
    ctx.axleCount = static_cast<uint32_t>(std::min<size_t>(present, layout::Get(bytes, 0, hdr::kRecordCount)));
    return ctx;
}

Analysis Analyze(const LoadedFile& f, const TrainContext& ctx) {
    Analysis a;
    a.id = Identify(f);
    a.kind = KindOfTypeCode(a.id.typeCode);
    const auto header = HeaderOf(f);
    a.headerBytes = header.size();
    a.countField = layout::Get(header, 0, hdr::kRecordCount);
    if (a.headerBytes == hdr::kSize) a.timeScale = HeaderTimeScale(header);

    if (a.id.marker) return a;
    if (f.bytes.empty()) {
        a.problems.push_back({"empty", "empty file: no header"});
        return a;
    }
    if (!a.id.identified && !a.id.byHeader) a.problems.push_back({"not-identified", a.id.text});
    if (a.headerBytes < hdr::kSize) {
        a.problems.push_back({"truncated-header", Format("truncated header: %zu of 64 bytes", a.headerBytes)});
        return a;
    }
    const uint32_t lengthField = layout::Get(header, 0, hdr::kFileLength);
    if (lengthField != f.bytes.size())
        a.problems.push_back(
            {"file-length", Format("header file length %u, the file has %zu bytes", lengthField, f.bytes.size())});

    const KindLayout lay = LayoutOf(a.kind);
    if (a.kind == Kind::Consist) {
        WalkVariable(f, a, layout::consist::kLength, layout::consist::kLength.End(), "entry");
        if (a.countField != a.records.size())
            a.problems.push_back({"record-count", Format("header counts %u entries, %zu walked", a.countField,
                                                         a.records.size())});
        CheckConsist(f, a);
    } else if (a.kind == Kind::Correlation) {
        namespace co = layout::correlation;
        WalkVariable(f, a, co::kRecordLength, co::kCarHeaderSize, "car", co::kAxleEntrySize);
        if (a.countField != a.records.size())
            a.problems.push_back(
                {"record-count", Format("header counts %u cars, %zu walked", a.countField, a.records.size())});
    } else if (a.kind == Kind::Digitizer) {
        WalkVariable(f, a, layout::digitizer::kBlockLength, layout::digitizer::kBlockHeaderSize, "block");
        CheckDigitizer(f, a);
    } else {
        WalkFixed(f, a, lay);
        CheckTimeOrder(f, a);
        if (a.kind == Kind::TagRead) CheckTagReads(f, a);
        if (a.kind == Kind::Alloc) CheckAllocations(f, a, ctx);
    }
    return a;
}

// ---------------------------------------------------------------------------
// Decoded view

namespace {

void AddInt(Item& it, const char* key, int64_t v) { it.decoded.push_back({key, Value::Type::Int, v, 0, {}}); }
void AddReal(Item& it, const char* key, double v) { it.decoded.push_back({key, Value::Type::Real, 0, v, {}}); }
void AddText(Item& it, const char* key, std::string v) {
    it.decoded.push_back({key, Value::Type::Text, 0, 0, std::move(v)});
}

// The fields of a table read from the item's bytes, and the bytes of
// [begin, end) that no field and no text area covers, as hex areas.
void ReadFields(Item& it, std::span<const Field> fields, size_t begin, size_t end,
                std::span<const ByteRange> textAreas = {}) {
    std::vector<bool> covered(end > begin ? end - begin : 0, false);
    it.fields.reserve(it.fields.size() + fields.size());
    for (const Field& f : fields) {
        const bool present = layout::Fits(it.bytes.size(), 0, f);
        it.fields.push_back({f.name, f.offset, f.width, present, present ? layout::Get(it.bytes, 0, f) : 0});
        for (size_t b = f.offset; b < f.End(); ++b)
            if (b >= begin && b < end) covered[b - begin] = true;
        if (!present && f.offset < it.bytes.size()) it.notes.push_back(std::string(f.name) + " runs past the record");
    }
    for (const ByteRange& r : textAreas)
        for (size_t b = r.begin; b < r.end; ++b)
            if (b >= begin && b < end) covered[b - begin] = true;
    const size_t limit = std::min(end, it.bytes.size());
    for (size_t b = begin; b < limit;) {
        if (covered[b - begin]) {
            ++b;
            continue;
        }
        size_t e = b;
        while (e < limit && !covered[e - begin]) ++e;
        it.areas.push_back({Format("bytes %zu-%zu", b, e - 1), b, it.bytes.subspan(b, e - b)});
        b = e;
    }
}

uint32_t Raw(const Item& it, const Field& f) { return layout::Get(it.bytes, 0, f); }
bool Has(const Item& it, const Field& f) { return layout::Fits(it.bytes.size(), 0, f); }

void AddTime(Item& it, const Field& f, float scale, const char* key = "time_ms") {
    if (Has(it, f)) AddInt(it, key, ScaleRawToMs(Raw(it, f), scale));
}

void AddSpeed(Item& it, const Field& whole, const Field& eighths) {
    if (!Has(it, whole)) return;
    const int e = SpeedEighths(Raw(it, whole), Has(it, eighths) ? Raw(it, eighths) : 0);
    AddText(it, "speed", SpeedText(e));
    AddInt(it, "speed_eighths", e);
    AddInt(it, "direction", Raw(it, whole) & 1);
}

// Decodes 20 characters of tag text into the item.
void AddTag(Item& it, std::span<const uint8_t> text) {
    AddText(it, "tag_text", Printable(text));
    const auto tag = DecodeTag(text);
    if (!tag) {
        AddText(it, "tag", "does not decode");
        return;
    }
    AddText(it, "owner", tag->Owner());
    AddText(it, "number", tag->NumberText());
    AddInt(it, "egc", tag->Egc());
    AddInt(it, "tag_type", tag->TagType());
}

void DecodeScaleEntry(Item& it, float scale) {
    ReadFields(it, layout::scale::kEntryFields, 0, it.bytes.size());
    AddTime(it, layout::scale::kTime, scale);
    if (Has(it, layout::scale::kValue16)) AddText(it, "speed", SpeedText(int(Raw(it, layout::scale::kValue16))));
}

void DecodeConsistEntry(Item& it, float scale) {
    namespace cs = layout::consist;
    ReadFields(it, cs::kEntryFields, 0, std::min(it.bytes.size(), cs::kFixedSize));
    AddInt(it, "axles", EntryAxleCount(it.bytes));
    AddText(it, "status", std::string(1, StatusLetter(Raw(it, cs::kReadStatus))));
    const int tags = EntryTagCount(it.bytes);
    for (int k = 0; k < tags; ++k) {
        Item block;
        block.label = k == 0 ? "tag block 1" : "tag block 2";
        block.bytes = EntryTagBlock(it.bytes, k);
        block.fileOffset = it.fileOffset + (k == 0 ? cs::kTagBlock1 : cs::kTagBlock2);
        ReadFields(block, cs::kTagFields, 0, cs::kTagBlockSize, kTagBlockText);
        const uint16_t flags = uint16_t(Raw(block, cs::kTagFlags));
        AddText(block, "exceptions", flags ? FlagLetters(flags) : "none");
        AddTag(block, TagBlockText(block.bytes));
        it.parts.push_back(std::move(block));
    }
    const size_t fixed = cs::FixedPartSize(Raw(it, cs::kTagCount));
    if (it.bytes.size() < fixed) {
        it.notes.push_back(Format("entry ends inside its tag blocks (%zu of %zu bytes)", it.bytes.size(), fixed));
        if (it.bytes.size() > cs::kFixedSize)
            it.areas.push_back({"partial tag block", cs::kFixedSize, it.bytes.subspan(cs::kFixedSize)});
        return;
    }
    // Sub-records after the tag blocks, each led by its own length.
    size_t off = fixed;
    while (off < it.bytes.size()) {
        const size_t left = it.bytes.size() - off;
        const size_t len = left >= cs::kSubHeaderSize ? layout::Get(it.bytes, off, cs::kSubLength) : 0;
        if (len < cs::kSubHeaderSize || len > left) {
            it.notes.push_back(Format("bytes %zu-%zu are no whole sub-record", off, it.bytes.size() - 1));
            it.areas.push_back({Format("bytes %zu-%zu", off, it.bytes.size() - 1), off, it.bytes.subspan(off)});
            break;
        }
        Item sub;
        sub.label = "sub-record";
        sub.bytes = it.bytes.subspan(off, len);
        sub.fileOffset = it.fileOffset + off;
        const uint32_t type = layout::Get(sub.bytes, 0, cs::kSubType);
        if (type == layout::scale::kSubRecordType && len == layout::scale::kSubRecordSize) {
            Item entry;
            entry.label = "scale entry";
            entry.bytes = sub.bytes.subspan(cs::kSubHeaderSize);
            entry.fileOffset = sub.fileOffset + cs::kSubHeaderSize;
            sub.fields.push_back({cs::kSubLength.name, 0, 2, true, Raw(sub, cs::kSubLength)});
            sub.fields.push_back({cs::kSubType.name, 2, 2, true, type});
            DecodeScaleEntry(entry, scale);
            sub.parts.push_back(std::move(entry));
        } else {
            const Field subFields[] = {cs::kSubLength, cs::kSubType};
            ReadFields(sub, subFields, 0, len);
        }
        it.parts.push_back(std::move(sub));
        off += len;
    }
}

void DecodeDigitizerBlock(Item& it) {
    namespace dz = layout::digitizer;
    ReadFields(it, dz::kBlockFields, 0, std::min(it.bytes.size(), dz::kBlockHeaderSize));
    const size_t samples = (it.bytes.size() - dz::kBlockHeaderSize) / dz::kSampleSize;
    AddInt(it, "samples", int64_t(samples));
    AddReal(it, "conversion_us", Raw(it, dz::kConversion) * dz::kConversionUnitSeconds * 1e6);
    std::string c0, c1;
    for (size_t s = 0; s < samples; ++s) {
        const size_t at = dz::kBlockHeaderSize + s * dz::kSampleSize;
        if (s) c0 += ' ', c1 += ' ';
        c0 += std::to_string(it.bytes[at]);
        c1 += std::to_string(it.bytes[at + 1]);
    }
    AddText(it, "channel_0", c0);
    AddText(it, "channel_1", c1);
    const size_t used = dz::kBlockHeaderSize + samples * dz::kSampleSize;
    if (used < it.bytes.size()) it.areas.push_back({"odd byte", used, it.bytes.subspan(used)});
}

// A code byte as its letter, or in hex when it is no printable character.
std::string CodeLetter(uint32_t c) { return c >= 32 && c < 127 ? std::string(1, char(c)) : Format("0x%02x", c); }

bool IsAlarmCode(uint32_t c) {
    return std::any_of(std::begin(layout::detector::kAlarmCodes), std::end(layout::detector::kAlarmCodes),
                       [&](char a) { return uint32_t(uint8_t(a)) == c; });
}

// A correlation car: its header, then one part per axle entry, numbered
// from 1 in the order the detector saw the axles. The walk hands over only
// cars of 10 + 10 x n bytes.
void DecodeCorrelationCar(Item& it) {
    namespace co = layout::correlation;
    ReadFields(it, co::kCarFields, 0, std::min(it.bytes.size(), co::kCarHeaderSize));
    const size_t entries = it.bytes.size() > co::kCarHeaderSize
                               ? (it.bytes.size() - co::kCarHeaderSize) / co::kAxleEntrySize
                               : 0;
    const uint32_t car = Raw(it, co::kCarNumber);
    AddInt(it, "car", car);
    AddInt(it, "vehicle", int64_t(car) - 1);
    AddInt(it, "axles", int64_t(entries));
    AddInt(it, "alarms", Raw(it, co::kAlarmCount));
    AddInt(it, "first_alarm_axle", Raw(it, co::kFirstAlarmAxle));
    const uint32_t side = Raw(it, co::kAlarmSide);
    AddText(it, "alarm_side", side == uint8_t(co::kNoAlarmSide) ? std::string("none") : CodeLetter(side));
    AddText(it, "alarm_code", CodeLetter(Raw(it, co::kAlarmCode)));
    for (size_t k = 0; k < entries; ++k) {
        Item axle;
        axle.label = "axle entry";
        axle.index = int(k + 1);
        const size_t at = co::kCarHeaderSize + k * co::kAxleEntrySize;
        axle.bytes = it.bytes.subspan(at, co::kAxleEntrySize);
        axle.fileOffset = it.fileOffset + at;
        ReadFields(axle, co::kAxleFields, 0, co::kAxleEntrySize);
        const uint32_t c1 = Raw(axle, co::kSide1Code), c2 = Raw(axle, co::kSide2Code);
        AddText(axle, "side_1_code", CodeLetter(c1));
        AddText(axle, "side_2_code", CodeLetter(c2));
        AddInt(axle, "side_1_value", Raw(axle, co::kSide1Value));
        AddInt(axle, "side_2_value", Raw(axle, co::kSide2Value));
        AddInt(axle, "ms", Raw(axle, co::kMsSincePrevious));
        AddInt(axle, "alarmed_sides", int(IsAlarmCode(c1)) + int(IsAlarmCode(c2)));
        it.parts.push_back(std::move(axle));
    }
}

void DecodeFixed(Item& it, Kind kind, float scale) {
    if (kind == Kind::Scale) return DecodeScaleEntry(it, scale);
    const KindLayout lay = LayoutOf(kind);
    ReadFields(it, lay.recordFields, 0, it.bytes.size(), lay.textAreas);
    switch (kind) {
        case Kind::Io: {
            namespace io = layout::io;
            AddTime(it, io::kTime, scale);
            const uint32_t in = Raw(it, io::kInputs);
            AddInt(it, "WDA", (in & io::kDefaultMaskA) != 0);
            AddInt(it, "WDB", (in & io::kDefaultMaskB) != 0);
            AddInt(it, "detector_event", (Raw(it, io::kFlags) & io::kDetectorEventFlag) != 0);
            break;
        }
        case Kind::Axle: {
            namespace ax = layout::axle;
            AddSpeed(it, ax::kSpeedWhole, ax::kSpeedEighths);
            AddTime(it, ax::kTime, scale);
            const uint32_t b1 = Raw(it, ax::kSpeedEighths);
            if (b1 & ax::kGapMarker) AddInt(it, "gap_marker", 1);
            const uint32_t mv = b1 & ax::kMovementMask;
            if (mv == (ax::kMoveBackward | ax::kMoveRepass))
                AddText(it, "movement", "backward");
            else if (mv == ax::kMoveRepass)
                AddText(it, "movement", "forward re-passage");
            else if (mv == ax::kMoveFirstNew)
                AddText(it, "movement", "first new axle");
            else if (mv != 0)
                AddText(it, "movement", Format("flags 0x%02x", mv));
            break;
        }
        case Kind::Wheel: {
            namespace wh = layout::wheel;
            const uint32_t d = Raw(it, wh::kDetector);
            AddText(it, "detector", d == wh::kDetectorA ? "A" : d == wh::kDetectorB ? "B" : "?");
            AddInt(it, "event_flag", Raw(it, wh::kFlags) & wh::kEventFlag);
            AddTime(it, wh::kTime, scale);
            break;
        }
        case Kind::InputState: AddTime(it, layout::inputstate::kTime, scale); break;
        case Kind::Event024: AddTime(it, layout::event024::kTime, scale); break;
        case Kind::Detector: {
            namespace hb = layout::detector;
            AddText(it, "side_1_code", CodeLetter(Raw(it, hb::kSide1Code)));
            AddText(it, "side_2_code", CodeLetter(Raw(it, hb::kSide2Code)));
            break;
        }
        case Kind::Summary: {
            namespace sm = layout::summary;
            AddText(it, "train_id", TextArea(it.bytes, sm::kTrainIdOffset, sm::kTrainIdLength));
            AddText(it, "first", FormatBcdDate(Raw(it, sm::kFirstDate)) + " " + FormatBcdTime(Raw(it, sm::kFirstTime)));
            AddText(it, "last", FormatBcdDate(Raw(it, sm::kLastDate)) + " " + FormatBcdTime(Raw(it, sm::kLastTime)));
            AddText(it, "text_30", TextArea(it.bytes, sm::kText30Offset, sm::kText30Length));
            break;
        }
        case Kind::CarList: {
            namespace cl = layout::carlist;
            AddText(it, "initials", TextArea(it.bytes, cl::kInitialsOffset, cl::kInitialsLength));
            AddText(it, "car_number", TextArea(it.bytes, cl::kCarNumberOffset, cl::kCarNumberLength));
            AddText(it, "status", std::string(1, StatusLetter(Raw(it, cl::kReadStatus))));
            const uint32_t letter = Raw(it, cl::kStatusLetter);
            if (letter >= 32 && letter < 127) AddText(it, "tag_status", std::string(1, char(letter)));
            break;
        }
        case Kind::Alloc: {
            namespace al = layout::alloc;
            // The vehicle a record belongs to: its key, the high byte (24-byte
            // records only) above the sequence number.
            const uint32_t keyHigh = it.bytes.size() >= al::kRecordSize ? Raw(it, al::kKeyHigh) : 0;
            AddInt(it, "vehicle", keyHigh * 256 + Raw(it, al::kSequence));
            AddInt(it, "axles", int64_t(Raw(it, al::kLastAxle)) - int64_t(Raw(it, al::kFirstAxle)) + 1);
            AddTime(it, al::kStartTime, scale, "start_ms");
            AddTime(it, al::kEndTime, scale, "end_ms");
            const uint32_t part = Raw(it, al::kPart);
            AddText(it, "part", part == al::kPartWhole ? "whole vehicle" : std::to_string(part));
            AddText(it, "speed", Format("%u mph", Raw(it, al::kSpeed) >> 1));
            AddInt(it, "direction", Raw(it, al::kSpeed) & al::kDirectionBit);
            break;
        }
        case Kind::TagRead: {
            namespace tr = layout::tagread;
            AddTime(it, tr::kTime, scale);
            if (IsDeletedTagRead(it.bytes)) {
                AddText(it, "tag", "deleted record");
                break;
            }
            if (it.bytes.size() >= tr::kTextOffset + tr::kTextLength)
                AddTag(it, it.bytes.subspan(tr::kTextOffset, tr::kTextLength));
            const uint32_t ant = Raw(it, tr::kAntenna);
            if (ant >= '0' && ant <= '9') AddInt(it, "antenna", ant - '0');
            char hex[3] = {char(Raw(it, tr::kReadCountHigh)), char(Raw(it, tr::kReadCountLow)), 0};
            char* end = nullptr;
            const long reads = std::strtol(hex, &end, 16);
            if (hex[0] && end == hex + 2) AddInt(it, "reads", reads);
            AddSpeed(it, tr::kSpeedWhole, tr::kSpeedEighths);
            break;
        }
        default: break;
    }
}

}  // namespace

Item DecodeHeader(const LoadedFile& f, const Analysis& a) {
    Item it;
    it.label = "header";
    it.bytes = HeaderOf(f);
    const KindLayout lay = LayoutOf(a.kind);
    // A common field that the type's own table names again is shown under
    // the type's name only.
    std::vector<Field> common;
    for (const Field& c : hdr::kFields)
        if (std::none_of(lay.headerFields.begin(), lay.headerFields.end(),
                         [&](const Field& t) { return t.offset == c.offset; }))
            common.push_back(c);
    ReadFields(it, common, 0, hdr::kTypeAreaBegin);
    ReadFields(it, lay.headerFields, hdr::kTypeAreaBegin, hdr::kTypeAreaEnd);
    // The common fields after the type area come last, in offset order.
    std::stable_sort(it.fields.begin(), it.fields.end(),
                     [](const FieldValue& x, const FieldValue& y) { return x.offset < y.offset; });
    it.notes.clear();
    if (it.bytes.size() < hdr::kSize) it.notes.push_back(Format("only %zu of 64 header bytes", it.bytes.size()));
    if (it.bytes.size() >= hdr::kSize) {
        AddText(it, "format", Format("0x%04x", Raw(it, hdr::kFormat)));
        AddText(it, "date", Format("%02x-%02x-%04x", Raw(it, hdr::kMonth), Raw(it, hdr::kDay), Raw(it, hdr::kYear)));
        AddText(it, "time",
                Format("%02x:%02x:%02x", Raw(it, hdr::kHours), Raw(it, hdr::kMinutes), Raw(it, hdr::kSeconds)));
        AddInt(it, "real_size", int64_t(f.bytes.size()));
        AddInt(it, "records_present", int64_t(a.records.size()));
        AddReal(it, "ms_per_raw_unit", a.timeScale);
    }
    return it;
}

Item DecodeRecord(const LoadedFile& f, const Analysis& a, size_t i) {
    Item it;
    it.index = int(i);
    const RecordSpan& r = a.records.at(i);
    it.bytes = DataOf(f).subspan(r.offset, r.size);
    it.fileOffset = hdr::kSize + r.offset;
    switch (a.kind) {
        case Kind::Consist:
            it.label = "entry";
            DecodeConsistEntry(it, a.timeScale);
            break;
        case Kind::Digitizer:
            it.label = "block";
            DecodeDigitizerBlock(it);
            break;
        case Kind::Correlation:
            it.label = "car";
            DecodeCorrelationCar(it);
            break;
        case Kind::Generic:
            it.label = "record";
            it.areas.push_back({Format("bytes 0-%zu", it.bytes.size() - 1), 0, it.bytes});
            break;
        default:
            it.label = "record";
            DecodeFixed(it, a.kind, a.timeScale);
            break;
    }
    return it;
}

std::span<const uint8_t> TrailingBytes(const LoadedFile& f, const Analysis& a) {
    const auto data = DataOf(f);
    return a.walkedEnd < data.size() ? data.subspan(a.walkedEnd) : std::span<const uint8_t>();
}

std::string HexBytes(std::span<const uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) s.push_back(' ');
        s.push_back(digits[bytes[i] >> 4]);
        s.push_back(digits[bytes[i] & 15]);
    }
    return s;
}

}  // namespace traindump
