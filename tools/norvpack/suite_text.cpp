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

std::vector<uint8_t> EncodeUtf16File(const std::u16string& text) {
  std::vector<uint8_t> bytes;
  bytes.reserve(2 + text.size() * 2);
  bytes.push_back(0xFF);
  bytes.push_back(0xFE);
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

LocatedIni::LocatedIni() : ini_(new app::CIniReader) {}

bool LocatedIni::Load(const std::u16string& suite_dir, const std::string& relative, SuiteError* error) {
  relative_ = relative;
  std::vector<uint8_t> bytes;
  std::string reason;
  if (!ReadFileBytes(base::JoinPath(suite_dir, Widen(relative)), &bytes, &reason)) {
    *error = SuiteError{relative, 0, "cannot be read"};
    return false;
  }
  std::u16string text;
  if (!DecodeText(bytes, &text, &reason)) {
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

  // The reader keeps every header and entry in file order, one per line that carries one, so a
  // walk over the lines with the reader's own tests pairs each item with its line.
  section_lines_.clear();
  entry_lines_.clear();
  size_t pos = 0;
  if (!text.empty() && (text[0] == 0xFEFF || text[0] == 0xFFFE)) pos = 1;
  int line_number = 0;
  while (pos <= text.size()) {
    size_t end = text.find(u'\n', pos);
    if (end == std::u16string::npos) end = text.size();
    std::u16string line = text.substr(pos, end - pos);
    ++line_number;
    pos = end + 1;
    const size_t zero = line.find(u'\0');
    if (zero != std::u16string::npos) line.resize(zero);
    if (line.size() > app::kIniMaxLine) line.resize(app::kIniMaxLine);
    for (auto& c : line) {
      if (c == u'\t') c = u' ';
    }
    const size_t comment = line.find(u';');
    if (comment != std::u16string::npos) line.resize(comment);
    while (!line.empty() && (line.back() == u' ' || line.back() == u'\r')) line.pop_back();
    if (line.empty() || line.front() == u'\r') continue;
    if (line.front() == u'[') {
      section_lines_.push_back(line_number);
      entry_lines_.emplace_back();
    } else if (!entry_lines_.empty()) {
      entry_lines_.back().push_back(line_number);
    }
    if (end == text.size()) break;
  }
  // Should the walk ever disagree with the reader, lines are not reported rather than wrong.
  bool agrees = section_lines_.size() == ini_->SectionCount();
  for (size_t i = 0; agrees && i < section_lines_.size(); ++i) {
    agrees = entry_lines_[i].size() == ini_->SectionAt(i)->EntryCount();
  }
  if (!agrees) {
    section_lines_.clear();
    entry_lines_.clear();
  }
}

size_t LocatedIni::SectionIndex(const app::IniSection* section) const {
  for (size_t i = 0; i < ini_->SectionCount(); ++i) {
    if (ini_->SectionAt(i) == section) return i;
  }
  return static_cast<size_t>(-1);
}

int LocatedIni::SectionLine(const app::IniSection* section) const {
  const size_t i = SectionIndex(section);
  return i < section_lines_.size() ? section_lines_[i] : 0;
}

int LocatedIni::EntryLine(const app::IniSection* section, size_t entry_index) const {
  const size_t i = SectionIndex(section);
  if (i >= entry_lines_.size() || entry_index >= entry_lines_[i].size()) return 0;
  return entry_lines_[i][entry_index];
}

int LocatedIni::KeyLine(const std::u16string& section, const std::u16string& key) const {
  const app::IniSection* found = ini_->FindSection(section);
  if (!found) return 0;
  for (size_t j = 0; j < found->EntryCount(); ++j) {
    if (base::EqualsIgnoreAsciiCase(found->EntryAt(j)->Key(), key)) return EntryLine(found, j);
  }
  return SectionLine(found);
}

}  // namespace norvpack
