#pragma once
// CRC-32 as in gzip trailers (zlib's crc32), over buffers of any size.
#include <cstddef>
#include <cstdint>

namespace base {
// Continues a CRC over more data; start with crc = 0.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);
inline uint32_t Crc32(const void* data, size_t size) { return Crc32(0, data, size); }
}  // namespace base
