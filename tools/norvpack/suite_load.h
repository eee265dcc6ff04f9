#pragma once
// Loading and checking a suite folder: the sources from which "norvpack build" makes a setup
// file. Layout (names relative to the suite folder):
//
//   suite.ini                   [Suite] Products, DownloadUrl, CheckString, ArchiveTime
//   products/<product>.out      product descriptions
//   composes/<prefix>.out       compose descriptions; fields 12 and 14 of file lines, "Size" and
//                               "FileSize" are computed by the build
//   files/<prefix>/[<field 0>/]<file>   the files that the file lines list
//   archives/<name>/            the folder from which the resource archive <name>.dat is built
//                               when a file line lists <name>.dat and files/ has no such file
//   skin/wizard/                the group "SetupSkinPart1" of the skin part (setup file part 1)
//   skin/install/               the group "SetupSkinPart2" of the package; "Setup.ini" goes here
//
// Every problem is reported with the file and line it comes from; loading stops at the first.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/file_entry.h"
#include "suite_text.h"

namespace norvpack {

// One file line of a compose description.
struct SuiteFile {
  app::IniEntry* line = nullptr;  // in the description's reader, which the build rewrites
  engine::FileEntry entry;        // as parsed by the installer's own rule
  // The file to carry, or for a resource archive the folder it is built from.
  std::u16string source;
  bool is_archive = false;
};

// One compose description; composes whose names share a prefix share it.
struct SuiteCompose {
  std::u16string prefix;
  std::vector<std::u16string> names;
  LocatedIni description;
  std::vector<SuiteFile> files;
};

struct SuiteProduct {
  std::u16string name;
  LocatedIni description;
  std::vector<std::u16string> composes;  // the compose closure, in the installer's load order
};

struct SuiteSettings {
  std::vector<std::u16string> products;
  std::u16string download_url;
  bool check_string = false;   // write the "CheckFileOKEnd" end marker into product descriptions
  uint32_t archive_time = 0;   // modification time of every resource archive entry (seconds, UTC)
};

// A skin file and the group it goes to.
struct SuiteSkinFile {
  std::u16string group;     // "SetupSkinPart1" or "SetupSkinPart2"
  std::u16string relative;  // below its part folder, with backslashes
  std::u16string path;
  bool is_text = false;     // a key-value file of the skin, carried as UTF-16
  std::u16string text;      // its decoded text, when is_text
};

struct Suite {
  std::u16string dir;
  SuiteSettings settings;
  std::vector<std::unique_ptr<SuiteProduct>> products;
  std::vector<std::unique_ptr<SuiteCompose>> composes;  // in order of first use
  std::vector<SuiteSkinFile> skin;                       // part 1 files, then part 2, in name order
  std::u16string product_list;                           // for the package header
  std::u16string compose_list;

  SuiteCompose* FindComposeByName(const std::u16string& name) const;
};

constexpr char kSuiteSettingsFile[] = "suite.ini";

// Loads and checks the suite in dir. False with the first problem found.
bool LoadSuite(const std::u16string& dir, Suite* suite, SuiteError* error);

}  // namespace norvpack
