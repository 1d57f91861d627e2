#include "Traindump.h"

#include "BuildStamp.h"
#include "FileWalk.h"
#include "Output.h"
#include "Platform.h"

#include <charconv>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace traindump {

namespace {

struct CommandLine {
    bool json = false, check = false, all = false, help = false;
    DumpOptions dump;
    std::vector<std::string> names;
    std::string error;
};

bool ParseNumber(std::string_view s, size_t& out) {
    if (s.empty()) return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

// "N", "N-M", "N-" or "-M": record numbers counted from 0.
bool ParseRange(std::string_view s, DumpOptions& o) {
    const size_t dash = s.find('-');
    if (dash == std::string_view::npos) {
        if (!ParseNumber(s, o.firstRecord)) return false;
        o.lastRecord = o.firstRecord;
        return true;
    }
    const std::string_view a = s.substr(0, dash), b = s.substr(dash + 1);
    if (a.empty() && b.empty()) return false;
    if (!a.empty() && !ParseNumber(a, o.firstRecord)) return false;
    if (!b.empty() && !ParseNumber(b, o.lastRecord)) return false;
    return o.firstRecord <= o.lastRecord;
}

CommandLine Parse(int argc, char** argv) {
    CommandLine c;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (optionsEnd || arg.size() < 2 || arg.substr(0, 2) != "--") {
            if (arg == "-h") {
                c.help = true;
                continue;
            }
            c.names.emplace_back(arg);
            continue;
        }
        if (arg == "--") optionsEnd = true;
        else if (arg == "--json") c.json = true;
        else if (arg == "--check") c.check = true;
        else if (arg == "--all") c.all = true;
        else if (arg == "--hex") c.dump.hex = true;
        else if (arg == "--help") c.help = true;
        else if (arg.substr(0, 10) == "--records=") {
            if (!ParseRange(arg.substr(10), c.dump))
                c.error = "--records wants N, N-M, N- or -M (record numbers from 0, N not above M)";
        } else if (arg.substr(0, 9) == "--fields=") {
            std::string_view list = arg.substr(9);
            while (!list.empty()) {
                const size_t comma = list.find(',');
                const std::string_view name = list.substr(0, comma);
                if (!name.empty()) c.dump.fields.emplace_back(name);
                if (comma == std::string_view::npos) break;
                list.remove_prefix(comma + 1);
            }
            if (c.dump.fields.empty()) c.error = "--fields wants a list of names, such as --fields=time,speed";
        } else {
            c.error = "unknown option " + std::string(arg);
        }
    }
    if (c.error.empty() && !c.help && c.names.empty()) c.error = "no file or train named";
    return c;
}

void Usage(FILE* f) {
    std::fprintf(f,
                 "traindump, built %s\n"
                 "Shows what is inside train data files and checks a train's files for damage.\n"
                 "Nothing is changed.\n"
                 "\n"
                 "usage: traindump [options] FILE...       dump each file: header and every record\n"
                 "       traindump [options] BASE...       list the files of each train BASE (no extension)\n"
                 "\n"
                 "  --all          with BASE: dump every file of the train after the list\n"
                 "  --check        report only the damage found: counts and lengths that disagree with\n"
                 "                 the data, partial records, consist, digitizer and correlation walks\n"
                 "                 that stop early, records out of time order, allocations overlapping\n"
                 "                 or outside the .010, tag text that does not decode, files the type\n"
                 "                 table does not identify\n"
                 "  --json         the same content as JSON: one object per file (with BASE one object\n"
                 "                 whose \"files\" array holds them)\n"
                 "  --hex          each record's raw bytes under its decoded line\n"
                 "  --records=N-M  only records N to M (from 0; also N, N- and -M)\n"
                 "  --fields=a,b   only the fields and values whose names contain one of these words\n"
                 "\n"
                 "exit status: 0 done (with --check: nothing found), 1 --check found damage,\n"
                 "             2 usage error or a file that cannot be read\n",
                 plat::BuildTimestamp().c_str());
}

bool HasExtension(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    const size_t dot = name.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

// A train file name: a dot and three characters after the base.
bool IsTrainFileName(const std::string& name, size_t baseLength) {
    return name.size() == baseLength + 4 && name[baseLength] == '.';
}

int RunTrain(const CommandLine& c, const std::string& base, Writer& w, FILE* err) {
    plat::FindFiles search;
    if (!search.FindFirst(base + ".*")) {
        std::fprintf(err, "traindump: no files of the train %s\n", base.c_str());
        return kExitTrouble;
    }
    const size_t slash = base.find_last_of("/\\");
    const size_t baseLength = base.size() - (slash == std::string::npos ? 0 : slash + 1);
    std::vector<std::unique_ptr<LoadedFile>> files;
    std::vector<std::string> skipped;
    do {
        if (search.IsDirectoryEntry() || !IsTrainFileName(search.Name(), baseLength)) {
            skipped.push_back(search.Name());
            continue;
        }
        files.push_back(std::make_unique<LoadedFile>(LoadFile(search.Directory() + search.Name())));
    } while (search.FindNext());

    std::vector<Analysis> found(files.size());
    std::vector<const LoadedFile*> fileList;
    std::vector<const Analysis*> foundList;
    bool unreadable = false, damage = false;
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i]->Readable())
            found[i] = Analyze(*files[i], ContextFor(files[i]->name));
        else
            unreadable = true;
        damage = damage || !found[i].problems.empty();
        fileList.push_back(files[i].get());
        foundList.push_back(&found[i]);
    }
    DumpOptions o = c.dump;
    o.records = c.all && !c.check;
    w.BeginTrain(base, fileList, foundList, skipped);
    if (c.json || o.records) {
        for (size_t i = 0; i < files.size(); ++i) {
            if (files[i]->Readable())
                w.File(*files[i], found[i], o);
            else
                w.Unreadable(*files[i]);
        }
    }
    w.EndTrain();
    if (unreadable) return kExitTrouble;
    return c.check && damage ? kExitFound : kExitClean;
}

}  // namespace

int Run(int argc, char** argv, FILE* out, FILE* err) {
    const CommandLine c = Parse(argc, argv);
    if (c.help) {
        Usage(out);
        return kExitClean;
    }
    if (!c.error.empty()) {
        std::fprintf(err, "traindump: %s\n\n", c.error.c_str());
        Usage(err);
        return kExitTrouble;
    }
    std::unique_ptr<Writer> w = c.json ? MakeJsonWriter(out) : MakeTextWriter(out);

    DumpOptions o = c.dump;
    o.records = !c.check;
    bool unreadable = false, damage = false;
    for (const std::string& name : c.names) {
        // A name without an extension names a train, unless a file of that
        // very name exists.
        if (!HasExtension(name) && !plat::FileExists(name)) {
            const int status = RunTrain(c, name, *w, err);
            unreadable = unreadable || status == kExitTrouble;
            damage = damage || status == kExitFound;
            std::fflush(out);
            continue;
        }
        LoadedFile f = LoadFile(name);
        if (!f.Readable()) {
            std::fprintf(err, "traindump: %s: %s\n", name.c_str(), f.readError.c_str());
            if (c.json) w->Unreadable(f);
            unreadable = true;
            continue;
        }
        const Analysis a = Analyze(f, ContextFor(name));
        damage = damage || !a.problems.empty();
        w->File(f, a, o);
        std::fflush(out);
    }
    if (unreadable) return kExitTrouble;
    return c.check && damage ? kExitFound : kExitClean;
}

}  // namespace traindump
