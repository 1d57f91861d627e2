#include "AllocFile.h"
#include "AllocLayout.h"
#include "FileAccess.h"
#include "RecordClasses.h"

#include <algorithm>
#include <cstring>

namespace hdr = layout::header;
namespace al = layout::alloc;

CTag041::CTag041(const wchar_t* base, const wchar_t* extension) : CTag(base, extension) {
    InitNewFileHeader(al::kRecordSize, al::kTypeGroup, al::kTypeSubcode, L".041");
}

int CTag041::SaveAs(const wchar_t* path, int lengthMode, int force) {
    // A name that already has an extension is kept; an overlong one is
    // passed on whole so that the write refuses it with its message.
    const std::wstring name = ComposeTrainFileName(path ? path : L"", L".041");
    return CTag::SaveAs(name.c_str(), lengthMode, force);
}

int CTag041::Save(int lengthMode, int force) { return SaveAs(m_szFileName.c_str(), lengthMode, force); }

int CTag041::AppendAllocation(std::span<const uint8_t> record) {
    if (!Grow(1)) return 0;
    const int last = GetCount() - 1;
    if (!Seek(last)) return 0;
    std::span<uint8_t> entry = GetCurrent();
    const size_t n = std::min(entry.size(), record.size());
    std::copy_n(record.begin(), n, entry.begin());
    return 1;
}

int CTag041::GetFirstAxle() const { return static_cast<int>(GetField(al::kFirstAxle)); }
int CTag041::GetLastAxle() const { return static_cast<int>(GetField(al::kLastAxle)); }
int64_t CTag041::GetStartTime() const { return RawToMs(GetField(al::kStartTime)); }
int64_t CTag041::GetEndTime() const { return RawToMs(GetField(al::kEndTime)); }
uint8_t CTag041::GetEgc() const { return static_cast<uint8_t>(GetField(al::kEgc)); }
uint8_t CTag041::GetSequence() const { return static_cast<uint8_t>(GetField(al::kSequence)); }
uint8_t CTag041::GetPart() const { return static_cast<uint8_t>(GetField(al::kPart)); }
uint8_t CTag041::GetSpeedByte() const { return static_cast<uint8_t>(GetField(al::kSpeed)); }

int CTag041::KeyAt(int i) const {
    // Records shorter than 24 bytes have no high key byte.
    const uint32_t high = GetEntryLength() >= al::kRecordSize ? GetFieldAt(i, al::kKeyHigh) : 0;
    return static_cast<int>(high * 256 + GetFieldAt(i, al::kSequence));
}

CTag041::Vehicle CTag041::DescribeVehicle() const {
    Vehicle v;
    int i = GetIndex();
    const int n = EntriesPresent();
    if (i < 0 || i >= n) return v;
    const RecordRange r = AllocVehicleRecords(
        i, n, [this](int k) { return GetFieldAt(k, al::kPart); }, [this](int k) { return KeyAt(k); });
    v.first = static_cast<int>(GetFieldAt(r.begin, al::kFirstAxle));
    v.start = RawToMs(GetFieldAt(r.begin, al::kStartTime));
    v.last = static_cast<int>(GetFieldAt(r.end - 1, al::kLastAxle));
    v.end = RawToMs(GetFieldAt(r.end - 1, al::kEndTime));
    v.records = r.end - r.begin;
    return v;
}

int CTag041::NextVehicle() {
    const int start = GetIndex();
    const int n = EntriesPresent();
    if (start < 0 || start >= n) return 0;
    const int key = KeyAt(start);
    for (int i = start + 1; i < n; ++i)
        if (KeyAt(i) != key) return Seek(i);
    return 0;
}

int CTag041::VehicleFirstAxle() const { return DescribeVehicle().first; }
int CTag041::VehicleLastAxle() const { return DescribeVehicle().last; }

int CTag041::VehicleAxleCount() const {
    const Vehicle v = DescribeVehicle();
    return v.last - v.first + 1;
}

int64_t CTag041::VehicleStartTime() const { return DescribeVehicle().start; }
int64_t CTag041::VehicleEndTime() const { return DescribeVehicle().end; }
int CTag041::VehicleRecordCount() const { return DescribeVehicle().records; }

int CTag041::PrevPart() {
    if (GetIndex() < 0 || GetIndex() >= EntriesPresent()) return 0;
    const uint8_t part = GetPart();
    if (part == 0 || part == al::kPartWhole) return 0;
    return Prev();
}

int CTag041::NextPart() {
    if (GetIndex() < 0 || GetIndex() >= EntriesPresent()) return 0;
    const uint8_t part = GetPart();
    if (part == al::kPartWhole || VehicleRecordCount() <= part + 1) return 0;
    return Next();
}

int CTag041::CountVehicles() const {
    const int n = EntriesPresent();
    if (n <= 0) return 0;
    int count = 1;
    for (int i = 1; i < n; ++i)
        if (KeyAt(i) != KeyAt(i - 1)) ++count;
    return count;
}

int CTag041::SeekVehicle(int n) {
    if (n < 0 || n >= CountVehicles()) return 0;
    if (!Seek(0)) return 0;
    for (int i = 0; i < n; ++i)
        if (!NextVehicle()) return 0;
    return 1;
}

unsigned CTag041::MsPerFoot(int first, int last) const {
    if (first < 0 || first > last || last >= EntriesPresent()) return static_cast<unsigned>(-1);
    uint32_t sum = 0;
    for (int i = first; i <= last; ++i) sum += (GetFieldAt(i, al::kSpeed) >> 1) * 8;
    return MsPerFootAtAverage(sum, static_cast<uint32_t>(last - first + 1));
}
