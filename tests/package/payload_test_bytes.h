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
// A copy of the bytes with one byte or one 32-bit field changed: damaged input for a reader.
inline std::vector<uint8_t> WithByte(std::vector<uint8_t> bytes, size_t at, uint8_t value) {
  bytes[at] = value;
  return bytes;
}
inline std::vector<uint8_t> WithU32(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
  SetU32(bytes, at, value);
  return bytes;
}
inline void PutAscii(std::vector<uint8_t>& out, const char* text) {
  while (*text) out.push_back(static_cast<uint8_t>(*text++));
}
inline void PutUtf16(std::vector<uint8_t>& out, const std::u16string& text) {
  for (char16_t c : text) PutU16(out, static_cast<uint16_t>(c));
}
inline std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Raw DEFLATE straight from zlib.
inline std::vector<uint8_t> RawDeflate(const std::vector<uint8_t>& data, int level = 6) {
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
  return deflated;
}
inline uint32_t Crc32(const std::vector<uint8_t>& data) {
  return static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

// 1F 8B 08, raw DEFLATE, CRC-32, length: the reduced gzip member. Tests that need a lying
// trailer give the fields themselves.
inline std::vector<uint8_t> MemberAround(const std::vector<uint8_t>& deflated, uint32_t crc, uint32_t length) {
  std::vector<uint8_t> member = {0x1F, 0x8B, 0x08};
  member.insert(member.end(), deflated.begin(), deflated.end());
  PutU32(member, crc);
  PutU32(member, length);
  return member;
}
inline std::vector<uint8_t> ReducedGzipMember(const std::vector<uint8_t>& data, int level = 6) {
  return MemberAround(RawDeflate(data, level), Crc32(data), static_cast<uint32_t>(data.size()));
}

// The 32-byte "QZPM" header (member length off by length_delta when asked), then the member.
inline std::vector<uint8_t> PackedAround(const std::vector<uint8_t>& member, uint32_t size_hint,
                                         int length_delta = 0) {
  std::vector<uint8_t> out;
  PutAscii(out, "QZPM");
  PutU32(out, 0);
  PutU32(out, static_cast<uint32_t>(static_cast<int64_t>(member.size()) + length_delta));
  PutU32(out, 0);
  PutU32(out, size_hint);
  for (int i = 0; i < 3; ++i) PutU32(out, 0);
  out.insert(out.end(), member.begin(), member.end());
  return out;
}
// A packed file around a reduced member.
inline std::vector<uint8_t> PackedFile(const std::vector<uint8_t>& data) {
  return PackedAround(ReducedGzipMember(data), static_cast<uint32_t>(data.size()));
}

// A "CVAS" container: header with the product list, the compose-list field and kind, then one
// "ICMD" record per (name, data) pair.
inline void SetUtf16(std::vector<uint8_t>& out, size_t at, const std::u16string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    out[at + 2 * i] = static_cast<uint8_t>(text[i]);
    out[at + 2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
  }
}
inline std::vector<uint8_t> Container(const std::u16string& compose_list, uint32_t kind,
                                      const std::vector<std::pair<std::u16string, std::vector<uint8_t>>>& records,
                                      const std::u16string& product_list = u"") {
  std::vector<uint8_t> out(1172, 0);
  out[0] = 'C', out[1] = 'V', out[2] = 'A', out[3] = 'S', out[4] = 1;
  SetUtf16(out, 6, product_list);
  SetUtf16(out, 134, compose_list);
  SetU32(out, 1160, kind);
  for (const auto& record : records) {
    const size_t at = out.size();
    PutAscii(out, "ICMD");
    PutU32(out, static_cast<uint32_t>(record.second.size()));
    PutU32(out, static_cast<uint32_t>(at + 140));
    out.resize(out.size() + 128, 0);
    SetUtf16(out, at + 12, record.first);
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
