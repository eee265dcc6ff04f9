// Fuzzes the payload table: the table decoder on the bytes themselves, and HasPackagePart and
// ExtractPayloadPart on a program file holding them. A part must come out exactly as the table
// places it, or not at all.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_work_folder.h"
#include "package/payload.h"
#include "platform/fs.h"

namespace {

using fuzz_support::Check;

std::vector<uint8_t> ReadAll(const std::u16string& path) {
  uint32_t size = 0;
  auto data = package::ReadWholeFile(path.c_str(), &size);
  return data ? std::vector<uint8_t>(data.get(), data.get() + size) : std::vector<uint8_t>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  package::PayloadTable table;
  const bool has_table = package::ReadPayloadTable(data, size, &table);

  const std::u16string& folder = fuzz_support::WorkFolder("payload_table_fuzz");
  const std::u16string program = folder + u"setup.exe";
  const std::u16string part = folder + u"part";
  if (!package::WriteWholeFile(program.c_str(), data, static_cast<uint32_t>(size), false)) return 0;
  const bool has_package = package::HasPackagePart(program);
  Check(has_package == (has_table && table.HasPart2()));

  for (int number = 1; number <= 2; ++number) {
    platform::DeleteFileAt(part);
    const bool extracted = package::ExtractPayloadPart(program, part, number);
    Check(has_table || !extracted);
    if (!extracted) continue;
    const package::PayloadPart where = number == 1 ? table.part1 : table.part2;
    Check(uint64_t{where.offset} + where.length <= size);
    const std::vector<uint8_t> copy = ReadAll(part);
    Check(copy.size() == where.length &&
          (!where.length || std::memcmp(copy.data(), data + where.offset, where.length) == 0));
  }

  // Stamping the bytes as a program and reading the table back gives the layout just written.
  std::vector<uint8_t> stamped;
  std::string error;
  const std::vector<uint8_t> program_bytes(data, data + size);
  const std::vector<uint8_t> part1 = {1, 2, 3}, part2 = {4, 5};
  if (package::StampPayload(program_bytes, part1, &part2, &stamped, &error)) {
    package::PayloadTable back;
    Check(package::ReadPayloadTable(stamped.data(), stamped.size(), &back));
    Check(back.part1.length == 3 && back.part2.length == 2 && back.part2.offset == back.part1.offset + 3 &&
          uint64_t{back.part2.offset} + 2 == stamped.size());
  }
  return 0;
}
