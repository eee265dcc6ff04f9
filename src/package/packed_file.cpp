#include "package/packed_file.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <new>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/crc32.h"
#include "base/unique_any.h"
#include "package/file_utils.h"

namespace package {
namespace {

constexpr uint8_t kGzipId1 = 0x1F;
constexpr uint8_t kGzipId2 = 0x8B;
constexpr uint8_t kMethodDeflate = 8;
constexpr size_t kTrailerSize = 8;
// Output is produced and checked in slices of this size, so that the CRC runs over bytes that
// are still in the cache. Each inflate call also copies up to 32 KiB into zlib's window; a
// larger slice keeps that copy small beside the slice.
constexpr uint32_t kOutputSlice = 1u << 18;
constexpr size_t kDeflateInputSlice = 1u << 20;

// A z_stream set up by inflateInit2 / deflateInit2, ended on every path out of its user.
template <auto kEnd>
struct ZStreamTraits : base::KeepsErrno {
  using Handle = z_stream*;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { kEnd(h); }
};
using InflatingStream = base::UniqueAny<ZStreamTraits<inflateEnd>>;
using DeflatingStream = base::UniqueAny<ZStreamTraits<deflateEnd>>;

std::unique_ptr<uint8_t[]> AllocateOutput(uint32_t capacity) {
  // One spare byte so that a zero capacity still gives a valid pointer.
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[static_cast<size_t>(capacity) + 1]);
}

}  // namespace

uint32_t MaxDecodedLength(uint64_t member_length) {
  const uint64_t bound = member_length * 1032 + 1032;
  return bound > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bound);
}

bool ReadPackedHeader(const uint8_t* data, size_t size, PackedHeader* header) {
  base::ByteReader reader(data, size);
  uint8_t magic[4];
  uint32_t reserved = 0;
  if (size < kPackedHeaderSize || !reader.ReadBytes(magic, 4) || !std::equal(magic, magic + 4, kPackedMagic)) {
    return false;
  }
  return reader.ReadU32(&reserved) && reader.ReadU32(&header->member_length) && reader.ReadU32(&reserved) &&
         reader.ReadU32(&header->unpacked_size_hint);
}

int DecodeGzipMember(const uint8_t* input, uint32_t input_length, uint8_t* output, uint32_t* output_length) {
  if (!output_length || (!input && input_length) || !output) return kGzipFormatError;
  const uint32_t capacity = *output_length;
  if (capacity < input_length) return kGzipOutputSmallerThanInput;

  base::ByteReader reader(input, input_length);
  uint8_t id1 = 0, id2 = 0, method = 0;
  if (!reader.ReadU8(&id1) || !reader.ReadU8(&id2) || !reader.ReadU8(&method) || id1 != kGzipId1 ||
      id2 != kGzipId2 || method != kMethodDeflate) {
    return kGzipFormatError;
  }
  if (input_length < 7) return kGzipFormatError;
  const uint32_t expected_length = base::LoadU32(input + input_length - 4);
  if (capacity < expected_length) {
    *output_length = expected_length;
    return kGzipOutputTooSmall;
  }

  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return kGzipFormatError;
  const InflatingStream inflating(&stream);
  z_stream* zs = &stream;
  zs->next_in = const_cast<Bytef*>(reader.Current());
  zs->avail_in = static_cast<uInt>(reader.Remaining());

  uint32_t produced = 0;
  uint32_t crc = 0;
  for (;;) {
    const uint32_t room = capacity - produced;
    if (room == 0) {
      // The capacity is used up: the stream may still end without another byte, but any further
      // output means more than the buffer holds.
      uint8_t spill = 0;
      zs->next_out = &spill;
      zs->avail_out = 1;
      const int rc = inflate(zs, Z_NO_FLUSH);
      if (rc != Z_STREAM_END || zs->avail_out != 1) return kGzipFormatError;
      break;
    }
    zs->next_out = output + produced;
    zs->avail_out = std::min(room, kOutputSlice);
    const uInt asked = zs->avail_out;
    const int rc = inflate(zs, Z_NO_FLUSH);
    const uint32_t got = static_cast<uint32_t>(asked - zs->avail_out);
    crc = base::Crc32(crc, output + produced, got);
    produced += got;
    if (rc == Z_STREAM_END) break;
    // Z_BUF_ERROR without progress: the input ran out before the last block ended.
    if (rc != Z_OK) return kGzipFormatError;
  }

  // zlib stops exactly after the last block's final byte; the trailer must fill the rest.
  if (zs->avail_in != kTrailerSize) return kGzipFormatError;
  const uint8_t* trailer = zs->next_in;
  if (base::LoadU32(trailer) != crc || base::LoadU32(trailer + 4) != produced) return kGzipFormatError;
  *output_length = produced;
  return kGzipDecoded;
}

uint32_t ZQP_UnPackFile(const char16_t* source, const char16_t* destination) {
  return UnpackFileWith(source, destination, platform::FileSecurity::kProcessWide);
}

uint32_t UnpackFileWith(const char16_t* source, const char16_t* destination, platform::FileSecurity security) {
  uint32_t file_length = 0;
  std::unique_ptr<uint8_t[]> data = source ? ReadWholeFile(source, &file_length) : nullptr;
  if (!data || file_length == 0) return kUnpackSourceUnreadable;

  PackedHeader header;
  if (!ReadPackedHeader(data.get(), file_length, &header) || header.member_length != file_length - kPackedHeaderSize) {
    return kUnpackNotPacked;
  }
  const uint32_t member_length = header.member_length;
  const uint8_t* member = data.get() + kPackedHeaderSize;

  // The hint only sizes the first buffer, which is never smaller than the member. A hint beyond
  // what the member could ever decode to is not trusted with an allocation.
  const uint64_t spare = uint64_t{member_length} + file_length;
  const uint64_t small_hint_limit = uint64_t{member_length} * 2 / 10 + file_length;
  uint64_t capacity = header.unpacked_size_hint <= small_hint_limit ? spare : header.unpacked_size_hint;
  if (capacity > MaxDecodedLength(member_length)) capacity = std::max<uint64_t>(member_length, spare);
  if (capacity > 0xFFFFFFFFu) capacity = 0xFFFFFFFFu;

  uint32_t out_length = static_cast<uint32_t>(capacity);
  std::unique_ptr<uint8_t[]> out = AllocateOutput(out_length);
  if (!out) return kUnpackDecodeFailed;
  int result = DecodeGzipMember(member, member_length, out.get(), &out_length);
  if (result == kGzipOutputTooSmall) {
    out.reset();
    if (out_length > MaxDecodedLength(member_length)) return kUnpackDecodeFailed;
    out = AllocateOutput(out_length);
    if (!out) return kUnpackDecodeFailed;
    result = DecodeGzipMember(member, member_length, out.get(), &out_length);
  }
  if (result <= 0) return kUnpackDecodeFailed;

  if (!WriteWholeFile(destination, out.get(), out_length, false, security)) return kUnpackDestinationUnwritable;
  return kUnpackOk;
}

bool EncodeGzipMember(const uint8_t* data, size_t size, std::vector<uint8_t>* member,
                      const std::function<void(uint64_t)>& progress) {
  if ((!data && size) || !member || size > 0xFFFFFFFEu) return false;
  z_stream zs{};
  if (deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  DeflatingStream deflating(&zs);
  const uLong bound = deflateBound(&zs, static_cast<uLong>(size));
  if (bound > 0xFFFFFFFFu - kGzipMemberOverhead) return false;
  member->assign({kGzipId1, kGzipId2, kMethodDeflate});
  member->resize(3 + bound);
  zs.next_out = member->data() + 3;
  zs.avail_out = static_cast<uInt>(bound);
  size_t consumed = 0;
  int rc = Z_OK;
  while (rc == Z_OK) {
    const size_t slice = std::min(size - consumed, kDeflateInputSlice);
    zs.next_in = const_cast<Bytef*>(data + consumed);
    zs.avail_in = static_cast<uInt>(slice);
    const bool last = consumed + slice == size;
    rc = deflate(&zs, last ? Z_FINISH : Z_NO_FLUSH);
    consumed += slice - zs.avail_in;
    if (progress) progress(consumed);
    if (last && rc == Z_OK) rc = Z_BUF_ERROR;  // the bound was not enough: cannot happen
  }
  const size_t written = static_cast<size_t>(zs.total_out);
  deflating.reset();  // zlib's state is freed before the trailer is computed
  if (rc != Z_STREAM_END) return false;
  member->resize(3 + written);
  base::ByteWriter trailer;
  trailer.PutU32(base::Crc32(data, size));
  trailer.PutU32(static_cast<uint32_t>(size));
  member->insert(member->end(), trailer.Bytes().begin(), trailer.Bytes().end());
  return true;
}

bool PackBytes(const uint8_t* data, size_t size, std::vector<uint8_t>* packed,
               const std::function<void(uint64_t)>& progress) {
  std::vector<uint8_t> member;
  if (!packed || !EncodeGzipMember(data, size, &member, progress)) return false;
  if (member.size() > 0xFFFFFFFFu - kPackedHeaderSize) return false;
  base::ByteWriter out;
  out.PutBytes(kPackedMagic, 4);
  out.PutU32(0);
  out.PutU32(static_cast<uint32_t>(member.size()));
  out.PutU32(0);
  out.PutU32(static_cast<uint32_t>(size));
  out.PutU32(0);
  out.PutU64(0);
  out.PutBytes(member.data(), member.size());
  *packed = std::move(out.Bytes());
  return true;
}

}  // namespace package
