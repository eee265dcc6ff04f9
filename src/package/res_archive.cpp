#include "package/res_archive.h"

#include <cstdio>
#include <cstring>

#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/crc32.h"
#include "base/path.h"
#include "base/strings.h"
#include "package/file_utils.h"
#include "package/packed_file.h"
#include "platform/file_times.h"

namespace package {
namespace {

constexpr uint8_t kArchiveMagic[4] = {'k', 'A', 'p', 'X'};
constexpr uint8_t kEntryMagic[4] = {'K', 'a', 'P', 'x'};
constexpr uint8_t kPeSignature[4] = {'P', 'E', 0, 0};
constexpr size_t kTrailerSize = 16;
constexpr size_t kDirectoryEntryFixedSize = 16;  // plus 2 bytes per name unit
constexpr size_t kBlockHeaderSize = 24;
constexpr size_t kStubHeadSize = 64;
constexpr size_t kStubMinHeadSize = 32;
constexpr size_t kPeOffsetField = 0x3C;

bool ReadAt(platform::File& file, uint64_t position, void* buffer, size_t size, size_t* got) {
  return file.SeekTo(position) && file.Read(buffer, size, got);
}

bool ReadExactAt(platform::File& file, uint64_t position, void* buffer, size_t size) {
  size_t got = 0;
  return ReadAt(file, position, buffer, size, &got) && got == size;
}

std::string ToConsole(std::u16string_view text) { return base::Utf16ToUtf8(text); }

}  // namespace

bool OpenResArchive(platform::File& file, uint64_t file_size, uint64_t start, ResArchive* archive) {
  if (start >= file_size) return false;
  uint8_t head[kStubHeadSize];
  size_t got = 0;
  if (!ReadAt(file, start, head, sizeof(head), &got) || got < kStubMinHeadSize) return false;

  const uint64_t available = file_size - start;
  uint32_t trailer_pos = 0;
  bool has_stub = false;
  if (head[0] == 'M' && head[1] == 'Z') {
    if (got < kStubHeadSize) return false;
    const uint32_t pe_offset = base::LoadU32(head + kPeOffsetField);
    const uint16_t field = static_cast<uint16_t>(pe_offset - 8);
    uint8_t stub_field[16];
    if (uint64_t{field} + sizeof(stub_field) > available) return false;
    if (!ReadExactAt(file, start + field, stub_field, sizeof(stub_field))) return false;
    if (std::memcmp(stub_field + 8, kPeSignature, 4) != 0) return false;
    trailer_pos = base::LoadU32(stub_field);
    has_stub = true;
  } else {
    if (std::memcmp(head, kArchiveMagic, 4) != 0) return false;
    trailer_pos = base::LoadU32(head + 4);
  }
  if (uint64_t{trailer_pos} + kTrailerSize > available) return false;

  uint8_t trailer[kTrailerSize];
  if (!ReadExactAt(file, start + trailer_pos, trailer, sizeof(trailer))) return false;
  if (std::memcmp(trailer, kArchiveMagic, 4) != 0) return false;
  const uint32_t directory_pos = base::LoadU32(trailer + 4);
  const uint32_t count = base::LoadU32(trailer + 8);
  if (uint64_t{count} * kDirectoryEntryFixedSize + directory_pos >= trailer_pos) return false;

  // Bounded by the trailer position, which lies inside the file.
  std::vector<uint8_t> directory(trailer_pos - directory_pos);
  if (!ReadExactAt(file, start + directory_pos, directory.data(), directory.size())) return false;
  base::ByteReader reader(directory.data(), directory.size());
  std::vector<ResArchiveEntry> entries;
  for (uint32_t i = 0; i < count; ++i) {
    ResArchiveEntry entry;
    uint16_t name_units = 0;
    uint16_t terminator = 0;
    if (!reader.ReadU32(&entry.data_offset) || !reader.ReadU32(&entry.block_length) || !reader.Skip(4) ||
        !reader.ReadU16(&name_units) || !reader.ReadUtf16(name_units, &entry.name) || !reader.ReadU16(&terminator)) {
      return false;
    }
    entries.push_back(std::move(entry));
  }
  archive->start = start;
  archive->size = uint64_t{trailer_pos} + kTrailerSize;
  archive->has_program_stub = has_stub;
  archive->entries = std::move(entries);
  return true;
}

std::vector<ResArchive> ListResArchives(std::u16string_view path) {
  std::vector<ResArchive> archives;
  platform::File file = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting,
                                             platform::FileShare::kRead);
  uint64_t size = 0;
  if (!file.IsOpen() || !file.Size(&size) || size <= 10) return archives;
  uint64_t offset = 0;
  while (offset < size - 10) {
    ResArchive archive;
    if (!OpenResArchive(file, size, offset, &archive)) break;
    offset += archive.size;
    archives.push_back(std::move(archive));
  }
  return archives;
}

const char* ResEntryStatusText(ResEntryStatus status) {
  switch (status) {
    case ResEntryStatus::kOk:
      return "ok";
    case ResEntryStatus::kUnsafeName:
      return "the name leaves the destination folder or names no file";
    case ResEntryStatus::kBadBlock:
      return "damaged entry block";
    case ResEntryStatus::kCrcMismatch:
      return "CRC mismatch";
    case ResEntryStatus::kDecodeFailed:
      return "data cannot be decoded";
    case ResEntryStatus::kWriteFailed:
      return "file cannot be written";
  }
  return "unknown";
}

ResEntryStatus ReadResEntry(platform::File& file, const ResArchive& archive, const ResArchiveEntry& entry,
                            ResEntryData* data) {
  // The block must lie inside the archive's own data, before its trailer.
  const uint64_t trailer_pos = archive.size - kTrailerSize;
  if (entry.block_length < kBlockHeaderSize || uint64_t{entry.data_offset} + entry.block_length > trailer_pos) {
    return ResEntryStatus::kBadBlock;
  }
  std::vector<uint8_t> block(entry.block_length);
  if (!ReadExactAt(file, archive.start + entry.data_offset, block.data(), block.size())) {
    return ResEntryStatus::kBadBlock;
  }
  const uint32_t member_length = entry.block_length - static_cast<uint32_t>(kBlockHeaderSize);
  if (std::memcmp(block.data() + 8, kEntryMagic, 4) != 0 || base::LoadU32(block.data() + 4) != member_length) {
    return ResEntryStatus::kBadBlock;
  }
  const uint8_t* member = block.data() + kBlockHeaderSize;
  if (base::Crc32(member, member_length) != base::LoadU32(block.data())) return ResEntryStatus::kCrcMismatch;

  const uint32_t unpacked_length = base::LoadU32(block.data() + 16);
  // A claim beyond what the member can produce is damage and must not size a buffer.
  if (unpacked_length > MaxDecodedLength(member_length)) return ResEntryStatus::kDecodeFailed;
  // The decoder refuses a buffer smaller than its input, which a stored (incompressible) or empty
  // file always has; such entries still decode with the member's length as the capacity.
  uint32_t capacity = unpacked_length > member_length ? unpacked_length : member_length;
  data->bytes.assign(capacity, 0);
  if (DecodeGzipMember(member, member_length, data->bytes.data(), &capacity) != kGzipDecoded) {
    data->bytes.clear();
    return ResEntryStatus::kDecodeFailed;
  }
  data->bytes.resize(capacity);
  data->modified = base::LoadU32(block.data() + 20);
  return ResEntryStatus::kOk;
}

ResEntryStatus ExtractResEntry(platform::File& file, const ResArchive& archive, const ResArchiveEntry& entry,
                               std::u16string_view folder) {
  if (!base::IsContainedFilePath(entry.name)) return ResEntryStatus::kUnsafeName;
  ResEntryData data;
  const ResEntryStatus status = ReadResEntry(file, archive, entry, &data);
  if (status != ResEntryStatus::kOk) return status;

  const std::u16string path = base::JoinPath(folder, entry.name);
  const uint32_t length = static_cast<uint32_t>(data.bytes.size());
  if (!WriteWholeFile(path.c_str(), data.bytes.data(), length, false)) {
    CreatePath(path.c_str());
    if (!WriteWholeFile(path.c_str(), data.bytes.data(), length, false)) return ResEntryStatus::kWriteFailed;
  }
  platform::SetFileTimes(path, data.modified, 0);
  return ResEntryStatus::kOk;
}

int ExtractArchiveFile(const char16_t* file, const char16_t* folder, int index) {
  if (!file || !folder) return 0;
  const std::vector<ResArchive> archives = ListResArchives(file);
  if (archives.empty()) {
    std::printf("Open archive fail. %s\n", ToConsole(file).c_str());
    return 0;
  }
  platform::File in = platform::File::Open(file, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting,
                                           platform::FileShare::kRead);
  if (!in.IsOpen()) return static_cast<int>(archives.size());
  const bool one_destination = archives.size() == 1 || index != -1;
  for (size_t i = 0; i < archives.size(); ++i) {
    if (index != -1 && static_cast<size_t>(index) != i) continue;
    std::u16string destination = folder;
    base::AddBackslash(destination);
    if (!one_destination) destination += base::NumberToUtf16(static_cast<int64_t>(i)) + u"\\";
    std::printf("Extract to %s\n", ToConsole(destination).c_str());
    for (const ResArchiveEntry& entry : archives[i].entries) ExtractResEntry(in, archives[i], entry, destination);
  }
  return static_cast<int>(archives.size());
}

}  // namespace package

namespace package {

bool ResArchiveWriter::Build(const std::vector<Entry>& entries, const std::vector<uint8_t>& stub,
                             std::vector<uint8_t>* out, std::string* error) {
  if (entries.empty()) {
    *error = "an archive needs at least one entry";
    return false;
  }
  base::ByteWriter w;
  size_t stub_field = 0;
  if (stub.empty()) {
    w.PutBytes(kArchiveMagic, 4);
    w.PutU32(0);  // T, patched below
    w.PutU32(static_cast<uint32_t>(entries.size()));
    w.PutU32(0);
  } else {
    if (stub.size() < kStubHeadSize || stub[0] != 'M' || stub[1] != 'Z') {
      *error = "the stub is not a program image (no MZ header)";
      return false;
    }
    const uint32_t pe_offset = base::LoadU32(stub.data() + kPeOffsetField);
    if (pe_offset < kStubHeadSize + 8 || pe_offset > 0xFFFF || uint64_t{pe_offset} + 4 > stub.size() ||
        std::memcmp(stub.data() + pe_offset, kPeSignature, 4) != 0) {
      *error = "the stub has no PE signature between 0x48 and 0xFFFF";
      return false;
    }
    w.PutBytes(stub.data(), stub.size());
    stub_field = pe_offset - 8;
    base::StoreU32(w.Bytes().data() + stub_field + 4, static_cast<uint32_t>(entries.size()));
  }

  struct Placed {
    uint32_t offset;
    uint32_t length;
  };
  std::vector<Placed> placed;
  for (const Entry& entry : entries) {
    if (!base::IsContainedFilePath(entry.name)) {
      *error = "entry name '" + base::Utf16ToUtf8(entry.name) + "' leaves the destination folder or names no file";
      return false;
    }
    if (entry.name.size() > 0xFFFF) {
      *error = "entry name longer than 65535 characters";
      return false;
    }
    std::vector<uint8_t> member;
    if (!EncodeGzipMember(entry.data.data(), entry.data.size(), &member)) {
      *error = "cannot compress '" + base::Utf16ToUtf8(entry.name) + "'";
      return false;
    }
    const uint64_t offset = w.Size();
    if (offset + kBlockHeaderSize + member.size() > UINT32_MAX) {
      *error = "the archive would be larger than 4 GiB";
      return false;
    }
    w.PutU32(base::Crc32(member.data(), member.size()));
    w.PutU32(static_cast<uint32_t>(member.size()));
    w.PutBytes(kEntryMagic, 4);
    w.PutU32(base::Crc32(entry.data.data(), entry.data.size()));
    w.PutU32(static_cast<uint32_t>(entry.data.size()));
    w.PutU32(entry.modified);
    w.PutBytes(member.data(), member.size());
    placed.push_back({static_cast<uint32_t>(offset), static_cast<uint32_t>(kBlockHeaderSize + member.size())});
  }
  const uint64_t directory_pos = w.Size();
  for (size_t i = 0; i < entries.size(); ++i) {
    w.PutU32(placed[i].offset);
    w.PutU32(placed[i].length);
    w.PutU32(0);
    w.PutU16(static_cast<uint16_t>(entries[i].name.size()));
    w.PutUtf16(entries[i].name);
    w.PutU16(0);
  }
  const uint64_t trailer_pos = w.Size();
  if (trailer_pos + kTrailerSize > UINT32_MAX) {
    *error = "the archive would be larger than 4 GiB";
    return false;
  }
  w.PutBytes(kArchiveMagic, 4);
  w.PutU32(static_cast<uint32_t>(directory_pos));
  w.PutU32(static_cast<uint32_t>(entries.size()));
  w.PutU32(0);
  w.PatchU32(stub.empty() ? 4 : stub_field, static_cast<uint32_t>(trailer_pos));
  *out = std::move(w.Bytes());
  return true;
}

}  // namespace package
