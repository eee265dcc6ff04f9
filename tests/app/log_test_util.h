#pragma once
// Shared by the log tests: running the log_writer helper and reading a log with its stamps
// replaced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/strings.h"
#include "platform/system.h"
#include "support/scratch_dir.h"

namespace log_test {

inline const std::string kHeader = "\r\nS " + std::string(70, '=') + "\r\n";

// Replaces the stamp "YYYY-MM-DD hh:mm:ss" that opens each line by "S"; a line that should start
// with a stamp but does not stays as it is, so that the comparison shows it.
inline std::string Normalize(const std::string& text) {
  static const char kPattern[] = "dddd-dd-dd dd:dd:dd";
  auto stamp_at = [&](size_t pos) {
    if (pos + 19 > text.size()) return false;
    for (size_t i = 0; i < 19; ++i) {
      const char c = text[pos + i];
      if (kPattern[i] == 'd' ? !(c >= '0' && c <= '9') : c != kPattern[i]) return false;
    }
    return true;
  };
  std::string out;
  for (size_t pos = 0; pos < text.size();) {
    if (stamp_at(pos)) {
      out += 'S';
      pos += 19;
    }
    const size_t end = text.find("\r\n", pos);
    const size_t next = end == std::string::npos ? text.size() : end + 2;
    out.append(text, pos, next - pos);
    pos = next;
  }
  return out;
}

inline std::string SystemText(uint32_t code) {
  std::string text;
  EXPECT_TRUE(platform::SystemMessageText(code, &text)) << code;
  return text;
}

// The log_writer helper built next to the running test program.
inline std::u16string HelperPath() {
  const std::u16string self = platform::ModuleFilePath();
#ifdef _WIN32
  return self.substr(0, self.find_last_of(u"\\/") + 1) + u"log_writer.exe";
#else
  return self.substr(0, self.find_last_of(u"\\/") + 1) + u"log_writer";
#endif
}

// Runs program with arguments, each quoted so that no shell character in them counts. On the
// host, tmpdir (when given) becomes the program's TMPDIR, which moves its log. Returns the exit
// status as std::system gives it.
inline int RunProgram(const std::u16string& program, const std::vector<std::string>& args,
                      const std::u16string& tmpdir = std::u16string()) {
  const std::string path = base::Utf16ToUtf8(program);
#ifdef _WIN32
  // cmd strips the outer pair of quotes and keeps the quoted arguments intact.
  std::string command = "\"\"" + path + "\"";
  for (const auto& a : args) command += " \"" + a + "\"";
  command += "\"";
#else
  std::string command = tmpdir.empty() ? std::string() : "TMPDIR='" + base::Utf16ToUtf8(tmpdir) + "' ";
  command += "'" + path + "'";
  for (const auto& a : args) command += " '" + a + "'";
#endif
  return std::system(command.c_str());
}

inline std::string ReadWholeFile(const std::u16string& path) {
  const std::vector<unsigned char> bytes = testing_support::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace log_test
