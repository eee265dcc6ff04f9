// DecodeGzipMember on arbitrary bytes: never a crash, and a success always means the CRC-32 and
// length in the trailer match what was produced. The retry that ZQP_UnPackFile makes is
// exercised when the member asks for more room.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/crc32.h"
#include "package/packed_file.h"

namespace {
void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void DecodeAndCheck(const uint8_t* data, uint32_t size, uint32_t capacity) {
  std::vector<uint8_t> out(capacity + 1);
  uint32_t length = capacity;
  const int code = package::DecodeGzipMember(data, size, out.data(), &length);
  Check(code == 8 || code == 0 || code == -1 || code == -2);
  if (code == -1) Check(capacity < size);
  if (code == 0) {
    Check(length > capacity);
    // The retry, bounded the way ZQP_UnPackFile bounds it.
    if (length <= package::MaxDecodedLength(size) && length <= (1u << 22)) {
      std::vector<uint8_t> again(length + 1);
      uint32_t second = length;
      Check(package::DecodeGzipMember(data, size, again.data(), &second) != 0);
    }
  }
  if (code == 8) {
    Check(length <= capacity && size >= 11);
    Check(base::Crc32(out.data(), length) == (data[size - 8] | data[size - 7] << 8 | data[size - 6] << 16 |
                                               static_cast<uint32_t>(data[size - 5]) << 24));
    Check(length == (data[size - 4] | data[size - 3] << 8 | data[size - 2] << 16 |
                     static_cast<uint32_t>(data[size - 1]) << 24));
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const uint32_t n = static_cast<uint32_t>(size);
  DecodeAndCheck(data, n, n * 4 + 64);
  DecodeAndCheck(data, n, n);
  if (n > 0) DecodeAndCheck(data, n, n - 1);
  return 0;
}
