#pragma once
// What the stand-ins leave for tests to read back: values under HKCU "Software\NorvStandIns",
// and the switches of their command lines, which they look for anywhere on the line because
// the installer may start them with the switches alone (no program path as the first word).
#include <windows.h>

#include <string>

#include "base/strings.h"
#include "platform/registry.h"
#include "platform/win/wstr.h"

namespace standins {

constexpr char16_t kMarksKey[] = u"Software\\NorvStandIns";

inline void SetMark(const std::u16string& name, const std::u16string& value) {
  platform::RegKey key;
  if (platform::RegKey::Create(platform::RegRoot::kCurrentUser, kMarksKey, platform::RegAccess::kReadWrite, &key) ==
      platform::kRegOk) {
    key.WriteString(name, value);
  }
}

inline void RemoveMark(const std::u16string& name) {
  platform::RegKey key;
  if (platform::RegKey::Open(platform::RegRoot::kCurrentUser, kMarksKey, platform::RegAccess::kReadWrite, &key) ==
      platform::kRegOk) {
    key.DeleteValue(name);
  }
}

// True when a word of the command line equals the switch, without regard to ASCII case.
inline bool HasSwitch(const char16_t* command_line, std::u16string_view name) {
  for (std::u16string_view word : base::SplitList(command_line, u' ')) {
    if (base::EqualsIgnoreAsciiCase(word, name)) return true;
  }
  return false;
}

inline std::u16string CommandLine() { return platform::as_u16cstr(GetCommandLineW()); }

// The word just before the switch ("NorvFrame.exe" in "... NorvFrame.exe -close"); empty when
// the switch is missing or first. Words before it may belong to an unquoted program path.
inline std::u16string WordBefore(const std::u16string& command_line, std::u16string_view name) {
  std::u16string_view previous;
  for (std::u16string_view word : base::SplitList(command_line, u' ')) {
    if (base::EqualsIgnoreAsciiCase(word, name)) return std::u16string(previous);
    previous = word;
  }
  return {};
}

}  // namespace standins
