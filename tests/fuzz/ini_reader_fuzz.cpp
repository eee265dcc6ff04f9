// Arbitrary bytes through the key-value parser: every item within its limits, every lookup by an
// item's own names answered, and Save writing exactly the items in the file format.
#include <cstddef>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/ini_reader.h"
#include "base/byte_writer.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Serialises the reader the way Save does, into memory.
std::string Render(const app::CIniReader& reader) {
  base::ByteWriter out;
  for (size_t i = 0; i < reader.SectionCount(); ++i) {
    const app::IniSection* section = reader.SectionAt(i);
    out.PutUtf16(u"[" + section->Name() + u"]\r\n");
    for (size_t j = 0; j < section->EntryCount(); ++j) {
      out.PutUtf16(section->EntryAt(j)->Key() + u"=" + section->EntryAt(j)->Value() + u"\r\n");
    }
    out.PutUtf16(u"\r\n");
  }
  return std::string(out.Bytes().begin(), out.Bytes().end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  app::CIniReader reader;
  reader.ParseBuffer(data, size);
  for (size_t i = 0; i < reader.SectionCount(); ++i) {
    const app::IniSection* section = reader.SectionAt(i);
    Check(section->Name().size() <= app::kIniMaxSectionName);
    // The lookup by this section's own name finds it or a section of that name before it.
    const app::IniSection* first = reader.FindSection(section->Name());
    bool earlier_or_same = false;
    for (size_t k = 0; k <= i; ++k) earlier_or_same |= reader.SectionAt(k) == first;
    Check(earlier_or_same);
    for (size_t j = 0; j < section->EntryCount(); ++j) {
      const app::IniEntry* entry = section->EntryAt(j);
      Check(entry->Key().size() <= app::kIniMaxKey && entry->Value().size() <= app::kIniMaxValue);
      reader.GetString(section->Name(), entry->Key());
      reader.GetInt(section->Name(), entry->Key(), 0);
    }
  }
  // Save writes exactly the byte-order mark and the rendered sections.
  static const std::string path = "/tmp/ini_reader_fuzz." + std::to_string(getpid()) + ".ini";
  const std::u16string wide_path(path.begin(), path.end());
  Check(reader.SaveAs(wide_path));
  const std::string expected = "\xFF\xFE" + Render(reader);
  std::string written;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) written.append(buffer, got);
    std::fclose(f);
  }
  std::remove(path.c_str());
  Check(written == expected);
  return 0;
}
