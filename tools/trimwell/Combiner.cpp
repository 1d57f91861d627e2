// Train combiner (OP13), allocation overlap fix-up (OP14) and wheel
// digitizer listing (OP15).
#include "Trimwell.h"

#include "AllocFile.h"
#include "AxleFile.h"
#include "DigitizerFile.h"
#include "FileGroup.h"
#include "IoFile.h"
#include "Platform.h"
#include "TagFile.h"
#include "WheelFile.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

constexpr uint64_t kMaxRaw = std::numeric_limits<uint32_t>::max();

// A fixed-record file is only read when its records have the length of its
// type: with any other length every field would be read from the wrong place.
// A file without records has nothing to misread.
bool CheckRecordLength(const CTrainFile& f, bool ok, const char* what, FILE* out) {
    ok = ok || f.CTrainFile::GetCount() == 0;
    if (!ok) std::fprintf(out, "\"%s\": records of %u bytes are not %s records.\n", f.GetFileName(), f.GetRecordLength(), what);
    return ok;
}

// A raw time of a file with time scale fromScale in the raw units of a file
// with toScale: unchanged when the scales are equal, else through
// milliseconds in extended precision, truncated. Above kMaxRaw when the
// time has no 32-bit raw value in the other file.
uint64_t ConvertRawTime(uint32_t raw, float fromScale, float toScale) {
    if (fromScale == toScale) return raw;
    if (!(toScale > 0.0f)) return kMaxRaw + 1;
    const long double v = static_cast<long double>(raw) * fromScale / toScale;
    return static_cast<uint64_t>(std::clamp<int64_t>(TruncToInt64(v), 0, static_cast<int64_t>(kMaxRaw) + 1));
}

}  // namespace

// ---------------------------------------------------------------------------
// OP13: combining two recordings of one train.

namespace {

// Where train 2's recording starts on train 1's time base: the raw time of
// the last IO record before its first detector event. Train 2 is shifted
// only when that detector event lies before the base; otherwise its times
// were shifted by an earlier combination.
struct TimeBase {
    uint32_t base = 0;
    int firstDetector = -1;  // -1: no detector event record
    bool shift = false;
};

TimeBase FindTimeBase(const CIoFile& io, FILE* out) {
    namespace io_ = layout::io;
    TimeBase tb;
    const int n = io.GetCount();
    if (n > 0) tb.base = io.GetFieldAt(0, io_::kTime);
    for (int i = 0; i < n; ++i) {
        const uint32_t t = io.GetFieldAt(i, io_::kTime);
        if ((io.GetFieldAt(i, io_::kFlags) & io_::kDetectorEventFlag) == 0) {
            tb.base = t;
            continue;
        }
        tb.firstDetector = i;
        tb.shift = t < tb.base;
        if (!tb.shift) std::fputs("Train2's timestamps are already adjusted!\n", out);
        break;
    }
    return tb;
}

// Adds offset to the time field of records [from, count) of f. Nothing is
// changed, and false returned, when a time would pass the 32-bit range.
bool ShiftTimes(CTrainFile& f, const layout::Field& time, int from, uint64_t offset) {
    const int n = f.GetCount();
    for (int i = std::max(from, 0); i < n; ++i)
        if (f.GetFieldAt(i, time) + offset > kMaxRaw) return false;
    for (int i = std::max(from, 0); i < n; ++i)
        f.SetFieldAt(i, time, static_cast<uint32_t>(f.GetFieldAt(i, time) + offset));
    return true;
}

// Loads one source file; when that fails, says so with the name as the
// operator gave it.
template <class Load>
bool LoadSource(Load load, const std::string& shown, FILE* out) {
    if (load()) return true;
    std::fprintf(out, "Cannot open \"%s\".\n", shown.c_str());
    return false;
}

// One file type of the two trains: both loaded, of the type's record
// length, with equal record lengths and time scales, so that train 2's
// records can be appended to train 1's as they are.
bool CheckPair(const CTrainFile& f1, const CTrainFile& f2, unsigned minLength, bool exact, const char* what,
               FILE* out) {
    for (const CTrainFile* f : {&f1, &f2}) {
        const unsigned len = f->GetRecordLength();
        if (!CheckRecordLength(*f, exact ? len == minLength : len >= minLength, what, out)) return false;
    }
    if (f1.GetRecordLength() != f2.GetRecordLength()) {
        std::fprintf(out, "Record lengths of \"%s\" and \"%s\" differ.\n", f1.GetFileName(), f2.GetFileName());
        return false;
    }
    if (f1.GetTimeScale() != f2.GetTimeScale()) {
        std::fprintf(out, "Time scales of \"%s\" and \"%s\" differ.\n", f1.GetFileName(), f2.GetFileName());
        return false;
    }
    return true;
}

// Shifts train 2's records of one file type by the time base, converted into
// the file's own raw units, and appends them to train 1's.
bool ShiftAndAppend(CTrainFile& f1, CTrainFile& f2, const layout::Field& time, int from, bool shift,
                    uint32_t base, float baseScale, FILE* out) {
    if (shift) {
        const uint64_t offset = ConvertRawTime(base, baseScale, f2.GetTimeScale());
        if (offset > kMaxRaw || !ShiftTimes(f2, time, from, offset)) {
            std::fprintf(out, "Times of \"%s\" would pass the 32-bit time range.\n", f2.GetFileName());
            return false;
        }
    }
    if (f2.GetCount() > 0 && !f1.AppendRecords(f2.RecordBytes())) {
        std::fprintf(out, "\"%s\" and \"%s\" hold more than 65535 records together.\n", f1.GetFileName(),
                     f2.GetFileName());
        return false;
    }
    return true;
}

}  // namespace

int CombineTrains(const std::string& t1, const std::string& t2, const std::string& outBase, FILE* out) {
    namespace io_ = layout::io;
    CIoFile io1, io2;
    if (!LoadSource([&] { return io1.Load(t1.c_str()); }, t1, out) ||
        !LoadSource([&] { return io2.Load(t2.c_str()); }, t2, out))
        return 0;
    if (io1.GetRecorderVersion() == 0 || io2.GetRecorderVersion() == 0) {
        std::fputs("Combiner requires QVX version 1 or greater.\n", out);
        return 0;
    }
    if (!CheckPair(io1, io2, io_::kRecordSize, true, "IO event", out)) return 0;

    const TimeBase tb = FindTimeBase(io2, out);
    const float baseScale = io2.GetTimeScale();
    if (!ShiftAndAppend(io1, io2, io_::kTime, tb.firstDetector, tb.shift, tb.base, baseScale, out)) return 0;

    CTagFile tag1, tag2;
    if (!LoadSource([&] { return tag1.LoadTyped(t1.c_str(), ".060"); }, t1 + ".060", out) ||
        !LoadSource([&] { return tag2.LoadTyped(t2.c_str(), ".060"); }, t2 + ".060", out) ||
        !CheckPair(tag1, tag2, layout::tagread::kRecordSize, true, "tag read", out) ||
        !ShiftAndAppend(tag1, tag2, layout::tagread::kTime, 0, tb.shift, tb.base, baseScale, out))
        return 0;

    CWheelFile wheel1, wheel2;
    if (!LoadSource([&] { return wheel1.Load(t1.c_str()); }, t1 + ".012", out) ||
        !LoadSource([&] { return wheel2.Load(t2.c_str()); }, t2 + ".012", out) ||
        !CheckPair(wheel1, wheel2, layout::wheel::kRecordSize, false, "wheel event", out) ||
        !ShiftAndAppend(wheel1, wheel2, layout::wheel::kTime, 0, tb.shift, tb.base, baseScale, out))
        return 0;

    // The combined train gets new files: writing over a source would destroy
    // the recording that is being read.
    struct Output {
        CTrainFile* file;
        std::string name;
    };
    const Output outputs[] = {{&io1, outBase + ".007"}, {&tag1, outBase + ".060"}, {&wheel1, outBase + ".012"}};
    const char* const sources[] = {io1.GetFileName(),    io2.GetFileName(),    tag1.GetFileName(),
                                   tag2.GetFileName(),   wheel1.GetFileName(), wheel2.GetFileName()};
    for (const Output& o : outputs) {
        for (const char* s : sources) {
            if (plat::SameFile(o.name, s)) {
                std::fprintf(out, "Output \"%s\" would replace source \"%s\".\n", o.name.c_str(), s);
                return 0;
            }
        }
    }

    // All three files or none: a failed write puts back what the earlier
    // ones replaced.
    plat::FileRollback undo;
    for (const Output& o : outputs) {
        if (!undo.Keep(o.name)) {
            std::fprintf(out, "Cannot replace \"%s\".\n", o.name.c_str());
            undo.Restore();
            return 0;
        }
        if (!o.file->SaveAs(o.name.c_str())) {
            undo.Restore();
            return 0;
        }
    }
    return 1;
}

// ---------------------------------------------------------------------------
// OP14: axles claimed by two neighbouring allocation records.

bool FixupAllocations(const std::string& base, const std::string& outName, FILE* out) {
    namespace al = layout::alloc;
    const std::string ownName = AddExtension(base, ".041");
    const std::string writtenName = AddExtension(outName, ".041");
    // The corrected copy never replaces the allocation it is made from.
    if (plat::SameFile(writtenName, ownName)) {
        std::fprintf(out, "\"%s\" is the train's own allocation; it is not replaced.\n", writtenName.c_str());
        return false;
    }
    // A run that finds nothing leaves no corrected copy of an earlier train.
    if (plat::FileExists(outName) && !plat::IsDirectory(outName)) plat::DeleteFile(outName);

    CAllocFile alloc;
    CAxleFile axles;
    if (!alloc.Load(base.c_str())) {
        std::fprintf(out, "Cannot open \"%s\".\n", alloc.GetFileName());
        return false;
    }
    if (!axles.Load(base.c_str())) {
        std::fprintf(out, "Cannot open \"%s\".\n", axles.GetFileName());
        return false;
    }
    const unsigned allocLength = alloc.GetRecordLength();
    if (!CheckRecordLength(alloc, allocLength == al::kRecordSize || allocLength == al::kShortRecordSize,
                           "axle allocation", out) ||
        !CheckRecordLength(axles, axles.GetRecordLength() == layout::axle::kRecordSize, "axle event", out))
        return false;

    const int n = alloc.GetCount();
    unsigned errors = 0, leftAlone = 0;
    int prev = -1;
    for (int i = 0; i < n; ++i) {
        const int first = static_cast<int>(alloc.GetFieldAt(i, al::kFirstAxle));
        if (prev != -1 && first == prev) {
            const int p = i - 1;
            const int prevFirst = static_cast<int>(alloc.GetFieldAt(p, al::kFirstAxle));
            if (prev <= prevFirst) {
                // Giving its only axle away would leave the record no axle at all.
                std::fprintf(out, "Record %d holds only the shared axle %d; left unchanged.\n", p, prev);
                ++leftAlone;
            } else if (!axles.IsValid(prev - 1)) {
                std::fprintf(out, "Axle %d is not in \"%s\"; record %d left unchanged.\n", prev - 1,
                             axles.GetFileName(), p);
                ++leftAlone;
            } else {
                const uint64_t end = ConvertRawTime(axles.GetFieldAt(prev - 1, layout::axle::kTime),
                                                    axles.GetTimeScale(), alloc.GetTimeScale());
                alloc.SetFieldAt(p, al::kLastAxle, static_cast<uint32_t>(prev - 1));
                alloc.SetFieldAt(p, al::kEndTime, static_cast<uint32_t>(std::min(end, kMaxRaw)));
                ++errors;
            }
        }
        prev = static_cast<int>(alloc.GetFieldAt(i, al::kLastAxle));
    }

    if (errors == 0) {
        if (leftAlone == 0) std::fputs("No allocation error found.\n", out);
        return false;
    }
    if (!alloc.SaveAs(outName.c_str())) {
        std::fprintf(out, "%u error found. Cannot write \"%s\".\n", errors, outName.c_str());
        return false;
    }
    std::fprintf(out, "%u error found. Writing \"%s\".\n", errors, outName.c_str());
    return true;
}

// ---------------------------------------------------------------------------
// OP15: the samples of the wheel digitizer file that carry a signal.

namespace {

// A sample is idle when both channels sit at their idle levels; anything
// else is a detector signal.
bool IsIdleSample(const CDigitizerFile& d) {
    return d.GetSample(0) == d.GetIdleLevel(0) && d.GetSample(1) == d.GetIdleLevel(1);
}

}  // namespace

int ProcessDigitizerData(const std::string& base, FILE* out) {
    CDigitizerFile d;
    const std::string name = base + ".01d";
    if (!d.Load(name.c_str()) || d.CountSamples() == 0) return 0;
    d.SeekSample(0, 1);
    d.SetBand(0);
    std::fputs("\n", out);
    d.SeekSample(0, 1);

    unsigned long total = 0, printed = 0, signals = 0, samples = 0, time = 0;
    bool inSignal = false;
    int64_t start = 0;
    do {
        ++total;
        const double t = d.GetSampleTime();
        if (!IsIdleSample(d)) {
            std::fprintf(out, "%10lu, %f, %u, %u, %u, %u\n", printed++, t, unsigned(d.GetSample(0)),
                         unsigned(d.GetSample(1)), unsigned(d.GetBlockConversion()), unsigned(d.GetBlockByte13()));
            if (!inSignal) {
                ++signals;
                start = TruncToInt64(t);
                inSignal = true;
            }
            ++samples;
        } else if (inSignal) {
            // Blocks whose times run backwards give no signal length.
            const int64_t end = TruncToInt64(t);
            if (end > start) time += static_cast<unsigned long>(end - start);
            inSignal = false;
        }
    } while (d.NextSample());

    std::fprintf(out,
                 "\n\nTotal Original Samples...%lu\nTotal Time...............%lu\nTotal Signals............%lu\n"
                 "Total Samples............%lu\n\n",
                 total, time, signals, samples);
    return 1;
}
