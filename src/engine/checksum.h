#pragma once
// File checksums of the compose descriptions (field 12 of a file line): the IEEE 802.3 CRC-32
// chained from the start value 0xFFFFFFFF (not 0 as in gzip), so an empty file sums to
// 0xFFFFFFFF. norvpack writes the values that Setup.exe later measures, so both use these.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace engine {

struct FileChecksum {
  uint32_t crc = 0;
  uint64_t size = 0;  // the file's size in bytes
};

// Every byte of the file, in order. False when the file cannot be opened or read.
bool FullChecksum(std::u16string_view path, FileChecksum* out);

// At most ten 512-byte reads: consecutive ones for a file of up to 5120 bytes, otherwise the
// k-th read starts at k * (size / 10). Sampling stops after a read shorter than 512 bytes, and
// the bytes of the last read are summed a second time (a quirk of the format that stored
// checksums rely on). False when the file cannot be opened or read.
bool SampledChecksum(std::u16string_view path, FileChecksum* out);

// The kind that the flags of field 4 ask for: FullChecksum with kFileFullChecksum, else
// SampledChecksum.
bool FileChecksumFor(uint32_t flags, std::u16string_view path, FileChecksum* out);
// The same over bytes in memory (the packaging tool sums what it is about to carry).
FileChecksum BytesChecksumFor(uint32_t flags, const uint8_t* data, size_t size);

}  // namespace engine
