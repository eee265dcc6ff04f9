#pragma once
// Facts about the system and the running program. Each has a Windows body and a host body; the
// host answers are stand-ins that keep portable code (the log above all) working in tests and
// tools.
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The Windows directory, without a trailing separator ("C:\windows"). Empty when it cannot be
// read. Host: the system temporary folder ($TMPDIR, else "/tmp") without a trailing separator,
// so that the log's "<Windows folder>\NorvLog\" lands in a writable place.
std::u16string WindowsDirectory();

// The full path of the running executable; empty when it cannot be read.
std::u16string ModuleFilePath();

// The system temporary folder as GetTempPathW reports it, ending in a separator. Host: $TMPDIR
// (else "/tmp") followed by "/".
std::u16string TempDirectory();

// The 32-bit program-files folder ("C:\Program Files (x86)" on 64-bit Windows), without a trailing
// separator; empty when the system has none (always empty on the host), so that callers apply
// their own fallback.
std::u16string ProgramFilesFolder();

// Milliseconds since the system started, wrapping at 2^32. Tests may replace the source so that
// names built from it are predictable; a null source restores the system's.
uint32_t TickCount();
using TickCountSource = uint32_t (*)();
TickCountSource SetTickCountSource(TickCountSource source);
// The system's own tick count, whatever source is set.
uint32_t SystemTickCount();

struct LocalTime {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
};
LocalTime CurrentLocalTime();

// UTF-16 text in the calling thread's ANSI code page; characters the code page lacks become the
// code page's default character. Host: UTF-8.
std::string ToAnsi(std::u16string_view text);

// The system's message text for an error code, in the ANSI code page and exactly as the system
// gives it (on Windows as a rule ending in CR LF). False when the system has no text for the
// code. Host: strerror's text followed by CR LF, for codes it knows.
bool SystemMessageText(uint32_t code, std::string* text);

// A string from the program's own string table. False (and empty text) when the identifier
// cannot be loaded; always false on the host, which has no resources.
bool LoadStringResource(uint32_t id, std::u16string* text);

}  // namespace platform
