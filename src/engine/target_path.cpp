#include "engine/target_path.h"

#include <set>
#include <utility>

#include "app/ini_reader.h"
#include "app/log.h"
#include "base/path.h"
#include "base/strings.h"
#include "engine/name_list.h"
#include "platform/system.h"
#include "platform/system_folders.h"

namespace engine {
namespace {

constexpr std::u16string_view kSystemMacro = u"$SYSTEM32";
constexpr std::u16string_view kWindowsMacro = u"$WINDOWS";

bool IsWhiteSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string_view TrimRightWhiteSpace(std::u16string_view text) {
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

// "X:", "X:\..." or "\\server\...": what an environment form must expand to, so that a
// reference to an unset variable never leaves a path relative to the current folder.
bool IsAbsoluteFolder(std::u16string_view folder) {
  if (folder.size() >= 2 && folder[1] == u':' && (folder.size() == 2 || base::IsSeparator(folder[2]))) return true;
  return folder.size() >= 2 && base::IsSeparator(folder[0]) && base::IsSeparator(folder[1]);
}

// An empty text, or a relative folder that stays inside the folder it is joined to.
bool IsContainedFolder(std::u16string_view folder) {
  return folder.empty() || base::IsContainedRelativePath(folder);
}

std::u16string Refuse(const char16_t* why, const FileEntry& entry) {
  app::LogText3(u"warning, no target path for file ", entry.file_name.c_str(), why);
  return std::u16string();
}

// The folder of the macro form; false when the macro is not defined.
bool MacroFolder(const FileEntry& entry, const TargetFolders& folders, std::u16string* folder,
                 std::u16string_view* rest) {
  const std::u16string_view dest = entry.dest_folder;
  if (base::StartsWithIgnoreAsciiCase(dest, kSystemMacro)) {
    *rest = dest.substr(kSystemMacro.size());
    if ((entry.os_mask & kOs64BitFileBits) != 0) {
      if (!folders.system_for64.empty()) {
        *folder = folders.system_for64;
        return true;
      }
      app::LogText(u"warning , GetSystemDirectoryFor64 is failed ! so user GetSystemDirectory for win32.");
    }
    *folder = folders.system;
    return true;
  }
  if (base::StartsWithIgnoreAsciiCase(dest, kWindowsMacro)) {
    *rest = dest.substr(kWindowsMacro.size());
    *folder = folders.windows;
    return true;
  }
  return false;
}

}  // namespace

TargetFolders SystemTargetFolders(const WorkPaths& paths) {
  TargetFolders folders;
  folders.install_dir = paths.InstallDir();
  platform::GetSystemFolderFor32BitFiles(&folders.system);
  platform::GetSystemDirectoryFor64(&folders.system_for64);
  folders.windows = platform::WindowsDirectory();
  folders.expand_environment = [](std::u16string_view text, std::u16string* expanded) {
    return platform::ExpandEnvironment(text, expanded);
  };
  return folders;
}

std::u16string FileTargetPath(const FileEntry& entry, const TargetFolders& folders) {
  // The same rule as for parsed file lines, checked again where the names meet a folder.
  const std::u16string_view dest = entry.dest_folder;
  const std::u16string_view compose_folder = TrimRightWhiteSpace(entry.compose_folder);
  if (!base::IsContainedRelativePath(entry.file_name) || !IsContainedFolder(dest) ||
      !IsContainedFolder(compose_folder)) {
    return Refuse(u": a name leads out of its folder", entry);
  }
  std::u16string folder;
  if (!dest.empty() && dest[0] == u'%') {
    if (!folders.expand_environment || !folders.expand_environment(dest, &folder) || !IsAbsoluteFolder(folder)) {
      return Refuse(u": the environment form cannot be expanded", entry);
    }
  } else if (!dest.empty() && dest[0] == u'$') {
    std::u16string_view rest;
    if (!MacroFolder(entry, folders, &folder, &rest)) return Refuse(u": the folder macro is unknown", entry);
    if (folder.empty()) return Refuse(u": the folder of the macro is unknown", entry);
    folder.append(rest);
  } else {
    folder = folders.install_dir;
    folder.append(compose_folder);
    base::AddBackslash(folder);
    folder.append(dest);
  }
  base::AddBackslash(folder);
  folder.append(entry.file_name);
  return folder;
}

std::u16string FileTargetPathById(const Compose& compose, std::u16string_view identifier,
                                  const TargetFolders& folders, FileEntry* entry) {
  const size_t dash = identifier.find(u'-');
  if (dash == std::u16string_view::npos) return std::u16string();
  const app::IniEntry* line = compose.ini.GetEntry(identifier.substr(0, dash), identifier.substr(dash + 1));
  if (!line) return std::u16string();
  FileEntry record;
  if (!ParseFileEntry(line->Key(), line->Value(), &record)) return std::u16string();
  record.compose_name = compose.name;
  record.compose_folder = compose.folder;
  if (entry) *entry = record;
  return FileTargetPath(record, folders);
}

std::u16string FindInstalledFilePath(const TargetFolders& folders, std::u16string_view compose_name,
                                     std::u16string_view file_name, const char16_t* dest_folder) {
  const WorkPaths paths(folders.install_dir);
  std::set<std::u16string> searched;
  std::u16string current(compose_name);
  for (;;) {
    if (!base::IsPlainName(current)) return std::u16string();
    searched.insert(base::ToLowerAscii(current));
    app::CIniReader ini;
    if (!ini.LoadTzFile(paths.ComposeFilePath(current, ComposeLocation::kInstalled))) return std::u16string();
    const std::u16string compose_folder = ini.GetString(u"Version", u"Path");
    if (!IsContainedFolder(compose_folder)) return std::u16string();
    for (std::u16string_view section_name : base::SplitList(ini.GetString(u"HaveSection", current))) {
      const app::IniSection* section = ini.FindSection(section_name);
      if (!section) continue;
      for (size_t i = 0; i < section->EntryCount(); ++i) {
        const app::IniEntry* line = section->EntryAt(i);
        if (!base::EqualsIgnoreAsciiCase(line->Key(), file_name)) continue;
        FileEntry record;
        if (!ParseFileEntry(line->Key(), line->Value(), &record)) continue;
        if (dest_folder && !base::EqualsIgnoreAsciiCase(dest_folder, record.dest_folder)) continue;
        record.compose_name = current;
        record.compose_folder = compose_folder;
        return FileTargetPath(record, folders);
      }
    }
    const std::u16string& moved_to = ini.GetString(u"OldFile_Map", file_name);
    if (!moved_to.empty() && !base::EqualsIgnoreAsciiCase(moved_to, current) &&
        searched.count(base::ToLowerAscii(moved_to)) == 0) {
      current = moved_to;
      continue;
    }
    std::u16string path = folders.install_dir;
    if (!compose_folder.empty()) {
      path.append(compose_folder);
      base::AddBackslash(path);
    }
    if (!file_name.empty() && !base::IsContainedRelativePath(file_name)) return std::u16string();
    path.append(file_name);
    return path;
  }
}

}  // namespace engine
