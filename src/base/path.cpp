#include "base/path.h"

namespace base {

bool EndsWithSeparator(std::u16string_view path) { return !path.empty() && IsSeparator(path.back()); }

void AddBackslash(std::u16string& path) {
  if (!path.empty() && !EndsWithSeparator(path)) path.push_back(u'\\');
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string out(folder);
  AddBackslash(out);
  out.append(name);
  return out;
}

std::u16string_view FileNamePart(std::u16string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return path.substr(i);
  }
  return path;
}

std::u16string_view ParentPart(std::u16string_view path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return path.substr(0, i - 1);
  }
  return {};
}

bool IsContainedRelativePath(std::u16string_view name) {
  if (name.empty() || IsSeparator(name[0])) return false;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] == u':') return false;
    if (i < name.size() && name[i] == 0) return false;
    if (i == name.size() || IsSeparator(name[i])) {
      std::u16string_view part = name.substr(start, i - start);
      // Windows drops trailing dots and spaces, so ". " or ".. " would act as "." or "..".
      if (!part.empty() && part.find_first_not_of(u". ") == std::u16string_view::npos) return false;
      start = i + 1;
    }
  }
  return true;
}

bool IsContainedFilePath(std::u16string_view name) {
  return IsContainedRelativePath(name) && !EndsWithSeparator(name);
}

bool IsPlainName(std::u16string_view name) {
  if (!IsContainedRelativePath(name)) return false;
  for (char16_t c : name) {
    if (IsSeparator(c)) return false;
  }
  return true;
}

}  // namespace base
