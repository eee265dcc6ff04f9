#include <string>

#include "app/log.h"
#include "app/suite_key.h"
#include "engine/local_install.h"
#include "engine/work_paths.h"
#include "platform/registry.h"

namespace engine {
namespace {

std::u16string Text(const char16_t* text) { return text ? std::u16string(text) : std::u16string(); }

// "{compose}-{file}"
std::u16string FileValidName(const char16_t* file_name, const char16_t* compose_name) {
  return Text(compose_name) + u"-" + Text(file_name);
}

}  // namespace

ILocalInstall* CreateLocalInstall() { return CreateLocalInstall(InstalledWorkPaths()); }

bool IsComposeInstalled(const char16_t* name) { return IsComposeInstalled(InstalledWorkPaths(), name); }

FileValidMarks::FileValidMarks(Access access) {
  open_code_ = access == Access::kWrite
                   ? platform::RegKey::Create(platform::RegRoot::kLocalMachine, app::kFileValidKey,
                                              platform::RegAccess::kReadWrite, &key_)
                   : platform::RegKey::Open(platform::RegRoot::kLocalMachine, app::kFileValidKey,
                                            platform::RegAccess::kRead, &key_);
}

bool FileValidMarks::Set(const char16_t* file_name, const char16_t* compose_name, uint32_t value) {
  if (open_code_ != platform::kRegOk) {
    app::LogText2(u"warning,SetInstallFileValid Create error,modecode is reg retcode. file=", file_name, 0,
                  static_cast<int32_t>(open_code_));
    return true;
  }
  const std::u16string value_name = FileValidName(file_name, compose_name);
  const uint32_t rc = key_.WriteDword(value_name, value);
  if (rc != platform::kRegOk) {
    const std::u16string text = u"warning,SetInstallFileValid SetDWORDValue error,modecode is reg retcode. strKeyName=" +
                                value_name + u" file=" + Text(file_name);
    app::LogText(text.c_str(), 0, static_cast<int32_t>(rc));
  }
  return true;
}

void FileValidMarks::Remove(const char16_t* file_name, const char16_t* compose_name) {
  if (open_code_ == platform::kRegOk) key_.DeleteValue(FileValidName(file_name, compose_name));
}

bool FileValidMarks::IsValid(const char16_t* file_name, const char16_t* compose_name) const {
  if (open_code_ != platform::kRegOk) return true;
  uint32_t value = 1;
  return key_.ReadDword(FileValidName(file_name, compose_name), &value) != platform::kRegOk || value != 0;
}

bool SetInstallFileValid(const char16_t* file_name, const char16_t* compose_name, uint32_t value) {
  return FileValidMarks(FileValidMarks::Access::kWrite).Set(file_name, compose_name, value);
}

bool IsInstallFileValid(const char16_t* file_name, const char16_t* compose_name) {
  return FileValidMarks(FileValidMarks::Access::kRead).IsValid(file_name, compose_name);
}

}  // namespace engine
