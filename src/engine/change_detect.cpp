#include "engine/change_detect.h"

#include <memory>
#include <utility>

#include "base/strings.h"
#include "engine/checksum.h"
#include "engine/engine_codes.h"
#include "platform/fs.h"

namespace engine {
namespace {

bool SameFile(const FileEntry& a, const FileEntry& b) {
  return base::EqualsIgnoreAsciiCase(a.file_name, b.file_name) &&
         base::EqualsIgnoreAsciiCase(a.compose_name, b.compose_name);
}

// The fields whose change makes the file need work again.
bool Differ(const FileEntry& installed, const FileEntry& fresh) {
  return installed.checksum != fresh.checksum || installed.size != fresh.size || installed.packed != fresh.packed ||
         installed.kind != fresh.kind || installed.always_collect != fresh.always_collect ||
         installed.rename_if_locked != fresh.rename_if_locked || installed.os_mask != fresh.os_mask ||
         !base::EqualsIgnoreAsciiCase(installed.source_folder, fresh.source_folder) ||
         !base::EqualsIgnoreAsciiCase(installed.dest_folder, fresh.dest_folder) ||
         !base::EqualsIgnoreAsciiCase(installed.compose_name, fresh.compose_name) ||
         !base::EqualsIgnoreAsciiCase(installed.compose_folder, fresh.compose_folder);
}

bool MeasureFile(const FileEntry& entry, FileChecksum* sum) {
  if (entry.full_path.empty() || !platform::PathExists(entry.full_path) || platform::IsDirectory(entry.full_path)) {
    return false;
  }
  return FileChecksumFor(entry.flags, entry.full_path, sum);
}

}  // namespace

uint32_t MeasureComposeFiles(Compose& compose, const TargetFolders& folders) {
  compose.size = 0;
  uint32_t code = kOk;
  for (FileEntry& entry : compose.entries) {
    if (compose.location == ComposeLocation::kInstalled) {
      if (!compose.store) return kOwnerNotSet;
      entry.full_path = FileTargetPath(entry, folders);
    } else {
      entry.full_path = compose.EntryPath(entry, compose.location, 1);
    }
    FileChecksum sum;
    if (MeasureFile(entry, &sum)) {
      entry.checksum = sum.crc;
      entry.size = static_cast<uint32_t>(sum.size);  // the format keeps the low 32 bits
    } else {
      entry.checksum = 0;
      entry.size = 0;
      code = kComposeFileMissing;
    }
    compose.size += entry.size;
  }
  return code;
}

uint32_t MeasureComposeFiles(Compose& compose) {
  return MeasureComposeFiles(compose, SystemTargetFolders(compose.paths));
}

uint32_t MergeComposeFiles(Compose& compose, const char16_t* new_description, ComposeLocation location,
                           const TargetFolders& folders, const FileValidityCheck& is_valid) {
  if (!new_description) return kNullArgument;
  // Unlinked, the compose would be measured at its description's location, where its installed
  // files are not: every file would be placed again on every run.
  if (!compose.store) return kOwnerNotSet;
  Compose fresh(compose.paths);
  fresh.file_path = new_description;
  // Entries match by compose name: the new description is read under the installed name, so a
  // description kept under another file name still compares file by file.
  fresh.name = compose.name;
  fresh.location = location;
  const uint32_t code = fresh.LoadComposeFiles();
  if (code != kOk) return code;

  // A missing or unreadable installed file measures as checksum 0 and size 0, so it compares as
  // Changed and is placed again; any other failure leaves nothing measured to compare with.
  const uint32_t measured = MeasureComposeFiles(compose, folders);
  if (measured != kOk && measured != kComposeFileMissing) return measured;
  fresh.SetFileStates(FileState::kNew);
  compose.SetFileStates(FileState::kRemoved);

  for (FileEntry& installed : compose.entries) {
    FileEntry* match = nullptr;
    for (FileEntry& candidate : fresh.entries) {
      if (SameFile(installed, candidate)) {
        match = &candidate;
        break;
      }
    }
    if (!match) continue;
    if (is_valid && !is_valid(installed)) match->work_flags |= kWorkInstalledCopyInvalid;
    match->state = Differ(installed, *match) ? FileState::kChanged : FileState::kUnchanged;
    installed = *match;
  }
  for (FileEntry& entry : fresh.entries) {
    if (entry.state == FileState::kNew) compose.entries.push_back(std::move(entry));
  }
  return kOk;
}

void CollectWorkFiles(const Compose& compose, FileEntryList* list, bool all) {
  for (const FileEntry& entry : compose.entries) {
    if (!all && entry.always_collect == 0 && entry.state != FileState::kRemoved) continue;
    if (entry.state == FileState::kUnchanged && (entry.work_flags & kWorkInstalledCopyInvalid) == 0) continue;
    bool listed = false;
    for (const FileEntry& held : *list) {
      if (SameFile(held, entry)) {
        listed = true;
        break;
      }
    }
    if (!listed) list->push_back(entry);
  }
}

uint32_t CompareProducts(Product& installed, const char16_t* new_description, ComposeList* result) {
  if (!new_description || !result) return kNullArgument;
  Product fresh(installed.paths);
  fresh.system_os_mask = installed.system_os_mask;
  const uint32_t code =
      fresh.LoadProduct(new_description, ComposeLocation::kInstalled, installed.compose_list.c_str(), 0);
  if (code != kOk) return code;

  for (size_t i = fresh.composes.size(); i-- > 0;) {
    Compose* found = FindCompose(*result, fresh.composes[i]->name);
    if (!found) {
      std::unique_ptr<Compose> moved = std::move(fresh.composes[i]);
      fresh.composes.erase(fresh.composes.begin() + static_cast<std::ptrdiff_t>(i));
      moved->state = ComposeState::kNewOnly;
      result->push_back(std::move(moved));
    } else if (found->state == ComposeState::kInstalledOnly) {
      found->attributes = fresh.composes[i]->attributes;
      found->state = ComposeState::kBoth;
    } else if (found->attributes.update == 0 && fresh.composes[i]->attributes.update != 0) {
      found->attributes.update = 1;
    }
  }

  for (size_t i = installed.composes.size(); i-- > 0;) {
    Compose* found = FindCompose(*result, installed.composes[i]->name);
    if (found) {
      if (found->state != ComposeState::kInstalledOnly) found->state = ComposeState::kBoth;
    } else if (installed.compose_list.empty()) {
      std::unique_ptr<Compose> moved = std::move(installed.composes[i]);
      installed.composes.erase(installed.composes.begin() + static_cast<std::ptrdiff_t>(i));
      moved->state = ComposeState::kInstalledOnly;
      result->push_back(std::move(moved));
    }
  }
  return kOk;
}

}  // namespace engine
