#include "app/folders.h"
#include "engine/registry_entries.h"

namespace engine {
namespace {

void WriteEntry(const RegistryEntry& entry) {
  platform::RegKey key;
  if (platform::RegKey::Create(entry.root, entry.sub_key, platform::RegAccess::kReadWrite, &key) != platform::kRegOk) {
    return;
  }
  if (entry.dword) {
    key.WriteDword(entry.value_name, 0);
  } else {
    key.WriteString(entry.value_name, entry.text);
  }
}

void RemoveEntry(const RegistryEntry& entry) {
  if (entry.value_name.empty()) {
    // Refuses a key path that names the root.
    platform::DeleteKeyTree(entry.root, entry.sub_key);
    return;
  }
  platform::RegKey key;
  if (platform::RegKey::Open(entry.root, entry.sub_key, platform::RegAccess::kReadWrite, &key) == platform::kRegOk) {
    key.DeleteValue(entry.value_name);
  }
}

}  // namespace

bool ApplyInstallRegistry(std::u16string_view settings_path) {
  app::CIniReader ini;
  if (!ini.LoadTzFile(settings_path)) return false;
  for (const RegistryEntry& entry : ReadInstallEntries(ini, app::GetInstallDir())) WriteEntry(entry);
  return true;
}

bool ApplyUninstallRegistry(std::u16string_view settings_path) {
  app::CIniReader ini;
  if (!ini.LoadTzFile(settings_path)) return false;
  for (const RegistryEntry& entry : ReadUninstallEntries(ini)) RemoveEntry(entry);
  return true;
}

bool ReadRegString(platform::RegRoot root, const char16_t* key_path, const char16_t* value_name, size_t max_bytes,
                   std::u16string* value) {
  if (!key_path || !value_name || !value) return false;
  value->clear();
  platform::RegKey key;
  return platform::RegKey::Open(root, key_path, platform::RegAccess::kRead, &key) == platform::kRegOk &&
         key.ReadString(value_name, max_bytes, platform::RegStringCheck::kAnyData, value) == platform::kRegOk;
}

bool WriteRegString(platform::RegRoot root, const char16_t* key_path, const char16_t* value_name,
                    const char16_t* text) {
  if (!key_path || !value_name || !text) return false;
  platform::RegKey key;
  return platform::RegKey::Create(root, key_path, platform::RegAccess::kReadWrite, &key) == platform::kRegOk &&
         key.WriteString(value_name, text) == platform::kRegOk;
}

}  // namespace engine
