#include "Trimwell.h"

#include "TrainFile.h"

#include <cctype>
#include <climits>
#include <cstring>
#include <strings.h>

namespace {

bool HasPrefix(const char* arg, const char* prefix) {
    return ::strncasecmp(arg, prefix, std::strlen(prefix)) == 0;
}

// Reads a decimal number as the C runtime's atoi does (leading blanks, an
// optional sign, digits up to the first non-digit, none gives 0), but
// saturating instead of overflowing.
int64_t ParseDecimal(const char* p, bool allowSign) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool neg = false;
    if (allowSign && (*p == '+' || *p == '-')) neg = *p++ == '-';
    int64_t v = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        if (v < (int64_t(1) << 40)) v = v * 10 + (*p - '0');
        ++p;
    }
    return neg ? -v : v;
}

}  // namespace

ParseOutcome ParseTrimwellArgs(int argc, const char* const* argv, TrimwellSettings& s, FILE* out) {
    if (argc < 2) return ParseOutcome::Usage;
    s.baseName = argv[1];
    if (s.baseName.size() >= kMaxTrainFileName) return ParseOutcome::NameTooLong;
    for (int i = 2; i < argc; ++i) {
        const char* a = argv[i];
        if (HasPrefix(a, "/?")) s.usageRequested = true;
        if (HasPrefix(a, "/OP")) {
            if (!std::isdigit(static_cast<unsigned char>(a[3]))) continue;
            int64_t n = ParseDecimal(a + 3, false);
            if (n == 0) {
                std::fputs("Operations start at 1...\n\n", out);
                return ParseOutcome::StoppedZero;
            }
            if (s.operations.size() + 1 >= kMaxOperations) {
                std::fputs("Too many operations specified.\n", out);
                return ParseOutcome::StoppedTooMany;
            }
            s.operations.push_back(n > UINT_MAX ? UINT_MAX : static_cast<unsigned>(n));
        } else if (HasPrefix(a, "/R")) {
            s.writeAbSpacing = false;
        } else if (HasPrefix(a, "/T1=")) {
            s.train1 = a + 4;
            if (s.train1.size() >= kMaxTrainFileName) return ParseOutcome::NameTooLong;
        } else if (HasPrefix(a, "/T2=")) {
            s.train2 = a + 4;
            if (s.train2.size() >= kMaxTrainFileName) return ParseOutcome::NameTooLong;
        } else if (HasPrefix(a, "/S=")) {
            int64_t v = ParseDecimal(a + 3, true);
            s.timeShiftMs = static_cast<int32_t>(v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : v);
        }
    }
    if (s.usageRequested || s.operations.empty()) return ParseOutcome::Usage;
    return ParseOutcome::Run;
}

int TrimwellMain(int argc, const char* const* argv) {
    TrimwellSettings s;
    switch (ParseTrimwellArgs(argc, argv, s, stdout)) {
    case ParseOutcome::StoppedZero:
    case ParseOutcome::StoppedTooMany:
        return 0;
    case ParseOutcome::Usage:
        std::fputs(kTrimwellUsage, stdout);
        return -1;
    case ParseOutcome::NameTooLong:
        std::fputs("Names are limited to 259 characters.\n", stdout);
        return -1;
    case ParseOutcome::Run:
        break;
    }
    RunTrimwell(s, stdout);
    return 0;
}
