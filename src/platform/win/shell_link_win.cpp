#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/shell_link.h"
#include "platform/win/unique_handles.h"
#include "platform/win/wstr.h"

namespace platform {
namespace {

UniqueCom<IShellLinkW> NewShellLink() {
  UniqueCom<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.put())))) {
    link.reset();
  }
  return link;
}

UniqueCom<IPersistFile> PersistFileOf(IShellLinkW* link) {
  UniqueCom<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) file.reset();
  return file;
}

// The path of a special folder by its id through an item id list.
std::u16string SpecialFolderByIdList(int csidl) {
  UniqueCoTaskMem<ITEMIDLIST> list;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, list.put())) || !list) return std::u16string();
  wchar_t buffer[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(list.get(), buffer)) return std::u16string();
  return std::u16string(as_u16cstr(buffer));
}

std::u16string SpecialFolderByPath(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return std::u16string();
  return std::u16string(as_u16cstr(buffer));
}

// Shorter than "C:\x\y" is no usable folder.
constexpr size_t kShortestFolder = 6;

}  // namespace

ShellLinkResult SaveShellLink(const ShellLinkFields& fields, std::u16string_view link_path, uint32_t* error) {
  *error = 0;
  UniqueCom<IShellLinkW> link = NewShellLink();
  if (!link) return ShellLinkResult::kNoLinkObject;
  if (FAILED(link.get()->SetPath(as_wcstr(fields.target)))) return ShellLinkResult::kNoLinkObject;
  if (!fields.arguments.empty() && FAILED(link.get()->SetArguments(as_wcstr(fields.arguments)))) {
    return ShellLinkResult::kNoLinkObject;
  }
  if (!fields.icon.empty() && FAILED(link.get()->SetIconLocation(as_wcstr(fields.icon), 0))) {
    return ShellLinkResult::kNoLinkObject;
  }
  if (!fields.description.empty() && FAILED(link.get()->SetDescription(as_wcstr(fields.description)))) {
    return ShellLinkResult::kNoLinkObject;
  }
  UniqueCom<IPersistFile> file = PersistFileOf(link.get());
  if (!file) return ShellLinkResult::kNoLinkObject;
  const std::u16string path(link_path);
  const HRESULT saved = file.get()->Save(as_wcstr(path), TRUE);
  if (FAILED(saved)) {
    *error = static_cast<uint32_t>(saved);
    return ShellLinkResult::kSaveFailed;
  }
  return ShellLinkResult::kSaved;
}

bool ReadShellLink(std::u16string_view link_path, ShellLinkFields* fields) {
  *fields = ShellLinkFields();
  UniqueCom<IShellLinkW> link = NewShellLink();
  if (!link) return false;
  UniqueCom<IPersistFile> file = PersistFileOf(link.get());
  const std::u16string path(link_path);
  if (!file || FAILED(file.get()->Load(as_wcstr(path), STGM_READ))) return false;
  // Arguments may be longer than a path; descriptions are limited to a path's length.
  wchar_t text[INFOTIPSIZE] = {};
  if (SUCCEEDED(link.get()->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) fields->target = as_u16cstr(text);
  text[0] = 0;
  if (SUCCEEDED(link.get()->GetArguments(text, INFOTIPSIZE))) fields->arguments = as_u16cstr(text);
  text[0] = 0;
  if (SUCCEEDED(link.get()->GetDescription(text, MAX_PATH))) fields->description = as_u16cstr(text);
  text[0] = 0;
  int index = 0;
  if (SUCCEEDED(link.get()->GetIconLocation(text, MAX_PATH, &index))) fields->icon = as_u16cstr(text);
  return true;
}

// A 64-bit build runs on the NT family only: the all-users folders.
bool GetDesktopDirectory(std::u16string* folder) {
  *folder = SpecialFolderByIdList(CSIDL_COMMON_DESKTOPDIRECTORY);
  if (folder->size() < kShortestFolder) *folder = SpecialFolderByPath(CSIDL_COMMON_DESKTOPDIRECTORY);
  if (folder->size() < kShortestFolder) *folder = SpecialFolderByPath(CSIDL_DESKTOPDIRECTORY);
  if (folder->size() < kShortestFolder) folder->clear();
  return !folder->empty();
}

bool GetProgramsDirectory(std::u16string* folder) {
  *folder = SpecialFolderByIdList(CSIDL_COMMON_PROGRAMS);
  return !folder->empty();
}

bool MarkFolderSettingsFile(std::u16string_view path) {
  const std::u16string terminated(path);
  return SetFileAttributesW(as_wcstr(terminated), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE) !=
         FALSE;
}

}  // namespace platform
