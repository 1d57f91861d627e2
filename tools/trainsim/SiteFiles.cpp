#include "SiteFiles.h"

#include "AllocFile.h"
#include "AxleFile.h"
#include "ConsistFile.h"
#include "DetectorLayout.h"
#include "HeaderLayout.h"
#include "IoFile.h"
#include "ScaleLayout.h"
#include "TagFile.h"
#include "TrainFile.h"
#include "TrainSummaryFile.h"
#include "WheelFile.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cctype>
#include <cstring>

namespace trainsim {

namespace hdr = layout::header;
namespace aei = layout::aei;
namespace cs = layout::consist;

namespace {

// Header format words the site's recorder writes per file type.
constexpr uint16_t kFormatRecorder = 0x0501;
constexpr uint16_t kFormatTagAndConsist = 0x0100;
// The summary's type words as the recorder writes them.
constexpr uint16_t kSummaryGroup = 4;
constexpr uint16_t kSummarySubcode = 4;
// Antenna configuration codes of the tag read header.
constexpr uint8_t kOneAntennaPerSide = 1;
constexpr uint8_t kTwoAntennasPerSide = 3;

struct Civil {
    int year, month, day, hour, minute, second;
};

Civil AddSeconds(const StartTime& st, long long secs) {
    using namespace std::chrono;
    sys_days day = year_month_day{year{st.year}, month{unsigned(st.month)}, std::chrono::day{unsigned(st.day)}};
    long long total = st.hour * 3600LL + st.minute * 60LL + st.second + secs;
    day += days{total / 86400};
    total %= 86400;
    const year_month_day ymd{day};
    return {int(ymd.year()),    int(unsigned(ymd.month())), int(unsigned(ymd.day())),
            int(total / 3600), int(total / 60 % 60),       int(total % 60)};
}

// The summary's broken-down time (month counted from 0).
SummaryTime SummaryTimeOf(const Civil& c) {
    SummaryTime t;
    t.seconds = c.second;
    t.minutes = c.minute;
    t.hours = c.hour;
    t.day = c.day;
    t.month = c.month - 1;
    t.year = c.year;
    return t;
}

// Header of a new file with fixed records (recordLength > 0) or variable
// ones (0), stamped with the recording's start and the site's time scale.
void Stamp(CTrainFile& f, const Simulation& sim, uint16_t format, uint16_t group, uint16_t subcode,
           uint16_t recordLength, bool siteTimeScale = true) {
    const Civil c = AddSeconds(sim.desc.start, 0);
    f.SetHeaderField(hdr::kFormat, format);
    f.SetHeaderField(hdr::kTypeGroup, group);
    f.SetHeaderField(hdr::kTypeSubcode, subcode);
    f.SetHeaderField(hdr::kRecordLength, recordLength);
    SetHeaderDateTime(f.Header(), c.year, c.month, c.day, c.hour, c.minute, c.second);
    f.SetHeaderField(hdr::kScaleNumerator, siteTimeScale ? sim.desc.site.scaleNumerator : 1);
    f.SetHeaderField(hdr::kScaleExponent, siteTimeScale ? sim.desc.site.scaleExponent : 0);
}

uint8_t SpeedByte(double mph, bool directionBit) {
    const int whole = std::clamp(int(mph), 0, 127);
    return uint8_t(whole << 1 | (directionBit ? 1 : 0));
}

uint8_t EighthsByte(double mph) { return uint8_t(int(std::clamp(mph, 0.0, 127.875) * 8.0) & 7); }

class Writer {
public:
    // consist: also write the .035 and .041, which describe the whole train
    // (a split recording holds only part of it).
    Writer(const Simulation& sim, const std::string& base, std::vector<WrittenFile>& written, std::string& error,
           bool consist = true)
        : m_sim(sim), m_site(sim.desc.site), m_base(base), m_written(written), m_error(error), m_consist(consist) {}

    // Encodes the vehicles' tag texts; fails before anything is written.
    bool Prepare() {
        m_text.clear();
        for (const VehicleSpec& v : m_sim.desc.vehicles) {
            if (!v.tagged) {
                m_text.emplace_back();
                continue;
            }
            auto text = VehicleTagText(v, m_error);
            if (!text) return false;
            m_text.push_back(*text);
        }
        // The .010 index of every physical axle that the net axle list holds.
        m_netIndex.assign(m_sim.geometry.axleFt.size(), -1);
        for (size_t i = 0; i < m_sim.net.size(); ++i) m_netIndex[size_t(m_sim.net[i].axle)] = int(i);
        m_dirBit = m_site.travelAtoB != (m_site.invertDirection == 1);
        m_prepared = true;
        return true;
    }

    // Writes the recording's files (Prepare first, unless it was called).
    bool Run() {
        if (!m_prepared && !Prepare()) return false;
        if (!WriteIo() || !WriteWheel()) return false;
        if (m_site.readers >= 1 && !WriteTags(1, ".060")) return false;
        if (m_site.readers >= 2 && !WriteTags(2, ".064")) return false;
        if (m_consist && !WriteConsist()) return false;
        if (!WriteSummary()) return false;
        if (m_consist && m_site.allocation && !WriteAllocation()) return false;
        if (m_site.hbd && !WriteDetector()) return false;
        if (m_site.scale && !WriteScale()) return false;
        return true;
    }

    // The axle movement file of the whole recording: every passage, with
    // the movement flags the IO-to-axle conversion gives back-outs and
    // returns.
    bool WriteMovement() {
        std::vector<AxleRecord> recs;
        int forward = 0, backed = 0;
        bool markNext = false;
        for (const Passage& p : m_sim.passages) {
            if (!p.forward) {
                ++backed;
                recs.push_back({&p, !m_dirBit, forward, uint8_t(layout::axle::kMoveBackward | layout::axle::kMoveRepass)});
            } else if (backed == 0) {
                ++forward;
                recs.push_back({&p, m_dirBit, forward, markNext ? layout::axle::kMoveFirstNew : uint8_t(0)});
                markNext = false;
            } else {
                --backed;
                markNext = backed == 0;
                recs.push_back({&p, m_dirBit, forward, layout::axle::kMoveRepass});
            }
        }
        return WriteAxles(recs, m_base, ".011", 0);
    }

    // One fragment of the series: the passages of one movement as a train
    // of their own, recorded under name (.010, .011, .035, .034).
    bool WriteFragment(const Movement& mv, const std::string& name) {
        const bool bit = mv.forward ? m_dirBit : !m_dirBit;
        std::vector<AxleRecord> recs;
        for (size_t i = 0; i < mv.count; ++i) recs.push_back({&m_sim.passages[mv.first + i], bit, int(i) + 1, 0});
        const long long startS = (long long)m_sim.passages[mv.first].tFirst;
        if (!WriteAxles(recs, name, ".010", startS) || !WriteAxles(recs, name, ".011", startS)) return false;

        // Its consist: the vehicles whose axles crossed, in the order they
        // crossed, numbered from 0; a backing movement runs each of them the
        // other way round.
        CConsistFile f;
        Stamp(f, m_sim, kFormatTagAndConsist, cs::kTypeGroup, cs::kTypeSubcode, 0);
        const Passage& first = m_sim.passages[mv.first];
        const Passage& last = m_sim.passages[mv.first + mv.count - 1];
        StampAt(f, startS);
        int previous = -1;
        uint32_t number = 0;
        for (size_t i = 0; i < mv.count; ++i) {
            const int vi = m_sim.geometry.axleVehicle[size_t(m_sim.passages[mv.first + i].axle)];
            if (vi == previous) continue;
            previous = vi;
            const bool flipped = m_sim.desc.vehicles[size_t(vi)].flipped != !mv.forward;
            if (!AppendVehicle(f, size_t(vi), number++, int(i), flipped)) return false;
        }
        if (!Save(f, name, ".035")) return false;

        const uint32_t from = first.rawFirst, to = m_sim.Raw(last.tEnd);
        std::vector<const WheelEvent*> wheels;
        for (const WheelEvent& w : m_sim.wheel)
            if (w.raw >= from && w.raw <= to) wheels.push_back(&w);
        return WriteSummaryFile(name, (long long)first.tFirst, (long long)last.tEnd, wheels);
    }

private:
    struct AxleRecord {
        const Passage* passage;
        bool directionBit;
        int number;
        uint8_t flags;
    };

    // An axle file (.010 or .011) of the given passages, with the event
    // summary of its header, dated startS after the recording's start.
    bool WriteAxles(const std::vector<AxleRecord>& recs, const std::string& name, const char* ext, long long startS) {
        namespace ax = layout::axle;
        CAxleFile f;
        Stamp(f, m_sim, kFormatRecorder, ax::kTypeGroup, ax::kTypeSubcode, ax::kRecordSize);
        StampAt(f, startS);
        if (!f.Grow(unsigned(recs.size()))) return false;
        unsigned ab = 0, ba = 0;
        for (size_t i = 0; i < recs.size(); ++i) {
            const AxleRecord& r = recs[i];
            const Passage& p = *r.passage;
            const int k = int(i);
            const int v = EdgeSpeedEighths(unsigned(m_site.HeaderAb()), int64_t(p.rawSecond) - int64_t(p.rawFirst));
            // The wheel met detector A first when it ran forward from A or
            // backward towards it.
            ++(p.forward == m_site.travelAtoB ? ab : ba);
            f.SetFieldAt(k, ax::kSpeedWhole, uint32_t(((v >> 3) & 0x7F) << 1 | (r.directionBit ? 1 : 0)));
            f.SetFieldAt(k, ax::kSpeedEighths, uint32_t(v & 7) | r.flags);
            f.SetFieldAt(k, ax::kTime, p.rawFirst);
            f.SetFieldAt(k, ax::kAxleNumber, uint32_t(r.number));
        }
        f.SetHeaderField(ax::kRisingA, unsigned(recs.size()));
        f.SetHeaderField(ax::kRisingB, unsigned(recs.size()));
        f.SetHeaderField(ax::kPassagesAB, ab);
        f.SetHeaderField(ax::kPassagesBA, ba);
        return Save(f, name, ext);
    }

    bool Save(CTrainFile& f, const char* ext) { return Save(f, m_base, ext); }

    bool Save(CTrainFile& f, const std::string& base, const char* ext) {
        const std::string name = base + ext;
        if (!f.SaveAs(name.c_str())) {
            m_error = "cannot write " + name;
            return false;
        }
        m_written.push_back({name, f.GetCount()});
        return true;
    }

    bool WriteIo() {
        namespace io = layout::io;
        CIoFile f;
        Stamp(f, m_sim, kFormatRecorder, io::kTypeGroup, io::kTypeSubcode, io::kRecordSize);
        f.SetAbSpacing(uint16_t(m_site.HeaderAb()));
        f.SetHeaderField(io::kInversion, m_site.invertDirection);
        f.SetPreprocessed(m_site.preprocessed);
        f.SetHeaderField(io::kRecorderVersion, m_site.recorderVersion);
        if (!f.Grow(unsigned(m_sim.io.size()))) return false;
        for (size_t i = 0; i < m_sim.io.size(); ++i) {
            const IoEvent& e = m_sim.io[i];
            f.Seek(int(i));
            f.SetRawTime(e.raw);
            f.SetInputs(e.inputs);
            f.SetRecordFlags(e.flags);
        }
        return Save(f, ".007");
    }

    bool WriteWheel() {
        namespace wh = layout::wheel;
        CWheelFile f;
        Stamp(f, m_sim, kFormatRecorder, wh::kTypeGroup, wh::kTypeSubcode, wh::kRecordSize);
        f.SetABSpacing(uint8_t(m_site.HeaderAb()));
        if (!f.Grow(unsigned(m_sim.wheel.size()))) return false;
        for (size_t i = 0; i < m_sim.wheel.size(); ++i) {
            f.Seek(int(i));
            f.SetField(wh::kDetector, m_sim.wheel[i].detector);
            f.SetRawTime(m_sim.wheel[i].raw);
        }
        return Save(f, ".012");
    }

    bool WriteTags(int side, const char* ext) {
        namespace tr = layout::tagread;
        CTagFile f;
        Stamp(f, m_sim, kFormatTagAndConsist, tr::kTypeGroup, tr::kTypeSubcode, tr::kRecordSize);
        // The consist is written with the reads, so they count as paired.
        f.SetHeaderField(tr::kProcessingFlags, tr::kTagPairProcessed);
        f.SetHeaderField(tr::kAntennaConfig, m_site.antennasPerSide == 2 ? kTwoAntennasPerSide : kOneAntennaPerSide);
        std::vector<const TagRead*> reads;
        for (const TagRead& r : m_sim.tags)
            if (r.side == side) reads.push_back(&r);
        if (!f.Grow(unsigned(reads.size()))) return false;
        for (size_t i = 0; i < reads.size(); ++i) {
            const TagRead& r = *reads[i];
            const int k = int(i);
            f.Seek(k);
            f.SetRawTime(r.raw);
            f.SetFieldAt(k, tr::kLead, uint8_t(kTagLead));
            std::span<uint8_t> rec = f.Data().subspan(i * tr::kRecordSize, tr::kRecordSize);
            const std::string& text = m_text[size_t(r.vehicle)];
            std::memcpy(rec.data() + tr::kTextOffset, text.data(), std::min(text.size(), tr::kTextLength));
            f.SetFieldAt(k, tr::kAntenna, uint8_t('0' + r.antenna));
            char count[3];
            std::snprintf(count, sizeof count, "%02X", unsigned(r.reads) & 0xFF);
            f.SetFieldAt(k, tr::kReadCountHigh, uint8_t(count[0]));
            f.SetFieldAt(k, tr::kReadCountLow, uint8_t(count[1]));
            f.SetFieldAt(k, tr::kSpeedWhole, SpeedByte(r.mph, m_dirBit));
            f.SetFieldAt(k, tr::kSpeedEighths, EighthsByte(r.mph));
        }
        return Save(f, ext);
    }

    // The header's date and time: the recording's start plus secs.
    void StampAt(CTrainFile& f, long long secs) const {
        const Civil c = AddSeconds(m_sim.desc.start, secs);
        SetHeaderDateTime(f.Header(), c.year, c.month, c.day, c.hour, c.minute, c.second);
    }

    // Appends the consist entry of vehicle vi: its axles, length and tags,
    // under the given vehicle number and first axle.
    bool AppendVehicle(CConsistFile& f, size_t vi, uint32_t number, int firstAxle, bool flipped) {
        const VehicleSpec& v = m_sim.desc.vehicles[vi];
        // Its reads: the first read of each side, side 1 first.
        const TagRead* read[2] = {nullptr, nullptr};
        for (const TagRead& r : m_sim.tags)
            if (r.vehicle == int(vi) && !read[r.side - 1]) read[r.side - 1] = &r;
        std::vector<const TagRead*> blocks;
        for (const TagRead* r : read)
            if (r) blocks.push_back(r);
        std::vector<uint8_t> entry(cs::kFixedSize + blocks.size() * cs::kTagBlockSize, 0);
        layout::Set(entry, 0, cs::kLength, uint32_t(entry.size()));
        layout::Set(entry, 0, cs::kVehicleNumber, number);
        layout::Set(entry, 0, cs::kOrientation, flipped ? 1 : 0);
        layout::Set(entry, 0, cs::kAxleCount, uint32_t(v.axles) & 0xFF);
        layout::Set(entry, 0, cs::kAxleCountHigh, uint32_t(v.axles) >> 8);
        layout::Set(entry, 0, cs::kVehicleLength, uint32_t(LengthDecimetres(v.lengthFt)));
        layout::Set(entry, 0, cs::kWord12, blocks.empty() ? 0 : blocks.front()->raw);
        layout::Set(entry, 0, cs::kFirstAxle, uint32_t(firstAxle));
        layout::Set(entry, 0, cs::kReadStatus, blocks.empty() ? cs::kStatusNoTag : 0);
        layout::Set(entry, 0, cs::kTagCount, uint32_t(blocks.size()));
        layout::Set(entry, 0, cs::kEgc, uint32_t(v.egc));
        for (size_t k = 0; k < blocks.size(); ++k) {
            const size_t at = k == 0 ? cs::kTagBlock1 : cs::kTagBlock2;
            layout::Set(entry, at, cs::kTagFlags, v.tagFlags);
            layout::Set(entry, at, cs::kTagLead, uint8_t(kTagLead));
            const std::string& text = m_text[vi];
            std::memcpy(entry.data() + at + cs::kTagTextOffset, text.data(), std::min(text.size(), cs::kTagTextLength));
        }
        if (!f.AppendEntry(entry.data(), unsigned(entry.size()))) {
            m_error = "too many consist entries";
            return false;
        }
        return true;
    }

    // The whole train's consist: vehicle numbers from 0, head first, as the
    // allocation's sequence numbers count them.
    bool WriteConsist() {
        CConsistFile f;
        Stamp(f, m_sim, kFormatTagAndConsist, cs::kTypeGroup, cs::kTypeSubcode, 0);
        const auto& places = m_sim.geometry.vehicles;
        for (size_t vi = 0; vi < m_sim.desc.vehicles.size(); ++vi) {
            const VehiclePlace& vp = places[vi];
            int firstAxle = vp.firstAxle;
            for (int a = vp.firstAxle; a < vp.firstAxle + vp.axles; ++a)
                if (m_netIndex[size_t(a)] >= 0) {
                    firstAxle = m_netIndex[size_t(a)];
                    break;
                }
            if (!AppendVehicle(f, vi, uint32_t(vi), firstAxle, m_sim.desc.vehicles[vi].flipped)) return false;
        }
        return Save(f, ".035");
    }

    bool WriteSummary() {
        std::vector<const WheelEvent*> wheels;
        for (const WheelEvent& w : m_sim.wheel) wheels.push_back(&w);
        return WriteSummaryFile(m_base, 0, (long long)(m_sim.durationS), wheels);
    }

    // A summary whose first and last times lie firstS and lastS after the
    // recording's start, with the counts of the given wheel events.
    bool WriteSummaryFile(const std::string& name, long long firstS, long long lastS,
                          const std::vector<const WheelEvent*>& wheels) {
        namespace sm = layout::summary;
        CTrainSummaryFile f;
        Stamp(f, m_sim, kFormatTagAndConsist, kSummaryGroup, kSummarySubcode, sm::kRecordSize);
        StampAt(f, firstS);
        f.EnsureRecord();
        f.SetTrainId(m_sim.desc.trainId);
        const SummaryTime first = SummaryTimeOf(AddSeconds(m_sim.desc.start, firstS));
        const SummaryTime last = SummaryTimeOf(AddSeconds(m_sim.desc.start, lastS));
        f.Set(sm::kFirstDate, PackSummaryDate(first));
        f.Set(sm::kFirstTime, PackSummaryTime(first));
        f.Set(sm::kLastDate, PackSummaryDate(last));
        f.Set(sm::kLastTime, PackSummaryTime(last));
        unsigned count[2] = {0, 0};
        for (const WheelEvent* w : wheels) ++count[w->detector];
        f.Set(sm::kLastWheelB, !wheels.empty() && wheels.back()->detector == 1 ? 1 : 0);
        f.Set(sm::kCountA, count[0]);
        f.Set(sm::kCountB, count[1]);
        return Save(f, name, ".034");
    }

    bool WriteAllocation() {
        namespace al = layout::alloc;
        CAllocFile f;
        Stamp(f, m_sim, kFormatRecorder, al::kTypeGroup, al::kTypeSubcode, al::kRecordSize, false);
        f.Grow(0);  // an allocation without vehicles is still written
        const double unit = RawUnitMs(m_site.scaleNumerator, m_site.scaleExponent);
        auto ms = [&](uint32_t raw) { return TruncToU32(static_cast<long double>(raw) * unit); };
        int seq = 0;
        for (size_t vi = 0; vi < m_sim.desc.vehicles.size(); ++vi) {
            const VehiclePlace& vp = m_sim.geometry.vehicles[vi];
            int first = -1, last = -1;
            for (int a = vp.firstAxle; a < vp.firstAxle + vp.axles; ++a) {
                const int n = m_netIndex[size_t(a)];
                if (n < 0) continue;
                first = first < 0 ? n : std::min(first, n);
                last = std::max(last, n);
            }
            if (first < 0) continue;
            const NetAxle& a0 = m_sim.net[size_t(first)];
            const NetAxle& a1 = m_sim.net[size_t(last)];
            std::array<uint8_t, al::kRecordSize> rec{};
            layout::Set(rec, 0, al::kFirstAxle, uint32_t(first));
            layout::Set(rec, 0, al::kLastAxle, uint32_t(last));
            layout::Set(rec, 0, al::kStartTime, ms(a0.raw));
            layout::Set(rec, 0, al::kEndTime, ms(a1.raw));
            layout::Set(rec, 0, al::kEgc, uint32_t(m_sim.desc.vehicles[vi].egc));
            layout::Set(rec, 0, al::kSequence, uint32_t(seq) & 0xFF);
            layout::Set(rec, 0, al::kKeyHigh, uint32_t(seq) >> 8);
            layout::Set(rec, 0, al::kPart, al::kPartWhole);
            layout::Set(rec, 0, al::kSpeed, uint32_t(((a1.eighths >> 3) & 0x7F) << 1 | (a1.directionBit ? 1 : 0)));
            if (!f.AppendAllocation(rec.data())) {
                m_error = "too many allocation records";
                return false;
            }
            ++seq;
        }
        return Save(f, ".041");
    }

    bool WriteDetector() {
        namespace dt = layout::detector;
        CTrainFile f;
        // Hot-bearing times are whole milliseconds.
        Stamp(f, m_sim, dt::kFormat, dt::kTypeGroup, dt::kTypeSubcode, dt::kRecordSize, false);
        if (!m_sim.hbd.empty()) {
            f.SetHeaderField(dt::kFirstSpeed, uint32_t(std::min(m_sim.hbd.front().mph, 255.0)));
            f.SetHeaderField(dt::kLastSpeed, uint32_t(std::min(m_sim.hbd.back().mph, 255.0)));
        }
        if (!f.Grow(unsigned(m_sim.hbd.size()))) return false;
        for (size_t i = 0; i < m_sim.hbd.size(); ++i) {
            const HbdReading& h = m_sim.hbd[i];
            const int k = int(i);
            f.SetFieldAt(k, dt::kNumber, uint32_t(i + 1));
            f.SetFieldAt(k, dt::kMsSincePrevious, h.msSincePrevious);
            f.SetFieldAt(k, dt::kSide1Code, uint8_t(h.code[0]));
            f.SetFieldAt(k, dt::kSide1Value, h.value[0]);
            f.SetFieldAt(k, dt::kSide2Code, uint8_t(h.code[1]));
            f.SetFieldAt(k, dt::kSide2Value, h.value[1]);
        }
        return Save(f, ".018");
    }

    bool WriteScale() {
        namespace sc = layout::scale;
        CTrainFile f;
        Stamp(f, m_sim, sc::kFormat, sc::kTypeGroup, sc::kTypeSubcode, sc::kEntrySize);
        if (!f.Grow(unsigned(m_sim.scale.size()))) return false;
        for (size_t i = 0; i < m_sim.scale.size(); ++i) {
            const ScaleReading& s = m_sim.scale[i];
            const int k = int(i);
            f.SetFieldAt(k, sc::kTime, s.raw);
            f.SetFieldAt(k, sc::kValue4, s.grossLb);
            f.SetFieldAt(k, sc::kValue8, s.leadTruckLb);
            f.SetFieldAt(k, sc::kValue12, s.trailTruckLb);
            f.SetFieldAt(k, sc::kValue16, s.eighths);
            f.SetFieldAt(k, sc::kValue18, s.axles);
            f.SetFieldAt(k, sc::kValue20, s.sequence);
        }
        return Save(f, ".055");
    }

    const Simulation& m_sim;
    const SiteFacts& m_site;
    std::string m_base;
    std::vector<WrittenFile>& m_written;
    std::string& m_error;
    std::vector<std::string> m_text;  // tag text per vehicle ("" when untagged)
    std::vector<int> m_netIndex;
    bool m_dirBit = true;
    bool m_consist = true;
    bool m_prepared = false;
};

}  // namespace

int LengthDecimetres(double feet) { return int(std::lround(feet * 3.048)); }

std::optional<DecodedTag> VehicleTag(const VehicleSpec& v, std::string& error) {
    const std::string where = "vehicle on line " + std::to_string(v.line) + " (" + v.owner + " " +
                              std::to_string(v.number) + "): ";
    const AeiLayout l = LayoutOfEgc(uint32_t(v.egc));
    if (l == AeiLayout::None || l == AeiLayout::Alphanumeric) {
        error = where + "EGC " + std::to_string(v.egc) + " has no numeric tag layout (give tag=none or another egc)";
        return std::nullopt;
    }
    std::optional<DecodedTag> t = MakeDecodedTag(uint32_t(v.egc), v.owner, v.number, 1);
    if (!t) {
        error = where + "owner or number does not fit a tag";
        return std::nullopt;
    }
    const int dm = LengthDecimetres(v.lengthFt);
    const int axles = std::max(v.axles, 1);
    if (l == AeiLayout::Locomotive) {
        t->Set(aei::kLoco36, uint32_t(dm));
        t->Set(aei::kLoco40, uint32_t(axles));
    } else if (l == AeiLayout::Railcar) {
        t->Set(aei::kRailcar44, uint32_t(v.tagField44));
        if (v.extendedTag) {
            // The axle count is limited far below what the extended bits hold.
            if (!EncodeExtendedRailcar(*t, {uint32_t(dm), uint32_t(axles)})) {
                error = where + "length too long for the tag";
                return std::nullopt;
            }
        } else {
            t->Set(aei::kRailcar36, uint32_t(dm));
            t->Set(aei::kRailcar40, uint32_t(axles));
        }
    }
    if (v.tagField44 != 0 && l != AeiLayout::Railcar) {
        error = where + "tag44= needs a railcar tag layout";
        return std::nullopt;
    }
    if (!EncodeTag(*t)) {
        error = where + "length or axle count does not fit the tag";
        return std::nullopt;
    }
    return t;
}

std::optional<std::string> VehicleTagText(const VehicleSpec& v, std::string& error) {
    auto t = VehicleTag(v, error);
    if (!t) return std::nullopt;
    return EncodeTag(*t);
}

std::optional<std::string> NextBaseName(const std::string& base) {
    std::string next = base;
    size_t i = next.size();
    while (i > 0 && std::isdigit(static_cast<unsigned char>(next[i - 1]))) {
        --i;
        if (next[i] != '9') {
            ++next[i];
            return next;
        }
        next[i] = '0';
    }
    return std::nullopt;  // no trailing digits, or all of them 9
}

std::optional<std::string> FragmentName(const std::string& base, size_t number) {
    const size_t n = base.size();
    if (n < 2 || !std::isdigit(static_cast<unsigned char>(base[n - 2])) ||
        !std::isdigit(static_cast<unsigned char>(base[n - 1])) || number < 1 || number > kMaxFragments)
        return std::nullopt;
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02u", unsigned(number));
    return base.substr(0, n - 2) + digits;
}

namespace {

// The two recordings of a split train. The first holds every event before
// the split; the second opens with a record of the input word at the split,
// stamped with the first recording's clock there, and counts every later
// event from the split on (raw times less that clock). Its headers carry
// the date and time of the split.
Simulation SplitPart(const Simulation& sim, bool second) {
    Simulation part;
    part.desc = sim.desc;
    part.geometry = sim.geometry;
    const double split = sim.desc.site.splitAtS;
    const uint32_t b = sim.Raw(split);
    auto mine = [&](uint32_t raw) { return (raw >= b) == second; };
    const uint32_t shift = second ? b : 0;
    if (second) {
        uint16_t word = sim.desc.site.presenceMask;
        for (const IoEvent& e : sim.io)
            if (e.raw < b) word = e.inputs;
        part.io.push_back({b, word, 0});
    }
    for (const IoEvent& e : sim.io)
        if (mine(e.raw)) part.io.push_back({e.raw - shift, e.inputs, e.flags});
    for (const WheelEvent& w : sim.wheel)
        if (mine(w.raw)) part.wheel.push_back({w.raw - shift, w.detector});
    for (const TagRead& r : sim.tags)
        if (mine(r.raw)) {
            part.tags.push_back(r);
            part.tags.back().raw -= shift;
        }
    for (const HbdReading& h : sim.hbd)
        if ((h.t >= split) == second) part.hbd.push_back(h);
    if (!part.hbd.empty()) part.hbd.front().msSincePrevious = 0;
    uint16_t sequence = 0;
    for (const ScaleReading& sc : sim.scale)
        if (mine(sc.raw)) {
            part.scale.push_back(sc);
            part.scale.back().raw -= shift;
            part.scale.back().sequence = ++sequence;
        }
    const long long whole = (long long)split;
    if (second) {
        const Civil c = AddSeconds(sim.desc.start, whole);
        part.desc.start = {c.year, c.month, c.day, c.hour, c.minute, c.second};
        part.durationS = sim.durationS - double(whole);
    } else {
        part.durationS = split;
    }
    return part;
}

}  // namespace

bool WriteSiteFiles(const Simulation& sim, const std::string& base, std::vector<WrittenFile>& written,
                    std::string& error) {
    written.clear();
    const SiteFacts& site = sim.desc.site;
    if (site.splitAtS >= 0.0) {
        const std::optional<std::string> next = NextBaseName(base);
        if (!next) {
            error = "split: the base name " + base + " must end in a number the second recording can count on from";
            return false;
        }
        const Simulation one = SplitPart(sim, false), two = SplitPart(sim, true);
        Writer first(one, base, written, error, false), second(two, *next, written, error, false);
        return first.Prepare() && second.Prepare() && first.Run() && second.Run();
    }
    Writer w(sim, base, written, error);
    if (!w.Prepare()) return false;
    std::vector<std::string> names;
    if (site.fragments) {
        for (size_t k = 1; k <= sim.movements.size(); ++k) {
            const std::optional<std::string> name = FragmentName(base, k);
            if (!name) {
                error = "fragments: the base name " + base + " must end in two digits, which the fragments replace";
                return false;
            }
            if (*name == base) {
                error = "fragments: fragment " + std::to_string(k) + " would take the base name " + base +
                        "; give one ending in 00";
                return false;
            }
            names.push_back(*name);
        }
    }
    if (!w.Run()) return false;
    if (!site.fragments) return true;
    if (!w.WriteMovement()) return false;
    for (size_t k = 0; k < sim.movements.size(); ++k)
        if (!w.WriteFragment(sim.movements[k], names[k])) return false;
    return true;
}

}  // namespace trainsim
