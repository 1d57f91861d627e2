// Wheel passage recognition: follows detectors A and B through the IO events,
// turns each complete passage into an axle record and keeps count of axles
// that back out over the detectors and come back.
#include "Edgemill.h"

#include "AxleLayout.h"
#include "HeaderLayout.h"
#include "WheelLayout.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

namespace ax = layout::axle;
namespace io = layout::io;
namespace hd = layout::header;

// The most records a 16-bit header count can describe.
constexpr size_t kMaxRecords = 0xFFFF;

enum Detector { kA = 0, kB = 1 };

// Whole part of a value as the recorder's 32-bit truncation stores it; values
// it cannot represent come out as the processor's "integer indefinite".
int32_t TruncI32(long double v) {
    if (!(v > -2147483649.0L && v < 2147483648.0L)) return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Speed bytes 0 and 1 of an axle record for a passage whose detectors went
// active at first and second (raw units taken as milliseconds).
void PassageSpeed(uint32_t abSpacing, uint32_t first, uint32_t second, bool dirBit, uint8_t& byte0, uint8_t& byte1) {
    // Tenths of an inch per millisecond to miles per hour, rounded to the
    // nearest eighth by adding 1/16.
    constexpr double kMilesPerTenthInch = layout::wheel::kTenthInchToMiles;
    constexpr double kHoursPerMs = layout::wheel::kMsToHours;
    const int32_t diff = static_cast<int32_t>(second - first);
    int32_t whole = 0, eighths = 0;
    // A passage that took no time, or whose second edge does not follow its
    // first (timestamps going backwards, or an overlap never recorded), has no
    // measurable speed: it gets the minimum below.
    if (diff > 0) {
        long double x = static_cast<long double>(abSpacing) * static_cast<long double>(kMilesPerTenthInch) /
                            (static_cast<long double>(diff) * static_cast<long double>(kHoursPerMs)) +
                        0.0625L;
        whole = TruncI32(x);
        eighths = TruncI32(x * 8);
    }
    byte0 = static_cast<uint8_t>((static_cast<uint32_t>(whole) << 1) | (dirBit ? 1u : 0u));
    byte1 = static_cast<uint8_t>(eighths & ax::kEighthsMask);
    if ((whole & 0x7F) == 0 && byte1 == 0) byte1 = 1;  // never store a speed of 0
}

class Converter {
public:
    Converter(std::span<const uint8_t> ioBytes, const EdgemillOptions& opt) : m_io(ioBytes), m_opt(opt) {
        // A header cut short reads as zeros where it is missing.
        const size_t have = std::min(m_io.size(), hd::kSize);
        std::copy_n(m_io.begin(), have, m_header.begin());
        m_records = m_io.size() > hd::kSize ? (m_io.size() - hd::kSize) / io::kRecordSize : 0;
    }

    EdgemillConversion Run();

private:
    uint32_t HeaderValue(const layout::Field& f) const { return layout::Get(m_header, 0, f); }
    uint32_t RecordValue(size_t i, const layout::Field& f) const {
        return layout::Get(m_io, hd::kSize + i * io::kRecordSize, f);
    }
    bool Active(uint32_t inputs, Detector d) const { return (inputs & (d == kA ? m_opt.maskA : m_opt.maskB)) != 0; }

    bool FindFirstTransition(size_t& next);
    void FollowPassages(size_t from);
    void Record(uint32_t inputs, uint32_t time);
    void ForwardPassage();
    void BackwardPassage();
    void AppendRecord(std::vector<uint8_t>& buf, bool dirBit, uint16_t axle, uint8_t flags);
    void ReportStep(bool forwardSense);
    void ReportEnd();
    std::vector<uint8_t> Finish(const std::vector<uint8_t>& records, size_t count);
    void Print(const char* fmt, int a, int b);

    std::span<const uint8_t> m_io;
    const EdgemillOptions& m_opt;
    std::array<uint8_t, hd::kSize> m_header{};
    size_t m_records = 0;

    bool m_dirAB = true;    // train taken to move from A to B
    int m_state = 0;        // 0 idle, 1 leading only, 2 both, 3 trailing only
    bool m_lead = false;    // passage began on the leading detector
    uint32_t m_firstEdge = 0;
    uint32_t m_secondEdge = 0;
    int64_t m_forward = 0;  // N: records in .010
    int64_t m_backed = 0;   // P: backward passages not yet matched
    bool m_markNext = false;
    int64_t m_moves = 0;    // M: records in .011
    uint32_t m_rising[2] = {0, 0};
    uint32_t m_passAB = 0, m_passBA = 0;
    int m_runForward = 0, m_runReverse = 0, m_totalForward = 0, m_totalReverse = 0;

    std::vector<uint8_t> m_axleRecs, m_moveRecs;
    std::string m_console;
};

void Converter::Print(const char* fmt, int a, int b) {
    char line[64];
    int n = std::snprintf(line, sizeof line, fmt, a, b);
    if (n > 0) m_console.append(line, std::min(static_cast<size_t>(n), sizeof line - 1));
}

bool Converter::FindFirstTransition(size_t& next) {
    const bool detectorFlagged = HeaderValue(io::kRecorderVersion) != 0;
    bool bothLatch = false;
    for (size_t i = 0; i < m_records; ++i) {
        if (detectorFlagged && !(RecordValue(i, io::kFlags) & io::kDetectorEventFlag)) continue;
        const uint32_t inputs = RecordValue(i, io::kInputs);
        const bool a = Active(inputs, kA), b = Active(inputs, kB);
        if (a && b) {
            bothLatch = true;
        } else if (!a && !b) {
            bothLatch = false;
        } else if (!bothLatch) {
            // The first detector to go active alone sets the direction: it is
            // the leading one unless /r says the first transition is reverse.
            const bool leadIsA = a != m_opt.reverse;
            m_dirAB = leadIsA;
            m_state = m_opt.reverse ? 3 : 1;
            m_lead = !m_opt.reverse;
            m_firstEdge = RecordValue(i, io::kTime);
            m_rising[a ? kA : kB] = 1;
            next = i + 1;
            return true;
        }
    }
    return false;
}

void Converter::FollowPassages(size_t from) {
    for (size_t i = from; i < m_records; ++i) Record(RecordValue(i, io::kInputs), RecordValue(i, io::kTime));
}

void Converter::Record(uint32_t inputs, uint32_t time) {
    const Detector lead = m_dirAB ? kA : kB;
    const Detector trail = m_dirAB ? kB : kA;
    const bool l = Active(inputs, lead), t = Active(inputs, trail);
    if (l && !t) {
        if (m_state == 0) {
            m_lead = true;
            m_firstEdge = time;
            ++m_rising[lead];
        }
        m_state = 1;
    } else if (t && !l) {
        if (m_state == 0) {
            m_lead = false;
            m_firstEdge = time;
            ++m_rising[trail];
        }
        m_state = 3;
    } else if (l && t) {
        if (m_state == 1) {
            m_secondEdge = time;
            ++m_rising[trail];
            ++(m_dirAB ? m_passAB : m_passBA);
        } else if (m_state == 3) {
            if (!m_lead) m_secondEdge = time;
            ++m_rising[lead];
            ++(m_dirAB ? m_passBA : m_passAB);
        }
        m_state = 2;
    } else {
        if (m_state == 3 && m_lead) {
            ForwardPassage();
        } else if (m_state == 1 && !m_lead) {
            BackwardPassage();
        }
        m_state = 0;
    }
}

void Converter::AppendRecord(std::vector<uint8_t>& buf, bool dirBit, uint16_t axle, uint8_t flags) {
    uint8_t byte0 = 0, byte1 = 0;
    PassageSpeed(HeaderValue(io::kAbSpacing), m_firstEdge, m_secondEdge, dirBit, byte0, byte1);
    const size_t at = buf.size();
    buf.resize(at + ax::kRecordSize);
    std::span<uint8_t> bytes(buf);
    layout::Set(bytes, at, ax::kSpeedWhole, byte0);
    layout::Set(bytes, at, ax::kSpeedEighths, byte1 | flags);
    layout::Set(bytes, at, ax::kTime, m_firstEdge);
    layout::Set(bytes, at, ax::kAxleNumber, axle);
}

void Converter::ForwardPassage() {
    if (m_backed == 0) {
        ++m_forward;
        AppendRecord(m_axleRecs, m_dirAB, static_cast<uint16_t>(m_forward), 0);
        AppendRecord(m_moveRecs, m_dirAB, static_cast<uint16_t>(m_forward), m_markNext ? ax::kMoveFirstNew : 0);
        m_markNext = false;
    } else {
        --m_backed;
        m_markNext = m_backed == 0;
        AppendRecord(m_moveRecs, m_dirAB, static_cast<uint16_t>(m_forward), ax::kMoveRepass);
    }
    ++m_moves;
    ReportStep(!m_opt.reverse);
}

void Converter::BackwardPassage() {
    ++m_backed;
    AppendRecord(m_moveRecs, !m_dirAB, static_cast<uint16_t>(m_forward), ax::kMoveBackward | ax::kMoveRepass);
    ++m_moves;
    ReportStep(m_opt.reverse);
}

void Converter::ReportStep(bool forwardSense) {
    if (!m_opt.report) return;
    const int64_t net = m_opt.reverse ? m_backed - m_forward : m_forward - m_backed;
    if (forwardSense) {
        if (m_runReverse > 0) {
            Print("%03d <--<-- (%03d)\n", m_runReverse, static_cast<int>(net - 1));
            m_runReverse = 0;
        }
        ++m_runForward;
        ++m_totalForward;
    } else {
        if (m_runForward > 0) {
            Print("%03d -->--> (%03d)\n", m_runForward, static_cast<int>(net + 1));
            m_runForward = 0;
        }
        ++m_runReverse;
        ++m_totalReverse;
    }
}

void Converter::ReportEnd() {
    if (!m_opt.report) return;
    const int net = static_cast<int>(m_opt.reverse ? m_backed - m_forward : m_forward - m_backed);
    if (m_runReverse > 0) Print("%03d <--<-- (%03d)\n", m_runReverse, net);
    if (m_runForward > 0) Print("%03d -->--> (%03d)\n", m_runForward, net);
    m_console += "-----------------------\n";
    Print("Total forward axles %03d\n", m_totalForward, 0);
    Print("Total reverse axles %03d\n", m_totalReverse, 0);
    Print("Sum axle movement   %03d\n", m_totalForward - m_totalReverse, 0);
}

// One output file: the IO header with the axle file's fields and event
// summary, then the first count records.
std::vector<uint8_t> Converter::Finish(const std::vector<uint8_t>& records, size_t count) {
    count = std::min(count, kMaxRecords);
    std::vector<uint8_t> out(m_header.begin(), m_header.end());
    out.insert(out.end(), records.begin(), records.begin() + static_cast<std::ptrdiff_t>(count * ax::kRecordSize));
    std::span<uint8_t> bytes(out);
    layout::Set(bytes, 0, hd::kRecordCount, static_cast<uint32_t>(count));
    layout::Set(bytes, 0, hd::kTypeSubcode, ax::kTypeSubcode);
    layout::Set(bytes, 0, hd::kRecordLength, ax::kRecordSize);
    layout::Set(bytes, 0, hd::kFileLength, static_cast<uint32_t>(out.size()));
    layout::Set(bytes, 0, hd::kTypeGroup, ax::kTypeGroup);
    std::fill(out.begin() + hd::kTypeAreaBegin, out.begin() + hd::kTypeAreaEnd, uint8_t{0});
    layout::Set(bytes, 0, ax::kRisingA, m_rising[kA]);
    layout::Set(bytes, 0, ax::kRisingB, m_rising[kB]);
    layout::Set(bytes, 0, ax::kPassagesAB, m_passAB);
    layout::Set(bytes, 0, ax::kPassagesBA, m_passBA);
    layout::Set(bytes, 0, ax::kIoWord40, HeaderValue(io::kCarry40));
    layout::Set(bytes, 0, ax::kIoByte39, HeaderValue(io::kCarry39));
    if (HeaderValue(io::kInversion) == 1) {
        for (size_t i = 0; i < count; ++i) {
            const size_t base = hd::kSize + i * ax::kRecordSize;
            layout::Set(bytes, base, ax::kSpeedWhole, layout::Get(bytes, base, ax::kSpeedWhole) ^ ax::kDirectionBit);
        }
    }
    return out;
}

EdgemillConversion Converter::Run() {
    EdgemillConversion result;
    if (HeaderValue(io::kPreprocessed) == 0 && HeaderValue(io::kRecorderVersion) == 0) {
        result.status = kEdgemillNotPreprocessed;
        result.console = "\nIO File has not been preprocessed\n";
        return result;
    }
    // Room for one record per IO record the header announces; more are
    // added as needed when the file holds more records than it says.
    const size_t expected = std::min<size_t>(HeaderValue(hd::kRecordCount), m_records);
    m_axleRecs.reserve(expected * ax::kRecordSize);
    m_moveRecs.reserve(expected * ax::kRecordSize);

    size_t next = 0;
    if (FindFirstTransition(next)) FollowPassages(next);
    ReportEnd();

    // Axles that backed out at the end and never returned are dropped from
    // the end of the .010. When every forward axle backed out the .010 keeps
    // its header with a count of 0; when more backed out than went forward
    // no forward axle is left at all and the .010 is not kept.
    if (m_forward <= 0) {
        m_console += "\n0 axle events found for 010 file\n";
    } else if (m_forward >= m_backed) {
        result.axles = Finish(m_axleRecs, static_cast<size_t>(m_forward - m_backed));
    }
    if (m_moves <= 0) {
        m_console += "\n0 axle events found for 011 file\n";
        result.status = kEdgemillNoPassage;
    } else {
        result.movements = Finish(m_moveRecs, static_cast<size_t>(m_moves));
        result.status = kEdgemillOk;
    }
    result.console = std::move(m_console);
    return result;
}

}  // namespace

EdgemillConversion ConvertIoEvents(std::span<const uint8_t> io, const EdgemillOptions& opt) {
    Converter c(io, opt);
    return c.Run();
}
