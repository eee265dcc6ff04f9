#include "package/payload.h"

#include <algorithm>
#include <memory>

#include "app/folders.h"
#include "app/log.h"
#include "app/wizard_state.h"
#include "base/format.h"
#include "base/path.h"
#include "base/sha256.h"
#include "base/strings.h"
#include "package/deed_box.h"
#include "package/file_utils.h"
#include "package/packed_file.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace package {
namespace {

constexpr size_t kCopyBufferSize = 4096;

uint32_t ReadSplitU32(const uint8_t* p) {
  const uint32_t high = static_cast<uint32_t>(p[0] | (p[1] << 8));
  const uint32_t low = static_cast<uint32_t>(p[2] | (p[3] << 8));
  return (high << 16) | low;
}

void WriteSplitU32(uint8_t* p, uint32_t value) {
  const uint16_t high = static_cast<uint16_t>(value >> 16);
  const uint16_t low = static_cast<uint16_t>(value);
  p[0] = static_cast<uint8_t>(high);
  p[1] = static_cast<uint8_t>(high >> 8);
  p[2] = static_cast<uint8_t>(low);
  p[3] = static_cast<uint8_t>(low >> 8);
}

enum class HeaderRead { kOk, kCannotRead, kNoTable };

HeaderRead ReadTableFromFile(platform::File& file, PayloadTable* table) {
  uint8_t header[kDosHeaderSize];
  size_t got = 0;
  if (!file.Read(header, sizeof(header), &got)) return HeaderRead::kCannotRead;
  return ReadPayloadTable(header, got, table) ? HeaderRead::kOk : HeaderRead::kNoTable;
}

}  // namespace

bool ReadPayloadTable(const uint8_t* header, size_t size, PayloadTable* table) {
  if (size < kDosHeaderSize) return false;
  const uint8_t* t = header + kPayloadTableOffset;
  if (static_cast<uint16_t>(t[0] | (t[1] << 8)) != kPayloadMarker) return false;
  table->part1.offset = ReadSplitU32(t + 2);
  table->part1.length = ReadSplitU32(t + 6);
  table->part2.offset = ReadSplitU32(t + 10);
  table->part2.length = ReadSplitU32(t + 14);
  return true;
}

void WritePayloadTable(const PayloadTable& table, uint8_t* header) {
  uint8_t* t = header + kPayloadTableOffset;
  t[0] = static_cast<uint8_t>(kPayloadMarker);
  t[1] = static_cast<uint8_t>(kPayloadMarker >> 8);
  WriteSplitU32(t + 2, table.part1.offset);
  WriteSplitU32(t + 6, table.part1.length);
  WriteSplitU32(t + 10, table.part2.offset);
  WriteSplitU32(t + 14, table.part2.length);
  t[18] = 0;
  t[19] = 0;
}

bool StampPayload(const std::vector<uint8_t>& program, const std::vector<uint8_t>& part1,
                  const std::vector<uint8_t>* part2, std::vector<uint8_t>* out, std::string* error) {
  if (program.size() < kDosHeaderSize || program[0] != 'M' || program[1] != 'Z') {
    *error = "the program is not an executable image (no MZ header)";
    return false;
  }
  size_t image_size = program.size();
  PayloadTable existing;
  if (ReadPayloadTable(program.data(), program.size(), &existing)) {
    if (existing.part1.offset < kDosHeaderSize || existing.part1.offset > program.size()) {
      *error = "the program carries a payload table whose part 1 lies outside it";
      return false;
    }
    image_size = existing.part1.offset;
  } else {
    for (size_t i = kPayloadTableOffset; i < kPayloadTableOffset + 20; ++i) {
      if (program[i] != 0) {
        *error = "the program's DOS header uses the reserved words where the payload table goes";
        return false;
      }
    }
  }
  const uint64_t part2_size = part2 ? part2->size() : 0;
  const uint64_t total = uint64_t{image_size} + part1.size() + part2_size;
  if (total > UINT32_MAX) {
    *error = "the setup file would be larger than 4 GiB, beyond what the payload table can address";
    return false;
  }
  PayloadTable table;
  table.part1.offset = static_cast<uint32_t>(image_size);
  table.part1.length = static_cast<uint32_t>(part1.size());
  if (part2) {
    table.part2.offset = static_cast<uint32_t>(image_size + part1.size());
    table.part2.length = static_cast<uint32_t>(part2->size());
  }
  out->assign(program.begin(), program.begin() + static_cast<std::ptrdiff_t>(image_size));
  WritePayloadTable(table, out->data());
  out->insert(out->end(), part1.begin(), part1.end());
  if (part2) out->insert(out->end(), part2->begin(), part2->end());
  return true;
}

bool HasPackagePart(std::u16string_view program_path) {
  platform::File file = platform::File::Open(program_path, platform::FileAccess::kRead,
                                             platform::FileDisposition::kOpenExisting, platform::FileShare::kRead);
  if (!file.IsOpen()) return true;
  PayloadTable table;
  switch (ReadTableFromFile(file, &table)) {
    case HeaderRead::kCannotRead:
      return true;
    case HeaderRead::kNoTable:
      return false;
    case HeaderRead::kOk:
      break;
  }
  return table.HasPart2();
}

bool ExtractPayloadPart(std::u16string_view program_path, std::u16string_view destination, int part) {
  if (part != 1 && part != 2) return false;
  platform::File source = platform::File::Open(program_path, platform::FileAccess::kRead,
                                               platform::FileDisposition::kOpenExisting, platform::FileShare::kRead);
  if (!source.IsOpen()) return false;
  PayloadTable table;
  if (ReadTableFromFile(source, &table) != HeaderRead::kOk) return false;
  const PayloadPart where = part == 1 ? table.part1 : table.part2;

  // A part that the file does not hold in full (a truncated download of the setup file) fails
  // here rather than yielding a short copy that breaks later, halfway through the install.
  uint64_t file_size = 0;
  if (!source.Size(&file_size)) return false;
  if (uint64_t{where.offset} + where.length > file_size) return false;
  if (!source.SeekTo(where.offset)) return false;

  // The elevated installer opens the part again later: it keeps the default security, so that
  // no other account can swap it in between.
  platform::File out =
      platform::File::Open(destination, platform::FileAccess::kReadWrite, platform::FileDisposition::kCreateAlways,
                           platform::FileShare::kReadWrite, platform::FileSecurity::kDefault);
  if (!out.IsOpen()) return false;
  uint8_t buffer[kCopyBufferSize];
  uint32_t missing = where.length;
  while (missing > 0) {
    const size_t want = missing < sizeof(buffer) ? missing : sizeof(buffer);
    size_t got = 0;
    if (!source.Read(buffer, want, &got) || got == 0) return false;
    if (!out.Write(buffer, got)) return false;
    missing -= static_cast<uint32_t>(got);
  }
  return true;
}

namespace {

// The digest record of an open skin part: exactly 64 hexadecimal digits, else empty.
std::string ReadPackageDigest(IDeedBox* box, const std::u16string& work) {
  const std::u16string file = work + kPackageDigestRecord + u".txt";
  std::string digest;
  if (box->ExtractRecord(kPackageDigestRecord, file.c_str())) {
    uint32_t size = 0;
    const std::unique_ptr<uint8_t[]> bytes = ReadWholeFile(file.c_str(), &size);
    if (bytes && size == kPackageDigestChars) digest.assign(reinterpret_cast<const char*>(bytes.get()), size);
    platform::DeleteFileAt(file);
  }
  const bool hex = std::all_of(digest.begin(), digest.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
  });
  return hex ? digest : std::string();
}

}  // namespace

std::u16string PrepareSkinPartFrom(std::u16string_view program_path, std::u16string_view work_dir,
                                   std::u16string* download_url, std::string* package_sha256) {
  std::u16string work(work_dir);
  base::AddBackslash(work);
  const std::u16string style = work + kSkinFolderName;
  if (!platform::IsDirectory(work)) platform::CreateDirectoryDefaultSecurity(work);
  if (!platform::IsDirectory(style)) platform::CreateDirectoryDefaultSecurity(style);

  const std::u16string unpacked = work + kSkinPartFileName;
  const std::u16string packed = unpacked + kSkinPartPackedSuffix;
  if (!ExtractPayloadPart(program_path, packed, 1)) return u"";
  if (UnpackFileWith(packed.c_str(), unpacked.c_str(), platform::FileSecurity::kDefault) != 0) return u"";

  DeedBoxPtr box(CreateDeedBox());
  if (!box || !box->Open(unpacked.c_str())) return u"";
  const std::u16string url = box->GetComposeList();
  const bool extracted = box->ExtractGroup(kSkinGroupPart1, style.c_str());
  const std::string digest = package_sha256 ? ReadPackageDigest(box.get(), work) : std::string();
  box->Close();
  if (!extracted) return u"";
  if (download_url) *download_url = url;
  if (package_sha256) *package_sha256 = digest;
  return style;
}

std::u16string PrepareSkinPart(std::u16string* download_url, std::string* package_sha256) {
  return PrepareSkinPartFrom(platform::ModuleFilePath(), app::GetTempWorkDir(), download_url, package_sha256);
}

bool FileMatchesDigest(std::u16string_view path, std::string_view sha256_hex, std::string* actual) {
  if (actual) actual->clear();
  if (sha256_hex.empty()) return true;
  platform::File file = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting,
                                             platform::FileShare::kRead);
  if (!file.IsOpen()) return false;
  base::Sha256 sha;
  std::vector<uint8_t> buffer(256 * 1024);
  for (;;) {
    size_t got = 0;
    if (!file.Read(buffer.data(), buffer.size(), &got)) return false;
    if (got == 0) break;
    sha.Update(buffer.data(), got);
  }
  const std::string digest = base::ToHex(sha.Final());
  if (actual) *actual = digest;
  return digest == sha256_hex;
}

std::u16string ExtractBigFileFrom(std::u16string_view program_path, std::u16string_view work_dir, uint32_t tick_count,
                                  std::string_view package_sha256) {
  const std::u16string path = base::JoinPath(work_dir, base::Format(32, u"Big%X.dat", tick_count));
  if (!ExtractPayloadPart(program_path, path, 2)) return u"";
  // Sizes, CRCs and end markers inside the package leave many bytes uncovered (stored files,
  // descriptions, the style group); the digest covers every one.
  std::string actual;
  if (!FileMatchesDigest(path, package_sha256, &actual)) {
    app::LogText3(u"error, the package part of ", std::u16string(program_path).c_str(),
                  base::Utf8ToUtf16(" is damaged: its SHA-256 is " + (actual.empty() ? std::string("unreadable") : actual) +
                                    ", the setup file names " + std::string(package_sha256))
                      .c_str());
    platform::DeleteFileAt(path);
    return u"";
  }
  return path;
}

std::u16string ExtractBigFile() {
  return ExtractBigFileFrom(platform::ModuleFilePath(), app::GetTempWorkDir(), platform::TickCount(),
                            app::PackageDigest());
}

}  // namespace package
