#include "package/deed_box.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "app/log.h"
#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/path.h"
#include "base/strings.h"
#include "package/file_utils.h"
#include "package/packed_file.h"
#include "platform/system.h"

namespace package {
namespace {

// Record data is streamed through a buffer of this size, never held whole. 64 KiB rather than
// 10 KiB: with the smaller buffer, extraction ran at half the speed of a plain file copy.
constexpr size_t kCopyBufferSize = 1u << 16;
constexpr size_t kAddBufferSize = 1u << 16;

size_t TextLength(const char16_t* text) { return std::char_traits<char16_t>::length(text); }

// A fixed text field: the units up to the first zero.
bool ReadTextField(base::ByteReader* reader, size_t units, std::u16string* out) {
  if (!reader->ReadUtf16(units, out)) return false;
  const size_t end = out->find(u'\0');
  if (end != std::u16string::npos) out->resize(end);
  return true;
}

void PutTextField(base::ByteWriter* writer, std::u16string_view text, size_t units) {
  const std::u16string_view kept = text.substr(0, std::min(text.size(), units - 1));
  writer->PutUtf16(kept);
  writer->PutZeros((units - kept.size()) * 2);
}

std::string RecordText(size_t index, const DeedBoxRecord* record) {
  std::string text = "record " + std::to_string(index + 1);
  if (record) text += " '" + base::Utf16ToUtf8(record->name) + "'";
  return text;
}

// Walks the record headers that follow the container header. read_at(offset, buffer, size) returns
// the number of bytes read there (0 at or past the end), or a negative value on a read error.
// The walk ends well at a read of 0 bytes; a short record header, a read error, a record whose
// magic is not "ICMD" or whose data offset field is not where its data starts fails it, with the
// reason in *problem when asked for. Each record starts right after the previous record's data,
// as its length says; extraction seeks to the data offset field, so the two must agree.
template <typename ReadAt>
bool WalkIndex(ReadAt read_at, std::vector<DeedBoxRecord>* records, uint64_t* end, std::string* problem = nullptr) {
  uint64_t position = kDeedBoxHeaderSize;
  uint8_t raw[kDeedBoxRecordHeaderSize];
  auto fail = [&](const std::string& why) {
    if (problem) *problem = why;
    return false;
  };
  for (;;) {
    const long long got = read_at(position, raw, sizeof(raw));
    if (got == 0) break;
    DeedBoxRecord record;
    if (got < 0) return fail("the file cannot be read");
    if (got != static_cast<long long>(sizeof(raw))) {
      return fail(RecordText(records->size(), nullptr) + ": the record header is cut short at the end of the file");
    }
    if (!ParseDeedBoxRecord(raw, sizeof(raw), &record)) {
      return fail(RecordText(records->size(), nullptr) + " at offset " + std::to_string(position) +
                  ": no \"ICMD\" record header");
    }
    const uint64_t data_at = position + kDeedBoxRecordHeaderSize;
    if (record.data_offset != data_at) {
      return fail(RecordText(records->size(), &record) + ": its data offset field says " +
                  std::to_string(record.data_offset) + ", but its data starts at " + std::to_string(data_at));
    }
    position = data_at + record.length;
    records->push_back(std::move(record));
  }
  *end = position;
  return true;
}

// The header of a record of length bytes whose header is written at position; false when it
// would not fit the format (name over 63 characters, data ending beyond 4 GiB).
bool MakeRecord(std::u16string_view name, uint64_t length, uint64_t position, DeedBoxRecord* record) {
  const uint64_t data_offset = position + kDeedBoxRecordHeaderSize;
  // Lengths and offsets are 32-bit fields: a record must end below 4 GiB.
  if (name.size() > kDeedBoxMaxName || length > 0xFFFFFFFFu || data_offset > 0xFFFFFFFFu) return false;
  record->length = static_cast<uint32_t>(length);
  record->data_offset = static_cast<uint32_t>(data_offset);
  record->name = std::u16string(name);
  return true;
}

// Describes the container that read_at (as for WalkIndex) reads, of size bytes.
template <typename ReadAt>
bool Describe(ReadAt read_at, uint64_t size, DeedBoxSummary* summary) {
  DeedBoxSummary described;
  described.size = size;
  uint8_t raw[kDeedBoxHeaderSize];
  uint64_t end = 0;
  if (read_at(0, raw, sizeof(raw)) != static_cast<long long>(sizeof(raw)) ||
      !ParseDeedBoxHeader(raw, sizeof(raw), &described.header)) {
    described.problem = "no \"CVAS\" version 1 container header";
  } else if (WalkIndex(read_at, &described.records, &end, &described.problem)) {
    for (const auto& record : described.records) {
      described.record_complete.push_back(uint64_t{record.data_offset} + record.length <= size);
    }
  }
  *summary = std::move(described);
  return summary->problem.empty();
}

std::u16string CutAtFirstDot(std::u16string_view compose) {
  return std::u16string(compose.substr(0, std::min(compose.find(u'.'), compose.size())));
}

bool AnyNull(std::initializer_list<const char16_t*> args) {
  for (const char16_t* a : args) {
    if (!a) return true;
  }
  return false;
}

}  // namespace

bool ParseDeedBoxHeader(const uint8_t* bytes, size_t size, DeedBoxHeader* header) {
  base::ByteReader reader(bytes, size);
  uint8_t magic[4];
  DeedBoxHeader parsed;
  uint8_t reserved = 0;
  if (size < kDeedBoxHeaderSize || !reader.ReadBytes(magic, 4) || !std::equal(magic, magic + 4, kDeedBoxMagic) ||
      !reader.ReadU8(&parsed.version) || parsed.version != kDeedBoxVersion || !reader.ReadU8(&reserved) ||
      !ReadTextField(&reader, kDeedBoxProductListUnits, &parsed.product_list) ||
      !ReadTextField(&reader, kDeedBoxComposeListUnits, &parsed.compose_list) || !reader.ReadU32(&parsed.kind)) {
    return false;
  }
  *header = std::move(parsed);
  return true;
}

bool ParseDeedBoxRecord(const uint8_t* bytes, size_t size, DeedBoxRecord* record) {
  base::ByteReader reader(bytes, size);
  uint8_t magic[4];
  DeedBoxRecord parsed;
  if (size < kDeedBoxRecordHeaderSize || !reader.ReadBytes(magic, 4) || !std::equal(magic, magic + 4, kDeedBoxRecordMagic) ||
      !reader.ReadU32(&parsed.length) || !reader.ReadU32(&parsed.data_offset) ||
      !ReadTextField(&reader, kDeedBoxNameUnits, &parsed.name)) {
    return false;
  }
  *record = std::move(parsed);
  return true;
}

std::vector<uint8_t> SerializeDeedBoxHeader(const DeedBoxHeader& header) {
  base::ByteWriter writer;
  writer.PutBytes(kDeedBoxMagic, 4);
  writer.PutU8(header.version);
  writer.PutU8(0);
  PutTextField(&writer, header.product_list, kDeedBoxProductListUnits);
  PutTextField(&writer, header.compose_list, kDeedBoxComposeListUnits);
  writer.PutU32(header.kind);
  writer.PutZeros(8);
  return std::move(writer.Bytes());
}

std::vector<uint8_t> SerializeDeedBoxRecord(const DeedBoxRecord& record) {
  base::ByteWriter writer;
  writer.PutBytes(kDeedBoxRecordMagic, 4);
  writer.PutU32(record.length);
  writer.PutU32(record.data_offset);
  PutTextField(&writer, record.name, kDeedBoxNameUnits);
  return std::move(writer.Bytes());
}

std::u16string FixRecordName(int n, std::u16string_view product) {
  return u"FIX_" + std::u16string(product) + u"_" + base::NumberToUtf16(n);
}

std::u16string ComposeIniRecordName(std::u16string_view compose) { return u"CNI-" + CutAtFirstDot(compose); }

std::u16string ComposeFileRecordName(std::u16string_view compose, std::u16string_view field0,
                                     std::u16string_view field1, std::u16string_view file_name) {
  std::u16string name = u"COM-";
  name.append(compose).append(u"_").append(field0).append(u"_").append(field1).append(u"_").append(file_name);
  return name;
}

std::u16string PatchRecordName(std::u16string_view compose, std::u16string_view a, std::u16string_view b,
                               std::u16string_view file_name) {
  std::u16string name = u"PCH-";
  name.append(compose).append(u"_").append(a).append(u"_").append(b).append(u"_").append(file_name);
  return name;
}

std::u16string GroupRecordPrefix(std::u16string_view group) { return u"DIR-" + std::u16string(group); }

std::u16string GroupRecordName(std::u16string_view group, std::u16string_view relative_path) {
  return GroupRecordPrefix(group) + u"|" + std::u16string(relative_path);
}

bool SplitGroupRecordName(std::u16string_view name, std::u16string* group, std::u16string* relative_path) {
  const std::u16string_view prefix = u"DIR-";
  const size_t bar = name.find(u'|');
  if (!base::StartsWithIgnoreAsciiCase(name, prefix) || bar == std::u16string_view::npos) return false;
  *group = std::u16string(name.substr(prefix.size(), bar - prefix.size()));
  *relative_path = std::u16string(name.substr(bar + 1));
  return true;
}

bool StartDeedBox(std::u16string_view product_list, std::u16string_view compose_list, uint32_t kind,
                  std::vector<uint8_t>* container) {
  if (product_list.size() > kDeedBoxMaxProductList || compose_list.size() > kDeedBoxMaxComposeList) return false;
  DeedBoxHeader header;
  header.product_list = std::u16string(product_list);
  header.compose_list = std::u16string(compose_list);
  header.kind = kind;
  *container = SerializeDeedBoxHeader(header);
  return true;
}

bool AddDeedBoxRecord(std::u16string_view name, const uint8_t* data, size_t size, std::vector<uint8_t>* container) {
  DeedBoxRecord record;
  if (!MakeRecord(name, size, container->size(), &record)) return false;
  const std::vector<uint8_t> header = SerializeDeedBoxRecord(record);
  container->insert(container->end(), header.begin(), header.end());
  if (size > 0) container->insert(container->end(), data, data + size);
  return true;
}

IDeedBox* CreateDeedBox(ComposeFileLister lister) { return new (std::nothrow) CDeedBox(std::move(lister)); }

CDeedBox::CDeedBox(ComposeFileLister lister) : lister_(std::move(lister)) {}
CDeedBox::~CDeedBox() { Close(); }

void CDeedBox::Destroy() { delete this; }

bool CDeedBox::Close() {
  file_.Close();
  writable_ = false;
  return true;
}

bool CDeedBox::ReadIndex(uint64_t* end_of_index) {
  auto read_at = [this](uint64_t offset, uint8_t* buffer, size_t size) -> long long {
    size_t got = 0;
    if (!file_.SeekTo(offset) || !file_.Read(buffer, size, &got)) return -1;
    return static_cast<long long>(got);
  };
  return WalkIndex(read_at, &records_, end_of_index);
}

bool CDeedBox::Open(const char16_t* path) {
  if (!path) return false;
  Close();
  path_ = path;
  records_.clear();
  header_ = DeedBoxHeader();
  file_ = platform::File::Open(path_, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting,
                               platform::FileShare::kRead);
  if (!file_.IsOpen()) return false;
  uint8_t raw[kDeedBoxHeaderSize];
  size_t got = 0;
  uint64_t end = 0;
  if (!file_.Read(raw, sizeof(raw), &got) || got != sizeof(raw) || !ParseDeedBoxHeader(raw, got, &header_) ||
      !ReadIndex(&end)) {
    Close();
    return false;
  }
  return true;
}

bool CDeedBox::OpenForAppend(const char16_t* path) {
  uint64_t end = 0, size = 0;
  if (!Open(path)) return false;
  Close();
  records_.clear();
  file_ = platform::File::Open(path_, platform::FileAccess::kReadWrite, platform::FileDisposition::kOpenExisting,
                               platform::FileShare::kRead);
  if (!file_.IsOpen() || !ReadIndex(&end) || !file_.Size(&size) || size != end || !file_.SeekToEnd()) {
    Close();
    return false;
  }
  write_position_ = end;
  writable_ = true;
  return true;
}

bool CDeedBox::Create(const char16_t* product_list, const char16_t* path, const char16_t* compose_list,
                      uint32_t kind) {
  if (!path || !compose_list) return false;
  if (TextLength(compose_list) > kDeedBoxMaxComposeList) {
    app::LogText2(u"error, Input compose list length is too big ,complise list=", compose_list);
    return false;
  }
  path_ = path;
  Close();
  records_.clear();
  CreatePath(path);
  file_ = platform::File::Open(path_, platform::FileAccess::kReadWrite, platform::FileDisposition::kCreateAlways,
                               platform::FileShare::kReadWrite);
  if (!file_.IsOpen()) return false;
  DeedBoxHeader header;
  header.kind = kind;
  header.compose_list = compose_list;
  if (product_list) {
    if (TextLength(product_list) > kDeedBoxMaxProductList) {
      Close();
      return false;
    }
    header.product_list = product_list;
  }
  header_ = header;
  const std::vector<uint8_t> bytes = SerializeDeedBoxHeader(header_);
  if (!file_.Write(bytes.data(), bytes.size())) return false;
  write_position_ = bytes.size();
  writable_ = true;
  return true;
}

std::u16string CDeedBox::GetProductList() { return header_.product_list; }
uint32_t CDeedBox::GetKind() { return header_.kind; }
std::u16string CDeedBox::GetComposeList() { return header_.compose_list; }

bool CDeedBox::AddFile(const char16_t* name, const char16_t* source) {
  if (!name || !source || TextLength(name) > kDeedBoxMaxName) return false;
  if (!writable_ || !file_.IsOpen()) return false;
  platform::File in = platform::File::Open(source, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting,
                                           platform::FileShare::kRead);
  if (!in.IsOpen()) {
    app::LogText3(u"    Error: open file=", source, u"\n");
    return false;
  }
  uint64_t size = 0;
  DeedBoxRecord record;
  if (!in.Size(&size) || !WriteRecordHeader(name, size, &record)) return false;

  // Exactly the length announced: a source that changes while it is copied must not leave a
  // record whose header disagrees with its data.
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kAddBufferSize]);
  if (!buffer) return false;
  uint64_t remaining = size;
  while (remaining > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(remaining, kAddBufferSize));
    size_t got = 0;
    if (!in.Read(buffer.get(), want, &got) || got != want || !file_.Write(buffer.get(), got)) return false;
    remaining -= got;
    write_position_ += got;
  }
  records_.push_back(std::move(record));
  return true;
}

bool CDeedBox::AddBytes(const char16_t* name, const uint8_t* data, size_t size) {
  if (!name || (!data && size > 0)) return false;
  DeedBoxRecord record;
  if (!WriteRecordHeader(name, size, &record) || (size > 0 && !file_.Write(data, size))) return false;
  write_position_ += size;
  records_.push_back(std::move(record));
  return true;
}

bool CDeedBox::WriteRecordHeader(std::u16string_view name, uint64_t length, DeedBoxRecord* record) {
  if (!writable_ || !file_.IsOpen() || !MakeRecord(name, length, write_position_, record)) return false;
  const std::vector<uint8_t> header = SerializeDeedBoxRecord(*record);
  if (!file_.SeekTo(write_position_) || !file_.Write(header.data(), header.size())) return false;
  write_position_ += header.size();
  return true;
}

const DeedBoxRecord* CDeedBox::FindRecord(std::u16string_view name) const {
  for (const auto& record : records_) {
    if (base::EqualsIgnoreAsciiCase(record.name, name)) return &record;
  }
  return nullptr;
}

bool CDeedBox::ExtractRecord(const char16_t* name, const char16_t* destination) {
  if (!name || !destination || !file_.IsOpen()) return false;
  const DeedBoxRecord* record = FindRecord(name);
  if (!record || !file_.SeekTo(record->data_offset)) return false;
  CreatePath(destination);
  platform::File out = platform::File::Open(destination, platform::FileAccess::kReadWrite,
                                            platform::FileDisposition::kCreateAlways, platform::FileShare::kReadWrite);
  if (!out.IsOpen()) return false;
  const size_t buffer_size = std::min<size_t>(kCopyBufferSize, std::max<uint32_t>(record->length, 1));
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[buffer_size]);
  uint32_t remaining = buffer ? record->length : 0;
  bool ok = buffer != nullptr;
  while (ok && remaining > 0) {
    const size_t want = std::min<size_t>(remaining, buffer_size);
    size_t got = 0;
    // A container cut short, or a write that fails: nothing partial is left behind.
    ok = file_.Read(buffer.get(), want, &got) && got != 0 && out.Write(buffer.get(), got);
    remaining -= static_cast<uint32_t>(got);
  }
  if (!ok) {
    out.Close();
    platform::DeleteFileAt(destination);
    return false;
  }
  out.Close();
  return true;
}

bool CDeedBox::AddFix(int n, const char16_t* product, const char16_t* source) {
  if (!product) return false;
  return AddFile(FixRecordName(n, product).c_str(), source);
}

bool CDeedBox::ExtractFix(int n, const char16_t* product, const char16_t* destination) {
  if (!product) return false;
  return ExtractRecord(FixRecordName(n, product).c_str(), destination);
}

bool CDeedBox::ExtractComposeFile(const char16_t* compose, const char16_t* field0, const char16_t* field1,
                                  const char16_t* file_name, const char16_t* destination) {
  if (AnyNull({compose, field0, field1, file_name, destination})) return false;
  return ExtractRecord(ComposeFileRecordName(compose, field0, field1, file_name).c_str(), destination);
}

bool CDeedBox::AddComposeFile(const char16_t* compose, const char16_t* field0, const char16_t* field1,
                              const char16_t* file_name, const char16_t* source) {
  if (AnyNull({compose, field0, field1, file_name, source})) return false;
  return AddFile(ComposeFileRecordName(compose, field0, field1, file_name).c_str(), source);
}

bool CDeedBox::AddPatch(const char16_t* compose, const char16_t* a, const char16_t* b, const char16_t* file_name,
                        const char16_t* source) {
  if (AnyNull({compose, a, b, file_name, source})) return false;
  return AddFile(PatchRecordName(compose, a, b, file_name).c_str(), source);
}

bool CDeedBox::ExtractPatch(const char16_t* compose, const char16_t* a, const char16_t* b, const char16_t* file_name,
                            const char16_t* destination) {
  if (AnyNull({compose, a, b, file_name, destination})) return false;
  return ExtractRecord(PatchRecordName(compose, a, b, file_name).c_str(), destination);
}

bool CDeedBox::ExtractComposeIni(const char16_t* compose, const char16_t* destination) {
  if (!compose || !destination) return false;
  return ExtractRecord(ComposeIniRecordName(compose).c_str(), destination);
}

bool CDeedBox::AddComposeIni(const char16_t* compose, const char16_t* source) {
  if (!compose) return false;
  return AddFile(ComposeIniRecordName(compose).c_str(), source);
}

bool CDeedBox::ExtractCompose(const char16_t* compose, const char16_t* destination_folder) {
  if (!compose || !destination_folder) return false;
  const std::u16string description = base::JoinPath(platform::TempDirectory(), std::u16string(compose) + u".ini");
  if (!ExtractComposeIni(compose, description.c_str())) return false;
  std::vector<ComposeFileRef> files;
  if (!lister_ || !lister_(description, &files)) {
    platform::DeleteFileAt(description);
    return false;
  }
  bool ok = true;
  for (const auto& entry : files) {
    // Names from the description must stay inside the destination folder.
    if (!base::IsContainedFilePath(entry.file_name) ||
        (!entry.field1.empty() && !base::IsContainedRelativePath(entry.field1))) {
      ok = false;
      break;
    }
    const std::u16string target = entry.field1.empty()
                                      ? base::JoinPath(destination_folder, entry.file_name)
                                      : base::JoinPath(base::JoinPath(destination_folder, entry.field1), entry.file_name);
    if (entry.field2 == 1) {
      const std::u16string packed = target + u".out";
      ok = ExtractComposeFile(compose, entry.field0.c_str(), entry.field1.c_str(), entry.file_name.c_str(),
                              packed.c_str()) &&
           ZQP_UnPackFile(packed.c_str(), target.c_str()) == kUnpackOk;
      platform::DeleteFileAt(packed);
    } else {
      ok = ExtractComposeFile(compose, entry.field0.c_str(), entry.field1.c_str(), entry.file_name.c_str(),
                              target.c_str());
    }
    if (!ok) break;
  }
  platform::DeleteFileAt(description);
  return ok;
}

bool CDeedBox::AddGroup(const char16_t* group, const char16_t* folder) {
  if (!group || !folder) return false;
  // The packaging tool lays out the same folder in the same order.
  std::vector<FolderFile> files;
  if (!ListFolderFiles(folder, /*include_hidden=*/false, &files)) return false;
  for (const FolderFile& file : files) {
    if (!AddFile(GroupRecordName(group, file.relative).c_str(), file.path.c_str())) return false;
  }
  return true;
}

bool CDeedBox::ExtractGroup(const char16_t* group, const char16_t* destination_folder) {
  if (!group || !destination_folder) return false;
  const std::u16string prefix = GroupRecordPrefix(group);
  if (records_.empty()) return true;
  bool all_contained = true;
  // ExtractRecord may not touch the index, so indices stay valid while it runs.
  for (size_t i = 0; i < records_.size(); ++i) {
    const std::u16string name = records_[i].name;
    if (!base::StartsWithIgnoreAsciiCase(name, prefix)) continue;
    // The relative path follows the prefix and the "|".
    const std::u16string relative = name.size() > prefix.size() ? name.substr(prefix.size() + 1) : u"";
    if (!base::IsContainedFilePath(relative)) {
      all_contained = false;
      continue;
    }
    const std::u16string destination = base::JoinPath(destination_folder, relative);
    if (!ExtractRecord(name.c_str(), destination.c_str())) return false;
  }
  return all_contained;
}

bool DescribeDeedBox(std::u16string_view path, DeedBoxSummary* summary) {
  if (!summary) return false;
  platform::File file = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting,
                                             platform::FileShare::kRead);
  uint64_t size = 0;
  if (!file.IsOpen() || !file.Size(&size)) {
    *summary = DeedBoxSummary();
    summary->problem = "the file cannot be opened";
    return false;
  }
  auto read_at = [&file](uint64_t offset, uint8_t* buffer, size_t want) -> long long {
    size_t got = 0;
    if (!file.SeekTo(offset) || !file.Read(buffer, want, &got)) return -1;
    return static_cast<long long>(got);
  };
  return Describe(read_at, size, summary);
}

bool DescribeDeedBoxBytes(const uint8_t* data, size_t size, DeedBoxSummary* summary) {
  if (!summary || !data) return false;
  auto read_at = [data, size](uint64_t offset, uint8_t* buffer, size_t want) -> long long {
    if (offset >= size) return 0;
    const size_t got = static_cast<size_t>(std::min<uint64_t>(want, size - offset));
    std::memcpy(buffer, data + offset, got);
    return static_cast<long long>(got);
  };
  return Describe(read_at, size, summary);
}

}  // namespace package
