#include "engine/checksum.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/crc32.h"
#include "engine/file_entry.h"
#include "platform/fs.h"

namespace engine {
namespace {

constexpr uint32_t kChecksumStart = 0xFFFFFFFFu;
constexpr size_t kSampleBytes = 512;
constexpr int kSampleCount = 10;

platform::File OpenForSum(std::u16string_view path) {
  return platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting,
                              platform::FileShare::kReadWrite);
}

// Fills as much of the buffer as the file still holds.
bool ReadUpTo(platform::File& file, uint8_t* buffer, size_t size, size_t* done) {
  *done = 0;
  while (*done < size) {
    size_t got = 0;
    if (!file.Read(buffer + *done, size - *done, &got)) return false;
    if (got == 0) break;
    *done += got;
  }
  return true;
}

// The sampled rule over size bytes that read(offset, buffer, &got) reads (up to 512 at offset;
// false on an error).
template <typename Read>
bool Sampled(uint64_t size, Read read, FileChecksum* out) {
  const bool spread = size > kSampleBytes * kSampleCount;
  const uint64_t stride = size / kSampleCount;
  uint8_t buffer[kSampleBytes];
  size_t last = 0;
  uint64_t position = 0;
  uint32_t crc = kChecksumStart;
  for (int k = 0; k < kSampleCount; ++k) {
    if (spread) position = static_cast<uint64_t>(k) * stride;
    if (!read(position, buffer, &last)) return false;
    position += last;
    crc = base::Crc32(crc, buffer, last);
    if (last < kSampleBytes) break;
  }
  crc = base::Crc32(crc, buffer, last);
  out->crc = crc;
  out->size = size;
  return true;
}

}  // namespace

bool FullChecksum(std::u16string_view path, FileChecksum* out) {
  *out = FileChecksum{};
  platform::File file = OpenForSum(path);
  if (!file.IsOpen()) return false;
  // Larger blocks than the format's 512 bytes give the same chained value.
  std::vector<uint8_t> buffer(64 * 1024);
  uint32_t crc = kChecksumStart;
  uint64_t size = 0;
  for (;;) {
    size_t got = 0;
    if (!file.Read(buffer.data(), buffer.size(), &got)) return false;
    if (got == 0) break;
    crc = base::Crc32(crc, buffer.data(), got);
    size += got;
  }
  out->crc = crc;
  out->size = size;
  return true;
}

bool SampledChecksum(std::u16string_view path, FileChecksum* out) {
  *out = FileChecksum{};
  platform::File file = OpenForSum(path);
  uint64_t size = 0;
  if (!file.IsOpen() || !file.Size(&size)) return false;
  return Sampled(size, [&file](uint64_t offset, uint8_t* buffer, size_t* got) {
    return file.SeekTo(offset) && ReadUpTo(file, buffer, kSampleBytes, got);
  }, out);
}

bool FileChecksumFor(uint32_t flags, std::u16string_view path, FileChecksum* out) {
  return (flags & kFileFullChecksum) ? FullChecksum(path, out) : SampledChecksum(path, out);
}

FileChecksum BytesChecksumFor(uint32_t flags, const uint8_t* data, size_t size) {
  FileChecksum out;
  if (flags & kFileFullChecksum) {
    out.crc = base::Crc32(kChecksumStart, data, size);
    out.size = size;
    return out;
  }
  Sampled(size, [data, size](uint64_t offset, uint8_t* buffer, size_t* got) {
    *got = offset < size ? static_cast<size_t>(std::min<uint64_t>(kSampleBytes, size - offset)) : 0;
    if (*got) std::memcpy(buffer, data + offset, *got);
    return true;
  }, &out);
  return out;
}

}  // namespace engine
