// Fuzzes the resource archive reader: counting the archives of a file, opening each, and
// extracting every entry. Whatever the bytes, nothing may be written outside the destination
// folder.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_work_folder.h"
#include "package/res_archive.h"
#include "platform/fs.h"

using fuzz_support::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string& folder = fuzz_support::WorkFolder("res_archive_fuzz");
  const std::u16string archive = folder + u"input.dat";
  const std::u16string inner = folder + u"box/";
  const std::u16string destination = inner + u"dest";
  if (!package::WriteWholeFile(archive.c_str(), data, static_cast<uint32_t>(size), false)) return 0;
  platform::CreateDirectoryOne(inner);

  const std::vector<package::ResArchive> archives = package::ListResArchives(archive);
  uint64_t end = 0;
  for (const auto& a : archives) {
    Check(a.start == end && a.size != 0 && a.start + a.size <= size);
    end = a.start + a.size;
  }
  const int count = package::ExtractArchiveFile(archive.c_str(), destination.c_str(), -1);
  Check(count == static_cast<int>(archives.size()));
  if (count > 1) package::ExtractArchiveFile(archive.c_str(), destination.c_str(), 1);

  // Only the destination may have appeared beside the archive and inside "box".
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(folder, &entries);
  for (const auto& e : entries) Check(e.name == u"input.dat" || e.name == u"box");
  platform::ListDirectory(inner, &entries);
  for (const auto& e : entries) Check(e.name == u"dest");
  package::DeleteTree(inner.c_str(), false);
  return 0;
}
