#include "engine/work_paths.h"

#include <cstdlib>

#include "base/format.h"
#include "base/path.h"
#include "base/strings.h"
#include "platform/system.h"

namespace engine {

std::u16string_view ComposePrefix(std::u16string_view compose_name) {
  const size_t dot = compose_name.find(u'.');
  if (dot == std::u16string_view::npos || dot == 0) return compose_name;
  return compose_name.substr(0, dot);
}

std::u16string_view FileStem(std::u16string_view path) {
  std::u16string_view name = base::FileNamePart(path);
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos || dot == 0) return name;
  return name.substr(0, dot);
}

std::u16string BuildFolderName(uint32_t build) {
  std::u16string digits = base::UnsignedToUtf16(build);
  if (digits.size() < 4) digits.insert(0, 4 - digits.size(), u'0');
  return u"Build_" + digits;
}

std::u16string TempFileName(uint32_t tick, uint32_t random) {
  const uint32_t a = tick % 4095;
  const uint32_t b = (tick / 4095 + random % 4095) / 2;
  return base::Format(32, u"K%x_%x.tmp", a, b);
}

std::u16string NewTempFileName() {
  return TempFileName(platform::TickCount(), static_cast<uint32_t>(std::rand()));
}

WorkPaths::WorkPaths(std::u16string_view install_dir) : install_dir_(install_dir) {
  base::AddBackslash(install_dir_);
}

std::u16string WorkPaths::InstallDir(std::u16string_view suffix) const {
  std::u16string out = install_dir_;
  out.append(suffix);
  return out;
}

std::u16string WorkPaths::ComposeFilePath(std::u16string_view compose_name, ComposeLocation location,
                                          uint32_t build) const {
  const std::u16string prefix(ComposePrefix(compose_name));
  if (!base::IsPlainName(prefix)) return {};
  const std::u16string file = prefix + u".out";
  switch (location) {
    case ComposeLocation::kSource:
      return install_dir_ + u"Compose\\" + prefix + u"\\Source\\" + file;
    case ComposeLocation::kBackup:
      return install_dir_ + u"Compose\\" + prefix + u"\\Backup\\" + BuildFolderName(build) + u"\\" + file;
    case ComposeLocation::kOutput:
      return install_dir_ + u"Compose\\" + prefix + u"\\Output\\" + file;
    case ComposeLocation::kInstalled:
      return install_dir_ + u"Install\\Compose\\" + file;
    case ComposeLocation::kTemp:
      return install_dir_ + u"Temp\\Compose\\" + file;
    case ComposeLocation::kOutputChange:
      return install_dir_ + u"OutputChange\\" + prefix + u"\\Output\\" + file;
  }
  return {};
}

std::u16string WorkPaths::ComposeDir(std::u16string_view compose_name) const {
  const std::u16string_view prefix = ComposePrefix(compose_name);
  if (!base::IsPlainName(prefix)) return {};
  return install_dir_ + u"Compose\\" + std::u16string(prefix) + u"\\";
}

std::u16string WorkPaths::ProductDir() const { return install_dir_ + u"Install\\Product\\"; }

std::u16string WorkPaths::ProductFilePath(std::u16string_view product) const {
  if (!base::IsPlainName(product)) return {};
  return ProductDir() + std::u16string(product) + u".out";
}

std::u16string WorkPaths::TempFilePath(std::u16string_view name) const {
  return install_dir_ + u"Temp\\" + (name.empty() ? NewTempFileName() : std::u16string(name));
}

std::u16string WorkPaths::OutputChangeDir() const { return install_dir_ + u"OutputChange\\"; }

}  // namespace engine
