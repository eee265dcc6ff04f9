#pragma once
// Shared by the log tests: a log's text with the time stamps of its lines replaced.
#include <string>

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

}  // namespace log_test
