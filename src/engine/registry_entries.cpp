#include "engine/registry_entries.h"

#include "base/strings.h"

namespace engine {
namespace {

constexpr char16_t kInstallPathMark[] = u"#INSTALLPATH#";

// The number that "%d" would have printed to give these digits: no sign, no leading zero.
std::optional<size_t> SectionNumber(std::u16string_view digits, size_t limit) {
  if (digits.empty() || digits[0] == u'0') return std::nullopt;
  size_t n = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    n = n * 10 + static_cast<size_t>(c - u'0');
    if (n > limit) return std::nullopt;
  }
  return n;
}

std::u16string Value(const app::IniSection& section, std::u16string_view key) {
  const app::IniEntry* entry = section.FindEntry(key);
  return entry ? std::u16string(base::TrimBlanks(entry->Value())) : std::u16string();
}

// Every mark replaced; the folder is not searched again, so a folder holding the mark is kept.
std::u16string PutInstallDir(std::u16string text, std::u16string_view install_dir) {
  const std::u16string_view mark = kInstallPathMark;
  for (size_t at = text.find(mark); at != std::u16string::npos; at = text.find(mark, at + install_dir.size())) {
    text.replace(at, mark.size(), install_dir);
  }
  return text;
}

// Root, key path and value name: what both kinds of entry carry. Nothing for an unknown root.
std::optional<RegistryEntry> ReadEntry(const app::IniSection& section) {
  const std::optional<platform::RegRoot> root = ParseRegRoot(Value(section, u"KeyParent"));
  if (!root) return std::nullopt;
  RegistryEntry entry;
  entry.root = *root;
  entry.sub_key = Value(section, u"SubKey");
  entry.value_name = Value(section, u"KeyName");
  return entry;
}

}  // namespace

std::optional<platform::RegRoot> ParseRegRoot(std::u16string_view name) {
  static constexpr struct {
    const char16_t* name;
    platform::RegRoot root;
  } kRoots[] = {
      {u"HKEY_LOCAL_MACHINE", platform::RegRoot::kLocalMachine},
      {u"HKEY_CURRENT_USER", platform::RegRoot::kCurrentUser},
      {u"HKEY_CLASSES_ROOT", platform::RegRoot::kClassesRoot},
      {u"HKEY_USERS", platform::RegRoot::kUsers},
      {u"HKEY_CURRENT_CONFIG", platform::RegRoot::kCurrentConfig},
  };
  for (const auto& r : kRoots) {
    if (base::EqualsIgnoreAsciiCase(name, r.name)) return r.root;
  }
  return std::nullopt;
}

std::vector<const app::IniSection*> NumberedSections(const app::CIniReader& ini, std::u16string_view prefix) {
  // A list without gaps cannot go past the number of sections, so that bounds the table.
  const size_t count = ini.SectionCount();
  std::vector<const app::IniSection*> by_number(count + 1, nullptr);
  for (size_t i = 0; i < count; ++i) {
    const app::IniSection* section = ini.SectionAt(i);
    const std::u16string& name = section->Name();
    if (!base::StartsWithIgnoreAsciiCase(name, prefix)) continue;
    const std::optional<size_t> n = SectionNumber(std::u16string_view(name).substr(prefix.size()), count);
    if (n && !by_number[*n]) by_number[*n] = section;
  }
  std::vector<const app::IniSection*> sections;
  for (size_t n = 1; n <= count && by_number[n]; ++n) sections.push_back(by_number[n]);
  return sections;
}

std::vector<RegistryEntry> ReadInstallEntries(const app::CIniReader& ini, std::u16string_view install_dir) {
  std::vector<RegistryEntry> entries;
  for (const app::IniSection* section : NumberedSections(ini, kInstallRegPrefix)) {
    std::optional<RegistryEntry> entry = ReadEntry(*section);
    if (!entry) continue;
    entry->dword = base::EqualsIgnoreAsciiCase(Value(*section, u"Type"), u"DWORD");
    if (!entry->dword) entry->text = PutInstallDir(Value(*section, u"KeyValue"), install_dir);
    entries.push_back(std::move(*entry));
  }
  return entries;
}

std::vector<RegistryEntry> ReadUninstallEntries(const app::CIniReader& ini) {
  std::vector<RegistryEntry> entries;
  for (const app::IniSection* section : NumberedSections(ini, kUnInstallRegPrefix)) {
    if (std::optional<RegistryEntry> entry = ReadEntry(*section)) entries.push_back(std::move(*entry));
  }
  return entries;
}

}  // namespace engine
