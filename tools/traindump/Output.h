// Writing what the file walk found: as text for people or as JSON for scripts.
// Both stream: each record is written as soon as it is decoded, so a large
// file never sits in memory twice.
#pragma once

#include "FileWalk.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace traindump {

struct DumpOptions {
    bool hex = false;        // raw bytes under each record
    bool records = true;     // the header and the records, not only the findings
    size_t firstRecord = 0;  // --records=N-M
    size_t lastRecord = SIZE_MAX;
    std::vector<std::string> fields;  // --fields: names (or parts of names) to keep; empty keeps all
};

// True when the field or decoded value of that name is to be shown.
bool FieldWanted(const DumpOptions& o, std::string_view name);

class Writer {
public:
    virtual ~Writer() = default;
    // One file: what was found, then (when the options ask) its dump.
    virtual void File(const LoadedFile& f, const Analysis& a, const DumpOptions& o) = 0;
    // A file that could not be read at all.
    virtual void Unreadable(const LoadedFile& f) = 0;
    // A train's summary: its files and what was found in each.
    virtual void BeginTrain(const std::string& base, const std::vector<const LoadedFile*>& files,
                            const std::vector<const Analysis*>& found, const std::vector<std::string>& skipped) = 0;
    virtual void EndTrain() = 0;
};

// Text for people; findings only (the check) when o.records is false.
std::unique_ptr<Writer> MakeTextWriter(FILE* out);
// JSON: one object per file (a stream of objects), or one object for a train
// whose "files" array holds the files' objects.
std::unique_ptr<Writer> MakeJsonWriter(FILE* out);

// One line of a file's span and type for the train summary.
std::string TimeSpanText(const Analysis& a);

}  // namespace traindump
