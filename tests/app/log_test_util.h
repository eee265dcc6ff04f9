#pragma once
// Shared by the log tests: running a helper program and reading a log with its stamps replaced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/system.h"

namespace log_test {

inline const std::string kHeader = "\r\nS " + std::string(70, '=') + "\r\n";

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True when text at pos starts with a stamp "YYYY-MM-DD hh:mm:ss".
inline bool StampAt(const std::string& text, size_t pos) {
  static const char kPattern[] = "dddd-dd-dd dd:dd:dd";
  if (pos + 19 > text.size()) return false;
  for (size_t i = 0; i < 19; ++i) {
    const char c = text[pos + i];
    if (kPattern[i] == 'd' ? !IsDigit(c) : c != kPattern[i]) return false;
  }
  return true;
}

// Replaces the stamp that opens each line by "S"; a line that should start with a stamp but does
// not stays as it is, so that the comparison shows it.
inline std::string Normalize(const std::string& text) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    if (StampAt(text, pos)) {
      out += 'S';
      pos += 19;
    }
    const size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      out.append(text, pos, std::string::npos);
      break;
    }
    out.append(text, pos, end + 2 - pos);
    pos = end + 2;
  }
  return out;
}

inline std::string SystemText(uint32_t code) {
  std::string text;
  EXPECT_TRUE(platform::SystemMessageText(code, &text)) << code;
  return text;
}

inline std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out.push_back(static_cast<char>(c));
  return out;
}

// Runs program with arguments, each quoted so that no shell character in them counts. On the
// host, tmpdir (when given) becomes the program's TMPDIR, which moves its log. Returns the exit
// status as std::system gives it.
inline int RunProgram(const std::u16string& program, const std::vector<std::string>& args,
                      const std::u16string& tmpdir = std::u16string()) {
#ifdef _WIN32
  // cmd strips the outer pair of quotes and keeps the quoted arguments intact.
  std::string command = "\"\"" + Narrow(program) + "\"";
  for (const auto& a : args) command += " \"" + a + "\"";
  command += "\"";
#else
  std::string command = tmpdir.empty() ? std::string() : "TMPDIR='" + Narrow(tmpdir) + "' ";
  command += "'" + Narrow(program) + "'";
  for (const auto& a : args) command += " '" + a + "'";
#endif
  return std::system(command.c_str());
}

inline std::string ReadWholeFile(const std::u16string& path) {
  platform::File file =
      platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
  std::string bytes;
  uint64_t size = 0;
  if (!file.IsOpen() || !file.Size(&size)) return bytes;
  bytes.resize(static_cast<size_t>(size));
  if (!bytes.empty() && !file.ReadExact(&bytes[0], bytes.size())) bytes.clear();
  return bytes;
}

}  // namespace log_test
