#include "engine/component_control.h"

#include <vector>

#include "app/ini_reader.h"
#include "base/strings.h"

namespace engine {
namespace {

struct Reference {
  std::u16string compose;
  std::u16string section;
  std::u16string file;
};

// Splits "file", "section:file" or "compose:section:file"; the holder supplies missing parts.
bool ParseReference(std::u16string_view text, const FileEntry& holder, Reference* out) {
  const std::u16string reference = base::Cut(text, kMaxReference);
  const std::vector<std::u16string_view> parts = base::SplitList(reference, u':', true);
  if (parts.empty() || parts.size() > 3) return false;
  const size_t n = parts.size();
  out->file = base::Cut(parts[n - 1], kMaxReferencePart);
  out->section = n >= 2 ? base::Cut(parts[n - 2], kMaxReferencePart) : holder.section_name;
  out->compose = n == 3 ? base::Cut(parts[0], kMaxReferencePart) : holder.compose_name;
  return !out->file.empty();
}

bool SameFile(const FileEntry& entry, const Reference& ref) {
  return base::EqualsIgnoreAsciiCase(entry.file_name, ref.file) &&
         base::EqualsIgnoreAsciiCase(entry.section_name, ref.section) &&
         base::EqualsIgnoreAsciiCase(entry.compose_name, ref.compose);
}

template <typename List>
auto* FindReferenced(List& list, const Reference& ref) {
  for (auto& entry : list) {
    if (SameFile(entry, ref)) return &entry;
  }
  return static_cast<decltype(&list[0])>(nullptr);
}

uint32_t WorkFlagsFor(const FileEntry& holder, WorkListField field) {
  const bool removed = holder.state == FileState::kRemoved;
  if (field == WorkListField::kStartStop) return removed ? kWorkStop : kWorkStop | kWorkStart;
  if (holder.flags & kFileRegisterFlags) return removed ? 0 : kWorkRegister;
  if (removed) return kWorkUnregister;
  return holder.state == FileState::kNew ? kWorkRegister : kWorkRegister | kWorkUnregister;
}

}  // namespace

bool ReadInstalledFileEntry(const WorkPaths& paths, std::u16string_view compose_name, std::u16string_view section,
                            std::u16string_view file_name, FileEntry* entry) {
  const std::u16string description = paths.ComposeFilePath(compose_name, ComposeLocation::kInstalled);
  app::CIniReader ini;
  if (description.empty() || !ini.LoadTzFile(description)) return false;
  const app::IniEntry* line = ini.GetEntry(section, file_name);
  if (!line) return false;
  FileEntry record;
  if (!ParseFileEntry(line->Key(), line->Value(), &record)) return false;
  record.compose_name = std::u16string(compose_name);
  record.section_name = std::u16string(section);
  record.compose_folder = ini.GetString(u"Version", u"Path");
  *entry = std::move(record);
  return true;
}

FileEntryList BuildWorkList(const FileEntryList& run_files, WorkListField field, const WorkPaths& paths) {
  FileEntryList work;
  for (size_t index = 0; index < run_files.size(); ++index) {
    const FileEntry& holder = run_files[index];
    const std::u16string& text = field == WorkListField::kRegister ? holder.register_refs : holder.program_refs;
    const uint32_t flags = WorkFlagsFor(holder, field);
    for (std::u16string_view item : base::SplitList(text, u'|')) {
      Reference ref;
      if (!ParseReference(item, holder, &ref)) continue;
      if (FileEntry* listed = FindReferenced(work, ref)) {
        listed->work_flags |= flags;
        continue;
      }
      FileEntry entry;
      if (const FileEntry* in_run = FindReferenced(run_files, ref)) {
        entry = *in_run;
      } else if (!ReadInstalledFileEntry(paths, ref.compose, ref.section, ref.file, &entry)) {
        continue;
      }
      entry.work_flags = flags;
      entry.order_index = static_cast<uint32_t>(index);
      work.push_back(std::move(entry));
    }
  }
  return work;
}

}  // namespace engine
