// Fuzzes the resource archive reader: counting the archives of a file, opening each, and
// extracting every entry. Whatever the bytes, nothing may be written outside the destination
// folder.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/strings.h"
#include "package/file_utils.h"
#include "package/res_archive.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace {

const std::u16string& WorkFolder() {
  static const std::u16string folder = [] {
    std::u16string f = platform::TempDirectory() + u"res_archive_fuzz-" + base::NumberToUtf16(getpid());
    platform::CreateDirectoryOne(f);
    return f + u"/";
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string archive = WorkFolder() + u"input.dat";
  const std::u16string inner = WorkFolder() + u"box/";
  const std::u16string destination = inner + u"dest";
  if (!package::WriteWholeFile(archive.c_str(), data, static_cast<uint32_t>(size), false)) return 0;
  platform::CreateDirectoryOne(inner);

  const std::vector<package::ResArchive> archives = package::ListResArchives(archive);
  uint64_t end = 0;
  for (const auto& a : archives) {
    if (a.start != end || a.size == 0 || a.start + a.size > size) std::abort();
    end = a.start + a.size;
  }
  const int count = package::ExtractArchiveFile(archive.c_str(), destination.c_str(), -1);
  if (count != static_cast<int>(archives.size())) std::abort();
  if (count > 1) package::ExtractArchiveFile(archive.c_str(), destination.c_str(), 1);

  // Only the destination may have appeared beside the archive and inside "box".
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(WorkFolder(), &entries);
  for (const auto& e : entries) {
    if (e.name != u"input.dat" && e.name != u"box") std::abort();
  }
  platform::ListDirectory(inner, &entries);
  for (const auto& e : entries) {
    if (e.name != u"dest") std::abort();
  }
  package::DeleteTree(inner.c_str(), false);
  return 0;
}
