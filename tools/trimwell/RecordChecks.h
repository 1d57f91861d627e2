// Checks the Trimwell operations make before they walk a file's records.
#pragma once

#include "TrainFile.h"

#include <cmath>

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
