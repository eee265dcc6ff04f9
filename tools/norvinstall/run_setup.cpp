#include "run_setup.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/folders.h"
#include "app/suite_key.h"
#include "base/path.h"
#include "base/strings.h"
#include "engine/engine_codes.h"
#include "engine/update_core.h"
#include "package/deed_box.h"
#include "package/file_utils.h"
#include "package/payload.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace norvinstall {

namespace {
const wchar_t* W(const std::u16string& text) {
  static_assert(sizeof(wchar_t) == 2, "wchar_t must be UTF-16 on Windows");
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
constexpr std::u16string_view kWorkFolderPrefix = u"norvinstall-";

// False only when the system says that no process has this id; a process that exists but cannot
// be opened counts as running.
bool ProcessRuns(DWORD id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD code = 0;
  const bool runs = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
  CloseHandle(process);
  return runs;
}

// Deletes the work folders of killed runs ("norvinstall-<id>" whose process has ended): each holds
// a whole copy of a package, and no later run would ever use it.
void RemoveAbandonedWorkFolders(const std::u16string& work_dir) {
  std::vector<platform::DirEntry> entries;
  if (!platform::ListDirectory(work_dir, &entries)) return;
  for (const platform::DirEntry& entry : entries) {
    const std::u16string_view name = entry.name;
    const size_t digits = name.size() - std::min(name.size(), kWorkFolderPrefix.size());
    if (!entry.is_directory || entry.is_link || digits == 0 || digits > 10 ||
        name.substr(0, kWorkFolderPrefix.size()) != kWorkFolderPrefix) {
      continue;
    }
    uint64_t id = 0;
    bool number = true;
    for (char16_t c : name.substr(kWorkFolderPrefix.size())) {
      number = number && c >= u'0' && c <= u'9';
      id = id * 10 + static_cast<uint64_t>(c - u'0');
    }
    if (!number || id > MAXDWORD || ProcessRuns(static_cast<DWORD>(id))) continue;
    package::DeleteTree((work_dir + entry.name + u"\\").c_str(), true);
  }
}

}  // namespace

WorkFolder::WorkFolder() {
  const std::u16string work_dir = app::GetTempWorkDir();
  RemoveAbandonedWorkFolders(work_dir);
  path_ = work_dir + std::u16string(kWorkFolderPrefix) + base::UnsignedToUtf16(GetCurrentProcessId()) + u"\\";
  package::DeleteTree(path_.c_str(), true);  // a folder left by a killed run of the same id
  ok_ = package::CreatePath(path_.c_str()) && platform::IsDirectory(path_);
}

WorkFolder::~WorkFolder() {
  if (!path_.empty()) package::DeleteTree(path_.c_str(), true);
}

uint32_t FindPackage(const std::u16string& input, const std::u16string& work_folder, PackageSource* source,
                     std::string* error) {
  *source = PackageSource();
  if (!platform::PathExists(input) || platform::IsDirectory(input)) {
    *error = "no such file: " + Narrow(input);
    return engine::kDataPackageMissing;
  }
  uint8_t header[package::kDosHeaderSize] = {};
  size_t got = 0;
  {
    platform::File file = platform::File::Open(input, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting,
                                               platform::FileShare::kRead);
    if (!file.IsOpen()) {
      *error = "cannot open " + Narrow(input);
      return engine::kDataPackageMissing;
    }
    size_t done = 0;
    while (got < sizeof(header) && file.Read(header + got, sizeof(header) - got, &done) && done > 0) got += done;
  }
  package::PayloadTable table;
  if (package::ReadPayloadTable(header, got, &table)) {
    if (!table.HasPart2()) {
      *error = Narrow(input) + " is a download-type setup file: it carries no package (give the package file)";
      return engine::kDataNotAContainer;
    }
    // The skin part records the package's digest, as the wizard reads it before its pages; a
    // skin part that does not unpack is a damaged setup file, which the wizard refuses too.
    std::string digest;
    if (package::PrepareSkinPartFrom(input, work_folder, nullptr, &digest).empty()) {
      *error = "the skin part of " + Narrow(input) + " is damaged (a damaged or truncated setup file)";
      return engine::kDataNotAContainer;
    }
    source->package_path = package::ExtractBigFileFrom(input, work_folder, platform::TickCount(), digest);
    if (source->package_path.empty()) {
      *error = "the package cannot be taken out of " + Narrow(input) + " (a damaged or truncated setup file)";
      return engine::kDataNotAContainer;
    }
    source->from_setup_file = true;
  } else {
    source->package_path = input;
  }
  package::DeedBoxPtr box(package::CreateDeedBox());
  if (!box || !box->Open(source->package_path.c_str())) {
    *error = Narrow(input) + (source->from_setup_file ? ": its package part is not a package container"
                                                      : " is neither a setup file nor a package container");
    return engine::kDataNotAContainer;
  }
  source->kind = box->GetKind();
  source->compose_list = box->GetComposeList();
  return 0;
}

std::u16string ChooseInstallFolder(const Options& options, FolderOrigin* origin) {
  if (options.has_folder) {
    *origin = FolderOrigin::kOption;
    wchar_t full[MAX_PATH + 1] = {};
    const DWORD n = GetFullPathNameW(W(options.folder), MAX_PATH + 1, full, nullptr);
    if (n == 0 || n > MAX_PATH) return options.folder;
    return std::u16string(reinterpret_cast<const char16_t*>(full), n);
  }
  const std::u16string installed = app::ReadInstallPath();
  if (!installed.empty()) {
    *origin = FolderOrigin::kInstalled;
    return installed;
  }
  *origin = FolderOrigin::kDefault;
  wchar_t folder[MAX_PATH + 1] = {};
  std::u16string base;
  if (SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAM_FILESX86, FALSE) && folder[0] != 0) {
    base = reinterpret_cast<const char16_t*>(folder);
  } else {
    base = u"C:\\Program Files";
  }
  return base + u"\\KestrelClient\\";
}

std::string CodeText(uint32_t code) {
  switch (code) {
    case 0: return "success";
    case 1: return "stopped";
    case 2: return "a null argument";
    case 5: return "a file of a compose was not found when measuring";
    case 8: return "a compose cannot be allocated";
    case 10: return "no data source";
    case 15: return "no container object";
    case 16: return "the file is not a package";
    case 17: return "empty product list";
    case 18: return "a description file cannot be loaded";
    case 20: case 21: return "a compose description without files (HaveSection)";
    case 23: return "a malformed compose description";
    case 25: return "no package loaded";
    case 26: return "a product description is missing from the package";
    case 27: return "a compose description is missing from the package";
    case 28: return "a file name in a description would leave the Temp folder";
    case 40: return "no file list";
    case 41: return "the package file does not exist";
    case 101: return "a file could not be copied into place";
    case 106: return "a file to place is missing (not extracted from the package)";
    case 110: return "a file in use could not be scheduled for replacement at restart";
    case 300: return "a product description without composes";
    case 301: case 302: return "a damaged product description (end marker)";
    case 303: return "a damaged compose description (size)";
    case 304: return "a product description cannot be loaded";
    case 305: return "a compose description cannot be loaded";
    case 352: return "empty product name";
    default: return "see the log";
  }
}

}  // namespace norvinstall
