// The table of known train-file types: for each extension the header words a
// file of that type may carry, whether saving recomputes its length fields,
// and which reserved areas the reserved-area cleaner zeroes.
#pragma once

#include <cstddef>
#include <cstdint>

// The reserved areas of a type, as the cleaner handles them. The table names
// the routine; the cleaner carries out the routine it names.
enum class ReservedArea : uint8_t {
    None,          // nothing is zeroed, nothing reported
    IoHeader,      // .007 header
    AxleHeader,    // .010/.011 header
    WheelHeader,   // .012 family header
    Records017,
    Records018,
    Records01A,
    Records020,
    Records021,
    Records024,
    Records031,
    Records034,
    Records035,
    Records036,
    Records041,
    Records043,
    CommonHeader,  // common header area only (.055, .070)
    Records060,
    Header071,
};

struct CTagTypeInfo {
    uint32_t m_nTypeCode;        // family code, printed as "type 0x%03x"; 0 ends the table
    wchar_t m_szExtension[5];    // ".", three characters, terminator
    uint16_t m_nFormat;          // required header word at offset 0
    uint16_t m_nTypeGroup;       // required header word at offset 2
    uint16_t m_nTypeSubcode;     // required header word at offset 20
    uint32_t m_nRecompute;       // 1: a save in length mode 2 recomputes the file length
    ReservedArea m_eReserved;    // reserved-area routine of the cleaner
};

// All known types, the last row being the terminator (type code 0).
constexpr size_t kTagTypeRows = 79;
extern const CTagTypeInfo g_TagTypes[kTagTypeRows];

// The terminator row: the type of a file that is not identified.
inline const CTagTypeInfo* UnknownTagType() { return &g_TagTypes[kTagTypeRows - 1]; }
