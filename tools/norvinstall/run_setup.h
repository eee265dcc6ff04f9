#pragma once
// What a run of norvinstall needs before the engine starts: a private work folder, the package
// (taken out of a setup file's payload, or the package file itself), the install folder, and
// one-line texts for the engine's codes (Windows only).
#include <cstdint>
#include <string>

#include "options.h"

namespace norvinstall {

// A folder of this run below the wizard's working folder ("%TEMP%\HavenClient\norvinstall-<pid>\"),
// created on construction and removed with everything in it on destruction. A run that is killed
// leaves it behind; the next run deletes such folders of ended processes before it makes its own,
// and the wizard empties the whole working folder at its next start.
class WorkFolder {
 public:
  WorkFolder();
  ~WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  bool ok() const { return ok_; }
  // The folder, ending in "\".
  const std::u16string& path() const { return path_; }

 private:
  std::u16string path_;
  bool ok_ = false;
};

struct PackageSource {
  std::u16string package_path;  // the package container to open
  bool from_setup_file = false;  // taken out of a setup file's part 2 into the work folder
  uint32_t kind = 0;             // the container's kind (1: compose packet)
  std::u16string compose_list;   // the container header's compose list
};

// Finds the package of input: a file whose DOS header holds the payload table is a setup file,
// whose skin part is unpacked into work_folder for the package's digest and whose part 2 is
// copied there as the wizard does ("Big<tick>.dat") and checked against that digest; any other
// file is taken as the package itself. Returns 0 or the engine's code with a one-line reason in
// *error: 41 the file does not exist; 16 a setup file without a package part (download-type), a
// damaged or truncated setup file (a skin part that does not unpack, a part 2 that cannot be
// copied or differs from its digest), or a file that is no package container.
uint32_t FindPackage(const std::u16string& input, const std::u16string& work_folder, PackageSource* source,
                     std::string* error);

enum class FolderOrigin { kOption, kInstalled, kDefault };

// The install folder of a run: --folder (made absolute), else "InstallPath" as stored, else the
// default folder (the 32-bit program-files folder, else "C:\Program Files", followed by
// "\KestrelClient\"), as the wizard's flow computes it.
std::u16string ChooseInstallFolder(const Options& options, FolderOrigin* origin);

// One line that names what an engine code means ("the package is not a package container").
std::string CodeText(uint32_t code);

}  // namespace norvinstall
