#include "app/ini_reader.h"

#include <limits>
#include <new>

#include "base/byte_writer.h"
#include "base/strings.h"
#include "platform/fs.h"

namespace app {
namespace {

// Above this a file is no key-value file of ours; refusing it keeps a stray huge file from
// driving the allocation.
constexpr uint64_t kMaxLoadBytes = 64u * 1024 * 1024;

// The text as a zero-terminated buffer of max units would hold it: cut at a U+0000 and after
// max units.
std::u16string_view Bounded(std::u16string_view text, size_t max) {
  const size_t nul = text.find(u'\0');
  if (nul != std::u16string_view::npos) text = text.substr(0, nul);
  return text.substr(0, max);
}

std::u16string NormalisedKey(std::u16string_view key) {
  // Trimmed, cut, and trimmed again so that the cut cannot leave trailing blanks behind.
  return std::u16string(base::TrimBlanks(Bounded(base::TrimBlanks(key), kIniMaxKey)));
}

std::u16string NormalisedSectionName(std::u16string_view name) {
  return std::u16string(base::TrimBlanks(Bounded(base::TrimBlanks(name), kIniMaxSectionName)));
}

bool IsIntSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

bool PathUsable(std::u16string_view path) { return !path.empty() && path.size() <= kIniMaxPath; }

// The value part of an entry line, with the quote rules applied.
std::u16string_view UnquotedValue(std::u16string_view value) {
  if (!value.empty() && value.back() == u'\r') value.remove_suffix(1);
  // Both tests look at the length taken before either cut: `""` becomes empty, `a"b` becomes `a`.
  const size_t length = value.size();
  size_t end = length;
  if (length > 0 && value[length - 1] == u'"') end = length - 1;
  if (length > 1 && value[length - 2] == u'"') end = length - 2;
  value = value.substr(0, end);
  if (!value.empty() && value.front() == u'"') value.remove_prefix(1);
  return value;
}

}  // namespace

int32_t ParseIniInt(std::u16string_view text) { return base::ParseSaturatedInt32(text, IsIntSpace); }

// ---- IniEntry ----

IniEntry::IniEntry(std::u16string_view key, std::u16string_view value, int line)
    : key_(NormalisedKey(key)), value_(Bounded(value, kIniMaxValue)), line_(line) {}

void IniEntry::SetValue(std::u16string_view value) { value_.assign(Bounded(value, kIniMaxValue)); }

// ---- IniSection ----

IniSection::IniSection(std::u16string_view name, int line) : name_(NormalisedSectionName(name)), line_(line) {}

IniEntry* IniSection::EntryAt(size_t position) {
  return position < entries_.size() ? entries_[position].get() : nullptr;
}

const IniEntry* IniSection::EntryAt(size_t position) const {
  return position < entries_.size() ? entries_[position].get() : nullptr;
}

const IniEntry* IniSection::FindEntry(std::u16string_view key) const {
  for (const auto& entry : entries_) {
    if (base::EqualsIgnoreAsciiCase(entry->Key(), key)) return entry.get();
  }
  return nullptr;
}

IniEntry* IniSection::FindEntry(std::u16string_view key) {
  return const_cast<IniEntry*>(static_cast<const IniSection*>(this)->FindEntry(key));
}

IniEntry* IniSection::FindEntry(const char16_t* key) { return key ? FindEntry(std::u16string_view(key)) : nullptr; }

void IniSection::RemoveEntry(size_t position) {
  if (position < entries_.size()) entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
}

void IniSection::RemoveKey(std::u16string_view key) {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (base::EqualsIgnoreAsciiCase(entries_[i]->Key(), key)) {
      RemoveEntry(i);
      return;
    }
  }
}

void IniSection::RemoveKey(const char16_t* key) {
  if (key) RemoveKey(std::u16string_view(key));
}

IniEntry* IniSection::AddEntry(std::u16string_view key, std::u16string_view value, int line) {
  entries_.push_back(std::make_unique<IniEntry>(key, value, line));
  return entries_.back().get();
}

// ---- CIniReader: loading and parsing ----

bool CIniReader::LoadTzFile(const char16_t* path) {
  if (!path) {
    Clear();
    path_.clear();
    file_size_ = 0;
    return false;
  }
  return LoadTzFile(std::u16string_view(path));
}

bool CIniReader::LoadTzFile(std::u16string_view path) {
  Clear();
  // A failed load must not leave the size of an earlier file for the integrity checks to see.
  file_size_ = 0;
  if (!PathUsable(path) || path.find(u'\0') != std::u16string_view::npos) {
    // Remembering a cut path would make a later Save write to another file.
    path_.clear();
    return false;
  }
  path_.assign(path);
  platform::File file =
      platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting,
                           platform::FileShare::kRead);
  if (!file.IsOpen()) return false;
  uint64_t size = 0;
  if (!file.Size(&size)) return false;
  file_size_ = size > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                           : static_cast<uint32_t>(size);
  if (size == 0 || size > kMaxLoadBytes) return false;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
  if (!buffer) return false;
  size_t done = 0;
  if (!file.Read(buffer.get(), static_cast<size_t>(size), &done)) return false;
  // A file that shrank while being read is parsed as far as it was read.
  ParseBuffer(buffer.get(), done);
  return true;
}

bool CIniReader::ParseBuffer(const void* buffer, size_t size) {
  Clear();
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  const size_t units = buffer ? size / 2 : 0;  // a trailing odd byte is ignored
  auto unit_at = [bytes](size_t i) { return static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)); };

  size_t pos = 0;
  if (units > 0 && (unit_at(0) == 0xFEFF || unit_at(0) == 0xFFFE)) pos = 1;

  IniSection* current = nullptr;
  std::u16string line;
  line.reserve(kIniMaxLine);
  int number = 0;
  while (pos < units) {
    ++number;
    // One physical line: up to LF (consumed), keeping its first 2047 units; the rest of an
    // over-long line is dropped and reading goes on with the next line.
    line.clear();
    bool ended = false;  // a U+0000 ends the text of the line
    while (pos < units) {
      char16_t c = unit_at(pos++);
      if (c == u'\n') break;
      if (ended || line.size() >= kIniMaxLine) continue;
      if (c == u'\0') {
        ended = true;
        continue;
      }
      if (c == u'\t') c = u' ';
      line.push_back(c);
    }
    ParseLine(line, number, &current);
  }
  return true;
}

void CIniReader::ParseLine(std::u16string_view line, int number, IniSection** current) {
  line = line.substr(0, kIniMaxLine);
  const size_t comment = line.find(u';');
  if (comment != std::u16string_view::npos) line = line.substr(0, comment);
  while (!line.empty() && (line.back() == u' ' || line.back() == u'\r' || line.back() == u'\n')) {
    line.remove_suffix(1);
  }
  // Leading blanks stay, so an indented header or comment is not one.
  if (line.empty() || line.front() == u'\r' || line.front() == u';') return;

  if (line.front() == u'[') {
    std::u16string_view name = line.substr(1, kIniMaxSectionName);
    // The bracket (or a stray CR) is taken off the last and the next-to-last position, both
    // measured on the name as copied: "[a]" and "[a]]" give "a", "[a]x" gives "a" as well.
    const size_t length = name.size();
    size_t end = length;
    if (length >= 1 && (name[length - 1] == u']' || name[length - 1] == u'\r')) end = length - 1;
    if (length >= 2 && (name[length - 2] == u']' || name[length - 2] == u'\r')) end = length - 2;
    sections_.push_back(std::make_unique<IniSection>(name.substr(0, end), number));
    *current = sections_.back().get();
    return;
  }

  if (!*current) return;  // entries before the first header belong to no section
  const size_t equals = line.find(u'=');
  if (equals == std::u16string_view::npos) {
    (*current)->AddEntry(u"", u"", number);
    return;
  }
  (*current)->AddEntry(line.substr(0, equals), UnquotedValue(line.substr(equals + 1)), number);
}

void CIniReader::Clear() { sections_.clear(); }

// ---- CIniReader: writing ----

bool CIniReader::Save() { return SaveAs(std::u16string_view(path_)); }

bool CIniReader::SaveAs(const char16_t* path) { return path ? SaveAs(std::u16string_view(path)) : false; }

std::vector<uint8_t> CIniReader::Serialize() const {
  base::ByteWriter out;
  out.PutU8(0xFF);
  out.PutU8(0xFE);
  for (const auto& section : sections_) {
    out.PutUtf16(u"[");
    out.PutUtf16(section->Name());
    out.PutUtf16(u"]\r\n");
    for (size_t i = 0; i < section->EntryCount(); ++i) {
      const IniEntry* entry = section->EntryAt(i);
      out.PutUtf16(entry->Key());
      out.PutUtf16(u"=");
      out.PutUtf16(entry->Value());
      out.PutUtf16(u"\r\n");
    }
    out.PutUtf16(u"\r\n");
  }
  return std::move(out.Bytes());
}

bool CIniReader::SaveAs(std::u16string_view path) {
  if (!PathUsable(path) || path.find(u'\0') != std::u16string_view::npos) return false;
  const std::vector<uint8_t> bytes = Serialize();
  // A read-only or hidden file would refuse to be replaced.
  platform::SetNormalAttributes(path);
  platform::File file = platform::File::Open(path, platform::FileAccess::kReadWrite,
                                             platform::FileDisposition::kCreateAlways, platform::FileShare::kReadWrite);
  if (!file.IsOpen()) return false;
  return file.Write(bytes.data(), bytes.size());
}

// ---- CIniReader: lookups and changes ----

const IniSection* CIniReader::FindSection(std::u16string_view name) const {
  for (const auto& section : sections_) {
    if (base::EqualsIgnoreAsciiCase(section->Name(), name)) return section.get();
  }
  return nullptr;
}

IniSection* CIniReader::FindSection(std::u16string_view name) {
  return const_cast<IniSection*>(static_cast<const CIniReader*>(this)->FindSection(name));
}

IniSection* CIniReader::FindSection(const char16_t* name) {
  return name ? FindSection(std::u16string_view(name)) : nullptr;
}

const IniEntry* CIniReader::GetEntry(std::u16string_view section, std::u16string_view key) const {
  const IniSection* found = FindSection(section);
  return found ? found->FindEntry(key) : nullptr;
}

IniEntry* CIniReader::GetEntry(std::u16string_view section, std::u16string_view key) {
  return const_cast<IniEntry*>(static_cast<const CIniReader*>(this)->GetEntry(section, key));
}

IniEntry* CIniReader::GetEntry(const char16_t* section, const char16_t* key) {
  return section && key ? GetEntry(std::u16string_view(section), std::u16string_view(key)) : nullptr;
}

const std::u16string& CIniReader::GetString(std::u16string_view section, std::u16string_view key) const {
  static const std::u16string kEmpty;
  const IniEntry* entry = GetEntry(section, key);
  return entry ? entry->Value() : kEmpty;
}

const std::u16string& CIniReader::GetString(const char16_t* section, const char16_t* key) const {
  static const std::u16string kEmpty;
  return section && key ? GetString(std::u16string_view(section), std::u16string_view(key)) : kEmpty;
}

int32_t CIniReader::GetInt(std::u16string_view section, std::u16string_view key, int32_t default_value) const {
  const IniEntry* entry = GetEntry(section, key);
  if (!entry || entry->Value().empty()) return default_value;
  return ParseIniInt(entry->Value());
}

int32_t CIniReader::GetInt(const char16_t* section, const char16_t* key, int32_t default_value) const {
  return section && key ? GetInt(std::u16string_view(section), std::u16string_view(key), default_value)
                        : default_value;
}

long CIniReader::GetLong(std::u16string_view section, std::u16string_view key, long default_value) const {
  const IniEntry* entry = GetEntry(section, key);
  if (!entry || entry->Value().empty()) return default_value;
  return ParseIniInt(entry->Value());
}

long CIniReader::GetLong(const char16_t* section, const char16_t* key, long default_value) const {
  return section && key ? GetLong(std::u16string_view(section), std::u16string_view(key), default_value)
                        : default_value;
}

bool CIniReader::SetString(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  // Looked up under the names as they are stored, so that a name with blanks around it finds the
  // section it created before instead of adding a twin that lookups would never see.
  const std::u16string section_name = NormalisedSectionName(section);
  const std::u16string key_name = NormalisedKey(key);
  IniSection* found = FindSection(std::u16string_view(section_name));
  if (!found) {
    sections_.push_back(std::make_unique<IniSection>(section_name));
    found = sections_.back().get();
  }
  if (IniEntry* entry = found->FindEntry(std::u16string_view(key_name))) {
    entry->SetValue(value);
  } else {
    found->AddEntry(key_name, value);
  }
  return true;
}

bool CIniReader::SetString(const char16_t* section, const char16_t* key, const char16_t* value) {
  if (!section || !key || !value) return false;
  return SetString(std::u16string_view(section), std::u16string_view(key), std::u16string_view(value));
}

IniSection* CIniReader::SectionAt(size_t position) {
  return position < sections_.size() ? sections_[position].get() : nullptr;
}

const IniSection* CIniReader::SectionAt(size_t position) const {
  return position < sections_.size() ? sections_[position].get() : nullptr;
}

}  // namespace app
