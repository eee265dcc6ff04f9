#include "engine/local_install.h"

#include <new>
#include <utility>

#include "base/strings.h"
#include "engine/name_list.h"
#include "package/file_utils.h"

namespace engine {
namespace {

constexpr char16_t kProductSection[] = u"InstallProduct";
constexpr char16_t kProductListKey[] = u"ProductList";
constexpr char16_t kComposeSection[] = u"InstallCompose";
constexpr char16_t kComposeListKey[] = u"ComposeList";
constexpr char16_t kLangGroupKey[] = u"LangGroup";
constexpr char16_t kUpdateSection[] = u"Update";
constexpr char16_t kUpdateListKey[] = u"Composes";

bool IsNullOrEmpty(const char16_t* text) { return !text || !*text; }

bool SaveCreatingFolder(app::CIniReader& ini, const std::u16string& path) {
  package::CreatePath(path.c_str());
  return ini.SaveAs(path);
}

}  // namespace

CLocalInstall::CLocalInstall(WorkPaths paths) : paths_(std::move(paths)) {}

void CLocalInstall::Release() { delete this; }

std::u16string CLocalInstall::InstallListPath() const { return paths_.InstallDir(u"Install\\install.ini"); }
std::u16string CLocalInstall::UpdateListPath() const { return paths_.InstallDir(u"Install\\update.ini"); }

bool CLocalInstall::SaveInstallList() { return SaveCreatingFolder(*this, InstallListPath()); }

bool CLocalInstall::LoadInstallList() {
  LoadTzFile(InstallListPath());
  return true;
}

std::u16string CLocalInstall::GetInstalledProducts() { return GetString(kProductSection, kProductListKey); }
std::u16string CLocalInstall::GetInstalledComposes() { return GetString(kComposeSection, kComposeListKey); }
std::u16string CLocalInstall::GetLangGroups() { return GetString(kComposeSection, kLangGroupKey); }

bool CLocalInstall::AddInstalledCompose(const char16_t* name) {
  if (IsNullOrEmpty(name)) return false;
  std::u16string list = GetInstalledComposes();
  if (!AppendToNameList(&list, name)) return true;
  SetString(kComposeSection, kComposeListKey, list);
  SaveInstallList();
  return true;
}

bool CLocalInstall::RemoveInstalledCompose(const char16_t* name) {
  if (IsNullOrEmpty(name)) return false;
  std::u16string list = GetInstalledComposes();
  if (!list.empty() && RemoveFromNameList(&list, name)) SetString(kComposeSection, kComposeListKey, list);
  RemoveUpdateComposes(name);
  return SaveInstallList();
}

bool CLocalInstall::AddInstalledProduct(const char16_t* name) {
  if (IsNullOrEmpty(name)) return false;
  std::u16string list = GetInstalledProducts();
  if (!AppendToNameList(&list, name)) return true;
  SetString(kProductSection, kProductListKey, list);
  return SaveInstallList();
}

bool CLocalInstall::RemoveInstalledProduct(const char16_t* name) {
  if (IsNullOrEmpty(name)) return false;
  std::u16string list = GetInstalledProducts();
  if (!RemoveFromNameList(&list, name)) return true;
  SetString(kProductSection, kProductListKey, list);
  return SaveInstallList();
}

bool CLocalInstall::AddLangGroups(const char16_t* list) {
  if (!list) return false;
  std::u16string groups = GetLangGroups();
  bool added = false;
  for (std::u16string_view item : base::SplitList(list)) added |= AppendToNameList(&groups, item);
  if (!added) return false;
  SetString(kComposeSection, kLangGroupKey, groups);
  return SaveInstallList();
}

bool CLocalInstall::RemoveLangGroups(const char16_t* list) {
  if (!list) return false;
  std::u16string groups = GetLangGroups();
  for (std::u16string_view item : base::SplitList(list)) RemoveFromNameList(&groups, item);
  SetString(kComposeSection, kLangGroupKey, groups);
  if (!SaveInstallList()) return false;
  RemoveUpdateComposes(list);
  return true;
}

std::u16string CLocalInstall::GetUpdateComposes() {
  app::CIniReader update;
  update.LoadTzFile(UpdateListPath());
  std::u16string list = update.GetString(kUpdateSection, kUpdateListKey);
  if (list.empty()) list = GetInstalledComposes();
  return list;
}

bool CLocalInstall::RemoveUpdateComposes(const char16_t* list) {
  if (!list) return false;
  std::u16string composes = GetUpdateComposes();
  for (std::u16string_view item : base::SplitList(list)) RemoveFromNameList(&composes, item);
  return SetUpdateComposes(composes.c_str());
}

bool CLocalInstall::AddUpdateComposes(const char16_t* list) {
  if (!list) return false;
  std::u16string composes = GetUpdateComposes();
  bool added = false;
  for (std::u16string_view item : base::SplitList(list)) added |= AppendToNameList(&composes, item);
  if (!added) return false;
  return SetUpdateComposes(composes.c_str());
}

bool CLocalInstall::SetUpdateComposes(const char16_t* text) {
  if (!text) return false;
  const std::u16string path = UpdateListPath();
  app::CIniReader update;
  update.LoadTzFile(path);
  if (base::EqualsIgnoreAsciiCase(text, update.GetString(kUpdateSection, kUpdateListKey))) return true;
  update.SetString(kUpdateSection, kUpdateListKey, text);
  return SaveCreatingFolder(update, path);
}

ILocalInstall* CreateLocalInstall(const WorkPaths& paths) {
  CLocalInstall* store = new (std::nothrow) CLocalInstall(paths);
  if (store) store->LoadInstallList();
  return store;
}

bool IsComposeInstalled(const WorkPaths& paths, const char16_t* name) {
  if (!name) return false;
  LocalInstallPtr store(CreateLocalInstall(paths));
  return store && NameListContains(store->GetInstalledComposes(), name);
}

}  // namespace engine
