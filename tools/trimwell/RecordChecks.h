// Checks the Trimwell operations make before they walk a file's records.
#pragma once

#include "TrainFile.h"

#include <cmath>
#include <initializer_list>
#include <cstdio>
#include <string>

// True when a loaded file holds records of exactly the given length. A file
// whose record length is another one (0 above all, which would keep the
// cursor on record 0) cannot be walked record by record.
inline bool HasRecordsOf(const CTrainFile& f, unsigned length) {
    return f.IsLoaded() && f.GetCount() > 0 && f.GetRecordLength() == length;
}

// The same for files whose records may be longer than the fields read.
inline bool HasRecordsOfAtLeast(const CTrainFile& f, unsigned length) {
    return f.IsLoaded() && f.GetCount() > 0 && f.GetRecordLength() >= length;
}

// True when the file's raw times convert to milliseconds: a time scale of
// 0, a negative one or one that is no number would make every conversion
// from milliseconds meaningless.
inline bool HasUsableTimeScale(const CTrainFile& f) {
    const float s = f.GetTimeScale();
    return std::isfinite(s) && s > 0.0f;
}

// Loads the files of a train an operation walks, each by its type's Load,
// and checks that each holds records of a usable length: exactly its
// type's, or at least it for the .012 (`atLeast`). False when one cannot be
// loaded or holds no records, and, when every file has records but one of
// them a record length that cannot be walked, after saying so.
struct WalkedFile {
    CTrainFile& file;
    unsigned length;
    bool atLeast = false;
};
inline bool LoadWalkedFiles(const std::string& base, std::initializer_list<WalkedFile> files, FILE* out) {
    bool usable = true, counted = true;
    for (const WalkedFile& w : files) {
        if (!w.file.Load(base.c_str())) return false;
        counted = counted && w.file.GetCount() > 0;
        usable = usable && (w.atLeast ? HasRecordsOfAtLeast(w.file, w.length) : HasRecordsOf(w.file, w.length));
    }
    if (!usable && counted) std::fputs("Unusable record length. ", out);
    return usable;
}
