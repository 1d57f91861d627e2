#include "AllocFile.h"

#include <algorithm>
#include <cstring>

namespace al = layout::alloc;
namespace hdr = layout::header;

int HasArticulatedPattern(CAxleFile& axles) {
    const int count = axles.GetCount();
    if (count < 16) return 0;
    const int saved = axles.GetIndex();
    int result = 1;
    for (int i = 4; i < count - 6; ++i) {
        axles.Seek(i);
        const bool fastA = axles.GetSpeed() > 10.0f;
        axles.Seek(i + 1);
        const bool fastB = axles.GetSpeed() > 10.0f;
        if (!fastA || !fastB) continue;
        const float feet = axles.DistanceFeet(i, i + 1);
        // Even i: two axles of one truck; odd i: the gap between trucks.
        if ((i % 2 == 0) ? !(feet < 11.0f) : !(feet >= 40.0f)) {
            result = 0;
            break;
        }
    }
    axles.Seek(saved);
    return result;
}

CAllocFile::CAllocFile(uint16_t recordLength) {
    SetHeaderField(hdr::kTypeGroup, al::kTypeGroup);
    SetHeaderField(hdr::kTypeSubcode, al::kTypeSubcode);
    SetHeaderField(hdr::kRecordLength, recordLength);
}

int CAllocFile::Load(const char* name) {
    m_Vehicle = VehicleCache{};
    const int ok = LoadWithExtension(name, ".041");
    if (ok) Seek(0);
    return ok;
}

int CAllocFile::SaveAs(const char* name) { return SaveWithExtension(name, ".041"); }

uint32_t CAllocFile::FieldAt(int i, const layout::Field& f) const { return View().Field(i, f); }

bool CAllocFile::SetFieldAtChecked(int i, const layout::Field& f, uint32_t v) {
    if (f.End() > GetRecordLength()) return false;
    return SetFieldAt(i, f, v);
}

int CAllocFile::KeyAt(int i) const { return View().Key(i); }

int CAllocFile::AppendAllocation(const uint8_t* record) {
    if (!record) return 0;
    // Growing copies the old record area; give an empty one storage first so
    // that the copy never starts from a null address.
    if (m_Data.empty()) m_Data.reserve(GetRecordLength());
    if (!Grow(1)) return 0;
    const size_t len = std::min<size_t>(GetRecordLength(), al::kRecordSize);
    std::memcpy(m_Data.data() + CurrentOffset(), record, len);
    NoteDataEdit();
    m_Vehicle = VehicleCache{};
    return 1;
}

void CAllocFile::Empty() {
    NoteDataEdit();
    m_Data.clear();
    m_bLoaded = true;
    m_nCurrent = 0;
    m_Vehicle = VehicleCache{};
    SetRecordCount(0);
    SetHeaderField(hdr::kRecordLength, al::kRecordSize);
    SetHeaderField(hdr::kFileLength, 64);
    SetHeaderField(hdr::kScaleNumerator, 1);
    SetHeaderField(hdr::kScaleExponent, 0);
    m_fTimeScale = 1.0f;
}

int CAllocFile::AppendAllocations(std::span<const uint8_t> records) {
    const unsigned len = GetRecordLength();
    if (len == 0) return 0;
    const size_t n = records.size() / al::kRecordSize;
    if (n == 0) return 1;
    int appended = 0;
    if (len == al::kRecordSize) {
        appended = AppendRecords(records.first(n * al::kRecordSize));
    } else {
        // Records of another length keep their first len bytes, or are
        // padded with zeros up to it.
        std::vector<uint8_t> sized(n * len, 0);
        const size_t copy = std::min<size_t>(len, al::kRecordSize);
        for (size_t i = 0; i < n; ++i)
            std::copy_n(records.data() + i * al::kRecordSize, copy, sized.data() + i * len);
        appended = AppendRecords(sized);
    }
    if (appended) m_Vehicle = VehicleCache{};
    return appended;
}

int CAllocFile::GetFirstAxle() const { return static_cast<int>(FieldAt(GetIndex(), al::kFirstAxle)); }
int CAllocFile::GetLastAxle() const { return static_cast<int>(FieldAt(GetIndex(), al::kLastAxle)); }
void CAllocFile::SetFirstAxle(uint16_t axle) { SetFieldAtChecked(GetIndex(), al::kFirstAxle, axle); }
void CAllocFile::SetLastAxle(uint16_t axle) { SetFieldAtChecked(GetIndex(), al::kLastAxle, axle); }
uint32_t CAllocFile::GetRawStartTime() const { return FieldAt(GetIndex(), al::kStartTime); }
uint32_t CAllocFile::GetRawEndTime() const { return FieldAt(GetIndex(), al::kEndTime); }
void CAllocFile::SetRawStartTime(uint32_t raw) { SetFieldAtChecked(GetIndex(), al::kStartTime, raw); }
void CAllocFile::SetRawEndTime(uint32_t raw) { SetFieldAtChecked(GetIndex(), al::kEndTime, raw); }
int CAllocFile::GetStartTime() const { return RawToMs(GetRawStartTime()); }
int CAllocFile::GetEndTime() const { return RawToMs(GetRawEndTime()); }
uint8_t CAllocFile::GetEgc() const { return static_cast<uint8_t>(FieldAt(GetIndex(), al::kEgc)); }
void CAllocFile::SetEgc(uint8_t egc) { SetFieldAtChecked(GetIndex(), al::kEgc, egc); }
uint8_t CAllocFile::GetSequence() const { return static_cast<uint8_t>(FieldAt(GetIndex(), al::kSequence)); }
uint8_t CAllocFile::GetPart() const { return static_cast<uint8_t>(FieldAt(GetIndex(), al::kPart)); }
uint8_t CAllocFile::GetSpeedByte() const { return static_cast<uint8_t>(FieldAt(GetIndex(), al::kSpeed)); }

void CAllocFile::SetPart(uint8_t part) { SetFieldAtChecked(GetIndex(), al::kPart, part); }
void CAllocFile::SetSpeedByte(uint8_t speed) { SetFieldAtChecked(GetIndex(), al::kSpeed, speed); }
void CAllocFile::SetKey(int key) {
    SetFieldAtChecked(GetIndex(), al::kSequence, static_cast<uint32_t>(key) & 0xFF);
    SetFieldAtChecked(GetIndex(), al::kKeyHigh, (static_cast<uint32_t>(key) >> 8) & 0xFF);
}

int CAllocFile::NextVehicle() {
    const int start = GetIndex();
    if (!IsValid(start)) return 0;
    const RecordView v = View();
    const int key = v.Key(start);
    const int n = GetCount();
    for (int i = start + 1; i < n; ++i) {
        if (v.Key(i) != key) {
            Seek(i);
            DescribeVehicle();
            return 1;
        }
    }
    return 0;
}

// Describes the vehicle of the current record: back to the record that
// starts it (part 0 or 255), then forward over the records with its key.
// The description is kept for the record it was made for until the records
// change (a cache kept by key alone would answer for an earlier vehicle whose
// sequence number wrapped to the same key, or for records edited since).
void CAllocFile::DescribeVehicle() {
    VehicleCache c;
    int i = GetIndex();
    if (m_Vehicle.index == i && m_Vehicle.edits == DataEdits() && m_Vehicle.count == GetCount() &&
        m_Vehicle.recordLength == GetRecordLength())
        return;
    c.index = i;
    c.edits = DataEdits();
    c.count = GetCount();
    c.recordLength = GetRecordLength();
    if (IsValid(i)) {
        const RecordView v = View();
        c.key = v.Key(i);
        const RecordRange r = VehicleRecords(i);
        c.firstAxle = static_cast<int>(v.Field(r.begin, al::kFirstAxle));
        c.startTime = RawToMs(v.Field(r.begin, al::kStartTime));
        c.lastAxle = static_cast<int>(v.Field(r.end - 1, al::kLastAxle));
        c.endTime = RawToMs(v.Field(r.end - 1, al::kEndTime));
        c.records = r.end - r.begin;
    }
    m_Vehicle = c;
}

namespace {
// Records a walk takes one by one before it turns to the walk index.
constexpr int kShortWalk = 8;

bool StartsVehicle(uint32_t part) { return part == 0 || part == al::kPartWhole; }
}  // namespace

bool CAllocFile::WalksCurrent() const {
    return m_Walks.built && m_Walks.edits == DataEdits() && m_Walks.count == GetCount() &&
           m_Walks.recordLength == GetRecordLength();
}

const CAllocFile::WalkIndex& CAllocFile::Walks() {
    if (WalksCurrent()) return m_Walks;
    const int n = GetCount();
    const RecordView v = View();
    WalkIndex w;
    w.built = true;
    w.edits = DataEdits();
    w.count = n;
    w.recordLength = GetRecordLength();
    w.start.resize(static_cast<size_t>(std::max(n, 0)));
    w.runEnd.resize(w.start.size());
    for (int k = 0; k < n; ++k)
        w.start[k] = k == 0 || StartsVehicle(v.Field(k, al::kPart)) ? k : w.start[k - 1];
    int nextKey = 0;
    for (int k = n - 1; k >= 0; --k) {
        const int key = v.Key(k);
        w.runEnd[k] = k + 1 < n && nextKey == key ? w.runEnd[k + 1] : k + 1;
        nextKey = key;
    }
    m_Walks = std::move(w);
    return m_Walks;
}

RecordRange CAllocFile::VehicleRecords(int i) {
    const int n = GetCount();
    const RecordView v = View();
    const int key = v.Key(i);
    // Once the index is built for the records as they are, it answers every
    // walk at once.
    if (WalksCurrent() && i >= 0 && i < n) {
        RecordRange r{m_Walks.start[static_cast<size_t>(i)], 0};
        r.end = r.begin + 1;
        if (r.end < n && v.Key(r.end) == key) r.end = m_Walks.runEnd[static_cast<size_t>(r.end)];
        return r;
    }
    RecordRange r{i, i + 1};
    int steps = 0;
    while (r.begin > 0 && !StartsVehicle(v.Field(r.begin, al::kPart))) {
        --r.begin;
        if (++steps == kShortWalk) {
            r.begin = Walks().start[r.begin];
            break;
        }
    }
    r.end = r.begin + 1;
    steps = 0;
    while (r.end < n && v.Key(r.end) == key) {
        if (++steps == kShortWalk) {
            r.end = Walks().runEnd[r.end];
            break;
        }
        ++r.end;
    }
    return r;
}

int CAllocFile::VehicleFirstAxle() {
    DescribeVehicle();
    return m_Vehicle.firstAxle;
}

int CAllocFile::VehicleLastAxle() {
    DescribeVehicle();
    return m_Vehicle.lastAxle;
}

int CAllocFile::VehicleAxleCount() {
    DescribeVehicle();
    return m_Vehicle.lastAxle - m_Vehicle.firstAxle + 1;
}

int CAllocFile::VehicleStartTime() {
    DescribeVehicle();
    return m_Vehicle.startTime;
}

int CAllocFile::VehicleEndTime() {
    DescribeVehicle();
    return m_Vehicle.endTime;
}

int CAllocFile::VehicleRecordCount() {
    DescribeVehicle();
    return m_Vehicle.records;
}

int CAllocFile::PrevPart() {
    if (!IsValid(GetIndex())) return 0;
    const uint8_t part = GetPart();
    if (part == 0 || part == al::kPartWhole) return 0;
    return Prev();
}

int CAllocFile::NextPart() {
    if (!IsValid(GetIndex())) return 0;
    const uint8_t part = GetPart();
    if (part == al::kPartWhole || VehicleRecordCount() <= part + 1) return 0;
    return Next();
}

int CAllocFile::CountVehicles() {
    if (GetCount() <= 0) return 0;
    const int saved = m_nCurrent;
    Seek(0);
    int count = 1;
    while (NextVehicle()) ++count;
    m_nCurrent = saved;
    return count;
}

int CAllocFile::SeekVehicle(int n) {
    if (n < 0 || n >= CountVehicles()) return 0;
    Seek(0);
    for (int i = 0; i < n; ++i) NextVehicle();
    DescribeVehicle();
    return 1;
}

unsigned CAllocFile::MsPerFoot(int first, int last) const {
    if (!IsValid(first) || !IsValid(last) || first > last) return static_cast<unsigned>(-1);
    uint32_t sum = 0;
    for (int i = first; i <= last; ++i) sum += (FieldAt(i, al::kSpeed) >> 1) * 8;
    return MsPerFootAtAverage(sum, static_cast<uint32_t>(last - first + 1));
}

bool CAllocFile::MakeVehicle(CAxleFile& axles, int& next, int k, uint8_t egc, uint8_t seq) {
    const int b = next;
    const int last = b + k - 1;
    if (!axles.IsValid(b) || !axles.IsValid(last)) {
        axles.Seek(b);
        return false;
    }
    uint8_t rec[al::kRecordSize] = {};
    axles.Seek(last);
    const uint32_t endTime = static_cast<uint32_t>(axles.GetTime());
    const uint32_t speed = axles.GetField(layout::axle::kSpeedWhole);
    axles.Seek(b);
    const uint32_t startTime = static_cast<uint32_t>(axles.GetTime());
    layout::Set(rec, 0, al::kFirstAxle, static_cast<uint32_t>(b));
    layout::Set(rec, 0, al::kLastAxle, static_cast<uint32_t>(last));
    layout::Set(rec, 0, al::kStartTime, startTime);
    layout::Set(rec, 0, al::kEndTime, endTime);
    layout::Set(rec, 0, al::kEgc, egc);
    layout::Set(rec, 0, al::kSequence, seq);
    layout::Set(rec, 0, al::kPart, al::kPartWhole);
    layout::Set(rec, 0, al::kSpeed, speed);
    layout::Set(rec, 0, al::kKeyHigh, 0);
    if (!AppendAllocation(rec)) return false;
    next = b + k;
    axles.Seek(next);  // stays on the last axle when none follows
    return true;
}

int CAllocFile::BuildFromAxles(const char* base) {
    const std::string b = base ? base : "";
    CAxleFile axles;
    m_Build = BuildReport{};
    if (!axles.Load(b.c_str())) return 0;
    m_Build.axlesRead = true;
    m_szFileName = b + ".041";
    // Start from an empty allocation whose times are plain milliseconds.
    m_Data.clear();
    NoteDataEdit();
    m_bLoaded = true;
    m_nCurrent = 0;
    m_Vehicle = VehicleCache{};
    SetRecordCount(0);
    if (GetRecordLength() < al::kShortRecordSize) SetHeaderField(hdr::kRecordLength, al::kRecordSize);
    SetHeaderField(hdr::kScaleNumerator, 1);
    SetHeaderField(hdr::kScaleExponent, 0);
    m_fTimeScale = 1.0f;

    const int count = axles.GetCount();
    int next = 0;
    uint8_t seq = 0;
    bool ok = false;
    bool marker = true;
    if (HasArticulatedPattern(axles)) {
        m_Build.articulated = true;
        ok = MakeVehicle(axles, next, 4, al::kEgcLocomotive, seq++) &&
             MakeVehicle(axles, next, 3, al::kEgcRailcar, seq++);
        while (ok && next < count - 7) ok = MakeVehicle(axles, next, 2, al::kEgcRailcar, seq++);
        ok = ok && MakeVehicle(axles, next, 3, al::kEgcRailcar, seq++) &&
             MakeVehicle(axles, next, 4, al::kEgcLocomotive, seq++);
        if (ok) marker = WriteMarkerFile(b + ".0AP") != 0;
    } else {
        ok = MakeVehicle(axles, next, 4, al::kEgcLocomotive, seq++);
        while (ok && count - next >= 4 && MakeVehicle(axles, next, 4, al::kEgcRailcar, seq++)) {
        }
    }
    if (GetCount() > 0) Seek(0);
    if (!ok) return 0;
    m_Build.built = true;
    m_Build.marker = m_Build.articulated && marker;
    const int saved = Save();
    m_Build.saved = saved != 0;
    return saved && marker ? 1 : 0;
}

int CAllocFile::Reverse() {
    const int n = GetCount();
    if (n <= 0) return 0;
    // The mirror is the allocation's own span: its first start time plus its
    // last end time, and its last allocated axle.
    return ReverseAbout(FieldAt(0, al::kStartTime) + FieldAt(n - 1, al::kEndTime), FieldAt(n - 1, al::kLastAxle));
}

int CAllocFile::Reverse(CAxleFile& axles) {
    const int n = GetCount();
    const int axleCount = axles.GetCount();
    if (n <= 0 || axleCount <= 0) return 0;
    // Axles left unallocated at either end still belong to the train: the
    // mirror is the span of the axle file, its first and last axle and
    // times, so every vehicle lands where it was before the train was turned.
    const int saved = axles.GetIndex();
    const uint32_t mirror = MsToRaw(static_cast<uint32_t>(axles.GetTimeAt(0))) +
                            MsToRaw(static_cast<uint32_t>(axles.GetTimeAt(axleCount - 1)));
    axles.Seek(saved);
    return ReverseAbout(mirror, static_cast<uint32_t>(axleCount - 1));
}

int CAllocFile::ReverseAbout(uint32_t mirror, uint32_t lastAxle) {
    const int saved = GetIndex();
    const int n = GetCount();
    if (n <= 0) return 0;
    m_Vehicle = VehicleCache{};
    for (int i = 0; i < n / 2; ++i) Swap(i, n - 1 - i);
    const uint32_t seq = FieldAt(0, al::kSequence);
    for (int i = 0; i < n; ++i) {
        const uint32_t start = FieldAt(i, al::kStartTime);
        const uint32_t end = FieldAt(i, al::kEndTime);
        const uint32_t first = FieldAt(i, al::kFirstAxle);
        const uint32_t last = FieldAt(i, al::kLastAxle);
        SetFieldAtChecked(i, al::kStartTime, mirror - end);
        SetFieldAtChecked(i, al::kEndTime, mirror - start);
        SetFieldAtChecked(i, al::kFirstAxle, (lastAxle - last) & 0xFFFF);
        SetFieldAtChecked(i, al::kLastAxle, (lastAxle - first) & 0xFFFF);
        SetFieldAtChecked(i, al::kSequence, (seq - FieldAt(i, al::kSequence)) & 0xFF);
    }
    // The records of a vehicle of several parts now run last part first:
    // number them again in the new order.
    for (int i = 0; i < n;) {
        const int key = KeyAt(i);
        int part = 0;
        int j = i;
        for (; j < n && KeyAt(j) == key; ++j) {
            if (FieldAt(j, al::kPart) != al::kPartWhole) SetFieldAtChecked(j, al::kPart, static_cast<uint32_t>(part++));
        }
        i = j;
    }
    m_nCurrent = 0;
    return Seek(saved);
}
