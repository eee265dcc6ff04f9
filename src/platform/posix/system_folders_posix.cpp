// The host has no Windows folders; only environment expansion has a meaning here.
#include <cstdlib>

#include "base/strings.h"
#include "platform/system_folders.h"

namespace platform {

bool GetSystemFolder(std::u16string* folder) {
  folder->clear();
  return false;
}

bool GetSystemFolderFor32BitFiles(std::u16string* folder) {
  folder->clear();
  return false;
}

bool GetSystemDirectoryFor64(std::u16string* folder) {
  folder->clear();
  return false;
}

bool ExpandEnvironment(std::u16string_view text, std::u16string* expanded) {
  expanded->clear();
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find(u'%', pos);
    if (open == std::u16string_view::npos) break;
    const size_t close = text.find(u'%', open + 1);
    if (close == std::u16string_view::npos) break;
    expanded->append(text.substr(pos, open - pos));
    const std::string name = base::Utf16ToUtf8(text.substr(open + 1, close - open - 1));
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value) {
      expanded->append(base::Utf8ToUtf16(value));
      pos = close + 1;
    } else {
      // As on Windows: an unknown reference stays, and its closing "%" may open the next one.
      expanded->append(text.substr(open, close - open));
      pos = close;
    }
  }
  expanded->append(text.substr(pos));
  return true;
}

}  // namespace platform
