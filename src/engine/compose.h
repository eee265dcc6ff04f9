#pragma once
// Compose: one component of a product. Its attributes, titles and dependencies come from its
// section in the product description (product.h); its files from its own description file
// "{prefix}.out":
//   [Version]      CurVersion (below 1 reads as 1), Size, Path (folder under {I}), FileSize
//   [HaveSection]  any key = comma-separated names of the file sections
//   [<section>]    file name = file line (file_entry.h)
//   [OptionPlugin] file name = option name,option value   (up to 10 pairs per file)
//   [Info]         TitleXXXX / DetailXXXX as in the product file ("||" not converted here)
//   [OldFile_Map]  file name = the compose that holds the file now
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/ini_reader.h"
#include "engine/file_entry.h"
#include "engine/os_mask.h"
#include "engine/work_paths.h"

namespace engine {

class ILocalInstall;

// Set by the comparison of an installed and a new product; kNone before it.
enum class ComposeState : uint32_t {
  kNone = 0,
  kInstalledOnly = 1,  // only in the installed product: to be removed
  kBoth = 3,
  kNewOnly = 4,        // only in the new product: to be installed
};

// "Type" of a compose.
constexpr uint32_t kComposeOrdinary = 0;
constexpr uint32_t kComposeLoadedWithProduct = 1;  // file list loaded with the product on request
constexpr uint32_t kComposeGroupOnly = 2;          // no files, no Info; dropped from the final set

// Compose::flags bits.
constexpr uint32_t kComposeParentLangGroup = 0x1;  // the Parent's section has "LangGroup" 1
// Set by an install run: install.ini listed the compose when the run began, and, for "walp",
// its file list was loaded again from the new description.
constexpr uint32_t kComposeMarkedInstalled = 0x100;
constexpr uint32_t kComposeReloaded = 0x200;

// Languages of the title and detail keys ("Title0804", "Detail0804", ...), in the order of
// ComposeAttributes::texts.
constexpr size_t kLanguageCount = 5;
constexpr std::array<const char16_t*, kLanguageCount> kLanguageSuffixes = {u"0804", u"0409", u"0411", u"0404",
                                                                           u"000A"};
constexpr uint16_t kDefaultLanguage = 0x0804;

constexpr size_t kMaxTitle = 255;
constexpr size_t kMaxDetail = 511;
constexpr size_t kMaxDepends = 255;
constexpr size_t kMaxResource = 259;
constexpr size_t kMaxAttributeName = 63;  // name and Parent
constexpr size_t kMaxComposePath = 127;   // "Version"/"Path"

struct ComposeTexts {
  std::u16string title;   // at most kMaxTitle
  std::u16string detail;  // at most kMaxDetail
};

// The attributes read from the compose's section of the product file. The comparison of
// products copies the block whole from a new compose to the installed one.
struct ComposeAttributes {
  uint32_t type = kComposeOrdinary;
  uint32_t base = 0;         // carried, not interpreted
  uint32_t update = 0;       // non-zero: recorded in the update list of the installed state
  uint32_t hide = 0;         // carried
  uint32_t lang_group = 0;   // carried; see kComposeParentLangGroup
  uint32_t new_show = 0;     // carried
  uint32_t must_update = 0;  // carried
  OsMask support_os = 0;     // 0: every system
  std::u16string depends;    // carried, at most kMaxDepends
  std::u16string resource;   // comma-separated compose names, at most kMaxResource
  std::u16string name;       // the name the compose was added under, at most kMaxAttributeName
  std::u16string parent;     // empty when none, at most kMaxAttributeName
  std::array<ComposeTexts, kLanguageCount> texts;
};

class Compose {
 public:
  explicit Compose(WorkPaths work_paths) : paths(std::move(work_paths)) {}
  Compose(const Compose&) = delete;
  Compose& operator=(const Compose&) = delete;

  // Loads the file list from path (null: file_path). Codes (engine_codes.h):
  //   0 loaded; 18 the file cannot be loaded; 20 no "HaveSection"; 21 "HaveSection" has no keys;
  //   23 a listed section is missing, a file line is malformed, a file occurs twice in this
  //      compose, or "Path" leads out of the install folder.
  // On failure the entries read so far stay; the caller discards the compose.
  uint32_t LoadComposeFiles(const char16_t* path = nullptr);

  // Reads the titles and details of [Info] (not for kComposeGroupOnly), loading file_path first
  // when the reader is empty or reload is set. False when the file cannot be loaded.
  bool LoadComposeInfo(bool reload);

  FileEntry* FindFile(std::u16string_view file_name) { return FindFileEntry(entries, file_name); }
  FileEntry* FindFile(std::u16string_view file_name, std::u16string_view dest_folder) {
    return FindFileEntry(entries, file_name, dest_folder);
  }
  void SetFileStates(FileState file_state);
  void SetLocation(ComposeLocation new_location) { location = new_location; }
  // Links the compose to the installed-state store and makes it the installed compose: its
  // location becomes Installed, so its entries are measured where they are installed. The
  // orchestration links every compose of a run before it loads or measures its installed files.
  void LinkToStore(ILocalInstall* local_install) {
    store = local_install;
    location = ComposeLocation::kInstalled;
  }
  // file_path := the description file of compose_name at the location (build 1); name := its stem.
  void SetFilePath(std::u16string_view compose_name, ComposeLocation at);
  // The copy of one of this compose's entries at a location (see FileEntryPath).
  std::u16string EntryPath(const FileEntry& entry, ComposeLocation at, uint32_t build = 1) const {
    return FileEntryPath(paths, entry, at, build);
  }

  WorkPaths paths;
  // The description the installed entries are compared with: the Installed-location file of
  // this compose when compare_with_installed is set, else new_description_path.
  bool compare_with_installed = false;
  std::u16string new_description_path;
  std::u16string file_path;
  std::u16string name;  // file_path's stem, or the name it was created with
  FileEntryList entries;
  // The installed-state store the compose belongs to (not owned); needed before installed paths
  // are measured. Set by LinkToStore, which products, compose packets and uninstalling by
  // compose name all use.
  ILocalInstall* store = nullptr;
  ComposeState state = ComposeState::kNone;
  std::vector<std::u16string> loaded_sections;
  app::CIniReader ini;  // the compose description once loaded
  uint32_t cur_version = 1;
  uint32_t size = 0;
  std::u16string folder;  // "Version"/"Path", at most kMaxComposePath
  // Where the description and files are measured: Source until set. AddCompose gives Type 1
  // composes their product's location and leaves the others at Source; LinkToStore sets Installed.
  ComposeLocation location = ComposeLocation::kSource;
  bool info_loaded = false;
  ComposeAttributes attributes;
  uint32_t flags = 0;  // kCompose* flag bits
  uint16_t language = kDefaultLanguage;
  std::vector<std::u16string> extra_texts;  // free for callers; the loader leaves it empty
};

using ComposeList = std::vector<std::unique_ptr<Compose>>;

// The compose of that name (compared without regard to ASCII case), or null.
Compose* FindCompose(const ComposeList& list, std::u16string_view name);

// {I}{Path}\{suffix} from "Version"/"Path" of the Installed-location description of the compose
// (the "\" only when Path is not empty); empty when the file cannot be read, has no Path key, or
// its Path leads out of the install folder.
std::u16string ComposeInstallDir(const WorkPaths& paths, std::u16string_view compose_name,
                                 std::u16string_view suffix = {});

}  // namespace engine
