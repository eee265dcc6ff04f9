#include "engine/compose.h"

#include <unordered_set>

#include "app/log.h"
#include "base/path.h"
#include "base/strings.h"
#include "engine/engine_codes.h"

namespace engine {
namespace {

constexpr size_t kMaxSectionListName = 511;

bool Contains(const std::vector<std::u16string>& names, std::u16string_view name) {
  for (const std::u16string& n : names) {
    if (base::EqualsIgnoreAsciiCase(n, name)) return true;
  }
  return false;
}

}  // namespace

bool Compose::LoadComposeInfo(bool reload) {
  if (reload || ini.SectionCount() == 0) {
    if (!ini.LoadTzFile(file_path)) return false;
  }
  if (attributes.type == kComposeGroupOnly) return true;
  for (size_t i = 0; i < kLanguageCount; ++i) {
    const std::u16string suffix = kLanguageSuffixes[i];
    attributes.texts[i].title = base::Cut(ini.GetString(u"Info", u"Title" + suffix), kMaxTitle);
    attributes.texts[i].detail = base::Cut(ini.GetString(u"Info", u"Detail" + suffix), kMaxDetail);
  }
  return true;
}

uint32_t Compose::LoadComposeFiles(const char16_t* path) {
  info_loaded = false;
  const std::u16string source = path ? std::u16string(path) : file_path;
  if (!ini.LoadTzFile(source)) {
    app::LogText2(u"Error,LoadTzFile file=", source.c_str());
    return kDescriptionLoadFailed;
  }
  LoadComposeInfo(false);
  const int32_t version = ini.GetInt(u"Version", u"CurVersion", 0);
  cur_version = version < 1 ? 1 : static_cast<uint32_t>(version);
  entries.clear();
  loaded_sections.clear();

  const app::IniSection* have_section = ini.FindSection(u"HaveSection");
  if (!have_section) {
    app::LogText2(u"Error,not found HaveSection key in this file=", source.c_str());
    return kNoHaveSection;
  }
  if (have_section->EntryCount() == 0) return kEmptyHaveSection;

  size = static_cast<uint32_t>(ini.GetInt(u"Version", u"Size", 0));
  folder = base::Cut(ini.GetString(u"Version", u"Path"), kMaxComposePath);
  if (!folder.empty() && !base::IsContainedRelativePath(folder)) {
    app::LogText2(u"Error,compose path leads out of the install folder, file=", source.c_str());
    return kBadFileSection;
  }

  // Entries of this load share the compose name, so the file name alone finds a duplicate.
  std::unordered_set<std::u16string> seen_files;
  for (size_t k = 0; k < have_section->EntryCount(); ++k) {
    for (std::u16string_view section_name : base::SplitList(have_section->EntryAt(k)->Value(), u',', true)) {
      if (section_name.size() > kMaxSectionListName) break;
      if (section_name.empty() || Contains(loaded_sections, section_name)) continue;
      const app::IniSection* section = ini.FindSection(section_name);
      if (!section) {
        app::LogText3(u"  error: can not find \"", std::u16string(section_name).c_str(), u"\" section .\n");
        return kBadFileSection;
      }
      loaded_sections.emplace_back(section_name);
      for (size_t e = 0; e < section->EntryCount(); ++e) {
        const app::IniEntry* line = section->EntryAt(e);
        FileEntry entry;
        entry.section_name = base::Cut(section_name, kMaxSectionName);
        if (!ParseFileEntry(line->Key(), line->Value(), &entry)) return kBadFileSection;
        entry.compose_name = base::Cut(name, kMaxComposeName);
        entry.compose_folder = folder;
        if (!seen_files.insert(base::ToLowerAscii(entry.file_name)).second) {
          const std::u16string message =
              u"  文件" + entry.file_name + u"在组件" + entry.compose_name + u"中有多个地方出现，请修改！\n";
          app::LogText(message.c_str());
          return kBadFileSection;
        }
        entries.push_back(std::move(entry));
      }
    }
  }

  if (const app::IniSection* options = ini.FindSection(u"OptionPlugin")) {
    for (size_t k = 0; k < options->EntryCount(); ++k) {
      const app::IniEntry* line = options->EntryAt(k);
      FileEntry* entry = FindFile(line->Key());
      const std::vector<std::u16string_view> items = base::SplitList(line->Value(), u',', true);
      if (!entry || items.size() != 2) continue;
      OptionPair* free_pair = nullptr;
      for (OptionPair& pair : entry->options) {
        if (pair.value.empty()) {
          free_pair = &pair;
          break;
        }
      }
      if (!free_pair) {
        app::LogText2(u"waring!!! option clsid one file must least then 10, clsid=", line->Value().c_str());
        continue;
      }
      free_pair->name = base::Cut(items[0], kMaxOptionText);
      free_pair->value = base::Cut(items[1], kMaxOptionText);
    }
  }

  info_loaded = true;
  return kOk;
}

void Compose::SetFileStates(FileState file_state) {
  for (FileEntry& entry : entries) entry.state = file_state;
}

void Compose::SetFilePath(std::u16string_view compose_name, ComposeLocation at) {
  file_path = paths.ComposeFilePath(compose_name, at);
  name = std::u16string(FileStem(file_path));
}

Compose* FindCompose(const ComposeList& list, std::u16string_view name) {
  for (const auto& compose : list) {
    if (compose && base::EqualsIgnoreAsciiCase(compose->name, name)) return compose.get();
  }
  return nullptr;
}

std::u16string ComposeInstallDir(const WorkPaths& paths, std::u16string_view compose_name,
                                 std::u16string_view suffix) {
  const std::u16string description = paths.ComposeFilePath(compose_name, ComposeLocation::kInstalled);
  app::CIniReader reader;
  if (description.empty() || !reader.LoadTzFile(description)) return {};
  const app::IniEntry* path_entry = reader.GetEntry(u"Version", u"Path");
  if (!path_entry) return {};
  const std::u16string folder = base::Cut(path_entry->Value(), kMaxComposePath);
  if (!folder.empty() && !base::IsContainedRelativePath(folder)) return {};
  std::u16string out = paths.InstallDir(folder);
  if (!folder.empty()) base::AddBackslash(out);
  out.append(suffix);
  return out;
}

}  // namespace engine
