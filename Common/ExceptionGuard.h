// The exception guard of a tool run. A fatal fault of the run (invalid memory
// access, integer division by zero, illegal instruction, bus error, floating
// point trap) or a C++ exception that escapes it is reported on standard
// output as
//     "\n!!! SYSTEM EXCEPTION !!! Code:0x%X" [" EXCEPTION_ACCESS_VIOLATION"] "\n"
// and the run ends with status 32758. The codes are those of the recorder's
// platform (see README, "Exception guard").
#pragma once

#include <cstdint>
#include <functional>

// Exception codes reported by the guard.
enum ExceptionCode : uint32_t {
    kExceptionAccessViolation = 0xC0000005,
    kExceptionInPageError = 0xC0000006,
    kExceptionIllegalInstruction = 0xC000001D,
    kExceptionFltDivideByZero = 0xC000008E,
    kExceptionFltInexactResult = 0xC000008F,
    kExceptionFltInvalidOperation = 0xC0000090,
    kExceptionFltOverflow = 0xC0000091,
    kExceptionFltUnderflow = 0xC0000093,
    kExceptionIntDivideByZero = 0xC0000094,
    kExceptionIntOverflow = 0xC0000095,
    kExceptionPrivInstruction = 0xC0000096,
    kExceptionStackOverflow = 0xC00000FD,
    kExceptionDatatypeMisalignment = 0x80000002,
    kExceptionCppException = 0xE06D7363,
};

// Runs body inside the guard and returns its status. A C++ exception that
// escapes body is reported and gives 32758. A fatal signal is reported, the
// output flushed, and the process ends at once with exit code 32758 (the
// shell shows 246): the faulting run cannot be resumed safely.
int32_t RunGuarded(const std::function<int32_t()>& body);

// Prints the report line for an exception code to standard output.
void PrintExceptionReport(uint32_t code);
