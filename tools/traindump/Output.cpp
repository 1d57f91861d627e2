#include "Output.h"

#include <nlohmann/json.hpp>

#include <algorithm>
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

// ---------------------------------------------------------------------------
// Text

class TextWriter final : public Writer {
public:
    explicit TextWriter(FILE* out) : m_out(out) {}

    void File(const LoadedFile& f, const Analysis& a, const DumpOptions& o) override {
        if (!o.records) return Findings(f, a, true);
        std::fprintf(m_out, "== %s (%zu bytes)\n", f.name.c_str(), f.bytes.size());
        std::fprintf(m_out, "type: %s\n", a.id.text.c_str());
        if (!a.id.marker && !f.bytes.empty()) {
            std::fprintf(m_out, "layout: %s\n", KindName(a.kind));
            Header(DecodeHeader(f, a), o);
            if (a.headerBytes == 64) {
                std::fprintf(m_out, "records: %u counted, %zu present", a.countField, a.records.size());
                if (a.recordSize) std::fprintf(m_out, ", %zu bytes each", a.recordSize);
                std::fputc('\n', m_out);
            }
            for (size_t i = std::min(o.firstRecord, a.records.size()); i < a.records.size() && InRange(o, i); ++i)
                ItemLine(DecodeRecord(f, a, i), o, 0);
            const auto rest = TrailingBytes(f, a);
            if (!rest.empty()) {
                std::fprintf(m_out, "trailing bytes @%zu (%zu):\n", f.bytes.size() - rest.size(), rest.size());
                HexLines(rest, 1);
            }
        }
        Findings(f, a, false);
        std::fputc('\n', m_out);
    }

    void Unreadable(const LoadedFile& f) override {
        std::fprintf(m_out, "%s: %s\n", f.name.c_str(), f.readError.c_str());
    }

    void BeginTrain(const std::string& base, const std::vector<const LoadedFile*>& files,
                    const std::vector<const Analysis*>& found, const std::vector<std::string>& skipped) override {
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
            std::string records = a.id.marker ? "" : std::to_string(a.records.size()) + " records";
            const size_t n = ProblemCount(a);
            std::string state = n == 0 ? "clean" : std::to_string(n) + (n == 1 ? " problem" : " problems");
            std::fprintf(m_out, "  %-*s  %-7s %-22s %13s  %-21s %s\n", int(width), f.name.c_str(),
                         TypeCodeText(a).c_str(), a.id.marker ? "marker file" : KindName(a.kind), records.c_str(),
                         TimeSpanText(a).c_str(), state.c_str());
            for (const Problem& p : a.problems) std::fprintf(m_out, "      %s: %s\n", p.kind.c_str(), p.text.c_str());
        }
        if (!skipped.empty()) {
            std::fprintf(m_out, "  not train data file names:");
            for (const std::string& s : skipped) std::fprintf(m_out, " %s", s.c_str());
            std::fputc('\n', m_out);
        }
        std::fputc('\n', m_out);
    }

    void EndTrain() override {}

private:
    void Findings(const LoadedFile& f, const Analysis& a, bool titled) {
        if (titled) {
            if (a.problems.empty())
                std::fprintf(m_out, "%s: clean\n", f.name.c_str());
            else
                std::fprintf(m_out, "%s: %zu problem%s\n", f.name.c_str(), a.problems.size(),
                             a.problems.size() == 1 ? "" : "s");
        } else if (a.problems.empty()) {
            std::fprintf(m_out, "problems: none\n");
        } else {
            std::fprintf(m_out, "problems (%zu):\n", a.problems.size());
        }
        for (const Problem& p : a.problems) std::fprintf(m_out, "  %s: %s\n", p.kind.c_str(), p.text.c_str());
        for (const std::string& n : a.notes) std::fprintf(m_out, "  note: %s\n", n.c_str());
    }

    void Raw(uint32_t v, unsigned width) {
        if (v < 10)
            std::fprintf(m_out, "%u", v);
        else
            std::fprintf(m_out, "%u (0x%0*x)", v, int(width * 2), v);
    }

    void DecodedValue(const Value& v) {
        switch (v.type) {
            case Value::Type::Int: std::fprintf(m_out, "%" PRId64, v.i); break;
            case Value::Type::Real: std::fprintf(m_out, "%g", v.d); break;
            case Value::Type::Text: std::fputs(v.s.c_str(), m_out); break;
        }
    }

    void Header(const Item& h, const DumpOptions& o) {
        std::fprintf(m_out, "header:\n");
        for (const FieldValue& fv : h.fields) {
            std::fprintf(m_out, "  @%-2zu %s = ", fv.offset, fv.name.c_str());
            if (fv.present)
                Raw(fv.raw, fv.width);
            else
                std::fputs("(missing)", m_out);
            std::fputc('\n', m_out);
        }
        for (const Area& ar : h.areas)
            std::fprintf(m_out, "  @%-2zu %s: %s\n", ar.offset, ar.name.c_str(), HexBytes(ar.bytes).c_str());
        if (!h.decoded.empty()) {
            std::fprintf(m_out, "  decoded: ");
            for (size_t i = 0; i < h.decoded.size(); ++i) {
                std::fprintf(m_out, "%s%s: ", i ? "; " : "", h.decoded[i].key.c_str());
                DecodedValue(h.decoded[i]);
            }
            std::fputc('\n', m_out);
        }
        for (const std::string& n : h.notes) std::fprintf(m_out, "  note: %s\n", n.c_str());
        if (o.hex) HexLines(h.bytes, 1);
    }

    void ItemLine(const Item& it, const DumpOptions& o, int depth) {
        for (int d = 0; d < depth; ++d) std::fputs("    ", m_out);
        if (it.index >= 0)
            std::fprintf(m_out, "%s %d @%zu:", it.label.c_str(), it.index, it.fileOffset);
        else
            std::fprintf(m_out, "%s @%zu:", it.label.c_str(), it.fileOffset);
        const char* sep = " ";
        for (const FieldValue& fv : it.fields) {
            if (!FieldWanted(o, fv.name)) continue;
            std::fprintf(m_out, "%s%s = ", sep, fv.name.c_str());
            if (fv.present)
                Raw(fv.raw, fv.width);
            else
                std::fputs("(missing)", m_out);
            sep = "; ";
        }
        for (const Area& ar : it.areas) {
            if (!FieldWanted(o, ar.name)) continue;
            std::fprintf(m_out, "%s%s: %s", sep, ar.name.c_str(), HexBytes(ar.bytes).c_str());
            sep = "; ";
        }
        bool first = true;
        for (const Value& v : it.decoded) {
            if (!FieldWanted(o, v.key)) continue;
            std::fprintf(m_out, "%s%s: ", first ? " | " : "; ", v.key.c_str());
            DecodedValue(v);
            first = false;
        }
        for (const std::string& n : it.notes) std::fprintf(m_out, " (%s)", n.c_str());
        std::fputc('\n', m_out);
        if (o.hex) HexLines(it.bytes, depth + 1);
        for (const Item& p : it.parts) ItemLine(p, o, depth + 1);
    }

    void HexLines(std::span<const uint8_t> bytes, int depth) {
        for (size_t at = 0; at < bytes.size(); at += 16) {
            for (int d = 0; d < depth; ++d) std::fputs("    ", m_out);
            std::fprintf(m_out, "+%04zx  %s\n", at, HexBytes(bytes.subspan(at, std::min<size_t>(16, bytes.size() - at))).c_str());
        }
    }

    FILE* m_out;
};

// ---------------------------------------------------------------------------
// JSON

using Json = nlohmann::ordered_json;

Json ValueJson(const Value& v) {
    switch (v.type) {
        case Value::Type::Int: return v.i;
        case Value::Type::Real: return v.d;
        case Value::Type::Text: return v.s;
    }
    return nullptr;
}

Json ItemJson(const Item& it, const DumpOptions& o, bool filter) {
    Json j;
    j["label"] = it.label;
    if (it.index >= 0) j["index"] = it.index;
    j["offset"] = it.fileOffset;
    j["size"] = it.bytes.size();
    Json fields = Json::object();
    for (const FieldValue& fv : it.fields) {
        if (filter && !FieldWanted(o, fv.name)) continue;
        fields[fv.name] = fv.present ? Json{{"offset", fv.offset}, {"width", fv.width}, {"value", fv.raw}}
                                     : Json{{"offset", fv.offset}, {"width", fv.width}, {"value", nullptr}};
    }
    j["fields"] = std::move(fields);
    Json decoded = Json::object();
    for (const Value& v : it.decoded)
        if (!filter || FieldWanted(o, v.key)) decoded[v.key] = ValueJson(v);
    j["decoded"] = std::move(decoded);
    if (!it.areas.empty()) {
        Json areas = Json::array();
        for (const Area& ar : it.areas)
            if (!filter || FieldWanted(o, ar.name))
                areas.push_back({{"name", ar.name}, {"offset", ar.offset}, {"hex", HexBytes(ar.bytes)}});
        j["areas"] = std::move(areas);
    }
    if (!it.notes.empty()) j["notes"] = it.notes;
    if (o.hex) j["hex"] = HexBytes(it.bytes);
    if (!it.parts.empty()) {
        Json parts = Json::array();
        for (const Item& p : it.parts) parts.push_back(ItemJson(p, o, filter));
        j["parts"] = std::move(parts);
    }
    return j;
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

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

class JsonWriter final : public Writer {
public:
    explicit JsonWriter(FILE* out) : m_out(out) {}

    void File(const LoadedFile& f, const Analysis& a, const DumpOptions& o) override {
        Separator();
        Json head;
        head["file"] = f.name;
        head["size"] = f.bytes.size();
        head["identification"] = IdentificationJson(a);
        head["summary"] = SummaryJson(a);
        std::string text = Dump(head);
        text.pop_back();  // the object stays open for the records and findings
        std::fputs(text.c_str(), m_out);
        if (o.records && !a.id.marker && !f.bytes.empty()) {
            std::fprintf(m_out, ",\"header\":%s,\"records\":[", Dump(ItemJson(DecodeHeader(f, a), o, false)).c_str());
            bool first = true;
            for (size_t i = std::min(o.firstRecord, a.records.size()); i < a.records.size() && InRange(o, i); ++i) {
                std::fprintf(m_out, "%s\n%s", first ? "" : ",", Dump(ItemJson(DecodeRecord(f, a, i), o, true)).c_str());
                first = false;
            }
            std::fputs("]", m_out);
            const auto rest = TrailingBytes(f, a);
            if (!rest.empty())
                std::fprintf(m_out, ",\"trailing\":{\"offset\":%zu,\"hex\":\"%s\"}", f.bytes.size() - rest.size(),
                             HexBytes(rest).c_str());
        }
        Json problems = Json::array();
        for (const Problem& p : a.problems) problems.push_back({{"kind", p.kind}, {"text", p.text}});
        std::fprintf(m_out, ",\"problems\":%s,\"notes\":%s}", Dump(problems).c_str(), Dump(Json(a.notes)).c_str());
        if (!m_inTrain) std::fputc('\n', m_out);
    }

    void Unreadable(const LoadedFile& f) override {
        Separator();
        std::fputs(Dump(Json{{"file", f.name}, {"error", f.readError}}).c_str(), m_out);
        if (!m_inTrain) std::fputc('\n', m_out);
    }

    void BeginTrain(const std::string& base, const std::vector<const LoadedFile*>&, const std::vector<const Analysis*>&,
                    const std::vector<std::string>& skipped) override {
        std::fprintf(m_out, "{\"train\":%s,\"skipped\":%s,\"files\":[", Dump(Json(base)).c_str(),
                     Dump(Json(skipped)).c_str());
        m_inTrain = true;
        m_first = true;
    }

    void EndTrain() override {
        std::fputs("\n]}\n", m_out);
        m_inTrain = false;
    }

private:
    void Separator() {
        if (!m_inTrain) return;
        std::fputs(m_first ? "\n" : ",\n", m_out);
        m_first = false;
    }

    FILE* m_out;
    bool m_inTrain = false;
    bool m_first = true;
};

}  // namespace

bool FieldWanted(const DumpOptions& o, const std::string& name) {
    if (o.fields.empty()) return true;
    const std::string n = Lower(name);
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
