#pragma once
// Text files of a suite folder: decoding (authors write UTF-8 or UTF-16, the installer reads
// UTF-16) and key-value files read by the installer's own reader, whose sections and entries
// carry the lines they came from, so that every complaint about a suite names a file and a line.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/ini_reader.h"

namespace norvpack {

// A problem in a suite: the file relative to the suite folder (with "/"), its line (0 when the
// problem concerns the whole file) and what is wrong.
struct SuiteError {
  std::string file;
  int line = 0;
  std::string message;
  // "file:line: message", or "file: message" without a line, or just the message without a file.
  std::string Text() const;
};

// Decodes text written as UTF-8 (with or without its signature) or UTF-16 (little- or big-endian
// with a byte-order mark, or little-endian without one: UTF-8 text never holds a zero byte).
// False with a reason for UTF-8 that is not well formed or UTF-16 of an odd length.
bool DecodeText(const std::vector<uint8_t>& bytes, std::u16string* text, std::string* reason);
// ReadFileBytes and DecodeText; the reason is "cannot be read" or DecodeText's.
bool ReadTextFile(const std::u16string& path, std::u16string* text, std::string* reason);

// UTF-16LE bytes with the FF FE mark, as the installer's readers expect (a mark already at the
// start of text is not doubled).
std::vector<uint8_t> EncodeUtf16File(const std::u16string& text);

// A key-value file of the suite, parsed by the installer's own reader.
class LocatedIni {
 public:
  LocatedIni();
  // Reads suite_dir/relative. False (error set) when it is missing, unreadable or badly encoded.
  bool Load(const std::u16string& suite_dir, const std::string& relative, SuiteError* error);
  // Parses text that is already decoded; relative only names it in errors.
  void Parse(const std::string& relative, const std::u16string& text);

  app::CIniReader& ini() { return *ini_; }
  const app::CIniReader& ini() const { return *ini_; }
  const std::string& relative() const { return relative_; }

  // The line of the first entry with this key in the first section of that name; else the
  // section's line; else 0.
  int KeyLine(const std::u16string& section, const std::u16string& key) const;

  SuiteError Error(int line, const std::string& message) const { return SuiteError{relative_, line, message}; }

 private:
  std::string relative_;
  std::unique_ptr<app::CIniReader> ini_;
};

}  // namespace norvpack
