#pragma once
// The one checked reader for every parse of untrusted bytes: taking n bytes fails when fewer
// remain, and a failed take leaves the position where it was. Lengths read from the data are
// checked against Remaining() before anything is allocated for them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace base {

class ByteReader {
 public:
  ByteReader(const void* data, size_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}

  size_t Size() const { return size_; }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return size_ - pos_; }
  const uint8_t* Current() const { return data_ + pos_; }

  bool Seek(size_t pos) {
    if (pos > size_) return false;
    pos_ = pos;
    return true;
  }
  bool Skip(size_t n) {
    if (n > Remaining()) return false;
    pos_ += n;
    return true;
  }
  // Points *out at the next n bytes and moves past them.
  bool Take(size_t n, const uint8_t** out) {
    if (n > Remaining()) return false;
    *out = data_ + pos_;
    pos_ += n;
    return true;
  }
  bool ReadBytes(void* out, size_t n) {
    if (n > Remaining()) return false;
    if (n) std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return true;
  }
  bool ReadU8(uint8_t* out) { return ReadBytes(out, 1); }
  bool ReadU16(uint16_t* out) {
    uint8_t b[2];
    if (!ReadBytes(b, 2)) return false;
    *out = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool ReadU32(uint32_t* out) {
    uint8_t b[4];
    if (!ReadBytes(b, 4)) return false;
    *out = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[3]) << 24);
    return true;
  }
  bool ReadU64(uint64_t* out) {
    uint32_t lo = 0, hi = 0;
    if (Remaining() < 8) return false;
    ReadU32(&lo);
    ReadU32(&hi);
    *out = (static_cast<uint64_t>(hi) << 32) | lo;
    return true;
  }
  // Reads n UTF-16LE code units.
  bool ReadUtf16(size_t units, std::u16string* out) {
    if (units > Remaining() / 2) return false;
    out->resize(units);
    for (size_t i = 0; i < units; ++i) {
      (*out)[i] = static_cast<char16_t>(data_[pos_ + 2 * i] | (data_[pos_ + 2 * i + 1] << 8));
    }
    pos_ += units * 2;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Little-endian decoding of a value at a known-good position.
inline uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace base
