// edgemill command line and the program's run: names, reading the IO file,
// writing or removing the two outputs, exit status.
#include "Edgemill.h"

#include "Platform.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <vector>

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A hexadecimal field as the C runtime's scanf reads "%x": leading blanks, an
// optional sign, an optional 0x prefix and at least one digit; a value too
// large for the runtime's unsigned long saturates. False when no digit.
bool ScanHex(const char*& p, uint32_t& value) {
    const char* q = p;
    while (IsSpace(*q)) ++q;
    bool negative = false;
    if (*q == '+' || *q == '-') negative = *q++ == '-';
    if (q[0] == '0' && (q[1] == 'x' || q[1] == 'X') && HexDigit(q[2]) >= 0) q += 2;
    if (HexDigit(*q) < 0) return false;
    uint64_t v = 0;
    bool overflow = false;
    for (; HexDigit(*q) >= 0; ++q) {
        overflow = overflow || v > (UINT64_MAX >> 4);
        v = (v << 4) | static_cast<uint64_t>(HexDigit(*q));
    }
    value = static_cast<uint32_t>(overflow ? UINT64_MAX : negative ? 0 - v : v);
    p = q;
    return true;
}

bool ScanLiteral(const char*& p, const char* literal) {
    const size_t n = std::strlen(literal);
    if (std::strncmp(p, literal, n) != 0) return false;
    p += n;
    return true;
}

// The switch /b:0xAAAA:0xBBBB sets both masks. A third field (the transducer
// number, as in /b:0x0200:0x0100:1) or a field that does not convert keeps
// the default masks: the argument is read as "/b:0x%x:0x%x:%s" would read it,
// and the masks are taken only when exactly two fields convert.
void ParseMasks(const char* arg, EdgemillOptions& opt) {
    uint32_t a = 0, b = 0;
    const char* p = arg;
    if (!ScanLiteral(p, "/b:0x") || !ScanHex(p, a) || !ScanLiteral(p, ":0x") || !ScanHex(p, b)) return;
    if (ScanLiteral(p, ":")) {
        while (IsSpace(*p)) ++p;
        if (*p != '\0') return;  // a third field converts
    }
    opt.maskA = a;
    opt.maskB = b;
}

std::string WithExtension(const std::string& base, const char* ext) { return base + ext; }

// Removes an output that this run does not produce; a stale .010 or .011 of an
// earlier conversion must not outlive a run that found nothing for it.
bool RemoveOutput(const std::string& name) {
    if (!plat::FileExists(name) || plat::IsDirectory(name)) return true;
    return plat::DeleteFile(name);
}

}  // namespace

bool ParseEdgemillArgs(int argc, const char* const* argv, std::string& baseName, EdgemillOptions& opt) {
    // The base name and up to three switches.
    if (argc < 2 || argc > 5) return false;
    baseName = argv[1];
    bool masksSeen = false;
    for (int i = 2; i < argc; ++i) {
        const char* arg = argv[i];
        if (::strcasecmp(arg, "/r") == 0) opt.reverse = true;
        if (::strcasecmp(arg, "/p") == 0) opt.report = true;
        if (!masksSeen && std::strstr(arg, "/b:") != nullptr) {
            masksSeen = true;
            ParseMasks(arg, opt);
        }
    }
    return true;
}

int EdgemillMain(int argc, const char* const* argv, FILE* out) {
    std::string base;
    EdgemillOptions opt;
    if (!ParseEdgemillArgs(argc, argv, base, opt)) {
        std::fputs(EdgemillUsage().c_str(), out);
        return kEdgemillUsage;
    }
    const std::string ioName = WithExtension(base, ".007");
    const std::string axleName = WithExtension(base, ".010");
    const std::string moveName = WithExtension(base, ".011");
    auto cannotOpen = [&]() {
        std::fprintf(out, "\nCannot open file(s) %s or %s or %s\n", ioName.c_str(), axleName.c_str(),
                     moveName.c_str());
        return kEdgemillCannotOpen;
    };
    // The error number says why (a full disk, a read-only output ...).
    auto cannotWrite = [&](const std::string& name) {
        const uint32_t err = plat::GetLastError();
        cannotOpen();
        std::fprintf(out, "Error %u writing file \"%s\"\n", static_cast<unsigned>(err), name.c_str());
        return kEdgemillCannotOpen;
    };

    std::vector<uint8_t> ioBytes;
    if (!plat::ReadWholeFile(ioName, ioBytes)) {
        // An empty file opens; it only has no header (read as zeros below).
        if (plat::GetLastError() != plat::kErrSuccess) return cannotOpen();
        ioBytes.clear();
    }
    // Both outputs are replaced or removed by the run, so both must be
    // writable before anything is touched: a read-only one, or a directory
    // under an output's name, fails the run with both kept.
    if (!plat::CanReplaceFile(axleName)) return cannotWrite(axleName);
    if (!plat::CanReplaceFile(moveName)) return cannotWrite(moveName);

    EdgemillConversion c = ConvertIoEvents(ioBytes, opt);
    // Both outputs are written in full before either replaces its old
    // version, so a failure leaves both as they were. Only a kill between
    // the two renames can leave a new .010 beside an old .011; the next run
    // rewrites both from the .007.
    plat::PendingSave axleSave, moveSave;
    if (!c.axles.empty() && !axleSave.Prepare(axleName, c.axles.data(), c.axles.size()))
        return cannotWrite(axleName);
    if (!c.movements.empty() && !moveSave.Prepare(moveName, c.movements.data(), c.movements.size()))
        return cannotWrite(moveName);
    if (!c.axles.empty() && !axleSave.Commit()) return cannotWrite(axleName);
    if (!c.movements.empty() && !moveSave.Commit()) return cannotWrite(moveName);
    if (c.axles.empty() && !RemoveOutput(axleName)) return cannotWrite(axleName);
    if (c.movements.empty() && !RemoveOutput(moveName)) return cannotWrite(moveName);
    std::fputs(c.console.c_str(), out);
    return c.status;
}
