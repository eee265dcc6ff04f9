#pragma once
// Shared pieces of the description fuzz targets: a private install folder and the checks that
// hold for every loaded description, whatever the input.
#include <cstdio>
#include <string>

#include "base/path.h"
#include "engine/file_entry.h"
#include "engine/work_paths.h"
#include "fuzz_work_folder.h"

namespace desc_fuzz {

using fuzz_support::Check;

// The Windows-style paths of the engine map onto the process's work folder.
inline const engine::WorkPaths& InstallFolder(const char* name) {
  static const engine::WorkPaths paths(fuzz_support::WorkFolder(name));
  return paths;
}

inline void WriteFile(const std::u16string& path, const uint8_t* data, size_t size) {
  package::CreatePath(path.c_str());
  Check(package::WriteWholeFile(path.c_str(), data, static_cast<uint32_t>(size), false));
}

// The count message of short file lines goes to standard output; the fuzzer reports on
// standard error, so nothing is lost.
inline void SilenceStandardOutput() { Check(std::freopen("/dev/null", "w", stdout) != nullptr); }

// Every parsed entry stays within its widths and its names stay inside their folders, so every
// per-file path lies under the install folder.
inline void CheckEntry(const engine::WorkPaths& paths, const engine::FileEntry& entry) {
  Check(!entry.file_name.empty() && entry.file_name.size() <= engine::kMaxFileName);
  Check(base::IsContainedRelativePath(entry.file_name));
  Check(entry.source_folder.size() <= engine::kMaxFieldText && entry.dest_folder.size() <= engine::kMaxFieldText);
  Check(entry.register_refs.size() <= engine::kMaxFieldText && entry.program_refs.size() <= engine::kMaxFieldText);
  Check(entry.field13.size() <= engine::kMaxFieldText);
  for (const engine::OptionPair& pair : entry.options) {
    Check(pair.name.size() <= engine::kMaxOptionText && pair.value.size() <= engine::kMaxOptionText);
  }
  for (engine::ComposeLocation location :
       {engine::ComposeLocation::kSource, engine::ComposeLocation::kBackup, engine::ComposeLocation::kOutput,
        engine::ComposeLocation::kInstalled, engine::ComposeLocation::kOutputChange}) {
    const std::u16string path = engine::FileEntryPath(paths, entry, location, 1);
    if (path.empty()) continue;
    Check(path.compare(0, paths.InstallDir().size(), paths.InstallDir()) == 0);
    Check(base::IsContainedRelativePath(path.substr(paths.InstallDir().size())));
  }
}

}  // namespace desc_fuzz
