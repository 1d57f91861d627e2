// The correlation of heatlink: one pass over the consist with a matching
// pass over the detector readings, read from the files' bytes directly.
#include "Heatlink.h"

#include "ConsistLayout.h"
#include "CorrelationLayout.h"
#include "DetectorLayout.h"
#include "HeaderLayout.h"
#include "Platform.h"

#include <cstdio>

namespace cs = layout::consist;
namespace dt = layout::detector;
namespace co = layout::correlation;
namespace hdr = layout::header;

namespace {

bool IsAlarm(uint32_t code) { return code == 'A' || code == 'C' || code == 'D'; }
bool IsCOrD(uint32_t code) { return code == 'C' || code == 'D'; }

// Orientation byte value 5 at consist offset 4 with a set orientation flag
// counts the car's axles from its front; otherwise from its rear.
constexpr uint32_t kCountFromFront = 5;

// The car's reported alarm after one more axle; axles later in the car
// overwrite what earlier ones reported.
void ReportAlarm(uint32_t side1, uint32_t side2, uint8_t& side, uint8_t& code) {
    if (side2 == 'A') {
        code = 'A';
        side = side1 == 'A' ? co::kLeftSide : co::kRightSide;
    } else if (side1 == 'A') {
        code = 'A';
        side = co::kLeftSide;
    } else if (IsCOrD(side1)) {
        code = static_cast<uint8_t>(side1);
        side = co::kLeftSide;
    } else if (IsCOrD(side2)) {
        code = static_cast<uint8_t>(side2);
        side = co::kRightSide;
    }
}

uint8_t Bcd(int v) { return static_cast<uint8_t>(((v / 10) % 10) << 4 | (v % 10)); }

}  // namespace

bool HasExtension(const std::string& name, const char* ext) {
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && name.compare(dot, std::string::npos, ext) == 0;
}

std::string CorrelationFileName(const std::string& detectorName) {
    const size_t slash = detectorName.find_last_of("\\/");
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = detectorName.rfind('.');
    if (dot == std::string::npos || dot < start) dot = detectorName.size();
    return detectorName.substr(start, dot - start) + ".071";
}

Correlation CorrelateReadings(std::span<const uint8_t> detector, std::span<const uint8_t> consist) {
    Correlation c;
    if (detector.size() < hdr::kSize || consist.size() < hdr::kSize) {
        c.status = kLinkShortInput;
        return c;
    }
    const uint32_t readingCount = layout::Get(detector, 0, hdr::kRecordCount);
    const uint32_t entryCount = layout::Get(consist, 0, hdr::kRecordCount);
    uint32_t remaining = readingCount;
    size_t readingPos = hdr::kSize;
    size_t entryPos = hdr::kSize;
    int previousVehicle = -1;
    c.records.reserve(static_cast<size_t>(readingCount) * co::kAxleEntrySize + entryCount * co::kCarHeaderSize);

    for (uint32_t e = 0; e < entryCount; ++e) {
        // Each entry is sized by its own length field and holds at least the
        // 24-byte vehicle part.
        if (consist.size() - entryPos < 2) {
            c.status = kLinkShortInput;
            return c;
        }
        const uint32_t length = layout::Get(consist, entryPos, cs::kLength);
        if (length < cs::kFixedSize || consist.size() - entryPos < length) {
            c.status = kLinkShortInput;
            return c;
        }
        const std::span<const uint8_t> entry = consist.subspan(entryPos, length);
        entryPos += length;
        const int vehicle = static_cast<int>(layout::Get(entry, 0, cs::kVehicleNumber));
        if (vehicle == previousVehicle) continue;  // a car is represented by its first entry
        previousVehicle = vehicle;

        const uint32_t n = layout::Get(entry, 0, cs::kAxleCount);
        ++c.cars;
        c.axles += n;
        if (n > remaining) {
            c.status = kLinkMismatch;
            return c;
        }
        const bool fromFront = layout::Get(entry, 0, cs::kUnused4) == kCountFromFront &&
                               layout::Get(entry, 0, cs::kOrientation) != 0;
        const size_t carPos = c.records.size();
        c.records.resize(carPos + co::kCarHeaderSize + n * co::kAxleEntrySize, 0);
        const std::span<uint8_t> car(c.records.data() + carPos, co::kCarHeaderSize + n * co::kAxleEntrySize);
        uint32_t alarms = 0, firstAlarmAxle = 0;
        uint8_t side = co::kNoAlarmSide, code = co::kNoAlarmCode;
        for (uint32_t i = 0; i < n; ++i) {
            if (detector.size() - readingPos < dt::kRecordSize) {
                c.status = kLinkShortInput;
                return c;
            }
            const std::span<const uint8_t> reading = detector.subspan(readingPos, dt::kRecordSize);
            readingPos += dt::kRecordSize;
            --remaining;
            const uint32_t side1 = layout::Get(reading, 0, dt::kSide1Code);
            const uint32_t side2 = layout::Get(reading, 0, dt::kSide2Code);
            const size_t at = co::kCarHeaderSize + i * co::kAxleEntrySize;
            layout::Set(car, at, co::kSide1Code, side1);
            layout::Set(car, at, co::kSide2Code, side2);
            layout::Set(car, at, co::kSide1Value, layout::Get(reading, 0, dt::kSide1Value));
            layout::Set(car, at, co::kSide2Value, layout::Get(reading, 0, dt::kSide2Value));
            layout::Set(car, at, co::kMsSincePrevious, layout::Get(reading, 0, dt::kMsSincePrevious));
            for (const uint32_t sideCode : {side1, side2}) {
                if (!IsAlarm(sideCode)) continue;
                if (++alarms == 1) firstAlarmAxle = fromFront ? i + 1 : n - i;
            }
            ReportAlarm(side1, side2, side, code);
        }
        layout::Set(car, 0, co::kRecordLength, static_cast<uint32_t>(car.size()));
        layout::Set(car, 0, co::kCarNumber, static_cast<uint32_t>(vehicle + 1));
        layout::Set(car, 0, co::kAlarmCount, alarms);
        layout::Set(car, 0, co::kFirstAlarmAxle, firstAlarmAxle);
        layout::Set(car, 0, co::kAlarmSide, side);
        layout::Set(car, 0, co::kAlarmCode, code);
    }
    if (c.axles != readingCount) c.status = kLinkMismatch;
    return c;
}

std::vector<uint8_t> CorrelationFileImage(const Correlation& c, uint8_t carriedByte) {
    std::vector<uint8_t> image(hdr::kSize, 0);
    const plat::LocalTime now = plat::GetLocalTime();
    layout::Set(image, 0, hdr::kFormat, co::kFormat);
    layout::Set(image, 0, hdr::kFileLength, static_cast<uint32_t>(hdr::kSize + 10 * (c.cars + c.axles)));
    layout::Set(image, 0, hdr::kDay, Bcd(now.day));
    layout::Set(image, 0, hdr::kMonth, Bcd(now.month));
    layout::Set(image, 0, hdr::kYear, 0x2000u | Bcd(now.year % 100));
    layout::Set(image, 0, hdr::kSeconds, Bcd(now.second));
    layout::Set(image, 0, hdr::kMinutes, Bcd(now.minute));
    layout::Set(image, 0, hdr::kHours, Bcd(now.hour));
    layout::Set(image, 0, hdr::kTypeSubcode, co::kFileType);
    layout::Set(image, 0, hdr::kRecordCount, c.cars);
    layout::Set(image, 0, hdr::kScaleNumerator, 1);
    layout::Set(image, 0, co::kCarriedByte, carriedByte);
    image.insert(image.end(), c.records.begin(), c.records.end());
    return image;
}

namespace {

// Reads an input whole: -2 when it cannot be opened (missing, or a pipe or
// another non-regular file, which is refused rather than waited on); an
// empty file is opened but holds no header (-3 later).
int ReadInput(const char* name, std::vector<uint8_t>& bytes) {
    if (plat::ReadWholeFile(name, bytes)) return kLinkOk;
    bytes.clear();
    return plat::GetLastError() == plat::kErrSuccess ? kLinkOk : kLinkCannotOpen;
}

}  // namespace

int HeatlinkMain(int argc, const char* const* argv) {
    if (argc != 3 || !HasExtension(argv[1], ".018") || !HasExtension(argv[2], ".035")) {
        std::fputs(HeatlinkUsage().c_str(), stdout);
        return kLinkUsage;
    }
    std::vector<uint8_t> detector, consist;
    if (ReadInput(argv[1], detector) != kLinkOk || ReadInput(argv[2], consist) != kLinkOk) return kLinkCannotOpen;
    const Correlation c = CorrelateReadings(detector, consist);
    if (c.status != kLinkOk) return c.status;
    const std::vector<uint8_t> image =
        CorrelationFileImage(c, static_cast<uint8_t>(layout::Get(detector, 0, dt::kCarry39)));
    if (layout::Get(image, 0, hdr::kFileLength) != image.size()) return kLinkSizeMismatch;
    // Written whole through a temporary file: a failed run never leaves a
    // partial .071 over a good one.
    if (!plat::WriteNewFile(CorrelationFileName(argv[1]), image.data(), image.size())) {
        switch (plat::GetLastError()) {
        case plat::kErrDiskFull:
        case plat::kErrGeneric: return kLinkWriteFailed;
        default: return kLinkCannotCreate;
        }
    }
    return kLinkOk;
}
