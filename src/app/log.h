#pragma once
// The process log: one plain-text file, "<Windows folder>\NorvLog\<exe name>.log", in the
// thread's ANSI code page with CR LF lines, each stamped with the local date and time. Every
// entry point returns nothing and never fails loudly: a problem inside the logger drops the
// entry. Safe to call from any thread (entries of two threads may interleave line by line).
//
// apiCode: a platform error code (GetLastError or another status word); writes an "APICode"
// line with the system's message text. modCode: a signed code of the caller's own; writes a
// "modCode" line. 0 in either means "none".
//
// A wide text may instead be the numeric identifier of a string resource (a value below
// 0x10000 cast to a pointer); it is loaded from the program's string table.
#include <cstdint>

namespace app {

void WriteLog(const char* text, uint32_t apiCode, int32_t modCode);
void WriteLog(const char* text);
// The three texts joined without separator; nothing if any is null.
void WriteLog3(const char* a, const char* b, const char* c);

void LogText(const char16_t* text, uint32_t apiCode = 0, int32_t modCode = 0);
// The two texts joined (a null one counts as empty), then LogText.
void LogText2(const char16_t* a, const char16_t* b, uint32_t apiCode = 0, int32_t modCode = 0);
void LogText3(const char16_t* a, const char16_t* b, const char16_t* c);
// printf-style formatting of at most 2047 characters, then LogText. The format is the
// program's own, never text from a file; see base/format.h for the conversions understood.
void LogFormat(const char16_t* format, ...);

}  // namespace app
