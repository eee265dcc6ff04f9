#pragma once
// SHA-256, for checking that a downloaded package is the one its setup file was built with.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace base {

class Sha256 {
 public:
  Sha256();
  void Update(const void* data, size_t size);
  // The digest of everything given; the object is spent afterwards.
  std::array<uint8_t, 32> Final();

 private:
  void Blocks(const uint8_t* data, size_t count);

  std::array<uint32_t, 8> state_;
  std::array<uint8_t, 64> buffer_{};
  size_t buffered_ = 0;
  uint64_t length_ = 0;  // bytes given so far
};

// The digest as 64 lower-case hexadecimal digits.
std::string ToHex(const std::array<uint8_t, 32>& digest);

// The compression of whole 64-byte blocks, open to tests that compare the two.
namespace sha256_internal {
void PortableBlocks(uint32_t state[8], const uint8_t* data, size_t count);
// With the processor's SHA extensions (several times faster); only where HasShaExtensions().
void ShaExtensionBlocks(uint32_t state[8], const uint8_t* data, size_t count);
bool HasShaExtensions();
}  // namespace sha256_internal

}  // namespace base
