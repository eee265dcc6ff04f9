#include <mutex>

#include "app/folders.h"
#include "base/path.h"
#include "platform/profile.h"
#include "platform/registry.h"

namespace app {
namespace {

constexpr char16_t kClientKey[] = u"Software\\NorvClient";
constexpr char16_t kInstallPathValue[] = u"InstallPath";
// A folder shorter than this is no real install folder yet: the cache is filled again.
constexpr size_t kMinCachedChars = 6;
// "InstallPath" is read into a buffer of 260 characters: 259 and the terminator.
constexpr size_t kMaxInstallPathBytes = 520;
constexpr size_t kMaxPathChars = 259;

// The cache is filled by its first caller and then only read; the lock keeps a first use on two
// threads from tearing the string.
std::mutex g_install_dir_mutex;
std::u16string g_install_dir;

std::u16string ReadInstallPathValue() {
  platform::RegKey key;
  if (platform::RegKey::Create(platform::RegRoot::kLocalMachine, kClientKey, platform::RegAccess::kRead, &key) !=
      platform::kRegOk) {
    return std::u16string();
  }
  std::u16string value;
  if (key.ReadString(kInstallPathValue, kMaxInstallPathBytes, platform::RegStringCheck::kAnyData, &value) !=
      platform::kRegOk) {
    return std::u16string();
  }
  // A value that fills the buffer without a terminator leaves no room for the separator.
  if (value.size() > kMaxPathChars) return std::u16string();
  return value;
}

}  // namespace

std::u16string GetInstallDir(const char16_t* suffix) {
  std::u16string folder;
  {
    std::lock_guard<std::mutex> lock(g_install_dir_mutex);
    if (g_install_dir.size() < kMinCachedChars) {
      g_install_dir = ReadInstallPathValue();
      if (!g_install_dir.empty() && !base::EndsWithSeparator(g_install_dir)) g_install_dir.push_back(u'\\');
    }
    folder = g_install_dir;
  }
  if (suffix) folder += suffix;
  return folder;
}

bool SetInstallPath(const char16_t* folder) {
  if (!folder) return false;
  platform::RegKey key;
  if (platform::RegKey::Create(platform::RegRoot::kLocalMachine, kClientKey, platform::RegAccess::kReadWrite,
                               &key) != platform::kRegOk) {
    return false;
  }
  key.WriteString(kInstallPathValue, folder, platform::RegTerminator::kIncluded);
  return true;
}

std::u16string GetInfoUrl(const char16_t* key) {
  if (!key) return std::u16string();
  std::u16string file = GetInstallDir(nullptr);
  if (file.empty()) return std::u16string();
  if (file.back() != u'\\') file.push_back(u'\\');
  file += u"ProgData\\norvInfo.dat";
  return platform::ReadProfileString(file, u"Url", key, kMaxPathChars);
}

void ResetInstallDirCacheForTesting() {
  std::lock_guard<std::mutex> lock(g_install_dir_mutex);
  g_install_dir.clear();
}

}  // namespace app
