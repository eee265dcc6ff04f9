#include "app/suite_key.h"

#include "platform/registry.h"

namespace app {
namespace {

constexpr char16_t kInstallPathValue[] = u"InstallPath";
constexpr char16_t kOemValue[] = u"OEM";
// "InstallPath" is read into a buffer of 260 characters: 259 and the terminator.
constexpr size_t kMaxInstallPathChars = 259;
constexpr size_t kMaxOemChars = 260;

std::u16string ReadSuiteString(const char16_t* name, size_t max_chars, platform::RegStringCheck check) {
  platform::RegKey key;
  if (platform::RegKey::Open(platform::RegRoot::kLocalMachine, kSuiteKey, platform::RegAccess::kRead, &key) !=
      platform::kRegOk) {
    return std::u16string();
  }
  std::u16string value;
  if (key.ReadString(name, (max_chars + 1) * 2, check, &value) != platform::kRegOk) return std::u16string();
  // A value that fills the buffer without a terminator leaves no room for one.
  if (value.size() > max_chars) return std::u16string();
  return value;
}

}  // namespace

std::u16string ReadInstallPath() {
  return ReadSuiteString(kInstallPathValue, kMaxInstallPathChars, platform::RegStringCheck::kAnyData);
}

bool WriteInstallPath(std::u16string_view folder) {
  platform::RegKey key;
  if (platform::RegKey::Create(platform::RegRoot::kLocalMachine, kSuiteKey, platform::RegAccess::kReadWrite, &key) !=
      platform::kRegOk) {
    return false;
  }
  key.WriteString(kInstallPathValue, folder, platform::RegTerminator::kIncluded);
  return true;
}

std::u16string ReadOemName() {
  return ReadSuiteString(kOemValue, kMaxOemChars, platform::RegStringCheck::kStringType);
}

}  // namespace app
