#include "app/install_folder_check.h"

#include "base/strings.h"

namespace app {

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// The text without trailing separators, separators written as "\".
std::u16string Normalised(std::u16string_view folder) {
  std::u16string text(folder);
  for (char16_t& c : text) {
    if (c == u'/') c = u'\\';
  }
  while (text.size() > 3 && text.back() == u'\\') text.pop_back();
  return text;
}

bool HasBadCharacters(std::u16string_view path) {
  for (size_t i = 0; i < path.size(); ++i) {
    const char16_t c = path[i];
    if (c < 0x20 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*') return true;
    if (c == u':' && i != 1) return true;
  }
  // "." and ".." parts would make the folder somewhere else than it reads.
  for (std::u16string_view part : base::SplitList(path, u'\\')) {
    if (part == u"." || part == u"..") return true;
  }
  return false;
}

}  // namespace

FolderProblem CheckInstallFolderText(std::u16string_view folder, std::u16string_view windows_dir) {
  const std::u16string text = Normalised(base::TrimBlanks(folder));
  if (text.size() < 3 || !IsDriveLetter(text[0]) || text[1] != u':' || !IsSeparator(text[2]) ||
      HasBadCharacters(text)) {
    return FolderProblem::kNotFullPath;
  }
  if (text.size() == 3) return FolderProblem::kDriveRoot;
  if (text.size() > kMaxInstallFolderChars) return FolderProblem::kTooLong;
  const std::u16string windows = Normalised(windows_dir);
  if (windows.size() > 3 && base::StartsWithIgnoreAsciiCase(text, windows) &&
      (text.size() == windows.size() || text[windows.size()] == u'\\')) {
    return FolderProblem::kSystemFolder;
  }
  return FolderProblem::kNone;
}

const char16_t* FolderProblemMessage(FolderProblem problem) {
  switch (problem) {
    case FolderProblem::kNone:
      return nullptr;
    case FolderProblem::kNotFullPath:
      return u"请输入完整的安装路径，例如 C:\\Program Files\\KestrelClient\\";
    case FolderProblem::kDriveRoot:
      return u"不能直接安装到磁盘根目录，请选择一个文件夹！";
    case FolderProblem::kSystemFolder:
      return u"不能安装到系统文件夹，请选择其他文件夹！";
    case FolderProblem::kTooLong:
      return u"安装路径太长，请选择较短的路径！";
    case FolderProblem::kCannotCreate:
      return u"无法创建安装文件夹，请检查路径和权限！";
  }
  return nullptr;
}

}  // namespace app
