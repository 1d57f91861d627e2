#include "WideText.h"

#include <cstdint>
#include <cwchar>
#include <vector>

namespace {

constexpr wchar_t kEscapeBase = 0xDC00;  // invalid byte b is kept as U+DC00 + b

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const auto c0 = static_cast<unsigned char>(text[i]);
        if (c0 < 0x80) {
            out.push_back(static_cast<wchar_t>(c0));
            ++i;
            continue;
        }
        size_t len = 0;
        uint32_t cp = 0, min = 0;
        if ((c0 & 0xE0) == 0xC0) {
            len = 2;
            cp = c0 & 0x1F;
            min = 0x80;
        } else if ((c0 & 0xF0) == 0xE0) {
            len = 3;
            cp = c0 & 0x0F;
            min = 0x800;
        } else if ((c0 & 0xF8) == 0xF0) {
            len = 4;
            cp = c0 & 0x07;
            min = 0x10000;
        }
        bool ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            const auto ck = static_cast<unsigned char>(text[i + k]);
            if (!IsContinuation(ck)) ok = false;
            cp = (cp << 6) | (ck & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            out.push_back(static_cast<wchar_t>(kEscapeBase + c0));
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += len;
    }
    return out;
}

std::string Utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        const auto cp = static_cast<uint32_t>(wc);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp >= 0xDC80 && cp <= 0xDCFF) {
            out.push_back(static_cast<char>(cp - kEscapeBase));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            out.push_back('?');
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp <= 0x10FFFF) {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back('?');
        }
    }
    return out;
}

namespace {

bool TryFormat(const wchar_t* format, va_list args, std::wstring& out) {
    out.clear();
    if (!format) return false;
    // vswprintf reports a buffer that is too small and a conversion error the
    // same way, so the buffer grows a few times and then gives up.
    std::vector<wchar_t> buf(512);
    for (int attempt = 0; attempt < 8; ++attempt) {
        va_list copy;
        va_copy(copy, args);
        const int n = std::vswprintf(buf.data(), buf.size(), format, copy);
        va_end(copy);
        if (n >= 0) {
            out.assign(buf.data(), static_cast<size_t>(n));
            return true;
        }
        buf.resize(buf.size() * 4);
    }
    return false;
}

}  // namespace

std::wstring FormatWideV(const wchar_t* format, va_list args) {
    std::wstring s;
    TryFormat(format, args, s);
    return s;
}

std::wstring FormatWide(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring s = FormatWideV(format, args);
    va_end(args);
    return s;
}

void WPutText(FILE* stream, std::wstring_view text) {
    if (!stream) return;
    const std::string bytes = Utf8FromWide(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

int WPrintV(FILE* stream, const wchar_t* format, va_list args) {
    std::wstring text;
    if (!stream || !TryFormat(format, args, text)) return -1;
    const std::string bytes = Utf8FromWide(text);
    return static_cast<int>(std::fwrite(bytes.data(), 1, bytes.size(), stream));
}

int WPrint(FILE* stream, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = WPrintV(stream, format, args);
    va_end(args);
    return n;
}

int WPrintOut(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = WPrintV(stdout, format, args);
    va_end(args);
    return n;
}

int WPrintErr(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = WPrintV(stderr, format, args);
    va_end(args);
    return n;
}

wchar_t UpperAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

void UpperCaseAscii(std::wstring& text) {
    for (wchar_t& c : text) c = UpperAscii(c);
}
