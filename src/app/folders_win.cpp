#include <mutex>

#include "app/folders.h"
#include "app/suite_key.h"
#include "base/path.h"
#include "platform/profile.h"

namespace app {
namespace {

// A folder shorter than this is no real install folder yet: the cache is filled again.
constexpr size_t kMinCachedChars = 6;
constexpr size_t kMaxPathChars = 259;

// The cache is filled by its first caller and then only read; the lock keeps a first use on two
// threads from tearing the string.
std::mutex g_install_dir_mutex;
std::u16string g_install_dir;

}  // namespace

std::u16string GetInstallDir(const char16_t* suffix) {
  std::u16string folder;
  {
    std::lock_guard<std::mutex> lock(g_install_dir_mutex);
    if (g_install_dir.size() < kMinCachedChars) {
      g_install_dir = ReadInstallPath();
      base::AddBackslash(g_install_dir);
    }
    folder = g_install_dir;
  }
  if (suffix) folder += suffix;
  return folder;
}

bool SetInstallPath(const char16_t* folder) { return folder && WriteInstallPath(folder); }

std::u16string GetInfoUrl(const char16_t* key) {
  if (!key) return std::u16string();
  const std::u16string folder = GetInstallDir();  // ends in a separator when there is one
  if (folder.empty()) return std::u16string();
  return platform::ReadProfileString(folder + u"ProgData\\norvInfo.dat", u"Url", key, kMaxPathChars);
}

void ResetInstallDirCacheForTesting() {
  std::lock_guard<std::mutex> lock(g_install_dir_mutex);
  g_install_dir.clear();
}

}  // namespace app
