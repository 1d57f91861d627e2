#include "CarListLayout.h"
#include "ConsistLayout.h"
#include "RecordClasses.h"
#include "SummaryLayout.h"
#include "TrainFile.h"
#include "TrainSummaryFile.h"

#include <iterator>

namespace hdr = layout::header;
namespace sm = layout::summary;
namespace sl = layout::summary;
namespace cl = layout::carlist;

namespace {

CTag034::SummaryTime DecodeStamp(uint32_t date, uint32_t time) {
    const ::SummaryTime t = DecodeSummaryTime(date, time);
    return {t.seconds, t.minutes, t.hours, t.day, t.month, t.year};
}

}  // namespace

// ---------------------------------------------------------------------------
// Train summary

CTag034::CTag034(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    InitNewFileHeader(sm::kRecordSize, sm::kTypeGroup, sm::kTypeSubcode, L".034");
}

void CTag034::OnOpened() {
    m_First = DecodeStamp(GetFieldAt(0, sm::kFirstDate), GetFieldAt(0, sm::kFirstTime));
    m_Last = DecodeStamp(GetFieldAt(0, sm::kLastDate), GetFieldAt(0, sm::kLastTime));
}

std::string CTag034::FormatSummaryLine() const {
    const std::span<const uint8_t> rec = GetEntry(0);
    if (rec.empty()) return std::string();
    const std::string id = layout::GetText(rec, sm::kTrainIdOffset, sm::kTrainIdLength);
    const std::string text30 = layout::GetText(rec, sl::kText30Offset, sl::kText30Length);
    int words[std::size(sl::kLineWords)];
    for (size_t i = 0; i < std::size(sl::kLineWords); ++i) words[i] = static_cast<int>(layout::Get(rec, 0, sl::kLineWords[i]));
    char line[512];
    std::snprintf(line, sizeof line,
                  "%s %s %s %s %s %-4s %08d %c %d %d %d %d %d %d %d %d %d %d %d %d %d\r\n",
                  FormatBcdDate(layout::Get(rec, 0, sm::kFirstDate)).c_str(),
                  FormatBcdTime(layout::Get(rec, 0, sm::kFirstTime)).c_str(),
                  FormatBcdDate(layout::Get(rec, 0, sm::kLastDate)).c_str(),
                  FormatBcdTime(layout::Get(rec, 0, sm::kLastTime)).c_str(), id.c_str(), text30.c_str(),
                  static_cast<int32_t>(layout::Get(rec, 0, sl::kNumber36)),
                  layout::Get(rec, 0, sm::kLastWheelB) != 0 ? '>' : '<',
                  static_cast<int16_t>(layout::Get(rec, 0, sl::kSigned86)), words[0], words[1], words[2], words[3],
                  words[4], words[5], words[6], words[7], words[8], words[9], words[10], words[11]);
    return line;
}

void CTag034::PrintSummaryLine(FILE* stream) const {
    const std::string line = FormatSummaryLine();
    if (stream) std::fwrite(line.data(), 1, line.size(), stream);
}

// ---------------------------------------------------------------------------
// Car list

CTag036::CTag036(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    InitNewFileHeader(cl::kRecordSize, cl::kTypeGroup, cl::kTypeSubcode, L".036");
}

void CTag036::OnOpened() { CountVehicles(); }

void CTag036::CountVehicles() {
    m_Counts = CarListCounts{};
    if (EntriesPresent() == 0) return;
    // The first record of each vehicle counts.
    SelectEntry(0, 0);
    do {
        CountCarListVehicle(m_Counts, *this);
    } while (NextCar());
    SelectEntry(0, 0);
}

int CTag036::NextCar() {
    const int start = GetIndex();
    const int n = EntriesPresent();
    if (start < 0 || start >= n) return 0;
    const uint32_t number = GetFieldAt(start, cl::kVehicleNumber);
    for (int i = start + 1; i < n; ++i)
        if (GetFieldAt(i, cl::kVehicleNumber) != number) return Seek(i);
    return 0;
}

std::string CTag036::GetInitials() const {
    return layout::GetText(GetCurrent(), cl::kInitialsOffset, cl::kInitialsLength);
}

std::string CTag036::GetCarNumber() const {
    return layout::GetText(GetCurrent(), cl::kCarNumberOffset, cl::kCarNumberLength);
}

std::string CTag036::FormatCarListing() const {
    // The axle column shows the record's axle count (offset 8) as it is.
    // Read as a last-axle index, less the first-axle index (offset 6) plus
    // one, it would give the count plus one for the first car and nonsense
    // for every car behind it.
    std::string out;
    for (int i = 0; i < EntriesPresent(); ++i) {
        const std::span<const uint8_t> rec = GetEntry(i);
        const bool noTag = layout::Get(rec, 0, cl::kReadStatus) == layout::consist::kStatusNoTag;
        const std::string initials = noTag ? "0" : layout::GetText(rec, cl::kInitialsOffset, cl::kInitialsLength);
        const std::string number = noTag ? "0" : layout::GetText(rec, cl::kCarNumberOffset, cl::kCarNumberLength);
        char line[64];
        std::snprintf(line, sizeof line, "%03d %03d %02d %5s %8s\n", i + 1,
                      static_cast<int>(layout::Get(rec, 0, cl::kEgc)),
                      static_cast<int>(layout::Get(rec, 0, cl::kAxleCount)), initials.c_str(), number.c_str());
        out += line;
    }
    return out;
}

void CTag036::PrintCarListing(FILE* stream) const {
    const std::string text = FormatCarListing();
    if (stream) std::fwrite(text.data(), 1, text.size(), stream);
}
