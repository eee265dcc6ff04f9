#pragma once
// What an install run has to do: the installed files of a compose are measured on disk, an
// installed compose description is compared with the new one file by file (FileState), an
// installed product with the new product description compose by compose (ComposeState), and the
// files that need work are collected.
//
// Codes (engine_codes.h): 0; kComposeFileMissing (5) a file was not found when measuring;
// kOwnerNotSet (32) installed paths asked for before the compose was linked to the installed-state
// store (Compose::LinkToStore); the loading codes
// of Compose::LoadComposeFiles and Product::LoadProduct, passed through.
#include <cstdint>
#include <functional>
#include <string_view>

#include "engine/compose.h"
#include "engine/file_entry.h"
#include "engine/product.h"
#include "engine/target_path.h"
#include "engine/work_paths.h"

namespace engine {

// Whether the installed copy of a file can be relied on: IsInstallFileValid (local_install.h)
// on Windows. Copies it cannot rely on are placed again even when unchanged.
using FileValidityCheck = std::function<bool(const FileEntry& entry)>;

// Measures every entry's file at the compose's location and stores its full path, checksum
// (FullChecksum with kFileFullChecksum, else SampledChecksum) and size; the compose's size
// becomes their sum. Installed files are found at FileTargetPath (the store link must be set:
// kOwnerNotSet otherwise), the other locations at their per-file path (build 1). A file that is
// missing or unreadable counts as checksum 0 and size 0 and gives kComposeFileMissing once all
// entries are measured.
uint32_t MeasureComposeFiles(Compose& compose, const TargetFolders& folders);
// With the folder facts of the running system.
uint32_t MeasureComposeFiles(Compose& compose);

// Compares the compose's installed entries, measured on disk, with the description at
// new_description (loaded at location under the installed compose's name). Afterwards the
// compose holds, for each installed file, the new entry when the description still lists it
// (Unchanged, or Changed when checksum, size, fields 0-3, 6, 7, 15, compose name or folder
// differ) or its installed entry (Removed), followed by the files only the new description
// has (New). A new entry whose installed copy is_valid rejects carries
// kWorkInstalledCopyInvalid. The installed entries are measured where they are installed, so the
// compose must be linked to the store (LinkToStore) first: kOwnerNotSet otherwise, and nothing is
// compared. A missing or unreadable installed file compares as Changed and is placed again.
// Codes: 0; 2 for a null path; kOwnerNotSet; the loading code.
uint32_t MergeComposeFiles(Compose& compose, const char16_t* new_description, ComposeLocation location,
                           const TargetFolders& folders, const FileValidityCheck& is_valid);

// Appends to list the compose's entries that need work, in order, each file (by file and
// compose name) once: Removed entries, and other entries that are not Unchanged or carry
// kWorkInstalledCopyInvalid; unless all is set, only those with a non-zero field 6 or Removed.
void CollectWorkFiles(const Compose& compose, FileEntryList* list, bool all);

// Compares the installed product with the product description at new_description, loaded at
// the Installed location with the installed product's compose list. Composes only the new
// product has move into result as NewOnly; a compose already in result as InstalledOnly takes
// the new attributes and becomes Both; a compose in result gains Update 1 when the new one has
// it. Then each installed compose found in result (not InstalledOnly) makes it Both; when the
// installed product has no compose list of its own, installed composes not in result move
// there as InstalledOnly. result owns what it holds; composes moved out of the new product are not
// linked to a store yet. Codes: 0, 2 for a null path, or the loading code.
uint32_t CompareProducts(Product& installed, const char16_t* new_description, ComposeList* result);

// Windows only: MergeComposeFiles with the running system's folders and IsInstallFileValid.
uint32_t MergeComposeFiles(Compose& compose, const char16_t* new_description, ComposeLocation location);

}  // namespace engine
