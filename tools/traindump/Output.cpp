#include "Output.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <string_view>
#include <unordered_map>
#include <cinttypes>
#include <cstring>

namespace traindump {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

bool InRange(const DumpOptions& o, size_t i) { return i >= o.firstRecord && i <= o.lastRecord; }

std::string TypeCodeText(const Analysis& a) {
    if (a.id.marker) return "marker";
    if (a.id.typeCode == 0) return "unknown";
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%03x", unsigned(a.id.typeCode));
    return buf;
}

size_t ProblemCount(const Analysis& a) { return a.problems.size(); }

// Output is composed a line (text) or a record (JSON) at a time in a buffer
// and written in one call.
class Buffer {
public:
    explicit Buffer(FILE* out) : m_out(out) {}
    ~Buffer() { Flush(); }
    Buffer& operator<<(std::string_view s) {
        m_text.append(s);
        return *this;
    }
    Buffer& operator<<(char c) {
        m_text.push_back(c);
        return *this;
    }
    Buffer& Num(int64_t v) {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        m_text.append(buf, r.ptr);
        return *this;
    }
    Buffer& Real(double v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", v);
        m_text.append(buf);
        return *this;
    }
    Buffer& Hex(uint32_t v, unsigned digits) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%0*x", int(digits), v);
        m_text.append(buf);
        return *this;
    }
    void Flush() {
        if (m_text.empty()) return;
        std::fwrite(m_text.data(), 1, m_text.size(), m_out);
        m_text.clear();
    }

private:
    FILE* m_out;
    std::string m_text;
};

// ---------------------------------------------------------------------------
// Text

class TextWriter final : public Writer {
public:
    explicit TextWriter(FILE* out) : m_out(out), m_buf(out) {}

    void File(const LoadedFile& f, const Analysis& a, const DumpOptions& o) override {
        if (!o.records) return Findings(f, a, true);
        m_buf << "== " << f.name << " (";
        m_buf.Num(int64_t(f.bytes.size())) << " bytes)\ntype: " << a.id.text << '\n';
        if (!a.id.marker && !f.bytes.empty()) {
            m_buf << "layout: " << KindName(a.kind) << '\n';
            Header(DecodeHeader(f, a), o);
            if (a.headerBytes == 64) {
                m_buf << "records: ";
                m_buf.Num(a.countField) << " counted, ";
                m_buf.Num(int64_t(a.records.size())) << " present";
                if (a.recordSize) {
                    m_buf << ", ";
                    m_buf.Num(int64_t(a.recordSize)) << " bytes each";
                }
                m_buf << '\n';
            }
            for (size_t i = std::min(o.firstRecord, a.records.size()); i < a.records.size() && InRange(o, i); ++i) {
                ItemLine(DecodeRecord(f, a, i), o, 0);
                m_buf.Flush();
            }
            const auto rest = TrailingBytes(f, a);
            if (!rest.empty()) {
                m_buf << "trailing bytes @";
                m_buf.Num(int64_t(f.bytes.size() - rest.size())) << " (";
                m_buf.Num(int64_t(rest.size())) << "):\n";
                HexLines(rest, 1);
            }
        }
        Findings(f, a, false);
        m_buf << '\n';
        m_buf.Flush();
    }

    void Unreadable(const LoadedFile& f) override {
        m_buf << f.name << ": " << f.readError << '\n';
        m_buf.Flush();
    }

    void BeginTrain(const std::string& base, const std::vector<const LoadedFile*>& files,
                    const std::vector<const Analysis*>& found, const std::vector<std::string>& skipped) override {
        m_buf.Flush();
        std::fprintf(m_out, "train %s: %zu file%s\n", base.c_str(), files.size(), files.size() == 1 ? "" : "s");
        size_t width = 0;
        for (const LoadedFile* f : files) width = std::max(width, f->name.size());
        for (size_t i = 0; i < files.size(); ++i) {
            const LoadedFile& f = *files[i];
            if (!f.Readable()) {
                std::fprintf(m_out, "  %-*s  %s\n", int(width), f.name.c_str(), f.readError.c_str());
                continue;
            }
            const Analysis& a = *found[i];
            const size_t r = a.records.size();
            std::string records = a.id.marker ? "" : std::to_string(r) + (r == 1 ? " record" : " records");
            const size_t n = ProblemCount(a);
            std::string state = n == 0 ? "clean" : std::to_string(n) + (n == 1 ? " problem" : " problems");
            std::fprintf(m_out, "  %-*s  %-7s %-22s %13s  %-21s %s\n", int(width), f.name.c_str(),
                         TypeCodeText(a).c_str(), a.id.marker ? "marker file" : KindName(a.kind), records.c_str(),
                         TimeSpanText(a).c_str(), state.c_str());
            for (const Problem& p : a.problems) std::fprintf(m_out, "      %s: %s\n", p.kind.c_str(), p.text.c_str());
        }
        if (!skipped.empty()) {
            std::fprintf(m_out, "  passed over:");
            for (const std::string& s : skipped) std::fprintf(m_out, " %s", s.c_str());
            std::fputc('\n', m_out);
        }
        std::fputc('\n', m_out);
    }

    void EndTrain() override {}

private:
    void Findings(const LoadedFile& f, const Analysis& a, bool titled) {
        const size_t n = a.problems.size();
        if (titled) {
            m_buf << f.name << ": ";
            if (n == 0)
                m_buf << "clean\n";
            else
                m_buf.Num(int64_t(n)) << (n == 1 ? " problem\n" : " problems\n");
        } else if (n == 0) {
            m_buf << "problems: none\n";
        } else {
            m_buf << "problems (";
            m_buf.Num(int64_t(n)) << "):\n";
        }
        for (const Problem& p : a.problems) m_buf << "  " << p.kind << ": " << p.text << '\n';
        for (const std::string& note : a.notes) m_buf << "  note: " << note << '\n';
        m_buf.Flush();
    }

    void Raw(const FieldValue& fv) {
        if (!fv.present) {
            m_buf << "(missing)";
            return;
        }
        m_buf.Num(fv.raw);
        if (fv.raw >= 10) {
            m_buf << " (";
            m_buf.Hex(fv.raw, fv.width * 2) << ')';
        }
    }

    void DecodedValue(const Value& v) {
        switch (v.type) {
            case Value::Type::Int: m_buf.Num(v.i); break;
            case Value::Type::Real: m_buf.Real(v.d); break;
            case Value::Type::Text: m_buf << v.s; break;
        }
    }

    void Header(const Item& h, const DumpOptions& o) {
        m_buf << "header:\n";
        auto at = [&](size_t offset) {
            m_buf << "  @";
            m_buf.Num(int64_t(offset));
            if (offset < 10) m_buf << ' ';
            m_buf << ' ';
        };
        for (const FieldValue& fv : h.fields) {
            at(fv.offset);
            m_buf << fv.name << " = ";
            Raw(fv);
            m_buf << '\n';
        }
        for (const Area& ar : h.areas) {
            at(ar.offset);
            m_buf << ar.name << ": " << HexBytes(ar.bytes) << '\n';
        }
        if (!h.decoded.empty()) {
            m_buf << "  decoded: ";
            for (size_t i = 0; i < h.decoded.size(); ++i) {
                m_buf << (i ? "; " : "") << h.decoded[i].key << ": ";
                DecodedValue(h.decoded[i]);
            }
            m_buf << '\n';
        }
        for (const std::string& n : h.notes) m_buf << "  note: " << n << '\n';
        if (o.hex) HexLines(h.bytes, 1);
    }

    void ItemLine(const Item& it, const DumpOptions& o, int depth) {
        for (int d = 0; d < depth; ++d) m_buf << "    ";
        m_buf << it.label << ' ';
        if (it.index >= 0) m_buf.Num(it.index) << ' ';
        m_buf << '@';
        m_buf.Num(int64_t(it.fileOffset)) << ':';
        const char* sep = " ";
        for (const FieldValue& fv : it.fields) {
            if (!FieldWanted(o, fv.name)) continue;
            m_buf << sep << fv.name << " = ";
            Raw(fv);
            sep = "; ";
        }
        for (const Area& ar : it.areas) {
            if (!FieldWanted(o, ar.name)) continue;
            m_buf << sep << ar.name << ": " << HexBytes(ar.bytes);
            sep = "; ";
        }
        bool first = true;
        for (const Value& v : it.decoded) {
            if (!FieldWanted(o, v.key)) continue;
            m_buf << (first ? " | " : "; ") << v.key << ": ";
            DecodedValue(v);
            first = false;
        }
        for (const std::string& n : it.notes) m_buf << " (" << n << ')';
        m_buf << '\n';
        if (o.hex) HexLines(it.bytes, depth + 1);
        for (const Item& p : it.parts) ItemLine(p, o, depth + 1);
    }

    void HexLines(std::span<const uint8_t> bytes, int depth) {
        for (size_t at = 0; at < bytes.size(); at += 16) {
            for (int d = 0; d < depth; ++d) m_buf << "    ";
            char offset[24];
            std::snprintf(offset, sizeof offset, "+%04zx  ", at);
            m_buf << offset << HexBytes(bytes.subspan(at, std::min<size_t>(16, bytes.size() - at))) << '\n';
        }
    }

    FILE* m_out;
    Buffer m_buf;
};

// ---------------------------------------------------------------------------
// JSON

using Json = nlohmann::ordered_json;

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A JSON string of any bytes, escaped by the JSON library (bytes that are no
// UTF-8 become U+FFFD).
std::string Quoted(std::string_view s) { return Dump(Json(std::string(s))); }

// The same for the static names of the layout tables and the decoder,
// escaped once each.
const std::string& QuotedName(const char* name) {
    static std::unordered_map<const char*, std::string> cache;
    auto it = cache.find(name);
    if (it == cache.end()) it = cache.emplace(name, Quoted(name)).first;
    return it->second;
}

Json IdentificationJson(const Analysis& a) {
    Json j;
    j["identified"] = a.id.identified;
    j["by_header"] = a.id.byHeader;
    j["marker"] = a.id.marker;
    j["type_code"] = a.id.typeCode;
    j["type"] = TypeCodeText(a);
    j["extension"] = a.id.extension;
    j["text"] = a.id.text;
    return j;
}

Json SummaryJson(const Analysis& a) {
    Json j;
    j["layout"] = KindName(a.kind);
    j["records"] = a.records.size();
    j["count_field"] = a.countField;
    j["first_ms"] = a.firstMs ? Json(*a.firstMs) : Json(nullptr);
    j["last_ms"] = a.lastMs ? Json(*a.lastMs) : Json(nullptr);
    return j;
}

class JsonWriter final : public Writer {
public:
    explicit JsonWriter(FILE* out) : m_buf(out) {}

    void File(const LoadedFile& f, const Analysis& a, const DumpOptions& o) override {
        Separator();
        Json head;
        head["file"] = f.name;
        head["size"] = f.bytes.size();
        head["identification"] = IdentificationJson(a);
        head["summary"] = SummaryJson(a);
        std::string text = Dump(head);
        text.pop_back();  // the object stays open for the records and findings
        m_buf << text;
        if (o.records && !a.id.marker && !f.bytes.empty()) {
            m_buf << ",\"header\":";
            ItemJson(DecodeHeader(f, a), o, false);
            m_buf << ",\"records\":[";
            bool first = true;
            for (size_t i = std::min(o.firstRecord, a.records.size()); i < a.records.size() && InRange(o, i); ++i) {
                m_buf << (first ? "\n" : ",\n");
                ItemJson(DecodeRecord(f, a, i), o, true);
                m_buf.Flush();
                first = false;
            }
            m_buf << ']';
            const auto rest = TrailingBytes(f, a);
            if (!rest.empty()) {
                m_buf << ",\"trailing\":{\"offset\":";
                m_buf.Num(int64_t(f.bytes.size() - rest.size())) << ",\"hex\":\"" << HexBytes(rest) << "\"}";
            }
        }
        Json problems = Json::array();
        for (const Problem& p : a.problems) problems.push_back({{"kind", p.kind}, {"text", p.text}});
        m_buf << ",\"problems\":" << Dump(problems) << ",\"notes\":" << Dump(Json(a.notes)) << '}';
        if (!m_inTrain) m_buf << '\n';
        m_buf.Flush();
    }

    void Unreadable(const LoadedFile& f) override {
        Separator();
        m_buf << Dump(Json{{"file", f.name}, {"error", f.readError}});
        if (!m_inTrain) m_buf << '\n';
        m_buf.Flush();
    }

    void BeginTrain(const std::string& base, const std::vector<const LoadedFile*>&, const std::vector<const Analysis*>&,
                    const std::vector<std::string>& skipped) override {
        m_buf << "{\"train\":" << Quoted(base) << ",\"skipped\":" << Dump(Json(skipped)) << ",\"files\":[";
        m_inTrain = true;
        m_first = true;
    }

    void EndTrain() override {
        m_buf << "\n]}\n";
        m_buf.Flush();
        m_inTrain = false;
    }

private:
    void Separator() {
        if (!m_inTrain) return;
        m_buf << (m_first ? "\n" : ",\n");
        m_first = false;
    }

    void Value(const traindump::Value& v) {
        switch (v.type) {
            case Value::Type::Int: m_buf.Num(v.i); break;
            case Value::Type::Real: m_buf << Dump(Json(v.d)); break;
            case Value::Type::Text: m_buf << Quoted(v.s); break;
        }
    }

    // One item as an object: label, index, offset, size, fields by name,
    // decoded values, areas, notes, hex and parts.
    void ItemJson(const Item& it, const DumpOptions& o, bool filter) {
        m_buf << "{\"label\":" << QuotedName(it.label);
        if (it.index >= 0) m_buf << ",\"index\":", m_buf.Num(it.index);
        m_buf << ",\"offset\":";
        m_buf.Num(int64_t(it.fileOffset)) << ",\"size\":";
        m_buf.Num(int64_t(it.bytes.size())) << ",\"fields\":{";
        const char* sep = "";
        for (const FieldValue& fv : it.fields) {
            if (filter && !FieldWanted(o, fv.name)) continue;
            m_buf << sep << QuotedName(fv.name) << ":{\"offset\":";
            m_buf.Num(int64_t(fv.offset)) << ",\"width\":";
            m_buf.Num(fv.width) << ",\"value\":";
            if (fv.present)
                m_buf.Num(fv.raw);
            else
                m_buf << "null";
            m_buf << '}';
            sep = ",";
        }
        m_buf << "},\"decoded\":{";
        sep = "";
        for (const traindump::Value& v : it.decoded) {
            if (filter && !FieldWanted(o, v.key)) continue;
            m_buf << sep << QuotedName(v.key) << ':';
            Value(v);
            sep = ",";
        }
        m_buf << '}';
        if (!it.areas.empty()) {
            m_buf << ",\"areas\":[";
            sep = "";
            for (const Area& ar : it.areas) {
                if (filter && !FieldWanted(o, ar.name)) continue;
                m_buf << sep << "{\"name\":" << Quoted(ar.name) << ",\"offset\":";
                m_buf.Num(int64_t(ar.offset)) << ",\"hex\":\"" << HexBytes(ar.bytes) << "\"}";
                sep = ",";
            }
            m_buf << ']';
        }
        if (!it.notes.empty()) m_buf << ",\"notes\":" << Dump(Json(it.notes));
        if (o.hex) m_buf << ",\"hex\":\"" << HexBytes(it.bytes) << '"';
        if (!it.parts.empty()) {
            m_buf << ",\"parts\":[";
            sep = "";
            for (const Item& p : it.parts) {
                m_buf << sep;
                ItemJson(p, o, filter);
                sep = ",";
            }
            m_buf << ']';
        }
        m_buf << '}';
    }

    Buffer m_buf;
    bool m_inTrain = false;
    bool m_first = true;
};

}  // namespace

bool FieldWanted(const DumpOptions& o, std::string_view name) {
    if (o.fields.empty()) return true;
    const std::string n = Lower(std::string(name));
    return std::any_of(o.fields.begin(), o.fields.end(),
                       [&](const std::string& f) { return n.find(Lower(f)) != std::string::npos; });
}

std::unique_ptr<Writer> MakeTextWriter(FILE* out) { return std::make_unique<TextWriter>(out); }
std::unique_ptr<Writer> MakeJsonWriter(FILE* out) { return std::make_unique<JsonWriter>(out); }

std::string TimeSpanText(const Analysis& a) {
    if (!a.firstMs || !a.lastMs) return "-";
    return std::to_string(*a.firstMs) + "-" + std::to_string(*a.lastMs) + " ms";
}

}  // namespace traindump
