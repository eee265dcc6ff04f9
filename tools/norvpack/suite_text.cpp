#include "suite_text.h"

#include "base/path.h"
#include "base/strings.h"
#include "cli.h"

namespace norvpack {

std::string SuiteError::Text() const {
  if (file.empty()) return message;
  if (line > 0) return file + ":" + std::to_string(line) + ": " + message;
  return file + ": " + message;
}

bool DecodeText(const std::vector<uint8_t>& bytes, std::u16string* text, std::string* reason) {
  text->clear();
  const size_t n = bytes.size();
  auto utf16 = [&](size_t start, bool big_endian) {
    if ((n - start) % 2 != 0) {
      *reason = "UTF-16 text of an odd number of bytes";
      return false;
    }
    text->reserve((n - start) / 2);
    for (size_t i = start; i + 1 < n; i += 2) {
      text->push_back(big_endian ? static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1])
                                 : static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return true;
  };
  if (n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return utf16(2, false);
  if (n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return utf16(2, true);
  size_t start = 0;
  if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    start = 3;
  } else {
    for (uint8_t b : bytes) {
      if (b == 0) return utf16(0, false);
    }
  }
  const std::string_view utf8(reinterpret_cast<const char*>(bytes.data()) + start, n - start);
  *text = base::Utf8ToUtf16(utf8);
  // Ill-formed sequences become U+FFFD and do not convert back to the same bytes.
  if (base::Utf16ToUtf8(*text) != utf8) {
    *reason = "neither UTF-16 nor well-formed UTF-8";
    text->clear();
    return false;
  }
  return true;
}

bool ReadTextFile(const std::u16string& path, std::u16string* text, std::string* reason) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, &bytes, reason)) {
    *reason = "cannot be read";
    return false;
  }
  return DecodeText(bytes, text, reason);
}

std::vector<uint8_t> EncodeUtf16File(const std::u16string& text) {
  const size_t skip = !text.empty() && text[0] == 0xFEFF ? 1 : 0;
  std::vector<uint8_t> bytes;
  bytes.reserve(2 + text.size() * 2);
  bytes.push_back(0xFF);
  bytes.push_back(0xFE);
  for (size_t i = skip; i < text.size(); ++i) {
    bytes.push_back(static_cast<uint8_t>(text[i] & 0xFF));
    bytes.push_back(static_cast<uint8_t>(text[i] >> 8));
  }
  return bytes;
}

LocatedIni::LocatedIni() : ini_(new app::CIniReader) {}

bool LocatedIni::Load(const std::u16string& suite_dir, const std::string& relative, SuiteError* error) {
  relative_ = relative;
  std::u16string text;
  std::string reason;
  if (!ReadTextFile(base::JoinPath(suite_dir, Widen(relative)), &text, &reason)) {
    *error = SuiteError{relative, 0, reason};
    return false;
  }
  Parse(relative, text);
  return true;
}

void LocatedIni::Parse(const std::string& relative, const std::u16string& text) {
  relative_ = relative;
  const std::vector<uint8_t> bytes = EncodeUtf16File(text);
  ini_->ParseBuffer(bytes.data(), bytes.size());
}

int LocatedIni::KeyLine(const std::u16string& section, const std::u16string& key) const {
  const app::IniSection* found = ini_->FindSection(section);
  if (!found) return 0;
  const app::IniEntry* entry = found->FindEntry(key);
  return entry ? entry->Line() : found->Line();
}

}  // namespace norvpack
