// Looking inside one train data file: identification by the type table,
// the walk over its records, the damage the loaders would tolerate or
// repair silently, and the decoded view of the header and of each record,
// field by field from the layout tables.
//
// Nothing here reads outside the file's bytes: every field goes through the
// bounds-checked accessors of the layout tables, and every walk over
// variable records advances by at least one byte or stops.
#pragma once

#include "FieldLayout.h"
#include "TagTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace traindump {

// A file as read from disk. A file that could not be read has readError set
// (and no bytes); an empty file reads fine and has no bytes.
struct LoadedFile {
    std::string name;
    std::vector<uint8_t> bytes;
    std::string readError;

    bool Readable() const { return readError.empty(); }
};
LoadedFile LoadFile(const std::string& name);

// The record layouts a dump knows.
enum class Kind {
    Generic,     // records of the header's record length, shown as hex
    Io,          // .007
    Axle,        // .010, .011
    Wheel,       // .012 family
    InputState,  // .01A
    Detector,    // .018
    Digitizer,   // .01D
    Event024,    // .024
    Summary,     // .034
    Consist,     // .035 family
    CarList,     // .036
    Alloc,       // .041
    Scale,       // .055
    TagRead,     // .060 family
    Correlation, // .071
};
const char* KindName(Kind k);
// The layout of a type code of the type table; Generic when none.
Kind KindOfTypeCode(uint32_t code);

struct Identification {
    const CTagTypeInfo* row = nullptr;  // the matching row; null when not identified
    std::string extension;              // of the file name, as spelled ("" when none)
    uint32_t typeCode = 0;              // the row's code, or the code the extension or header suggests
    bool identified = false;            // a row matches extension and header words
    bool byHeader = false;              // the extension is not in the table, the header words are
    bool marker = false;                // a marker file (one space byte)
    std::string text;                   // what the identification found, in words
};
Identification Identify(const LoadedFile& f);

struct Problem {
    std::string kind;  // short code: "file-length", "record-count", "partial-record", ...
    std::string text;
};

// Where a record lies in the data area (offsets from the data start).
struct RecordSpan {
    size_t offset;
    size_t size;
};

// Everything found about a file before its records are shown.
struct Analysis {
    Identification id;
    Kind kind = Kind::Generic;
    size_t headerBytes = 0;         // bytes of the 64-byte header present
    size_t recordSize = 0;          // fixed records: the size used to walk them; 0 for variable records
    uint32_t countField = 0;        // the header's record count
    std::vector<RecordSpan> records;
    size_t walkedEnd = 0;           // data offset after the last whole record
    float timeScale = 1.0f;
    std::optional<int64_t> firstMs, lastMs;
    std::vector<Problem> problems;
    std::vector<std::string> notes;  // remarks that are no damage
};

// Facts about the train's other files that some checks need.
struct TrainContext {
    std::optional<uint32_t> axleCount;  // records of the train's .010, when there is one
};
// The context of the train a file belongs to: its .010 beside it.
TrainContext ContextFor(const std::string& fileName);

Analysis Analyze(const LoadedFile& f, const TrainContext& ctx = {});

// ---------------------------------------------------------------------------
// The decoded view

// Names and keys are static texts: the layout tables' field names and the
// decoder's literals.
struct FieldValue {
    const char* name;
    size_t offset;  // within the item
    unsigned width;
    bool present;   // the field lies wholly inside the bytes
    uint32_t raw;
};

struct Value {
    enum class Type { Int, Real, Text };
    const char* key;
    Type type = Type::Int;
    int64_t i = 0;
    double d = 0;
    std::string s;
};

// Bytes that are no field (reserved or unknown areas), shown as hex.
struct Area {
    std::string name;
    size_t offset;  // within the item
    std::span<const uint8_t> bytes;
};

// A header, a record, or a part of a record (tag block, sub-record).
struct Item {
    const char* label = "";  // "record", "entry", "tag block 1", "sub-record", "block"
    int index = -1;       // record number, -1 for parts
    size_t fileOffset = 0;
    std::span<const uint8_t> bytes;
    std::vector<FieldValue> fields;
    std::vector<Value> decoded;
    std::vector<Area> areas;
    std::vector<Item> parts;
    std::vector<std::string> notes;  // what is missing or odd
};

Item DecodeHeader(const LoadedFile& f, const Analysis& a);
Item DecodeRecord(const LoadedFile& f, const Analysis& a, size_t i);
// The bytes after the last whole record, when there are any.
std::span<const uint8_t> TrailingBytes(const LoadedFile& f, const Analysis& a);

// Hex text of bytes, two digits per byte separated by spaces.
std::string HexBytes(std::span<const uint8_t> bytes);

}  // namespace traindump
