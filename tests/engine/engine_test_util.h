#pragma once
// Helpers of the engine tests: UTF-16LE key-value files as the installer reads and writes them.
#include <string>
#include <vector>

#include "base/path.h"
#include "base/strings.h"
#include "engine/file_entry.h"
#include "engine/pe_machine.h"
#include "platform/fs.h"
#include "platform/system.h"
#include "package/file_utils.h"
#include "support/scratch_dir.h"

namespace engine_test {

// FF FE and the text (UTF-8 in the test source) as UTF-16LE; with crlf, each "\n" becomes CR LF
// as the packaging side writes description files.
inline std::vector<unsigned char> Utf16FileBytes(const std::string& utf8, bool crlf = false) {
  std::vector<unsigned char> bytes = {0xFF, 0xFE};
  for (char16_t c : base::Utf8ToUtf16(utf8)) {
    if (crlf && c == u'\n') bytes.insert(bytes.end(), {'\r', 0});
    bytes.push_back(static_cast<unsigned char>(c & 0xFF));
    bytes.push_back(static_cast<unsigned char>(c >> 8));
  }
  return bytes;
}

// Writes Utf16FileBytes, creating the file's folders.
inline void WriteUtf16File(const std::u16string& path, const std::string& utf8, bool crlf = false) {
  package::CreatePath(path.c_str());
  testing_support::WriteBytes(path, Utf16FileBytes(utf8, crlf));
}

// A description file with CR LF lines.
inline void WriteDescription(const std::u16string& path, const std::string& utf8) {
  WriteUtf16File(path, utf8, true);
}

// The file's text without its byte-order mark, as UTF-8 (empty for a missing file).
inline std::string ReadUtf16File(const std::u16string& path) {
  const std::vector<unsigned char> bytes = testing_support::ReadBytes(path);
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return base::Utf16ToUtf8(text);
}

// An entry of a run's file list, as the comparison leaves it.
inline engine::FileEntry RunEntry(const char16_t* compose, const char16_t* section, const char16_t* file,
                                  engine::FileState state, const char16_t* registers = u"",
                                  const char16_t* programs = u"", uint32_t kind = 0, uint32_t flags = 0) {
  engine::FileEntry entry;
  entry.compose_name = compose;
  entry.section_name = section;
  entry.file_name = file;
  entry.state = state;
  entry.register_refs = registers;
  entry.program_refs = programs;
  entry.kind = kind;
  entry.flags = flags;
  return entry;
}

// Copies a stand-in of the suite's programs (built beside the test program) to the path.
inline bool PlaceStandin(const char16_t* standin, const std::u16string& to) {
  const std::u16string from = std::u16string(base::ParentPart(platform::ModuleFilePath())) + u"\\" + standin;
  return platform::CopyFileOverwriting(from, to);
}

// Rewrites the machine field of the image at path to 32-bit x86: the file is then a 32-bit DLL
// to every reader of its headers, though it cannot be loaded.
inline void MarkImageAs32Bit(const std::u16string& path) {
  std::vector<unsigned char> bytes = testing_support::ReadBytes(path);
  const uint32_t pe = bytes[0x3C] | (bytes[0x3D] << 8);
  bytes[pe + 4] = static_cast<unsigned char>(engine::kPeMachineX86 & 0xFF);
  bytes[pe + 5] = static_cast<unsigned char>(engine::kPeMachineX86 >> 8);
  testing_support::WriteBytes(path, bytes);
}

}  // namespace engine_test
