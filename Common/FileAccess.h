// File access of the current library: composing train file names, whole-file
// reads, creating and appending files, the text log and the trace channel.
// All names are wide strings; they reach the file system as UTF-8 through the
// platform layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A file name holds at most 259 characters (260 with the terminator).
constexpr size_t kPathChars = 260;
constexpr size_t kMaxNameChars = kPathChars - 1;

// Builds base + extension into dest. A separating '.' is put in only when the
// extension is not empty, does not begin with '.', and the base holds no '.';
// a base that already carries a dot is used as it stands (the extension is
// ignored), as is a null extension. ".035" and "035" give the same name.
// Returns 1, or 0 when the name would need 260 characters or more: dest then
// holds its first 259 characters.
int MakeTrainFileName(std::wstring& dest, std::wstring_view base, const wchar_t* extension);
// The same name without the length limit.
std::wstring ComposeTrainFileName(std::wstring_view base, const wchar_t* extension);

// Reads a whole existing file into buffer, followed by extra zero bytes;
// bytesRead receives the file's size. Returns 1, or 0 (buffer empty,
// bytesRead untouched) when the file is missing, unreadable, a directory or
// of zero length. No message is printed.
int ReadWholeFile(std::wstring_view name, std::vector<uint8_t>& buffer, uint32_t& bytesRead, size_t extra = 0);

// Creates or replaces a file with these bytes. While another process holds
// the file (sharing violation, error 32) the creation is retried every 10 ms,
// up to 100 times. On failure prints "Error %d creating file "NAME"" to
// standard output and returns 0. The file is replaced in one step: a failed
// write leaves the old contents in place.
int WriteNewFile(std::wstring_view name, const void* bytes, size_t count);

// Opens or creates a file and writes the bytes at its end, with the same
// retry and message as WriteNewFile.
int AppendToFile(std::wstring_view name, const void* bytes, size_t count);

// Reads up to count bytes from the start of an existing file into buffer.
// On failure prints "Error %d opening file "NAME"" to standard output and
// returns 0. bytesRead (when given) receives the number of bytes copied.
int ReadFileInto(std::wstring_view name, void* buffer, size_t count, size_t* bytesRead = nullptr);

// 1 when a file or directory of that name exists.
int FileExists(std::wstring_view name);

// Text log. Lines are appended to the named file, or with a null name to the
// current log file ("DEFAULT.LOG" unless changed). WriteLog puts the local
// date and time in front ("MM/DD/YY HH:MM:SS "); the caller supplies the line
// end. Both return 1, or 0 when the file cannot be opened.
int WriteLog(const char* fileName, const char* format, ...) __attribute__((format(printf, 2, 3)));
int WriteLogRaw(const char* fileName, const char* format, ...) __attribute__((format(printf, 2, 3)));
void SetLogFileName(const char* name);
const char* GetLogFileName();

// Trace channel for diagnostics. Formats at most 499 characters and sends
// them to the destination named by the environment variable
// TRAIN_DEBUG_TRACE: "stderr" (or "-") writes to standard error, any other
// value is a file the text is appended to. Without the variable (or with an
// empty value) the trace is silent.
void DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
constexpr const char* kDebugTraceVariable = "TRAIN_DEBUG_TRACE";
