#include "app/log.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <new>
#include <string>

#include "base/format.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace app {
namespace {

// A file that has grown past this is begun anew before the next entry; a file of exactly this
// size is still appended to.
constexpr uint64_t kMaxLogBytes = 460800;
// The platform's path limit, for the module path, the folder and the file path alike.
constexpr size_t kMaxPathChars = 259;
// LogFormat formats into a buffer of 2048 wide characters.
constexpr size_t kMaxFormattedChars = 2047;

struct LogState {
  std::once_flag folder_once;
  std::u16string folder;  // "<Windows folder>\NorvLog\", or empty when unusable
  // Held from opening the file to closing it: two threads that append at the same moment would
  // otherwise both write at the end they saw, and one line would overwrite the other.
  std::mutex entry_mutex;
  bool header_written = false;  // guarded by entry_mutex
};

LogState& State() {
  static LogState state;
  return state;
}

// The folder is determined, and created when missing, once per process. A folder that cannot
// be created is not tried again; every entry of the process is then dropped when the file
// cannot be opened.
const std::u16string& LogFolder() {
  LogState& state = State();
  std::call_once(state.folder_once, [&state] {
    const std::u16string windows = platform::WindowsDirectory();
    if (windows.empty()) return;
    std::u16string folder = windows + u"\\NorvLog\\";
    if (folder.size() > kMaxPathChars) return;
    if (!platform::PathExists(folder)) platform::CreateDirectoryOne(folder);
    state.folder = std::move(folder);
  });
  return state.folder;
}

std::string Stamp() {
  const platform::LocalTime t = platform::CurrentLocalTime();
  char stamp[128];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return stamp;
}

bool WriteLine(platform::File* file, const std::string& line) { return file->Write(line.data(), line.size()); }

platform::File OpenForAppend(const std::u16string& path) {
  // Appending: entries of two threads may interleave line by line, but never overwrite each other.
  return platform::File::Open(path, platform::FileAccess::kAppend, platform::FileDisposition::kOpenAlways,
                              platform::FileShare::kReadWrite);
}

void WriteEntry(const char* text, uint32_t api_code, int32_t mod_code) {
  const std::u16string module = platform::ModuleFilePath();
  if (module.empty() || module.size() > kMaxPathChars) return;
  const std::u16string& folder = LogFolder();
  if (folder.empty()) return;
  const size_t separator = module.find_last_of(u"\\/");
  if (separator == std::u16string::npos) return;
  const std::u16string path = folder + module.substr(separator + 1) + u".log";
  if (path.size() > kMaxPathChars) return;

  LogState& state = State();
  std::lock_guard<std::mutex> lock(state.entry_mutex);
  platform::File file = OpenForAppend(path);
  if (!file.IsOpen()) return;
  uint64_t size = 0;
  if (file.Size(&size) && size > kMaxLogBytes) {
    file.Close();
    platform::DeleteFileAt(path);
    file = OpenForAppend(path);
    if (!file.IsOpen()) return;
  }

  const std::string stamp = Stamp();
  // The lines of one entry go to the file in one write.
  std::string entry;
  // The header opens the process's first entry.
  if (!state.header_written) {
    entry += "\r\n" + stamp + " " + std::string(70, '=') + "\r\n";
    state.header_written = true;
  }
  entry += stamp + " " + text + " \r\n";

  if (api_code != 0) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08x", static_cast<unsigned>(api_code));
    std::string message;
    if (platform::SystemMessageText(api_code, &message)) {
      entry += stamp + " APICode : " + code + " " + message + " \r\n";
    } else {
      entry += stamp + " APICode : " + code + " \r\n";
    }
  }
  if (mod_code != 0) {
    entry += stamp + " modCode : " + std::to_string(mod_code) + " \r\n";
  }
  WriteLine(&file, entry);
}

// A wide text argument may be the identifier of a string resource instead of a pointer.
bool IsResourceId(const char16_t* text) { return reinterpret_cast<uintptr_t>(text) < 0x10000; }

// The text of a wide argument: the string itself, or the loaded resource (empty when it cannot
// be loaded). A null argument gives the empty text.
std::u16string WideText(const char16_t* text) {
  if (!text) return std::u16string();
  if (IsResourceId(text)) {
    std::u16string loaded;
    platform::LoadStringResource(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(text)), &loaded);
    return loaded;
  }
  return std::u16string(text);
}

}  // namespace

// Every entry point swallows allocation failures: a problem inside the logger drops the entry.

void WriteLog(const char* text, uint32_t apiCode, int32_t modCode) {
  if (!text) return;
  try {
    WriteEntry(text, apiCode, modCode);
  } catch (const std::bad_alloc&) {
  }
}

void WriteLog(const char* text) { WriteLog(text, 0, 0); }

void WriteLog3(const char* a, const char* b, const char* c) {
  if (!a || !b || !c) return;
  try {
    const std::string joined = std::string(a) + b + c;
    WriteEntry(joined.c_str(), 0, 0);
  } catch (const std::bad_alloc&) {
  }
}

void LogText(const char16_t* text, uint32_t apiCode, int32_t modCode) {
  if (!text) return;
  try {
    const std::string ansi = platform::ToAnsi(WideText(text));
    WriteEntry(ansi.c_str(), apiCode, modCode);
  } catch (const std::bad_alloc&) {
  }
}

void LogText2(const char16_t* a, const char16_t* b, uint32_t apiCode, int32_t modCode) {
  try {
    const std::u16string joined = WideText(a) + WideText(b);
    LogText(joined.c_str(), apiCode, modCode);
  } catch (const std::bad_alloc&) {
  }
}

void LogText3(const char16_t* a, const char16_t* b, const char16_t* c) {
  if (!a || !b || !c) return;
  try {
    const std::string joined = platform::ToAnsi(WideText(a)) + platform::ToAnsi(WideText(b)) +
                               platform::ToAnsi(WideText(c));
    WriteEntry(joined.c_str(), 0, 0);
  } catch (const std::bad_alloc&) {
  }
}

void LogFormat(const char16_t* format, ...) {
  if (!format) return;
  va_list args;
  va_start(args, format);
  try {
    const std::u16string resolved = WideText(format);
    const std::u16string text = base::FormatV(kMaxFormattedChars, resolved.c_str(), args);
    LogText(text.c_str());
  } catch (const std::bad_alloc&) {
  }
  va_end(args);
}

}  // namespace app
