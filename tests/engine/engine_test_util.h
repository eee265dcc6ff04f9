#pragma once
// Description and state files of the engine tests: UTF-16LE after FF FE, CR LF lines, written
// with their folders; the test source gives the text in UTF-8, "\n" standing for CR LF.
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

inline void WriteUtf16File(const std::u16string& path, const std::string& utf8) {
  std::u16string text;
  for (char16_t c : base::Utf8ToUtf16(utf8)) {
    if (c == u'\n' && (text.empty() || text.back() != u'\r')) text += u'\r';
    text += c;
  }
  package::CreatePath(path.c_str());
  testing_support::WriteBytes(path, testing_support::Utf16Bytes(text));
}

// The file's text after its byte-order mark, as UTF-8 (empty for a missing file).
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
