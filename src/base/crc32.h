#pragma once
// CRC-32 as in gzip trailers (zlib's crc32), over buffers of any size.
#include <cstddef>
#include <cstdint>

namespace base {
// Continues a CRC over more data; start with crc = 0. Uses carry-less multiplication where the
// processor has it.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);
inline uint32_t Crc32(const void* data, size_t size) { return Crc32(0, data, size); }

namespace crc32_internal {
// The two ways Crc32 computes, exposed so that tests can check each on any machine.
uint32_t Portable(uint32_t crc, const void* data, size_t size);
// Only valid where HasFolding() is true.
uint32_t Folding(uint32_t crc, const void* data, size_t size);
bool HasFolding();
}  // namespace crc32_internal
}  // namespace base
