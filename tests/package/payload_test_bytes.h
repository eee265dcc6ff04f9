#pragma once
// Hand-made bytes for the payload and resource-archive tests, built with zlib directly (an
// independent writer) rather than through the code under test.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace payload_test {

inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void SetU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutAscii(std::vector<uint8_t>& out, const char* text) {
  while (*text) out.push_back(static_cast<uint8_t>(*text++));
}
inline void PutUtf16(std::vector<uint8_t>& out, const std::u16string& text) {
  for (char16_t c : text) PutU16(out, static_cast<uint16_t>(c));
}
inline std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// 1F 8B 08, raw DEFLATE, CRC-32, length: the reduced gzip member.
inline std::vector<uint8_t> ReducedGzipMember(const std::vector<uint8_t>& data, int level = 6) {
  z_stream z = {};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<uint8_t> deflated(deflateBound(&z, static_cast<uLong>(data.size())) + 16);
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = deflated.data();
  z.avail_out = static_cast<uInt>(deflated.size());
  deflate(&z, Z_FINISH);
  deflated.resize(z.total_out);
  deflateEnd(&z);
  std::vector<uint8_t> member;
  member.reserve(deflated.size() + 11);
  member.push_back(0x1F);
  member.push_back(0x8B);
  member.push_back(0x08);
  member.insert(member.end(), deflated.begin(), deflated.end());
  PutU32(member, static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
  PutU32(member, static_cast<uint32_t>(data.size()));
  return member;
}

// A "QZPM" packed file around a reduced member.
inline std::vector<uint8_t> PackedFile(const std::vector<uint8_t>& data) {
  const std::vector<uint8_t> member = ReducedGzipMember(data);
  std::vector<uint8_t> out;
  PutAscii(out, "QZPM");
  PutU32(out, 0);
  PutU32(out, static_cast<uint32_t>(member.size()));
  PutU32(out, 0);
  PutU32(out, static_cast<uint32_t>(data.size()));
  PutU32(out, 0);
  PutU32(out, 0);
  PutU32(out, 0);
  out.insert(out.end(), member.begin(), member.end());
  return out;
}

// A "CVAS" container: header with the compose-list field and kind, then one "ICMD" record per
// (name, data) pair.
inline std::vector<uint8_t> Container(const std::u16string& compose_list, uint32_t kind,
                                      const std::vector<std::pair<std::u16string, std::vector<uint8_t>>>& records) {
  std::vector<uint8_t> out(1172, 0);
  out[0] = 'C', out[1] = 'V', out[2] = 'A', out[3] = 'S', out[4] = 1;
  for (size_t i = 0; i < compose_list.size(); ++i) {
    out[134 + 2 * i] = static_cast<uint8_t>(compose_list[i]);
    out[134 + 2 * i + 1] = static_cast<uint8_t>(compose_list[i] >> 8);
  }
  SetU32(out, 1160, kind);
  for (const auto& record : records) {
    const size_t at = out.size();
    PutAscii(out, "ICMD");
    PutU32(out, static_cast<uint32_t>(record.second.size()));
    PutU32(out, static_cast<uint32_t>(at + 140));
    std::vector<uint8_t> name(128, 0);
    for (size_t i = 0; i < record.first.size(); ++i) {
      name[2 * i] = static_cast<uint8_t>(record.first[i]);
      name[2 * i + 1] = static_cast<uint8_t>(record.first[i] >> 8);
    }
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), record.second.begin(), record.second.end());
  }
  return out;
}

// A program file: a 64-byte DOS header ("MZ", e_lfanew 0x40) with the payload table written by
// hand (high word first), filler up to image_size, then the parts at the offsets given.
struct HandTable {
  uint32_t part1_offset, part1_length, part2_offset, part2_length;
};
inline void PutSplit(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = static_cast<uint8_t>(v >> 16);
  out[at + 1] = static_cast<uint8_t>(v >> 24);
  out[at + 2] = static_cast<uint8_t>(v);
  out[at + 3] = static_cast<uint8_t>(v >> 8);
}
inline std::vector<uint8_t> ProgramHeader(size_t image_size, bool marker, const HandTable& t) {
  std::vector<uint8_t> out(image_size, 0xCC);
  for (size_t i = 0; i < 64 && i < image_size; ++i) out[i] = 0;
  out[0] = 'M', out[1] = 'Z';
  out[0x3C] = 0x40;
  if (marker) {
    out[0x28] = 0x5A, out[0x29] = 0x57;
    PutSplit(out, 0x2A, t.part1_offset);
    PutSplit(out, 0x2E, t.part1_length);
    PutSplit(out, 0x32, t.part2_offset);
    PutSplit(out, 0x36, t.part2_length);
  }
  return out;
}

}  // namespace payload_test
