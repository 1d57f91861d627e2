#include "TrainDescription.h"

#include "ConsistLayout.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace trainsim {

namespace {

constexpr uint32_t kMaxCarNumber = (1u << 20) - 1;  // 20 bits of the tag
constexpr int kMaxAxles = 32;                        // 5 bits of the tag, plus 1

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

// A number with an optional unit glued to it ("300ft", "2.5s") or none.
// The unit, when present, must be one of the units allowed.
bool Number(const std::string& word, double& v, std::initializer_list<const char*> units = {}) {
    if (word.empty()) return false;
    const char* s = word.c_str();
    char* end = nullptr;
    errno = 0;
    v = std::strtod(s, &end);
    if (end == s || errno == ERANGE || !std::isfinite(v)) return false;
    const std::string rest = Lower(end);
    if (rest.empty()) return true;
    for (const char* u : units)
        if (rest == u) return true;
    return false;
}

bool Integer(const std::string& word, long long& v, long long lo, long long hi) {
    if (word.empty()) return false;
    const char* s = word.c_str();
    char* end = nullptr;
    errno = 0;
    v = std::strtoll(s, &end, 0);  // decimal, or 0x... hexadecimal
    if (end == s || *end != '\0' || errno == ERANGE) return false;
    return v >= lo && v <= hi;
}

bool Flag(const std::string& word, bool& v) {
    const std::string w = Lower(word);
    if (w == "yes" || w == "on" || w == "1" || w == "true") {
        v = true;
        return true;
    }
    if (w == "no" || w == "off" || w == "0" || w == "false") {
        v = false;
        return true;
    }
    return false;
}

bool IsUnitWord(const std::string& w, std::initializer_list<const char*> units) {
    const std::string l = Lower(w);
    for (const char* u : units)
        if (l == u) return true;
    return false;
}

class Parser {
public:
    Parser(TrainDescription& out, std::string& error) : m_out(out), m_error(error) {}

    bool Run(const std::string& text) {
        std::istringstream in(text);
        std::string raw;
        while (std::getline(in, raw)) {
            ++m_line;
            const size_t hash = raw.find('#');
            std::string line = hash == std::string::npos ? raw : raw.substr(0, hash);
            std::vector<std::string> w = Split(line);
            if (w.empty()) continue;
            if (!Line(line, w)) return false;
        }
        return Finish();
    }

private:
    bool Fail(const std::string& what) {
        m_error = "line " + std::to_string(m_line) + ": " + what;
        return false;
    }

    bool Line(const std::string& line, std::vector<std::string>& w) {
        const std::string key = Lower(w[0]);
        if (key == "train") {
            const size_t at = line.find(w[0]) + w[0].size();
            std::string id = line.substr(at);
            id.erase(0, id.find_first_not_of(" \t"));
            id.erase(id.find_last_not_of(" \t\r") + 1);
            if (id.empty() || id.size() > 19) return Fail("train identification of 1 to 19 characters expected");
            m_out.trainId = id;
            return true;
        }
        if (key == "loco" || key == "car" || key == "artic" || key == "eot") return Vehicle(key, w);
        if (key == "speed" || key == "cruise" || key == "ramp" || key == "stop" || key == "wait" || key == "back")
            return Step(key, w);
        return Site(key, w);
    }

    bool Expect(const std::vector<std::string>& w, size_t n) {
        if (w.size() != n) return Fail("'" + w[0] + "' takes " + std::to_string(n - 1) + " value(s)");
        return true;
    }

    bool Real(const std::vector<std::string>& w, double& v, double lo, double hi,
              std::initializer_list<const char*> units = {}) {
        if (w.size() < 2 || w.size() > 3) return Fail("'" + w[0] + "' takes one number");
        if (w.size() == 3 && !IsUnitWord(w[2], units)) return Fail("unexpected '" + w[2] + "'");
        if (!Number(w[1], v, units) || v < lo || v > hi) return Fail("'" + w[0] + "': number out of range");
        return true;
    }

    bool Int(const std::vector<std::string>& w, long long& v, long long lo, long long hi) {
        if (!Expect(w, 2)) return false;
        if (!Integer(w[1], v, lo, hi))
            return Fail("'" + w[0] + "': whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                        " expected");
        return true;
    }

    bool Bool(const std::vector<std::string>& w, bool& v) {
        if (!Expect(w, 2)) return false;
        if (!Flag(w[1], v)) return Fail("'" + w[0] + "': yes or no expected");
        return true;
    }

    bool Site(const std::string& key, const std::vector<std::string>& w) {
        SiteFacts& s = m_out.site;
        long long i = 0;
        double d = 0;
        bool b = false;
        if (key == "seed") {
            if (!Expect(w, 2)) return false;
            char* end = nullptr;
            errno = 0;
            const unsigned long long v = std::strtoull(w[1].c_str(), &end, 0);
            if (w[1][0] == '-' || *end != '\0' || errno == ERANGE) return Fail("'seed': whole number expected");
            m_out.seed = v;
            return true;
        }
        if (key == "start") return Start(w);
        if (key == "ab_spacing") {
            if (!Int(w, i, 10, 255)) return false;
            s.abTenths = int(i);
            return true;
        }
        if (key == "header_ab_spacing") {
            if (!Int(w, i, 1, 255)) return false;
            s.headerAbTenths = int(i);
            m_headerAbGiven = true;
            return true;
        }
        if (key == "ab_error") {
            // Relative error of the written spacing, in percent: positive when
            // the headers carry a spacing that is too small.
            if (!Real(w, d, -90.0, 90.0, {"%"})) return false;
            m_abErrorPercent = d;
            m_abErrorGiven = true;
            return true;
        }
        if (key == "direction") {
            if (!Expect(w, 2)) return false;
            const std::string v = Lower(w[1]);
            if (v == "ab") s.travelAtoB = true;
            else if (v == "ba") s.travelAtoB = false;
            else return Fail("'direction': AB or BA expected");
            return true;
        }
        if (key == "mask_a" || key == "mask_b" || key == "presence_mask") {
            if (!Int(w, i, key == "presence_mask" ? 0 : 1, 0xFFFF)) return false;
            (key == "mask_a" ? s.maskA : key == "mask_b" ? s.maskB : s.presenceMask) = uint16_t(i);
            return true;
        }
        if (key == "recorder_version" || key == "preprocessed" || key == "invert_direction") {
            if (!Int(w, i, 0, 255)) return false;
            (key == "recorder_version" ? s.recorderVersion : key == "preprocessed" ? s.preprocessed
                                                                                   : s.invertDirection) =
                uint8_t(i);
            return true;
        }
        if (key == "time_scale") {
            long long num = 0, ex = 0;
            if (w.size() != 3 || !Integer(w[1], num, 1, 0xFFFFFFFFll) || !Integer(w[2], ex, 0, 9))
                return Fail("'time_scale': numerator (1 or more) and decimal exponent (0-9) expected");
            s.scaleNumerator = uint32_t(num);
            s.scaleExponent = uint16_t(ex);
            return true;
        }
        if (key == "detector_zone") {
            if (!Real(w, d, 0.1, 24.0, {"in"})) return false;
            s.zoneInches = d;
            return true;
        }
        if (key == "edge_jitter") {
            if (!Real(w, d, 0.0, 2.0, {"in"})) return false;
            s.edgeJitterInches = d;
            return true;
        }
        if (key == "missed_events" || key == "missed_tags") {
            if (!Real(w, d, 0.0, 1.0)) return false;
            (key == "missed_events" ? s.missedEventRate : s.missedTagRate) = d;
            return true;
        }
        if (key == "miss") {
            long long axle = 0;
            if (w.size() != 3 || !Integer(w[1], axle, 1, 100000)) return Fail("'miss': axle and detector A or B expected");
            const std::string det = Lower(w[2]);
            if (det != "a" && det != "b") return Fail("'miss': detector A or B expected");
            s.misses.push_back({int(axle), det == "a" ? 0 : 1});
            return true;
        }
        if (key == "readers") {
            if (!Int(w, i, 0, 2)) return false;
            s.readers = int(i);
            return true;
        }
        if (key == "antennas") {
            if (!Int(w, i, 1, 2)) return false;
            s.antennasPerSide = int(i);
            return true;
        }
        if (key == "reader_offset" || key == "hbd_offset" || key == "scale_offset") {
            if (!Real(w, d, -2000.0, 2000.0, {"ft"})) return false;
            (key == "reader_offset" ? s.readerOffsetFt : key == "hbd_offset" ? s.hbdOffsetFt : s.scaleOffsetFt) = d;
            return true;
        }
        if (key == "hbd" || key == "scale" || key == "allocation") {
            if (!Bool(w, b)) return false;
            (key == "hbd" ? s.hbd : key == "scale" ? s.scale : s.allocation) = b;
            return true;
        }
        if (key == "hbd_extra" || key == "hbd_miss") {
            long long axle = 0;
            if (!Int(w, axle, 1, 100000)) return false;
            (key == "hbd_extra" ? s.hbdExtra : s.hbdMiss).push_back({int(axle), m_line});
            return true;
        }
        if (key == "fragments") {
            if (!Bool(w, b)) return false;
            s.fragments = b;
            s.fragmentsLine = m_line;
            return true;
        }
        if (key == "split") {
            if (w.size() < 3 || Lower(w[1]) != "at" || w.size() > 4 || (w.size() == 4 && !IsUnitWord(w[3], {"s"})) ||
                !Number(w[2], d, {"s"}) || d <= 0.0 || d > 100000.0)
                return Fail("'split': 'at <seconds>' above 0 expected");
            s.splitAtS = d;
            s.splitLine = m_line;
            return true;
        }
        if (key == "hbd_alarm") {
            long long axle = 0, side = 0, value = 0;
            if (w.size() < 3 || w.size() > 5 || !Integer(w[1], axle, 1, 100000) || !Integer(w[2], side, 1, 2))
                return Fail("'hbd_alarm': axle, side (1 or 2), optional code (A, C or D) and value expected");
            HbdAlarm a;
            a.axle = int(axle);
            a.side = int(side);
            if (w.size() >= 4) {
                const std::string c = w[3];
                if (c.size() != 1 || (c[0] != 'A' && c[0] != 'C' && c[0] != 'D'))
                    return Fail("'hbd_alarm': code A, C or D expected");
                a.code = c[0];
            }
            if (w.size() == 5) {
                if (!Integer(w[4], value, 0, 0xFFFF)) return Fail("'hbd_alarm': value 0-65535 expected");
                a.value = int(value);
            }
            s.alarms.push_back(a);
            return true;
        }
        return Fail("unknown keyword '" + w[0] + "'");
    }

    bool Start(const std::vector<std::string>& w) {
        StartTime t;
        char dash1 = 0, dash2 = 0, c1 = 0, c2 = 0;
        if (w.size() != 3) return Fail("'start': YYYY-MM-DD HH:MM:SS expected");
        std::istringstream d(w[1]), h(w[2]);
        d >> t.year >> dash1 >> t.month >> dash2 >> t.day;
        h >> t.hour >> c1 >> t.minute >> c2 >> t.second;
        if (d.fail() || h.fail() || dash1 != '-' || dash2 != '-' || c1 != ':' || c2 != ':' || !d.eof() || !h.eof() ||
            t.year < 1990 || t.year > 2099 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 ||
            t.hour < 0 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59)
            return Fail("'start': YYYY-MM-DD HH:MM:SS expected");
        const std::chrono::year_month_day ymd{std::chrono::year{t.year}, std::chrono::month{unsigned(t.month)},
                                              std::chrono::day{unsigned(t.day)}};
        if (!ymd.ok()) return Fail("'start': no such date");
        m_out.start = t;
        return true;
    }

    bool Vehicle(const std::string& key, const std::vector<std::string>& w) {
        VehicleKind kind = key == "loco"    ? VehicleKind::Locomotive
                           : key == "artic" ? VehicleKind::Articulated
                           : key == "eot"   ? VehicleKind::EndOfTrain
                                            : VehicleKind::Railcar;
        VehicleSpec v = DefaultVehicle(kind);
        v.line = m_line;
        if (w.size() < 3) return Fail("vehicle: owner initials and number expected");
        v.owner = w[1];
        if (v.owner.empty() || v.owner.size() > 4 ||
            !std::all_of(v.owner.begin(), v.owner.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
            return Fail("vehicle: owner initials of 1 to 4 capital letters expected");
        long long number = 0;
        if (!Integer(w[2], number, 0, kMaxCarNumber))
            return Fail("vehicle: car number 0-" + std::to_string(kMaxCarNumber) + " expected");
        v.number = uint32_t(number);
        long long count = 1;
        bool lengthGiven = false, axlesGiven = false, platformsGiven = false, tag44Given = false;
        for (size_t k = 3; k < w.size(); ++k) {
            const size_t eq = w[k].find('=');
            const std::string name = Lower(w[k].substr(0, eq));
            const std::string value = eq == std::string::npos ? "" : w[k].substr(eq + 1);
            double d = 0;
            long long i = 0;
            if (name == "flip" && eq == std::string::npos) {
                v.flipped = true;
                continue;
            }
            if (eq == std::string::npos || value.empty()) return Fail("vehicle: key=value expected, got '" + w[k] + "'");
            if (name == "axles") {
                if (!Integer(value, i, kind == VehicleKind::EndOfTrain ? 0 : 2, kMaxAxles))
                    return Fail("vehicle: axles 2-" + std::to_string(kMaxAxles) + " expected");
                v.axles = int(i);
                axlesGiven = true;
            } else if (name == "platforms") {
                if (kind != VehicleKind::Articulated) return Fail("vehicle: platforms= belongs to artic units");
                if (!Integer(value, i, 2, 15)) return Fail("vehicle: platforms 2-15 expected");
                v.platforms = int(i);
                platformsGiven = true;
            } else if (name == "length" || name == "centers" || name == "centres" || name == "spacing" ||
                       name == "gap" || name == "weight") {
                const bool weight = name == "weight";
                if (!Number(value, d, weight ? std::initializer_list<const char*>{"t"}
                                             : std::initializer_list<const char*>{"ft"}) ||
                    d < 0 || d > (weight ? 1000.0 : 400.0))
                    return Fail("vehicle: " + name + " out of range");
                if (name == "length") {
                    v.lengthFt = d;
                    lengthGiven = true;
                } else if (name == "centers" || name == "centres") {
                    v.truckCentresFt = d;
                } else if (name == "spacing") {
                    v.axleSpacingFt = d;
                } else if (name == "gap") {
                    v.couplerGapFt = d;
                } else {
                    v.weightTons = d;
                }
            } else if (name == "count") {
                if (!Integer(value, i, 1, 20000)) return Fail("vehicle: count 1-20000 expected");
                count = i;
            } else if (name == "egc") {
                if (!Integer(value, i, 0, 31)) return Fail("vehicle: egc 0-31 expected");
                v.egc = int(i);
            } else if (name == "flip") {
                bool b = false;
                if (!Flag(value, b)) return Fail("vehicle: flip=yes or flip=no expected");
                v.flipped = b;
            } else if (name == "axles_at") {
                std::vector<double> at;
                std::string list = value;
                std::replace(list.begin(), list.end(), ',', ' ');
                for (const std::string& x : Split(list)) {
                    if (!Number(x, d, {"ft"}) || d < 0 || d > 400.0) return Fail("vehicle: axles_at: offsets in feet expected");
                    at.push_back(d);
                }
                if (at.size() < 2 || at.size() > size_t(kMaxAxles) || !std::is_sorted(at.begin(), at.end()))
                    return Fail("vehicle: axles_at: 2 to 32 rising offsets expected");
                v.axleOffsetsFt = at;
            } else if (name == "tag") {
                const std::string t = Lower(value);
                if (t == "none") v.tagged = false;
                else if (t == "extended") v.extendedTag = true;
                else if (t == "plain") v.extendedTag = false;
                else return Fail("vehicle: tag=none, tag=plain or tag=extended expected");
            } else if (name == "tags") {
                if (kind == VehicleKind::EndOfTrain) return Fail("vehicle: an end-of-train device carries one tag");
                if (!Integer(value, i, 1, 2)) return Fail("vehicle: tags=1 or tags=2 expected");
                v.sideTwoTag = i == 2;
            } else if (name == "tag44") {
                if (!Integer(value, i, 0, 7)) return Fail("vehicle: tag44 0-7 expected");
                v.tagField44 = int(i);
                tag44Given = true;
            } else if (name == "tag_flags") {
                uint16_t flags = 0;
                for (char c : value) {
                    const char* p = std::strchr(layout::consist::kTagFlagLetters, c);
                    if (c == '?' || !p || !*p) return Fail("vehicle: tag_flags: letters of WLAEFOMPCTI expected");
                    flags |= uint16_t(1u << (p - layout::consist::kTagFlagLetters));
                }
                v.tagFlags = flags;
            } else {
                return Fail("vehicle: unknown key '" + name + "'");
            }
        }
        if (v.extendedTag && v.egc != 19) return Fail("vehicle: tag=extended needs a railcar tag (EGC 19)");
        if (tag44Given && (v.kind == VehicleKind::Locomotive || v.kind == VehicleKind::EndOfTrain || !v.tagged))
            return Fail("vehicle: tag44= belongs to a tagged railcar");
        if (kind == VehicleKind::Articulated) {
            if (!axlesGiven) v.axles = 2 * (v.platforms + 1);
            if (!platformsGiven && axlesGiven) v.platforms = std::max(1, v.axles / 2 - 1);
            if (!lengthGiven) v.lengthFt = v.platforms * v.truckCentresFt + 12.0;
        }
        if (!v.axleOffsetsFt.empty()) {
            if (axlesGiven && v.axles != int(v.axleOffsetsFt.size()))
                return Fail("vehicle: axles= and axles_at= disagree");
            v.axles = int(v.axleOffsetsFt.size());
            if (v.axleOffsetsFt.back() > v.lengthFt) return Fail("vehicle: an axle of axles_at lies beyond the length");
        }
        if (kind == VehicleKind::EndOfTrain) {
            v.axles = 0;
            v.axleOffsetsFt.clear();
        }
        if (uint64_t(v.number) + uint64_t(count) - 1 > kMaxCarNumber)
            return Fail("vehicle: numbers beyond " + std::to_string(kMaxCarNumber) + " with this count");
        for (long long k = 0; k < count; ++k) {
            m_out.vehicles.push_back(v);
            ++v.number;
        }
        return true;
    }

    // "over <n> [ft]" or "to|at axle <k> [<offset> [ft]]", from word `at` on.
    bool ParseMark(const std::vector<std::string>& w, size_t at, Mark& m) {
        if (at >= w.size()) return Fail("'" + w[0] + "': 'over <feet>' or 'to axle <n> [offset]' expected");
        const std::string k = Lower(w[at]);
        if (k == "over") {
            double d = 0;
            if (at + 1 >= w.size() || !Number(w[at + 1], d, {"ft"}) || d <= 0 || d > 100000.0)
                return Fail("'" + w[0] + "': a distance in feet above 0 expected after 'over'");
            if (at + 2 < w.size() && !(at + 3 == w.size() && IsUnitWord(w[at + 2], {"ft"})))
                return Fail("unexpected '" + w[at + 2] + "'");
            m.isAxle = false;
            m.feet = d;
            return true;
        }
        if (k == "to" || k == "at") {
            long long axle = 0;
            if (at + 2 >= w.size() || Lower(w[at + 1]) != "axle" || !Integer(w[at + 2], axle, 1, 100000))
                return Fail("'" + w[0] + "': 'axle <n>' expected after '" + w[at] + "'");
            m.isAxle = true;
            m.axle = int(axle);
            m.feet = 0;
            size_t next = at + 3;
            if (next < w.size()) {
                double d = 0;
                if (!Number(w[next], d, {"ft"}) || std::fabs(d) > 1000.0)
                    return Fail("'" + w[0] + "': axle offset in feet expected");
                m.feet = d;
                ++next;
                if (next < w.size() && IsUnitWord(w[next], {"ft"})) ++next;
            }
            if (next < w.size()) return Fail("unexpected '" + w[next] + "'");
            return true;
        }
        return Fail("'" + w[0] + "': 'over <feet>' or 'to axle <n> [offset]' expected");
    }

    bool Step(const std::string& key, const std::vector<std::string>& w) {
        ProfileStep s;
        s.line = m_line;
        double d = 0;
        if (key == "speed") {
            if (!m_out.profile.empty()) return Fail("'speed' (the arrival speed) comes before the profile steps");
            if (!Real(w, d, 0.5, 127.0, {"mph"})) return false;
            m_out.arrivalMph = d;
            return true;
        }
        if (key == "cruise") {
            s.kind = StepKind::Cruise;
            if (w.size() >= 2 && Number(w[1], d, {"ft"})) {
                // "cruise 300 ft" is short for "cruise over 300 ft"
                std::vector<std::string> v{w[0], "over"};
                v.insert(v.end(), w.begin() + 1, w.end());
                if (!ParseMark(v, 1, s.mark)) return false;
            } else if (!ParseMark(w, 1, s.mark)) {
                return false;
            }
        } else if (key == "ramp") {
            s.kind = StepKind::Ramp;
            if (w.size() < 2 || !Number(w[1], d, {"mph"}) || d < 0 || d > 127.0)
                return Fail("'ramp': target speed 0-127 mph expected");
            s.mph = d;
            size_t at = 2;
            if (at < w.size() && IsUnitWord(w[at], {"mph"})) ++at;
            if (!ParseMark(w, at, s.mark)) return false;
        } else if (key == "stop") {
            s.kind = StepKind::Stop;
            if (!ParseMark(w, 1, s.mark)) return false;
        } else if (key == "wait") {
            s.kind = StepKind::Wait;
            if (!Real(w, d, 0.0, 3600.0, {"s"})) return false;
            s.seconds = d;
        } else {  // back
            s.kind = StepKind::Back;
            s.mph = 3.0;
            if (w.size() < 3) return Fail("'back': '<n> axles' or '<feet> ft' expected");
            const std::string unit = Lower(w[2]);
            long long n = 0;
            if (unit == "axles" || unit == "axle") {
                if (!Integer(w[1], n, 1, 1000)) return Fail("'back': number of axles expected");
                s.backAxles = int(n);
            } else if (unit == "ft") {
                if (!Number(w[1], d) || d <= 0 || d > 10000.0) return Fail("'back': distance in feet expected");
                s.backFeet = d;
            } else {
                return Fail("'back': '<n> axles' or '<feet> ft' expected");
            }
            size_t at = 3;
            if (at < w.size()) {
                if (Lower(w[at]) != "at" || at + 1 >= w.size() || !Number(w[at + 1], d, {"mph"}) || d < 0.1 ||
                    d > 20.0)
                    return Fail("'back': 'at <mph>' (0.1-20) expected");
                s.mph = d;
                at += 2;
                if (at < w.size() && IsUnitWord(w[at], {"mph"})) ++at;
                if (at < w.size()) return Fail("unexpected '" + w[at] + "'");
            }
        }
        m_out.profile.push_back(s);
        return true;
    }

    bool Finish() {
        SiteFacts& s = m_out.site;
        if (m_abErrorGiven && m_headerAbGiven) {
            m_error = "ab_error and header_ab_spacing both given; use one";
            return false;
        }
        if (m_abErrorGiven) {
            const long v = std::lround(s.abTenths * (1.0 - m_abErrorPercent / 100.0));
            if (v < 1 || v > 255) {
                m_error = "ab_error gives a written AB spacing outside 1-255";
                return false;
            }
            s.headerAbTenths = int(v);
        }
        if (s.maskA & s.maskB) {
            m_error = "mask_a and mask_b share bits";
            return false;
        }
        if (s.presenceMask & (s.maskA | s.maskB)) {
            m_error = "presence_mask shares bits with a detector mask";
            return false;
        }
        if (m_out.vehicles.empty()) {
            m_error = "the description has no vehicles";
            return false;
        }
        if (s.fragments && s.splitAtS >= 0.0) {
            m_error = "line " + std::to_string(s.splitLine) + ": split and fragments cannot be combined";
            return false;
        }
        return true;
    }

    TrainDescription& m_out;
    std::string& m_error;
    int m_line = 0;
    bool m_headerAbGiven = false;
    bool m_abErrorGiven = false;
    double m_abErrorPercent = 0.0;
};

}  // namespace

VehicleSpec DefaultVehicle(VehicleKind kind) {
    VehicleSpec v;
    v.kind = kind;
    switch (kind) {
    case VehicleKind::Locomotive:
        v.egc = 5;
        v.axles = 6;
        v.lengthFt = 74.0;
        v.truckCentresFt = 52.0;
        v.axleSpacingFt = 7.0;
        v.weightTons = 200.0;
        break;
    case VehicleKind::Railcar:
        break;
    case VehicleKind::Articulated:
        v.platforms = 5;
        v.axles = 12;
        v.truckCentresFt = 64.0;
        v.lengthFt = 5 * 64.0 + 12.0;
        v.weightTons = 150.0;
        break;
    case VehicleKind::EndOfTrain:
        v.egc = 6;
        v.axles = 0;
        v.lengthFt = 0.0;
        v.truckCentresFt = 0.0;
        v.weightTons = 0.0;
        break;
    }
    return v;
}

bool ParseDescription(const std::string& text, TrainDescription& out, std::string& error) {
    out = TrainDescription{};
    error.clear();
    Parser p(out, error);
    return p.Run(text);
}

}  // namespace trainsim
