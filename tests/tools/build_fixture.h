#pragma once
// Shared pieces of the "norvpack build" tests: where the example suites are, a setup-program
// stand-in, copies of a suite to change, and whole-file helpers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/path.h"
#include "base/strings.h"
#include "platform/fs.h"
#include "support/scratch_dir.h"
#include "suite_build.h"

namespace build_test {

namespace fs = std::filesystem;

inline std::string SourceDir() {
  if (const char* dir = std::getenv("NORV_SOURCE_DIR")) return dir;
  const std::string self = __FILE__;
  return self.substr(0, self.rfind("/tests/tools/"));
}

// A host path (from the environment or __FILE__) as this program opens it: under Wine the host's
// root is drive Z:.
inline std::u16string HostPath(const std::string& unix_path) {
  std::u16string path = base::Utf8ToUtf16(unix_path);
#ifdef _WIN32
  if (!path.empty() && path[0] == u'/') {
    path = u"Z:" + path;
    for (auto& c : path) {
      if (c == u'/') c = u'\\';
    }
  }
#endif
  return path;
}

inline std::u16string ExampleSuite(const char* name = "suite") { return HostPath(SourceDir() + "/examples/" + name); }

inline fs::path FsPath(const std::u16string& path) {
  std::u16string native = path;
#ifndef _WIN32
  for (auto& c : native) {
    if (c == u'\\') c = u'/';
  }
#endif
  return fs::path(native);
}

inline std::u16string Join(const std::u16string& a, const std::u16string& b) { return base::JoinPath(a, b); }

inline std::vector<uint8_t> ReadAll(const std::u16string& path) {
  const std::vector<unsigned char> bytes = testing_support::ReadBytes(path);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

inline void WriteAll(const std::u16string& path, const std::vector<uint8_t>& bytes) {
  testing_support::WriteBytes(path, std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

// A setup-program stand-in: a DOS header ("MZ", the PE offset at 0x3C), a PE signature and a
// little code-like filler; enough for the payload table, which is all that stamping needs.
inline std::vector<uint8_t> StubProgram() {
  std::vector<uint8_t> stub(512, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  stub[0x3C] = 0x80;
  stub[0x80] = 'P';
  stub[0x81] = 'E';
  for (size_t i = 0x100; i < stub.size(); ++i) stub[i] = static_cast<uint8_t>(i * 7);
  return stub;
}

// A copy of an example suite in a scratch folder, for tests that change it.
inline std::u16string CopySuite(const testing_support::ScratchDir& scratch, const char* name = "suite") {
  const std::u16string target = scratch.Join(base::Utf8ToUtf16(name));
  fs::copy(FsPath(ExampleSuite(name)), FsPath(target), fs::copy_options::recursive);
  return target;
}

inline norvpack::SuiteBuildOptions Options(const std::u16string& suite) {
  norvpack::SuiteBuildOptions options;
  options.suite_dir = suite;
  options.stub = StubProgram();
  return options;
}

// Text files of the suites are UTF-8 unless a test writes them otherwise.
inline std::string ReadText(const std::u16string& path) {
  const std::vector<unsigned char> bytes = testing_support::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// UTF-16 text of a file written by the build (FF FE, then little-endian units).
inline std::u16string ReadUtf16File(const std::u16string& path) {
  const std::vector<unsigned char> bytes = testing_support::ReadBytes(path);
  std::u16string text;
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE) return u"<not UTF-16 with FF FE>";
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return text;
}

}  // namespace build_test
