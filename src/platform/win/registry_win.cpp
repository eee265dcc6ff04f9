#include <windows.h>

#include "platform/registry.h"
#include "platform/win/unique_handles.h"
#include "platform/win/wstr.h"

namespace platform {
namespace {

HKEY RootHandle(RegRoot root) {
  switch (root) {
    case RegRoot::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::kCurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::kClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::kUsers: return HKEY_USERS;
    case RegRoot::kCurrentConfig: return HKEY_CURRENT_CONFIG;
  }
  return HKEY_LOCAL_MACHINE;
}

// The suite's programs and earlier setups are 32-bit: every key goes through the view they see,
// so that what we write is where they look (see registry.h).
constexpr REGSAM kView = KEY_WOW64_32KEY;

REGSAM AccessMask(RegAccess access) {
  switch (access) {
    case RegAccess::kRead: return KEY_READ | kView;  // 0x20019
    case RegAccess::kReadWrite: return KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | kView;  // 0x2001F
    case RegAccess::kAll: return KEY_ALL_ACCESS | kView;
  }
  return KEY_READ | kView;
}

HKEY AsKey(void* h) { return static_cast<HKEY>(h); }

// *out is the storage of an owner already emptied (put()); it receives the opened key and stays
// empty on failure.
uint32_t OpenUnder(HKEY parent, std::u16string_view subkey, RegAccess access, bool create, void** out) {
  const std::u16string name(subkey);
  HKEY opened = nullptr;
  LONG rc;
  if (create) {
    rc = RegCreateKeyExW(parent, as_wcstr(name), 0, nullptr, REG_OPTION_NON_VOLATILE, AccessMask(access),
                         nullptr, &opened, nullptr);
  } else {
    rc = RegOpenKeyExW(parent, as_wcstr(name), 0, AccessMask(access), &opened);
  }
  if (rc != ERROR_SUCCESS) return static_cast<uint32_t>(rc);
  *out = opened;
  return kRegOk;
}

// The value name as the API wants it: an empty name is the key's default value.
std::u16string ValueName(std::u16string_view name) { return std::u16string(name); }

uint32_t DeleteTreeUnder(HKEY parent, const std::u16string& subkey) {
  UniqueRegKey key;
  LONG rc = RegOpenKeyExW(parent, as_wcstr(subkey), 0, AccessMask(RegAccess::kAll), key.put());
  if (rc != ERROR_SUCCESS) return static_cast<uint32_t>(rc);
  // Deleting while enumerating shifts the indexes, so always take the first subkey again.
  for (;;) {
    wchar_t child[256];
    DWORD length = 256;
    rc = RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) break;
    const uint32_t child_rc = DeleteTreeUnder(key.get(), std::u16string(as_u16cstr(child), length));
    if (child_rc != kRegOk) return child_rc;
  }
  key.reset();  // our handle goes before the key is deleted
  if (rc != ERROR_NO_MORE_ITEMS) return static_cast<uint32_t>(rc);
  return static_cast<uint32_t>(RegDeleteKeyExW(parent, as_wcstr(subkey), kView, 0));
}

// Collects the names that enumerate(key, index, buffer, &length) yields for index 0, 1, ...
// until ERROR_NO_MORE_ITEMS. kMaxName is the platform's limit for the kind of name (256 for a key
// name, 16384 for a value name).
template <DWORD kMaxName, typename Enumerate>
uint32_t ListNames(void* handle, std::vector<std::u16string>* names, Enumerate enumerate) {
  names->clear();
  if (!handle) return ERROR_INVALID_HANDLE;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kMaxName];
    DWORD length = kMaxName;
    const LONG rc = enumerate(AsKey(handle), index, name, &length);
    if (rc == ERROR_NO_MORE_ITEMS) return kRegOk;
    if (rc != ERROR_SUCCESS) return static_cast<uint32_t>(rc);
    names->emplace_back(as_u16cstr(name), length);
  }
}

}  // namespace

void RegKey::HandleTraits::Close(Handle h) { RegCloseKey(AsKey(h)); }

uint32_t RegKey::Open(RegRoot root, std::u16string_view subkey, RegAccess access, RegKey* key) {
  return OpenUnder(RootHandle(root), subkey, access, false, key->handle_.put());
}

uint32_t RegKey::Create(RegRoot root, std::u16string_view subkey, RegAccess access, RegKey* key) {
  return OpenUnder(RootHandle(root), subkey, access, true, key->handle_.put());
}

uint32_t RegKey::OpenChild(std::u16string_view subkey, RegAccess access, RegKey* key) const {
  if (!handle_) return ERROR_INVALID_HANDLE;
  return OpenUnder(AsKey(handle_.get()), subkey, access, false, key->handle_.put());
}

uint32_t RegKey::CreateChild(std::u16string_view subkey, RegAccess access, RegKey* key) const {
  if (!handle_) return ERROR_INVALID_HANDLE;
  return OpenUnder(AsKey(handle_.get()), subkey, access, true, key->handle_.put());
}

uint32_t RegKey::ReadValue(std::u16string_view name, size_t max_bytes, RegType* type,
                           std::vector<uint8_t>* data) const {
  data->clear();
  *type = RegType::kNone;
  if (!handle_) return ERROR_INVALID_HANDLE;
  const std::u16string value_name = ValueName(name);
  DWORD value_type = 0;
  DWORD size = 0;
  LONG rc = RegQueryValueExW(AsKey(handle_.get()), as_wcstr(value_name), nullptr, &value_type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return static_cast<uint32_t>(rc);
  if (size > max_bytes) return kRegMoreData;
  // The value may change between the two calls; the second is bounded by the buffer all the same.
  data->resize(size);
  rc = RegQueryValueExW(AsKey(handle_.get()), as_wcstr(value_name), nullptr, &value_type,
                        size ? data->data() : nullptr, &size);
  if (rc != ERROR_SUCCESS) {
    data->clear();
    return static_cast<uint32_t>(rc);
  }
  data->resize(size);
  *type = static_cast<RegType>(value_type);
  return kRegOk;
}

uint32_t RegKey::ReadString(std::u16string_view name, size_t max_bytes, RegStringCheck check,
                            std::u16string* value) const {
  value->clear();
  RegType type;
  std::vector<uint8_t> data;
  const uint32_t rc = ReadValue(name, max_bytes, &type, &data);
  if (rc != kRegOk) return rc;
  const size_t units = data.size() / 2;
  if (check != RegStringCheck::kAnyData && type != RegType::kString && type != RegType::kExpandString) {
    return kRegInvalidData;
  }
  if (check == RegStringCheck::kTerminatedText) {
    if (data.size() % 2 != 0) return kRegInvalidData;
    if (units > 0 && (data[2 * units - 2] != 0 || data[2 * units - 1] != 0)) return kRegInvalidData;
  }
  std::u16string text;
  for (size_t i = 0; i < units; ++i) {
    const char16_t c = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (c == 0) break;
    text.push_back(c);
  }
  *value = std::move(text);
  return kRegOk;
}

uint32_t RegKey::WriteString(std::u16string_view name, std::u16string_view value, RegTerminator terminator) const {
  if (!handle_) return ERROR_INVALID_HANDLE;
  const std::u16string value_name = ValueName(name);
  const std::u16string text(value);
  const size_t bytes = text.size() * 2 + (terminator == RegTerminator::kIncluded ? 2 : 0);
  if (bytes > 0xFFFFFFFFu) return ERROR_INVALID_PARAMETER;
  return static_cast<uint32_t>(RegSetValueExW(AsKey(handle_.get()), as_wcstr(value_name), 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(text.c_str()),
                                              static_cast<DWORD>(bytes)));
}

uint32_t RegKey::ReadDword(std::u16string_view name, uint32_t* value) const {
  RegType type;
  std::vector<uint8_t> data;
  const uint32_t rc = ReadValue(name, 4, &type, &data);
  if (rc == kRegMoreData) return kRegWrongType;
  if (rc != kRegOk) return rc;
  if (type != RegType::kDword || data.size() != 4) return kRegWrongType;
  *value = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
           (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
  return kRegOk;
}

uint32_t RegKey::WriteDword(std::u16string_view name, uint32_t value) const {
  if (!handle_) return ERROR_INVALID_HANDLE;
  const std::u16string value_name = ValueName(name);
  const DWORD data = value;
  return static_cast<uint32_t>(RegSetValueExW(AsKey(handle_.get()), as_wcstr(value_name), 0, REG_DWORD,
                                              reinterpret_cast<const BYTE*>(&data), sizeof(data)));
}

uint32_t RegKey::DeleteValue(std::u16string_view name) const {
  if (!handle_) return ERROR_INVALID_HANDLE;
  const std::u16string value_name = ValueName(name);
  return static_cast<uint32_t>(RegDeleteValueW(AsKey(handle_.get()), as_wcstr(value_name)));
}

uint32_t RegKey::ListSubkeys(std::vector<std::u16string>* names) const {
  return ListNames<256>(handle_.get(), names, [](HKEY key, DWORD index, wchar_t* name, DWORD* length) {
    return RegEnumKeyExW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
  });
}

uint32_t RegKey::ListValueNames(std::vector<std::u16string>* names) const {
  return ListNames<16384>(handle_.get(), names, [](HKEY key, DWORD index, wchar_t* name, DWORD* length) {
    return RegEnumValueW(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
  });
}

uint32_t DeleteKeyTree(RegRoot root, std::u16string_view subkey) {
  // Never the root itself: a path of separators alone would name it too.
  if (subkey.find_first_not_of(u'\\') == std::u16string_view::npos) return ERROR_INVALID_PARAMETER;
  return DeleteTreeUnder(RootHandle(root), std::u16string(subkey));
}

}  // namespace platform
