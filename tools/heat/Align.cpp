// The alignment walk of heatalign and the program around it.
#include "Heatalign.h"

#include "Speed.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace ax = layout::axle;
namespace dt = layout::detector;

namespace {

constexpr double kTimeLimit = 0.15;      // share of the mean two gaps' times may part by
constexpr double kDistanceLimit = 0.2;   // share of the mean their distances may part by
constexpr int kMaxDifference = 3;        // largest axle count difference aligned
constexpr int kMaxChanges = 3;

// Moves the record last appended to position i, shifting the records from
// i on one place later.
void MoveLastTo(CTrainFile& file, int i) {
    for (int k = file.GetCount() - 1; k > i; --k) file.Swap(k, k - 1);
}

bool ReportFullFile(const CTrainFile& file, int i) {
    std::printf("Record %d cannot be added to %s: it already holds 65535 records\n", i, file.GetFileName());
    return false;
}

// A dummy axle at position i where the detector saw an axle the wheel
// detectors missed: it runs at the speed and in the direction of the axle
// before it, and follows it after the time the detector's distance takes.
bool InsertDummyAxle(AlignFiles& f, int i, int distance) {
    std::printf("Axle %d is Dummy Axle\n", i);
    CAxleFile& axles = f.axles;
    if (!axles.Grow(1)) return ReportFullFile(axles, i);
    MoveLastTo(axles, i);
    for (int k = 0; k < axles.GetCount(); ++k) axles.SetFieldAt(k, ax::kAxleNumber, static_cast<uint32_t>(k + 1));
    // The first axle has none before it: it takes the one now after it.
    const int from = i > 0 ? i - 1 : i + 1;
    const float mph = f.AxleSpeed(from);
    const uint32_t direction = axles.GetFieldAt(from, ax::kSpeedWhole) & ax::kDirectionBit;
    double time = static_cast<uint32_t>(axles.RawToMs(axles.GetFieldAt(from, ax::kTime)));
    if (i > 0) {
        // At a standstill the distance gives no time: take the detector's gap.
        time += mph > 0 ? HbdMsForDistance(distance, mph) : f.detector.GetDetectorTime(i);
    }
    const SpeedBytes speed = EncodeSpeed(mph, direction);
    axles.SetFieldAt(i, ax::kSpeedWhole, speed.whole);
    axles.SetFieldAt(i, ax::kSpeedEighths, speed.eighths);
    axles.SetFieldAt(i, ax::kTime, axles.MsToRaw(TruncToU32(time)));
    return true;
}

// Removes detector record i, which has no axle; the time since the
// previous reading moves to the reading after it, so its gap stays right.
void RemoveReading(CDetectorFile& det, int i) {
    std::printf("Axle %d is Removed\n", i);
    const uint64_t removed = det.GetDetectorTime(i);
    det.Delete(i);
    det.Renumber();
    if (!det.IsValid(i)) return;  // it was the last reading
    const uint64_t sum = removed + det.GetDetectorTime(i);
    det.SetFieldAt(i, dt::kMsSincePrevious, static_cast<uint32_t>(std::min<uint64_t>(sum, UINT32_MAX)));
}

bool ActOnExtraReading(AlignFiles& f, int i, int distance, int option) {
    if (option == 1) return InsertDummyAxle(f, i, distance);
    RemoveReading(f.detector, i);
    return true;
}

// A dummy detector record at position i where the detector missed an
// axle: its time is what the axle distance takes at the train speed the
// header's speeds give there, taken from the reading after it so that the
// times still add up to the same.
bool InsertDummyReading(AlignFiles& f, int i, int distance) {
    std::printf("HBD Record %d is Dummy HBD\n", i);
    CDetectorFile& det = f.detector;
    const int n = det.GetCount();
    const float slope = static_cast<float>(int(det.GetLastSpeed()) - int(det.GetFirstSpeed())) / static_cast<float>(n);
    const float mph = det.GetFirstSpeed() + slope * static_cast<float>(i);
    // At a standstill the distance gives no time: take the axle file's gap.
    const double ms = mph > 0 ? HbdMsForDistance(distance, mph) : f.AxleTime(i);
    uint32_t e = TruncToU32(std::min(ms, double(UINT32_MAX)));
    if (!det.Grow(1)) return ReportFullFile(det, i);
    MoveLastTo(det, i);
    det.Renumber();
    if (det.IsValid(i + 1)) {
        const uint32_t next = det.GetDetectorTime(i + 1);
        e = std::min(e, next);
        det.SetFieldAt(i + 1, dt::kMsSincePrevious, next - e);
    }
    det.SetFieldAt(i, dt::kMsSincePrevious, e);
    return true;
}

std::vector<uint8_t> ImageOf(const CTrainFile& file) {
    std::vector<uint8_t> image(file.Header().begin(), file.Header().end());
    image.insert(image.end(), file.Data().begin(), file.Data().end());
    return image;
}

}  // namespace

uint32_t AlignFiles::AxleTime(int i) const {
    if (i <= 0 || !axles.IsValid(i)) return 0;
    return static_cast<uint32_t>(MsDifference(axles.RawToMs(axles.GetFieldAt(i, ax::kTime)),
                                              axles.RawToMs(axles.GetFieldAt(i - 1, ax::kTime))));
}

float AlignFiles::AxleSpeed(int i) const {
    return static_cast<float>(SpeedEighths(axles.GetFieldAt(i, ax::kSpeedWhole), axles.GetFieldAt(i, ax::kSpeedEighths))) *
           0.125f;
}

int AlignFiles::AxleDistance(int i) const { return HbdDistanceFeet(AxleTime(i), AxleSpeed(i)); }

int ParseAlignOption(const char* text) {
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    long long v = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
        v = v * 10 + (*p - '0');
        if (v > INT_MAX) v = INT_MAX + 1LL;  // saturated: any larger number is as invalid
    }
    if (negative) v = -v;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

bool GapsPart(uint64_t a, uint64_t b, double limit) {
    const uint64_t diff = a > b ? a - b : b - a;
    const uint64_t mean = (a + b) / 2;
    if (mean == 0) return false;
    return static_cast<double>(diff) / static_cast<double>(mean) > limit;
}

AlignOutcome AlignTrain(AlignFiles& f, const std::string& base, int option, const std::vector<uint8_t>& original) {
    const int axleCount = f.axles.GetCount();
    const int readingCount = f.detector.GetCount();
    const int d = std::abs(axleCount - readingCount);
    if (d == 0) return AlignOutcome::NoChange;
    if (d > kMaxDifference) {
        std::printf("Axle Difference %d is too large\n", d);
        return AlignOutcome::NoChange;
    }
    std::printf("Axle Count does not Match HBD count %d - %d\n", axleCount, readingCount);
    // Without records on one side there is nothing to align against.
    if (axleCount == 0 || readingCount == 0) return AlignOutcome::NoChange;
    std::printf("Original 018 file saved as %s.O18\n", base.c_str());
    if (!WriteNewFile(base + ".O18", original.data(), original.size())) return AlignOutcome::BackupFailed;
    std::fputs(ComparisonTable(f).c_str(), stdout);

    int changes = 0;
    for (int i = 0; i < f.axles.GetCount() || i < f.detector.GetCount();) {
        if (changes > kMaxChanges || changes > d) {
            std::printf("Too many changes - Changes: %d  Axle Diff: %d\n", changes, d);
            return AlignOutcome::NoChange;
        }
        const bool axleHere = f.axles.IsValid(i);
        const bool readingHere = f.detector.IsValid(i);
        if (!axleHere) {
            if (!ActOnExtraReading(f, i, f.detector.GetDetectorDistance(i), option)) return AlignOutcome::NoChange;
            ++changes;
            if (option != 2) ++i;
            continue;
        }
        if (!readingHere) {
            if (!InsertDummyReading(f, i, f.AxleDistance(i))) return AlignOutcome::NoChange;
            ++changes;
            ++i;
            continue;
        }
        if (GapsPart(f.AxleTime(i), f.detector.GetDetectorTime(i), kTimeLimit)) {
            const int axleDistance = f.AxleDistance(i);
            const int readingDistance = f.detector.GetDetectorDistance(i);
            if (GapsPart(static_cast<uint64_t>(axleDistance), static_cast<uint64_t>(readingDistance), kDistanceLimit)) {
                const bool ok = axleDistance > readingDistance ? ActOnExtraReading(f, i, readingDistance, option)
                                                               : InsertDummyReading(f, i, axleDistance);
                if (!ok) return AlignOutcome::NoChange;
                ++changes;
                if (axleDistance > readingDistance && option == 2) continue;
            }
        }
        ++i;
    }
    return changes > 0 ? AlignOutcome::Changed : AlignOutcome::NoChange;
}

int HeatalignMain(int argc, const char* const* argv) {
    if (argc != 3) {
        std::fputs(HeatalignUsage().c_str(), stdout);
        return kAlignUsage;
    }
    const std::string base = argv[1];
    const std::string axleName = base + ".010";
    const std::string readingName = base + ".018";
    if (!FileExists(readingName)) return kAlignUnchanged;
    const int option = ParseAlignOption(argv[2]);
    if (option < 1 || option > 3) {
        std::printf("Option %d invalid\n", option);
        return kAlignBadOption;
    }
    AlignFiles f;
    // The names carry their extension already, so the loads use them as given.
    const bool loaded = f.axles.Load(axleName.c_str()) && f.detector.Load(readingName.c_str()) &&
                        f.axles.GetRecordLength() == ax::kRecordSize &&
                        f.detector.GetRecordLength() == dt::kRecordSize;
    if (!loaded) {
        std::printf("Unable to open %s and\\or %s\n", axleName.c_str(), readingName.c_str());
        return kAlignCannotLoad;
    }
    if (option == 3) {
        std::printf("%s\n", base.c_str());
        std::fputs(ComparisonTable(f).c_str(), stdout);
        return kAlignUnchanged;
    }
    const std::vector<uint8_t> original = ImageOf(f.detector);
    switch (AlignTrain(f, base, option, original)) {
    case AlignOutcome::NoChange: return kAlignUnchanged;
    case AlignOutcome::BackupFailed: return kAlignSaveFailed;
    case AlignOutcome::Changed: break;
    }
    std::fputs(ComparisonTable(f).c_str(), stdout);
    // The readings first: when the axles then cannot be saved, the readings
    // as they were go back, so the two files never disagree on disk.
    if (!f.detector.Save()) return kAlignSaveFailed;
    if (!f.axles.Save()) {
        if (WriteNewFile(readingName, original.data(), original.size()))
            std::printf("%s is put back as it was\n", readingName.c_str());
        return kAlignSaveFailed;
    }
    return kAlignChanged;
}
