#pragma once
// The installed-state store: what is installed, so that a later run can update or remove it.
//
//   {I}Install\install.ini   [InstallProduct] ProductList=  installed products
//                            [InstallCompose] ComposeList=  installed composes
//                                             LangGroup=    composes that head a language group
//   {I}Install\update.ini    [Update]         Composes=     installed composes of update type
//
// Each value is a name list (name_list.h). CLocalInstall holds install.ini, loaded when the
// store is created and written through by every changing operation; update.ini is loaded, and
// written when changed, within each operation that touches it. Nothing is cached between
// stores: a store sees another's writes only when created after them. Missing files read as
// empty lists. Files are UTF-16 key-value files (app/ini_reader.h).
//
// The registry half of the installed state (Windows only) lives under HKLM
// "Software\NorvClient": "InstallPath" (app/folders.h), "OEM", and the per-file validity marks
// of the subkey "FileValid".
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/ini_reader.h"
#include "engine/work_paths.h"
#include "platform/registry.h"

namespace engine {

// Every name is a wide text; a list argument is comma-separated.
class ILocalInstall {
 public:
  // Destroys the object.
  virtual void Release() = 0;
  // False only for a null or empty name: the result does not tell whether install.ini was saved.
  virtual bool AddInstalledCompose(const char16_t* name) = 0;
  // Removes the name from the compose list and from the update list; the result of saving
  // install.ini. False for a null or empty name.
  virtual bool RemoveInstalledCompose(const char16_t* name) = 0;
  // True when the product is listed already or install.ini was saved with it; false for a null
  // or empty name or a failed save.
  virtual bool AddInstalledProduct(const char16_t* name) = 0;
  // True when the product is not listed; otherwise the result of saving install.ini. False for
  // a null or empty name.
  virtual bool RemoveInstalledProduct(const char16_t* name) = 0;
  virtual std::u16string GetInstalledProducts() = 0;
  virtual std::u16string GetInstalledComposes() = 0;
  // (Re)loads install.ini. Always true: a missing file leaves the store empty.
  virtual bool LoadInstallList() = 0;
  // update.ini's list, or the installed compose list when update.ini has none (so the first
  // change after an install starts from everything installed).
  virtual std::u16string GetUpdateComposes() = 0;
  // True when an item was added and install.ini was saved; false when nothing was added.
  virtual bool AddLangGroups(const char16_t* list) = 0;
  // Removes the items from the language groups and from the update list. True when install.ini
  // was saved (it is saved even when nothing changed).
  virtual bool RemoveLangGroups(const char16_t* list) = 0;
  virtual std::u16string GetLangGroups() = 0;
  // Rewrites the update list without the items (even when none was listed): SetUpdateComposes.
  virtual bool RemoveUpdateComposes(const char16_t* list) = 0;
  // SetUpdateComposes of the update list with the new items; false when nothing was added.
  virtual bool AddUpdateComposes(const char16_t* list) = 0;
  // Stores the text as the update list unless it equals the stored one without regard to case.
  // False for a null text or when update.ini could not be saved.
  virtual bool SetUpdateComposes(const char16_t* text) = 0;

 protected:
  virtual ~ILocalInstall() = default;
};

struct LocalInstallRelease {
  void operator()(ILocalInstall* store) const {
    if (store) store->Release();
  }
};
using LocalInstallPtr = std::unique_ptr<ILocalInstall, LocalInstallRelease>;

// The store of the install folder of paths. install.ini stays in the private CIniReader base;
// the file operator of the install engine extends this class.
class CLocalInstall : public ILocalInstall, private app::CIniReader {
 public:
  // Does not load install.ini: call LoadInstallList (CreateLocalInstall does).
  explicit CLocalInstall(WorkPaths paths);
  ~CLocalInstall() override = default;

  // Deletes the object: only for stores made with new (CreateLocalInstall).
  void Release() override;
  bool AddInstalledCompose(const char16_t* name) override;
  bool RemoveInstalledCompose(const char16_t* name) override;
  bool AddInstalledProduct(const char16_t* name) override;
  bool RemoveInstalledProduct(const char16_t* name) override;
  std::u16string GetInstalledProducts() override;
  std::u16string GetInstalledComposes() override;
  bool LoadInstallList() override;
  std::u16string GetUpdateComposes() override;
  bool AddLangGroups(const char16_t* list) override;
  bool RemoveLangGroups(const char16_t* list) override;
  std::u16string GetLangGroups() override;
  bool RemoveUpdateComposes(const char16_t* list) override;
  bool AddUpdateComposes(const char16_t* list) override;
  bool SetUpdateComposes(const char16_t* text) override;

  const WorkPaths& Paths() const { return paths_; }

 private:
  std::u16string InstallListPath() const;
  std::u16string UpdateListPath() const;
  // Saves install.ini, creating the Install folder when it is missing.
  bool SaveInstallList();

  WorkPaths paths_;
};

// A new store for the install folder of paths, after LoadInstallList; null only when the
// allocation fails. Release it (or hold it in a LocalInstallPtr).
ILocalInstall* CreateLocalInstall(const WorkPaths& paths);

// True when the name is an item of the installed compose list; false for a null name.
bool IsComposeInstalled(const WorkPaths& paths, const char16_t* name);

// Windows only ---------------------------------------------------------------------------------

// The store of the installed system (install folder from "InstallPath").
ILocalInstall* CreateLocalInstall();
bool IsComposeInstalled(const char16_t* name);

// Writes the REG_DWORD "{compose}-{file}" under HKLM "Software\NorvClient\FileValid", creating
// the key. Failures are logged as warnings with the registry code as module code, and otherwise
// ignored: the result is always true.
bool SetInstallFileValid(const char16_t* file_name, const char16_t* compose_name, uint32_t value);

// False only when the mark "{compose}-{file}" exists as a REG_DWORD of 0: the installed copy
// cannot be relied on. A missing key or value, or a value of another type, counts as valid.
bool IsInstallFileValid(const char16_t* file_name, const char16_t* compose_name);

// The FileValid key held open for many marks, as a run writes and reads one per file; each
// operation behaves as the function of the same purpose above.
class FileValidMarks {
 public:
  enum class Access { kRead, kWrite };  // kWrite creates the key
  explicit FileValidMarks(Access access);
  bool Set(const char16_t* file_name, const char16_t* compose_name, uint32_t value);
  // Deletes the mark (a missing mark counts as valid); a mark that is not there is no failure.
  void Remove(const char16_t* file_name, const char16_t* compose_name);
  bool IsValid(const char16_t* file_name, const char16_t* compose_name) const;

 private:
  platform::RegKey key_;
  uint32_t open_code_;
};

}  // namespace engine
