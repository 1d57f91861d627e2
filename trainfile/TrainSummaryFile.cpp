#include "TrainSummaryFile.h"

namespace sm = layout::summary;
namespace hdr = layout::header;

SummaryTime DecodeSummaryTime(uint32_t dateWord, uint32_t timeWord) {
    SummaryTime t;
    t.seconds = BcdToInt((timeWord >> 24) & 0xFF);
    t.minutes = BcdToInt(timeWord & 0xFF);
    t.hours = BcdToInt((timeWord >> 8) & 0xFF);
    t.day = BcdToInt((dateWord >> 16) & 0xFF);
    t.month = BcdToInt((dateWord >> 24) & 0xFF) - 1;
    t.year = BcdToInt(dateWord & 0xFFFF);
    return t;
}

uint32_t PackSummaryDate(const SummaryTime& t) {
    return IntToBcd(t.month + 1, 2) << 24 | IntToBcd(t.day, 2) << 16 | IntToBcd(t.year, 4);
}

uint32_t PackSummaryTime(const SummaryTime& t) {
    return IntToBcd(t.seconds, 2) << 24 | IntToBcd(t.hours, 2) << 8 | IntToBcd(t.minutes, 2);
}

CTrainSummaryFile::CTrainSummaryFile() {
    SetHeaderField(hdr::kTypeGroup, sm::kTypeGroup);
    SetHeaderField(hdr::kTypeSubcode, sm::kTypeSubcode);
    SetHeaderField(hdr::kRecordLength, sm::kRecordSize);
}

int CTrainSummaryFile::Load(const char* name) {
    const int ok = LoadWithExtension(name, ".034");
    DecodeTimes();
    return ok;
}

int CTrainSummaryFile::EnsureRecord() {
    if (GetCount() > 0) return 0;
    // Growing copies the old record area; give an empty one storage first so
    // that the copy never starts from a null address.
    if (m_Data.empty()) m_Data.reserve(GetRecordLength());
    if (!Grow(1)) return 0;
    DecodeTimes();
    return 1;
}

std::span<uint8_t> CTrainSummaryFile::Record() { return GetCount() > 0 ? Data() : std::span<uint8_t>(); }

uint32_t CTrainSummaryFile::Get(const layout::Field& f) const { return layout::Get(Data(), 0, f); }

bool CTrainSummaryFile::Set(const layout::Field& f, uint32_t v) { return layout::Set(Data(), 0, f, v); }

std::string CTrainSummaryFile::GetTrainId() const {
    return layout::GetText(Data(), sm::kTrainIdOffset, sm::kTrainIdLength);
}

void CTrainSummaryFile::SetTrainId(const std::string& id) {
    auto d = Data();
    if (d.size() < sm::kTrainIdOffset + sm::kTrainIdLength) return;
    for (size_t i = 0; i < sm::kTrainIdLength; ++i)
        d[sm::kTrainIdOffset + i] = i + 1 < sm::kTrainIdLength && i < id.size() ? static_cast<uint8_t>(id[i]) : 0;
}

void CTrainSummaryFile::DecodeTimes() {
    m_First = DecodeSummaryTime(Get(sm::kFirstDate), Get(sm::kFirstTime));
    m_Last = DecodeSummaryTime(Get(sm::kLastDate), Get(sm::kLastTime));
}

std::string CTrainSummaryFile::FormatFirstDate() const { return FormatBcdDate(Get(sm::kFirstDate)); }
std::string CTrainSummaryFile::FormatFirstTime() const { return FormatBcdTime(Get(sm::kFirstTime)); }
std::string CTrainSummaryFile::FormatLastDate() const { return FormatBcdDate(Get(sm::kLastDate)); }
std::string CTrainSummaryFile::FormatLastTime() const { return FormatBcdTime(Get(sm::kLastTime)); }
