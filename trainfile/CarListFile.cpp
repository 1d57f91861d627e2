#include "CarListFile.h"

#include "ConsistFile.h"
#include "TextAppend.h"

#include <cstring>
#include <string>
#include <vector>

namespace cl = layout::carlist;
namespace cs = layout::consist;
namespace hdr = layout::header;

CCarListFile::CCarListFile() {
    SetHeaderField(hdr::kTypeGroup, cl::kTypeGroup);
    SetHeaderField(hdr::kTypeSubcode, cl::kTypeSubcode);
    SetHeaderField(hdr::kRecordLength, cl::kRecordSize);
}

int CCarListFile::Load(const char* name) {
    const int ok = LoadWithExtension(name, ".036");
    Count();
    return ok;
}

void CCarListFile::Count() {
    m_Counters = CarListCounters{};
    if (!Seek(0)) return;
    do {
        CountCarListVehicle(m_Counters, *this);
    } while (NextCar());
    Seek(0);
}

std::string CCarListFile::TextAt(int i, size_t offset, size_t length) const {
    if (!IsValid(i) || offset + length > GetRecordLength()) return std::string();
    return layout::GetText(Data(), static_cast<size_t>(i) * GetRecordLength() + offset, length);
}

std::string CCarListFile::GetInitials() const { return TextAt(GetIndex(), cl::kInitialsOffset, cl::kInitialsLength); }

std::string CCarListFile::GetCarNumber() const { return TextAt(GetIndex(), cl::kCarNumberOffset, cl::kCarNumberLength); }

int CCarListFile::NextCar() {
    const int start = GetIndex();
    if (!IsValid(start)) return 0;
    const uint32_t number = GetFieldAt(start, cl::kVehicleNumber);
    for (int i = start + 1; i < GetCount(); ++i)
        if (GetFieldAt(i, cl::kVehicleNumber) != number) return Seek(i);
    return 0;
}

int CCarListFile::PrevCar() {
    const int start = GetIndex();
    if (!IsValid(start)) return 0;
    const uint32_t number = GetFieldAt(start, cl::kVehicleNumber);
    int i = start - 1;
    while (i >= 0 && GetFieldAt(i, cl::kVehicleNumber) == number) --i;
    if (i < 0) return 0;
    const uint32_t previous = GetFieldAt(i, cl::kVehicleNumber);
    while (i > 0 && GetFieldAt(i - 1, cl::kVehicleNumber) == previous) --i;
    return Seek(i);
}

int CCarListFile::FindCarOfAxle(int a) {
    for (int i = 0; i < GetCount(); ++i) {
        const uint32_t number = GetFieldAt(i, cl::kVehicleNumber);
        if (i > 0 && GetFieldAt(i - 1, cl::kVehicleNumber) == number) continue;  // not a vehicle's first record
        const int first = static_cast<int>(GetFieldAt(i, cl::kFirstAxle));
        const int count = static_cast<int>(GetFieldAt(i, cl::kAxleCount));
        if (a >= first && a <= first + count - 1) return Seek(i);
    }
    return 0;
}

int CCarListFile::Reverse() {
    const int n = GetCount();
    if (n <= 0) return 0;
    const uint32_t lastWord = GetFieldAt(n - 1, cl::kWord0);
    for (int i = 0; i < n / 2; ++i) Swap(i, n - 1 - i);
    uint32_t axles = 0;
    for (int i = 0; i < n; ++i) {
        SetFieldAt(i, cl::kWord0, GetFieldAt(i, cl::kWord0) - lastWord);
        SetFieldAt(i, cl::kFirstAxle, axles & 0xFFFF);
        axles += GetFieldAt(i, cl::kAxleCount);
        SetFieldAt(i, cl::kOrientation, ~GetFieldAt(i, cl::kOrientation) & 1);
    }
    return Seek(0);
}

// One line per car, "%03d %03d %02d %5s %8s": its place, EGC, axle count,
// initials and number. The lines are formatted into a buffer written in
// large pieces: a train's list runs to thousands of lines.
void CCarListFile::Print(std::FILE* out) const {
    std::string buf;
    buf.reserve(1 << 16);
    for (int i = 0; i < GetCount(); ++i) {
        const bool noTag = GetFieldAt(i, cl::kReadStatus) == cs::kStatusNoTag;
        const std::string initials = noTag ? "" : TextAt(i, cl::kInitialsOffset, cl::kInitialsLength);
        const std::string number = noTag ? "0" : TextAt(i, cl::kCarNumberOffset, cl::kCarNumberLength);
        AppendZeroPadded(buf, static_cast<unsigned>(i + 1), 3);
        buf.push_back(' ');
        AppendZeroPadded(buf, GetFieldAt(i, cl::kEgc), 3);  // one-byte fields: never negative
        buf.push_back(' ');
        AppendZeroPadded(buf, GetFieldAt(i, cl::kAxleCount), 2);
        buf.push_back(' ');
        AppendRight(buf, initials, 5);
        buf.push_back(' ');
        AppendRight(buf, number, 8);
        buf.push_back('\n');
        if (buf.size() >= (1 << 16) - 64) {
            std::fwrite(buf.data(), 1, buf.size(), out);
            buf.clear();
        }
    }
    if (!buf.empty()) std::fwrite(buf.data(), 1, buf.size(), out);
}

int CCarListFile::BuildFromConsist(const char* name, const TagReaderModes& modes, uint16_t rejectMask) {
    CConsistFile consist;
    if (!consist.Load(name)) return 0;

    m_Data.clear();
    m_bLoaded = true;
    m_nCurrent = 0;
    SetRecordCount(0);
    SetHeaderField(hdr::kRecordLength, cl::kRecordSize);
    // The records are gathered first and put in place at once (each appended
    // at the end, as one insertion after another would leave them), so that a
    // consist of many vehicles costs no more than one pass.
    std::vector<uint8_t> area;
    size_t made = 0;

    const int hadEntries = consist.GetCount() > 0 ? 1 : 0;
    int locomotives = 0;  // exception counts of the status letters
    int railcars = 0;
    int previous = -1;
    if (hadEntries) {
        consist.SeekEntry(0);
        do {
            std::span<uint8_t> entry = consist.Entry();
            std::optional<DecodedTag> tag;
            if (consist.GetField(cs::kTagCount) > 0) {
                tag = DecodeTag(TagBlockText(EntryTagBlock(entry, 0)));
                if (!tag) {
                    consist.SetField(cs::kTagCount, 0);
                    consist.SetField(cs::kReadStatus, cs::kStatusNoTag);
                } else if (consist.GetField(cs::kEgc) >= 33 && IsAcceptedEgc(tag->Egc())) {
                    consist.SetField(cs::kEgc, tag->Egc() & 0xFF);
                }
            }
            const int result = ClassifyEntry(entry, modes, previous, nullptr, 0);
            if (result != kClassTagged || (EntryCombinedFlags(entry) & rejectMask) != 0)
                consist.SetField(cs::kReadStatus, cs::kStatusNoTag);

            uint8_t rec[cl::kRecordSize] = {};
            layout::Set(rec, 0, cl::kWord0, consist.GetField(cs::kWord12));
            layout::Set(rec, 0, cl::kVehicleNumber, consist.GetField(cs::kVehicleNumber));
            layout::Set(rec, 0, cl::kFirstAxle, consist.GetField(cs::kFirstAxle));
            layout::Set(rec, 0, cl::kAxleCount, consist.GetField(cs::kAxleCount));
            layout::Set(rec, 0, cl::kEgc, consist.GetField(cs::kEgc));
            layout::Set(rec, 0, cl::kReadStatus, consist.GetField(cs::kReadStatus));
            layout::Set(rec, 0, cl::kVehicleLength, consist.GetField(cs::kVehicleLength));
            layout::Set(rec, 0, cl::kByte6, consist.GetField(cs::kByte6));
            char letter = 'K';
            if (result == kClassTagged) letter = TagStatusLetter(entry, locomotives, railcars, cl::kReportedFlags);
            layout::Set(rec, 0, cl::kStatusLetter, static_cast<uint8_t>(letter));
            if (result == kClassTagged && tag) {
                layout::Set(rec, 0, cl::kOrientation, consist.GetField(cs::kOrientation));
                const std::string owner = tag->Owner().substr(0, cl::kInitialsLength - 1);
                std::memcpy(rec + cl::kInitialsOffset, owner.data(), owner.size());
                char number[cl::kCarNumberLength + 8];
                std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(tag->CarNumber()));
                std::memcpy(rec + cl::kCarNumberOffset, number,
                            std::min(std::strlen(number), cl::kCarNumberLength - 1));
                layout::Set(rec, 0, cl::kTagByte44, tag->bytes[44]);
            }
            // Results 4 and 6 keep offsets 11, 12, 18 and 33 clear; other
            // results (an entry that is not a new vehicle) make no record.
            if (result == kClassTagged || result == kClassNewVehicle ||
                result == (kClassNewVehicle | kClassTagValid))
                if (made < 0xFFFF) {  // the header holds a 16-bit count
                    area.insert(area.end(), rec, rec + cl::kRecordSize);
                    ++made;
                }
            previous = static_cast<int>(consist.GetField(cs::kVehicleNumber));
        } while (consist.NextVehicle());
    }
    SetData(std::move(area));
    SetRecordCount(static_cast<unsigned>(made));
    SetHeaderField(hdr::kFileLength, static_cast<uint32_t>(64 + GetDataSize()));
    // The counters describe the records now held; the cursor ends on the
    // last record, where the last insertion at the end leaves it.
    Count();
    m_nCurrent = made > 0 ? static_cast<int>(made - 1) : 0;
    return hadEntries;
}
