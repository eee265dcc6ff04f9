#include "base/crc32.h"

#include <zlib.h>

#include <climits>

namespace base {
uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  const Bytef* p = static_cast<const Bytef*>(data);
  uLong value = crc;
  while (size > 0) {
    const uInt chunk = size > UINT_MAX ? UINT_MAX : static_cast<uInt>(size);
    value = crc32(value, p, chunk);
    p += chunk;
    size -= chunk;
  }
  return static_cast<uint32_t>(value);
}
}  // namespace base
