// Arbitrary bytes as a compose description (file sections, option pairs, titles), and the same
// bytes as one file line of any length: every entry that comes out stays within its widths, is
// listed once, and has per-file paths inside the install folder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "base/byte_reader.h"
#include "base/strings.h"
#include "desc_fuzz_support.h"
#include "engine/compose.h"
#include "engine/engine_codes.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  desc_fuzz::SilenceStandardOutput();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const engine::WorkPaths& paths = desc_fuzz::InstallFolder("compose_desc_fuzz");

  engine::Compose compose(paths);
  compose.SetFilePath(u"Fuzz", engine::ComposeLocation::kSource);
  desc_fuzz::WriteFile(compose.file_path, data, size);
  const uint32_t code = compose.LoadComposeFiles();
  desc_fuzz::Check(code == engine::kOk || code == engine::kDescriptionLoadFailed || code == engine::kNoHaveSection ||
                   code == engine::kEmptyHaveSection || code == engine::kBadFileSection);
  desc_fuzz::Check(compose.cur_version >= 1);
  desc_fuzz::Check(compose.folder.size() <= engine::kMaxComposePath);
  std::unordered_set<std::u16string> files;
  for (const engine::FileEntry& entry : compose.entries) {
    desc_fuzz::CheckEntry(paths, entry);
    desc_fuzz::Check(files.insert(base::ToLowerAscii(entry.file_name)).second);
    desc_fuzz::Check(entry.compose_name == u"Fuzz");
  }
  engine::ComposeInstallDir(paths, u"Fuzz");

  // The bytes as UTF-16 text "key=value", beyond the key-value file's own line limits.
  base::ByteReader reader(data, size);
  std::u16string line;
  reader.ReadUtf16(size / 2, &line);
  const size_t equals = line.find(u'=');
  engine::FileEntry entry;
  if (engine::ParseFileEntry(line.substr(0, equals == std::u16string::npos ? 0 : equals),
                             equals == std::u16string::npos ? line : line.substr(equals + 1), &entry)) {
    entry.compose_name = u"Fuzz";
    desc_fuzz::CheckEntry(paths, entry);
  }
  return 0;
}
