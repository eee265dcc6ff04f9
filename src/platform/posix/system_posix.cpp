// Host stand-ins for the system facts. The Windows directory and the temporary folder are both the
// system temporary folder, so the host log lives in "$TMPDIR/NorvLog/" (else "/tmp/NorvLog/").
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/strings.h"
#include "platform/system.h"

namespace platform {
namespace {
std::string TempBase() {
  const char* dir = std::getenv("TMPDIR");
  std::string base = (dir && *dir) ? dir : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base;
}
}  // namespace

std::u16string WindowsDirectory() { return base::Utf8ToUtf16(TempBase()); }

std::u16string ModuleFilePath() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return std::u16string();
  return base::Utf8ToUtf16(std::string(buffer.data(), static_cast<size_t>(n)));
}

std::u16string TempDirectory() {
  std::string base = TempBase();
  if (base.back() != '/') base.push_back('/');
  return base::Utf8ToUtf16(base);
}

std::u16string ProgramFilesFolder() { return std::u16string(); }

uint32_t SystemTickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

LocalTime CurrentLocalTime() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  struct tm parts;
  localtime_r(&ts.tv_sec, &parts);
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  t.milliseconds = static_cast<int>(ts.tv_nsec / 1000000);
  return t;
}

std::string ToAnsi(std::u16string_view text) { return base::Utf16ToUtf8(text); }

bool SystemMessageText(uint32_t code, std::string* text) {
  text->clear();
  if (code > 0x7FFFFFFFu) return false;
  // glibc's texts for known codes are constant strings; unknown codes say so in their text.
  const char* message = std::strerror(static_cast<int>(code));
  if (!message || std::strncmp(message, "Unknown error", 13) == 0) return false;
  *text = message;
  *text += "\r\n";
  return true;
}

bool LoadStringResource(uint32_t, std::u16string* text) {
  text->clear();
  return false;
}

}  // namespace platform
