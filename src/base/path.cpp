#include "base/path.h"

namespace base {

bool EndsWithSeparator(std::u16string_view path) { return !path.empty() && IsSeparator(path.back()); }

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string out(folder);
  if (!out.empty() && !EndsWithSeparator(out)) out.push_back(u'\\');
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

}  // namespace base
