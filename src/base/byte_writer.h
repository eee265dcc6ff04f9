#pragma once
// Little-endian serialisation into a growing byte buffer, the writer side of ByteReader.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace base {

class ByteWriter {
 public:
  std::vector<uint8_t>& Bytes() { return bytes_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  size_t Size() const { return bytes_.size(); }

  void PutU8(uint8_t v) { bytes_.push_back(v); }
  void PutU16(uint16_t v) {
    bytes_.push_back(static_cast<uint8_t>(v));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void PutU32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void PutU64(uint64_t v) {
    PutU32(static_cast<uint32_t>(v));
    PutU32(static_cast<uint32_t>(v >> 32));
  }
  void PutBytes(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + n);
  }
  void PutUtf16(std::u16string_view text) {
    for (char16_t c : text) PutU16(static_cast<uint16_t>(c));
  }
  void PutZeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
  // Overwrites a 32-bit value at an earlier position (for sizes known only at the end).
  void PatchU32(size_t pos, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[pos + i] = static_cast<uint8_t>(v >> (8 * i));
  }

 private:
  std::vector<uint8_t> bytes_;
};

inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace base
