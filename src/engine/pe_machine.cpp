#include "engine/pe_machine.h"

#include <vector>

#include "base/byte_reader.h"
#include "platform/fs.h"

namespace engine {

uint16_t ReadPeMachine(const uint8_t* data, size_t size) {
  base::ByteReader reader(data, size);
  uint16_t mz = 0;
  uint32_t pe_offset = 0;
  uint32_t signature = 0;
  uint16_t machine = 0;
  if (!reader.ReadU16(&mz) || mz != 0x5A4D) return 0;
  if (!reader.Seek(0x3C) || !reader.ReadU32(&pe_offset)) return 0;
  if (!reader.Seek(pe_offset) || !reader.ReadU32(&signature) || signature != 0x00004550) return 0;
  return reader.ReadU16(&machine) ? machine : 0;
}

uint16_t ReadFileMachine(std::u16string_view path) {
  platform::File file =
      platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
  std::vector<uint8_t> head(kPeHeaderProbeBytes);
  size_t read = 0;
  if (!file.IsOpen() || !file.Read(head.data(), head.size(), &read)) return 0;
  return ReadPeMachine(head.data(), read);
}

}  // namespace engine
