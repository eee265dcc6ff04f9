#pragma once
// Packed files: one file compressed with DEFLATE, framed by a 32-byte header and a reduced gzip
// member. All integers are little-endian 32-bit.
//
//   packed file   0 "QZPM"   4 0   8 member length (= file length - 32)   12 -   16 unpacked size
//                 hint (sizes the first output buffer only)   20 -   24 8 zero bytes   32 member
//   member        0 1F 8B 08, then at once a raw DEFLATE stream (no gzip flags, time or optional
//                 fields), then CRC-32 of the unpacked data and its length. The member ends
//                 exactly at the end of the input: nothing may follow the length.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "package/package_codes.h"
#include "platform/fs.h"

namespace package {

constexpr uint8_t kPackedMagic[4] = {'Q', 'Z', 'P', 'M'};
constexpr size_t kPackedHeaderSize = 32;
constexpr size_t kGzipMemberOverhead = 3 + 8;  // identification and method, CRC and length

struct PackedHeader {
  uint32_t member_length = 0;
  uint32_t unpacked_size_hint = 0;
};

// Unpacks the packed file at source into destination (created or truncated; its folder must exist).
// Returns kUnpackOk (0), kUnpackSourceUnreadable (42: no name, cannot be opened, or empty),
// kUnpackNotPacked (46: shorter than 32 bytes, wrong magic, or a member length other than the file
// length - 32), kUnpackDecodeFailed (45: the member does not decode, after one retry with the
// length the decoder asks for) or kUnpackDestinationUnwritable (43). Nothing is logged.
uint32_t ZQP_UnPackFile(const char16_t* source, const char16_t* destination);
// The same, creating the destination with the given security.
uint32_t UnpackFileWith(const char16_t* source, const char16_t* destination, platform::FileSecurity security);

// Decodes a reduced gzip member. On entry *output_length is the capacity of output; returns
//   kGzipDecoded (8)                  *output_length = the bytes produced;
//   kGzipOutputTooSmall (0)           the capacity is below the member's length field, which is
//                                     now in *output_length so that the caller can retry;
//   kGzipOutputSmallerThanInput (-1)  the capacity is below input_length; nothing was done;
//   kGzipFormatError (-2)             wrong identification or method, input shorter than 7 bytes,
//                                     invalid DEFLATE data, input ending before the trailer, CRC
//                                     or length mismatch, bytes after the trailer, or more output
//                                     than the capacity.
int DecodeGzipMember(const uint8_t* input, uint32_t input_length, uint8_t* output, uint32_t* output_length);

// The most that a member of that length can decode to (DEFLATE expands at most 1032:1), capped at
// 4 GiB - 1. A declared unpacked length above this cannot be honest: callers refuse it instead of
// allocating for it.
uint32_t MaxDecodedLength(uint64_t member_length);

// Reads the header of a packed file. False when fewer than 32 bytes are given or the magic is not
// "QZPM"; the member length is returned as stored, unchecked.
bool ReadPackedHeader(const uint8_t* data, size_t size, PackedHeader* header);

// Writer side (the packaging tool; the installer only reads). Output is deterministic: zlib raw
// deflate at level 9 with fixed parameters. progress, when given, receives the count of input
// bytes consumed so far. False when the data is 4 GiB or more or zlib fails.
bool EncodeGzipMember(const uint8_t* data, size_t size, std::vector<uint8_t>* member,
                      const std::function<void(uint64_t)>& progress = nullptr);
// A whole packed file: the header (hint = the data's length) and the member.
bool PackBytes(const uint8_t* data, size_t size, std::vector<uint8_t>* packed,
               const std::function<void(uint64_t)>& progress = nullptr);

}  // namespace package
