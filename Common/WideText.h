// Wide-character text of the current library: conversion between the UTF-8
// of the command line and the file system and the wide names the library
// works with, and console output.
//
// All console output of the library and its tools is written to the C
// streams as bytes (UTF-8). Wide text is formatted into a wide buffer first
// and then converted, so no stream ever gets wide orientation and narrow
// and wide messages may follow each other on one stream in any order.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

// UTF-8 to wide. Bytes that are not valid UTF-8 are kept as the code points
// U+DC80..U+DCFF, so every byte string survives the round trip and a file
// name given in any encoding still names the same file.
std::wstring WideFromUtf8(std::string_view text);
// Wide to UTF-8; the inverse of WideFromUtf8. Other lone surrogates and
// values beyond U+10FFFF become '?'.
std::string Utf8FromWide(std::wstring_view text);

// Formats a wide format string. The conversions are those of the C library's
// wide printf: %ls takes a wide string, %s a narrow (ASCII) string, %c a
// narrow character, %lc a wide character.
std::wstring FormatWide(const wchar_t* format, ...);
std::wstring FormatWideV(const wchar_t* format, va_list args);

// Writes wide formatted text to a stream as UTF-8. Returns the number of
// bytes written, or -1 when the format could not be applied.
int WPrint(FILE* stream, const wchar_t* format, ...);
int WPrintV(FILE* stream, const wchar_t* format, va_list args);
// Shorthands for standard output and standard error.
int WPrintOut(const wchar_t* format, ...);
int WPrintErr(const wchar_t* format, ...);

// Writes wide text unformatted, as UTF-8.
void WPutText(FILE* stream, std::wstring_view text);

// Upper-cases the ASCII letters of a wide string in place. Other characters
// are left alone so that names keep matching the files on disk.
void UpperCaseAscii(std::wstring& text);
wchar_t UpperAscii(wchar_t c);
