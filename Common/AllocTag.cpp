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

namespace {

// Records a walk takes one by one before it turns to the walk index, so
// that well-formed files (vehicles of a few records) never build it.
constexpr int kShortWalk = 8;

bool StartsVehicle(uint32_t part) { return part == 0 || part == al::kPartWhole; }

}  // namespace

const CTag041::WalkIndex& CTag041::Walks() const {
    const int n = EntriesPresent();
    if (m_Walks.built && m_Walks.edits == DataEdits() && m_Walks.entries == n &&
        m_Walks.entryLength == GetEntryLength())
        return m_Walks;
    WalkIndex w;
    w.built = true;
    w.edits = DataEdits();
    w.entries = n;
    w.entryLength = GetEntryLength();
    const size_t count = static_cast<size_t>(std::max(n, 0));
    w.start.resize(count);
    w.runEnd.resize(count);
    std::vector<int> keys(count);
    for (size_t k = 0; k < count; ++k) {
        keys[k] = KeyAt(static_cast<int>(k));
        w.start[k] = k == 0 || StartsVehicle(GetFieldAt(static_cast<int>(k), al::kPart)) ? static_cast<int>(k)
                                                                                           : w.start[k - 1];
        if (k == 0 || keys[k] != keys[k - 1]) w.runStarts.push_back(static_cast<int>(k));
    }
    for (size_t k = count; k-- > 0;)
        w.runEnd[k] = k + 1 < count && keys[k + 1] == keys[k] ? w.runEnd[k + 1] : static_cast<int>(k + 1);
    m_Walks = std::move(w);
    return m_Walks;
}

// Back to the record that starts the vehicle (part 0 or 255), then forward
// over the records with record i's key, as the record-by-record walk goes;
// a walk that runs long finishes through the walk index.
CTag041::Records CTag041::VehicleRecords(int i, int n) const {
    const int key = KeyAt(i);
    Records r{i, i + 1};
    int steps = 0;
    while (r.begin > 0 && !StartsVehicle(GetFieldAt(r.begin, al::kPart))) {
        --r.begin;
        if (++steps == kShortWalk) {
            r.begin = Walks().start[static_cast<size_t>(r.begin)];
            break;
        }
    }
    r.end = r.begin + 1;
    steps = 0;
    while (r.end < n && KeyAt(r.end) == key) {
        if (++steps == kShortWalk) {
            r.end = Walks().runEnd[static_cast<size_t>(r.end)];
            break;
        }
        ++r.end;
    }
    return r;
}

CTag041::Vehicle CTag041::DescribeVehicle() const {
    Vehicle v;
    int i = GetIndex();
    const int n = EntriesPresent();
    if (i < 0 || i >= n) return v;
    const Records r = VehicleRecords(i, n);
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
    for (int i = start + 1, steps = 0; i < n; ++i) {
        if (KeyAt(i) != key) return Seek(i);
        if (++steps == kShortWalk) {
            const int next = Walks().runEnd[static_cast<size_t>(i)];
            return next < n ? Seek(next) : 0;
        }
    }
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
    if (EntriesPresent() <= 0) return 0;
    return static_cast<int>(Walks().runStarts.size());
}

int CTag041::SeekVehicle(int n) {
    if (n < 0 || n >= CountVehicles()) return 0;
    // The first record of the n-th run of one key, where n steps to the
    // next vehicle from record 0 end.
    return Seek(Walks().runStarts[static_cast<size_t>(n)]);
}

unsigned CTag041::MsPerFoot(int first, int last) const {
    if (first < 0 || first > last || last >= EntriesPresent()) return static_cast<unsigned>(-1);
    uint32_t sum = 0;
    for (int i = first; i <= last; ++i) sum += (GetFieldAt(i, al::kSpeed) >> 1) * 8;
    return MsPerFootAtAverage(sum, static_cast<uint32_t>(last - first + 1));
}
