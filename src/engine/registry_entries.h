#pragma once
// Registry entries of the setup settings file "Setup.ini", which the package carries in its skin:
// numbered sections written at install time and removed at uninstall time.
//
//   [InstallReg1]            [UnInstallReg1]
//   KeyParent=HKEY_...       KeyParent=HKEY_...
//   SubKey=key path          SubKey=key path
//   KeyName=value name       KeyName=value name (empty or absent: the whole key, subkeys included)
//   Type=DWORD               (other texts, or none: a string value)
//   KeyValue=text            ("#INSTALLPATH#", exact case, becomes the install folder, ending in "\")
//
// Sections are taken from number 1 upward; the first missing number ends the list. Values are
// read without blanks around them. "KeyParent" names one of five roots (ASCII case ignored); an
// entry with any other root, or none, is skipped. The file is untrusted: an entry never costs
// more than its own registry operation, and a removal never deletes a root key.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ini_reader.h"
#include "platform/registry.h"

namespace engine {

constexpr char16_t kInstallRegPrefix[] = u"InstallReg";
constexpr char16_t kUnInstallRegPrefix[] = u"UnInstallReg";

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS" or
// "HKEY_CURRENT_CONFIG" in any ASCII case; nothing for other texts (abbreviations included).
std::optional<platform::RegRoot> ParseRegRoot(std::u16string_view name);

// The sections prefix1, prefix2, ... of ini up to the first missing number, as FindSection would
// find them (the first of duplicates; "InstallReg01" is not number 1). One pass over the sections.
std::vector<const app::IniSection*> NumberedSections(const app::CIniReader& ini, std::u16string_view prefix);

struct RegistryEntry {
  platform::RegRoot root = platform::RegRoot::kLocalMachine;
  std::u16string sub_key;
  std::u16string value_name;  // empty: the default value (install) or the whole key (uninstall)
  bool dword = false;         // install: a REG_DWORD 0 instead of a string
  std::u16string text;        // install: the string value, the install folder put in
};

// The entries of "InstallReg%d" / "UnInstallReg%d" in number order, without those the installer
// skips (unknown root). install_dir replaces "#INSTALLPATH#".
std::vector<RegistryEntry> ReadInstallEntries(const app::CIniReader& ini, std::u16string_view install_dir);
std::vector<RegistryEntry> ReadUninstallEntries(const app::CIniReader& ini);

// Windows only ---------------------------------------------------------------------------------

// Loads the file and writes its install entries, the install folder from app::GetInstallDir. An
// entry whose key cannot be created or value written is passed over, unlogged. False only when
// the file cannot be loaded (then nothing changes).
bool ApplyInstallRegistry(std::u16string_view settings_path);

// Loads the file and removes what its uninstall entries name. Only existing keys are opened: a
// missing key is left missing. An entry without a value name deletes its key with all subkeys,
// unless the key path is empty or only separators (the root itself): such an entry is skipped.
// False only when the file cannot be loaded.
bool ApplyUninstallRegistry(std::u16string_view settings_path);

// The value as text (any type, cut at its first zero) when it fits max_bytes bytes, terminator
// included. False when the key or value is missing, the value is larger, or an argument is null.
// Does not create the key.
bool ReadRegString(platform::RegRoot root, const char16_t* key_path, const char16_t* value_name, size_t max_bytes,
                   std::u16string* value);

// Writes a REG_SZ value with its terminating zero, creating the key. False for a null argument or
// when the key cannot be created or the value not written.
bool WriteRegString(platform::RegRoot root, const char16_t* key_path, const char16_t* value_name,
                    const char16_t* text);

}  // namespace engine
