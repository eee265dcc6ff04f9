#pragma once
// File-system helpers shared by the package tests: listings of what an extraction left on disk,
// and deterministic filler bytes.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace package_test {

using Buf = std::vector<uint8_t>;
using testing_support::Native;
using testing_support::ReadText;

// Every file below a folder, as relative paths with "/".
inline std::set<std::string> FilesBelow(const std::u16string& folder) {
  namespace fs = std::filesystem;
  std::set<std::string> files;
  const fs::path root = Native(folder);
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file()) files.insert(fs::relative(it->path(), root).generic_string());
  }
  return files;
}

// Bytes that do not compress, the same for the same seed.
inline Buf Noise(size_t size, uint32_t seed) {
  Buf out(size);
  for (auto& b : out) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  return out;
}

}  // namespace package_test
