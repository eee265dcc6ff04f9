#include "support/scratch_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>

namespace testing_support {
namespace fs = std::filesystem;

fs::path Native(std::u16string path) {
#ifndef _WIN32
  for (auto& c : path) {
    if (c == u'\\') c = u'/';
  }
#endif
  return fs::path(path);
}

ScratchDir::ScratchDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path dir = fs::temp_directory_path() /
                 ("norv-test-" + std::to_string(stamp) + "-" + std::to_string(counter.fetch_add(1)));
  fs::create_directories(dir);
  path_ = dir.make_preferred().u16string();
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  // Read-only files would stop remove_all on Windows.
  for (auto it = fs::recursive_directory_iterator(Native(path_), ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove_all(Native(path_), ec);
}

std::u16string ScratchDir::Join(const std::u16string& name) const {
#ifdef _WIN32
  return path_ + u"\\" + name;
#else
  return path_ + u"/" + name;
#endif
}

std::vector<unsigned char> ReadBytes(const std::u16string& path) {
  std::ifstream in(Native(path), std::ios::binary);
  return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::u16string& path) {
  const std::vector<unsigned char> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteBytes(const std::u16string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::u16string& path, const std::string& bytes) {
  WriteBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

bool Exists(const std::u16string& path) {
  std::error_code ec;
  return fs::exists(Native(path), ec);
}

std::vector<unsigned char> Utf16Bytes(std::u16string_view text, bool bom) {
  std::vector<unsigned char> out;
  if (bom) out = {0xFF, 0xFE};
  for (char16_t c : text) {
    out.push_back(static_cast<unsigned char>(c & 0xFF));
    out.push_back(static_cast<unsigned char>(c >> 8));
  }
  return out;
}

}  // namespace testing_support
