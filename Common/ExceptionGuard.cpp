#include "ExceptionGuard.h"

#include "ToolFrame.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace {

constexpr int kGuardedSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr size_t kGuardedCount = sizeof kGuardedSignals / sizeof kGuardedSignals[0];

struct sigaction g_previous[kGuardedCount];
stack_t g_previousStack;
// The handler runs on its own stack so that a stack overflow is reported too.
alignas(16) char g_handlerStack[64 * 1024];
// Lowest address of the guarded thread's stack: faults just below it are
// stack overflows.
uintptr_t g_stackLow = 0;

constexpr char kReportHead[] = "\n!!! SYSTEM EXCEPTION !!! Code:0x";
constexpr char kAccessViolation[] = " EXCEPTION_ACCESS_VIOLATION";

// Builds the report line without the C library, for use inside the handler.
size_t FormatReport(uint32_t code, char* out, size_t size) {
    size_t n = 0;
    auto put = [&](const char* s) {
        while (*s && n + 1 < size) out[n++] = *s++;
    };
    put(kReportHead);
    char hex[9];
    int digits = 0;
    uint32_t v = code;
    do {
        hex[digits++] = "0123456789ABCDEF"[v & 0xF];
        v >>= 4;
    } while (v != 0);
    while (digits > 0 && n + 1 < size) out[n++] = hex[--digits];
    if (code == kExceptionAccessViolation) put(kAccessViolation);
    put("\n");
    return n;
}

uint32_t CodeFor(int sig, const siginfo_t* info) {
    const int c = info ? info->si_code : 0;
    switch (sig) {
    case SIGSEGV: {
        const auto addr = reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr);
        constexpr uintptr_t kGuardReach = 64 * 1024;
        if (g_stackLow != 0 && addr + kGuardReach >= g_stackLow && addr < g_stackLow + kGuardReach)
            return kExceptionStackOverflow;
        return kExceptionAccessViolation;
    }
    case SIGBUS: return c == BUS_ADRALN ? kExceptionDatatypeMisalignment : kExceptionInPageError;
    case SIGILL: return c == ILL_PRVOPC || c == ILL_PRVREG ? kExceptionPrivInstruction : kExceptionIllegalInstruction;
    case SIGFPE:
        switch (c) {
        case FPE_INTDIV: return kExceptionIntDivideByZero;
        case FPE_INTOVF: return kExceptionIntOverflow;
        case FPE_FLTDIV: return kExceptionFltDivideByZero;
        case FPE_FLTOVF: return kExceptionFltOverflow;
        case FPE_FLTUND: return kExceptionFltUnderflow;
        case FPE_FLTRES: return kExceptionFltInexactResult;
        default: return kExceptionFltInvalidOperation;
        }
    default: return kExceptionAccessViolation;
    }
}

void OnFatalSignal(int sig, siginfo_t* info, void*) {
    const uint32_t code = CodeFor(sig, info);
    // What the run printed so far comes first. The fault may have struck
    // anywhere, so the report itself is written without the C library.
    std::fflush(stdout);
    char line[96];
    const size_t n = FormatReport(code, line, sizeof line);
    ssize_t ignored = ::write(STDOUT_FILENO, line, n);
    (void)ignored;
    ::_exit(kStatusException);
}

void FindStackLow() {
    g_stackLow = 0;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return;
    void* addr = nullptr;
    size_t size = 0;
    if (pthread_attr_getstack(&attr, &addr, &size) == 0) g_stackLow = reinterpret_cast<uintptr_t>(addr);
    pthread_attr_destroy(&attr);
}

void Install() {
    FindStackLow();
    stack_t alt{};
    alt.ss_sp = g_handlerStack;
    alt.ss_size = sizeof g_handlerStack;
    alt.ss_flags = 0;
    ::sigaltstack(&alt, &g_previousStack);
    struct sigaction sa{};
    sa.sa_sigaction = OnFatalSignal;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < kGuardedCount; ++i) ::sigaction(kGuardedSignals[i], &sa, &g_previous[i]);
}

void Uninstall() {
    for (size_t i = 0; i < kGuardedCount; ++i) ::sigaction(kGuardedSignals[i], &g_previous[i], nullptr);
    ::sigaltstack(&g_previousStack, nullptr);
}

}  // namespace

void PrintExceptionReport(uint32_t code) {
    char line[96];
    const size_t n = FormatReport(code, line, sizeof line);
    std::fwrite(line, 1, n, stdout);
    std::fflush(stdout);
}

int32_t RunGuarded(const std::function<int32_t()>& body) {
    Install();
    int32_t status = kStatusException;
    try {
        status = body();
    } catch (...) {
        Uninstall();
        PrintExceptionReport(kExceptionCppException);
        return kStatusException;
    }
    Uninstall();
    return status;
}
