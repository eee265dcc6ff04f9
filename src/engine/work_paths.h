#pragma once
// The working-folder layout under the install folder {I} (always ending in "\"): where compose
// and product description files live for each location, the temporary files of a run and the
// OutputChange folder. Pure string work; nothing here touches the disk.
#include <cstdint>
#include <string>
#include <string_view>

namespace engine {

// Where a compose (and its file list) was loaded from; the numbers are stored values.
enum class ComposeLocation : uint32_t {
  kSource = 0,        // {I}Compose\{p}\Source\{p}.out
  kBackup = 1,        // {I}Compose\{p}\Backup\Build_{n}\{p}.out
  kOutput = 2,        // {I}Compose\{p}\Output\{p}.out
  kInstalled = 3,     // {I}Install\Compose\{p}.out
  kTemp = 4,          // {I}Temp\Compose\{p}.out
  kOutputChange = 5,  // {I}OutputChange\{p}\Output\{p}.out
};

// The compose prefix: the name cut before its first "." (the whole name when it has none or
// starts with one). It names the compose's description file and folders.
std::u16string_view ComposePrefix(std::u16string_view compose_name);

// The file name of a path without folder and without its extension (the part after the last
// "."; a name starting with "." keeps it).
std::u16string_view FileStem(std::u16string_view path);


// "Build_{n}" with n written with at least four digits.
std::u16string BuildFolderName(uint32_t build);

// A temporary file name "K{a}_{b}.tmp" in lower-case hexadecimal: a = tick % 4095,
// b = (tick / 4095 + random % 4095) / 2.
std::u16string TempFileName(uint32_t tick, uint32_t random);
// TempFileName from the tick count and the runtime's pseudo-random generator.
std::u16string NewTempFileName();

class WorkPaths {
 public:
  WorkPaths() = default;
  // A "\" is appended to a non-empty folder that ends in neither "\" nor "/".
  explicit WorkPaths(std::u16string_view install_dir);

  // {I}
  const std::u16string& InstallDir() const { return install_dir_; }
  // {I}{suffix}
  std::u16string InstallDir(std::u16string_view suffix) const;
  // The description file of a compose (by its name or prefix) at a location; build numbers
  // only matter for kBackup and are written with four digits ("Build_0001"). Empty when the
  // prefix is not a plain file name (a separator, a colon, "." or ".."), so that a name read
  // from a description never leads out of the install folder.
  std::u16string ComposeFilePath(std::u16string_view compose_name, ComposeLocation location,
                                 uint32_t build = 1) const;
  // The folder {I}Compose\{prefix} of a compose in the work tree, with its trailing backslash;
  // empty for a prefix that is not a plain file name.
  std::u16string ComposeDir(std::u16string_view compose_name) const;
  // The folder {I}Install\Product and the file {I}Install\Product\{product}.out (the folder
  // with its trailing backslash). The file path is empty when product is not a plain file name.
  std::u16string ProductDir() const;
  std::u16string ProductFilePath(std::u16string_view product) const;
  // {I}Temp\{name}; an empty name gets NewTempFileName(). name is the caller's, made of names
  // already checked.
  std::u16string TempFilePath(std::u16string_view name = {}) const;
  // The folder {I}OutputChange, with its trailing backslash.
  std::u16string OutputChangeDir() const;

 private:
  std::u16string install_dir_;
};

// The paths of the installed system: {I} from the "InstallPath" registry value, cached for the
// process (Windows build only; portable code takes a WorkPaths from its caller).
WorkPaths InstalledWorkPaths();

}  // namespace engine
