#pragma once
// Resource archives laid out byte by byte, independently of package::ResArchiveWriter.
#include <string>
#include <vector>

#include "package/payload_test_bytes.h"

namespace payload_test {

struct HandEntry {
  std::u16string name;
  std::vector<uint8_t> data;
  uint32_t modified = 0;
  int level = 6;  // 0 stores the data (a member longer than the data)
};

// A minimal program image: "MZ", e_lfanew 0x80, "PE\0\0" at 0x80, 0x100 bytes in all.
inline std::vector<uint8_t> MinimalStub() {
  std::vector<uint8_t> stub(0x100, 0);
  stub[0] = 'M', stub[1] = 'Z';
  stub[0x3C] = 0x80;
  stub[0x80] = 'P', stub[0x81] = 'E';
  return stub;
}

inline std::vector<uint8_t> HandArchive(const std::vector<HandEntry>& entries, const std::vector<uint8_t>& stub = {}) {
  std::vector<uint8_t> out;
  size_t trailer_field = 4;
  if (stub.empty()) {
    PutAscii(out, "kApX");
    PutU32(out, 0);
    PutU32(out, static_cast<uint32_t>(entries.size()));
    PutU32(out, 0);
  } else {
    out = stub;
    trailer_field = (stub[0x3C] | (stub[0x3D] << 8)) - 8;
  }
  std::vector<std::pair<uint32_t, uint32_t>> blocks;
  for (const HandEntry& e : entries) {
    const std::vector<uint8_t> member = ReducedGzipMember(e.data, e.level);
    blocks.push_back({static_cast<uint32_t>(out.size()), static_cast<uint32_t>(24 + member.size())});
    PutU32(out, Crc32(member));
    PutU32(out, static_cast<uint32_t>(member.size()));
    PutAscii(out, "KaPx");
    PutU32(out, Crc32(e.data));
    PutU32(out, static_cast<uint32_t>(e.data.size()));
    PutU32(out, e.modified);
    out.insert(out.end(), member.begin(), member.end());
  }
  const uint32_t directory = static_cast<uint32_t>(out.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    PutU32(out, blocks[i].first);
    PutU32(out, blocks[i].second);
    PutU32(out, 0);
    PutU16(out, static_cast<uint16_t>(entries[i].name.size()));
    PutUtf16(out, entries[i].name);
    PutU16(out, 0);
  }
  const uint32_t trailer = static_cast<uint32_t>(out.size());
  PutAscii(out, "kApX");
  PutU32(out, directory);
  PutU32(out, static_cast<uint32_t>(entries.size()));
  PutU32(out, 0);
  SetU32(out, trailer_field, trailer);
  return out;
}

}  // namespace payload_test
