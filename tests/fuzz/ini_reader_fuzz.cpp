// Arbitrary bytes through the key-value parser: every item within its limits, every lookup by an
// item's own names answered, and Save writing exactly the items in the file format.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/ini_reader.h"
#include "base/byte_writer.h"
#include "fuzz_work_folder.h"

namespace {

using fuzz_support::Check;

// Serialises the reader the way Save does, into memory.
std::vector<uint8_t> Render(const app::CIniReader& reader) {
  base::ByteWriter out;
  out.PutU8(0xFF);
  out.PutU8(0xFE);
  for (size_t i = 0; i < reader.SectionCount(); ++i) {
    const app::IniSection* section = reader.SectionAt(i);
    out.PutUtf16(u"[" + section->Name() + u"]\r\n");
    for (size_t j = 0; j < section->EntryCount(); ++j) {
      out.PutUtf16(section->EntryAt(j)->Key() + u"=" + section->EntryAt(j)->Value() + u"\r\n");
    }
    out.PutUtf16(u"\r\n");
  }
  return out.Bytes();
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
  const std::u16string path = fuzz_support::WorkFolder("ini_reader_fuzz") + u"save.ini";
  Check(reader.SaveAs(path));
  uint32_t length = 0;
  const std::unique_ptr<uint8_t[]> written = package::ReadWholeFile(path.c_str(), &length);
  Check(written && std::vector<uint8_t>(written.get(), written.get() + length) == Render(reader));
  return 0;
}
