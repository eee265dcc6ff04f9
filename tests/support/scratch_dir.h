#pragma once
// A fresh, empty folder for one test, removed with everything in it when the test ends, and
// whole-file helpers for assertions on bytes on disk.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // The folder, with Windows-style separators on Windows, without a trailing separator.
  const std::u16string& path() const { return path_; }
  // path() joined with a relative name.
  std::u16string Join(const std::u16string& name) const;

 private:
  std::u16string path_;
};

// Backslashes are separators on Windows only; the host reads them as slashes.
std::filesystem::path Native(std::u16string path);

std::vector<unsigned char> ReadBytes(const std::u16string& path);
std::string ReadText(const std::u16string& path);
void WriteBytes(const std::u16string& path, const std::vector<unsigned char>& bytes);
void WriteText(const std::u16string& path, const std::string& bytes);
bool Exists(const std::u16string& path);

// Text as UTF-16LE file bytes, after the byte-order mark FF FE when bom is set.
std::vector<unsigned char> Utf16Bytes(std::u16string_view text, bool bom = true);

}  // namespace testing_support
