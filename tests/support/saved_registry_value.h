#pragma once
// For tests that change a value of the real registry under HKLM (Windows only): remembers the
// value's type and data and puts them back when it goes out of scope, removing the key again when
// the test made it and left it empty.
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace testing_support {

class SavedRegistryValue {
 public:
  SavedRegistryValue(std::u16string subkey, std::u16string name) : subkey_(std::move(subkey)), name_(std::move(name)) {
    platform::RegKey key;
    key_existed_ = platform::RegKey::Open(platform::RegRoot::kLocalMachine, subkey_, platform::RegAccess::kRead,
                                          &key) == platform::kRegOk;
    present_ = key_existed_ && key.ReadValue(name_, 1 << 20, &type_, &data_) == platform::kRegOk;
  }
  ~SavedRegistryValue() {
    platform::RegKey key = Open();
    key.DeleteValue(name_);
    if (present_) {
      RegSetValueExW(static_cast<HKEY>(key.native()), reinterpret_cast<const wchar_t*>(name_.c_str()), 0,
                     static_cast<DWORD>(type_), data_.data(), static_cast<DWORD>(data_.size()));
    }
    std::vector<std::u16string> values, subkeys;
    key.ListValueNames(&values);
    key.ListSubkeys(&subkeys);
    key.Close();
    if (!key_existed_ && values.empty() && subkeys.empty()) {
      platform::DeleteKeyTree(platform::RegRoot::kLocalMachine, subkey_);
    }
  }
  SavedRegistryValue(const SavedRegistryValue&) = delete;
  SavedRegistryValue& operator=(const SavedRegistryValue&) = delete;

  // The key, created when missing, open for reading and writing.
  platform::RegKey Open() const {
    platform::RegKey key;
    platform::RegKey::Create(platform::RegRoot::kLocalMachine, subkey_, platform::RegAccess::kReadWrite, &key);
    return key;
  }
  uint32_t Set(const std::u16string& text) const { return Open().WriteString(name_, text); }
  void Remove() const { Open().DeleteValue(name_); }

 private:
  std::u16string subkey_;
  std::u16string name_;
  bool key_existed_ = false;
  bool present_ = false;
  platform::RegType type_ = platform::RegType::kNone;
  std::vector<uint8_t> data_;
};

}  // namespace testing_support
