#include "engine/shortcuts.h"

#include "app/log.h"
#include "app/wizard_state.h"
#include "base/format.h"
#include "base/path.h"
#include "base/strings.h"
#include "engine/os_mask.h"
#include "package/file_utils.h"
#include "platform/fs.h"
#include "platform/profile.h"
#include "platform/shell_link.h"

namespace engine {
namespace {

constexpr std::u16string_view kFolderMapSection = u"NameTitleMap";
constexpr std::u16string_view kSettingsFile = u"desktop.ini";
// GetPrivateProfileStringW with a buffer of 260 characters.
constexpr size_t kMaxMapValue = 259;

bool ContainsIgnoreAsciiCase(std::u16string_view text, std::u16string_view part) {
  return base::ToLowerAscii(text).find(base::ToLowerAscii(part)) != std::u16string::npos;
}

// A title becomes one file or folder name under a shell folder and must stay there.
bool IsAcceptedTitle(std::u16string_view title) {
  if (base::IsPlainName(title)) return true;
  app::LogText2(u"error, shortcut title leads out of its folder: ", std::u16string(title).c_str());
  return false;
}

// The profile functions write a new file in the ANSI code page, which cannot hold every title;
// a file begun with the UTF-16 mark is kept in UTF-16 by them.
void BeginUnicodeProfileFile(std::u16string_view path) {
  if (platform::PathExists(path)) return;
  platform::File file = platform::File::Open(path, platform::FileAccess::kReadWrite,
                                             platform::FileDisposition::kCreateAlways);
  static constexpr unsigned char kMark[] = {0xFF, 0xFE};
  if (file.IsOpen()) file.Write(kMark, sizeof(kMark));
}

bool WriteSettings(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                   std::u16string_view value) {
  BeginUnicodeProfileFile(file);
  const bool written = platform::WriteProfileValue(file, section, key, value);
  platform::MarkFolderSettingsFile(file);
  return written;
}

std::u16string MappedTitle(const ShortcutFolders& folders, std::u16string_view id) {
  return std::u16string(
      base::TrimBlanks(platform::ReadProfileString(FolderMapPath(folders), kFolderMapSection, id, kMaxMapValue)));
}

// Removes a folder of the programs menu, with its contents when it is not empty.
void RemoveMenuFolder(const std::u16string& folder) {
  if (platform::RemoveDirectoryOne(folder) || !platform::IsDirectory(folder)) return;
  package::DeleteTree(folder.c_str(), true);
}

// A description that cannot be loaded reads as one without shortcuts.
void LoadDescription(app::CIniReader* ini, const std::u16string& path) {
  if (!ini->LoadTzFile(path)) app::LogText2(u"warning, shortcuts: cannot load description ", path.c_str());
}

// Loads the description into *ini and deletes the links of its shortcuts where their positions
// put them. True when every search could be made.
bool DeleteLinksOfDescription(app::CIniReader* ini, const std::u16string& path, uint16_t language,
                              const ShortcutFolders& folders) {
  LoadDescription(ini, path);
  bool removed = true;
  for (const ShortcutEntry& entry : ReadShortcutEntries(*ini, language)) {
    removed &= DeleteShortcutsFor(folders, entry.id, entry.position);
  }
  return removed;
}

}  // namespace

uint32_t ShortcutPositionBits(std::u16string_view position) {
  uint32_t bits = 0;
  if (ContainsIgnoreAsciiCase(position, u"desktop")) bits |= kShortcutDesktop;
  if (ContainsIgnoreAsciiCase(position, u"programes")) bits |= kShortcutPrograms;
  return bits;
}

std::u16string ShortcutTitleKey(std::u16string_view id, uint16_t language) {
  return std::u16string(id) + base::Format(8, u"%04x", static_cast<uint32_t>(language));
}

std::vector<ShortcutEntry> ReadShortcutEntries(const app::CIniReader& description, uint16_t language) {
  std::vector<ShortcutEntry> entries;
  const app::IniSection* section = description.FindSection(u"Shortcut");
  if (!section) return entries;
  for (size_t i = 0; i < section->EntryCount(); ++i) {
    const app::IniEntry* line = section->EntryAt(i);
    ShortcutEntry entry;
    entry.id = line->Key();
    entry.target = line->Value();
    entry.title = description.GetString(u"ShortcutTitle", ShortcutTitleKey(entry.id, language));
    entry.arguments = description.GetString(u"ShortcutParam", entry.id);
    entry.position = ShortcutPositionBits(description.GetString(u"ShortcutPosition", entry.id));
    entry.parents = description.GetString(u"ShortcutParent", entry.id);
    entries.push_back(std::move(entry));
  }
  return entries;
}

ShortcutFolders SystemShortcutFolders() {
  ShortcutFolders folders;
  platform::GetDesktopDirectory(&folders.desktop);
  platform::GetProgramsDirectory(&folders.programs);
  return folders;
}

std::u16string FolderMapPath(const ShortcutFolders& folders) {
  return base::JoinPath(folders.programs, kSettingsFile);
}

bool CreateShortcut(const char16_t* target, std::u16string_view arguments, std::u16string_view link_path,
                    std::u16string_view icon, std::u16string_view description, std::u16string* out_path) {
  if (!target) return false;
  platform::ShellLinkFields fields{target, std::u16string(arguments), std::u16string(icon),
                                   std::u16string(description)};
  uint32_t error = 0;
  const platform::ShellLinkResult result = platform::SaveShellLink(fields, link_path, &error);
  if (result == platform::ShellLinkResult::kNoLinkObject) return false;
  if (result == platform::ShellLinkResult::kSaveFailed) {
    app::LogText2(u"error, CreateShortcut file=", std::u16string(link_path).c_str(), error);
    return false;
  }
  if (out_path) out_path->assign(link_path);
  return true;
}

bool CreateDesktopShortcut(const ShortcutFolders& folders, std::u16string_view target, std::u16string_view arguments,
                           std::u16string_view title, std::u16string_view icon, std::u16string_view id,
                           std::u16string* out_path) {
  if (folders.desktop.empty() || !IsAcceptedTitle(title)) return false;
  DeleteLinksWithDescription(folders.desktop, id);
  const std::u16string link = base::JoinPath(folders.desktop, std::u16string(title) + u".lnk");
  return CreateShortcut(std::u16string(target).c_str(), arguments, link, icon, id, out_path);
}

bool CreateProgramsShortcut(const ShortcutFolders& folders, std::u16string_view target,
                            std::u16string_view arguments, std::u16string_view title, std::u16string_view icon,
                            std::u16string_view id, std::u16string_view parent_id, std::u16string* out_path) {
  if (folders.programs.empty() || !IsAcceptedTitle(title)) return false;
  std::u16string folder = folders.programs;
  if (!parent_id.empty()) {
    const std::u16string folder_title = MappedTitle(folders, parent_id);
    if (folder_title.empty()) {
      app::LogText2(u"error, shortcut folder not in NameTitleMap: ", std::u16string(parent_id).c_str());
      return false;
    }
    if (!IsAcceptedTitle(folder_title)) return false;
    folder = base::JoinPath(folder, folder_title);
    if (!platform::IsDirectory(folder)) platform::CreateDirectoryOne(folder);
  }
  DeleteLinksWithDescription(folder, id);
  const std::u16string link = base::JoinPath(folder, std::u16string(title) + u".lnk");
  return CreateShortcut(std::u16string(target).c_str(), arguments, link, icon, id, out_path);
}

bool PlaceShortcut(const ShortcutFolders& folders, const ShortcutEntry& entry, std::u16string_view target_path) {
  bool made_all = true;
  if ((entry.position & kShortcutDesktop) != 0 && app::CreateDesktopLinks()) {
    made_all &= CreateDesktopShortcut(folders, target_path, entry.arguments, entry.title, {}, entry.id, nullptr);
  }
  if ((entry.position & kShortcutPrograms) == 0) return made_all;
  for (std::u16string_view parent : base::SplitList(entry.parents)) {
    made_all &= CreateProgramsShortcut(folders, target_path, entry.arguments, entry.title, {}, entry.id, parent,
                                       nullptr);
  }
  return made_all;
}

bool CreateShortcutFolder(const ShortcutFolders& folders, std::u16string_view id, std::u16string_view icon,
                          std::u16string_view title, std::u16string_view install_dir) {
  if (folders.programs.empty()) {
    app::LogText2(u"error , GetProgramsDirectory error lpTitle=", std::u16string(title).c_str());
    return false;
  }
  if (!IsAcceptedTitle(title)) return false;
  const std::u16string map = FolderMapPath(folders);
  const std::u16string folder = base::JoinPath(folders.programs, title);
  const std::u16string old_title = MappedTitle(folders, id);
  if (!old_title.empty() && !base::EqualsIgnoreAsciiCase(old_title, title) && IsAcceptedTitle(old_title)) {
    const std::u16string old_folder = base::JoinPath(folders.programs, old_title);
    if (platform::IsDirectory(old_folder) && !platform::PathExists(folder)) {
      platform::MoveFileReplacing(old_folder, folder);
    }
  }
  if (!platform::IsDirectory(folder) && !platform::CreateDirectoryOne(folder)) {
    app::LogText2(u"error,shortcut folder create directory :", folder.c_str());
    return false;
  }
  bool written = true;
  if (!icon.empty()) {
    const std::u16string settings = base::JoinPath(folder, kSettingsFile);
    written &= WriteSettings(settings, u".ShellClassInfo", u"IconFile", std::u16string(install_dir) + std::u16string(icon));
    written &= WriteSettings(settings, u".ShellClassInfo", u"IconIndex", u"0");
  }
  written &= WriteSettings(map, kFolderMapSection, id, title);
  return written;
}

bool RemoveShortcutFolder(const ShortcutFolders& folders, std::u16string_view id, std::u16string_view title) {
  title = base::TrimBlanks(title);
  if (title.empty()) return true;
  if (folders.programs.empty()) {
    app::LogText2(u"error , GetProgramsDirectory error lpTitle=", std::u16string(title).c_str());
    return false;
  }
  bool removed = IsAcceptedTitle(title);
  if (removed) RemoveMenuFolder(base::JoinPath(folders.programs, title));
  const std::u16string mapped = MappedTitle(folders, id);
  if (!mapped.empty()) {
    if (IsAcceptedTitle(mapped)) {
      RemoveMenuFolder(base::JoinPath(folders.programs, mapped));
    } else {
      removed = false;
    }
    platform::DeleteProfileKey(FolderMapPath(folders), kFolderMapSection, id);
  }
  return removed;
}

bool LinkDescriptionEquals(std::u16string_view link_path, std::u16string_view text) {
  platform::ShellLinkFields link;
  return platform::ReadShellLink(link_path, &link) && base::EqualsIgnoreAsciiCase(link.description, text);
}

bool DeleteLinksWithDescription(std::u16string_view folder, std::u16string_view id) {
  if (folder.empty() || id.empty()) return false;
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(folder, &entries);
  for (const platform::DirEntry& entry : entries) {
    const std::u16string path = base::JoinPath(folder, entry.name);
    if (entry.is_link) continue;
    if (entry.is_directory) {
      DeleteLinksWithDescription(path, id);
    } else if (base::EndsWithIgnoreAsciiCase(entry.name, u".lnk") && LinkDescriptionEquals(path, id)) {
      platform::DeleteFileAt(path);
    }
  }
  return true;
}

bool DeleteShortcutsFor(const ShortcutFolders& folders, std::u16string_view id, uint32_t position) {
  bool removed = true;
  if ((position & kShortcutDesktop) != 0) removed &= DeleteLinksWithDescription(folders.desktop, id);
  if ((position & kShortcutPrograms) != 0) removed &= DeleteLinksWithDescription(folders.programs, id);
  return removed;
}

bool CreateProductShortcuts(const Product& product, const ShortcutFolders& folders, const TargetFolders& targets) {
  app::CIniReader ini;
  LoadDescription(&ini, product.file_path);
  bool made_all = true;
  if (const app::IniSection* section = ini.FindSection(u"ShortcutFolder")) {
    for (size_t i = 0; i < section->EntryCount(); ++i) {
      const app::IniEntry* line = section->EntryAt(i);
      const std::u16string& title = ini.GetString(u"ShortcutTitle", ShortcutTitleKey(line->Key(), product.language));
      made_all &= CreateShortcutFolder(folders, line->Key(), line->Value(), title, targets.install_dir);
    }
  }
  for (const ShortcutEntry& entry : ReadShortcutEntries(ini, product.language)) {
    const std::vector<std::u16string_view> parts = base::SplitList(entry.target, u'-');
    if (parts.size() < 2) continue;
    const std::u16string target_path = FindInstalledFilePath(targets, parts[0], parts[1], nullptr);
    if (target_path.empty()) continue;
    made_all &= PlaceShortcut(folders, entry, target_path);
  }
  return made_all;
}

bool CreateComposeShortcuts(const Compose& compose, bool update_option, bool installed_before,
                            const ShortcutFolders& folders, const TargetFolders& targets) {
  if (update_option && installed_before) return true;
  Compose description(compose.paths);
  LoadDescription(&description.ini, compose.file_path);
  description.name = compose.name;
  description.folder = description.ini.GetString(u"Version", u"Path");
  bool made_all = true;
  for (const ShortcutEntry& entry : ReadShortcutEntries(description.ini, compose.language)) {
    FileEntry file;
    const std::u16string target_path = FileTargetPathById(description, entry.target, targets, &file);
    if (target_path.empty() || !OsMaskAllows(file.os_mask, GetOsMask())) continue;
    made_all &= PlaceShortcut(folders, entry, target_path);
  }
  return made_all;
}

bool RemoveProductShortcuts(const Product& product, const ShortcutFolders& folders) {
  app::CIniReader ini;
  bool removed = DeleteLinksOfDescription(&ini, product.file_path, product.language, folders);
  if (const app::IniSection* section = ini.FindSection(u"ShortcutFolder")) {
    for (size_t i = 0; i < section->EntryCount(); ++i) {
      const std::u16string& id = section->EntryAt(i)->Key();
      removed &= RemoveShortcutFolder(folders, id, ini.GetString(u"ShortcutTitle", ShortcutTitleKey(id, product.language)));
    }
  }
  return removed;
}

bool RemoveComposeShortcuts(const Compose& compose, const ShortcutFolders& folders) {
  app::CIniReader ini;
  return DeleteLinksOfDescription(&ini, compose.file_path, compose.language, folders);
}

}  // namespace engine
