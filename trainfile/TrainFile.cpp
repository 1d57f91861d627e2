#include "TrainFile.h"

#include "Platform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>

namespace hdr = layout::header;

std::string AddExtension(const std::string& name, const char* ext) {
    if (name.find('.') != std::string::npos) return name;
    return name + ext;
}

bool ReadWholeFile(const std::string& name, std::vector<uint8_t>& out) {
    if (name.empty() || name.size() >= kMaxTrainFileName) {
        out.clear();
        return false;
    }
    return plat::ReadWholeFile(name, out);
}

namespace {

// Runs a platform write under the name limit; a failure prints its message.
int CheckedWrite(bool (*write)(const std::string&, const void*, size_t), const std::string& name, const void* bytes,
                 size_t len) {
    if (name.size() >= kMaxTrainFileName) plat::SetLastError(plat::kErrNameTooLong);
    if (name.size() >= kMaxTrainFileName || !write(name, bytes, len)) {
        std::printf("Error %d creating file \"%s\"\n", static_cast<int>(plat::GetLastError()), name.c_str());
        return 0;
    }
    return 1;
}

}  // namespace

int WriteNewFile(const std::string& name, const void* bytes, size_t len) {
    return CheckedWrite(plat::WriteNewFile, name, bytes, len);
}

int AppendToFile(const std::string& name, const void* bytes, size_t len) {
    return CheckedWrite(plat::AppendToFile, name, bytes, len);
}

int FileExists(const std::string& name) { return plat::FileExists(name) ? 1 : 0; }

int WriteMarkerFile(const std::string& name) {
    const uint8_t space = 0x20;
    return WriteNewFile(name, &space, 1);
}

int BcdToInt(uint32_t v) {
    return int(v & 0xF) + int((v >> 4) & 0xF) * 10 + int((v >> 8) & 0xF) * 100 + int((v >> 12) & 0xF) * 1000;
}

uint32_t IntToBcd(int v, int digits) {
    uint32_t r = 0;
    for (int i = 0; i < digits; ++i) {
        r |= static_cast<uint32_t>(v % 10) << (4 * i);
        v /= 10;
    }
    return r;
}

namespace {
char Nib(uint32_t w, int n) { return static_cast<char>(((w >> (4 * n)) & 0xF) + '0'); }
}  // namespace

void FormatBcdDate(const uint32_t& w, char out[9]) {
    const char text[9] = {Nib(w, 7), Nib(w, 6), '-', Nib(w, 5), Nib(w, 4), '-', Nib(w, 1), Nib(w, 0), '\0'};
    std::memcpy(out, text, 9);
}

void FormatBcdTime(const uint32_t& w, char out[9]) {
    const char text[9] = {Nib(w, 3), Nib(w, 2), ':', Nib(w, 1), Nib(w, 0), ':', Nib(w, 7), Nib(w, 6), '\0'};
    std::memcpy(out, text, 9);
}

std::string FormatBcdDate(uint32_t word) {
    char buf[9];
    FormatBcdDate(word, buf);
    return buf;
}

std::string FormatBcdTime(uint32_t word) {
    char buf[9];
    FormatBcdTime(word, buf);
    return buf;
}

int64_t TruncToInt64(long double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.2233720368547758e18L) return std::numeric_limits<int64_t>::max();
    if (v <= -9.2233720368547758e18L) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

void SetDefaultHeader(std::span<uint8_t> header) {
    std::fill(header.begin(), header.end(), uint8_t{0});
    layout::Set(header, 0, hdr::kFormat, hdr::kDefaultFormat);
    layout::Set(header, 0, hdr::kTypeGroup, 3);
    layout::Set(header, 0, hdr::kFileLength, 64);
    layout::Set(header, 0, hdr::kRecordLength, 64);
    layout::Set(header, 0, hdr::kScaleNumerator, 1);
}

void SetHeaderDateTime(std::span<uint8_t> header, int year, int month, int day, int hour, int minute, int second) {
    layout::Set(header, 0, hdr::kDay, IntToBcd(day, 2));
    layout::Set(header, 0, hdr::kMonth, IntToBcd(month, 2));
    layout::Set(header, 0, hdr::kYear, IntToBcd(year, 4));
    layout::Set(header, 0, hdr::kSeconds, IntToBcd(second, 2));
    layout::Set(header, 0, hdr::kMinutes, IntToBcd(minute, 2));
    layout::Set(header, 0, hdr::kHours, IntToBcd(hour, 2));
}

void StampLocalDateTime(std::span<uint8_t> header) {
    const plat::LocalTime now = plat::GetLocalTime();
    SetHeaderDateTime(header, now.year, now.month, now.day, now.hour, now.minute, now.second);
}

float TimeScaleOf(uint32_t numerator, uint16_t exponent) {
    return static_cast<float>(static_cast<double>(numerator) / std::pow(10.0, exponent));
}

float HeaderTimeScale(std::span<const uint8_t> header) {
    return TimeScaleOf(layout::Get(header, 0, hdr::kScaleNumerator),
                       static_cast<uint16_t>(layout::Get(header, 0, hdr::kScaleExponent)));
}

int64_t ScaleRawToMs(uint32_t raw, float timeScale) {
    return TruncToInt64(static_cast<long double>(raw) * static_cast<long double>(timeScale));
}

uint32_t ScaleMsToRaw(uint32_t ms, float timeScale) {
    return TruncToU32(static_cast<long double>(ms) / static_cast<long double>(timeScale));
}

CTrainFile::CTrainFile() { SetDefaultHeader(m_Header); }

void CTrainFile::Clear() {
    NoteDataEdit();
    SetRecordCount(0);
    m_nCurrent = 0;
    m_Data.clear();
    m_bLoaded = false;
}

int CTrainFile::Load(const char* name) {
    NoteDataEdit();
    std::string n = name ? name : "";
    m_szFileName = n;
    std::vector<uint8_t> bytes;
    if (!::ReadWholeFile(n, bytes)) {
        Clear();
        return 0;
    }
    // A file shorter than the header keeps what it has of one, zero-filled.
    std::memset(m_Header, 0, sizeof m_Header);
    std::memcpy(m_Header, bytes.data(), std::min(bytes.size(), sizeof m_Header));
    if (bytes.size() > sizeof m_Header)
        m_Data.assign(bytes.begin() + sizeof m_Header, bytes.end());
    else
        m_Data.clear();
    m_bLoaded = true;
    m_nCurrent = 0;
    m_fTimeScale = HeaderTimeScale(m_Header);
    return 1;
}

int CTrainFile::LoadWithExtension(const char* name, const char* ext) {
    std::string full = AddExtension(name ? name : "", ext);
    if (full.size() >= kMaxTrainFileName) {
        m_szFileName = full;
        Clear();
        return 0;
    }
    return CTrainFile::Load(full.c_str());
}

int CTrainFile::SaveAs(const char* name) {
    if (!m_bLoaded) return 0;
    SetHeaderField(hdr::kFileLength, static_cast<uint32_t>(64 + m_Data.size()));
    std::vector<uint8_t> image(m_Header, m_Header + sizeof m_Header);
    image.insert(image.end(), m_Data.begin(), m_Data.end());
    // One write of the whole image: the old file stays intact if it fails.
    return ::WriteNewFile(name ? name : "", image.data(), image.size());
}

int CTrainFile::SaveWithExtension(const char* name, const char* ext) {
    std::string full = AddExtension(name ? name : "", ext);
    return CTrainFile::SaveAs(full.c_str());
}

int CTrainFile::Save() { return CTrainFile::SaveAs(m_szFileName.c_str()); }

unsigned CTrainFile::GetRecordLength() const { return GetHeaderField(hdr::kRecordLength); }

int CTrainFile::GetStoredCount() const { return static_cast<int>(GetHeaderField(hdr::kRecordCount)); }

int CTrainFile::GetCount() const {
    int stored = GetStoredCount();
    unsigned len = GetRecordLength();
    if (len == 0) return stored;
    size_t present = m_Data.size() / len;
    return static_cast<int>(std::min<size_t>(static_cast<size_t>(stored), present));
}

int CTrainFile::Seek(int i) {
    if (GetRecordLength() == 0 || !IsValid(i)) return 0;
    m_nCurrent = i;
    return 1;
}

int CTrainFile::Next() {
    if (m_nCurrent < GetCount() - 1) {
        ++m_nCurrent;
        return 1;
    }
    return 0;
}

int CTrainFile::Prev() {
    if (m_nCurrent > 0) {
        --m_nCurrent;
        return 1;
    }
    return 0;
}

int CTrainFile::Grow(unsigned n) {
    NoteDataEdit();
    const unsigned len = GetRecordLength();
    if (len == 0) return 0;
    if (static_cast<size_t>(GetCount()) + n > 0xFFFF) return 0;  // the header holds a 16-bit count
    const std::vector<uint8_t> zeros(size_t(len) * n, 0);
    return AppendRecords(zeros);
}

int CTrainFile::Insert(int i, const uint8_t* rec) {
    NoteDataEdit();
    if (i < 0 || i > GetCount() || !rec) return 0;
    if (!Grow(1)) return 0;
    unsigned len = GetRecordLength();
    size_t count = static_cast<size_t>(GetCount());
    std::memmove(m_Data.data() + (i + 1) * size_t(len), m_Data.data() + i * size_t(len),
                 (count - 1 - size_t(i)) * len);
    std::memcpy(m_Data.data() + i * size_t(len), rec, len);
    return 1;
}

int CTrainFile::Delete(int i) {
    NoteDataEdit();
    unsigned len = GetRecordLength();
    if (len == 0 || !IsValid(i)) return 0;
    size_t count = static_cast<size_t>(GetCount());
    std::memmove(m_Data.data() + i * size_t(len), m_Data.data() + (i + 1) * size_t(len),
                 (count - 1 - size_t(i)) * len);
    m_Data.resize((count - 1) * len);
    SetRecordCount(static_cast<unsigned>(count - 1));
    m_nCurrent = 0;
    return 1;
}

int CTrainFile::Swap(int a, int b) {
    NoteDataEdit();
    if (a == b) return 1;
    unsigned len = GetRecordLength();
    if (len == 0 || !IsValid(a) || !IsValid(b)) return 0;
    std::swap_ranges(m_Data.begin() + a * size_t(len), m_Data.begin() + (a + 1) * size_t(len),
                     m_Data.begin() + b * size_t(len));
    return 1;
}

int CTrainFile::AppendEntry(const uint8_t* bytes, unsigned len) {
    NoteDataEdit();
    if (GetRecordLength() != 0 || (!bytes && len)) return 0;
    if (GetStoredCount() >= 0xFFFF) return 0;  // the header holds a 16-bit count
    m_Data.insert(m_Data.end(), bytes, bytes + len);
    m_bLoaded = true;
    SetRecordCount(static_cast<unsigned>(GetStoredCount() + 1));
    SetHeaderField(hdr::kFileLength, static_cast<uint32_t>(m_Data.size() + 64));
    return 1;
}

int CTrainFile::AppendRecords(std::span<const uint8_t> records) {
    NoteDataEdit();
    const unsigned len = GetRecordLength();
    if (len == 0 || records.size() % len != 0) return 0;
    const size_t count = static_cast<size_t>(GetCount());
    const size_t added = records.size() / len;
    if (count + added > 0xFFFF) return 0;  // the header holds a 16-bit count
    // Bytes beyond the counted records (a lying file) are dropped, as Grow does.
    // The records go on the end of the buffer in place, so a file grown one
    // record at a time costs amortised linear time rather than a copy of the
    // whole file per record.
    // std::less orders any two pointers, also those into different buffers.
    const std::less<const uint8_t*> before;
    const uint8_t* const begin = m_Data.data();
    if (!records.empty() && !before(records.data(), begin) && before(records.data(), begin + m_Data.size())) {
        const std::vector<uint8_t> copy(records.begin(), records.end());  // records from this very file
        return AppendRecords(copy);
    }
    m_Data.resize(count * len);
    m_Data.insert(m_Data.end(), records.begin(), records.end());
    m_bLoaded = true;
    SetRecordCount(static_cast<unsigned>(count + added));
    SetHeaderField(hdr::kFileLength, static_cast<uint32_t>(m_Data.size() + 64));
    if (count + added > 0) m_nCurrent = static_cast<int>(count + added - 1);
    return 1;
}

std::span<const uint8_t> CTrainFile::RecordBytes() const {
    const unsigned len = GetRecordLength();
    if (len == 0) return {};
    return std::span<const uint8_t>(m_Data).first(static_cast<size_t>(GetCount()) * len);
}

void CTrainFile::SetData(std::vector<uint8_t> data) {
    NoteDataEdit();
    m_Data = std::move(data);
    m_bLoaded = true;
}

uint32_t CTrainFile::GetHeaderField(const layout::Field& f) const { return layout::Get(m_Header, 0, f); }

void CTrainFile::SetHeaderField(const layout::Field& f, uint32_t v) { layout::Set(m_Header, 0, f, v); }

size_t CTrainFile::CurrentOffset() const {
    return static_cast<size_t>(m_nCurrent < 0 ? 0 : m_nCurrent) * GetRecordLength();
}

uint32_t CTrainFile::GetField(const layout::Field& f) const { return layout::Get(m_Data, CurrentOffset(), f); }

bool CTrainFile::SetField(const layout::Field& f, uint32_t v) {
    NoteDataEdit();
    return layout::Set(m_Data, CurrentOffset(), f, v);
}

uint32_t CTrainFile::GetFieldAt(int i, const layout::Field& f) const {
    if (!IsValid(i)) return 0;
    return layout::Get(m_Data, static_cast<size_t>(i) * GetRecordLength(), f);
}

bool CTrainFile::SetFieldAt(int i, const layout::Field& f, uint32_t v) {
    NoteDataEdit();
    if (!IsValid(i)) return false;
    return layout::Set(m_Data, static_cast<size_t>(i) * GetRecordLength(), f, v);
}

int CTrainFile::RawToMs(uint32_t raw) const {
    // The low 32 bits of the truncated product, as the recorder's arithmetic keeps them.
    return static_cast<int32_t>(static_cast<uint32_t>(ScaleRawToMs(raw, m_fTimeScale)));
}

uint32_t CTrainFile::MsToRaw(uint32_t ms) const { return ScaleMsToRaw(ms, m_fTimeScale); }
